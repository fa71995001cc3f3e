#pragma once

#include <string_view>

namespace veltaro {

// Whether two texts are the same but for the case of their ASCII letters, as names and keys are compared.
bool sameText(std::string_view a, std::string_view b);

// The value of a hexadecimal digit of either case, or -1 for any other character.
int hexDigit(char c);

// text without the spaces and tabs (and, if asked, line ends) at either end.
std::string_view trimmed(std::string_view text, bool lineEnds = false);

} // namespace veltaro
