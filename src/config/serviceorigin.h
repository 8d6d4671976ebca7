#pragma once

#include <QString>

// "https://" followed by the service host fixed at build time. Reports, the
// default start page and the default update check all hang off it.
namespace ServiceOrigin {

QString value();

// For the test suite only: lets tests point the program at their own local
// server. The program itself never calls it, so users have no way to change
// the origin at run time.
void overrideForTests(const QString &origin);

} // namespace ServiceOrigin
