// The page layout of one report: fonts and the character grid, the line loop with
// its page breaks, the ruler, raw pass-through and character-set translation, and
// the release of everything a report holds, on every way out.
#include "print/print_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "job/paper_sizes.h"
#include "print/abort_dialog.h"
#include "print/page_fit.h"
#include "platform/file.h"
#include "report/ansi_line.h"
#include "report/report_measure.h"
#include "report/report_reader.h"
#include "text/line_layout.h"
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

// Selects a run's font unless it is `selected`, the one selected last (which it
// becomes): selecting the selected font again costs a call.
void SelectRunFont(PrintDevice& device, DeviceContext dc, const ReportFonts& fonts, FontHandle& selected,
                   std::uint8_t attribute) {
  const FontHandle font = fonts.For(attribute);
  if (font != selected) device.SelectFont(dc, font);
  selected = font;
}

// Why the call's output file must be left alone: it is the report, another file
// the call reads (before or after), or the trace log; null when it may be
// written. A file that is not there yet holds nothing to lose.
const char* OutputRefusal(const CallRecord& call, const FileIdentity* report) {
  FileIdentity output;
  if (!IdentifyPath(nullptr, call.output_path, output)) return nullptr;
  if (report != nullptr && output == *report) return "it is the report itself";
  if (IsTraceFile(output)) return "it is the trace log";
  return call.Reads(output) ? "it is a report or configuration file of this call" : nullptr;
}

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
  Report(PrintJob& job, const CallRecord& call, PrintDevice& device, std::int32_t file)
      : job_(job), call_(call), device_(device) {
    input_.file = file;
  }
  ~Report() { Release(); }
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;

  ReportOutcome Print();

  // Besides the outcome: the spooler call that failed, the lines cut.
  ReportResult result;

 private:
  // The report font's face and family, and its height at the job's pitch.
  FontSpec BaseFont(DeviceContext dc);
  void MakeFonts(const FontSpec& base);
  // -pitch=fit: measures the report and chooses the size, in half points, at
  // which it fits the page (the smallest when it fits at none).
  int ChooseFit(DeviceContext dc, const FontSpec& base);
  // The font `base` at `half_points`.
  FontSpec AtSize(DeviceContext dc, FontSpec base, int half_points);
  // What the page holds in the font `base` at `half_points`.
  PageGrid GridAt(DeviceContext dc, const FontSpec& base, int half_points);
  // Lines were cut: what would have printed the report whole.
  void SuggestWhatFits(DeviceContext dc, const FontSpec& base);
  // False when the report has to end here (a spooler call failed).
  bool PrintLines(DeviceContext dc);
  bool StartNewPage(DeviceContext dc);
  bool EndCurrentPage(DeviceContext dc, const char* failure_trace);
  // CheckPrintResult, remembering the call that failed for the outcome. A
  // document under way is dropped before the box shows: under Wine it holds the
  // prefix's turn to spool, which no box may keep from other processes.
  bool SpoolerFailed(const char* name, int result);
  // Tells a page the printer gives that is not the paper the job asked for.
  void CheckPaper(DeviceContext dc);
  // MeasureReport of the report, read from a handle of its own (for fitting,
  // and the page count that --pages needs).
  ReportMeasure MeasureOwnCopy(int lines_per_page, bool columns);
  // Notes the columns of a printed line, `inked` (blanks at its end left out),
  // and counts it when its characters reach beyond the right edge.
  void CountCut(int inked);
  void PrintUnicodeLine(const ReportLine& line, int count);
  void PrintAnsiLine(const ReportLine& line, int count);
  // Lays out a Unicode line (or an ANSI line read as one) and draws it.
  void PrintLaidOut(const UnicodeLine& line);
  // A spooler call failed. Once the user has cancelled, that is the spooler
  // giving up on the cancelled job.
  static ReportOutcome Failed() { return user_abort ? ReportOutcome::kCancelled : ReportOutcome::kSpoolerFailed; }
  void Release();
  const char* DocumentName() const {
    return call_.document_name != nullptr ? call_.document_name : call_.report_path;
  }

  PrintJob& job_;
  const CallRecord& call_;
  PrintDevice& device_;
  ReportInput input_;                   // the report file, as the reader reads it
  DeviceContext dc_ = nullptr;          // the printer's device context
  ReportFonts fonts_;
  FontHandle original_font_ = nullptr;  // what selecting font_normal replaced
  FontHandle selected_font_ = nullptr;  // the report font selected last: selecting it again costs a call
  bool document_open_ = false;          // started and not yet ended or dropped

  // The character grid, from the normal font.
  int char_width_ = 0;
  int line_height_ = 0;
  int lines_per_page_ = 0;
  int columns_ = 0;  // grid columns that lie wholly on the page
  // Where the lines fall: its pages are the report's, those not selected
  // (call_.pages) included.
  Pager pager_{0};
  int line_no_ = 0;  // the row of the line being printed
  int page_no_ = 0;  // pages started in this report
  bool skipping_ = false; // the report's page at hand is not selected: read, never started
  // What the printed lines need, for the suggestion when some were cut.
  ReportMeasure printed_;
  int inked_ = 0;         // columns of the line printed last, blanks at its end left out
  // Every character is drawn with its own advance: char_width_ times its
  // columns. Left to the font, the glyphs of a run would drift off the grid
  // wherever a glyph's own advance is not a whole number of device units.
  std::vector<int> ansi_advances_;          // char_width_ for each of a line's characters
  std::vector<int> wide_advances_;          // those of the run of a Unicode line being drawn
  std::vector<ClusterCells> cells_;         // the cells of the word being shaped
  std::unique_ptr<GridLine> grid_;          // the layout of the Unicode line being printed
  std::unique_ptr<UnicodeLine> ansi_text_;  // an ANSI line read as Unicode
};

ReportOutcome Report::Print() {
  dc_ = device_.GetPrinterDC(job_);
  if (dc_ == nullptr) return ReportOutcome::kNoPrinter;
  DeviceContext dc = dc_;
  CheckPaper(dc);

  if (job_.raw && device_.QueryEscapeSupport(dc, kEscapePassThrough) == 0) {
    Trace("PASSTHROUGH not supported, ignoring -raw flag\n");
    job_.raw = 0;  // the job serves the whole call: later reports print through fonts too
  }
  input_.Open(input_.file, job_);

  FontSpec base = BaseFont(dc);
  if (job_.pitch_fit) base = AtSize(dc, base, ChooseFit(dc, base));
  MakeFonts(base);

  original_font_ = device_.SelectFont(dc, fonts_.normal);
  selected_font_ = fonts_.normal;
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
  pager_ = Pager(lines_per_page_);
  const int horzres = device_.GetDeviceCaps(dc, DeviceCap::kHorzRes);
  columns_ = char_width_ > 0 ? horzres / char_width_ : -1;
  ansi_advances_.assign(kLineCapacity, char_width_);
  wide_advances_.assign(kGridUnits, 0);
  cells_.assign(kLineCharacters, ClusterCells{});
  grid_ = std::make_unique<GridLine>();
  ansi_text_ = std::make_unique<UnicodeLine>();

  if (!call_.pages.empty()) {
    // A selection of none of the report's pages is known before anything is
    // started, and touches nothing (the output file among them).
    result.pages = MeasureOwnCopy(lines_per_page_, /*columns=*/false).pages;
    bool any = false;
    for (int page = 1; page <= result.pages && !any; ++page) any = PageSelected(call_.pages, page);
    if (!any) {
      Trace("PrintReport() %s: no page selected of %d\n", call_.report_path, result.pages);
      return ReportOutcome::kNoPageSelected;
    }
  }

  user_abort = 0;
  if (!job_.quiet) cancel_dialog = device_.CreateCancelDialog();
  device_.SetAbortProc(dc);
  device_.SetTransparentText(dc);  // the ruler's ticks show through the first row

  if (call_.output_path != nullptr) {
    // Held for this document alone; it is emptied once the document starts.
    result.error = device_.HoldOutput(call_.output_path);
    if (result.error != 0) {
      Trace("PrintReport() output file not had, error %lu\n", result.error);
      return ReportOutcome::kOutputFailed;
    }
  }
  // The spooler's document takes the report's own name, in UTF-16 when the ANSI
  // code page cannot spell it.
  const char16_t* wide_name = call_.document_name == nullptr ? call_.report_path_wide : nullptr;
  const int started = device_.StartDocument(dc, DocumentName(), wide_name, call_.output_path);
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

  page_no_ = 0;
  if (!PrintLines(dc) || user_abort) return Failed();
  result.pages = pager_.pages();
  if (!call_.pages.empty() && page_no_ == 0) {
    // Nothing of the report was asked for: the document is dropped, not sent
    // as an empty one (which some printers turn into a blank sheet).
    Trace("PrintReport() %s: no page selected of %d\n", call_.report_path, pager_.pages());
    return ReportOutcome::kNoPageSelected;
  }
  if (result.lines_cut > 0) SuggestWhatFits(dc, base);

  // One more ruler below the last line, on the last page while it is still open.
  // With no page open (an empty report, or one that ended with a form feed) there
  // is nothing to draw on: drawing there would make some drivers start a page.
  if (pager_.row() > 0 && !skipping_) {
    DrawRuler(job_, device_, dc, line_height_ * pager_.row());
    if (!EndCurrentPage(dc, "EndPage (2) failed - exiting\n")) return Failed();
  }

  if (SpoolerFailed("EndDoc", device_.EndDocument(dc))) return Failed();
  document_open_ = false;
  return ReportOutcome::kSpooled;
}

bool Report::SpoolerFailed(const char* name, int result_code) {
  if (result_code > 0) return false;
  if (document_open_) device_.AbortDocument(dc_);  // keeps the failed call's error code
  document_open_ = false;
  CheckPrintResult(device_, name, result_code, &result.error);
  result.spooler_call = name;
  result.spooler_result = result_code;
  return true;
}

void Report::CheckPaper(DeviceContext dc) {
  const PaperChoice asked = ChoosePaper(job_.form_id, job_.paper_width, job_.paper_length, nullptr);
  if (!asked.asked) return;
  const int dpi_x = device_.GetDeviceCaps(dc, DeviceCap::kLogPixelsX);
  const int dpi_y = device_.GetDeviceCaps(dc, DeviceCap::kLogPixelsY);
  const int width = device_.GetDeviceCaps(dc, DeviceCap::kPhysicalWidth);
  const int height = device_.GetDeviceCaps(dc, DeviceCap::kPhysicalHeight);
  if (dpi_x <= 0 || dpi_y <= 0 || width <= 0 || height <= 0) return;  // the device does not say
  // Tenths of a millimetre; a page turned to landscape is measured upright.
  int given_width = MulDiv(width, 254, dpi_x);
  int given_length = MulDiv(height, 254, dpi_y);
  if (job_.orientation == 2) std::swap(given_width, given_length);
  if (Near(given_width, given_length, asked.width, asked.length, 10)) return;
  result.paper_asked_width = asked.width;
  result.paper_asked_length = asked.length;
  result.paper_given_width = given_width;
  result.paper_given_length = given_length;
  Trace("PrintReport() paper asked %s (%s), the printer gives %s\n",
        AskedPaperText(job_.form_id, job_.paper_width, job_.paper_length).c_str(),
        Millimetres(asked.width, asked.length).c_str(), Millimetres(given_width, given_length).c_str());
}

ReportMeasure Report::MeasureOwnCopy(int lines_per_page, bool columns) {
  ReportInput reading;
  reading.Open(device_.OpenReport(call_.report_path, call_.report_path_wide), job_);
  if (reading.file == kReportOpenError) return {};
  const ReportMeasure measure = MeasureReport(reading, lines_per_page, columns);
  device_.CloseReport(reading.file);
  return measure;
}

void Report::CountCut(int inked) {
  inked_ = inked;
  if (columns_ < 0 || inked <= columns_) return;
  ++result.lines_cut;
  result.first_column_lost = columns_ + 1;
}

FontSpec Report::BaseFont(DeviceContext dc) {
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
  return desc;
}

void Report::MakeFonts(const FontSpec& base) {
  FontSpec desc = base;
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

FontSpec Report::AtSize(DeviceContext dc, FontSpec base, int half_points) {
  // `half_points` half points high; the font mapper chooses the width.
  base.height = -MulDiv(half_points, device_.GetDeviceCaps(dc, DeviceCap::kLogPixelsY), 144);
  base.width = 0;
  return base;
}

PageGrid Report::GridAt(DeviceContext dc, const FontSpec& base, int half_points) {
  FontSpec trial = AtSize(dc, base, half_points);
  trial.weight = kNormalWeight;
  trial.underline = false;
  PageGrid grid;
  FontHandle font = device_.MakeFont(trial);
  if (font == nullptr) return grid;
  FontHandle previous = device_.SelectFont(dc, font);
  TextMetrics metrics;
  const bool read = previous != nullptr && device_.ReadTextMetrics(dc, metrics);
  if (previous != nullptr) device_.SelectFont(dc, previous);
  device_.DeleteFont(font);
  const int height = metrics.height + metrics.external_leading;
  if (read && metrics.ave_char_width > 0 && height > 0) {
    grid.columns = device_.GetDeviceCaps(dc, DeviceCap::kHorzRes) / metrics.ave_char_width;
    grid.lines = device_.GetDeviceCaps(dc, DeviceCap::kVertRes) / height;
  }
  return grid;
}

int Report::ChooseFit(DeviceContext dc, const FontSpec& base) {
  // The report is read once to measure it, from a handle of its own, and then
  // printed from the one the driver holds.
  const ReportMeasure measure = MeasureOwnCopy(kNoPageLength, /*columns=*/true);
  int half_points = ChooseFitSize(measure, [&](int size) { return GridAt(dc, base, size); });
  if (half_points == 0) half_points = kFitSmallest;  // printed anyway, and the cut lines told
  result.fit_half_points = half_points;
  result.fit_columns = measure.widest;
  result.fit_lines = measure.paged ? measure.longest_page : 0;
  const std::string size = PointsText(half_points);
  if (measure.paged) {
    Trace("-pitch=fit: %s points for %d columns and %d lines\n", size.c_str(), measure.widest, measure.longest_page);
  } else {
    Trace("-pitch=fit: %s points for %d columns\n", size.c_str(), measure.widest);
  }
  return half_points;
}

void Report::SuggestWhatFits(DeviceContext dc, const FontSpec& base) {
  // At the size it printed at, the page turned a quarter: landscape holds the
  // portrait page's height across.
  if (job_.orientation != 2 && char_width_ > 0 && line_height_ > 0) {
    const PageGrid turned{device_.GetDeviceCaps(dc, DeviceCap::kVertRes) / char_width_,
                          device_.GetDeviceCaps(dc, DeviceCap::kHorzRes) / line_height_};
    result.fits_landscape = Fits(printed_, turned);
  }
  if (!result.fits_landscape && !job_.pitch_fit) {
    result.fits_at = ChooseFitSize(printed_, [&](int size) { return GridAt(dc, base, size); });
  }
}

bool Report::PrintLines(DeviceContext dc) {
  if (user_abort) return true;
  do {
    ReportLine line;
    std::int32_t status = CTL_NONE;
    const int count = GetLine(input_, line, &status);
    Trace("GetLine returned %s\n", line.text);
    if (status == CTL_EOF) {
      Trace("GetLine found CTL_EOF\n");
      break;
    }
    const PageStep step = pager_.Take(count, status);
    if (step.skipped == PageStep::Skip::kInitialFormFeed) {
      Trace("Skipping initial FORM_FEED\n");
      continue;
    }
    if (step.skipped == PageStep::Skip::kFormFeedAfterFullPage) {
      Trace("Skipping FORM_FEED after a full page\n");  // it still ends the report's own page
    }
    if (step.starts_page && !StartNewPage(dc)) return false;

    inked_ = 0;
    if (step.row >= 0) {
      line_no_ = step.row;
      if (skipping_) {
        // A page that is not selected is laid out like the others, unseen.
      } else if (line.unicode) {
        PrintUnicodeLine(line, count);
      } else {
        PrintAnsiLine(line, count);
      }
    }
    printed_.Take(step, inked_, !skipping_);
    if (step.ends_page && !EndCurrentPage(dc, "EndPage failed - exiting\n")) return false;
  } while (!user_abort);
  return true;
}

void Report::PrintUnicodeLine(const ReportLine& line, int count) {
  UnicodeLine decoded;
  DecodeUnicodeLine(line.text, count, line.positions, decoded);
  PrintLaidOut(decoded);
}

void Report::PrintLaidOut(const UnicodeLine& line) {
  static_assert(kLineCharacters == kLinePositions && kUnderlined == ATTR_UNDERLINE, "the reader's lines");
  GridLine& grid = *grid_;
  LayOutLine(TextLine{line.text, line.bytes, line.attrs, line.plain}, grid);
  CountCut(grid.inked);
  const int y = line_height_ * line_no_;
  const auto x = [&](int column) { return static_cast<int>(static_cast<long long>(column) * char_width_); };
  for (int r = 0; r < grid.run_count; ++r) {
    const GridRun& run = grid.runs[r];
    SelectRunFont(device_, dc_, fonts_, selected_font_, run.attribute);
    if (run.shaped) {
      for (int k = 0; k < run.cluster_count; ++k) {
        const ClusterPlace& place = grid.clusters[run.first_cluster + k];
        cells_[k] = ClusterCells{place.unit, x(place.column), x(place.columns)};
      }
      device_.PutShapedText(dc_, y, grid.units + run.first, run.units, run.right_to_left, cells_.data(),
                            run.cluster_count);
      continue;
    }
    int* const advances = wide_advances_.data();
    for (int k = 0; k < run.units; ++k) advances[k] = grid.advance[run.first + k] * char_width_;
    device_.PutWideText(dc_, x(run.column), y, grid.units + run.first, run.units, advances);
  }
}

void Report::PrintAnsiLine(const ReportLine& line, int count) {
  DecodedLine decoded;
  DecodeLine(line.text, count, decoded);
  // Letters and marks that the code page's bytes cannot show one to a column
  // are laid out as the same line in UTF-8 would be.
  if (input_.detect && AnsiLineAsUnicode(decoded, *ansi_text_)) {
    PrintLaidOut(*ansi_text_);
    return;
  }
  TextRun runs[kLineCapacity];
  // Raw lines go to the printer byte for byte, NUL bytes included; printed
  // text ends at its first NUL.
  const int run_count = job_.raw ? SplitRawRuns(decoded, char_width_, runs) : SplitRuns(decoded, char_width_, runs);
  if (!job_.raw) CountCut(InkedColumns(decoded));
  const int y = line_height_ * line_no_;
  for (int r = 0; r < run_count; ++r) {
    OutputRun(job_, device_, dc_, fonts_, selected_font_, runs[r].attribute, runs[r].x, y,
              decoded.chars + runs[r].start, runs[r].length, ansi_advances_.data());
  }
}

bool Report::StartNewPage(DeviceContext dc) {
  skipping_ = !PageSelected(call_.pages, pager_.pages());
  if (skipping_) return true;
  // The page line and the trace count the pages printed.
  ++page_no_;
  char page_line[kPageLineSize];
  std::snprintf(page_line, sizeof page_line, "%s (page %i)", DocumentName(), page_no_);
  device_.SetPageLine(progress_window, page_line);
  if (call_.on_page != nullptr) call_.on_page(page_no_);
  Trace("Printing %s\n", page_line);
  if (SpoolerFailed("StartPage", device_.StartPage(dc))) {
    Trace("StartPage failed - exiting\n");
    return false;
  }
  DrawRuler(job_, device_, dc, 0);
  return true;
}

bool Report::EndCurrentPage(DeviceContext dc, const char* failure_trace) {
  if (skipping_) return true;
  if (SpoolerFailed("EndPage", device_.EndPage(dc))) {
    Trace("%s", failure_trace);
    return false;
  }
  return true;
}

void Report::Release() {
  if (document_open_) device_.AbortDocument(dc_);
  document_open_ = false;
  DestroyCancelDialog(device_);
  if (dc_ != nullptr && original_font_ != nullptr) device_.SelectFont(dc_, original_font_);
  original_font_ = nullptr;
  for (FontHandle* font : {&fonts_.normal, &fonts_.underline, &fonts_.bold_underline, &fonts_.bold}) {
    if (*font != nullptr) device_.DeleteFont(*font);
    *font = nullptr;
  }
  if (dc_ != nullptr) device_.DeleteDC(dc_);
  dc_ = nullptr;
  if (input_.file != 0) device_.CloseReport(input_.file);
  input_.file = 0;
}

}  // namespace

bool PageSelected(const std::vector<PageRange>& pages, int page) {
  if (pages.empty()) return true;
  for (const PageRange& range : pages) {
    if (page >= range.first && page <= range.last) return true;
  }
  return false;
}

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

ReportResult PrintReport(PrintJob& job, CallRecord& call, PrintDevice& device) {
  if (call.report_path == nullptr) return {ReportOutcome::kNotOpened, 0};
  const std::int32_t file = device.OpenReport(call.report_path, call.report_path_wide);
  if (file == kReportOpenError) {
    const unsigned long error = device.LastError();
    Trace("lopen(%s) failed because of error %d\n", call.report_path, static_cast<int>(error));
    return {ReportOutcome::kNotOpened, error};
  }
  FileIdentity identity;
  const bool identified = device.IdentifyReport(file, identity);
  if (identified) call.files_read.push_back(identity);  // a later -log must not empty it
  if (identified && IsTraceFile(identity)) {
    // The trace would write a line for every line read, and read its own lines.
    const std::string text = std::string(call.report_path) + " is the trace log: not printed";
    Trace("%s\n", text.c_str());
    device.ShowError(text.c_str());
    device.CloseReport(file);
    return {ReportOutcome::kIsTraceLog};
  }
  if (call.output_path != nullptr) {
    if (const char* why = OutputRefusal(call, identified ? &identity : nullptr)) {
      // The document would be written over a file that the call reads, or
      // over the trace log.
      Trace("PrintReport() %s: output file not written: %s\n", call.report_path, why);
      device.CloseReport(file);
      ReportResult refused{ReportOutcome::kOutputFailed};
      refused.output_refused = why;
      return refused;
    }
  }
  Report report(job, call, device, file);
  const ReportOutcome outcome = report.Print();
  ReportResult result = report.result;
  result.outcome = outcome;
  // The failed call is told only for a report that the spooler failed: after a
  // cancel, the spooler's refusal is its answer to the cancel.
  if (outcome != ReportOutcome::kSpoolerFailed && outcome != ReportOutcome::kOutputFailed) {
    result.error = 0;
    result.spooler_call = nullptr;
    result.spooler_result = 0;
  }
  if (result.lines_cut > 0) {
    Trace("PrintReport() %s: %d lines cut at column %d\n", call.report_path, result.lines_cut,
          result.first_column_lost);
  }
  return result;
}

bool DisposeReport(const PrintJob& job, CallRecord& call, const ReportResult& result) {
  const bool printed = result.outcome == ReportOutcome::kSpooled;
  if (!job.config_path.empty()) {
    auto used = std::find_if(call.configs_used.begin(), call.configs_used.end(), [&](const CallRecord::UsedConfig& c) {
      return c.path == job.config_path && c.wide == job.config_path_wide;
    });
    if (used == call.configs_used.end()) {
      used = call.configs_used.insert(used, CallRecord::UsedConfig{job.config_path, job.config_path_wide});
    }
    used->scratch = used->scratch || (job.scratch && printed);
    used->keep = used->keep || !printed;
  }
  if (!job.scratch) return false;
  if (!printed) {
    Trace("DisposeReport() kept %s: not printed\n", call.report_path != nullptr ? call.report_path : "");
    return false;
  }
  if (call.report_path != nullptr) ReportRemove(call.report_path, call.report_path_wide);
  return true;
}

void DisposeConfigFiles(CallRecord& call) {
  for (const CallRecord::UsedConfig& used : call.configs_used) {
    if (!used.scratch) continue;
    if (used.keep) {
      Trace("DisposeReport() kept %s: a report it applied to was not printed\n", used.path.c_str());
    } else {
      ReportRemove(used.path.c_str(), used.wide.empty() ? nullptr : used.wide.c_str());
    }
  }
  call.configs_used.clear();
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
  const char* reason = last_error == kSharingViolation ? "the spooler was busy with another document"
                       : last_error == kTurnTimedOut  ? "another process kept its turn to spool"
                                                      : SpoolerErrorText(result);
  char text[kResultTextSize];
  std::snprintf(text, sizeof text, "%s returned %i (%s).", name, result, reason);
  device.ShowError(text);
  return true;
}

void DrawRuler(const PrintJob& job, PrintDevice& device, DeviceContext dc, int y) {
  if (!job.ruler) return;
  const int width = device.GetDeviceCaps(dc, DeviceCap::kHorzRes);
  for (long long x = 0; x <= width; x += 10) {
    const int tick = x % 50 == 0 ? 20 : 10;
    device.MoveTo(dc, static_cast<int>(x), y);
    device.LineTo(dc, static_cast<int>(x), y + tick);
  }
}

void OutputRun(const PrintJob& job, PrintDevice& device, DeviceContext dc, const ReportFonts& fonts,
               FontHandle& selected, std::uint8_t attribute, int x, int y, const char* text, int length,
               const int* advances) {
  if (length < 0) length = 0;
  if (job.raw) {
    const std::size_t size = static_cast<std::size_t>(length) + 2;
    if (g_raw_buffer.size() < size) g_raw_buffer.assign(size, 0);
    g_raw_buffer[0] = static_cast<unsigned char>(length & 0xFF);
    g_raw_buffer[1] = static_cast<unsigned char>((length >> 8) & 0xFF);
    if (length > 0) std::memcpy(g_raw_buffer.data() + 2, text, static_cast<std::size_t>(length));
    device.PassThrough(dc, g_raw_buffer.data(), static_cast<int>(size));
    return;
  }

  SelectRunFont(device, dc, fonts, selected, attribute);

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
  device.PutText(dc, x, y, out, length, advances);
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
