// Report file calls on the Win32 file API: _lopen, _lread and _lclose.
#include "print/report_file.h"

#include <windows.h>

namespace quillet {

std::int32_t ReportOpen(const char* path) {
  HFILE file = _lopen(path, OF_READ);
  return file == HFILE_ERROR ? kReportOpenError : static_cast<std::int32_t>(file);
}

long ReportRead(std::int32_t handle, void* buffer, unsigned size) {
  UINT got = _lread(static_cast<HFILE>(handle), buffer, size);
  return got == static_cast<UINT>(HFILE_ERROR) ? -1 : static_cast<long>(got);
}

void ReportClose(std::int32_t handle) { _lclose(static_cast<HFILE>(handle)); }

unsigned long LastSystemError() { return GetLastError(); }

}  // namespace quillet
