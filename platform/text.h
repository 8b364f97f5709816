// Text as it crosses the library's edges. Java hands strings over, and takes
// them back, as modified UTF-8: UTF-8 in which U+0000 is written as C0 80 and a
// character beyond U+FFFF as its two UTF-16 surrogates, three bytes each. Windows
// takes UTF-16 or text in the ANSI code page (text_win32.h).
//
// Pure byte handling, so it is tested (and fuzzed) natively.
#ifndef QUILLET_PLATFORM_TEXT_H
#define QUILLET_PLATFORM_TEXT_H

#include <string>
#include <string_view>

namespace quillet {

// Decodes modified UTF-8. Standard UTF-8 for characters beyond U+FFFF (four
// bytes) is taken too. A byte that starts no valid sequence, or a sequence cut
// short, decodes to U+FFFD and decoding goes on with the next byte: no input is
// refused, and no input makes more code units than it has bytes.
std::u16string Utf16FromModifiedUtf8(std::string_view bytes);

// Encodes UTF-16 code units as modified UTF-8, which NewStringUTF takes: U+0000
// as C0 80, every other unit (surrogates one by one) in one to three bytes. The
// result never holds a zero byte.
std::string ModifiedUtf8FromUtf16(std::u16string_view text);

// True when the text holds a surrogate that is not part of a pair: no code page
// can spell it (a conversion puts a replacement character in its place).
bool HasLoneSurrogate(std::u16string_view text);

// Encodes UTF-16 as standard UTF-8 (a surrogate pair as one four-byte
// character; a lone surrogate as U+FFFD).
std::string Utf8FromUtf16(std::u16string_view text);

}  // namespace quillet

#endif
