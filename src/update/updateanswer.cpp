#include "updateanswer.h"

#include <QDir>
#include <QScriptEngine>
#include <QScriptValueIterator>
#include <QSet>
#include <QTimer>
#include <QUrl>

#include <cmath>

namespace {

// A property as text; missing, null or on a non-object, empty.
QString textOf(const QScriptValue &object, const QString &name)
{
    if (!object.isObject())
        return QString();
    const QScriptValue value = object.property(name);
    if (!value.isValid() || value.isUndefined() || value.isNull())
        return QString();
    return value.toString();
}

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

UpdateAnswer evaluateUpdateAnswer(const QString &answer, int deadlineMs)
{
    UpdateAnswer result;
    QScriptEngine engine;

    // The engine hands control to the event loop now and then, which lets the
    // deadline stop an answer that would run forever.
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [&engine, &result] {
        result.aborted = true;
        engine.abortEvaluation();
    });
    engine.setProcessEventsInterval(50);
    deadline.start(deadlineMs);
    const QScriptValue value =
        engine.evaluate(QLatin1Char('(') + answer + QLatin1Char(')'), QString(), 1);
    deadline.stop();
    if (result.aborted)
        return UpdateAnswer{0, false, {}, true};

    const QScriptValue version = value.isObject() ? value.property(QStringLiteral("version")) : QScriptValue();
    result.version = (!version.isValid() || version.isUndefined()) ? 0 : version.toNumber();

    const QScriptValue files = value.isObject() ? value.property(QStringLiteral("files")) : QScriptValue();
    result.hasFileList = files.isArray();
    if (!result.hasFileList)
        return result;

    // Visits the elements in index order and then "length", which has no
    // DownloadURL and drops out like any entry without one.
    QScriptValueIterator it(files);
    while (it.hasNext()) {
        it.next();
        const QScriptValue entry = it.value();
        UpdateFile file;
        file.downloadUrl = textOf(entry, QStringLiteral("DownloadURL"));
        if (file.downloadUrl.isEmpty())
            continue;
        file.filePath = textOf(entry, QStringLiteral("FilePath"));
        file.sha256 = textOf(entry, QStringLiteral("SHA256"));
        result.files.append(file);
    }
    return result;
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
        if (!staysInside(file.filePath))
            return QStringLiteral("mapa \"%1\" nije unutar programa").arg(file.filePath);
        const QString name = fileNameOf(file.downloadUrl);
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
