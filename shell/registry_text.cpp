#include "shell/registry_text.h"

#include <cstdio>
#include <cstring>

namespace quillet {
namespace {

std::string ErrorText(const char* format, const char* name) {
  char text[kRegistryResultSize];
  std::snprintf(text, sizeof text, format, name != nullptr ? name : "");
  return text;
}

}  // namespace

std::string RegistryKeyErrorText(const char* subkey) {
  return ErrorText("**ERROR** RegOpenKeyEx() Registry Key not found: %s", subkey);
}

std::string RegistryValueErrorText(const char* value_name) {
  return ErrorText("**ERROR** RegQueryValueEx() Data Value not found: %s", value_name);
}

std::string RegistryDataText(const char* data, std::size_t size) {
  const void* zero = std::memchr(data, '\0', size);
  return std::string(data, zero != nullptr ? static_cast<const char*>(zero) - data : size);
}

}  // namespace quillet
