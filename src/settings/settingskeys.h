#pragma once

#include <QLatin1String>

// The one settings file and its keys. Every reader opens the file itself, at
// the moment it needs a value, so hand edits are seen by the next read.
namespace SettingsKeys {

inline constexpr QLatin1String fileName{"settings.ini"};
// Certificates trusted on first use, beside the settings file.
inline constexpr QLatin1String trustedHostsFileName{"trusted-hosts.ini"};
// Every invoice output, beside the settings file.
inline constexpr QLatin1String journalFileName{"journal.sqlite"};

inline constexpr QLatin1String mainUrl{"mainUrl"};
inline constexpr QLatin1String timeout{"timeout"};
inline constexpr QLatin1String useSerialPort{"useSerialPort"};
inline constexpr QLatin1String printerPort{"printerPort"};
inline constexpr QLatin1String friendlyName{"friendlyName"};
inline constexpr QLatin1String portEncoding{"portEncoding"};   // empty: UTF-8
inline constexpr QLatin1String portCodeTable{"portCodeTable"}; // ESC t n before the invoice; empty: none
inline constexpr QLatin1String portCutPaper{"portCutPaper"};     // true: feed and cut (GS V) after each invoice
inline constexpr QLatin1String portOpenDrawer{"portOpenDrawer"}; // true: a drawer pulse (ESC p) with each invoice
inline constexpr QLatin1String checkForNewVersionUrl{"checkForNewVersionUrl"};
inline constexpr QLatin1String version{"version"};

} // namespace SettingsKeys
