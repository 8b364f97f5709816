// Command lines of launch_document and shellexec, and the verb marker. The split is
// checked against the grammar: switches, the file, one separator, the parameters.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "shell/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const CommandLine command = SplitCommandLine(text);

  // The switches: spaces, and tokens that begin with '/' and run to a space.
  std::size_t pos = 0;
  bool wait = false;
  for (;;) {
    while (pos < size && text[pos] == ' ') ++pos;
    if (pos == size || text[pos] != '/') break;
    if (pos + 1 < size && (text[pos + 1] == 'W' || text[pos + 1] == 'w')) wait = true;
    while (pos < size && text[pos] != ' ') ++pos;
  }
  FUZZ_REQUIRE(command.wait == wait);

  // The file follows them as it stands in the text: no space outside quotes, and a
  // second quote only as its last character.
  const std::string& file = command.file;
  FUZZ_REQUIRE(text.substr(pos, file.size()) == file);
  const std::size_t quotes = std::count(file.begin(), file.end(), '"');
  FUZZ_REQUIRE(quotes <= 2 && (quotes < 2 || file.back() == '"'));
  const std::size_t open = file.find('"');
  const std::size_t space = file.find(' ');
  FUZZ_REQUIRE(space == std::string::npos || (open != std::string::npos && open < space));
  if (quotes < 2 && pos + file.size() < size) FUZZ_REQUIRE(text[pos + file.size()] == ' ' && quotes == 0);

  // One separator, then the parameters to the end, absent when only spaces are left.
  const std::size_t rest_at = std::min(size, pos + file.size() + 1);
  const std::string_view rest = text.substr(rest_at);
  const bool blank = rest.find_first_not_of(' ') == std::string_view::npos;
  FUZZ_REQUIRE(command.parameters.has_value() == !blank);
  if (command.parameters) FUZZ_REQUIRE(*command.parameters == rest);

  const std::string_view marker(kNullVerbMarker);
  FUZZ_REQUIRE(IsNullVerb(text) == (text.substr(0, marker.size()) == marker));
  return 0;
}
