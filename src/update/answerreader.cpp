#include "answerreader.h"

#include <QDebug>

AnswerReader::AnswerReader(const QString &program, const UpdateLimits &limits, QObject *parent)
    : QObject(parent)
    , program(program)
    , limits(limits)
{
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("odgovor se nije pročitao u %1 ms").arg(this->limits.answerTimeMs));
    });
    connect(&process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, &AnswerReader::on_finished);
    connect(&process, &QProcess::errorOccurred, this, &AnswerReader::on_error);
}

AnswerReader::~AnswerReader()
{
    process.disconnect(this);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(1000);
    }
}

void AnswerReader::read(const QByteArray &body)
{
    const QByteArray text = answerText(body).toUtf8();
    deadline.start(limits.answerTimeMs);
    process.start(program, {QString::number(limits.answerTimeMs), QString::number(limits.answerMemoryBytes)});
    process.write(text);
    process.closeWriteChannel();
}

void AnswerReader::fail(const QString &why)
{
    if (over)
        return;
    over = true;
    deadline.stop();
    if (process.state() != QProcess::NotRunning)
        process.kill();
    emit failed(why);
}

void AnswerReader::on_error(QProcess::ProcessError error)
{
    if (error == QProcess::FailedToStart)
        fail(QStringLiteral("program %1 se ne može pokrenuti (%2)").arg(program, process.errorString()));
}

void AnswerReader::on_finished(int exitCode, QProcess::ExitStatus status)
{
    if (over)
        return;
    if (status != QProcess::NormalExit || exitCode != 0) {
        fail(QStringLiteral("čitanje odgovora je prekoračilo granice vremena ili memorije"));
        return;
    }
    UpdateAnswer answer;
    if (!answerFromJson(process.readAllStandardOutput(), &answer)) {
        fail(QStringLiteral("odgovor se ne može pročitati"));
        return;
    }
    over = true;
    deadline.stop();
    emit done(answer);
}
