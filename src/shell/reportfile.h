#pragma once

#include <QObject>
#include <QSaveFile>
#include <QString>

class QNetworkReply;

// Streams one reply's body into a file as it arrives. The file on disk is
// replaced only once the whole body has arrived with a success status, and
// then in one step, so neither a failed request nor a reader at the wrong
// moment ever sees a broken report.
class ReportFile final : public QObject
{
    Q_OBJECT

public:
    struct Outcome
    {
        bool saved = false;
        QString filePath; // absolute path of the file written
        QString problem;  // why nothing was written, when not saved
    };

    // Becomes a child of `reply`, so it goes when the reply goes.
    ReportFile(QNetworkReply *reply, const QString &fileName);

    // Call once the reply has finished.
    Outcome finish();

    static ReportFile *of(QNetworkReply *reply);

private:
    void receive();

    QNetworkReply *reply;
    QSaveFile file;
    bool failedToWrite = false;
};
