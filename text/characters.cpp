// Character properties from utf8proc (categories, widths, grapheme classes) and
// SheenBidi (scripts).
#include "text/characters.h"

#include <SheenBidi/SheenBidi.h>
#include <utf8proc.h>

namespace quillet {
namespace {

constexpr char32_t kSoftHyphen = 0xAD;
constexpr char32_t kZeroWidthNonJoiner = 0x200C;
constexpr char32_t kZeroWidthJoiner = 0x200D;

const utf8proc_property_t& Property(char32_t c) { return *utf8proc_get_property(static_cast<utf8proc_int32_t>(c)); }

bool IsMark(const utf8proc_property_t& p) {
  return p.category == UTF8PROC_CATEGORY_MN || p.category == UTF8PROC_CATEGORY_MC ||
         p.category == UTF8PROC_CATEGORY_ME;
}

// Scripts whose letters each print as one glyph of their own: Latin, Greek,
// Cyrillic, the CJK scripts and a few more. Every other script's letters go to
// the shaping engine.
bool IsPlainScript(char32_t c) {
  switch (SBCodepointGetScript(c)) {
    case SBScriptZYYY:  // common: digits, punctuation, symbols
    case SBScriptZINH:  // inherited: marks, which are looked at on their own
    case SBScriptZZZZ:  // unassigned
    case SBScriptLATN:
    case SBScriptGREK:
    case SBScriptCYRL:
    case SBScriptARMN:
    case SBScriptGEOR:
    case SBScriptETHI:
    case SBScriptCHER:
    case SBScriptCANS:
    case SBScriptHANI:
    case SBScriptHIRA:
    case SBScriptKANA:
    case SBScriptBOPO:
    case SBScriptHANG:
    case SBScriptYIII:
      return true;
    default:
      return false;
  }
}

}  // namespace

int CharacterColumns(char32_t c) {
  if (c < 0xA0) return 1;  // ASCII and the control characters keep the column they always had
  if (c == kSoftHyphen) return 1;
  // Hangul vowel and final jamo: part of a syllable.
  if ((c >= 0x1160 && c < 0x1200) || (c >= 0xD7B0 && c < 0xD800)) return 0;
  const utf8proc_property_t& p = Property(c);
  switch (p.category) {
    case UTF8PROC_CATEGORY_MN:
    case UTF8PROC_CATEGORY_ME:
      return 0;
    case UTF8PROC_CATEGORY_CF:
      // The signs that span the digits after them (the Arabic number sign) show.
      return p.boundclass == UTF8PROC_BOUNDCLASS_PREPEND ? 1 : 0;
    case UTF8PROC_CATEGORY_MC:
      return p.charwidth == 2 ? 2 : 1;
    case UTF8PROC_CATEGORY_CC:
      return 1;
    default:
      break;
  }
  if (p.ignorable) return 0;
  return p.charwidth;
}

std::uint8_t CharacterTraits(char32_t c) {
  if (c == kTab) return 0;
  if (c < 0x80) return kDrawn;
  const utf8proc_property_t& p = Property(c);
  std::uint8_t traits = 0;
  switch (p.bidi_class) {
    case UTF8PROC_BIDI_CLASS_R:
    case UTF8PROC_BIDI_CLASS_AL:
    case UTF8PROC_BIDI_CLASS_RLE:
    case UTF8PROC_BIDI_CLASS_RLO:
    case UTF8PROC_BIDI_CLASS_RLI:
      traits |= kCallsForBidi;
      break;
    default:
      if (c == 0x200E || c == 0x200F || c == 0x061C) traits |= kCallsForBidi;
      break;
  }
  const bool joiner = c == kZeroWidthJoiner || c == kZeroWidthNonJoiner;
  if (p.ignorable && !joiner && c != kSoftHyphen) return traits;
  traits |= kDrawn;
  if (c >= 0x10000 || joiner || IsMark(p) || (traits & kCallsForBidi) || !IsPlainScript(c) ||
      CharacterColumns(c) == 0)
    traits |= kNeedsEngine;
  return traits;
}

const std::uint64_t* SimpleCharacters::Bits() {
  // Found once, from the same properties the layout asks for.
  static const struct Table {
    std::uint64_t bits[0x10000 / 64] = {};
    Table() {
      for (char32_t c = 1; c < 0x10000; ++c) {
        if (c == kTab || (c >= 0xD800 && c < 0xE000) || CharacterColumns(c) != 1) continue;
        if (CharacterTraits(c) != kDrawn) continue;
        // Apart from its neighbours by the grapheme cluster rules whatever they are
        // (a carriage return would join a line feed after it).
        switch (Property(c).boundclass) {
          case UTF8PROC_BOUNDCLASS_OTHER:
          case UTF8PROC_BOUNDCLASS_CONTROL:
          case UTF8PROC_BOUNDCLASS_LF:
          case UTF8PROC_BOUNDCLASS_EXTENDED_PICTOGRAPHIC:
            bits[c >> 6] |= std::uint64_t{1} << (c & 63);
            break;
          default:
            break;
        }
      }
    }
  } table;
  return table.bits;
}

}  // namespace quillet
