#include "sandbox.h"

bool engineSandboxPossible()
{
    return true; // Chromium runs its sandbox for administrators too
}
