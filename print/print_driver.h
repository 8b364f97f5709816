// The print driver: one report file printed as one spooler document.
#ifndef QUILLET_PRINT_PRINT_DRIVER_H
#define QUILLET_PRINT_PRINT_DRIVER_H

#include "print/print_job.h"

namespace quillet {

// Prints the report named by job.report_path on the printer the job selects.
void PrintReport(PrintJob& job);

// After every report: with scratch disposition, deletes the report file and the
// configuration file named by the job.
void DisposeReport(PrintJob& job);

}  // namespace quillet

#endif
