#include "sandbox.h"

#include <unistd.h>

bool engineSandboxPossible()
{
    return geteuid() != 0;
}
