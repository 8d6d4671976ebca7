#pragma once

// What every fuzz target shares: the application object the program has,
// the input as Qt types, a scratch folder, and expectations whose failure
// is a finding like a crash.

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_EXPECT(condition)                                                                       \
    do {                                                                                             \
        if (!(condition)) {                                                                          \
            std::fprintf(stderr, "expectation failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                            \
        }                                                                                            \
    } while (false)

inline QByteArray fuzzBytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), int(size));
}

// Any UTF-16, half surrogate pairs and all: what a page's script can hand over.
inline QString fuzzText(const QByteArray &bytes)
{
    return QString(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2);
}

// The part of `bytes` before the n-th zero byte (from 0), and so on.
inline QByteArray fuzzField(const QByteArray &bytes, int n)
{
    return bytes.split('\0').value(n);
}

// A folder for the files a target writes, gone when the run ends.
inline QString fuzzFolder()
{
    static QTemporaryDir folder;
    return folder.path();
}

// Defines LLVMFuzzerInitialize with an application object of type APP.
#define FUZZ_APPLICATION(APP)                                        \
    extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)     \
    {                                                                \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))          \
            qputenv("QT_QPA_PLATFORM", "offscreen");                 \
        qputenv("QT_LOGGING_RULES", "*.debug=false;*.warning=false"); \
        static APP application(*argc, *argv);                        \
        return 0;                                                    \
    }
