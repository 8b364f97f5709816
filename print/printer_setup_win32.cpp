// Printer selection: the held device mode and device names.
#include "print/printer_setup.h"

namespace quillet {

bool GetDevMode() { return false; }

bool GetPrinterDC(PrintJob& job) {
  job.dc = nullptr;
  return true;
}

}  // namespace quillet
