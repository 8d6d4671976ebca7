#include "failurebar.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

FailureBar::FailureBar(QWidget *parent)
    : QFrame(parent)
    , message(new QLabel(this))
    , retry(new QPushButton(tr("Ponovi ispis"), this))
    , settings(new QPushButton(tr("Postavke"), this))
    , close(new QToolButton(this))
{
    setObjectName(QStringLiteral("failureBar"));
    message->setObjectName(QStringLiteral("lblFailure"));
    retry->setObjectName(QStringLiteral("btnRetryPrint"));
    settings->setObjectName(QStringLiteral("btnFailureSettings"));
    close->setObjectName(QStringLiteral("btnCloseFailure"));
    close->setText(QStringLiteral("✕"));
    close->setToolTip(tr("Zatvori"));
    message->setWordWrap(true);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message->setMaximumHeight(2 * message->fontMetrics().lineSpacing() + 2);
    // Its width is what the buttons leave, whatever the text (a long word
    // would otherwise widen the bar past the window).
    message->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    setStyleSheet(QStringLiteral("#failureBar{background:#fde2e1;border:1px solid #d9534f;border-radius:3px}"
                                 "#lblFailure{color:#7a1f1c;font-weight:bold}"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 4, 4);
    layout->addWidget(message, 1);
    layout->addWidget(retry);
    layout->addWidget(settings);
    layout->addWidget(close);

    connect(retry, &QPushButton::clicked, this, &FailureBar::retryRequested);
    connect(settings, &QPushButton::clicked, this, &FailureBar::settingsRequested);
    connect(close, &QToolButton::clicked, this, [this] {
        hide();
        emit dismissed();
    });
    hide();
}

void FailureBar::showFailure(const QString &reason, int othersWaiting)
{
    QString text = tr("Račun nije ispisan: %1").arg(reason);
    if (othersWaiting > 0)
        text += QLatin1Char(' ') + tr("(još neispisanih računa: %1)").arg(othersWaiting);
    fullText = text;
    fitMessage();
    show();
}

void FailureBar::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    fitMessage();
}

void FailureBar::fitMessage()
{
    // Two lines of the label's width, less what breaking at words loses.
    showElided(message, fullText, Qt::ElideRight, qMax(message->width(), 200) * 3 / 2);
}

void showElided(QLabel *label, const QString &text, Qt::TextElideMode mode, int width)
{
    const QString shown = label->fontMetrics().elidedText(text, mode, width);
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
}
