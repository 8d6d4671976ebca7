#pragma once

#include "mainwindow.h"
#include "pagescript.h"
#include "shellpage.h"

#include <QSignalSpy>
#include <QString>
#include <QTimer>

#include <memory>

// The main window's page, whatever engine shows it.
ShellPage *pageOf(QWidget *window);

// The "value" attribute of the shown page's "#IsShell" element; "none" when
// the page has none.
QString shellMarker(QWidget *window);

// What the window's failure bar says; empty while it is hidden.
QString failureText(QWidget *window);

// Builds the main window with a spy on its page loads; the constructor runs
// no event loop, so the spy sees the very first load.
std::unique_ptr<MainWindow> makeMainWindow(const ShellContext &context, std::unique_ptr<QSignalSpy> &loads);

// Presses `button` ("btnSettings", or the failure bar's "btnFailureSettings")
// and waits until Postavke have come and gone again (the test closes them,
// with onNextModal); false, saying why, after 20 s.
bool settingsRoundTrip(QWidget *window, const char *button = "btnSettings");

// Waits until the invoices being output are out (or have failed); when they
// are not within `timeoutMs`, says so and returns false.
bool waitForOutput(QWidget *window, int timeoutMs = 20000);

// Waits until `count` loads have finished and the invoices they left are
// output; when they have not within `timeoutMs`, says what the view was
// showing and returns false.
bool waitForLoads(QWidget *window, QSignalSpy &loads, int count = 1, int timeoutMs = 10000);

// Builds the main window into `window` and waits for its first page load;
// `loadOk`, when given, gets that load's result.
bool openMainWindow(std::unique_ptr<MainWindow> &window, const ShellContext &context, bool *loadOk = nullptr);

// Closes the update dialog whenever it waits for its button, as a user
// would, so that a test can go on past a failed check; the dialog runs its
// own event loop until then. Notes what the dialog said and whether the main
// window was showing under it.
class UpdateDialogCloser
{
public:
    UpdateDialogCloser();

    QString label;              // the dialog's text when it was closed
    bool windowVisible = false; // a main window was showing under it

private:
    QTimer watch;
};
