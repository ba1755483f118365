#pragma once

// The text of quorrel-measure --help.

#include <string>

namespace measure {

// The --help text, ending in a newline.
std::string helpText();

} // namespace measure
