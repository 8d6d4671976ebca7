#include "navigationguard.h"

#include "origin.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {

// How long a click or a key counts for the link it followed: the engine may
// ask a moment later, from another process.
constexpr qint64 actionLifetimeMs = 2500;

QString shown(const QUrl &url)
{
    // What a hostile page puts in an address can be long: the log gets its start.
    return url.toString(QUrl::RemoveUserInfo | QUrl::FullyEncoded).left(300);
}

const char *causeName(NavigationCause cause)
{
    switch (cause) {
    case NavigationCause::Shell:
        return "učitavanje programa";
    case NavigationCause::Link:
        return "poveznica";
    case NavigationCause::Form:
        return "obrazac";
    case NavigationCause::History:
        return "povijest";
    case NavigationCause::Script:
        return "skripta";
    case NavigationCause::Redirect:
        return "preusmjeravanje";
    }
    return "";
}

} // namespace

NavigationVerdict navigationVerdict(const QUrl &url, NavigationCause cause, const QList<QUrl> &origins,
                                    bool userActed)
{
    if (cause == NavigationCause::Shell)
        return NavigationVerdict::Allow; // the address the till was set up with, or one it showed
    // A blob is the document of the origin that made it.
    const QUrl document = url.scheme() == QLatin1String("blob") ? QUrl(url.path()) : url;
    if (isFromOrigins(document, origins))
        return NavigationVerdict::Allow;
    if (webOrigin(url).isEmpty())
        return NavigationVerdict::Refuse; // another scheme, a blob of another site among them
    return cause == NavigationCause::Link && userActed ? NavigationVerdict::OpenOutside : NavigationVerdict::Refuse;
}

QString navigationRefusal(const QUrl &url)
{
    return QCoreApplication::translate("NavigationGuard",
                                       "Stranica je poslana na %1, a ovdje se prikazuje samo servis.")
        .arg(url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::FullyEncoded).left(200));
}

bool downloadAllowed(const QUrl &url, const QString &requester, const QList<QUrl> &origins)
{
    return isFromOrigins(url, origins) && isFromOrigins(QUrl(requester), origins);
}

NavigationGuard::NavigationGuard(const QList<QUrl> &origins, QObject *parent)
    : QObject(parent)
    , allowed(origins)
{
}

void NavigationGuard::watch(QObject *view)
{
    view->installEventFilter(this);
    for (QObject *child : view->children())
        watch(child);
}

bool NavigationGuard::eventFilter(QObject *watched, QEvent *event)
{
    Q_UNUSED(watched)
    switch (event->type()) {
    case QEvent::ChildAdded:
        // The engine may put the widget that takes the input in later.
        watch(static_cast<QChildEvent *>(event)->child());
        break;
    case QEvent::MouseButtonRelease: {
        const Qt::MouseButton button = static_cast<QMouseEvent *>(event)->button();
        if (button == Qt::LeftButton || button == Qt::MiddleButton)
            lastAction.start();
        break;
    }
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)
            lastAction.start();
        break;
    }
    default:
        break;
    }
    return false;
}

NavigationVerdict NavigationGuard::decide(const QUrl &url, NavigationCause cause)
{
    const bool userActed = lastAction.isValid() && lastAction.elapsed() < actionLifetimeMs;
    const NavigationVerdict verdict = navigationVerdict(url, cause, allowed, userActed);
    switch (verdict) {
    case NavigationVerdict::Allow:
        break;
    case NavigationVerdict::OpenOutside:
        // One browser per click.
        lastAction.invalidate();
        qInfo().noquote() << "Poveznica izvan servisa otvara se u pregledniku:" << shown(url);
        QDesktopServices::openUrl(url);
        break;
    case NavigationVerdict::Refuse:
        qWarning().noquote() << QStringLiteral("Stranica nije otvorena (%1): ovdje se prikazuje samo servis, a ne %2")
                                    .arg(QString::fromUtf8(causeName(cause)), shown(url));
        break;
    }
    return verdict;
}

bool NavigationGuard::mayDownload(const QUrl &url, const QString &requester) const
{
    if (downloadAllowed(url, requester, allowed))
        return true;
    qWarning().noquote() << QStringLiteral("Preuzimanje odbijeno: %1 (tražio ga je %2); preuzima se samo ono što "
                                           "stranica servisa zatraži sa servisa")
                                .arg(shown(url), requester.isEmpty() ? QStringLiteral("dokument bez izvora") : requester);
    return false;
}
