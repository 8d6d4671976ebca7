#pragma once

#include "shellcontext.h"

// The service, certificate and folders this build of the program uses:
// "https://" + the service host and the certificate given at build time,
// settings.ini in the working directory, the executable's own folder.
// Call once the application object exists.
ShellContext deploymentContext();
