// Natively names are UTF-8 bytes: the stand-in for the ANSI code page.
#include "platform/ansi.h"

#include "platform/text.h"

namespace quillet {

AnsiText AnsiFromUtf16(std::u16string_view text) { return {Utf8FromUtf16(text), !HasLoneSurrogate(text)}; }

}  // namespace quillet
