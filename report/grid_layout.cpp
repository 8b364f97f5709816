// The grid layout of a line: composition, columns, tab stops and right-to-left
// stretches, with Unicode's properties from utf8proc.
#include "report/grid_layout.h"

#include <utf8proc.h>

#include <algorithm>

#include "report/report_text.h"

namespace quillet {
namespace {

constexpr char32_t kTab = 0x09;
constexpr char32_t kBlank = 0x20;
constexpr int kNoStretch = -1;

// How a character takes part in the direction of the line.
enum class Direction : std::uint8_t {
  kNeutral,     // blanks and other neutral characters: they read with the letters around them
  kRightToLeft, // Hebrew, Arabic and the other right-to-left letters
  kBarrier,     // nothing is reordered across it: ASCII, digits, left-to-right letters, a tab
};

bool IsHangulVowelOrTrail(char32_t c) { return (c >= 0x1161 && c <= 0x1175) || (c >= 0x11A8 && c <= 0x11C2); }

bool IsMark(const utf8proc_property_t& p) {
  return p.category == UTF8PROC_CATEGORY_MN || p.category == UTF8PROC_CATEGORY_MC ||
         p.category == UTF8PROC_CATEGORY_ME;
}

// A character that belongs to the one before it: a mark, or a character that
// composes with what comes before it (Hangul vowels and trailing consonants).
bool Attaches(char32_t c) {
  if (c < 0x300) return false;  // the first marks
  const utf8proc_property_t& p = *utf8proc_get_property(static_cast<utf8proc_int32_t>(c));
  return p.combining_class != 0 || p.comb_issecond || IsMark(p) || IsHangulVowelOrTrail(c);
}

// Whether a character is drawn at all: a tab moves the next character on, and a
// character that takes no column is drawn only when it is a mark (over the one
// before it); any other would only leave a box where nothing belongs.
bool IsDrawn(char32_t c) {
  if (c == kTab) return false;
  if (c < 0x80) return true;
  const utf8proc_property_t& p = *utf8proc_get_property(static_cast<utf8proc_int32_t>(c));
  if (p.ignorable) return false;
  return CharacterColumns(c) > 0 || IsMark(p);
}

Direction DirectionOf(char32_t c) {
  if (c == kBlank) return Direction::kNeutral;
  if (c < 0x80) return Direction::kBarrier;  // ASCII letters, digits and signs, a tab, controls
  switch (utf8proc_get_property(static_cast<utf8proc_int32_t>(c))->bidi_class) {
    case UTF8PROC_BIDI_CLASS_R:
    case UTF8PROC_BIDI_CLASS_AL:
      return Direction::kRightToLeft;
    case UTF8PROC_BIDI_CLASS_L:
    case UTF8PROC_BIDI_CLASS_EN:
    case UTF8PROC_BIDI_CLASS_AN:
      return Direction::kBarrier;
    default:
      return Direction::kNeutral;
  }
}

// A character and the marks that belong to it, after composition. (No member
// initialisers: a line's layout is made anew for every line, and only the
// clusters it uses are filled.)
struct Cluster {
  int first;   // its first character in Layout::chars
  int count;
  int column;  // where it starts, in the line's logical order
  int width;   // the columns it takes
  int stretch; // the right-to-left stretch it belongs to, or kNoStretch
  int shown;   // where it is shown: its column, reversed within a stretch
  std::uint8_t attribute;
  Direction direction;
};

struct Layout {
  char32_t chars[kLinePositions];
  Cluster clusters[kLinePositions];
  int char_count;
  int cluster_count;
};

// Replaces chars[first, first + count) by their canonical composition (NFC) when
// that is no longer; returns the characters kept. `bytes` are their UTF-8.
int Compose(char32_t* chars, int count, const char* bytes, int size) {
  constexpr int kMost = 4 * kLinePositions;  // a character decomposes into at most four
  utf8proc_int32_t buffer[kMost];
  constexpr auto kOptions = static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE);
  const utf8proc_ssize_t decomposed = utf8proc_decompose(reinterpret_cast<const utf8proc_uint8_t*>(bytes), size,
                                                          buffer, kMost, kOptions);
  if (decomposed <= 0 || decomposed > kMost) return count;
  const utf8proc_ssize_t composed = utf8proc_normalize_utf32(buffer, decomposed, kOptions);
  if (composed <= 0 || composed > count) return count;
  for (int k = 0; k < composed; ++k) chars[k] = static_cast<char32_t>(buffer[k]);
  return static_cast<int>(composed);
}

// The line's characters up to its first NUL, gathered into clusters and composed.
void Gather(const UnicodeLine& line, Layout& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(line.text);
  const auto* const stop = p + std::clamp(line.bytes, 0, kLineTextSize - 1);
  int n = 0;  // characters read, which index line.attrs
  const unsigned char* cluster_bytes = p;
  auto finish = [&](const unsigned char* end) {
    if (out.cluster_count == 0) return;
    Cluster& c = out.clusters[out.cluster_count - 1];
    if (c.count > 1) {
      c.count = Compose(out.chars + c.first, c.count, reinterpret_cast<const char*>(cluster_bytes),
                        static_cast<int>(end - cluster_bytes));
      out.char_count = c.first + c.count;
    }
  };
  while (p < stop && n < kLinePositions && *p != 0) {  // printed text ends at the first NUL
    const unsigned char* const begin = p;
    const char32_t c = DecodeCharacter(p, stop);
    const bool attaches = out.cluster_count > 0 && out.chars[out.char_count - 1] != kTab && Attaches(c);
    if (!attaches) {
      finish(begin);
      Cluster& cluster = out.clusters[out.cluster_count++];
      cluster = Cluster{out.char_count, 0, 0, 0, kNoStretch, 0, line.attrs[n], Direction::kNeutral};
      cluster_bytes = begin;
    }
    out.chars[out.char_count++] = c;
    ++out.clusters[out.cluster_count - 1].count;
    ++n;
  }
  finish(p);
}

// Columns, and the right-to-left stretches and where their characters show.
void PlaceClusters(Layout& layout, int* inked) {
  int column = 0;
  *inked = 0;
  for (int i = 0; i < layout.cluster_count; ++i) {
    Cluster& c = layout.clusters[i];
    const char32_t base = layout.chars[c.first];
    c.column = column;
    c.direction = DirectionOf(base);
    if (base == kTab) {
      c.width = NextTabStop(column) - column;
    } else {
      for (int k = 0; k < c.count; ++k) c.width += CharacterColumns(layout.chars[c.first + k]);
      if (base != kBlank && c.width > 0) *inked = column + c.width;
    }
    c.shown = column;
    column += c.width;
  }

  // A stretch runs from a right-to-left letter to the last one that only
  // neutral characters part from it, two blanks in a row ending it.
  int stretches = 0;
  int start = -1;     // its first letter
  int last = -1;      // its last letter so far
  int blanks = 0;     // blanks in a row since then
  auto close = [&] {
    if (start < 0) return;
    const int begin = layout.clusters[start].column;
    const int end = layout.clusters[last].column + layout.clusters[last].width;
    for (int k = start; k <= last; ++k) {
      Cluster& c = layout.clusters[k];
      c.stretch = stretches;
      c.shown = begin + end - (c.column + c.width);
    }
    ++stretches;
    start = last = -1;
  };
  for (int i = 0; i < layout.cluster_count; ++i) {
    const Cluster& c = layout.clusters[i];
    if (c.direction == Direction::kRightToLeft) {
      if (start < 0) start = i;
      last = i;
      blanks = 0;
    } else if (c.direction == Direction::kBarrier) {
      close();
    } else if (layout.chars[c.first] == kBlank) {
      if (++blanks >= 2) close();
    } else {
      blanks = 0;
    }
  }
  close();
}

class RunWriter {
 public:
  RunWriter(const Layout& layout, GridLine& out) : layout_(layout), out_(out) {}

  // Draws clusters [from, to] as one run.
  void Add(int from, int to, bool right_to_left) {
    GridRun& run = out_.runs[out_.run_count];
    run.first = out_.unit_count;
    run.attribute = layout_.clusters[from].attribute;
    run.right_to_left = right_to_left;
    // Laid out right to left, the run's leftmost glyph is its last character.
    run.column = layout_.clusters[right_to_left ? to : from].shown;
    for (int i = from; i <= to; ++i) {
      const Cluster& c = layout_.clusters[i];
      for (int k = 0; k < c.count; ++k) Put(layout_.chars[c.first + k]);
    }
    run.units = out_.unit_count - run.first;
    if (run.units > 0) ++out_.run_count;
  }

 private:
  void Put(char32_t c) {
    if (!IsDrawn(c)) return;
    const auto columns = static_cast<std::uint8_t>(CharacterColumns(c));
    if (c >= 0x10000) {
      out_.units[out_.unit_count] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out_.advance[out_.unit_count++] = columns;
      out_.units[out_.unit_count] = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
      out_.advance[out_.unit_count++] = 0;
    } else {
      out_.units[out_.unit_count] = static_cast<char16_t>(c);
      out_.advance[out_.unit_count++] = columns;
    }
  }

  const Layout& layout_;
  GridLine& out_;
};

// The runs of one piece of a stretch: clusters [from, to] of one attribute. Its
// letters and what lies between them are one right-to-left run; a neutral
// character at either end is a run of its own (laid out right to left, a call
// that ends in a blank would put the blank at its right end), and a blank there
// is not drawn unless it is underlined.
void AddStretchPiece(const Layout& layout, int from, int to, RunWriter& writer) {
  int first = from;
  while (first <= to && layout.clusters[first].direction != Direction::kRightToLeft) ++first;
  int last = to;
  while (last >= from && layout.clusters[last].direction != Direction::kRightToLeft) --last;
  auto alone = [&](int i) {
    const Cluster& c = layout.clusters[i];
    if (layout.chars[c.first] == kBlank && c.count == 1 && !(c.attribute & ATTR_UNDERLINE)) return;
    writer.Add(i, i, false);
  };
  if (first > last) {
    for (int i = from; i <= to; ++i) alone(i);
    return;
  }
  for (int i = from; i < first; ++i) alone(i);
  writer.Add(first, last, true);
  for (int i = last + 1; i <= to; ++i) alone(i);
}

// The characters of the Basic Multilingual Plane that need none of the layout's
// steps: they take one column, are drawn, compose with nothing before them and
// are no right-to-left letters. Most lines are made of them alone. Found once,
// from the same properties the layout asks for.
class SimpleCharacters {
 public:
  SimpleCharacters() {
    for (char32_t c = 1; c < 0x10000; ++c) {
      if (IsSimple(c)) bits_[c >> 6] |= std::uint64_t{1} << (c & 63);
    }
  }
  bool Has(char32_t c) const { return c < 0x10000 && ((bits_[c >> 6] >> (c & 63)) & 1) != 0; }

 private:
  static bool IsSimple(char32_t c) {
    if (c == kTab || (c >= 0xD800 && c < 0xE000)) return false;
    return CharacterColumns(c) == 1 && IsDrawn(c) && !Attaches(c) && DirectionOf(c) != Direction::kRightToLeft;
  }
  std::uint64_t bits_[0x10000 / 64] = {};
};

// A line of simple characters alone: each its own unit, a column each, runs by
// attribute. False, with `out` partly written, for any other line.
bool LayOutSimpleLine(const UnicodeLine& line, GridLine& out) {
  static const SimpleCharacters simple;
  const auto* p = reinterpret_cast<const unsigned char*>(line.text);
  const auto* const stop = p + std::clamp(line.bytes, 0, kLineTextSize - 1);
  int n = 0;
  int inked = 0;
  while (p < stop && *p != 0 && n < kLinePositions) {
    // Characters of one to three bytes, decoded here; anything else (or bytes
    // that are not UTF-8, which the reader never gives) takes the general way.
    char32_t c = *p;
    if (c < 0x80) {
      ++p;
    } else if (c >= 0xC2 && c < 0xE0 && stop - p >= 2 && (p[1] & 0xC0) == 0x80) {
      c = (c & 0x1F) << 6 | (p[1] & 0x3F);
      p += 2;
    } else if (c >= 0xE0 && c < 0xF0 && stop - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
      c = (c & 0x0F) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3F);
      if (c < 0x800) return false;  // overlong; surrogates are not simple
      p += 3;
    } else {
      return false;
    }
    if (!simple.Has(c)) return false;
    out.units[n] = static_cast<char16_t>(c);
    out.advance[n] = 1;
    ++n;
    if (c != kBlank) inked = n;
  }
  out.unit_count = n;
  out.inked = inked;
  out.run_count = 0;
  if (line.plain && n > 0) {
    out.runs[out.run_count++] = GridRun{0, n, 0, 0, false};
    return true;
  }
  for (int start = 0; start < n;) {
    int end = start + 1;
    while (end < n && line.attrs[end] == line.attrs[start]) ++end;
    out.runs[out.run_count++] = GridRun{start, end - start, line.attrs[start], start, false};
    start = end;
  }
  return true;
}

}  // namespace

int CharacterColumns(char32_t c) {
  if (c < 0x20 || c == 0x7F) return 1;  // control characters keep the column they always had
  if (c < 0x7F) return 1;
  const utf8proc_property_t& p = *utf8proc_get_property(static_cast<utf8proc_int32_t>(c));
  if (p.category == UTF8PROC_CATEGORY_CC) return 1;
  if (p.ignorable) return 0;
  return p.charwidth;
}

int InkedColumns(const DecodedLine& line) {
  int column = 0;
  int inked = 0;
  const int length = std::clamp(line.length, 0, kLinePositions);
  for (int k = 0; k < length && line.chars[k] != '\0'; ++k) {
    const char c = line.chars[k];
    if (c == '\t') {
      column = NextTabStop(column);
      continue;
    }
    ++column;
    if (c != ' ') inked = column;
  }
  return inked;
}

void LayOutLine(const UnicodeLine& line, GridLine& out) {
  if (LayOutSimpleLine(line, out)) return;
  Layout layout;
  layout.char_count = 0;
  layout.cluster_count = 0;
  Gather(line, layout);
  PlaceClusters(layout, &out.inked);

  out.unit_count = 0;
  out.run_count = 0;
  RunWriter writer(layout, out);
  // Pieces: clusters of one attribute in one stretch (or none), broken at tabs.
  int from = 0;
  while (from < layout.cluster_count) {
    const Cluster& head = layout.clusters[from];
    if (layout.chars[head.first] == kTab) {
      ++from;
      continue;
    }
    int to = from;
    while (to + 1 < layout.cluster_count) {
      const Cluster& next = layout.clusters[to + 1];
      if (layout.chars[next.first] == kTab || next.attribute != head.attribute || next.stretch != head.stretch) break;
      ++to;
    }
    if (head.stretch == kNoStretch) {
      writer.Add(from, to, false);
    } else {
      AddStretchPiece(layout, from, to, writer);
    }
    from = to + 1;
  }
}

}  // namespace quillet
