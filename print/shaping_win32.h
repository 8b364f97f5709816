// Text that the selected font cannot draw by itself: words shaped by the
// system's complex-script engine (Uniscribe) with every glyph placed on the
// cells of its cluster, and the faces that the system links behind a face
// (HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink) for
// the characters the face lacks. Glyph indices bypass the platform's own font
// linking, and a printer driver need not link at all, so a face is found for
// each run here, as Windows would find it: the selected face, then its linked
// faces in order.
#ifndef QUILLET_PRINT_SHAPING_WIN32_H
#define QUILLET_PRINT_SHAPING_WIN32_H

#include <windows.h>
#include <usp10.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/handles_win32.h"
#include "print/print_device.h"

namespace quillet {

// The faces the system links behind each face, read from the registry once:
// face names in the order given ("file,face[,scale...]" entries; an entry that
// names no face is skipped, as is one that names its own face).
class FontLinkTable {
 public:
  // Reads the links of the machine.
  static FontLinkTable FromRegistry();
  const std::vector<std::u16string>& Linked(const std::u16string& face) const;

 private:
  // One face's links, as its registry value (REG_MULTI_SZ) holds them.
  void Add(const std::u16string& face, const std::u16string& multi_sz);

  std::map<std::u16string, std::vector<std::u16string>> faces_;  // by lower-case face name
};

// The fonts one report draws shaped and linked text in. It owns the fonts it
// makes for linked faces and the engine's caches, and releases them when the
// report's device context goes (Release) or when it goes itself; a font of the
// driver's is never deleted here.
class ShapingFonts {
 public:
  ShapingFonts();
  ~ShapingFonts();
  ShapingFonts(const ShapingFonts&) = delete;
  ShapingFonts& operator=(const ShapingFonts&) = delete;

  // A word in logical order, each cluster on its cells (PrintDevice::PutShapedText).
  void PutShapedText(HDC dc, int y, const char16_t* text, int length, bool right_to_left,
                     const ClusterCells* clusters, int cluster_count);
  // Text drawn left to right with a width array; what the selected font lacks
  // goes out in the first linked face that has it, on the same advances.
  void PutWideText(HDC dc, int x, int y, const char16_t* text, int length, const int* advances);

  // Text in the faces linked behind the driver's is held until the page ends
  // and then drawn face by face: a printer driver may keep few fonts loaded at
  // a time (Wine's PostScript driver two, and it sends every font again, whole,
  // once a third has pushed it out), so a page whose lines switch between the
  // report's fonts and several linked faces would send each face many times.
  // The page's text lands where it would; only the order of the calls changes.
  // Draws what is held (before the page ends, or anything whose order counts).
  void DrawHeld();
  // Forgets what is held (the document was abandoned).
  void DropHeld();

  // The driver deletes one of its fonts: what was made for it goes (what is
  // held in its linked faces is drawn first).
  void Forget(HFONT selected);
  // Everything made so far goes, and what is held with it (the report's device
  // context is going).
  void Release();

  // Every font made for a linked face, for checks that none is left.
  const std::vector<HFONT>& fonts_made() const { return fonts_made_; }

 private:
  struct Face;
  struct Chain;
  struct Glyphs;
  struct Held;

  Chain& ChainFor(HDC dc);
  std::uint32_t Coverage(HDC dc, Chain& chain, char32_t c);
  // Whether the face has the character of a surrogate pair.
  bool ShapesBeyondBmp(HDC dc, Face& face, const WCHAR* pair);
  // The first face of the chain that has every character of text[from, to), or
  // -1 when none has.
  int FaceFor(HDC dc, Chain& chain, const char16_t* text, int from, int to);
  bool ShapeRun(HDC dc, Chain& chain, int face, const SCRIPT_ANALYSIS& analysis, const char16_t* text,
                int from, int to, int y, bool right_to_left, const ClusterCells* clusters, int first_cluster,
                int end_cluster, Glyphs& out);
  void Unshaped(HDC dc, Chain& chain, const std::vector<int>& faces, int y, const char16_t* text, int length,
                const ClusterCells* clusters, int cluster_count);
  // A right-to-left run's brackets as the layout mirrored them.
  void KeepMirrored(HDC dc, const char16_t* text, int n, const WORD* map, WORD* glyphs);
  void Draw(HDC dc, Chain& chain, const Glyphs& glyphs, int y);
  // One text call in chain.faces[face]: made at once in the driver's own font,
  // held for the end of the page in a linked face. `steps` has one entry per
  // unit, two with ETO_PDY.
  void Put(HDC dc, Chain& chain, int face, int x, int y, UINT options, const WCHAR* units, int count,
           const INT* steps);

  bool links_read_ = false;
  FontLinkTable links_;
  std::unordered_map<HFONT, std::unique_ptr<Chain>> chains_;
  std::vector<HFONT> fonts_made_;
  std::vector<Held> held_;
  HDC held_dc_ = nullptr;
};

}  // namespace quillet

#endif
