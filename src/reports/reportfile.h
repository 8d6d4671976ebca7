#pragma once

#include <QObject>
#include <QSaveFile>
#include <QString>

class QNetworkReply;

// Puts the file `downloaded` in place as `fileName` by the same rules: in one
// step, never through a link, the previous file kept when it cannot be done.
// Empty when it was done, else why not.
QString placeReport(const QString &downloaded, const QString &fileName);
// Why a report still arriving after `timeLimitMs` was stopped.
QString reportTooLate(int timeLimitMs);

// Streams one reply's body into a file as it arrives. The file on disk is
// replaced only once the whole body has arrived with a success status, and
// then in one step, so neither a failed request nor a reader at the wrong
// moment ever sees a broken report.
class ReportFile final : public QObject
{
    Q_OBJECT

public:
    // Takes over `reply`, finished or not: once it has finished, one of the
    // signals says how it went, and the reply and this object are released.
    // A reply still arriving after `timeLimitMs` (none when 0 or less) is
    // stopped and fails, saying so.
    ReportFile(QNetworkReply *reply, const QString &fileName, int timeLimitMs = 0);

signals:
    void progress(qint64 received, qint64 total); // total is -1 while unknown
    void saved(const QString &filePath); // absolute path of the file written
    void failed(const QString &problem); // nothing written; the previous file stays

private:
    void receive();
    void finish();
    QString problem();

    QNetworkReply *reply;
    QSaveFile file;
    bool failedToWrite = false;
    bool throughLink = false;
    int timeLimitMs;
    bool outOfTime = false;
    bool finished = false;
};
