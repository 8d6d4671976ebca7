#include "engine.h"

#include "sandbox.h"
#include "webenginepage.h"
#include "webenginerenderer.h"

#include <QCoreApplication>
#include <QtWebEngineCore/qtwebenginecoreversion.h>

QString prepareEngine()
{
    // The engine shares its rendering contexts with Qt's; this must be said
    // before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (engineSandboxPossible() || qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        return QString();
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    return QStringLiteral("Program radi kao root (administrator), pa je sandbox web-preglednika isključen; "
                          "na blagajni ga pokrećite kao običan korisnik.");
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
