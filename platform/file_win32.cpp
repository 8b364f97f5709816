// Report file calls on the Win32 file API: _lopen, _lread and _lclose, with the
// wide forms of the same opens for names the ANSI code page cannot spell.
#include "platform/file.h"

#include <windows.h>

#include <io.h>

#include <cstdio>
#include <cstring>

#include "platform/handles_win32.h"
#include "platform/wine_win32.h"

namespace quillet {

std::int32_t ReportOpen(const char* path, const char16_t* wide_path) {
  if (wide_path != nullptr) {
    // What _lopen does for OF_READ, by a UTF-16 name: the handle reads through
    // _lread and closes through _lclose like one of its own.
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(wide_path), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    return file == INVALID_HANDLE_VALUE ? kReportOpenError
                                        : static_cast<std::int32_t>(reinterpret_cast<INT_PTR>(file));
  }
  HFILE file = _lopen(path, OF_READ);
  return file == HFILE_ERROR ? kReportOpenError : static_cast<std::int32_t>(file);
}

long ReportRead(std::int32_t handle, void* buffer, unsigned size) {
  UINT got = _lread(static_cast<HFILE>(handle), buffer, size);
  return got == static_cast<UINT>(HFILE_ERROR) ? -1 : static_cast<long>(got);
}

void ReportClose(std::int32_t handle) { _lclose(static_cast<HFILE>(handle)); }

void ReportRemove(const char* path, const char16_t* wide_path) {
  if (wide_path != nullptr) {
    DeleteFileW(reinterpret_cast<const wchar_t*>(wide_path));
  } else {
    std::remove(path);
  }
}

unsigned long LastSystemError() { return GetLastError(); }

namespace {

// FILE_ID_INFO and its class, of Windows 8 and later; the build targets
// Windows 7, where the call fails.
struct FileIdInfo {
  ULONGLONG volume_serial_number;
  BYTE file_id[16];
};
constexpr auto kFileIdInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);

bool IdentifyHandle(HANDLE handle, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return false;
  identity = FileIdentity{};
  // The 32-bit serial number for every file, whichever call gave its id.
  identity.volume = info.dwVolumeSerialNumber;
  FileIdInfo id;
  if (GetFileInformationByHandleEx(handle, kFileIdInfo, &id, sizeof id)) {
    std::memcpy(&identity.index, id.file_id, 8);
    std::memcpy(&identity.index_high, id.file_id + 8, 8);
  } else {
    // File systems and systems without 128-bit ids (Windows 7).
    identity.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  }
  // Wine's serial number belongs to the drive letter the file was reached
  // through; its file id is the host's inode number (file.h).
  if (RunningUnderWine()) identity.volume = 0;
  return true;
}

}  // namespace

bool IdentifyFile(std::FILE* stream, FileIdentity& identity) {
  const intptr_t os_handle = _get_osfhandle(_fileno(stream));
  if (os_handle == -1) return false;
  return IdentifyHandle(reinterpret_cast<HANDLE>(os_handle), identity);
}

bool IdentifyReport(std::int32_t handle, FileIdentity& identity) {
  // A report handle is a file handle of the system's (as _lopen's are), which
  // fits in 32 bits on every Windows.
  return IdentifyHandle(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(handle)), identity);
}

bool IdentifyPath(const char* path, const char16_t* wide_path, FileIdentity& identity) {
  // No access asked for: attributes only, whoever has the file open, and the
  // backup flag lets a folder be opened too.
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const HANDLE opened =
      wide_path != nullptr
          ? CreateFileW(reinterpret_cast<const wchar_t*>(wide_path), 0, share, nullptr, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS, nullptr)
          : CreateFileA(path, 0, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return false;
  const UniqueHandle file(opened);
  return IdentifyHandle(file.get(), identity);
}

std::FILE* OpenConfigFile(const char* path, const char16_t* wide_path) {
  if (wide_path != nullptr) return _wfopen(reinterpret_cast<const wchar_t*>(wide_path), L"rb");
  return std::fopen(path, "rb");
}

}  // namespace quillet
