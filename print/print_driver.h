// The print driver: one report file printed as one spooler document.
//
// The page layout is portable: it talks to a PrintDevice (print_device.h), which is
// GDI and the Win32 user interface in the library and a recording fake in tests.
#ifndef QUILLET_PRINT_PRINT_DRIVER_H
#define QUILLET_PRINT_PRINT_DRIVER_H

#include <cstdint>

#include "print/print_device.h"
#include "job/print_job.h"

namespace quillet {

// How a report ended. The Java side is told nothing of it; the command line
// front end turns it into its exit status.
enum class ReportOutcome {
  kSpooled,        // every page went to the spooler and the document was ended
  kNotOpened,      // the report file could not be opened (`error` says why)
  kNoPrinter,      // no device context: no printer, or the job's printer could not be opened
  kSpoolerFailed,  // a spooler call failed; its box was shown and the document dropped
  kCancelled,      // the user cancelled; the document was dropped
};

struct ReportResult {
  ReportOutcome outcome = ReportOutcome::kSpooled;
  unsigned long error = 0;  // the system's error code for kNotOpened
};

// Prints the report named by job.report_path on the printer the job selects.
// (Windows build: through GDI and the printer that GetPrinterDC prepares.)
ReportResult PrintReport(PrintJob& job);

// Prints the report through `device`. Whatever way the report ends, the cancel
// dialog, the fonts, the device context and the report file are released before
// this returns (job.dc null and job.file 0 afterwards; job.file keeps
// kReportOpenError when the report could not be opened). A document that was
// started and not ended is dropped.
ReportResult PrintReport(PrintJob& job, PrintDevice& device);

// After every report: with scratch disposition, deletes the report file and the
// configuration file named by the job.
void DisposeReport(PrintJob& job);

// For a negative spooler result, shows "<name> returned <result> (<reason>)." in
// an error box and returns true; false without a box otherwise.
bool CheckPrintResult(PrintDevice& device, const char* name, int result);

// The text shown for a negative spooler result.
const char* SpoolerErrorText(int result);

// Ticks every 10 device units across the page width at height y (20 long at
// multiples of 50, else 10), when job.ruler is set.
void DrawRuler(const PrintJob& job, PrintDevice& device, int y);

// The four fonts of a report, chosen by a character's attribute bits.
struct ReportFonts {
  FontHandle normal = nullptr;
  FontHandle underline = nullptr;
  FontHandle bold = nullptr;
  FontHandle bold_underline = nullptr;

  FontHandle For(std::uint8_t attribute) const;
};

// Puts one run of a decoded line on the page. `text` points at the run's first
// character inside the NUL-terminated decoded line; `length` is the run's length.
// In raw mode the run goes to the printer as pass-through data instead.
void OutputRun(const PrintJob& job, PrintDevice& device, const ReportFonts& fonts, std::uint8_t attribute,
               int x, int y, const char* text, int length);

// Puts one run of a decoded Unicode line on the page through the device's
// Unicode text call, each character advancing `char_width`: the `length`
// characters of UTF-8 text from `text` on (not past `end`). Returns where the
// next run begins.
const char* OutputRun(const PrintJob& job, PrintDevice& device, const ReportFonts& fonts, std::uint8_t attribute,
                      int x, int y, const char* text, const char* end, int length, int char_width);

// a * b / c in 64 bits, rounded half away from zero; -1 when c is 0 or the result
// does not fit in 31 bits and a sign (as the Win32 MulDiv).
int MulDiv(int a, int b, int c);

}  // namespace quillet

#endif
