// Launching command lines through the Windows shell.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>

#include "shell/shell_services.h"
#include "shell/win32_handle.h"

namespace quillet {

void FillShellRequest(SHELLEXECUTEINFOA& request, const char* verb, const CommandLine& command) {
  request = SHELLEXECUTEINFOA{};
  request.cbSize = sizeof request;
  // Without SEE_MASK_FLAG_NO_UI: the shell tells the user itself when a file
  // cannot be opened.
  request.fMask = command.wait ? SEE_MASK_NOCLOSEPROCESS : 0;
  request.hwnd = nullptr;
  request.lpVerb = verb;
  request.lpFile = command.file.c_str();
  request.lpParameters = command.parameters ? command.parameters->c_str() : nullptr;
  request.lpDirectory = nullptr;
  request.nShow = SW_SHOWNORMAL;
}

LaunchOutcome LaunchCommand(const char* verb, std::string_view command_line) {
  const CommandLine command = SplitCommandLine(command_line);
  SHELLEXECUTEINFOA request;
  FillShellRequest(request, verb, command);
  ShellExecuteExA(&request);  // the instance value below tells success

  // Owned whatever happens next, so the handle cannot leak on any path.
  UniqueHandle process(request.hProcess);
  if (reinterpret_cast<std::uintptr_t>(request.hInstApp) <= 32) return LaunchOutcome::kFailed;
  if (!command.wait || !process) return LaunchOutcome::kStarted;
  WaitForSingleObject(process.get(), INFINITE);
  return LaunchOutcome::kWaited;
}

}  // namespace quillet
