// The current printer: a device mode and device names held for the life of the
// process, and the preparation of a printer device context for one report.
#ifndef QUILLET_PRINTER_PRINTER_SETUP_H
#define QUILLET_PRINTER_PRINTER_SETUP_H

#include <string>

#include "job/print_job.h"

namespace quillet {

// Makes sure the current printer's device mode and names are held, asking the
// system for its default printer the first time. True when a device mode is held.
bool GetDevMode();

// Settles the job's printer, writes the job's settings into the held device mode
// and returns the printer device context it creates (an HDC; null on failure). A
// report that cannot go to its printer (no printer at all, or the user gives up
// on a printer that cannot be opened) is abandoned with no device context; the
// process goes on.
void* GetPrinterDC(PrintJob& job);

// Shows the Print Setup dialog on the current printer. True when the user
// confirmed it: the printer and settings chosen are then the current ones.
bool ShowPrintSetup();

// The current printer's full name into `name`; false when no printer is held.
bool GetCurrentPrinterName(std::string& name);

// Test seam: forgets the current printer (freeing the held blocks), as if the
// library had just been loaded.
void ResetPrinterSetupForTesting();

}  // namespace quillet

#endif
