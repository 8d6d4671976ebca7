#include "renderprocess.h"

#include <signal.h>
#include <sys/types.h>

void endRenderProcess(qint64 pid)
{
    ::kill(static_cast<pid_t>(pid), SIGKILL);
}
