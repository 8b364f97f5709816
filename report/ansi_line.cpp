#include "report/ansi_line.h"

#include <algorithm>

#include "platform/ansi.h"
#include "text/characters.h"
#include "text/utf8.h"

namespace quillet {

bool AnsiLineAsUnicode(const DecodedLine& line, UnicodeLine& out) {
  const AnsiCodePage& page = ReportAnsiCodePage();
  const int length = std::clamp(line.length, 0, kLinePositions);
  int printed = 0;
  bool laid_out = false;
  for (; printed < length && line.chars[printed] != '\0'; ++printed) {
    const auto byte = static_cast<unsigned char>(line.chars[printed]);
    if (byte < 0x80) continue;
    const char16_t unit = page.high[byte - 0x80];
    if (unit == 0 || (unit >= 0xD800 && unit < 0xE000)) return false;
    laid_out = laid_out || !SimpleCharacters::Has(unit);
  }
  if (!laid_out) return false;
  auto* text = reinterpret_cast<unsigned char*>(out.text);
  int bytes = 0;
  bool plain = true;
  for (int k = 0; k < printed; ++k) {
    const auto byte = static_cast<unsigned char>(line.chars[k]);
    bytes += EncodeUtf8(byte < 0x80 ? byte : page.high[byte - 0x80], text + bytes);
    out.attrs[k] = line.attrs[k];
    plain = plain && line.attrs[k] == 0;
  }
  text[bytes] = 0;
  out.attrs[printed] = 0;
  out.bytes = bytes;
  out.length = printed;
  out.plain = plain;
  return true;
}

}  // namespace quillet
