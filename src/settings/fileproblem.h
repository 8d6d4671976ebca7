#pragma once

#include <QString>

class QFileDevice;

// Why a file could not be opened, read or written, in Croatian: Qt's own
// text is the system's, in English.
QString fileProblem(const QFileDevice &file);
