#pragma once

#include <string>
#include <vector>

// A small but complete PDF document: one A4 page with the given lines of
// ASCII text in Helvetica.
std::string makePdf(const std::vector<std::string> &lines);
