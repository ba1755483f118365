#include "StrictText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace measure {

bool parseWholeNumber(const std::string& text, int& value)
{
    const char* first = text.data();
    const char* last = first + text.size();
    int parsed = 0;
    const auto [end, status] = std::from_chars(first, last, parsed);
    if (text.empty() || status != std::errc() || end != last)
        return false;
    value = parsed;
    return true;
}

bool parseDecimalNumber(const std::string& text, double& value)
{
    const char* first = text.data();
    const char* last = first + text.size();
    double parsed = 0.0;
    const auto [end, status] = std::from_chars(first, last, parsed, std::chars_format::general);
    if (text.empty() || status != std::errc() || end != last || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

std::string formatNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

} // namespace measure
