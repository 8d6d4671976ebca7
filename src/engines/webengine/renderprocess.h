#pragma once

#include <QtGlobal>

// Ends the page's renderer process, which no longer answers: the engine
// then reports it gone and the next load gets a new one.
void endRenderProcess(qint64 pid);
