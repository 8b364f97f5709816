// The current printer: a device mode and device names held for the life of the
// process, and the preparation of a printer device context for one report.
#ifndef QUILLET_PRINT_PRINTER_SETUP_H
#define QUILLET_PRINT_PRINTER_SETUP_H

#include "print/print_job.h"

namespace quillet {

// Makes sure the current printer's device mode and names are held, asking the
// system for its default printer the first time. True when a device mode is held.
bool GetDevMode();

// Settles the job's printer, writes the job's settings into the held device mode
// and creates the printer device context into job.dc (null on failure).
bool GetPrinterDC(PrintJob& job);

}  // namespace quillet

#endif
