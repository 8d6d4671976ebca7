#include "serviceorigin.h"

#include "buildconfig.h"

namespace {

QString &overridden()
{
    static QString origin;
    return origin;
}

} // namespace

namespace ServiceOrigin {

QString value()
{
    if (!overridden().isEmpty())
        return overridden();
    return QStringLiteral("https://" VELMOR_SERVICE_HOST);
}

void overrideForTests(const QString &origin)
{
    overridden() = origin;
}

} // namespace ServiceOrigin
