#include "ui/framework/utf8_text.h"

namespace veltaro {

std::wstring widen(std::string_view utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    }
    return wide;
}

void textOut(HDC dc, int x, int y, std::string_view utf8) {
    const std::wstring wide = widen(utf8);
    TextOutW(dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

SIZE textExtent(HDC dc, std::string_view utf8) {
    const std::wstring wide = widen(utf8);
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    return size;
}

} // namespace veltaro
