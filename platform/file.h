// The few file calls the report reader, the driver and the option parser need,
// with one implementation on the Win32 file API and one on POSIX for native tests
// and tools.
#ifndef QUILLET_PLATFORM_FILE_H
#define QUILLET_PLATFORM_FILE_H

#include <cstdint>
#include <cstdio>

namespace quillet {

constexpr std::int32_t kReportOpenError = -1;  // HFILE_ERROR

// Opens a report for reading; kReportOpenError when it cannot be opened. When
// `wide_path` is given, the file is opened by that name (UTF-16) instead, and
// another process may delete it meanwhile (quillet-print's copy of standard
// input is a file that deletes itself).
std::int32_t ReportOpen(const char* path, const char16_t* wide_path = nullptr);

// Deletes a file, by `wide_path` when it is given; what comes of it is not looked at.
void ReportRemove(const char* path, const char16_t* wide_path = nullptr);

// Which file an open stream reads: two streams on the same file, whatever names
// opened them (hard and symbolic links, letter case, \\?\ and drive letters
// that reach one folder), have equal identities. False when the platform
// cannot tell. Every "same file" guard of the library and of quillet-print
// compares these.
//
// On Windows: the volume's serial number and the file's 128-bit id (its 64-bit
// index where the file system has no other). Under Wine the file id is the
// host's inode number, and the serial number is that of the drive letter the
// file was reached through, not of the host's device: one file reached by a
// hard link from inside and outside drive_c has two serial numbers, and no
// Win32 or NT call gives the device. The volume is 0 there, and the inode
// number alone tells files apart (two files of two host file systems that
// share an inode number are taken as one: a guard then refuses a file it
// could have taken, and nothing is lost).
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  std::uint64_t index_high = 0;  // of a 128-bit file id
  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && index == other.index && index_high == other.index_high;
  }
};
bool IdentifyFile(std::FILE* stream, FileIdentity& identity);
// The same for a report opened with ReportOpen.
bool IdentifyReport(std::int32_t handle, FileIdentity& identity);

// Which file a name names, whether or not anything has it open (a folder
// too), without opening it for reading or writing: no byte of it changes. By
// `wide_path` when given (`path` may then be null). False when it names
// nothing or the platform cannot tell.
bool IdentifyPath(const char* path, const char16_t* wide_path, FileIdentity& identity);

// Opens a configuration file for reading, in binary (its reader looks for a
// byte-order mark and takes CR LF as a line end itself), by `wide_path`
// (UTF-16) when it is given; null when it cannot be opened.
std::FILE* OpenConfigFile(const char* path, const char16_t* wide_path = nullptr);

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
