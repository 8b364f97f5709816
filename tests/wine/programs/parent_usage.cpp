// Test helper: what the process that started it holds, as another process sees
// it, for tests that cannot ask from inside (a Java virtual machine).
//   parent_usage OUT
// Writes to OUT (under another name, then renamed):
//   handles N          the parent's entries in the system's handle table
//   working_set BYTES  its resident memory
//   pagefile BYTES     its committed private memory
// Wine gives 0 for GetProcessHandleCount, but it fills the system handle table
// (SystemHandleInformation) from its server, one entry per open handle.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct HandleEntry {
  ULONG process;
  UCHAR type;
  UCHAR flags;
  USHORT handle;
  PVOID object;
  ACCESS_MASK access;
};
struct HandleTable {
  ULONG count;
  HandleEntry entries[1];
};
constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);

DWORD ParentProcess() {
  const DWORD self = GetCurrentProcessId();
  DWORD parent = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (entry.th32ProcessID == self) parent = entry.th32ParentProcessID;
  CloseHandle(snapshot);
  return parent;
}

long CountHandles(DWORD process) {
  std::vector<char> buffer(1 << 20);
  NTSTATUS status;
  ULONG needed = 0;
  while ((status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                            static_cast<ULONG>(buffer.size()), &needed)) == kInfoLengthMismatch)
    buffer.resize(buffer.size() * 2);
  if (status != 0) return -1;
  const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
  long count = 0;
  for (ULONG i = 0; i < table->count; ++i)
    if (table->entries[i].process == process) ++count;
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const DWORD parent = ParentProcess();
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, parent);
  if (process == nullptr) return 1;
  PROCESS_MEMORY_COUNTERS memory{};
  const BOOL have_memory = GetProcessMemoryInfo(process, &memory, sizeof memory);
  CloseHandle(process);
  const long handles = CountHandles(parent);
  if (!have_memory || handles < 0) return 1;

  const std::string out = argv[1];
  const std::string partial = out + ".partial";
  FILE* file = std::fopen(partial.c_str(), "wb");
  if (file == nullptr) return 1;
  std::fprintf(file, "handles %ld\nworking_set %llu\npagefile %llu\n", handles,
               static_cast<unsigned long long>(memory.WorkingSetSize),
               static_cast<unsigned long long>(memory.PagefileUsage));
  std::fclose(file);
  return MoveFileExA(partial.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
