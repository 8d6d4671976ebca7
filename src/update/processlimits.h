#pragma once

#include <QtGlobal>

// Limits this process puts on itself before it runs untrusted script: at
// most `cpuSeconds` of processor time and `extraMemoryBytes` more data memory
// than it uses now. Past either, the system ends the process. One
// implementation file per platform.
namespace ProcessLimits {

bool apply(int cpuSeconds, qint64 extraMemoryBytes);

} // namespace ProcessLimits
