// Launching command lines through the Windows shell.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdint>

#include "platform/handles_win32.h"
#include "shell/shell_services.h"

namespace quillet {
namespace {

// The calling thread in a single-threaded COM apartment for the length of one
// shell call, as the shell asks: some document handlers are COM objects. A
// thread already in another apartment stays there, and only an initialisation
// that succeeded is undone.
class ComApartment {
 public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  HRESULT result_;
};

// The text types of the two request forms: bytes for the ANSI form, and UTF-16
// code units, which are the wide characters of the Windows API.
const char* Api(const char* text) { return text; }
const wchar_t* Api(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

template <class Info, class Char>
void Fill(Info& request, const Char* verb, const BasicCommandLine<Char>& command) {
  request = Info{};
  request.cbSize = sizeof request;
  // Without SEE_MASK_FLAG_NO_UI: the shell tells the user itself when a file
  // cannot be opened.
  request.fMask = command.wait ? SEE_MASK_NOCLOSEPROCESS : 0;
  request.hwnd = nullptr;
  request.lpVerb = Api(verb);
  request.lpFile = Api(command.file.c_str());
  request.lpParameters = command.parameters ? Api(command.parameters->c_str()) : nullptr;
  request.lpDirectory = nullptr;
  request.nShow = SW_SHOWNORMAL;
}

BOOL Execute(SHELLEXECUTEINFOA& request) { return ShellExecuteExA(&request); }
BOOL Execute(SHELLEXECUTEINFOW& request) { return ShellExecuteExW(&request); }

// A file piece of blanks and quotes alone (or nothing) names no program: the
// shell would only answer it with an error box, which blocks the calling
// thread until someone closes it.
template <class Char>
bool NamesSomething(const std::basic_string<Char>& file) {
  for (Char c : file) {
    if (c != Char(' ') && c != Char('"')) return true;
  }
  return false;
}

template <class Info, class Char>
LaunchOutcome Launch(const Char* verb, const BasicCommandLine<Char>& command) {
  if (!NamesSomething(command.file)) return LaunchOutcome::kFailed;
  Info request;
  FillShellRequest(request, verb, command);
  {
    ComApartment apartment;
    Execute(request);  // the instance value below tells success
  }
  // Owned whatever happens next, so the handle cannot leak on any path.
  UniqueHandle process(request.hProcess);
  if (reinterpret_cast<std::uintptr_t>(request.hInstApp) <= 32) return LaunchOutcome::kFailed;
  if (!command.wait || !process) return LaunchOutcome::kStarted;
  WaitForSingleObject(process.get(), INFINITE);
  return LaunchOutcome::kWaited;
}

}  // namespace

void FillShellRequest(SHELLEXECUTEINFOA& request, const char* verb, const CommandLine& command) {
  Fill(request, verb, command);
}

void FillShellRequest(SHELLEXECUTEINFOW& request, const char16_t* verb, const WideCommandLine& command) {
  Fill(request, verb, command);
}

LaunchOutcome LaunchCommand(const char* verb, std::string_view command_line) {
  return Launch<SHELLEXECUTEINFOA>(verb, SplitCommandLine(command_line));
}

LaunchOutcome LaunchCommand(const char16_t* verb, std::u16string_view command_line) {
  return Launch<SHELLEXECUTEINFOW>(verb, SplitCommandLine(command_line));
}

}  // namespace quillet
