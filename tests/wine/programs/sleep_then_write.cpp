// Test helper started through the shell: sleep_then_write MS OUT [--after=NEED] [...]
// Sleeps MS milliseconds, then writes OUT. The file holds the program's command
// line after its own name (line 1) and, with --after=NEED, whether the file NEED
// existed when the program started (line 2: "present" or "absent"). Further
// arguments are only echoed on line 1.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The raw command line less the program's own name and the spaces after it.
std::string CommandTail() {
  const char* p = GetCommandLineA();
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  std::string need;
  const std::string after = "--after=";
  if (argc > 3 && std::string(argv[3]).compare(0, after.size(), after) == 0)
    need = GetFileAttributesA(argv[3] + after.size()) != INVALID_FILE_ATTRIBUTES ? "present" : "absent";
  Sleep(static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)));

  // Written under another name and then renamed, so a reader never sees half a file.
  const std::string out = argv[2];
  const std::string partial = out + ".partial";
  FILE* file = std::fopen(partial.c_str(), "wb");
  if (file == nullptr) return 1;
  std::fprintf(file, "%s\n", CommandTail().c_str());
  if (!need.empty()) std::fprintf(file, "%s\n", need.c_str());
  std::fclose(file);
  return MoveFileExA(partial.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
