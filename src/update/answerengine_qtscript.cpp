#include "answervalues.h"
#include "updateanswer.h"

#include <QScriptEngine>
#include <QScriptValueIterator>
#include <QTimer>

// The answer read by QtScript (Qt 5).

void warmUpAnswerEngine()
{
    QScriptEngine().evaluate(QStringLiteral("0"));
}

UpdateAnswer evaluateUpdateAnswer(const QString &answer, int deadlineMs)
{
    UpdateAnswer result; // only whether it was aborted
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

    return answerValues<QScriptValue, QScriptValueIterator>(
        value, [](const QScriptValue &v) { return !v.isValid() || v.isUndefined(); });
}

