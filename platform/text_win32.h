// Text between UTF-16 and the ANSI code page, the two forms Windows takes
// (AnsiFromUtf16 in ansi.h).
#ifndef QUILLET_PLATFORM_TEXT_WIN32_H
#define QUILLET_PLATFORM_TEXT_WIN32_H

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/ansi.h"

namespace quillet {

// UTF-16 from text in the ANSI code page.
std::u16string Utf16FromAnsi(std::string_view text);

// The same code units as the wide characters of the Windows API.
inline const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

}  // namespace quillet

#endif
