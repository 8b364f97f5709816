// Text between UTF-16 and the ANSI code page, the two forms Windows takes.
#ifndef QUILLET_PLATFORM_TEXT_WIN32_H
#define QUILLET_PLATFORM_TEXT_WIN32_H

#include <windows.h>

#include <string>
#include <string_view>

namespace quillet {

// A text in the ANSI code page, and whether that spells it exactly.
struct AnsiText {
  std::string bytes;
  bool exact = true;
};

// The ANSI code page's form of a UTF-16 text. A character the code page cannot
// represent becomes '?' and the text is not exact. Nothing is replaced by a
// look-alike ("best fit"): a file name that cannot be spelt must never turn
// into the name of another, existing file.
AnsiText AnsiFromUtf16(std::u16string_view text);

// UTF-16 from text in the ANSI code page.
std::u16string Utf16FromAnsi(std::string_view text);

// The same code units as the wide characters of the Windows API.
inline const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

}  // namespace quillet

#endif
