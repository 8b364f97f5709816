// Pieces of the print entry that need no platform: how an argument of the
// argument list is told apart and what report path it names.
#ifndef QUILLET_PRINT_PRINT_ENTRY_H
#define QUILLET_PRINT_PRINT_ENTRY_H

#include <string>

namespace quillet {

// An argument that begins with '-' or '/' is an option; anything else names a report.
bool IsOptionArgument(const char* text);

// The report path an argument names. An argument that begins with a double quote
// loses that quote and its last character (normally the closing quote).
std::string ReportPathFromArgument(const char* text);

}  // namespace quillet

#endif
