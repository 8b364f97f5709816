#include "platform/text_win32.h"

#include <climits>

#include "platform/text.h"

namespace quillet {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 code units");

AnsiText AnsiFromUtf16(std::u16string_view text) {
  AnsiText result;
  if (text.empty()) return result;
  if (text.size() > INT_MAX / 4) {
    result.exact = false;
    return result;
  }
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  // A machine whose ANSI code page is UTF-8 spells everything; the conversion
  // then takes neither flags nor a default character.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL used_default = FALSE;
  BOOL* used = utf8 ? nullptr : &used_default;
  const int size = WideCharToMultiByte(CP_ACP, flags, wide, length, nullptr, 0, nullptr, used);
  if (size <= 0) {
    result.exact = false;
    return result;
  }
  result.bytes.resize(static_cast<std::size_t>(size));
  WideCharToMultiByte(CP_ACP, flags, wide, length, &result.bytes[0], size, nullptr, used);
  // A UTF-8 code page replaces a lone surrogate without saying so.
  result.exact = used_default == FALSE && !(utf8 && HasLoneSurrogate(text));
  return result;
}

const AnsiCodePage& SystemAnsiCodePage() {
  static const AnsiCodePage page = [] {
    AnsiCodePage made;
    CPINFO info;
    // A double-byte code page's lead bytes are no characters by themselves.
    if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize != 1) return made;
    for (int byte = 0x80; byte < 0x100; ++byte) {
      const char in = static_cast<char>(byte);
      wchar_t out[2] = {};
      if (MultiByteToWideChar(CP_ACP, 0, &in, 1, out, 2) == 1) made.high[byte - 0x80] = static_cast<char16_t>(out[0]);
    }
    return made;
  }();
  return page;
}

std::u16string Utf16FromAnsi(std::string_view text) {
  std::u16string result;
  if (text.empty() || text.size() > INT_MAX) return result;
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return result;
  result.resize(static_cast<std::size_t>(size));
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, reinterpret_cast<wchar_t*>(&result[0]), size);
  return result;
}

}  // namespace quillet
