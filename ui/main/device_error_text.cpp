#include "ui/main/device_error_text.h"

#include "res/resource.h"

#include <windows.h>

namespace veltaro {

namespace {

constexpr int MESSAGE_BUFFER = 4000;
constexpr const char* UNKNOWN_ERROR = "Unknown error has occurred!";

} // namespace

std::string deviceErrorText(int code) {
    if (code < 0) {
        return UNKNOWN_ERROR;
    }
    char text[MESSAGE_BUFFER];
    const int length =
        LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(IDS_DEVICE_ERROR_FIRST + code), text, MESSAGE_BUFFER);
    return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : UNKNOWN_ERROR;
}

} // namespace veltaro
