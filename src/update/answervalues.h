#pragma once

#include "updateanswer.h"

// Reads the values of an evaluated answer, the same way whichever script
// engine evaluated it (QtScript on Qt 5, QJSEngine on Qt 6): `Value` and
// `Iterator` are that engine's value and property iterator, and `absent`
// says whether a value is missing (undefined, or no value at all).
template <typename Value, typename Iterator, typename Absent>
UpdateAnswer answerValues(const Value &value, Absent absent)
{
    // A property as text; missing, null or on a non-object, empty.
    auto textOf = [&absent](const Value &object, const QString &name) {
        if (!object.isObject())
            return QString();
        const Value property = object.property(name);
        return absent(property) || property.isNull() ? QString() : property.toString();
    };

    UpdateAnswer result;
    const Value version = value.isObject() ? value.property(QStringLiteral("version")) : Value();
    result.version = absent(version) ? 0 : version.toNumber();

    const Value files = value.isObject() ? value.property(QStringLiteral("files")) : Value();
    result.hasFileList = files.isArray();
    if (!result.hasFileList)
        return result;
    // The elements in index order; an entry without a DownloadURL (QtScript's
    // "length" among them) drops out.
    Iterator it(files);
    while (it.hasNext()) {
        it.next();
        const Value entry = it.value();
        UpdateFile file;
        file.downloadUrl = textOf(entry, QStringLiteral("DownloadURL"));
        if (file.downloadUrl.isEmpty())
            continue;
        file.filePath = textOf(entry, QStringLiteral("FilePath"));
        file.sha256 = textOf(entry, QStringLiteral("SHA256"));
        result.files.append(file);
    }
    return result;
}
