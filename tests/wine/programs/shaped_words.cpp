// Prints one landscape page on the PDF printer through GdiPrintDevice: words in
// many scripts as the layout hands them to the device (logical order, each
// grapheme cluster on its cells), each row ended by an amount in a fixed
// column, and writes to standard output where everything went, for
// tests/e2e/shaped_text_test.py to find in the PDF and its pixels.
// Usage: shaped_words DOCUMENT-NAME
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "print/gdi_device_win32.h"

namespace {

using quillet::ClusterCells;

struct Word {
  const char* name;
  const char16_t* text;
  std::vector<int> columns;  // each cluster's columns, in logical order
  std::vector<int> units;    // each cluster's UTF-16 units
  bool right_to_left = false;
  int spacing = 0;           // cells added to each cluster (spread-out words)
  int attribute = 0;         // 1 underline, 2 bold
};

// The words of each row, then the amount at kAmountColumn.
const Word kWords[] = {
    {"hebrew", u"\u05e9\u05b8\u05c1\u05dc\u05d5\u05b9\u05dd", {1, 1, 1, 1}, {3, 1, 2, 1}, true},
    {"hebrew-ltd", u"\u05d1\u05e2\"\u05de", {1, 1, 1, 1}, {1, 1, 1, 1}, true},
    {"hebrew-spread", u"\u05e9\u05dc\u05d5\u05dd", {1, 1, 1, 1}, {1, 1, 1, 1}, true, 2},
    {"arabic", u"\u0645\u064f\u062d\u064e\u0645\u064e\u0651\u062f", {1, 1, 1, 1}, {2, 2, 3, 1}, true},
    {"arabic-lamalef", u"\u0627\u0644\u0633\u0644\u0627\u0645", {1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1}, true},
    {"thai", u"\u0e43\u0e08\u0e14\u0e35", {1, 1, 1}, {1, 1, 2}},
    {"thai-tone", u"\u0e20\u0e39\u0e48", {1}, {3}},
    {"devanagari", u"\u0915\u094d\u0937", {2}, {3}},
    {"devanagari-ka", u"\u0915\u093e", {2}, {2}},
    {"tamil", u"\u0b95\u0bbe", {2}, {2}},
    {"bengali", u"\u0995\u09be", {2}, {2}},
    {"yoruba", u"\u1eccl\u1ecd\u0301run", {1, 1, 1, 1, 1, 1}, {1, 1, 2, 1, 1, 1}},
    {"emoji", u"\U0001F600", {2}, {2}},
    {"extb", u"\U00020BB7", {2}, {2}},
    {"underlined", u"\u05e9\u05dc\u05d5\u05dd", {1, 1, 1, 1}, {1, 1, 1, 1}, true, 0, 3},
    // Marks alone on their base, blanks around them: the ink must stay on the cell.
    {"mark-acute", u"\u1ecd\u0301", {1}, {2}},
    {"mark-qamats", u"\u05e9\u05b8\u05c1", {1}, {3}, true},
    {"mark-damma", u"\u0645\u064f", {1}, {2}, true},
    {"mark-sara-i", u"\u0e14\u0e35", {1}, {2}},
    {"mark-tone", u"\u0e20\u0e39\u0e48", {1}, {3}},
};
constexpr int kWordColumn = 4;
constexpr int kAmountColumn = 24;

std::string Utf8(const char16_t* text, int length) {
  char out[256] = {};
  WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(text), length, out, sizeof out - 1, nullptr,
                      nullptr);
  return out;
}

HDC LandscapePdfDc() {
  HANDLE printer = nullptr;
  char name[] = "PDF";
  if (!OpenPrinterA(name, &printer, nullptr)) return nullptr;
  const LONG size = DocumentPropertiesA(nullptr, printer, name, nullptr, nullptr, 0);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 0);
  auto* mode = reinterpret_cast<DEVMODEA*>(buffer.data());
  HDC dc = nullptr;
  if (size > 0 && DocumentPropertiesA(nullptr, printer, name, mode, nullptr, DM_OUT_BUFFER) == IDOK) {
    mode->dmOrientation = DMORIENT_LANDSCAPE;
    mode->dmFields |= DM_ORIENTATION;
    dc = CreateDCA("WINSPOOL", name, nullptr, mode);
  }
  ClosePrinter(printer);
  return dc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  HDC dc = LandscapePdfDc();
  if (dc == nullptr) {
    std::fprintf(stderr, "no PDF printer\n");
    return 1;
  }
  quillet::GdiPrintDevice device;
  quillet::TextMetrics own;
  device.ReadTextMetrics(dc, own);
  quillet::FontSpec spec;
  spec.height = -MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72);
  spec.weight = FW_NORMAL;
  spec.pitch_and_family = own.pitch_and_family;
  device.ReadTextFace(dc, spec.face);
  HFONT fonts[4];
  for (int attribute = 0; attribute < 4; ++attribute) {
    spec.underline = (attribute & 1) != 0;
    spec.weight = (attribute & 2) != 0 ? FW_BOLD : FW_NORMAL;
    fonts[attribute] = static_cast<HFONT>(device.MakeFont(spec));
  }
  HGDIOBJ original = device.SelectFont(dc, fonts[0]);
  quillet::TextMetrics metrics;
  device.ReadTextMetrics(dc, metrics);
  const int cell = metrics.ave_char_width;
  const int line = metrics.height + metrics.external_leading;
  std::printf("page %d %d %d cell %d line %d face %s\n", GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES),
              GetDeviceCaps(dc, LOGPIXELSX), cell, line, spec.face);

  device.SetAbortProc(dc);
  if (device.StartDocument(dc, argv[1], nullptr, nullptr) <= 0 || device.StartPage(dc) <= 0) {
    std::fprintf(stderr, "StartDoc/StartPage failed: %lu\n", GetLastError());
    return 1;
  }
  device.SetTransparentText(dc);
  int row = 1;
  for (const Word& word : kWords) {
    const int y = row * 2 * line;
    const int length = static_cast<int>(std::char_traits<char16_t>::length(word.text));
    const int count = static_cast<int>(word.columns.size());
    int total = 0;
    for (int c : word.columns) total += c + word.spacing;
    std::vector<ClusterCells> cells(static_cast<size_t>(count));
    int unit = 0;
    int taken = 0;
    for (int k = 0; k < count; ++k) {
      const int columns = word.columns[k] + word.spacing;
      const int column = word.right_to_left ? kWordColumn + total - taken - columns : kWordColumn + taken;
      cells[k] = ClusterCells{unit, column * cell, columns * cell};
      unit += word.units[k];
      taken += columns;
    }
    device.SelectFont(dc, fonts[word.attribute]);
    device.PutShapedText(dc, y, word.text, length, word.right_to_left, cells.data(), count);
    device.SelectFont(dc, fonts[0]);
    char amount[16];
    std::snprintf(amount, sizeof amount, "%d.%02d", 100 + row * 7, row);
    const int amount_length = static_cast<int>(std::strlen(amount));
    std::u16string wide(amount, amount + amount_length);
    std::vector<int> advances(static_cast<size_t>(amount_length), cell);
    device.PutWideText(dc, kAmountColumn * cell, y, wide.c_str(), amount_length, advances.data());
    // name, row's top, text, direction, then each cluster's cells
    std::printf("word %s %d %s %d %s", word.name, y, amount, word.right_to_left ? 1 : 0,
                Utf8(word.text, length).c_str());
    for (const ClusterCells& c : cells) std::printf(" %d:%d", c.x, c.width);
    std::printf("\n");
    ++row;
  }
  // Chinese in the printer's own face, drawn as text that needs no shaping.
  const char16_t cjk[] = u"\u4e2d\u6587";
  const int cjk_advances[] = {2 * cell, 2 * cell};
  device.PutWideText(dc, kWordColumn * cell, row * 2 * line, cjk, 2, cjk_advances);
  std::printf("cjk %d %s\n", row * 2 * line, Utf8(cjk, 2).c_str());
  const int ended = device.EndPage(dc) > 0 && device.EndDocument(dc) > 0;
  device.SelectFont(dc, original);
  for (HFONT font : fonts) device.DeleteFont(font);
  std::vector<HFONT> linked = device.linked_fonts_made();
  device.DeleteDC(dc);
  // The device released every font it made for a linked face.
  int left = 0;
  for (HFONT font : linked) left += GetObjectType(font) != 0;
  std::printf("linked %d left %d\n", static_cast<int>(linked.size()), left);
  return ended ? 0 : 1;
}
