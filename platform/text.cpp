#include "platform/text.h"

#include <cstdint>

#include "text/utf8.h"

namespace quillet {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

void AppendUtf8(std::string& out, std::uint32_t code) {
  unsigned char bytes[4];
  out.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(EncodeUtf8(code, bytes)));
}

}  // namespace

std::u16string Utf16FromModifiedUtf8(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n;) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    const auto at = [&](std::size_t k) { return i + k < n ? static_cast<unsigned char>(bytes[i + k]) : 0; };
    if (b0 < 0x80) {
      out += static_cast<char16_t>(b0);
      i += 1;
    } else if ((b0 & 0xE0) == 0xC0 && IsContinuation(at(1))) {
      // C0 80 is U+0000; other overlong forms are taken at their value too, as
      // the virtual machine's own decoder does.
      out += static_cast<char16_t>(((b0 & 0x1F) << 6) | (at(1) & 0x3F));
      i += 2;
    } else if ((b0 & 0xF0) == 0xE0 && IsContinuation(at(1)) && IsContinuation(at(2))) {
      // Surrogates come one by one, each in its own three bytes.
      out += static_cast<char16_t>(((b0 & 0x0F) << 12) | ((at(1) & 0x3F) << 6) | (at(2) & 0x3F));
      i += 3;
    } else if ((b0 & 0xF8) == 0xF0 && IsContinuation(at(1)) && IsContinuation(at(2)) && IsContinuation(at(3))) {
      const std::uint32_t code =
          ((b0 & 0x07u) << 18) | ((at(1) & 0x3Fu) << 12) | ((at(2) & 0x3Fu) << 6) | (at(3) & 0x3Fu);
      if (code >= 0x10000 && code <= 0x10FFFF) {
        out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
        out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        i += 4;
      } else {
        out += kReplacement;
        i += 1;
      }
    } else {
      out += kReplacement;
      i += 1;
    }
  }
  return out;
}

std::string ModifiedUtf8FromUtf16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t unit : text) {
    if (unit == 0) {
      out += "\xC0\x80";
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::string Utf8FromUtf16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((static_cast<std::uint32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

bool HasLoneSurrogate(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;  // a pair
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

}  // namespace quillet
