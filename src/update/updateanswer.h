#pragma once

#include "updatefile.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What an update check answer says, read as the script expression it is.
struct UpdateAnswer
{
    double version = 0;       // NaN when not a number: never newer
    bool hasFileList = false; // "files" is an array
    QList<UpdateFile> files;  // the entries with a DownloadURL, in order
    bool aborted = false;     // the evaluation ran past its deadline
};

// The answer as text: UTF-8, ending at the first zero byte.
QString answerText(const QByteArray &body);

// Evaluates "(" + answer + ")". An answer that runs longer than `deadlineMs`
// is aborted and reads like an invalid one.
UpdateAnswer evaluateUpdateAnswer(const QString &answer, int deadlineMs = 2000);

// Lets the script engine reserve what it takes on first use, before the
// reader limits its own memory.
void warmUpAnswerEngine();

// The plain values of an answer, as the answer reader passes them on, and
// back; false for text that is not such a record.
QByteArray answerToJson(const UpdateAnswer &answer);
bool answerFromJson(const QByteArray &json, UpdateAnswer *answer);

// The file name an address gives: the last segment of its decoded path.
QString fileNameOf(const QString &downloadUrl);

// Why the update must be refused as a whole; empty when every file may go
// in place. The answer is untrusted: every file comes over https, and nothing
// may land outside the program's folder or under a name with control
// characters.
QString refusalReason(const QList<UpdateFile> &files);
