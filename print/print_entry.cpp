#include "print/print_entry.h"

#include <cstring>

#include "job/options.h"
#include "platform/file.h"

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

bool ArgumentsName(const std::vector<CallArgument>& arguments, const FileIdentity& identity) {
  const auto names = [&identity](const std::string& path, const std::u16string& wide) {
    FileIdentity named;
    return IdentifyPath(path.c_str(), wide.empty() ? nullptr : wide.c_str(), named) && named == identity;
  };
  for (const CallArgument& argument : arguments) {
    if (!IsOptionArgument(argument.ansi.c_str())) {
      const std::u16string wide = argument.wide.empty() ? u"" : ReportPathFromArgument(argument.wide);
      if (names(ReportPathFromArgument(argument.ansi.c_str()), wide)) return true;
      continue;
    }
    const std::u16string wide = argument.wide.empty() ? u"" : argument.wide.substr(1);
    for (const NamedFile& file : ConfigFilesNamed(argument.ansi.c_str() + 1, argument.wide.empty() ? nullptr : &wide)) {
      if (names(file.path, file.wide)) return true;
    }
  }
  return false;
}

}  // namespace quillet
