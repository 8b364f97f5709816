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

// What the bytes of the ANSI code page stand for in reports: the UTF-16 unit of
// the character that each byte from 0x80 up is by itself (high[byte - 0x80]),
// or 0 for a byte that is none (every such byte of a code page that spells some
// characters in two bytes). Bytes below 0x80 are ASCII in every ANSI code page.
struct AnsiCodePage {
  char16_t high[128] = {};
};

// The system's: MultiByteToWideChar on Windows; natively, where the stand-in
// code page is UTF-8, no byte from 0x80 up is a character by itself.
const AnsiCodePage& SystemAnsiCodePage();

// The code page that reports are read with: the system's, or the one a test
// gives (null: the system's again).
const AnsiCodePage& ReportAnsiCodePage();
void SetAnsiCodePageForTesting(const AnsiCodePage* page);

}  // namespace quillet

#endif
