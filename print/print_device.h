// The device a report is laid out on: a printer device context, the report file,
// and the few window calls that go with printing one report (the cancel dialog, its
// page line, message boxes, character-set translation). GDI and the Win32 user
// interface implement it in the Windows build; the native tests record every call.
#ifndef QUILLET_PRINT_PRINT_DEVICE_H
#define QUILLET_PRINT_PRINT_DEVICE_H

#include <cstdint>

#include "job/print_job.h"
#include "platform/file.h"

namespace quillet {

using DeviceContext = void*;  // HDC
using FontHandle = void*;     // HFONT
using WindowHandle = void*;   // HWND

// The GetDeviceCaps indices the driver asks for.
enum class DeviceCap : int {
  kHorzRes = 8,
  kVertRes = 10,
  kLogPixelsX = 88,
  kLogPixelsY = 90,
  kPhysicalWidth = 110,   // the whole page, device units
  kPhysicalHeight = 111,
};

constexpr int kEscapePassThrough = 19;  // PASSTHROUGH
constexpr int kFaceNameSize = 32;       // LF_FACESIZE

// A logical font as the driver describes it. The platform layer fills the rest of
// its font record with 0 (escapement, orientation, italic, strike-out, the ANSI
// character set, output and clip precision, quality).
struct FontSpec {
  int height = 0;
  int width = 0;
  int weight = 0;
  bool underline = false;
  std::uint8_t pitch_and_family = 0;
  char face[kFaceNameSize] = {};
};

// One grapheme cluster of a shaped word: where its UTF-16 units begin in the
// word's text, and the cells of the grid it is drawn on.
struct ClusterCells {
  int unit = 0;   // its first unit in the word's text (clusters in logical order)
  int x = 0;      // the left edge of its cells, device units
  int width = 0;  // the width of its cells, device units (0: it takes no column)
};

// The text metrics the driver reads.
struct TextMetrics {
  int height = 0;
  int ave_char_width = 0;
  int external_leading = 0;
  std::uint8_t pitch_and_family = 0;
};

class PrintDevice {
 public:
  virtual ~PrintDevice() = default;

  // The report file: a handle, or kReportOpenError (report_file.h). `wide_path`,
  // when given, names the file in UTF-16 and is what opens it.
  virtual std::int32_t OpenReport(const char* path, const char16_t* wide_path) = 0;
  virtual void CloseReport(std::int32_t file) = 0;
  // Which file an open report is (false when the platform cannot tell).
  virtual bool IdentifyReport(std::int32_t file, FileIdentity& identity) = 0;
  virtual unsigned long LastError() = 0;

  // Prepares the job's printer and returns its device context (null when none
  // could be made).
  virtual DeviceContext GetPrinterDC(PrintJob& job) = 0;
  virtual void DeleteDC(DeviceContext dc) = 0;

  // QUERYESCSUPPORT for one escape: 0 when the device does not support it.
  virtual int QueryEscapeSupport(DeviceContext dc, int escape) = 0;
  // Metrics of the font currently selected; false (metrics left 0) on failure.
  virtual bool ReadTextMetrics(DeviceContext dc, TextMetrics& metrics) = 0;
  virtual int GetDeviceCaps(DeviceContext dc, DeviceCap cap) = 0;
  // Face name of the font currently selected, always NUL-terminated.
  virtual void ReadTextFace(DeviceContext dc, char (&face)[kFaceNameSize]) = 0;

  virtual FontHandle MakeFont(const FontSpec& desc) = 0;
  // Selects a font and returns the one it replaced (null when it could not be
  // selected).
  virtual FontHandle SelectFont(DeviceContext dc, FontHandle font) = 0;
  // The font selected in the device context now.
  virtual FontHandle CurrentFont(DeviceContext dc) = 0;
  virtual void DeleteFont(FontHandle font) = 0;

  // Installs the library's abort procedure on the device context.
  virtual void SetAbortProc(DeviceContext dc) = 0;
  // The spooler calls: StartDocument takes the document name, in UTF-16 too when
  // the ANSI code page cannot spell it (`wide_name`, else null), and, when given,
  // the file (UTF-16) that receives the document instead of the printer; each
  // returns the platform's result (0 or negative on failure). A StartDocument
  // that the user cancelled before the document started returns 0 with
  // user_abort set.
  virtual int StartDocument(DeviceContext dc, const char* document_name, const char16_t* wide_name,
                            const char16_t* output_path) = 0;
  // Takes the file the next document is to be written to (UTF-16 name) for
  // that document alone: another writer cannot have it until the document has
  // ended or been dropped, or its start has failed. Its bytes stay as they are
  // until StartDocument has started the document, which then empties it; a
  // file that did not exist is made, and goes again unless the document is
  // ended. 0, or the platform's error code (a sharing violation: another
  // writer has it).
  virtual unsigned long HoldOutput(const char16_t* output_path) = 0;
  virtual int StartPage(DeviceContext dc) = 0;
  virtual int EndPage(DeviceContext dc) = 0;
  virtual int EndDocument(DeviceContext dc) = 0;
  // Drops the document started on the device context: the spooler discards what
  // it has of it.
  virtual void AbortDocument(DeviceContext dc) = 0;

  // Text is drawn without filling its character cells, so it never hides what
  // lies below it on the page (the ruler).
  virtual void SetTransparentText(DeviceContext dc) = 0;

  // Text, each character (byte, or UTF-16 unit) advancing by its entry of
  // `advances` (length entries), so that every one lands on its column whatever
  // the advance of its glyph. Unicode text that holds right-to-left letters is
  // laid out by the platform, right to left, from x on.
  virtual void PutText(DeviceContext dc, int x, int y, const char* text, int length, const int* advances) = 0;
  virtual void PutWideText(DeviceContext dc, int x, int y, const char16_t* text, int length,
                           const int* advances) = 0;
  // A word that the system's shaping engine must draw (right-to-left letters,
  // marks that compose with nothing, scripts whose letters join or reorder,
  // characters beyond U+FFFF), in logical order. It is shaped whole and each
  // glyph is placed on the cells of the cluster it belongs to, in the font
  // selected (or a face linked behind it that has the characters).
  // `right_to_left`: the word reads right to left (its clusters' x decrease).
  virtual void PutShapedText(DeviceContext dc, int y, const char16_t* text, int length, bool right_to_left,
                             const ClusterCells* clusters, int cluster_count) = 0;
  // Sends a pass-through block: a 16-bit little-endian byte count and the bytes;
  // block_size is the size of the whole block.
  virtual void PassThrough(DeviceContext dc, const unsigned char* block, int block_size) = 0;
  virtual void MoveTo(DeviceContext dc, int x, int y) = 0;
  virtual void LineTo(DeviceContext dc, int x, int y) = 0;

  // The cancel dialog, made from the library's resources (null when it cannot be).
  virtual WindowHandle CreateCancelDialog() = 0;
  virtual void DestroyWindow(WindowHandle window) = 0;
  // Writes the page line into the dialog's progress line.
  virtual void SetPageLine(WindowHandle dialog, const char* text) = 0;
  // An error box with no owner and the platform's default caption.
  virtual void ShowError(const char* text) = 0;

  // Character-set translation; `out` has room for `text` and its terminator.
  virtual void TranslateToOem(const char* text, char* out) = 0;
  virtual void TranslateToAnsi(const char* text, char* out) = 0;
};

}  // namespace quillet

#endif
