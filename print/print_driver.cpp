// The page layout of one report: fonts and the character grid, the line loop with
// its page breaks, the ruler, raw pass-through and character-set translation, and
// the release of everything a report holds, on every way out.
#include "print/print_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "print/abort_dialog.h"
#include "platform/file.h"
#include "report/report_reader.h"
#include "report/report_text.h"
#include "trace/trace.h"

namespace quillet {
namespace {

constexpr int kPageLineSize = 100;
constexpr int kResultTextSize = 80;
constexpr int kNormalWeight = 400;
constexpr int kBoldWeight = 700;

// Grow-only buffers for pass-through blocks and translated text, kept for the life
// of the process (one report prints at a time).
std::vector<unsigned char> g_raw_buffer;
std::vector<char> g_xlat_buffer;

void DestroyCancelDialog(PrintDevice& device) {
  if (cancel_dialog != nullptr) device.DestroyWindow(cancel_dialog);
  cancel_dialog = nullptr;
  progress_window = nullptr;
}

// One report from the moment its file is open. The destructor releases what the
// report holds, in this order: a document still open (dropped); the cancel
// dialog; the device context's own font back in place, then the four fonts; the
// device context; the report file.
class Report {
 public:
  Report(PrintJob& job, PrintDevice& device) : job_(job), device_(device) {}
  ~Report() { Release(); }
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;

  ReportOutcome Print();

  // Besides the outcome: the spooler call that failed, the lines cut.
  ReportResult result;

 private:
  void MakeFonts(DeviceContext dc);
  // False when the report has to end here (a spooler call failed).
  bool PrintLines(DeviceContext dc);
  bool StartNewPage(DeviceContext dc);
  bool EndCurrentPage(DeviceContext dc, const char* failure_trace);
  // CheckPrintResult, remembering the call that failed for the outcome.
  bool SpoolerFailed(const char* name, int result);
  // Counts a printed line whose characters reach beyond the right edge.
  void CountCut(const DecodedLine& line);
  void CountCut(const UnicodeLine& line);
  void CountCut(int visible);  // columns of the text that prints, blanks at its end left out
  // A spooler call failed. Once the user has cancelled, that is the spooler
  // giving up on the cancelled job.
  static ReportOutcome Failed() { return user_abort ? ReportOutcome::kCancelled : ReportOutcome::kSpoolerFailed; }
  void Release();
  const char* DocumentName() const { return job_.document_name != nullptr ? job_.document_name : job_.report_path; }

  PrintJob& job_;
  PrintDevice& device_;
  ReportFonts fonts_;
  FontHandle original_font_ = nullptr;  // what selecting font_normal replaced
  bool document_open_ = false;          // started and not yet ended or dropped

  // The character grid, from the normal font.
  int char_width_ = 0;
  int line_height_ = 0;
  int lines_per_page_ = 0;
  int columns_ = 0;  // grid columns that lie wholly on the page
  int line_no_ = 0;  // next row on the current page; 0: no page open
  int page_no_ = 0;  // pages started in this report
  // The last page ended because it was full, and nothing has come since.
  bool ended_full_ = false;
};

ReportOutcome Report::Print() {
  if (!device_.GetPrinterDC(job_) || job_.dc == nullptr) return ReportOutcome::kNoPrinter;
  DeviceContext dc = job_.dc;

  if (job_.raw && device_.QueryEscapeSupport(dc, kEscapePassThrough) == 0) {
    Trace("PASSTHROUGH not supported, ignoring -raw flag\n");
    job_.raw = 0;  // the job record serves the whole call: later reports print through fonts too
  }

  MakeFonts(dc);

  original_font_ = device_.SelectFont(dc, fonts_.normal);
  // A normal font that could not be made is not selected: the context's own
  // font is then still in place, and is what goes back at the end.
  if (original_font_ == nullptr) original_font_ = device_.CurrentFont(dc);
  TextMetrics grid;
  device_.ReadTextMetrics(dc, grid);
  char_width_ = grid.ave_char_width;
  line_height_ = grid.height + grid.external_leading;
  const int vertres = device_.GetDeviceCaps(dc, DeviceCap::kVertRes);
  // Only rows that lie wholly inside the printable area are used. A font without
  // height would divide by zero: every page then holds one line.
  lines_per_page_ = line_height_ > 0 ? vertres / line_height_ : 0;
  const int horzres = device_.GetDeviceCaps(dc, DeviceCap::kHorzRes);
  columns_ = char_width_ > 0 ? horzres / char_width_ : -1;

  user_abort = 0;
  if (!job_.quiet) cancel_dialog = device_.CreateCancelDialog();
  device_.SetAbortProc(dc);
  device_.SetTransparentText(dc);  // the ruler's ticks show through the first row

  // The spooler's document takes the report's own name, in UTF-16 when the ANSI
  // code page cannot spell it.
  const char16_t* wide_name = job_.document_name == nullptr ? job_.report_path_wide : nullptr;
  const int started = device_.StartDocument(dc, DocumentName(), wide_name, job_.output_path);
  if (started <= 0 && user_abort) {
    Trace("StartDoc: cancelled before the document started\n");
    return ReportOutcome::kCancelled;
  }
  if (SpoolerFailed("StartDoc", started)) return ReportOutcome::kSpoolerFailed;
  // From here until EndDoc succeeds, every way out drops the document
  // (Release): a cancelled report, or one whose page could not be started or
  // ended or that the spooler refused at its end, is dropped whole, so the
  // spooler prints no half report.
  document_open_ = true;

  line_no_ = 0;
  page_no_ = 0;
  if (!PrintLines(dc) || user_abort) return Failed();

  // One more ruler below the last line, on the last page while it is still open.
  // With no page open (an empty report, or one that ended with a form feed) there
  // is nothing to draw on: drawing there would make some drivers start a page.
  if (line_no_ > 0) {
    DrawRuler(job_, device_, line_height_ * line_no_);
    if (!EndCurrentPage(dc, "EndPage (2) failed - exiting\n")) return Failed();
  }

  if (SpoolerFailed("EndDoc", device_.EndDocument(dc))) return Failed();
  document_open_ = false;
  return ReportOutcome::kSpooled;
}

bool Report::SpoolerFailed(const char* name, int result_code) {
  if (!CheckPrintResult(device_, name, result_code, &result.error)) return false;
  result.spooler_call = name;
  result.spooler_result = result_code;
  return true;
}

void Report::CountCut(const DecodedLine& line) {
  if (columns_ < 0) return;
  // What prints is the text up to its first NUL; blanks at its end lose
  // nothing when they fall off the paper.
  int visible = 0;
  for (int k = 0; k < line.length && line.chars[k] != '\0'; ++k) {
    if (line.chars[k] != ' ') visible = k + 1;
  }
  CountCut(visible);
}

void Report::CountCut(const UnicodeLine& line) {
  if (columns_ < 0) return;
  const char* const nul = static_cast<const char*>(std::memchr(line.text, '\0', static_cast<std::size_t>(line.bytes)));
  int end = nul != nullptr ? static_cast<int>(nul - line.text) : line.bytes;
  while (end > 0 && line.text[end - 1] == ' ') --end;
  CountCut(CountCharacters(line.text, end));
}

void Report::CountCut(int visible) {
  if (visible <= columns_) return;
  ++result.lines_cut;
  result.first_column_lost = columns_ + 1;
}

void Report::MakeFonts(DeviceContext dc) {
  TextMetrics metrics;
  device_.ReadTextMetrics(dc, metrics);

  FontSpec desc;
  if (job_.pitch != 0) {
    // `pitch` points high; the font mapper chooses the width.
    desc.height = -MulDiv(job_.pitch, device_.GetDeviceCaps(dc, DeviceCap::kLogPixelsY), 72);
    desc.width = 0;
  } else {
    desc.height = metrics.height;
    desc.width = metrics.ave_char_width;
  }
  desc.pitch_and_family = metrics.pitch_and_family;
  if (job_.font[0] != '\0') {
    CopyField(desc.face, job_.font);
  } else {
    device_.ReadTextFace(dc, desc.face);
  }

  auto make = [&](bool underline, int weight) {
    desc.underline = underline;
    desc.weight = weight;
    return device_.MakeFont(desc);
  };
  fonts_.normal = make(false, kNormalWeight);
  fonts_.underline = make(true, kNormalWeight);
  fonts_.bold_underline = make(true, kBoldWeight);
  fonts_.bold = make(false, kBoldWeight);
}

bool Report::PrintLines(DeviceContext dc) {
  if (user_abort) return true;
  do {
    ReportLine line;
    std::int32_t status = CTL_NONE;
    const int count = GetLine(job_, line, &status);
    Trace("GetLine returned %s\n", line.text);
    if (status == CTL_EOF) {
      Trace("GetLine found CTL_EOF\n");
      break;
    }
    const bool lone_form_feed = line_no_ == 0 && count == 0 && status == CTL_FORM_FEED;
    if (lone_form_feed && page_no_ == 0) {
      // A form feed before anything of the report: no blank first page.
      Trace("Skipping initial FORM_FEED\n");
      continue;
    }
    if (lone_form_feed && ended_full_) {
      // The page before ended because it was full; this form feed is the one
      // that would have ended it. A second one still asks for a blank page.
      ended_full_ = false;
      Trace("Skipping FORM_FEED after a full page\n");
      continue;
    }
    ended_full_ = false;
    if (line_no_ == 0 && !StartNewPage(dc)) return false;

    if (count > 0 && line.unicode) {
      UnicodeLine decoded;
      DecodeUnicodeLine(line.text, count, line.positions, decoded);
      TextRun runs[kLineCapacity];
      const int run_count = SplitRuns(decoded, char_width_, runs);
      CountCut(decoded);
      const int y = line_height_ * line_no_;
      const char* text = decoded.text;  // the runs follow each other in it
      for (int r = 0; r < run_count; ++r) {
        text = OutputRun(job_, device_, fonts_, runs[r].attribute, runs[r].x, y, text,
                         decoded.text + decoded.bytes, runs[r].length, char_width_);
      }
      ++line_no_;
    } else if (count > 0) {
      DecodedLine decoded;
      DecodeLine(line.text, count, decoded);
      TextRun runs[kLineCapacity];
      // Raw lines go to the printer byte for byte, NUL bytes included; printed
      // text ends at its first NUL.
      const int run_count =
          job_.raw ? SplitRawRuns(decoded, char_width_, runs) : SplitRuns(decoded, char_width_, runs);
      if (!job_.raw) CountCut(decoded);
      const int y = line_height_ * line_no_;
      for (int r = 0; r < run_count; ++r) {
        OutputRun(job_, device_, fonts_, runs[r].attribute, runs[r].x, y, decoded.chars + runs[r].start,
                  runs[r].length);
      }
      ++line_no_;
    }

    // Rows 0 to lines_per_page - 1: the next row would reach below the page.
    const bool full = line_no_ >= lines_per_page_;
    if (full || status == CTL_FORM_FEED) {
      if (!EndCurrentPage(dc, "EndPage failed - exiting\n")) return false;
      ended_full_ = full && status != CTL_FORM_FEED;
    }
  } while (!user_abort);
  return true;
}

bool Report::StartNewPage(DeviceContext dc) {
  ++page_no_;
  char page_line[kPageLineSize];
  std::snprintf(page_line, sizeof page_line, "%s (page %i)", DocumentName(), page_no_);
  device_.SetPageLine(progress_window, page_line);
  if (job_.on_page != nullptr) job_.on_page(job_, page_no_);
  Trace("Printing %s\n", page_line);
  if (SpoolerFailed("StartPage", device_.StartPage(dc))) {
    Trace("StartPage failed - exiting\n");
    return false;
  }
  DrawRuler(job_, device_, 0);
  return true;
}

bool Report::EndCurrentPage(DeviceContext dc, const char* failure_trace) {
  line_no_ = 0;
  if (SpoolerFailed("EndPage", device_.EndPage(dc))) {
    Trace("%s", failure_trace);
    return false;
  }
  return true;
}

void Report::Release() {
  if (document_open_) device_.AbortDocument(job_.dc);
  document_open_ = false;
  DestroyCancelDialog(device_);
  if (job_.dc != nullptr && original_font_ != nullptr) device_.SelectFont(job_.dc, original_font_);
  original_font_ = nullptr;
  for (FontHandle* font : {&fonts_.normal, &fonts_.underline, &fonts_.bold_underline, &fonts_.bold}) {
    if (*font != nullptr) device_.DeleteFont(*font);
    *font = nullptr;
  }
  if (job_.dc != nullptr) device_.DeleteDC(job_.dc);
  job_.dc = nullptr;
  if (job_.file != 0) device_.CloseReport(job_.file);
  job_.file = 0;
  job_.input.Reset();
}

}  // namespace

FontHandle ReportFonts::For(std::uint8_t attribute) const {
  switch (attribute & (ATTR_UNDERLINE | ATTR_BOLD)) {
    case ATTR_UNDERLINE:
      return underline;
    case ATTR_BOLD:
      return bold;
    case ATTR_UNDERLINE | ATTR_BOLD:
      return bold_underline;
    default:
      return normal;
  }
}

ReportResult PrintReport(PrintJob& job, PrintDevice& device) {
  if (job.report_path == nullptr) return {ReportOutcome::kNotOpened, 0};
  job.file = device.OpenReport(job.report_path, job.report_path_wide);
  job.input.Reset();
  job.input.handle = job.file;
  if (job.file == kReportOpenError) {
    const unsigned long error = device.LastError();
    Trace("lopen(%s) failed because of error %d\n", job.report_path, static_cast<int>(error));
    return {ReportOutcome::kNotOpened, error};
  }
  FileIdentity identity;
  if (device.IdentifyReport(job.file, identity) && IsTraceFile(identity)) {
    // The trace would write a line for every line read, and read its own lines.
    const std::string text = std::string(job.report_path) + " is the trace log: not printed";
    Trace("%s\n", text.c_str());
    device.ShowError(text.c_str());
    device.CloseReport(job.file);
    job.file = 0;
    job.input.Reset();
    return {ReportOutcome::kIsTraceLog};
  }
  Report report(job, device);
  const ReportOutcome outcome = report.Print();
  ReportResult result = report.result;
  result.outcome = outcome;
  // The failed call is told only for a report that the spooler failed: after a
  // cancel, the spooler's refusal is its answer to the cancel.
  if (outcome != ReportOutcome::kSpoolerFailed) {
    result.error = 0;
    result.spooler_call = nullptr;
    result.spooler_result = 0;
  }
  if (result.lines_cut > 0) {
    Trace("PrintReport() %s: %d lines cut at column %d\n", job.report_path, result.lines_cut,
          result.first_column_lost);
  }
  return result;
}

bool DisposeReport(PrintJob& job, const ReportResult& result) {
  if (!job.scratch) return false;
  if (result.outcome != ReportOutcome::kSpooled) {
    Trace("DisposeReport() kept %s: not printed\n", job.report_path != nullptr ? job.report_path : "");
    return false;
  }
  if (job.report_path != nullptr) ReportRemove(job.report_path, job.report_path_wide);
  if (!job.config_path.empty()) {
    ReportRemove(job.config_path.c_str(), job.config_path_wide.empty() ? nullptr : job.config_path_wide.c_str());
  }
  return true;
}

const char* SpoolerErrorText(int result) {
  static const char* const kTexts[] = {
      "Unknown general error",        // SP_ERROR
      "Abort by application",         // SP_APPABORT
      "User Abort by Print Manager",  // SP_USERABORT
      "Out of disk",                  // SP_OUTOFDISK
      "Out of memory",                // SP_OUTOFMEMORY
  };
  // 0, and results below -5, have no text of their own.
  if (result < 0 && result >= -5) return kTexts[-result - 1];
  return kTexts[0];
}

bool CheckPrintResult(PrintDevice& device, const char* name, int result, unsigned long* error) {
  if (result > 0) return false;
  // Read before the box, whose own calls may change it.
  const unsigned long last_error = device.LastError();
  if (error != nullptr) *error = last_error;
  Trace("%s returned %i - GetLastError() = %lu\n", name, result, last_error);
  // A sharing violation is the spooler busy with another document (another
  // process writing the spool file) for as long as the device would wait.
  const char* reason =
      last_error == kSharingViolation ? "the spooler was busy with another document" : SpoolerErrorText(result);
  char text[kResultTextSize];
  std::snprintf(text, sizeof text, "%s returned %i (%s).", name, result, reason);
  device.ShowError(text);
  return true;
}

void DrawRuler(const PrintJob& job, PrintDevice& device, int y) {
  if (!job.ruler) return;
  const int width = device.GetDeviceCaps(job.dc, DeviceCap::kHorzRes);
  for (long long x = 0; x <= width; x += 10) {
    const int tick = x % 50 == 0 ? 20 : 10;
    device.MoveTo(job.dc, static_cast<int>(x), y);
    device.LineTo(job.dc, static_cast<int>(x), y + tick);
  }
}

void OutputRun(const PrintJob& job, PrintDevice& device, const ReportFonts& fonts, std::uint8_t attribute,
               int x, int y, const char* text, int length) {
  if (length < 0) length = 0;
  if (job.raw) {
    const std::size_t size = static_cast<std::size_t>(length) + 2;
    if (g_raw_buffer.size() < size) g_raw_buffer.assign(size, 0);
    g_raw_buffer[0] = static_cast<unsigned char>(length & 0xFF);
    g_raw_buffer[1] = static_cast<unsigned char>((length >> 8) & 0xFF);
    if (length > 0) std::memcpy(g_raw_buffer.data() + 2, text, static_cast<std::size_t>(length));
    device.PassThrough(job.dc, g_raw_buffer.data(), static_cast<int>(size));
    return;
  }

  device.SelectFont(job.dc, fonts.For(attribute));

  const char* out = text;
  if (job.oem || job.ansi) {
    // The translation takes the rest of the line, from the run's first character.
    const std::size_t rest = std::strlen(text);
    if (rest > 0) {
      if (g_xlat_buffer.size() < rest + 1) g_xlat_buffer.resize(rest + 1);
      if (job.oem) {
        device.TranslateToOem(text, g_xlat_buffer.data());
      } else {
        device.TranslateToAnsi(text, g_xlat_buffer.data());
      }
      out = g_xlat_buffer.data();
    }
  }
  device.PutText(job.dc, x, y, out, length);
}

const char* OutputRun(const PrintJob& job, PrintDevice& device, const ReportFonts& fonts, std::uint8_t attribute,
                      int x, int y, const char* text, const char* end, int length, int char_width) {
  // Every character takes one column of the grid, whatever its glyph's own width
  // or the font the system draws it from. A character beyond U+FFFF is two UTF-16
  // units, and the second advances nothing.
  char16_t units[2 * kLineCapacity];
  int advances[2 * kLineCapacity];
  const int n = Utf16FromCharacters(text, end, std::clamp(length, 0, kLineCapacity - 1), units);
  for (int k = 0; k < n; ++k) advances[k] = units[k] >= 0xDC00 && units[k] < 0xE000 ? 0 : char_width;
  device.SelectFont(job.dc, fonts.For(attribute));
  device.PutWideText(job.dc, x, y, units, n, advances);
  return text;
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  long long numerator = static_cast<long long>(a) * b;
  long long divisor = c;
  if (divisor < 0) {
    numerator = -numerator;
    divisor = -divisor;
  }
  // Round half away from zero.
  const long long half = divisor / 2;
  const long long result = numerator >= 0 ? (numerator + half) / divisor : (numerator - half) / divisor;
  if (result > 2147483647LL || result < -2147483647LL) return -1;
  return static_cast<int>(result);
}

}  // namespace quillet
