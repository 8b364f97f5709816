// Runs the bidirectional algorithm, as the library builds it, over Unicode's
// conformance files (BidiTest.txt and BidiCharacterTest.txt, in the folder given
// as the first argument): every line's levels and visual order must be those
// the file gives. Prints the lines passed and failed; fails on any failure.
#include <SheenBidi/SheenBidi.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kRemoved = -1;  // "x": a character that the algorithm removes

struct Tally {
  long passed = 0;
  long failed = 0;
};

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, by)) parts.push_back(part);
  return parts;
}

std::vector<int> Numbers(const std::string& text, bool levels) {
  std::vector<int> out;
  std::stringstream in(text);
  std::string word;
  while (in >> word) out.push_back(levels && word == "x" ? kRemoved : std::stoi(word));
  return out;
}

// Whether the algorithm gives `chars`, at `base` (or found from the text), the
// paragraph level `paragraph` (unless -1), the `levels` and the visual `order`.
bool Check(const std::vector<std::uint32_t>& chars, SBLevel base, int paragraph, const std::vector<int>& levels,
           const std::vector<int>& order) {
  SBCodepointSequence sequence{SBStringEncodingUTF32, const_cast<std::uint32_t*>(chars.data()), chars.size()};
  SBAlgorithmRef algorithm = SBAlgorithmCreate(&sequence);
  SBParagraphRef para = SBAlgorithmCreateParagraph(algorithm, 0, chars.size(), base);
  SBLineRef line = SBParagraphCreateLine(para, 0, SBParagraphGetLength(para));
  bool ok = line != nullptr && (paragraph < 0 || SBParagraphGetBaseLevel(para) == paragraph);
  if (ok) {
    const SBRun* runs = SBLineGetRunsPtr(line);
    std::vector<int> got(chars.size(), kRemoved);
    std::vector<int> shown;
    for (SBUInteger r = 0; r < SBLineGetRunCount(line); ++r) {
      for (SBUInteger k = 0; k < runs[r].length; ++k) {
        const SBUInteger i = runs[r].level % 2 ? runs[r].offset + runs[r].length - 1 - k : runs[r].offset + k;
        got[i] = runs[r].level;
        if (levels[i] != kRemoved) shown.push_back(static_cast<int>(i));
      }
    }
    for (std::size_t i = 0; i < chars.size() && ok; ++i) ok = levels[i] == kRemoved || levels[i] == got[i];
    ok = ok && shown == order;
  }
  if (line != nullptr) SBLineRelease(line);
  SBParagraphRelease(para);
  SBAlgorithmRelease(algorithm);
  return ok;
}

// BidiTest.txt: classes, a set of paragraph directions, and the levels and
// order given by the last @Levels and @Reorder lines.
Tally RunBidiTest(const std::string& path) {
  const std::map<std::string, std::uint32_t> kClass = {
      {"L", 0x41},    {"R", 0x5D0},   {"AL", 0x627},  {"EN", 0x30},    {"ES", 0x2B},    {"ET", 0x25},
      {"AN", 0x660},  {"CS", 0x2C},   {"NSM", 0x300}, {"BN", 0x1B},    {"B", 0x2029},   {"S", 0x09},
      {"WS", 0x20},   {"ON", 0x21},   {"LRE", 0x202A}, {"LRO", 0x202D}, {"RLE", 0x202B}, {"RLO", 0x202E},
      {"PDF", 0x202C}, {"LRI", 0x2066}, {"RLI", 0x2067}, {"FSI", 0x2068}, {"PDI", 0x2069}};
  Tally tally;
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
    tally.failed = 1;
    return tally;
  }
  std::vector<int> levels, order;
  std::string text;
  while (std::getline(in, text)) {
    if (text.empty() || text[0] == '#') continue;
    if (text.rfind("@Levels:", 0) == 0) {
      levels = Numbers(text.substr(8), true);
      continue;
    }
    if (text.rfind("@Reorder:", 0) == 0) {
      order = Numbers(text.substr(9), false);
      continue;
    }
    if (text[0] == '@') continue;
    const std::vector<std::string> fields = Split(text, ';');
    std::vector<std::uint32_t> chars;
    std::stringstream classes(fields[0]);
    std::string name;
    while (classes >> name) chars.push_back(kClass.at(name));
    const int directions = std::stoi(fields[1]);
    bool ok = true;
    if (directions & 1) ok = Check(chars, SBLevelDefaultLTR, -1, levels, order) && ok;
    if (directions & 2) ok = Check(chars, 0, -1, levels, order) && ok;
    if (directions & 4) ok = Check(chars, 1, -1, levels, order) && ok;
    if (ok) {
      ++tally.passed;
    } else if (++tally.failed <= 10) {
      std::fprintf(stderr, "BidiTest.txt: %s\n", text.c_str());
    }
  }
  return tally;
}

// BidiCharacterTest.txt: code points; direction 0, 1 or 2 (auto); paragraph
// level; levels; order.
Tally RunBidiCharacterTest(const std::string& path) {
  Tally tally;
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
    tally.failed = 1;
    return tally;
  }
  std::string text;
  while (std::getline(in, text)) {
    if (text.empty() || text[0] == '#') continue;
    const std::vector<std::string> fields = Split(text, ';');
    if (fields.size() < 5) continue;
    std::vector<std::uint32_t> chars;
    std::stringstream points(fields[0]);
    std::string point;
    while (points >> point) chars.push_back(static_cast<std::uint32_t>(std::stoul(point, nullptr, 16)));
    const int direction = std::stoi(fields[1]);
    const SBLevel base = direction == 2 ? SBLevelDefaultLTR : static_cast<SBLevel>(direction);
    if (Check(chars, base, std::stoi(fields[2]), Numbers(fields[3], true), Numbers(fields[4], false))) {
      ++tally.passed;
    } else if (++tally.failed <= 10) {
      std::fprintf(stderr, "BidiCharacterTest.txt: %s\n", text.c_str());
    }
  }
  return tally;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "/usr/share/unicode";
  const Tally bidi = RunBidiTest(folder + "/BidiTest.txt");
  const Tally character = RunBidiCharacterTest(folder + "/BidiCharacterTest.txt");
  std::printf("BidiTest.txt: %ld lines passed, %ld failed\n", bidi.passed, bidi.failed);
  std::printf("BidiCharacterTest.txt: %ld lines passed, %ld failed\n", character.passed, character.failed);
  const bool ran = bidi.passed > 0 && character.passed > 0;
  return ran && bidi.failed == 0 && character.failed == 0 ? 0 : 1;
}
