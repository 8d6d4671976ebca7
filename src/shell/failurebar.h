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

signals:
    void retryRequested();
    void settingsRequested();
    void dismissed();

private:
    QLabel *message;
    QPushButton *retry;
    QPushButton *settings;
    QToolButton *close;
};
