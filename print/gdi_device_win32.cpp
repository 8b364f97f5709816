// The print driver's device on GDI, the spooler and the Win32 user interface. Each
// call is the Win32 call of the same purpose, with the ANSI forms throughout but
// for the text of Unicode lines. Text goes out with a width array: nothing in
// GDI's contract says that a driver places glyphs at the font's average width,
// and some do not (Wine's PostScript driver advances 6.068 pt a glyph on a grid
// of 6 pt at 10 points).
#include "print/gdi_device_win32.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/handles_win32.h"
#include "platform/message_box_win32.h"
#include "platform/module_win32.h"
#include "platform/text_win32.h"
#include "platform/spool_turn.h"
#include "print/abort_dialog_win32.h"
#include "printer/printer_setup.h"
#include "platform/file.h"
#include "res/resource.h"
#include "trace/trace.h"

namespace quillet {
namespace {

HDC Dc(DeviceContext dc) { return static_cast<HDC>(dc); }

// One StartDoc. The wide call when the document's name or its file needs it, so
// that the name arrives as given whatever the ANSI code page can spell.
int StartOneDocument(DeviceContext dc, const char* document_name, const char16_t* wide_name,
                     const char16_t* output_path) {
  if (wide_name == nullptr && output_path == nullptr) {
    DOCINFOA info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    info.lpszDocName = document_name;
    return StartDocA(Dc(dc), &info);
  }
  const std::u16string name = wide_name != nullptr ? std::u16string(wide_name) : Utf16FromAnsi(document_name);
  DOCINFOW info;
  std::memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  info.lpszDocName = Wide(name);
  info.lpszOutput = reinterpret_cast<const wchar_t*>(output_path);
  return StartDocW(Dc(dc), &info);
}

// A document start on GDI: the prefix's turn, the waits and StartDoc.
class GdiStarter final : public DocumentStarter {
 public:
  GdiStarter(SpoolTurn& turn, DeviceContext dc, const char* document_name, const char16_t* wide_name,
             const char16_t* output_path)
      : turn_(turn), dc_(dc), document_name_(document_name), wide_name_(wide_name), output_path_(output_path) {}

  std::uint64_t Now() override { return GetTickCount64(); }
  TurnWait WaitForTurn(unsigned milliseconds) override { return turn_.Wait(milliseconds, &WaitDispatching); }
  bool Pause(unsigned milliseconds) override { return WaitDispatching(nullptr, milliseconds) != WaitEnd::kCancelled; }
  int Start(bool& busy) override {
    const int result = StartOneDocument(dc_, document_name_, wide_name_, output_path_);
    busy = result <= 0 && GetLastError() == ERROR_SHARING_VIOLATION;
    return result;
  }
  void Trace(const std::string& line) override { quillet::Trace("%s\n", line.c_str()); }
  void Notice(const std::string& text) override {
    if (const SpoolWaitNotice notice = CurrentSpoolWaitNotice()) notice(text.c_str());
  }

 private:
  SpoolTurn& turn_;
  DeviceContext dc_;
  const char* document_name_;
  const char16_t* wide_name_;
  const char16_t* output_path_;
};

}  // namespace

LOGFONTA ToLogFont(const FontSpec& desc) {
  LOGFONTA font;
  std::memset(&font, 0, sizeof font);
  font.lfHeight = desc.height;
  font.lfWidth = desc.width;
  font.lfWeight = desc.weight;
  font.lfUnderline = desc.underline ? 1 : 0;
  font.lfCharSet = ANSI_CHARSET;
  font.lfPitchAndFamily = desc.pitch_and_family;
  static_assert(sizeof font.lfFaceName == kFaceNameSize, "face name sizes differ");
  std::memcpy(font.lfFaceName, desc.face, sizeof font.lfFaceName);
  font.lfFaceName[sizeof font.lfFaceName - 1] = '\0';
  return font;
}

GdiPrintDevice::GdiPrintDevice(PrinterDcSource printer_dc_source)
    : printer_dc_source_(printer_dc_source != nullptr ? printer_dc_source : &quillet::GetPrinterDC) {}

GdiPrintDevice::~GdiPrintDevice() { ReleaseOutput(false); }

std::int32_t GdiPrintDevice::OpenReport(const char* path, const char16_t* wide_path) {
  return ReportOpen(path, wide_path);
}

void GdiPrintDevice::CloseReport(std::int32_t file) { ReportClose(file); }

bool GdiPrintDevice::IdentifyReport(std::int32_t file, FileIdentity& identity) {
  return quillet::IdentifyReport(file, identity);
}

unsigned long GdiPrintDevice::LastError() { return GetLastError(); }

DeviceContext GdiPrintDevice::GetPrinterDC(PrintJob& job) { return printer_dc_source_(job); }

void GdiPrintDevice::DeleteDC(DeviceContext dc) {
  shaping_.Release();
  ::DeleteDC(Dc(dc));
}

int GdiPrintDevice::QueryEscapeSupport(DeviceContext dc, int escape) {
  const DWORD query = static_cast<DWORD>(escape);
  return Escape(Dc(dc), QUERYESCSUPPORT, sizeof query, reinterpret_cast<LPCSTR>(&query), nullptr);
}

bool GdiPrintDevice::ReadTextMetrics(DeviceContext dc, TextMetrics& metrics) {
  TEXTMETRICA tm;
  std::memset(&tm, 0, sizeof tm);
  const bool ok = GetTextMetricsA(Dc(dc), &tm) != 0;
  metrics = TextMetrics{};
  if (ok) {
    metrics.height = tm.tmHeight;
    metrics.ave_char_width = tm.tmAveCharWidth;
    metrics.external_leading = tm.tmExternalLeading;
    metrics.pitch_and_family = tm.tmPitchAndFamily;
  }
  return ok;
}

int GdiPrintDevice::GetDeviceCaps(DeviceContext dc, DeviceCap cap) {
  return ::GetDeviceCaps(Dc(dc), static_cast<int>(cap));
}

void GdiPrintDevice::ReadTextFace(DeviceContext dc, char (&face)[kFaceNameSize]) {
  face[0] = '\0';
  if (GetTextFaceA(Dc(dc), kFaceNameSize, face) <= 0) face[0] = '\0';
  face[kFaceNameSize - 1] = '\0';
}

FontHandle GdiPrintDevice::MakeFont(const FontSpec& desc) {
  const LOGFONTA logfont = ToLogFont(desc);
  HFONT font = CreateFontIndirectA(&logfont);
  if (font != nullptr) fonts_made_.push_back(font);
  return font;
}

FontHandle GdiPrintDevice::SelectFont(DeviceContext dc, FontHandle font) {
  HGDIOBJ previous = SelectObject(Dc(dc), static_cast<HGDIOBJ>(font));
  return previous == HGDI_ERROR ? nullptr : previous;
}

FontHandle GdiPrintDevice::CurrentFont(DeviceContext dc) { return GetCurrentObject(Dc(dc), OBJ_FONT); }

void GdiPrintDevice::DeleteFont(FontHandle font) {
  shaping_.Forget(static_cast<HFONT>(font));
  DeleteObject(static_cast<HGDIOBJ>(font));
}

void GdiPrintDevice::SetAbortProc(DeviceContext dc) { ::SetAbortProc(Dc(dc), &AbrtProc); }

int GdiPrintDevice::StartDocument(DeviceContext dc, const char* document_name, const char16_t* wide_name,
                                  const char16_t* output_path) {
  GdiStarter starter(turn_, dc, document_name, wide_name, output_path);
  const DocumentStart start = StartInTurn(starter, RunningUnderWine());
  int result = start.result;
  DWORD error = GetLastError();
  if (start.end == StartEnd::kStarted && output_) {
    // Some drivers write the document over the file from its start and leave
    // whatever was longer behind it (Wine's, at EndDoc): the file is emptied
    // now that the document has started, and not before, so that a start
    // that fails or is cancelled leaves it as it was.
    const HANDLE emptied = CreateFileW(Wide(output_path_), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (emptied == INVALID_HANDLE_VALUE) {
      error = GetLastError();
      Trace("StartDoc: the output file could not be emptied (error %lu): document dropped\n", error);
      AbortDoc(Dc(dc));
      result = 0;
    } else {
      const UniqueHandle done(emptied);
    }
  }
  if (start.end == StartEnd::kTurnTimedOut) error = ERROR_TIMEOUT;
  if (start.end == StartEnd::kSpoolerTimedOut) error = ERROR_SHARING_VIOLATION;
  if (result <= 0) {
    turn_.Release();
    ReleaseOutput(false);
  }
  SetLastError(error);
  return result;
}

unsigned long GdiPrintDevice::HoldOutput(const char16_t* output_path) {
  ReleaseOutput(false);
  const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(output_path), GENERIC_READ,
                                  FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  output_made_ = GetLastError() != ERROR_ALREADY_EXISTS;
  output_.reset(file);
  output_path_ = output_path;
  return 0;
}

void GdiPrintDevice::ReleaseOutput(bool written) {
  if (!output_) return;
  const DWORD error = GetLastError();
  output_.reset();
  if (output_made_ && !written) DeleteFileW(Wide(output_path_));
  output_made_ = false;
  output_path_.clear();
  SetLastError(error);
}

int GdiPrintDevice::StartPage(DeviceContext dc) { return ::StartPage(Dc(dc)); }
int GdiPrintDevice::EndPage(DeviceContext dc) {
  shaping_.DrawHeld();
  return ::EndPage(Dc(dc));
}

int GdiPrintDevice::EndDocument(DeviceContext dc) {
  shaping_.DrawHeld();
  const int result = EndDoc(Dc(dc));
  // Wine's spooler has handed the job on, and written the output file, when
  // EndDoc returns.
  turn_.Release();
  ReleaseOutput(result > 0);
  return result;
}

void GdiPrintDevice::AbortDocument(DeviceContext dc) {
  // The error of the call that failed is still to be told.
  const DWORD error = GetLastError();
  shaping_.DropHeld();
  AbortDoc(Dc(dc));
  turn_.Release();
  ReleaseOutput(false);
  SetLastError(error);
}

void GdiPrintDevice::SetTransparentText(DeviceContext dc) { SetBkMode(Dc(dc), TRANSPARENT); }

void GdiPrintDevice::PutText(DeviceContext dc, int x, int y, const char* text, int length, const int* advances) {
  ExtTextOutA(Dc(dc), x, y, 0, nullptr, text, static_cast<UINT>(length), advances);
}

void GdiPrintDevice::PutWideText(DeviceContext dc, int x, int y, const char16_t* text, int length,
                                 const int* advances) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 units are WCHARs");
  shaping_.PutWideText(Dc(dc), x, y, text, length, advances);
}

void GdiPrintDevice::PutShapedText(DeviceContext dc, int y, const char16_t* text, int length, bool right_to_left,
                                   const ClusterCells* clusters, int cluster_count) {
  shaping_.PutShapedText(Dc(dc), y, text, length, right_to_left, clusters, cluster_count);
}

void GdiPrintDevice::PassThrough(DeviceContext dc, const unsigned char* block, int) {
  shaping_.DrawHeld();
  // The byte count travels in the block's first two bytes; the input size stays 0.
  Escape(Dc(dc), PASSTHROUGH, 0, reinterpret_cast<LPCSTR>(block), nullptr);
}

void GdiPrintDevice::MoveTo(DeviceContext dc, int x, int y) { MoveToEx(Dc(dc), x, y, nullptr); }
void GdiPrintDevice::LineTo(DeviceContext dc, int x, int y) { ::LineTo(Dc(dc), x, y); }

WindowHandle GdiPrintDevice::CreateCancelDialog() {
  // Template names compare without regard to case: "AbrtDlg" finds ABRTDLG.
  return CreateDialogParamA(QuilletModule(), "AbrtDlg", GetFocus(), &AbrtDlgP, 0);
}

void GdiPrintDevice::DestroyWindow(WindowHandle window) { ::DestroyWindow(static_cast<HWND>(window)); }

void GdiPrintDevice::SetPageLine(WindowHandle dialog, const char* text) {
  SetDlgItemTextA(static_cast<HWND>(dialog), IDC_PROGRESS, text);
}

void GdiPrintDevice::ShowError(const char* text) { ShowMessageBox(text, nullptr, MB_ICONERROR); }

void GdiPrintDevice::TranslateToOem(const char* text, char* out) { CharToOemA(text, out); }
void GdiPrintDevice::TranslateToAnsi(const char* text, char* out) { OemToCharA(text, out); }

}  // namespace quillet
