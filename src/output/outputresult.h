#pragma once

#include <QString>

// What one attempt to output an invoice came to.
struct OutputResult
{
    bool done = false;
    QString problem; // why the invoice was not output, when not done

    static OutputResult ok() { return {true, QString()}; }
    static OutputResult failed(const QString &why) { return {false, why}; }
};
