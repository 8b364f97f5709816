#include "shell/command_line.h"

namespace quillet {

namespace {

template <class Char>
BasicCommandLine<Char> Split(std::basic_string_view<Char> text) {
  BasicCommandLine<Char> result;
  const size_t end = text.size();
  size_t pos = 0;

  // Switches, with the spaces around them.
  for (;;) {
    while (pos < end && text[pos] == ' ') ++pos;
    if (pos >= end || text[pos] != '/') break;
    if (pos + 1 < end && (text[pos + 1] == 'W' || text[pos + 1] == 'w')) result.wait = true;
    while (pos < end && text[pos] != ' ') ++pos;
  }

  // The file: up to a space outside quotes, or through the quote that closes a
  // quoted stretch (the byte after that quote is a separator and is dropped).
  const size_t file_start = pos;
  size_t params_start = end;
  bool quoted = false;
  for (; pos < end; ++pos) {
    const Char c = text[pos];
    if (c == '"') {
      if (!quoted) {
        quoted = true;
        continue;
      }
      ++pos;  // the file keeps its closing quote
      params_start = pos < end ? pos + 1 : end;
      break;
    }
    if (c == ' ' && !quoted) {
      params_start = pos + 1;
      break;
    }
  }
  result.file.assign(text.substr(file_start, pos - file_start));

  const std::basic_string_view<Char> rest = text.substr(params_start);
  if (rest.find_first_not_of(Char(' ')) != rest.npos) result.parameters.emplace(rest);
  return result;
}

}  // namespace

CommandLine SplitCommandLine(std::string_view text) { return Split(text); }
WideCommandLine SplitCommandLine(std::u16string_view text) { return Split(text); }

bool IsNullVerb(std::string_view verb) {
  return verb.substr(0, sizeof kNullVerbMarker - 1) == std::string_view(kNullVerbMarker);
}

}  // namespace quillet
