#pragma once

#include <QString>

// What one attempt to output an invoice came to.
struct OutputResult
{
    // What kind of thing stood in the way, for whoever acts on it (and the
    // journal); `problem` says it in words.
    enum Failure {
        None,
        Setting,     // the settings name no port, or an encoding or code table we do not know
        Device,      // the port cannot be opened, or does not take the bytes
        Printer,     // no printer, or it is gone, stopped, refusing, or refused the job
        PrintSystem, // the print system cannot be reached or does not answer
        Invoice,     // the invoice itself cannot be output as it came
        Stopped,     // given up by the cashier
        Local,       // something on this computer (a temporary file)
    };

    bool done = false;
    QString problem;  // why the invoice was not output, when not done
    qint64 jobId = 0; // the print system's job, when known
    Failure failure = None;

    static OutputResult ok(qint64 jobId = 0) { return {true, QString(), jobId, None}; }
    static OutputResult failed(Failure kind, const QString &why) { return {false, why, 0, kind}; }

    // The kind as the journal keeps it: "setting", "device", "printer",
    // "print-system", "invoice", "stopped", "local"; empty for none.
    static QString kindName(Failure kind)
    {
        static const char *const names[] = {"", "setting", "device", "printer", "print-system", "invoice", "stopped",
                                            "local"};
        return QString::fromLatin1(names[kind]);
    }
};
