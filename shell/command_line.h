// Command lines of launch_document and shellexec: leading switches, the file
// (a program or document, possibly in double quotes) and its parameters.
//
// Pure byte handling, with no Windows calls, so it is tested natively.
#ifndef QUILLET_SHELL_COMMAND_LINE_H
#define QUILLET_SHELL_COMMAND_LINE_H

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

template <class Char>
struct BasicCommandLine {
  bool wait = false;            // a switch /W... or /w... came before the file
  std::basic_string<Char> file;  // handed to the shell as it stands, quotes included; may be empty
  std::optional<std::basic_string<Char>> parameters;  // absent when empty or spaces only
};
using CommandLine = BasicCommandLine<char>;         // bytes: the ANSI code page
using WideCommandLine = BasicCommandLine<char16_t>;  // UTF-16

// Splits one command line, read from its first byte with no state carried over
// from any other command. The whole text is used, whatever its length.
//
//   switches    tokens that begin with '/', each up to the next space; spaces
//               before and between them are skipped. A switch whose second
//               character is 'W' or 'w' asks for the wait; the others do nothing.
//   file        up to the first space outside double quotes. A double quote opens
//               a quoted stretch and the next one closes it and ends the file;
//               the one character after that closing quote is dropped.
//   parameters  the rest, unchanged (leading and trailing spaces kept).
//
// Only the space (code 32) separates: tabs are ordinary characters. The UTF-16
// form splits the same way: every character that matters is ASCII.
CommandLine SplitCommandLine(std::string_view text);
WideCommandLine SplitCommandLine(std::u16string_view text);

// The verb text that stands for "no verb" (the file's default verb is used).
// Only the first eight bytes are compared, so any verb starting with them counts.
inline constexpr char kNullVerbMarker[] = "**NULL**";
bool IsNullVerb(std::string_view verb);

}  // namespace quillet

#endif
