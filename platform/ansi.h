// Text in the ANSI code page, the form names take inside the library, from the
// UTF-16 that Java, the command line and Unicode files hold. The Windows build
// converts through the system's code page (text_win32.cpp); the native build
// stands in with UTF-8, which spells everything (ansi_posix.cpp).
#ifndef QUILLET_PLATFORM_ANSI_H
#define QUILLET_PLATFORM_ANSI_H

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

}  // namespace quillet

#endif
