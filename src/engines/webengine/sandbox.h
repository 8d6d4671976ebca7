#pragma once

// Whether Chromium's sandbox can run for this process: not as the
// administrator (root), where Chromium refuses to start with it.
bool engineSandboxPossible();
