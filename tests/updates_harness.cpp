// A small program around the update dialog, for trying a whole update in a
// program folder of its own: it runs the start-up check as the shell does,
// clicks the button as soon as the user could, and notes what it saw in
// "harness.log" in the working directory (and its process id in
// "harness.pid"). After an installed update the
// click restarts it; a third start never clicks, so a fault cannot loop.

#include "settingskeys.h"
#include "updates.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {

void note(const QByteArray &line)
{
    QFile log(QStringLiteral("harness.log"));
    if (log.open(QIODevice::Append))
        log.write(line + '\n');
}

int startsSoFar()
{
    QFile log(QStringLiteral("harness.log"));
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    return log.readAll().count("start\n");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool mayClick = startsSoFar() < 2;
    note("start");
    // For a test that ends this process from outside, mid-install.
    QFile pid(QStringLiteral("harness.pid"));
    if (pid.open(QIODevice::WriteOnly))
        pid.write(QByteArray::number(QCoreApplication::applicationPid()));
    pid.close();

    // The check address comes from the settings file; the program folder is
    // the one this copy of the harness runs from.
    ShellContext context;
    context.settingsFile = SettingsKeys::fileName;
    context.programDir = QCoreApplication::applicationDirPath();
    QFile pem(QStringLiteral(TEST_CERT_PEM));
    if (pem.open(QIODevice::ReadOnly))
        context.trustedCertificates = pem.readAll();
    context.answerReader = QStringLiteral(ANSWER_READER);
    context.updateLimits.transferTimeoutMs = 5000;

    Updates dialog(context, nullptr);
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("lblStatus"));
    auto *button = dialog.findChild<QPushButton *>(QStringLiteral("pushButton"));
    // Each time the button comes on: the text, then a click the first time
    // (when this start may click), else the dialog is closed.
    QTimer watch;
    QString noted;
    bool clicked = false;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!button->isEnabled() || label->text() == noted)
            return;
        noted = label->text();
        note("label: " + noted.toUtf8());
        if (mayClick && !clicked) {
            clicked = true;
            button->click();
        } else {
            dialog.reject();
        }
    });
    watch.start(20);
    dialog.exec();
    note("closed");
    return 0;
}
