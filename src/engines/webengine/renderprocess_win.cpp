#include "renderprocess.h"

#include <windows.h>

void endRenderProcess(qint64 pid)
{
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid))) {
        TerminateProcess(process, 1);
        CloseHandle(process);
    }
}
