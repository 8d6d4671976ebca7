#pragma once

#include "outputselection.h"

#include <QtTest>

#include <optional>

// An output selection that may be absent, as a data column and in QCOMPARE.
using MaybeInfo = std::optional<PrinterInfo>;
Q_DECLARE_METATYPE(MaybeInfo)

namespace QTest {
template <>
inline char *toString(const MaybeInfo &info)
{
    if (!info)
        return qstrdup("nothing");
    return qstrdup(QStringLiteral("{%1, %2, %3}")
                       .arg(info->printerPort, info->useSerialPort ? QStringLiteral("true") : QStringLiteral("false"),
                            info->friendlyName)
                       .toUtf8()
                       .constData());
}
} // namespace QTest
