#pragma once

#include <QString>

// One file that an update answer announces.
struct UpdateFile
{
    QString filePath;    // folder inside the program's folder; may be empty
    QString downloadUrl; // never empty in a built list
    QString sha256;      // expected hex digest, when the answer gives one
};
