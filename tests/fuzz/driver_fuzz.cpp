// The print driver over arbitrary reports on a device that checks every call
// against the rules of a printer device context: documents and pages open and
// close in order, drawing happens on an open page inside the printable area, fonts
// are selected only while they exist and all go back, buffers handed over hold
// what they claim, and everything is released at the end.
//
// Input: 8 header bytes, then the report.
//   [0] bit 0 raw, 1 ruler, 2 oem, 3 ansi, 4 quiet, 5 the device has pass-through,
//       6 a font cannot be made, 7 a pitch in points (else the device's font size)
//   [1] line height of the font (bits 0-5) and external leading (bits 6-7)
//   [2] character width
//   [3] page height in units of 8
//   [4] a spooler call that fails: bits 0-1 which (StartDoc, StartPage, EndPage,
//       EndDoc), bits 2-7 at which call (0: none fails)
//   [5] the user cancels after this many runs of text (0: never)
//   [6] the pitch
//   [7] the sizes the file hands out per read (0: as much as asked)
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <utility>
#include <string>

#include "fuzz_support.h"
#include "print/abort_dialog.h"
#include "print/print_device.h"
#include "print/print_driver.h"
#include "platform/file.h"
#include "text/characters.h"
#include "text/line_layout.h"
#include "report/report_reader.h"

namespace quillet {
namespace {

constexpr std::size_t kHeader = 8;
constexpr std::int32_t kFile = 7;
constexpr int kHorzRes = 200;
DeviceContext const kDc = reinterpret_cast<DeviceContext>(0xDC);
WindowHandle const kDialog = reinterpret_cast<WindowHandle>(0xD1A);
FontHandle const kOwnFont = reinterpret_cast<FontHandle>(0xF0);

struct Source {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t pos = 0;
  std::uint8_t chunk = 0;
} g_source;

long ReadSource(std::int32_t handle, void* buffer, unsigned size) {
  FUZZ_REQUIRE(handle == kFile);
  std::size_t n = std::min<std::size_t>(size, g_source.size - g_source.pos);
  if (g_source.chunk != 0) n = std::min<std::size_t>(n, g_source.chunk);
  std::memcpy(buffer, g_source.data + g_source.pos, n);
  g_source.pos += n;
  return static_cast<long>(n);
}

enum class Spooler { kStartDoc, kStartPage, kEndPage, kEndDoc };

class CheckingDevice : public PrintDevice {
 public:
  // What the device is like.
  TextMetrics metrics;
  int vertres = 0;
  bool passthrough = false;
  bool font_fails = false;
  Spooler failing = Spooler::kStartDoc;
  int fail_at = 0;     // the failing call's number among its kind, 0: none fails
  int cancel_at = 0;   // runs of text before the user cancels, 0: never
  bool quiet = false;
  bool raw = false;  // the text goes out as pass-through blocks
  bool bytes_only = false;  // -oem, -ansi or -raw: no Unicode text

  // What happened.
  bool opened = false, closed = false, dc_deleted = false, dialog_made = false, dialog_gone = false;
  bool doc_open = false, page_open = false, ended = false, aborted = false, failed = false;
  int starts[4] = {};
  std::set<FontHandle> fonts;
  FontHandle selected = kOwnFont;
  std::size_t bytes_out = 0;
  int pages = 0;  // pages started, as the listener was told of them
  int runs_out = 0;

  std::int32_t OpenReport(const char*, const char16_t*) override {
    FUZZ_REQUIRE(!opened);
    opened = true;
    return kFile;
  }
  void CloseReport(std::int32_t file) override {
    FUZZ_REQUIRE(file == kFile && opened && !closed);
    closed = true;
  }
  bool IdentifyReport(std::int32_t, FileIdentity&) override { return false; }
  unsigned long LastError() override { return 0; }

  DeviceContext GetPrinterDC(PrintJob&) override { return kDc; }
  void DeleteDC(DeviceContext dc) override {
    FUZZ_REQUIRE(dc == kDc && !dc_deleted);
    FUZZ_REQUIRE(selected == kOwnFont);  // the context goes back with its own font
    dc_deleted = true;
  }

  int QueryEscapeSupport(DeviceContext dc, int escape) override {
    Live(dc);
    FUZZ_REQUIRE(escape == kEscapePassThrough);
    return passthrough ? 1 : 0;
  }
  bool ReadTextMetrics(DeviceContext dc, TextMetrics& out) override {
    Live(dc);
    out = metrics;
    return true;
  }
  int GetDeviceCaps(DeviceContext dc, DeviceCap cap) override {
    Live(dc);
    return cap == DeviceCap::kHorzRes ? kHorzRes : cap == DeviceCap::kVertRes ? vertres : 300;
  }
  void ReadTextFace(DeviceContext dc, char (&face)[kFaceNameSize]) override {
    Live(dc);
    std::memcpy(face, "Device Mono", 12);
  }

  FontHandle MakeFont(const FontSpec& desc) override {
    FUZZ_REQUIRE(std::memchr(desc.face, '\0', sizeof desc.face) != nullptr);
    FUZZ_REQUIRE(desc.weight == 400 || desc.weight == 700);
    if (font_fails && fonts.empty()) return nullptr;
    const auto font = reinterpret_cast<FontHandle>(0x1000 + made_++);
    fonts.insert(font);
    return font;
  }
  FontHandle SelectFont(DeviceContext dc, FontHandle font) override {
    Live(dc);
    if (font == nullptr) return nullptr;  // as GDI: nothing selected
    FUZZ_REQUIRE(font == kOwnFont || fonts.count(font) == 1);
    return std::exchange(selected, font);
  }
  FontHandle CurrentFont(DeviceContext dc) override {
    Live(dc);
    return selected;
  }
  void DeleteFont(FontHandle font) override {
    FUZZ_REQUIRE(fonts.erase(font) == 1 && font != selected);
  }

  void SetAbortProc(DeviceContext dc) override { Live(dc); }
  void SetTransparentText(DeviceContext dc) override { Live(dc); }

  int StartDocument(DeviceContext dc, const char* name, const char16_t*, const char16_t*) override {
    Live(dc);
    FUZZ_REQUIRE(name != nullptr && !doc_open && !ended);
    if (Fails(Spooler::kStartDoc)) return -1;
    doc_open = true;
    return 1;
  }
  unsigned long HoldOutput(const char16_t*) override { return 0; }
  int StartPage(DeviceContext dc) override {
    Live(dc);
    FUZZ_REQUIRE(doc_open && !page_open && !failed && !user_abort);
    if (Fails(Spooler::kStartPage)) return -3;
    page_open = true;
    return 1;
  }
  int EndPage(DeviceContext dc) override {
    Live(dc);
    FUZZ_REQUIRE(doc_open && page_open && !failed);
    page_open = false;
    return Fails(Spooler::kEndPage) ? -4 : 1;
  }
  int EndDocument(DeviceContext dc) override {
    Live(dc);
    FUZZ_REQUIRE(doc_open && !page_open && !failed && !user_abort);
    ended = true;
    // A spooler that refuses the job at its end answers 0; the document is then
    // still the driver's to drop.
    if (Fails(Spooler::kEndDoc)) return 0;
    doc_open = false;
    return 1;
  }
  void AbortDocument(DeviceContext dc) override {
    Live(dc);
    FUZZ_REQUIRE(doc_open && !aborted);
    doc_open = page_open = false;
    aborted = true;
  }

  void PutText(DeviceContext dc, int x, int y, const char* text, int length, const int* advances) override {
    OnPage(dc, y);
    FUZZ_REQUIRE(!raw);
    FUZZ_REQUIRE(length >= 0 && length < kLineCapacity);
    // On the character grid, one column a character, within the columns that a
    // line's 511 positions can reach (tabs included).
    const int width = metrics.ave_char_width;
    for (int k = 0; k < length; ++k) FUZZ_REQUIRE(advances[k] == width);
    if (width > 0) FUZZ_REQUIRE(x % width == 0 && x / width + length <= kTabStop * kLinePositions);
    // Printed text ends at its first NUL, and every byte handed over is readable.
    FUZZ_REQUIRE(std::memchr(text, '\0', static_cast<std::size_t>(length)) == nullptr);
    Counted(length);
  }
  void PutWideText(DeviceContext dc, int x, int y, const char16_t* text, int length, const int* advances) override {
    OnPage(dc, y);
    FUZZ_REQUIRE(!raw && !bytes_only);  // only text whose bytes were left to be read as UTF-8 or UTF-16
    FUZZ_REQUIRE(length > 0 && length <= kGridUnits);
    // Each character advances its columns, none more than two; a surrogate pair
    // is one character, and no surrogate comes alone.
    const auto high = [](char16_t u) { return u >= 0xD800 && u < 0xDC00; };
    const auto low = [](char16_t u) { return u >= 0xDC00 && u < 0xE000; };
    const int width = metrics.ave_char_width;
    int characters = 0;
    long long columns = 0;
    for (int k = 0; k < length; ++k) {
      FUZZ_REQUIRE(text[k] != 0 && text[k] != u'\t');
      if (high(text[k])) FUZZ_REQUIRE(k + 1 < length && low(text[k + 1]));
      if (low(text[k])) {
        FUZZ_REQUIRE(k > 0 && high(text[k - 1]) && advances[k] == 0);
      } else {
        FUZZ_REQUIRE(advances[k] == 0 || advances[k] == width || advances[k] == 2 * width);
        ++characters;
      }
      if (width > 0) columns += advances[k] / width;
    }
    if (width > 0) FUZZ_REQUIRE(x % width == 0 && x / width + columns <= kTabStop * kLinePositions);
    Counted(characters);
  }
  void PutShapedText(DeviceContext dc, int y, const char16_t* text, int length, bool,
                     const ClusterCells* clusters, int cluster_count) override {
    OnPage(dc, y);
    FUZZ_REQUIRE(!raw);
    FUZZ_REQUIRE(length > 0 && length <= kGridUnits && cluster_count > 0 && cluster_count <= length);
    // Clusters in logical order, each on cells of the grid inside the columns a line can reach.
    const int width = metrics.ave_char_width;
    for (int k = 0; k < cluster_count; ++k) {
      FUZZ_REQUIRE(clusters[k].unit >= 0 && clusters[k].unit < length);
      if (k > 0) FUZZ_REQUIRE(clusters[k].unit > clusters[k - 1].unit);
      FUZZ_REQUIRE(clusters[k].x >= 0 && clusters[k].width >= 0);
      if (width > 0) {
        FUZZ_REQUIRE(clusters[k].x % width == 0 && clusters[k].width % width == 0);
        FUZZ_REQUIRE((clusters[k].x + clusters[k].width) / width <= kTabStop * kLinePositions);
      }
    }
    FUZZ_REQUIRE(clusters[0].unit == 0);
    for (int k = 0; k < length; ++k) FUZZ_REQUIRE(text[k] != 0 && text[k] != u'\t');
    Counted(cluster_count);
  }
  void PassThrough(DeviceContext dc, const unsigned char* block, int block_size) override {
    OnPage(dc, -1);
    FUZZ_REQUIRE(raw && block_size >= 2);
    const int count = block[0] | (block[1] << 8);
    FUZZ_REQUIRE(count == block_size - 2 && count < kLineCapacity);
    std::size_t sum = 0;
    for (int i = 0; i < count; ++i) sum += block[2 + i];  // readable to its end
    (void)sum;
    Counted(count);
  }
  void MoveTo(DeviceContext dc, int, int) override { OnPage(dc, -1); }
  void LineTo(DeviceContext dc, int, int) override { OnPage(dc, -1); }

  WindowHandle CreateCancelDialog() override {
    FUZZ_REQUIRE(!quiet && !dialog_made);
    dialog_made = true;
    return kDialog;
  }
  void DestroyWindow(WindowHandle window) override {
    FUZZ_REQUIRE(window == kDialog && dialog_made && !dialog_gone);
    dialog_gone = true;
  }
  void SetPageLine(WindowHandle, const char* text) override { FUZZ_REQUIRE(std::strlen(text) < 100); }
  void ShowError(const char* text) override {
    FUZZ_REQUIRE(std::strlen(text) < 80 && std::strstr(text, " returned ") != nullptr);
  }

  // The translations write the text and its terminator: exactly what `out` must hold.
  void TranslateToOem(const char* text, char* out) override { std::memcpy(out, text, std::strlen(text) + 1); }
  void TranslateToAnsi(const char* text, char* out) override { std::memcpy(out, text, std::strlen(text) + 1); }

 private:
  void Live(DeviceContext dc) { FUZZ_REQUIRE(dc == kDc && !dc_deleted); }

  // Drawing: only on an open page, and a row of text wholly inside the printable
  // area (one row per page when not even one fits).
  void OnPage(DeviceContext dc, int y) {
    Live(dc);
    FUZZ_REQUIRE(page_open && !failed);
    if (y < 0) return;
    const int height = metrics.height + metrics.external_leading;
    FUZZ_REQUIRE(y == 0 || (height > 0 && y % height == 0 && y + height <= vertres));
  }

  void Counted(int length) {
    bytes_out += static_cast<std::size_t>(length);
    FUZZ_REQUIRE(bytes_out <= g_source.size);  // nothing printed twice or made up
    if (++runs_out == cancel_at) user_abort = 1;
  }

  bool Fails(Spooler call) {
    const int n = ++starts[static_cast<int>(call)];
    if (call != failing || n != fail_at) return false;
    failed = true;
    return true;
  }

  int made_ = 0;
};

}  // namespace
}  // namespace quillet

using namespace quillet;

namespace {
CheckingDevice* g_device = nullptr;

// The listener hears of every page once, in order, as it is about to start.
void OnPage(int page_no) {
  FUZZ_REQUIRE(g_device->doc_open && !g_device->page_open && page_no == ++g_device->pages);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetReportReadForTesting(ReadSource);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return 0;
  g_source = Source{data + kHeader, size - kHeader, 0, data[7]};

  CheckingDevice device;
  device.metrics.height = data[1] & 0x3F;
  device.metrics.external_leading = data[1] >> 6;
  device.metrics.ave_char_width = data[2];
  device.vertres = data[3] * 8;
  device.passthrough = data[0] & 0x20;
  device.font_fails = data[0] & 0x40;
  device.failing = static_cast<Spooler>(data[4] & 3);
  device.fail_at = data[4] >> 2;
  device.cancel_at = data[5];

  PrintJob job;
  CallRecord call;
  char report_name[] = "report.txt";
  call.report_path = report_name;
  job.raw = data[0] & 1;
  job.ruler = (data[0] >> 1) & 1;
  job.oem = (data[0] >> 2) & 1;
  job.ansi = (data[0] >> 3) & 1;
  job.quiet = (data[0] >> 4) & 1;
  job.pitch = (data[0] & 0x80) ? data[6] : 0;
  call.on_page = OnPage;
  g_device = &device;
  device.quiet = job.quiet;
  device.raw = job.raw && device.passthrough;
  device.bytes_only = job.oem || job.ansi || device.raw;
  user_abort = 0;

  const ReportResult result = PrintReport(job, call, device);

  // Everything the report held is released, whatever way it ended.
  FUZZ_REQUIRE(device.opened && device.closed && device.dc_deleted);
  FUZZ_REQUIRE(device.fonts.empty() && device.selected == kOwnFont);
  FUZZ_REQUIRE(device.dialog_made == device.dialog_gone);
  FUZZ_REQUIRE(cancel_dialog == nullptr && progress_window == nullptr);
  // A document that was started is ended or dropped; dropped exactly when a page
  // call failed, the spooler refused it at its end or the user cancelled. The
  // outcome says which.
  FUZZ_REQUIRE(!device.doc_open && !device.page_open);
  FUZZ_REQUIRE(device.starts[static_cast<int>(Spooler::kStartDoc)] == 1);
  FUZZ_REQUIRE(device.pages == device.starts[static_cast<int>(Spooler::kStartPage)]);
  if (device.failed && device.failing == Spooler::kStartDoc) {
    FUZZ_REQUIRE(result.outcome == ReportOutcome::kSpoolerFailed && !device.aborted && !device.ended);
  } else {
    const bool page_failed =
        device.failed && (device.failing == Spooler::kStartPage || device.failing == Spooler::kEndPage);
    const bool end_failed = device.failed && device.failing == Spooler::kEndDoc;
    FUZZ_REQUIRE(device.aborted == (page_failed || end_failed || user_abort != 0));
    FUZZ_REQUIRE(device.ended == (!device.aborted || end_failed));
    const ReportOutcome expected = user_abort ? ReportOutcome::kCancelled
                                   : device.failed ? ReportOutcome::kSpoolerFailed
                                                   : ReportOutcome::kSpooled;
    FUZZ_REQUIRE(result.outcome == expected);
  }
  // Raw text goes out as pass-through only when the device has it.
  if (!device.passthrough) FUZZ_REQUIRE(job.raw == 0);
  return 0;
}
