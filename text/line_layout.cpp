// The layout of a line: grapheme clusters and composition (utf8proc), columns,
// fields, the order of right-to-left fields (bidi.h), and the text calls.
#include "text/line_layout.h"

#include <utf8proc.h>

#include <algorithm>

#include "text/bidi.h"
#include "text/characters.h"
#include "text/utf8.h"

namespace quillet {
namespace {

constexpr char32_t kBlank = 0x20;
constexpr int kNoField = -1;

// A grapheme cluster. (No member initialisers: a line's layout is made anew for
// every line, and only the clusters it uses are filled.)
struct Cluster {
  int first;               // its first character in Work::chars
  int count;
  int column;              // where it starts in the line's logical order
  int width;               // the columns it takes
  int shown;               // the column of its leftmost cell as it is shown
  int field;               // the field it belongs to, or kNoField
  std::uint8_t attribute;  // its first character's
  std::uint8_t traits;     // its characters' traits, kNeedsEngine also for more than one drawn
  std::uint8_t level;      // its first character's embedding level
  bool tab;
  bool blank;              // a blank alone
};

struct Work {
  char32_t chars[kLineCharacters];
  std::uint8_t columns[kLineCharacters];  // each character's, set as clusters are placed
  bool drawn[kLineCharacters];
  std::uint8_t levels[kLineCharacters];
  Cluster clusters[kLineCharacters];
  int order[kLineCharacters];  // clusters to draw (or tabs), left to right as shown
  int char_count;
  int cluster_count;
  int order_count;
};

// Replaces chars[0, count) by their canonical composition (NFC) when that is no
// longer; returns the characters kept. `bytes` are their UTF-8.
int Compose(char32_t* chars, int count, const unsigned char* bytes, int size) {
  constexpr int kMost = 4 * kLineCharacters;  // a character decomposes into at most four
  utf8proc_int32_t buffer[kMost];
  constexpr auto kOptions = static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE);
  const utf8proc_ssize_t decomposed = utf8proc_decompose(bytes, size, buffer, kMost, kOptions);
  if (decomposed <= 0 || decomposed > kMost) return count;
  const utf8proc_ssize_t composed = utf8proc_normalize_utf32(buffer, decomposed, kOptions);
  if (composed <= 0 || composed > count) return count;
  for (int k = 0; k < composed; ++k) chars[k] = static_cast<char32_t>(buffer[k]);
  return static_cast<int>(composed);
}

// The line's characters up to its first NUL, gathered into grapheme clusters,
// each composed.
void Gather(const TextLine& line, Work& w) {
  const auto* p = reinterpret_cast<const unsigned char*>(line.text);
  const auto* const stop = p + std::max(line.bytes, 0);
  int n = 0;  // characters read, which index line.attrs
  const unsigned char* cluster_bytes = p;
  utf8proc_int32_t state = 0;
  char32_t previous = 0;
  auto finish = [&](const unsigned char* end) {
    if (w.cluster_count == 0) return;
    Cluster& c = w.clusters[w.cluster_count - 1];
    if (c.count > 1) {
      c.count = Compose(w.chars + c.first, c.count, cluster_bytes, static_cast<int>(end - cluster_bytes));
      w.char_count = c.first + c.count;
    }
  };
  while (p < stop && *p != 0 && n < kLineCharacters) {  // printed text ends at the first NUL
    const unsigned char* const begin = p;
    const char32_t c = DecodeCharacter(p, stop);
    const bool joins = n > 0 && !utf8proc_grapheme_break_stateful(static_cast<utf8proc_int32_t>(previous),
                                                                   static_cast<utf8proc_int32_t>(c), &state);
    previous = c;
    if (!joins) {
      finish(begin);
      Cluster& cluster = w.clusters[w.cluster_count++];
      cluster.first = w.char_count;
      cluster.count = 0;
      cluster.attribute = line.attrs[n];
      cluster_bytes = begin;
    }
    w.chars[w.char_count++] = c;
    ++w.clusters[w.cluster_count - 1].count;
    ++n;
  }
  finish(p);
}

// Columns, traits, and the fields.
void PlaceClusters(Work& w, int* inked) {
  int column = 0;
  *inked = 0;
  for (int i = 0; i < w.cluster_count; ++i) {
    Cluster& c = w.clusters[i];
    const char32_t base = w.chars[c.first];
    c.column = c.shown = column;
    c.level = 0;
    c.tab = base == kTab;
    c.blank = base == kBlank && c.count == 1;
    c.width = 0;
    c.traits = 0;
    if (c.tab) {
      c.width = NextTabStop(column) - column;
      for (int k = 0; k < c.count; ++k) w.drawn[c.first + k] = false;  // a tab moves, prints nothing
    } else {
      int drawn = 0;
      for (int k = 0; k < c.count; ++k) {
        const int i = c.first + k;
        const std::uint8_t traits = CharacterTraits(w.chars[i]);
        w.columns[i] = static_cast<std::uint8_t>(CharacterColumns(w.chars[i]));
        w.drawn[i] = (traits & kDrawn) != 0;
        c.traits |= traits;
        drawn += traits & kDrawn;
        c.width += w.columns[i];
      }
      if (drawn > 1) c.traits |= kNeedsEngine;
      if (!c.blank && c.width > 0) *inked = column + c.width;
    }
    column += c.width;
  }

  // Fields: between tabs and gaps of two blanks or more, without the blanks at
  // their ends.
  int fields = 0;
  for (int i = 0; i < w.cluster_count;) {
    const auto parts = [&](int k) {
      const Cluster& c = w.clusters[k];
      return c.tab || (c.blank && ((k > 0 && w.clusters[k - 1].blank) ||
                                   (k + 1 < w.cluster_count && w.clusters[k + 1].blank)));
    };
    int end = i;
    while (end < w.cluster_count && !parts(end)) ++end;
    int first = i;
    while (first < end && w.clusters[first].blank) ++first;
    int last = end;
    while (last > first && w.clusters[last - 1].blank) --last;
    for (int k = i; k < end; ++k) w.clusters[k].field = k >= first && k < last ? fields : kNoField;
    if (first < last) ++fields;
    if (end == i) {
      w.clusters[i].field = kNoField;
      ++end;
    }
    i = end;
  }
}

// Reverses, from the highest level down to the lowest odd one, every stretch of
// order[from, to) at that level or above.
void Reorder(Work& w, int from, int to) {
  int highest = 0;
  int lowest_odd = 255;
  for (int k = from; k < to; ++k) {
    const int level = w.clusters[w.order[k]].level;
    highest = std::max(highest, level);
    if (level % 2 == 1) lowest_odd = std::min(lowest_odd, level);
  }
  for (int level = highest; level >= lowest_odd; --level) {
    for (int k = from; k < to;) {
      if (w.clusters[w.order[k]].level < level) {
        ++k;
        continue;
      }
      int end = k;
      while (end < to && w.clusters[w.order[end]].level >= level) ++end;
      std::reverse(w.order + k, w.order + end);
      k = end;
    }
  }
}

// Orders the field of clusters [from, to) by the bidirectional algorithm, when
// it holds something that calls for it, and mirrors what reads right to left.
// True when anything in it reads right to left.
bool OrderField(Work& w, int from, int to) {
  bool calls = false;
  for (int i = from; i < to; ++i) calls = calls || (w.clusters[i].traits & kCallsForBidi) != 0;
  if (!calls) return false;
  const int first = w.clusters[from].first;
  const int count = w.clusters[to - 1].first + w.clusters[to - 1].count - first;
  if (!ResolveLevels(w.chars + first, count, w.levels + first)) return false;  // left in logical order
  bool odd = false;
  for (int i = from; i < to; ++i) {
    Cluster& c = w.clusters[i];
    c.level = w.levels[c.first];
    odd = odd || c.level % 2 == 1;
    for (int k = c.first; k < c.first + c.count; ++k) {
      if (w.levels[k] % 2 == 1) w.chars[k] = MirroredCharacter(w.chars[k]);
    }
  }
  if (!odd) return false;
  // `order` holds the clusters in logical order so far: the field's stretch of
  // it is reordered, and its cells handed out left to right.
  const int field = w.clusters[from].field;
  int start = 0;
  while (start < w.order_count && w.clusters[w.order[start]].field != field) ++start;
  int end = start;
  while (end < w.order_count && w.clusters[w.order[end]].field == field) ++end;
  Reorder(w, start, end);
  int column = w.clusters[from].column;
  for (int k = start; k < end; ++k) {
    Cluster& c = w.clusters[w.order[k]];
    c.shown = column;
    column += c.width;
  }
  return true;
}

class RunWriter {
 public:
  RunWriter(const Work& w, GridLine& out) : w_(w), out_(out) {}

  // Clusters order[from, to) as text drawn left to right.
  void AddText(int from, int to) {
    GridRun& run = Begin(from);
    for (int k = from; k < to; ++k) {
      const Cluster& c = w_.clusters[w_.order[k]];
      for (int i = c.first; i < c.first + c.count; ++i) Put(i);
    }
    End(run);
  }

  // Clusters order[from, to), one word, for the shaping engine.
  void AddWord(int from, int to) {
    GridRun& run = Begin(from);
    run.shaped = true;
    run.right_to_left = w_.clusters[w_.order[from]].level % 2 == 1;
    run.first_cluster = out_.cluster_count;
    for (int n = 0; n < to - from; ++n) {
      const Cluster& c = w_.clusters[w_.order[run.right_to_left ? to - 1 - n : from + n]];
      out_.clusters[out_.cluster_count++] = ClusterPlace{out_.unit_count - run.first, c.shown, c.width};
      for (int i = c.first; i < c.first + c.count; ++i) Put(i);
    }
    run.cluster_count = out_.cluster_count - run.first_cluster;
    End(run);
  }

 private:
  GridRun& Begin(int from) {
    GridRun& run = out_.runs[out_.run_count];
    run = GridRun{};
    run.first = out_.unit_count;
    run.attribute = w_.clusters[w_.order[from]].attribute;
    run.column = w_.clusters[w_.order[from]].shown;
    return run;
  }
  void End(GridRun& run) {
    run.units = out_.unit_count - run.first;
    if (run.units > 0) ++out_.run_count;
  }
  // Character `i` of the line (its mirror, in a right-to-left run, which takes
  // the same columns).
  void Put(int i) {
    if (!w_.drawn[i]) return;
    const char32_t c = w_.chars[i];
    const std::uint8_t columns = w_.columns[i];
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

  const Work& w_;
  GridLine& out_;
};

// The text calls of a line that needs no shaping: runs of one attribute, broken
// at tabs, as they have always been.
void AddPlainRuns(const Work& w, RunWriter& writer) {
  for (int from = 0; from < w.order_count;) {
    const Cluster& head = w.clusters[w.order[from]];
    if (head.tab) {
      ++from;
      continue;
    }
    int to = from + 1;
    while (to < w.order_count && !w.clusters[w.order[to]].tab && w.clusters[w.order[to]].attribute == head.attribute)
      ++to;
    writer.AddText(from, to);
    from = to;
  }
}

// The text calls of a line that needs shaping. A word (clusters of one field,
// one level and one attribute between blanks) that holds anything that needs the
// engine is shaped; everything else is drawn as text, in runs of one attribute
// that no tab or shaped word breaks, at its place as shown. Blanks alone are
// drawn only underlined.
void AddShapedRuns(const Work& w, RunWriter& writer) {
  const auto cluster = [&](int k) -> const Cluster& { return w.clusters[w.order[k]]; };
  const auto in_word = [&](int k) { return !cluster(k).tab && !cluster(k).blank; };
  // The end of the word that begins at k, and whether it needs the engine.
  const auto word = [&](int k, bool* engine) {
    const Cluster& head = cluster(k);
    int end = k;
    *engine = false;
    while (end < w.order_count && in_word(end) && cluster(end).level == head.level &&
           cluster(end).attribute == head.attribute && cluster(end).field == head.field) {
      *engine = *engine || (cluster(end).traits & kNeedsEngine) != 0;
      ++end;
    }
    return end;
  };
  int k = 0;
  while (k < w.order_count) {
    if (cluster(k).tab) {
      ++k;
      continue;
    }
    bool engine = false;
    if (in_word(k)) {
      const int end = word(k, &engine);
      if (engine) {
        writer.AddWord(k, end);
        k = end;
        continue;
      }
    }
    // Text up to a tab, another attribute or a word to shape.
    const std::uint8_t attribute = cluster(k).attribute;
    int end = k;
    bool ink = false;
    while (end < w.order_count && !cluster(end).tab && cluster(end).attribute == attribute) {
      if (in_word(end)) {
        const int word_end = word(end, &engine);
        if (engine) break;
        end = word_end;
        ink = true;
      } else {
        ++end;
      }
    }
    if (ink || (attribute & kUnderlined)) writer.AddText(k, end);
    k = end;
  }
}

// A line of simple characters alone (characters.h): each its own unit, a column
// each, runs by attribute. False, with `out` partly written, for any other line.
bool LayOutSimpleLine(const TextLine& line, GridLine& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(line.text);
  const auto* const stop = p + std::max(line.bytes, 0);
  int n = 0;
  int inked = 0;
  while (p < stop && *p != 0 && n < kLineCharacters) {
    const char32_t c = DecodeCharacter(p, stop);
    if (!SimpleCharacters::Has(c)) return false;
    out.units[n] = static_cast<char16_t>(c);
    out.advance[n] = 1;
    ++n;
    if (c != kBlank) inked = n;
  }
  out.unit_count = n;
  out.inked = inked;
  out.run_count = 0;
  out.cluster_count = 0;
  if (line.plain && n > 0) {
    GridRun& run = out.runs[out.run_count++];
    run = GridRun{};
    run.units = n;
    return true;
  }
  for (int start = 0; start < n;) {
    int end = start + 1;
    while (end < n && line.attrs[end] == line.attrs[start]) ++end;
    GridRun& run = out.runs[out.run_count++];
    run = GridRun{};
    run.first = run.column = start;
    run.units = end - start;
    run.attribute = line.attrs[start];
    start = end;
  }
  return true;
}

}  // namespace

void LayOutLine(const TextLine& line, GridLine& out) {
  if (LayOutSimpleLine(line, out)) return;
  Work w;
  w.char_count = 0;
  w.cluster_count = 0;
  Gather(line, w);
  PlaceClusters(w, &out.inked);

  // What is drawn, in logical order until a field is reordered.
  w.order_count = 0;
  for (int i = 0; i < w.cluster_count; ++i) {
    const Cluster& c = w.clusters[i];
    if (c.tab || (c.traits & kDrawn)) w.order[w.order_count++] = i;
  }
  bool shaped = false;
  for (int i = 0; i < w.cluster_count; ++i) shaped = shaped || (w.clusters[i].traits & kNeedsEngine) != 0;
  for (int from = 0; from < w.cluster_count;) {
    const int field = w.clusters[from].field;
    int to = from + 1;
    while (to < w.cluster_count && w.clusters[to].field == field) ++to;
    if (field != kNoField && OrderField(w, from, to)) shaped = true;
    from = to;
  }

  out.unit_count = 0;
  out.run_count = 0;
  out.cluster_count = 0;
  RunWriter writer(w, out);
  if (shaped) {
    AddShapedRuns(w, writer);
  } else {
    AddPlainRuns(w, writer);
  }
}

}  // namespace quillet
