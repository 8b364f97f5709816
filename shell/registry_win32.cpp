// Reading one registry value as a string.
#include <windows.h>

#include "platform/handles_win32.h"
#include "shell/registry_text.h"
#include "shell/shell_services.h"

namespace quillet {
namespace {

bool AnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

}  // namespace

std::string ReadRegistryString(HKEY root, const char* subkey, const char* value_name) {
  // Query access alone: a key that grants nothing more can still be read.
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
    return RegistryKeyErrorText(subkey, &AnsiLeadByte);
  const UniqueRegKey key(opened);

  char data[kRegistryResultSize] = {};
  DWORD type = 0;
  DWORD size = sizeof data;
  // ERROR_MORE_DATA (a value longer than the result) is a failure like any other.
  if (RegQueryValueExA(key.get(), value_name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
    return RegistryValueErrorText(value_name, &AnsiLeadByte);
  return RegistryDataText(data, size < sizeof data ? size : sizeof data);
}

std::string RegistryKeyNotFound(const char* subkey) { return RegistryKeyErrorText(subkey, &AnsiLeadByte); }

std::string RegistryValueNotFound(const char* value_name) {
  return RegistryValueErrorText(value_name, &AnsiLeadByte);
}

}  // namespace quillet
