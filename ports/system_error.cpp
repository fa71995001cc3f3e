#include "ports/system_error.h"

#include <cctype>

namespace veltaro {

std::string systemErrorText(DWORD error) {
    char text[512] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                  sizeof text, nullptr);
    while (length > 0 && std::isspace(static_cast<unsigned char>(text[length - 1]))) {
        --length;
    }
    return std::string(text, length);
}

} // namespace veltaro
