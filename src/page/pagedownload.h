#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

// A document the page's view cannot show (a report, as a rule), fetched once
// by the engine in the page's own session: what the page's request carried
// (its cookies, its method, its form) goes along, and nothing asks for it a
// second time. Whoever it is offered to saves it or cancels it at once; it
// releases itself once it has said how it ended.
class PageDownload : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual QUrl url() const = 0;
    // The origin of the page that led to it.
    virtual QString origin() const = 0;
    // Saves it as `filePath`, which is replaced in one step once the whole
    // document has arrived and stays as it was otherwise (also when it is a
    // link to elsewhere). One still arriving after `timeLimitMs` (none when
    // 0 or less) is stopped and fails, saying so.
    virtual void saveAs(const QString &filePath, int timeLimitMs) = 0;
    // Nothing is saved, and nothing is said.
    virtual void cancel() = 0;

    // Saved or cancelled already: an adapter cancels one nobody took.
    bool taken() const { return isTaken; }

signals:
    void progress(qint64 received, qint64 total); // total is -1 while unknown
    void saved(const QString &filePath);          // absolute path of the file written
    void failed(const QString &problem);          // nothing written; the previous file stays

protected:
    bool isTaken = false;
};
