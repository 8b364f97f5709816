// Shaped words and linked faces on GDI and Uniscribe (usp10.dll).
//
// A word is itemized, split where the face that has its clusters changes, and
// each run is shaped and placed by the engine in that face. The library then
// places every glyph itself, on the cells of the cluster it belongs to, and
// draws a run with one ExtTextOutW of glyph indices and positions
// (ETO_GLYPH_INDEX | ETO_PDY), so that the platform reorders nothing:
// - the glyphs of a cluster (with those of the clusters the engine joined to
//   it: a ligature, a conjunct) are centred as one on the cells of those
//   clusters; a word of a joining script (Arabic) is placed whole, centred on
//   the word's cells, so that its letters stay joined in a proportional face;
// - a glyph of a nonspacing mark takes no advance of its own (fixed-pitch faces
//   give theirs a whole cell); a mark the engine leaves where the pen is (no
//   offset) is centred on its base by their ink.
// The engine's output is checked before it is used (Wine's engine has given
// cluster maps shifted past the glyphs after some ligatures): a word whose
// shaping does not hold together is drawn unshaped, each cluster by itself.
#include "print/shaping_win32.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstring>

#include "text/bidi.h"
#include "trace/trace.h"

namespace quillet {
namespace {

constexpr int kMostFaces = 32;  // a coverage mask's bits
constexpr const wchar_t* kSystemLinkKey = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink";

std::u16string Folded(const std::u16string& face) {
  std::u16string folded = face;
  for (char16_t& c : folded)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return folded;
}

std::u16string Trimmed(const std::u16string& s) {
  std::size_t from = 0;
  std::size_t to = s.size();
  while (from < to && s[from] == u' ') ++from;
  while (to > from && s[to - 1] == u' ') --to;
  return s.substr(from, to - from);
}

const WCHAR* Wide(const char16_t* text) { return reinterpret_cast<const WCHAR*>(text); }

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The character at text[at] (a whole surrogate pair), and how many units it takes.
char32_t CharAt(const char16_t* text, int at, int end, int& units) {
  if (IsHigh(text[at]) && at + 1 < end && IsLow(text[at + 1])) {
    units = 2;
    return 0x10000 + ((static_cast<char32_t>(text[at]) - 0xD800) << 10) + (text[at + 1] - 0xDC00);
  }
  units = 1;
  return text[at];
}

// Characters that print nothing need no face.
bool PrintsNothing(char32_t c) {
  if (c > 0x10FFFF) return false;
  const utf8proc_property_t* p = utf8proc_get_property(static_cast<utf8proc_int32_t>(c));
  return p->ignorable || p->category == UTF8PROC_CATEGORY_CF;
}

bool IsNonspacingMark(char32_t c) {
  if (c > 0x10FFFF) return false;
  const utf8proc_category_t category = utf8proc_category(static_cast<utf8proc_int32_t>(c));
  return category == UTF8PROC_CATEGORY_MN || category == UTF8PROC_CATEGORY_ME;
}

// Scripts whose letters join: a word of theirs keeps the engine's advances.
bool Joins(char32_t c) {
  return (c >= 0x0600 && c <= 0x08FF) || (c >= 0x1800 && c <= 0x18AF) || (c >= 0xFB50 && c <= 0xFDFF) ||
         (c >= 0xFE70 && c <= 0xFEFE);
}

const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

// The cells of clusters [first, end) from the leftmost to the rightmost (the
// first cluster's alone when the range is empty).
void Cover(const ClusterCells* clusters, int first, int end, int& left, int& right) {
  left = clusters[first].x;
  right = left + clusters[first].width;
  for (int k = first + 1; k < end; ++k) {
    left = std::min(left, clusters[k].x);
    right = std::max(right, clusters[k].x + clusters[k].width);
  }
}

}  // namespace

// One face of a chain: the font (the driver's own for the first) and the
// engine's cache for it.
struct ShapingFonts::Face {
  HFONT font = nullptr;
  UniqueFont owned;
  std::u16string name;  // a linked face's, folded
  SCRIPT_CACHE cache = nullptr;
  WORD space = 0xFFFF;  // its glyph for a blank, 0xFFFF when unknown
  int default_glyph = -1;  // the glyph it draws for a character it lacks, -1 until read
  ~Face() { ScriptFreeCache(&cache); }

  // A glyph's ink box, asked of the device context (where this face is
  // selected) once a report; null when the font does not say.
  const GLYPHMETRICS* Ink(HDC dc, WORD glyph) {
    const auto [found, added] = ink.try_emplace(glyph);
    if (added) {
      found->second.known = GetGlyphOutlineW(dc, glyph, GGO_METRICS | GGO_GLYPH_INDEX, &found->second.metrics, 0,
                                             nullptr, &kIdentity) != GDI_ERROR;
    }
    return found->second.known ? &found->second.metrics : nullptr;
  }

 private:
  struct InkBox {
    bool known = false;
    GLYPHMETRICS metrics{};
  };
  std::unordered_map<WORD, InkBox> ink;
};

// The selected font and the faces linked behind it, with what each has.
struct ShapingFonts::Chain {
  std::vector<std::unique_ptr<Face>> faces;
  std::unordered_map<char32_t, std::uint32_t> coverage;  // bit f: faces[f] has it
  bool underline = false;
};

// A text call held for the end of the page, in a linked face.
struct ShapingFonts::Held {
  HFONT font;
  const std::u16string* face;  // its name, which the calls are grouped by
  int x;
  int y;
  UINT options;
  std::vector<WCHAR> units;
  std::vector<INT> steps;
};

// A run ready to draw: its glyphs left to right, where each lands, and the
// cells the run covers.
struct ShapingFonts::Glyphs {
  int face = 0;
  std::vector<WORD> ids;
  std::vector<int> x;
  std::vector<int> y;
  int left = 0;
  int right = 0;
};

FontLinkTable FontLinkTable::FromRegistry() {
  FontLinkTable table;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSystemLinkKey, 0, KEY_READ, &opened) != ERROR_SUCCESS) return table;
  const UniqueRegKey key(opened);
  DWORD values = 0;
  DWORD longest_name = 0;
  DWORD longest_data = 0;
  if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, &longest_name,
                       &longest_data, nullptr, nullptr) != ERROR_SUCCESS)
    return table;
  std::vector<WCHAR> name(longest_name + 1);
  std::vector<WCHAR> data(longest_data / sizeof(WCHAR) + 2);
  for (DWORD i = 0; i < values; ++i) {
    DWORD name_size = static_cast<DWORD>(name.size());
    DWORD data_size = static_cast<DWORD>((data.size() - 2) * sizeof(WCHAR));
    DWORD type = 0;
    if (RegEnumValueW(key.get(), i, name.data(), &name_size, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                      &data_size) != ERROR_SUCCESS ||
        (type != REG_MULTI_SZ && type != REG_SZ))
      continue;
    const std::size_t units = data_size / sizeof(WCHAR);
    const std::u16string face(reinterpret_cast<const char16_t*>(name.data()), name_size);
    table.Add(face, std::u16string(reinterpret_cast<const char16_t*>(data.data()), units));
  }
  return table;
}

void FontLinkTable::Add(const std::u16string& face, const std::u16string& multi_sz) {
  std::vector<std::u16string>& linked = faces_[Folded(face)];
  std::size_t at = 0;
  while (at < multi_sz.size()) {
    std::size_t end = multi_sz.find(u'\0', at);
    if (end == std::u16string::npos) end = multi_sz.size();
    const std::u16string entry = multi_sz.substr(at, end - at);
    at = end + 1;
    const std::size_t comma = entry.find(u',');
    if (comma == std::u16string::npos) continue;  // a file alone: no face to ask for
    const std::u16string linked_face = Trimmed(entry.substr(comma + 1, entry.find(u',', comma + 1) - comma - 1));
    if (linked_face.empty() || linked_face.size() >= LF_FACESIZE || Folded(linked_face) == Folded(face)) continue;
    linked.push_back(linked_face);
  }
}

const std::vector<std::u16string>& FontLinkTable::Linked(const std::u16string& face) const {
  static const std::vector<std::u16string> none;
  const auto found = faces_.find(Folded(face));
  return found != faces_.end() ? found->second : none;
}

ShapingFonts::ShapingFonts() = default;
ShapingFonts::~ShapingFonts() = default;

void ShapingFonts::Forget(HFONT selected) {
  if (chains_.count(selected) != 0) DrawHeld();
  chains_.erase(selected);
}

void ShapingFonts::DropHeld() { held_.clear(); }

void ShapingFonts::Release() {
  held_.clear();
  held_dc_ = nullptr;
  chains_.clear();
}

void ShapingFonts::Put(HDC dc, Chain& chain, int face, int x, int y, UINT options, const WCHAR* units, int count,
                       const INT* steps) {
  if (count <= 0) return;
  const Face& f = *chain.faces[static_cast<std::size_t>(face)];
  if (face == 0) {
    SelectObject(dc, f.font);
    ExtTextOutW(dc, x, y, options, nullptr, units, static_cast<UINT>(count), steps);
    return;
  }
  if (held_dc_ != dc) DrawHeld();
  held_dc_ = dc;
  const int step_count = (options & ETO_PDY) != 0 ? 2 * count : count;
  held_.push_back(Held{f.font, &f.name, x, y, options, std::vector<WCHAR>(units, units + count),
                       std::vector<INT>(steps, steps + step_count)});
}

void ShapingFonts::DrawHeld() {
  if (held_.empty()) return;
  const HDC dc = held_dc_;
  // Face by face, in the order the page first used them.
  std::vector<const std::u16string*> faces;
  for (const Held& call : held_) {
    if (std::none_of(faces.begin(), faces.end(), [&](const std::u16string* f) { return *f == *call.face; }))
      faces.push_back(call.face);
  }
  const HGDIOBJ selected = GetCurrentObject(dc, OBJ_FONT);
  HFONT current = nullptr;
  for (const std::u16string* face : faces) {
    for (const Held& call : held_) {
      if (*call.face != *face) continue;
      if (call.font != current) SelectObject(dc, call.font);
      current = call.font;
      ExtTextOutW(dc, call.x, call.y, call.options, nullptr, call.units.data(), static_cast<UINT>(call.units.size()),
                  call.steps.data());
    }
  }
  SelectObject(dc, selected);
  held_.clear();
}

ShapingFonts::Chain& ShapingFonts::ChainFor(HDC dc) {
  const auto selected = static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT));
  std::unique_ptr<Chain>& slot = chains_[selected];
  if (slot) return *slot;
  if (!links_read_) {
    links_ = FontLinkTable::FromRegistry();  // once for the report
    links_read_ = true;
  }
  slot = std::make_unique<Chain>();
  Chain& chain = *slot;
  chain.faces.push_back(std::make_unique<Face>());
  chain.faces[0]->font = selected;
  LOGFONTW logfont;
  std::memset(&logfont, 0, sizeof logfont);
  if (GetObjectW(selected, sizeof logfont, &logfont) != sizeof logfont) return chain;
  chain.underline = logfont.lfUnderline != 0;
  WCHAR face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  const std::u16string actual(reinterpret_cast<const char16_t*>(face));
  const std::vector<std::u16string>* linked = &links_.Linked(actual);
  if (linked->empty()) linked = &links_.Linked(reinterpret_cast<const char16_t*>(logfont.lfFaceName));
  for (const std::u16string& name : *linked) {
    if (static_cast<int>(chain.faces.size()) == kMostFaces) break;
    // The selected font's height, width, weight and underline in the linked
    // face, in whatever character set the face has.
    LOGFONTW link = logfont;
    std::memset(link.lfFaceName, 0, sizeof link.lfFaceName);
    std::memcpy(link.lfFaceName, name.data(), name.size() * sizeof(char16_t));
    link.lfCharSet = DEFAULT_CHARSET;
    UniqueFont font(CreateFontIndirectW(&link));
    if (!font) continue;
    SelectObject(dc, font.get());
    WCHAR got[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, got);
    SelectObject(dc, selected);
    // The font mapper gives another face for one it does not have: that face
    // would only repeat one already asked.
    if (Folded(reinterpret_cast<const char16_t*>(got)) != Folded(name)) continue;
    fonts_made_.push_back(font.get());
    chain.faces.push_back(std::make_unique<Face>());
    chain.faces.back()->font = font.get();
    chain.faces.back()->name = Folded(name);
    chain.faces.back()->owned = std::move(font);
  }
  return chain;
}

std::uint32_t ShapingFonts::Coverage(HDC dc, Chain& chain, char32_t c) {
  if (PrintsNothing(c)) return ~0u;
  const auto known = chain.coverage.find(c);
  if (known != chain.coverage.end()) return known->second;
  std::uint32_t mask = 0;
  WCHAR units[2];
  int count = 1;
  if (c >= 0x10000) {
    units[0] = static_cast<WCHAR>(0xD800 + ((c - 0x10000) >> 10));
    units[1] = static_cast<WCHAR>(0xDC00 + ((c - 0x10000) & 0x3FF));
    count = 2;
  } else {
    units[0] = static_cast<WCHAR>(c);
  }
  for (std::size_t f = 0; f < chain.faces.size(); ++f) {
    Face& face = *chain.faces[f];
    SelectObject(dc, face.font);
    WORD glyphs[2] = {0xFFFF, 0xFFFF};
    bool has = false;
    if (count == 1) {
      has = GetGlyphIndicesW(dc, units, 1, glyphs, GGI_MARK_NONEXISTING_GLYPHS) == 1 && glyphs[0] != 0xFFFF;
    } else {
      // Beyond U+FFFF neither GetGlyphIndicesW nor (under Wine) ScriptGetCMap
      // reads the face's cmap: the engine's shaping of the pair does, and gives
      // the face's default glyph for a character it lacks.
      has = ScriptGetCMap(dc, &face.cache, units, 2, 0, glyphs) == S_OK && glyphs[0] != 0;
      if (!has) has = ShapesBeyondBmp(dc, face, units);
    }
    if (has) mask |= 1u << f;
  }
  SelectObject(dc, chain.faces[0]->font);
  chain.coverage.emplace(c, mask);
  return mask;
}

bool ShapingFonts::ShapesBeyondBmp(HDC dc, Face& face, const WCHAR* pair) {
  if (face.default_glyph < 0) {
    SCRIPT_FONTPROPERTIES properties;
    std::memset(&properties, 0, sizeof properties);
    properties.cBytes = sizeof properties;
    face.default_glyph = SUCCEEDED(ScriptGetFontProperties(dc, &face.cache, &properties)) ? properties.wgDefault : 0;
  }
  SCRIPT_ITEM items[3];
  SCRIPT_CONTROL control;
  SCRIPT_STATE state;
  std::memset(&control, 0, sizeof control);
  std::memset(&state, 0, sizeof state);
  int item_count = 0;
  if (FAILED(ScriptItemize(pair, 2, 2, &control, &state, items, &item_count)) || item_count != 1) return false;
  WORD glyphs[4];
  WORD map[2];
  SCRIPT_VISATTR attrs[4];
  int count = 0;
  if (FAILED(ScriptShape(dc, &face.cache, pair, 2, 4, &items[0].a, glyphs, map, attrs, &count)) || count <= 0 ||
      count > 4)
    return false;
  for (int g = 0; g < count; ++g)
    if (glyphs[g] == face.default_glyph) return false;
  return true;
}

int ShapingFonts::FaceFor(HDC dc, Chain& chain, const char16_t* text, int from, int to) {
  std::uint32_t mask = ~0u;
  for (int at = from, units = 1; at < to; at += units) mask &= Coverage(dc, chain, CharAt(text, at, to, units));
  for (std::size_t f = 0; f < chain.faces.size(); ++f)
    if (mask & (1u << f)) return static_cast<int>(f);
  return -1;
}

void ShapingFonts::PutWideText(HDC dc, int x, int y, const char16_t* text, int length, const int* advances) {
  if (length <= 0) return;
  std::vector<WORD> glyphs(static_cast<std::size_t>(length));
  const DWORD found = GetGlyphIndicesW(dc, Wide(text), length, glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
  if (found != static_cast<DWORD>(length) || std::find(glyphs.begin(), glyphs.end(), 0xFFFF) == glyphs.end()) {
    ExtTextOutW(dc, x, y, 0, nullptr, Wide(text), static_cast<UINT>(length), advances);
    return;
  }
  // Stretches of the faces that have their characters, each on its advances.
  Chain& chain = ChainFor(dc);
  std::vector<int> faces(static_cast<std::size_t>(length), 0);
  for (int at = 0, units = 1; at < length; at += units) {
    CharAt(text, at, length, units);
    if (units == 1 && glyphs[at] != 0xFFFF) continue;
    const int face = FaceFor(dc, chain, text, at, at + units);
    for (int k = at; k < at + units; ++k) faces[k] = face > 0 ? face : 0;
  }
  int pen = x;
  for (int from = 0; from < length;) {
    int to = from + 1;
    while (to < length && faces[to] == faces[from]) ++to;
    Put(dc, chain, faces[from], pen, y, 0, Wide(text + from), to - from, advances + from);
    for (int k = from; k < to; ++k) pen += advances[k];
    from = to;
  }
  SelectObject(dc, chain.faces[0]->font);
}

void ShapingFonts::PutShapedText(HDC dc, int y, const char16_t* text, int length, bool right_to_left,
                                 const ClusterCells* clusters, int cluster_count) {
  if (text == nullptr || clusters == nullptr || length <= 0 || cluster_count <= 0) return;
  Chain& chain = ChainFor(dc);
  // Clusters start at the word's first unit, in order, inside the word.
  bool valid = clusters[0].unit == 0;
  for (int k = 0; valid && k < cluster_count; ++k) {
    const int end = k + 1 < cluster_count ? clusters[k + 1].unit : length;
    valid = clusters[k].unit < end && end <= length;
  }
  std::vector<int> faces(static_cast<std::size_t>(cluster_count), -1);
  if (!valid) {
    Trace("Shaped word with clusters out of order: drawn unshaped\n");
    Unshaped(dc, chain, faces, y, text, length, clusters, cluster_count);
    return;
  }
  for (int k = 0; k < cluster_count; ++k) {
    const int end = k + 1 < cluster_count ? clusters[k + 1].unit : length;
    faces[k] = FaceFor(dc, chain, text, clusters[k].unit, end);
  }

  std::vector<SCRIPT_ITEM> items(static_cast<std::size_t>(length) + 2);
  SCRIPT_CONTROL control;
  SCRIPT_STATE state;
  std::memset(&control, 0, sizeof control);
  std::memset(&state, 0, sizeof state);
  state.uBidiLevel = right_to_left ? 1 : 0;
  int item_count = 0;
  if (FAILED(ScriptItemize(Wide(text), length, static_cast<int>(items.size()) - 1, &control, &state, items.data(),
                           &item_count)) ||
      item_count <= 0 || item_count >= static_cast<int>(items.size())) {
    Trace("ScriptItemize failed: word drawn unshaped\n");
    Unshaped(dc, chain, faces, y, text, length, clusters, cluster_count);
    return;
  }

  // Runs: clusters of one face within one item.
  std::vector<Glyphs> runs;
  int item = 0;
  for (int first = 0; first < cluster_count;) {
    while (item + 1 < item_count && items[item + 1].iCharPos <= clusters[first].unit) ++item;
    const int item_end = item + 1 < item_count ? items[item + 1].iCharPos : length;
    int end = first + 1;
    while (end < cluster_count && faces[end] == faces[first] && clusters[end].unit < item_end) ++end;
    const int from = clusters[first].unit;
    const int to = end < cluster_count ? clusters[end].unit : length;
    runs.emplace_back();
    Glyphs& run = runs.back();
    if (faces[first] < 0) {
      // No face has it: the selected face's box, once, on the cells.
      run.face = 0;
      Cover(clusters, first, end, run.left, run.right);
      SelectObject(dc, chain.faces[0]->font);
      ABC abc;
      int width = 0;
      if (GetCharABCWidthsI(dc, 0, 1, nullptr, &abc)) width = abc.abcA + static_cast<int>(abc.abcB) + abc.abcC;
      for (int k = first; k < end; ++k) {
        run.ids.push_back(0);
        run.x.push_back(clusters[k].x + (clusters[k].width - width) / 2);
        run.y.push_back(y);
      }
      if (right_to_left) {
        std::reverse(run.ids.begin(), run.ids.end());
        std::reverse(run.x.begin(), run.x.end());
      }
    } else if (!ShapeRun(dc, chain, faces[first], items[item].a, text, from, to, y, right_to_left, clusters, first,
                         end, run)) {
      SelectObject(dc, chain.faces[0]->font);
      Unshaped(dc, chain, faces, y, text, length, clusters, cluster_count);
      return;
    }
    first = end;
  }
  for (const Glyphs& run : runs) Draw(dc, chain, run, y);
  SelectObject(dc, chain.faces[0]->font);
}

bool ShapingFonts::ShapeRun(HDC dc, Chain& chain, int face_index, const SCRIPT_ANALYSIS& item, const char16_t* text,
                            int from, int to, int y, bool right_to_left, const ClusterCells* clusters,
                            int first_cluster, int end_cluster, Glyphs& out) {
  const int n = to - from;
  Face& face = *chain.faces[face_index];
  SelectObject(dc, face.font);
  SCRIPT_ANALYSIS analysis = item;
  analysis.fRTL = right_to_left ? 1 : 0;
  analysis.fLayoutRTL = analysis.fRTL;
  analysis.s.uBidiLevel = right_to_left ? 1 : 0;
  analysis.s.fInhibitSymSwap = 1;  // the layout has mirrored what reads right to left already

  // Shape, with room for more glyphs while the engine asks for it.
  int capacity = n * 3 / 2 + 16;
  std::vector<WORD> glyphs;
  std::vector<WORD> map(static_cast<std::size_t>(n));
  std::vector<SCRIPT_VISATTR> attrs;
  int count = 0;
  HRESULT result = E_FAIL;
  for (;;) {
    glyphs.assign(static_cast<std::size_t>(capacity), 0);
    attrs.assign(static_cast<std::size_t>(capacity), SCRIPT_VISATTR{});
    result = ScriptShape(dc, &face.cache, Wide(text + from), n, capacity, &analysis, glyphs.data(), map.data(),
                         attrs.data(), &count);
    if (result == E_OUTOFMEMORY && capacity < 8 * n + 64) {
      capacity *= 2;
    } else if (result == USP_E_SCRIPT_NOT_IN_FONT && analysis.eScript != SCRIPT_UNDEFINED) {
      analysis.eScript = SCRIPT_UNDEFINED;  // the face's own glyphs, unshaped
    } else {
      break;
    }
  }
  if (FAILED(result) || count <= 0 || count > capacity) {
    Trace("ScriptShape gave 0x%08lx and %d glyphs for %d characters: word drawn unshaped\n",
          static_cast<unsigned long>(result), count, n);
    return false;
  }
  // The cluster map: each character's group starts at the group's first glyph
  // in logical order, which in a right-to-left run (glyphs in visual order) is
  // the group's rightmost: inside the glyphs, ordered with the direction, and
  // covering them all.
  bool consistent = true;
  for (int i = 0; i < n && consistent; ++i) {
    consistent = map[i] < count;
    if (consistent && i > 0) consistent = right_to_left ? map[i] <= map[i - 1] : map[i] >= map[i - 1];
  }
  if (!consistent || map[0] != (right_to_left ? count - 1 : 0)) {
    Trace("ScriptShape gave an inconsistent cluster map (%d glyphs, %d characters): word drawn unshaped\n", count, n);
    return false;
  }
  if (right_to_left) KeepMirrored(dc, text + from, n, map.data(), glyphs.data());
  std::vector<int> advances(static_cast<std::size_t>(count));
  std::vector<GOFFSET> offsets(static_cast<std::size_t>(count));
  ABC abc;
  if (FAILED(ScriptPlace(dc, &face.cache, glyphs.data(), count, attrs.data(), &analysis, advances.data(),
                         offsets.data(), &abc))) {
    Trace("ScriptPlace failed: word drawn unshaped\n");
    return false;
  }

  // The glyphs [group_first, group_end) of characters [s, e), one or more whole
  // groups of the engine.
  auto group_first = [&](int s, int e) {
    return right_to_left ? (e < n ? static_cast<int>(map[e]) + 1 : 0) : static_cast<int>(map[s]);
  };
  auto group_end = [&](int s, int e) {
    return right_to_left ? static_cast<int>(map[s]) + 1 : (e < n ? static_cast<int>(map[e]) : count);
  };
  // The group's glyph for its first character (its base), at its right end when
  // the run reads right to left.
  auto group_base = [&](int s, int e) { return right_to_left ? group_end(s, e) - 1 : group_first(s, e); };

  // Glyphs that draw nonspacing marks alone.
  std::vector<char> mark(static_cast<std::size_t>(count), 0);
  for (int s = 0; s < n;) {
    int e = s + 1;
    while (e < n && map[e] == map[s]) ++e;
    int marks = 0;
    int characters = 0;
    for (int at = s, units = 1; at < e; at += units, ++characters)
      marks += IsNonspacingMark(CharAt(text + from, at, e, units)) ? 1 : 0;
    for (int g = group_first(s, e); g < group_end(s, e); ++g) {
      mark[g] = marks == characters || attrs[g].fDiacritic || attrs[g].fZeroWidth || advances[g] == 0;
      // A fixed-pitch face's mark keeps a whole advance and draws its ink over
      // the cell before its origin.
      const GLYPHMETRICS* ink = !mark[g] && marks > 0 && g != group_base(s, e) ? face.Ink(dc, glyphs[g]) : nullptr;
      if (ink != nullptr) mark[g] = ink->gmptGlyphOrigin.x + static_cast<int>(ink->gmBlackBoxX) <= 0;
    }
    s = e;
  }
  bool joined = false;
  for (int at = 0, units = 1; at < n && !joined; at += units) joined = Joins(CharAt(text + from, at, n, units));

  out.face = face_index;
  out.ids.assign(glyphs.begin(), glyphs.begin() + count);
  out.x.assign(static_cast<std::size_t>(count), 0);
  out.y.assign(static_cast<std::size_t>(count), y);
  Cover(clusters, first_cluster, end_cluster, out.left, out.right);

  // Placement groups: the fewest characters that are whole clusters of the
  // grid and whole groups of the engine; a joining script's run is one.
  int k = first_cluster;
  for (int s = 0; s < n;) {
    int e = n;
    if (!joined) {
      // Grow to the next cluster start where the engine's groups also part.
      for (int next = k + 1; next < end_cluster; ++next) {
        const int at = clusters[next].unit - from;
        if (map[at] != map[at - 1]) {
          e = at;
          break;
        }
      }
    }
    int group_end_cluster = k;
    while (group_end_cluster < end_cluster && clusters[group_end_cluster].unit - from < e) ++group_end_cluster;
    int left = 0;
    int right = 0;
    Cover(clusters, k, group_end_cluster, left, right);
    k = group_end_cluster;
    const int lo = group_first(s, e);
    const int hi = group_end(s, e);
    int pen = 0;
    std::vector<int> at(static_cast<std::size_t>(hi - lo));
    for (int g = lo; g < hi; ++g) {
      at[g - lo] = pen;
      pen += mark[g] ? 0 : advances[g];
    }
    const int origin = left + (right - left - pen) / 2;
    for (int g = lo; g < hi; ++g) {
      out.x[g] = origin + at[g - lo] + offsets[g].du;
      out.y[g] = y - offsets[g].dv;
    }
    // A mark left where the pen is goes over the middle of its base's ink (the
    // glyph before it in reading order: to its right when the word reads right
    // to left).
    for (int g = lo; g < hi; ++g) {
      if (!mark[g] || offsets[g].du != 0 || offsets[g].dv != 0) continue;
      int base = -1;
      const int step = right_to_left ? 1 : -1;
      for (int b = g + step; b >= lo && b < hi && base < 0; b += step)
        if (!mark[b]) base = b;
      for (int b = g - step; b >= lo && b < hi && base < 0; b -= step)
        if (!mark[b]) base = b;
      const GLYPHMETRICS* const mark_ink = face.Ink(dc, glyphs[g]);
      if (mark_ink == nullptr) continue;
      int centre = (left + right) / 2;
      const GLYPHMETRICS* const base_ink = base >= 0 ? face.Ink(dc, glyphs[base]) : nullptr;
      if (base_ink != nullptr)
        centre = out.x[base] + base_ink->gmptGlyphOrigin.x + static_cast<int>(base_ink->gmBlackBoxX) / 2;
      out.x[g] = centre - mark_ink->gmptGlyphOrigin.x - static_cast<int>(mark_ink->gmBlackBoxX) / 2;
    }
    s = e;
  }
  return true;
}

void ShapingFonts::KeepMirrored(HDC dc, const char16_t* text, int n, const WORD* map, WORD* glyphs) {
  // The text reads right to left with its brackets mirrored already, and the
  // engine is told not to mirror them again; Wine's engine mirrors them anyway.
  // A character that drew alone as its mirror image gets its own glyph back.
  for (int i = 0; i < n; ++i) {
    const char32_t mirrored = MirroredCharacter(text[i]);
    const int end = i + 1 < n ? map[i + 1] : -1;
    if (mirrored == text[i] || mirrored > 0xFFFF || map[i] - end != 1 || (i > 0 && map[i - 1] == map[i])) continue;
    const WCHAR both[2] = {static_cast<WCHAR>(text[i]), static_cast<WCHAR>(mirrored)};
    WORD ids[2] = {0xFFFF, 0xFFFF};
    if (GetGlyphIndicesW(dc, both, 2, ids, GGI_MARK_NONEXISTING_GLYPHS) == 2 && ids[0] != 0xFFFF &&
        ids[1] != ids[0] && glyphs[map[i]] == ids[1])
      glyphs[map[i]] = ids[0];
  }
}

void ShapingFonts::Draw(HDC dc, Chain& chain, const Glyphs& run, int y) {
  if (run.ids.empty()) return;
  Face& face = *chain.faces[run.face];
  SelectObject(dc, face.font);
  std::vector<WORD> ids;
  std::vector<int> x;
  std::vector<int> ys;
  // Underlined text: a blank first, at the run's left edge, so that the line
  // runs under all of the run's cells.
  if (chain.underline) {
    if (face.space == 0xFFFF) {
      const WCHAR blank = L' ';
      WORD glyph = 0xFFFF;
      if (GetGlyphIndicesW(dc, &blank, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) == 1) face.space = glyph;
    }
    if (face.space != 0xFFFF) {
      ids.push_back(face.space);
      x.push_back(run.left);
      ys.push_back(y);
    }
  }
  ids.insert(ids.end(), run.ids.begin(), run.ids.end());
  x.insert(x.end(), run.x.begin(), run.x.end());
  ys.insert(ys.end(), run.y.begin(), run.y.end());
  // Each pair: the step to the next glyph's origin, across and up.
  std::vector<INT> steps(ids.size() * 2, 0);
  for (std::size_t g = 0; g + 1 < ids.size(); ++g) {
    steps[2 * g] = x[g + 1] - x[g];
    steps[2 * g + 1] = ys[g] - ys[g + 1];
  }
  steps[2 * (ids.size() - 1)] = run.right - x.back();
  Put(dc, chain, run.face, x[0], ys[0], ETO_GLYPH_INDEX | ETO_PDY, reinterpret_cast<LPCWSTR>(ids.data()),
      static_cast<int>(ids.size()), steps.data());
}

void ShapingFonts::Unshaped(HDC dc, Chain& chain, const std::vector<int>& faces, int y, const char16_t* text,
                            int length, const ClusterCells* clusters, int cluster_count) {
  // Each cluster by itself on its cells, in the face that has it, its letter
  // first and its marks after it: the platform must not reorder a cluster of
  // right-to-left text, or the advances would go to the wrong characters.
  for (int k = 0; k < cluster_count; ++k) {
    const int start = clusters[k].unit;
    const int end = k + 1 < cluster_count ? clusters[k + 1].unit : length;
    if (start < 0 || end <= start || end > length) continue;
    std::vector<INT> advances(static_cast<std::size_t>(end - start), 0);
    advances[0] = clusters[k].width;
    const int face = faces[k] > 0 ? faces[k] : 0;
    Put(dc, chain, face, clusters[k].x, y, ETO_IGNORELANGUAGE, Wide(text + start), end - start, advances.data());
  }
  SelectObject(dc, chain.faces[0]->font);
}

}  // namespace quillet
