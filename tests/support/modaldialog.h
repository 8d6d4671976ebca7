#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Runs `act` on the next modal dialog once it is up (a dialog may first ask
// the print system, with the event loop running), looking every 20 ms for at
// most 10 s; it says so when none came.
inline void onNextModal(const std::function<void(QWidget *)> &act)
{
    auto *timer = new QTimer;
    const auto deadline = std::make_shared<QDeadlineTimer>(10000);
    QObject::connect(timer, &QTimer::timeout, [timer, act, deadline] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog && !deadline->hasExpired())
            return;
        timer->stop();
        timer->deleteLater();
        if (dialog)
            act(dialog);
        else
            qWarning("No modal dialog came up within 10 s");
    });
    timer->start(20);
}
