#pragma once

#include "shellcontext.h"
#include "updateanswer.h"

#include <QObject>
#include <QProcess>
#include <QTimer>

// Reads an update answer in a process of its own (velmor-update-answer), so
// that no answer can take the shell's time or memory: past the limits the
// process is ended and the answer refused.
class AnswerReader final : public QObject
{
    Q_OBJECT

public:
    AnswerReader(const QString &program, const UpdateLimits &limits, QObject *parent = nullptr);
    ~AnswerReader() override;

    // The answer body as received; the outcome comes as a signal.
    void read(const QByteArray &body);

signals:
    void done(const UpdateAnswer &answer);
    void failed(const QString &why);

private:
    void on_finished(int exitCode, QProcess::ExitStatus status);
    void on_error(QProcess::ProcessError error);
    void fail(const QString &why);

    QString program;
    UpdateLimits limits;
    QProcess process;
    QTimer deadline;
    bool over = false;
};
