#include "text/bidi.h"

#include <SheenBidi/SheenBidi.h>

#include <memory>

namespace quillet {
namespace {

// Owners of SheenBidi's objects.
struct Release {
  void operator()(SBAlgorithmRef algorithm) const { SBAlgorithmRelease(algorithm); }
  void operator()(SBParagraphRef paragraph) const { SBParagraphRelease(paragraph); }
  void operator()(SBLineRef line) const { SBLineRelease(line); }
};
using Algorithm = std::unique_ptr<std::remove_pointer_t<SBAlgorithmRef>, Release>;
using Paragraph = std::unique_ptr<std::remove_pointer_t<SBParagraphRef>, Release>;
using Line = std::unique_ptr<std::remove_pointer_t<SBLineRef>, Release>;

}  // namespace

bool ResolveLevels(const char32_t* chars, int count, std::uint8_t* levels) {
  if (count <= 0) return true;
  static_assert(sizeof(SBCodepoint) == sizeof(char32_t), "UTF-32 code units");
  SBCodepointSequence sequence;
  sequence.stringEncoding = SBStringEncodingUTF32;
  sequence.stringBuffer = const_cast<char32_t*>(chars);
  sequence.stringLength = static_cast<SBUInteger>(count);
  const Algorithm algorithm(SBAlgorithmCreate(&sequence));
  if (!algorithm) return false;
  SBUInteger offset = 0;
  while (offset < sequence.stringLength) {
    const Paragraph paragraph(
        SBAlgorithmCreateParagraph(algorithm.get(), offset, sequence.stringLength - offset, SBLevelDefaultLTR));
    if (!paragraph) return false;
    const SBUInteger length = SBParagraphGetLength(paragraph.get());
    // The line's levels, not the paragraph's: those are taken before the blanks
    // at the end go back to the paragraph's level.
    const Line line(SBParagraphCreateLine(paragraph.get(), offset, length));
    if (!line || length == 0) return false;
    const SBRun* runs = SBLineGetRunsPtr(line.get());
    const SBUInteger run_count = SBLineGetRunCount(line.get());
    for (SBUInteger r = 0; r < run_count; ++r) {
      for (SBUInteger k = runs[r].offset; k < runs[r].offset + runs[r].length; ++k) levels[k] = runs[r].level;
    }
    offset += length;
  }
  return true;
}

char32_t MirroredCharacter(char32_t c) {
  const SBCodepoint mirror = SBCodepointGetMirror(c);
  return mirror != 0 ? mirror : c;
}

}  // namespace quillet
