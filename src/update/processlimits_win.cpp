#include "processlimits.h"

#include <windows.h>

namespace ProcessLimits {

bool apply(int cpuSeconds, qint64 extraMemoryBytes)
{
    // A job object of its own holds the process to both limits.
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return false;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_TIME | JOB_OBJECT_LIMIT_PROCESS_MEMORY;
    limits.BasicLimitInformation.PerProcessUserTimeLimit.QuadPart = qint64(cpuSeconds) * 10000000;
    limits.ProcessMemoryLimit = SIZE_T(extraMemoryBytes) + (64ull << 20);
    return SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)
           && AssignProcessToJobObject(job, GetCurrentProcess());
}

} // namespace ProcessLimits
