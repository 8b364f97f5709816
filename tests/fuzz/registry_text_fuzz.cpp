// The texts read_registry_string hands back. Input: the subkey, a NUL, the value
// name, a NUL, then the value's data as the registry returns it (any bytes).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "shell/registry_text.h"

namespace {

// An error text: the fixed words, then as much of the name as fits the result.
void CheckErrorText(const std::string& text, const char* words, const std::string& name) {
  const std::size_t prefix = std::strlen(words);
  FUZZ_REQUIRE(text.size() <= quillet::kRegistryResultSize - 1);
  FUZZ_REQUIRE(text.compare(0, prefix, words) == 0);
  FUZZ_REQUIRE(text.substr(prefix) == name.substr(0, quillet::kRegistryResultSize - 1 - prefix));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t end_subkey = std::min(input.find('\0'), input.size());
  const std::string subkey = input.substr(0, end_subkey);
  const std::size_t value_at = std::min(end_subkey + 1, input.size());
  const std::size_t end_value = std::min(input.find('\0', value_at), input.size());
  const std::string value_name = input.substr(value_at, end_value - value_at);
  const std::size_t data_at = std::min(end_value + 1, input.size());

  CheckErrorText(RegistryKeyErrorText(subkey.c_str()), "**ERROR** RegOpenKeyEx() Registry Key not found: ", subkey);
  CheckErrorText(RegistryValueErrorText(value_name.c_str()), "**ERROR** RegQueryValueEx() Data Value not found: ",
                 value_name);

  // The data, in a buffer of exactly its size: the text stops at its first zero
  // byte and never reads past the end.
  const std::size_t data_size = input.size() - data_at;
  std::unique_ptr<char[]> value(new char[data_size]);
  std::memcpy(value.get(), input.data() + data_at, data_size);
  const std::string text = RegistryDataText(value.get(), data_size);
  FUZZ_REQUIRE(text.size() <= data_size && text.find('\0') == std::string::npos);
  FUZZ_REQUIRE(text.compare(0, text.size(), value.get(), text.size()) == 0);
  FUZZ_REQUIRE(text.size() == data_size || value[text.size()] == '\0');
  return 0;
}
