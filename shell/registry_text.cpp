#include "shell/registry_text.h"

#include <cstring>

namespace quillet {
namespace {

std::string ErrorText(const char* prefix, const char* name, IsLeadByte is_lead_byte) {
  std::string text = prefix;
  if (name == nullptr) return text;
  const std::size_t room = kRegistryResultSize - 1 - text.size();
  const std::size_t length = std::strlen(name);
  std::size_t cut = 0;
  while (cut < length) {
    const bool pair =
        is_lead_byte != nullptr && is_lead_byte(static_cast<unsigned char>(name[cut])) && cut + 1 < length;
    const std::size_t step = pair ? 2 : 1;
    if (cut + step > room) break;
    cut += step;
  }
  text.append(name, cut);
  return text;
}

}  // namespace

std::string RegistryKeyErrorText(const char* subkey, IsLeadByte is_lead_byte) {
  return ErrorText("**ERROR** RegOpenKeyEx() Registry Key not found: ", subkey, is_lead_byte);
}

std::string RegistryValueErrorText(const char* value_name, IsLeadByte is_lead_byte) {
  return ErrorText("**ERROR** RegQueryValueEx() Data Value not found: ", value_name, is_lead_byte);
}

std::string RegistryDataText(const char* data, std::size_t size) {
  const void* zero = std::memchr(data, '\0', size);
  return std::string(data, zero != nullptr ? static_cast<const char*>(zero) - data : size);
}

}  // namespace quillet
