#include "engine.h"

#include "sandbox.h"
#include "webenginepage.h"
#include "webenginerenderer.h"

#include <QCoreApplication>
#include <QStringList>
#include <QtWebEngineCore/qtwebenginecoreversion.h>

QString prepareEngine()
{
    // The engine shares its rendering contexts with Qt's; this must be said
    // before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QStringList notes;
    // No developer tools: whoever can reach a debugging port drives the till.
    QStringList flags = QString::fromLocal8Bit(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS")).split(QLatin1Char(' '));
    const qsizetype given = flags.size();
    flags.removeIf([](const QString &flag) {
        return flag.startsWith(QLatin1String("--remote-debugging")) || flag.startsWith(QLatin1String("--auto-open-devtools"));
    });
    if (qEnvironmentVariableIsSet("QTWEBENGINE_REMOTE_DEBUGGING") || flags.size() != given) {
        qunsetenv("QTWEBENGINE_REMOTE_DEBUGGING");
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.join(QLatin1Char(' ')).toLocal8Bit());
        notes << QStringLiteral("Alati za razvoj web-preglednika na blagajni nisu dostupni; zatraženi su u okolini "
                                "programa i zanemareni.");
    }
    // Chromium's own errors (a refused handshake, an issuer it does not know,
    // all decided and said by us) are English lines on the till's terminal at
    // every start: only what ends it is said, unless someone asked for more.
    const QString asked = flags.join(QLatin1Char(' '));
    if (!asked.contains(QLatin1String("--log-level")) && !asked.contains(QLatin1String("--enable-logging"))) {
        flags << QStringLiteral("--log-level=3");
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.join(QLatin1Char(' ')).trimmed().toLocal8Bit());
    }
    if (!engineSandboxPossible() && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        notes << QStringLiteral("Program radi kao root (administrator), pa je sandbox web-preglednika isključen; "
                                "na blagajni ga pokrećite kao običan korisnik.");
    }
    return notes.join(QLatin1Char(' '));
}

QString engineName()
{
    return QStringLiteral("QtWebEngine %1").arg(QLatin1String(QTWEBENGINECORE_VERSION_STR));
}

std::unique_ptr<ShellPage> createShellPage(const PageSetup &setup, QWidget *parent)
{
    return std::make_unique<WebEnginePage>(setup, parent);
}

std::unique_ptr<InvoiceRenderer> createInvoiceRenderer(const PageSetup &setup)
{
    return std::make_unique<WebEngineRenderer>(setup);
}
