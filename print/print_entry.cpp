#include "print/print_entry.h"

#include <cstring>

namespace quillet {

bool IsOptionArgument(const char* text) { return text[0] == '-' || text[0] == '/'; }

std::string ReportPathFromArgument(const char* text) {
  if (text[0] != '"') return text;
  const std::size_t length = std::strlen(text);
  // After the opening quote, less the text's last character; a lone quote names "".
  return std::string(text + 1, length >= 2 ? length - 2 : 0);
}

std::u16string ReportPathFromArgument(std::u16string_view text) {
  if (text.empty() || text[0] != u'"') return std::u16string(text);
  return std::u16string(text.substr(1, text.size() >= 2 ? text.size() - 2 : 0));
}

}  // namespace quillet
