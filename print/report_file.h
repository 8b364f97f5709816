// The few file calls the report reader and the driver need, with one implementation
// on the Win32 file API and one on POSIX for native tests and tools.
#ifndef QUILLET_PRINT_REPORT_FILE_H
#define QUILLET_PRINT_REPORT_FILE_H

#include <cstdint>

namespace quillet {

constexpr std::int32_t kReportOpenError = -1;  // HFILE_ERROR

// Opens a report for reading; kReportOpenError when it cannot be opened.
std::int32_t ReportOpen(const char* path);

// Reads up to `size` bytes; the count read, 0 at the end of the data, -1 on error.
long ReportRead(std::int32_t handle, void* buffer, unsigned size);

void ReportClose(std::int32_t handle);

// The platform's last error code (GetLastError on Windows, errno elsewhere).
unsigned long LastSystemError();

// Test seam: the read call GetLine makes (ReportRead unless replaced). Passing
// nullptr restores ReportRead. Returns the call that was in force.
using ReportReadFunction = long (*)(std::int32_t handle, void* buffer, unsigned size);
ReportReadFunction SetReportReadForTesting(ReportReadFunction read);

}  // namespace quillet

#endif
