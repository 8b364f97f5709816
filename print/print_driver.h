// The print driver: one report file printed as one spooler document.
//
// The page layout is portable: it talks to a PrintDevice (print_device.h), which is
// GDI and the Win32 user interface in the library and a recording fake in tests.
#ifndef QUILLET_PRINT_PRINT_DRIVER_H
#define QUILLET_PRINT_PRINT_DRIVER_H

#include <cstdint>

#include <vector>

#include "job/call_record.h"
#include "job/print_job.h"
#include "print/print_device.h"

namespace quillet {

// How a report ended. The Java side is told nothing of it; the command line
// front end turns it into its exit status.
enum class ReportOutcome {
  kSpooled,        // every page went to the spooler and the document was ended
  kNotOpened,      // the report file could not be opened (`error` says why)
  kNoPrinter,      // no device context: no printer, or the job's printer could not be opened
  kSpoolerFailed,  // a spooler call failed or refused the document; its box was shown and
                   // the document dropped
  kCancelled,      // the user cancelled; the document was dropped
  kIsTraceLog,     // the report file is the open trace log: printing it would feed it its own lines
  kNoPageSelected, // the call's pages select none of the report's pages: nothing was printed
  kOutputFailed,   // the call's output file could not be had for the document (`error` says why),
                   // or must not be written (`output_refused` says why)
};

struct ReportResult {
  ReportOutcome outcome = ReportOutcome::kSpooled;
  // kNotOpened: the system's error code. kSpoolerFailed: the platform's last
  // error code right after the call that failed.
  unsigned long error = 0;
  const char* spooler_call = nullptr;  // kSpoolerFailed: "StartDoc", "StartPage", "EndPage" or "EndDoc"
  int spooler_result = 0;              // and what it returned (0 or below)
  // Lines with characters beyond the right edge of the page, which print off
  // the paper, and the first grid column (from 1) that does not fit.
  int lines_cut = 0;
  int first_column_lost = 0;
  // When lines were cut: what would have printed the report whole. The page
  // turned to landscape at the size it printed at; or else, without -pitch=fit,
  // the size -pitch=fit would choose (half points; 0: none from 4 to 72 points).
  bool fits_landscape = false;
  int fits_at = 0;
  // -pitch=fit: the size chosen (half points), and the columns of the widest
  // line and the rows of the longest page (0: not paged by form feeds) it was
  // chosen for.
  int fit_half_points = 0;
  int fit_columns = 0;
  int fit_lines = 0;
  // Pages of the report, those not selected by the call's pages included (read to its end).
  int pages = 0;
  // kOutputFailed: why the output file is left alone ("it is the trace log"); null
  // when it could not be had.
  const char* output_refused = nullptr;
  // The paper the job asked for (by form name or size) and the page the printer
  // gives instead, when they differ by more than 1 mm either way; in tenths of a
  // millimetre, portrait. All 0 when they agree or no paper was asked.
  int paper_asked_width = 0;
  int paper_asked_length = 0;
  int paper_given_width = 0;
  int paper_given_length = 0;
  // Set by the print entry: the job asked for scratch disposition, and the
  // report (with its configuration file) was kept because it was not printed.
  bool kept = false;
};

// Whether a page selection (empty: every page) selects the report's page `page` (from 1).
bool PageSelected(const std::vector<PageRange>& pages, int page);

// Prints the report named by call.report_path on the printer the job selects,
// with the call's output file, page selection and page listener.
// (Windows build: through GDI and the printer that GetPrinterDC prepares.)
ReportResult PrintReport(PrintJob& job, CallRecord& call);

// Prints the report through `device`. Whatever way the report ends, the cancel
// dialog, the fonts, the device context and the report file are released before
// this returns. A document that was started and not ended is dropped. The
// report file joins call.files_read.
ReportResult PrintReport(PrintJob& job, CallRecord& call, PrintDevice& device);

// After every report: with scratch disposition, deletes the report file
// (call.report_path), but only when the report was handed to the spooler whole
// (`result` kSpooled). A report that was not printed may be the only copy: it
// stays. True when the report was deleted. The job's configuration file is
// noted in call.configs_used for DisposeConfigFiles.
bool DisposeReport(const PrintJob& job, CallRecord& call, const ReportResult& result);

// At the end of a print call: deletes each configuration file that scratch
// disposition applied to, when every report that ended while it was the job's
// configuration file printed. One that applied to a report that was kept stays
// with it.
void DisposeConfigFiles(CallRecord& call);

// A spooler call failed when it returned 0 or less. Then shows "<name> returned
// <result> (<reason>)." in an error box, traces the call with the platform's
// last error code (also stored in *error when given) and returns true; false
// without a box otherwise.
bool CheckPrintResult(PrintDevice& device, const char* name, int result, unsigned long* error = nullptr);

// The platform's error code of a spooler call that found the spooler busy with
// another document (ERROR_SHARING_VIOLATION).
constexpr unsigned long kSharingViolation = 32;
// The platform's error code of a document start that another process of the
// Wine prefix kept waiting for its turn as long as a start may wait
// (ERROR_TIMEOUT).
constexpr unsigned long kTurnTimedOut = 1460;

// The text shown for a failed spooler result.
const char* SpoolerErrorText(int result);

// Ticks every 10 device units across the page width at height y (20 long at
// multiples of 50, else 10), when job.ruler is set.
void DrawRuler(const PrintJob& job, PrintDevice& device, DeviceContext dc, int y);

// The four fonts of a report, chosen by a character's attribute bits.
struct ReportFonts {
  FontHandle normal = nullptr;
  FontHandle underline = nullptr;
  FontHandle bold = nullptr;
  FontHandle bold_underline = nullptr;

  FontHandle For(std::uint8_t attribute) const;
};

// Puts one run of a decoded ANSI line on the page. `text` points at the run's
// first character inside the NUL-terminated decoded line; `length` is the run's
// length; each character advances by its entry of `advances`. The run's font is
// selected unless it is `selected`, the one selected last (which it becomes). In
// raw mode the run goes to the printer as pass-through data instead.
void OutputRun(const PrintJob& job, PrintDevice& device, DeviceContext dc, const ReportFonts& fonts,
               FontHandle& selected, std::uint8_t attribute, int x, int y, const char* text, int length,
               const int* advances);

// a * b / c in 64 bits, rounded half away from zero; -1 when c is 0 or the result
// does not fit in 31 bits and a sign (as the Win32 MulDiv).
int MulDiv(int a, int b, int c);

}  // namespace quillet

#endif
