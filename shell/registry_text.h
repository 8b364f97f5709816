// The texts that read_registry_string hands back: a value's data, or one of the
// two error texts. Pure byte handling, shared by the Win32 layer and the tests.
#ifndef QUILLET_SHELL_REGISTRY_TEXT_H
#define QUILLET_SHELL_REGISTRY_TEXT_H

#include <cstddef>
#include <string>

namespace quillet {

// Size of the result: the most data a value may hold, and the room for an error
// text with its terminator.
constexpr std::size_t kRegistryResultSize = 256;

// "**ERROR** RegOpenKeyEx() Registry Key not found: <subkey>", cut to fit the
// result (at most kRegistryResultSize - 1 bytes).
std::string RegistryKeyErrorText(const char* subkey);

// "**ERROR** RegQueryValueEx() Data Value not found: <value_name>", cut the same way.
std::string RegistryValueErrorText(const char* value_name);

// A value's data as returned by the registry (`size` bytes, whatever its type):
// its bytes up to the first zero byte, and never past `size`, so data stored
// without a terminator ends where the registry's bytes end.
std::string RegistryDataText(const char* data, std::size_t size);

}  // namespace quillet

#endif
