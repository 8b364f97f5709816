// Job options: the table of the 29 named options, its lookup, and Parse_Arg, which
// applies one option text ("copies=2", a configuration-file line, a list token) to a job.
#ifndef QUILLET_JOB_OPTIONS_H
#define QUILLET_JOB_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

#include "job/call_record.h"
#include "job/print_job.h"

namespace quillet {

struct OptionEntry {
  std::int32_t id;
  char name[20];
  const char* description;
};

struct SourceEntry {
  std::int32_t id;
  const char* name;
};

constexpr int kOptionCount = 29;
extern OptionEntry option_table[kOptionCount];  // sorted in place by SortOptionTable
extern const SourceEntry source_table[14];      // 13 paper bins and a terminating row

// The value an option takes when it has no '='.
constexpr const char kNoValueText[] = "INVALID ARGUMENT";

// Compares the names of two rows over the length of the shorter name (so a name
// equals any text it is a prefix of). qsort-compatible.
int CompareOptionNames(const void* a, const void* b);

// Sorts option_table in place with qsort and CompareOptionNames.
void SortOptionTable();

// The row whose name matches the start of `text`, or nullptr. Binary search over
// the sorted table with a fixed probe order, which decides ambiguous abbreviations.
// Only the first 20 bytes of `text` take part. The empty text equals every name and
// finds the first row probed (`log`); Parse_Arg never passes it.
const OptionEntry* FindOption(const char* text);

// An option text as the parser meets it, told to CallRecord::on_option before it
// is applied: an argument, a configuration-file line or a list item.
struct OptionSeen {
  char lead;                  // its lead character: '-', '/', or whatever begins a file's line
  const char* text;           // the text after it, as given
  const OptionEntry* option;  // the row it finds; null: none, and nothing is applied
  const char* value;          // the value applied (quotes removed); null: no '='
  const char* config_file;    // the configuration file whose line it is; null: none
};

// Applies one option text (without its lead '-' or '/') to the job. `text` is
// modified in place (quotes and list separators are cut off). An empty text is
// traced and ignored. Numbers read like atoi, clamped to the 32-bit range; the
// 16-bit fields keep the low 16 bits. Text values longer than their field are cut
// to fit. Configuration files nest at most 16 deep and list options at most 16 deep;
// deeper ones are traced and skipped. A configuration file that is already being
// read further up is not read again, and one option text reads at most 64
// configuration files; what is skipped is traced. `wide`, when given, is the same
// text in UTF-16 (an option from Java or the command line that the ANSI code
// page cannot spell): a configuration file it names is opened by that name.
// A configuration file that begins with a UTF-8 or UTF-16 byte-order mark is
// read as that text, each line converted to the ANSI code page, with its UTF-16
// form beside it where the code page cannot spell it; other files are bytes of
// the ANSI code page. A configuration file that is the trace log is not read,
// and a log file that the call reads (its files_read, CallRecord::reads_file)
// is not opened: the trace and CallRecord::on_refused say so. `lead` is the
// lead character the text had, for CallRecord::on_option. The configuration
// files read join call.files_read.
void Parse_Arg(PrintJob& job, CallRecord& call, char* text, const std::u16string* wide = nullptr, char lead = '-');

// A file name as an option gives it: in the ANSI code page, with the UTF-16
// form when the code page cannot spell it (empty otherwise).
struct NamedFile {
  std::string path;
  std::u16string wide;
};

// The configuration files an option text (without its lead character) names,
// found without applying the option or reading any file: a `config` option's
// value, or those of a list option's items. `wide` as for Parse_Arg.
std::vector<NamedFile> ConfigFilesNamed(const char* text, const std::u16string* wide = nullptr);

}  // namespace quillet

#endif
