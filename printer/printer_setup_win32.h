// Win32 side of printer selection: the pieces that tests and the JNI glue reach
// with Windows types.
#ifndef QUILLET_PRINTER_PRINTER_SETUP_WIN32_H
#define QUILLET_PRINTER_PRINTER_SETUP_WIN32_H

#include <windows.h>
#include <commdlg.h>
#include <winspool.h>

#include <string>

namespace quillet {

// The device name inside a locked DEVNAMES block.
const char* GetDeviceName(const DEVNAMES* names);

// The held blocks: the unset value (-1) before the first GetDevMode, null when
// the system had no default printer.
HGLOBAL HeldDevMode();
HGLOBAL HeldDevNames();
HGLOBAL UnsetPrinterHandle();

// The text of the "Can't Open Printer" box for a system error code: the
// system's message, or "Error <code>" when it has none.
std::string OpenFailureText(DWORD error);

// Test seam: the common-dialog call that GetDevMode and ShowPrintSetup make.
// Null restores PrintDlgA. Returns the previous function.
using PrintDlgFunction = BOOL(WINAPI*)(LPPRINTDLGA);
PrintDlgFunction SetPrintDlgForTesting(PrintDlgFunction function);

// Test seam: the spooler's DocumentPropertiesA, for the failures the real
// printers never show. Null restores DocumentPropertiesA.
using DocumentPropertiesFunction = LONG(WINAPI*)(HWND, HANDLE, LPSTR, PDEVMODEA, PDEVMODEA, DWORD);
DocumentPropertiesFunction SetDocumentPropertiesForTesting(DocumentPropertiesFunction function);

// Test seam: the spooler's OpenPrinterA, for a printer that cannot be opened
// for a moment. Null restores OpenPrinterA.
using OpenPrinterFunction = BOOL(WINAPI*)(LPSTR, LPHANDLE, LPPRINTER_DEFAULTSA);
OpenPrinterFunction SetOpenPrinterForTesting(OpenPrinterFunction function);

}  // namespace quillet

#endif
