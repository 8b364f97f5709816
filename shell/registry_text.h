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

// Tells the first byte of a two-byte character in the ANSI code page.
using IsLeadByte = bool (*)(unsigned char byte);

// "**ERROR** RegOpenKeyEx() Registry Key not found: <subkey>", cut to fit the
// result (at most kRegistryResultSize - 1 bytes). A name is cut between
// characters, never inside one: `is_lead_byte` tells where a character of two
// bytes starts (null: every character is one byte).
std::string RegistryKeyErrorText(const char* subkey, IsLeadByte is_lead_byte = nullptr);

// "**ERROR** RegQueryValueEx() Data Value not found: <value_name>", cut the same way.
std::string RegistryValueErrorText(const char* value_name, IsLeadByte is_lead_byte = nullptr);

// A value's data as returned by the registry (`size` bytes, whatever its type):
// its bytes up to the first zero byte, and never past `size`, so data stored
// without a terminator ends where the registry's bytes end.
std::string RegistryDataText(const char* data, std::size_t size);

}  // namespace quillet

#endif
