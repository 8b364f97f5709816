// Natively names are UTF-8 bytes: the stand-in for the ANSI code page.
#include "platform/ansi.h"

#include "platform/text.h"

namespace quillet {

AnsiText AnsiFromUtf16(std::u16string_view text) { return {Utf8FromUtf16(text), !HasLoneSurrogate(text)}; }

const AnsiCodePage& SystemAnsiCodePage() {
  static const AnsiCodePage utf8;  // bytes from 0x80 up begin or continue characters of several bytes
  return utf8;
}

}  // namespace quillet
