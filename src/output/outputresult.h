#pragma once

#include <QString>

// What one attempt to output an invoice came to.
struct OutputResult
{
    bool done = false;
    QString problem; // why the invoice was not output, when not done
    qint64 jobId = 0; // the print system's job, when known

    static OutputResult ok(qint64 jobId = 0) { return {true, QString(), jobId}; }
    static OutputResult failed(const QString &why) { return {false, why, 0}; }
};
