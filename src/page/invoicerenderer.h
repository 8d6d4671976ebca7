#pragma once

#include <QObject>
#include <QPageLayout>
#include <QString>

// Renders an HTML invoice to a PDF file, without a window: images and styles
// come from the service alone, under the pages' certificate rules, and the
// invoice's scripts do not run. One invoice at a time; `rendered` says how
// it went, always, and never from inside `render`.
class InvoiceRenderer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // What is not there after `waitMs` (an image that stalls) is left out;
    // no limit when negative.
    virtual void render(const QString &html, const QPageLayout &layout, const QString &title,
                        const QString &pdfPath, int waitMs) = 0;

signals:
    void rendered(bool ok, const QString &problem);
};
