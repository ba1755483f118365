#pragma once

// The command's strict reading of numbers and its way of naming values in
// one-line messages.

#include <string>

namespace measure {

// Strict number parsing: the whole text must be the number, with no blanks or
// sign "+"; decimals must be finite. False for anything else.
bool parseWholeNumber(const std::string& text, int& value);
bool parseDecimalNumber(const std::string& text, double& value);

// A number as a message shows it (printf's %g).
std::string formatNumber(double value);

// A name or value in double quotes, as messages show it.
std::string quoted(const std::string& text);

} // namespace measure
