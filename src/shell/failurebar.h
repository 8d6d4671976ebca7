#pragma once

#include <QFrame>

class QLabel;
class QPushButton;
class QToolButton;

// The bar above the page that says an invoice was not output. It stays until
// the user closes it or the invoice is output after all; the transient
// status-bar line is not enough for a receipt that did not come out.
class FailureBar final : public QFrame
{
    Q_OBJECT

public:
    explicit FailureBar(QWidget *parent = nullptr);

    // Shows `reason` for the newest invoice not output, and how many others
    // are still waiting.
    void showFailure(const QString &reason, int othersWaiting);
    // What it says, whole (the bar shows at most two lines of it).
    QString text() const { return fullText; }

protected:
    void resizeEvent(QResizeEvent *event) override;

signals:
    void retryRequested();
    void settingsRequested();
    void dismissed();

private:
    // At most two lines of the text, the rest elided and in the tooltip: a
    // long reason must not push the page away.
    void fitMessage();

    QString fullText;
    QLabel *message;
    QPushButton *retry;
    QPushButton *settings;
    QToolButton *close;
};

// Shows `text` on `label` within `width` pixels, elided as `mode` says; the
// whole text is then its tooltip.
void showElided(QLabel *label, const QString &text, Qt::TextElideMode mode, int width);
