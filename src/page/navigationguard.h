#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

// What started a navigation of the page's top window (or of a window the
// page wants to open), as an engine tells it.
enum class NavigationCause {
    Shell,    // the shell's own load (the main address, a retry)
    Link,     // a link followed (by a click, or by a script that clicked it)
    Form,     // a form sent
    History,  // back, forward or reload
    Script,   // a script or a refresh sent the window there
    Redirect, // the server sent it on
};

enum class NavigationVerdict {
    Allow,       // the page goes there
    OpenOutside, // the desktop's browser gets the address; the page stays
    Refuse,      // nothing is requested; the page stays
};

// The engine renders the service and nothing else: the service's origins
// (and the main address's) may be shown at the top; a link to another web
// site the cashier clicked goes to the desktop's browser; anything else at
// the top (a script's or a server's way elsewhere, a form sent elsewhere,
// another scheme) is refused. `userActed` says the cashier has just clicked
// or pressed a key in the page.
NavigationVerdict navigationVerdict(const QUrl &url, NavigationCause cause, const QList<QUrl> &origins,
                                    bool userActed);

// Why a page that was sent elsewhere before it showed cannot be shown, in
// words for the till.
QString navigationRefusal(const QUrl &url);

// Whether a download may be saved and opened: the service's own document
// (`requester` is its origin, as `webOrigin` writes it) asked for it from
// the service.
bool downloadAllowed(const QUrl &url, const QString &requester, const QList<QUrl> &origins);

// The one place both engines' pages ask where the page may go. It watches
// the view for the cashier's clicks and keys (what makes a link followed by
// the cashier's hand), logs what it refuses, and hands the addresses the
// cashier clicked to the desktop's browser, once per click: a page cannot
// open browsers by itself.
class NavigationGuard final : public QObject
{
    Q_OBJECT

public:
    NavigationGuard(const QList<QUrl> &origins, QObject *parent = nullptr);

    // Input on `view` (and the widgets it holds) counts as the cashier's.
    void watch(QObject *view);

    // Decides, logs a refusal, and opens the address outside when that is
    // the verdict.
    NavigationVerdict decide(const QUrl &url, NavigationCause cause);
    // Logs a refusal.
    bool mayDownload(const QUrl &url, const QString &requester) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<QUrl> allowed;
    QElapsedTimer lastAction; // the cashier's latest click or key; invalid: none, or used up
};
