// The Win32 side of launch_document, shellexec and read_registry_string.
// Everything lives in the call: these routines may run on several threads at once.
#ifndef QUILLET_SHELL_SHELL_SERVICES_H
#define QUILLET_SHELL_SHELL_SERVICES_H

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <string_view>

#include "shell/command_line.h"

namespace quillet {

// Fills a fresh shell request for one split command. `verb` is nullptr for the
// file's default verb. The request points into `command`, which must outlive it.
void FillShellRequest(SHELLEXECUTEINFOA& request, const char* verb, const CommandLine& command);
void FillShellRequest(SHELLEXECUTEINFOW& request, const char16_t* verb, const WideCommandLine& command);

enum class LaunchOutcome {
  kFailed,   // the shell gave an instance value of 32 or less: nothing was waited for
  kStarted,  // launched, not waited for
  kWaited,   // launched with the wait switch, and the process has ended
};

// Splits one command line, hands it to the shell with `verb` (nullptr: default
// verb) and, when the command asked for it, waits until the started process has
// ended. The shell may show its own error box when the launch fails.
// The text is in the ANSI code page; the UTF-16 form takes names that the code
// page cannot spell.
LaunchOutcome LaunchCommand(const char* verb, std::string_view command_line);
LaunchOutcome LaunchCommand(const char16_t* verb, std::u16string_view command_line);

// The data of value `value_name` under `root`\`subkey`, or one of the two error
// texts. The key is opened for KEY_QUERY_VALUE alone and closed before returning.
std::string ReadRegistryString(HKEY root, const char* subkey, const char* value_name);

// The two error texts as ReadRegistryString gives them, for names that are not
// asked for at all.
std::string RegistryKeyNotFound(const char* subkey);
std::string RegistryValueNotFound(const char* value_name);

}  // namespace quillet

#endif
