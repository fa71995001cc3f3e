#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace veltaro {

// The program's text is UTF-8 (its degree signs, and file names under the UTF-8 code page). GDI's "A"
// functions read text in the code page of an ANSI font's character set whatever the process's, so text that may
// hold more than ASCII is drawn through the wide functions.
std::wstring widen(std::string_view utf8);
void textOut(HDC dc, int x, int y, std::string_view utf8);
SIZE textExtent(HDC dc, std::string_view utf8);

} // namespace veltaro
