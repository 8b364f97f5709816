// Prints the page geometry the print driver will see on a printer:
//   dc_metrics.exe PRINTER [portrait|landscape]
// -> "HORZRES VERTRES LINE_HEIGHT CHAR_WIDTH" of the printer's default font.
#include <windows.h>

#include <winspool.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const char* printer = argv[1];
  const bool landscape = argc > 2 && std::strcmp(argv[2], "landscape") == 0;
  HANDLE handle = nullptr;
  if (!OpenPrinterA(const_cast<char*>(printer), &handle, nullptr)) return 3;
  const LONG size = DocumentPropertiesA(nullptr, handle, const_cast<char*>(printer), nullptr, nullptr, 0);
  auto* mode = static_cast<DEVMODEA*>(std::calloc(1, size > 0 ? size : sizeof(DEVMODEA)));
  DocumentPropertiesA(nullptr, handle, const_cast<char*>(printer), mode, nullptr, DM_OUT_BUFFER);
  mode->dmOrientation = landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
  mode->dmFields |= DM_ORIENTATION;
  ClosePrinter(handle);
  HDC dc = CreateDCA("WINSPOOL", printer, nullptr, mode);
  std::free(mode);
  if (dc == nullptr) return 4;
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  std::printf("%d %d %ld %ld\n", GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES),
              tm.tmHeight + tm.tmExternalLeading, tm.tmAveCharWidth);
  DeleteDC(dc);
  return 0;
}
