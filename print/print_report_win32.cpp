// The library's PrintReport: the portable driver on GDI, with the printer that
// printer setup prepares for the job.
#include "print/gdi_device_win32.h"
#include "print/print_driver.h"

namespace quillet {

ReportResult PrintReport(PrintJob& job, CallRecord& call) {
  GdiPrintDevice device;
  return PrintReport(job, call, device);
}

}  // namespace quillet
