#include "updateanswer.h"

#include <QScriptEngine>
#include <QScriptValueIterator>
#include <QTimer>

// The answer read by QtScript (Qt 5).

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

} // namespace

void warmUpAnswerEngine()
{
    QScriptEngine().evaluate(QStringLiteral("0"));
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

