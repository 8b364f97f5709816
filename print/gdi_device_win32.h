// The print driver's device on GDI, the spooler and the Win32 user interface.
#ifndef QUILLET_PRINT_GDI_DEVICE_WIN32_H
#define QUILLET_PRINT_GDI_DEVICE_WIN32_H

#include <windows.h>

#include <string>
#include <vector>

#include "platform/handles_win32.h"
#include "platform/spool_turn_win32.h"
#include "print/print_device.h"
#include "print/shaping_win32.h"

namespace quillet {

class GdiPrintDevice final : public PrintDevice {
 public:
  // Where the printer's device context comes from: GetPrinterDC (printer_setup.h)
  // unless another source is given (tests print on a context of their own).
  using PrinterDcSource = DeviceContext (*)(PrintJob& job);
  explicit GdiPrintDevice(PrinterDcSource printer_dc_source = nullptr);
  // An output file still held goes as a dropped document's does.
  ~GdiPrintDevice() override;
  GdiPrintDevice(const GdiPrintDevice&) = delete;
  GdiPrintDevice& operator=(const GdiPrintDevice&) = delete;

  // The driver releases its fonts, the device context and the report file
  // itself. The device owns only the fonts it makes for the faces linked behind
  // the driver's (shaping_win32.h), released with the device context or with the
  // device. These list every font made, for checks after a report that none is
  // left: the driver's, and the device's own.
  const std::vector<HFONT>& fonts_made() const { return fonts_made_; }
  const std::vector<HFONT>& linked_fonts_made() const { return shaping_.fonts_made(); }

  std::int32_t OpenReport(const char* path, const char16_t* wide_path) override;
  void CloseReport(std::int32_t file) override;
  bool IdentifyReport(std::int32_t file, FileIdentity& identity) override;
  unsigned long LastError() override;
  DeviceContext GetPrinterDC(PrintJob& job) override;
  void DeleteDC(DeviceContext dc) override;

  int QueryEscapeSupport(DeviceContext dc, int escape) override;
  bool ReadTextMetrics(DeviceContext dc, TextMetrics& metrics) override;
  int GetDeviceCaps(DeviceContext dc, DeviceCap cap) override;
  void ReadTextFace(DeviceContext dc, char (&face)[kFaceNameSize]) override;

  FontHandle MakeFont(const FontSpec& desc) override;
  FontHandle SelectFont(DeviceContext dc, FontHandle font) override;
  FontHandle CurrentFont(DeviceContext dc) override;
  void DeleteFont(FontHandle font) override;

  void SetAbortProc(DeviceContext dc) override;
  // Under Wine, waits for the prefix's turn to spool first and holds it until
  // EndDocument or AbortDocument, and starts a document that finds the spooler
  // busy again after growing pauses (StartInTurn, spool_turn.h). A start that
  // waited for the turn as long as it may fails with ERROR_TIMEOUT, one that
  // found the spooler busy as long with ERROR_SHARING_VIOLATION.
  int StartDocument(DeviceContext dc, const char* document_name, const char16_t* wide_name,
                    const char16_t* output_path) override;
  // Held with read access and no read sharing: the driver (or the spooler)
  // opens the file to write it with read sharing, and nobody else may open it
  // to read or hold it meanwhile.
  unsigned long HoldOutput(const char16_t* output_path) override;
  int StartPage(DeviceContext dc) override;
  int EndPage(DeviceContext dc) override;
  int EndDocument(DeviceContext dc) override;
  void AbortDocument(DeviceContext dc) override;
  void SetTransparentText(DeviceContext dc) override;

  void PutText(DeviceContext dc, int x, int y, const char* text, int length, const int* advances) override;
  void PutWideText(DeviceContext dc, int x, int y, const char16_t* text, int length,
                   const int* advances) override;
  void PutShapedText(DeviceContext dc, int y, const char16_t* text, int length, bool right_to_left,
                     const ClusterCells* clusters, int cluster_count) override;
  void PassThrough(DeviceContext dc, const unsigned char* block, int block_size) override;
  void MoveTo(DeviceContext dc, int x, int y) override;
  void LineTo(DeviceContext dc, int x, int y) override;

  WindowHandle CreateCancelDialog() override;
  void DestroyWindow(WindowHandle window) override;
  void SetPageLine(WindowHandle dialog, const char* text) override;
  void ShowError(const char* text) override;

  void TranslateToOem(const char* text, char* out) override;
  void TranslateToAnsi(const char* text, char* out) override;

 private:
  // Lets the held output file go; one the hold made goes too unless its
  // document was written (`written`). The thread's last error code is kept.
  void ReleaseOutput(bool written);

  PrinterDcSource printer_dc_source_;
  SpoolTurn turn_;
  UniqueHandle output_;          // the held output file
  std::u16string output_path_;
  bool output_made_ = false;     // the hold made the file
  std::vector<HFONT> fonts_made_;
  ShapingFonts shaping_;
};

// The LOGFONTA for a font description: the members the description does not name
// are 0 (lfCharSet ANSI_CHARSET).
LOGFONTA ToLogFont(const FontSpec& desc);

}  // namespace quillet

#endif
