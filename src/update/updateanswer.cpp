#include "updateanswer.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QUrl>

#include <cmath>

namespace {

bool isHexDigest(const QString &text)
{
    if (text.size() != 64)
        return false;
    for (const QChar c : text) {
        if (!c.isDigit() && !(c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
            return false;
    }
    return true;
}

// Control characters of every kind: C0, DEL and C1, and the format
// characters that reorder or hide text (U+202E shows "exe.txt" as "txt.exe").
bool hasControlCharacters(const QString &text)
{
    for (const QChar c : text) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Other_Format)
            return true;
    }
    return false;
}

bool staysInside(const QString &folder)
{
    if (folder.isEmpty())
        return true;
    if (QDir::isAbsolutePath(folder) || folder.startsWith(QLatin1Char('/')) || folder.startsWith(QLatin1Char('\\'))
        || folder.contains(QLatin1Char(':')))
        return false;
    const QStringList segments = QString(folder).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'));
    return !segments.contains(QStringLiteral(".."));
}

} // namespace

QString answerText(const QByteArray &body)
{
    const int nul = body.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? body : body.left(nul));
}

QByteArray answerToJson(const UpdateAnswer &answer)
{
    QJsonArray files;
    for (const UpdateFile &file : answer.files)
        files.append(QJsonObject{{QStringLiteral("FilePath"), file.filePath},
                                 {QStringLiteral("DownloadURL"), file.downloadUrl},
                                 {QStringLiteral("SHA256"), file.sha256}});
    // JSON has no NaN or infinity: the version goes as text.
    return QJsonDocument(QJsonObject{{QStringLiteral("version"), QString::number(answer.version, 'g', 17)},
                                     {QStringLiteral("hasFileList"), answer.hasFileList},
                                     {QStringLiteral("aborted"), answer.aborted},
                                     {QStringLiteral("files"), files}})
        .toJson(QJsonDocument::Compact);
}

bool answerFromJson(const QByteArray &json, UpdateAnswer *answer)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject object = document.object();
    bool ok = false;
    *answer = UpdateAnswer();
    answer->version = object.value(QStringLiteral("version")).toString().toDouble(&ok);
    if (!ok) {
        const QString text = object.value(QStringLiteral("version")).toString();
        if (text == QLatin1String("nan"))
            answer->version = qQNaN();
        else if (text == QLatin1String("inf"))
            answer->version = qInf();
        else if (text == QLatin1String("-inf"))
            answer->version = -qInf();
        else
            return false;
    }
    answer->hasFileList = object.value(QStringLiteral("hasFileList")).toBool();
    answer->aborted = object.value(QStringLiteral("aborted")).toBool();
    for (const QJsonValue &value : object.value(QStringLiteral("files")).toArray()) {
        const QJsonObject file = value.toObject();
        answer->files.append({file.value(QStringLiteral("FilePath")).toString(),
                              file.value(QStringLiteral("DownloadURL")).toString(),
                              file.value(QStringLiteral("SHA256")).toString()});
    }
    return true;
}

QString fileNameOf(const QString &downloadUrl)
{
    const QString path = QUrl(downloadUrl, QUrl::TolerantMode).path(QUrl::FullyDecoded);
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString refusalReason(const QList<UpdateFile> &files)
{
    QSet<QString> targets;
    for (const UpdateFile &file : files) {
        if (QUrl(file.downloadUrl, QUrl::TolerantMode).scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0)
            return QStringLiteral("adresa \"%1\" nije https").arg(file.downloadUrl);
        if (hasControlCharacters(file.filePath))
            return QStringLiteral("naziv mape sadrži kontrolne znakove");
        if (!staysInside(file.filePath))
            return QStringLiteral("mapa \"%1\" nije unutar programa").arg(file.filePath);
        const QString name = fileNameOf(file.downloadUrl);
        if (hasControlCharacters(name))
            return QStringLiteral("naziv datoteke sadrži kontrolne znakove");
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")
            || name.contains(QLatin1Char('\\')) || name.contains(QLatin1Char(':')))
            return QStringLiteral("adresa \"%1\" ne imenuje datoteku").arg(file.downloadUrl);
        if (!file.sha256.isEmpty() && !isHexDigest(file.sha256))
            return QStringLiteral("neispravan SHA256 za \"%1\"").arg(file.downloadUrl);
        const QString target = QDir::cleanPath(file.filePath + QLatin1Char('/') + name);
        if (targets.contains(target))
            return QStringLiteral("datoteka \"%1\" je navedena dvaput").arg(target);
        targets.insert(target);
    }
    return QString();
}
