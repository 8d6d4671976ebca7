#include "engine.h"

#include "webkitpage.h"
#include "webkitrenderer.h"

#include <QtWebKit/qtwebkitversion.h>

QString prepareEngine()
{
    return QString(); // QtWebKit needs nothing before the application
}

QString engineName()
{
    return QStringLiteral("QtWebKit %1").arg(QLatin1String(QTWEBKIT_VERSION_STR));
}

std::unique_ptr<ShellPage> createShellPage(const PageSetup &setup, QWidget *parent)
{
    return std::make_unique<WebKitPage>(setup, parent);
}

std::unique_ptr<InvoiceRenderer> createInvoiceRenderer(const PageSetup &setup)
{
    return std::make_unique<WebKitRenderer>(setup);
}
