#include "job/options.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ansi.h"
#include "platform/file.h"
#include "platform/text.h"
#include "trace/trace.h"

namespace quillet {

// Stored in id order; SortOptionTable puts it in name order before every print call.
OptionEntry option_table[kOptionCount] = {
    {0, "config", "name of configuration file to use - the configuration file can provide additional options"},
    {1, "mode", "print mode - valid choices are KEEP, HOLD, and SPOOL, currently ignored and defaults to 'SPOOL'"},
    {2, "disposition",
     "disposition of print file after printing, valid choices are SCRATCH and SAVE, defaults to SAVE"},
    {3, "copies", "number of copies to print - not supported by some printer drivers"},
    {4, "notify", "if present, notify user when report has completed printing - not currently supported"},
    {5, "format", "format of print file - not currently supported"},
    {6, "banner", "if present, print a banner page (not currently supported)"},
    {7, "priority", "priority of report - not currently supported"},
    {8, "date", "date/time to print report - not currently supported"},
    {9, "user", "User Name (ignored)"},
    {10, "printer_name", "Orvo Printer Name (ignored)"},
    {11, "printer_id", "Windows Printer Name"},
    {12, "printer_ctl", "list of printer-related options"},
    {13, "form_name", "Orvo Form Name (ignored)"},
    {14, "form_id", "Windows Form Name"},
    {15, "form_ctl", "list of form-related options"},
    {16, "orientation", "report orientation, valid choices are Portrait and Landscape"},
    {17, "collate", "if present, multiple copies are collated - not supported by most printer drivers"},
    {18, "pitch", "pitch to use to print report"},
    {19, "font", "name of font to use to print report"},
    {20, "ruler", "if present, print a ruler on each page"},
    {21, "width", "width of form - use 'i' or 'm' as a suffix to indicate inches or millimeters (eg. 8.5i or 23m)"},
    {22, "length", nullptr},
    {23, "interactive",
     "if present, show printer setup dialog to user, if '=none', suppress any windows for network printing"},
    {24, "source", "paper source (not supported by many printer drivers)"},
    {25, "log", "provides the name of a debugging log file"},
    {26, "oem", "if present, translate characters to OEM character set"},
    {27, "ansi", "if present, translate characters to ANSI character set"},
    {28, "raw", "pass report to printer without translation, allows you to embed 'escape' codes in your report file"},
};

const SourceEntry source_table[14] = {
    {1, "Upper"},          {2, "Lower"},         {3, "Middle"},          {4, "Manual"},
    {5, "Envelope"},       {6, "Manual Envelope"}, {7, "Automatic"},     {8, "Tractor"},
    {9, "Small format"},   {10, "Large format"}, {11, "Large capacity"}, {14, "Paper cassette"},
    {256, "User defined"}, {0, nullptr},
};

namespace {

enum OptionId : std::int32_t {
  kConfig = 0, kMode, kDisposition, kCopies, kNotify, kFormat, kBanner, kPriority, kDate,
  kUser, kPrinterName, kPrinterId, kPrinterCtl, kFormName, kFormId, kFormCtl, kOrientation,
  kCollate, kPitch, kFont, kRuler, kWidth, kLength, kInteractive, kSource, kLog, kOem,
  kAnsi, kRaw,
};

constexpr std::size_t kNameSize = sizeof(OptionEntry{}.name);

// How deep configuration files and list options may nest inside one another.
// A list option nests only as deep as its text allows, but a long argument could
// still exhaust the stack of the calling Java thread.
constexpr int kMaxConfigDepth = 16;
constexpr int kMaxListDepth = 16;
// Configuration files one option text may read, nested ones included. Files that
// each name others several times would otherwise multiply the reads level by
// level (three names a file, sixteen levels: 3^16 opens) and hold the caller for
// minutes or hours.
constexpr int kMaxConfigFiles = 64;

// A configuration file being read, and the one that named it.
struct OpenConfig {
  FileIdentity identity;
  bool known;  // false when the platform could not tell the identity
  const OpenConfig* outer;
  const char* path;
};

struct Nesting {
  int config = 0;                      // configuration files open around this option text
  int list = 0;                        // list options around this option text
  const OpenConfig* chain = nullptr;   // the innermost of them
  int* files_read = nullptr;           // configuration files read for the option text so far
};

// A name field need not hold a terminator: the search key takes the first 20 bytes
// of the option text as they are.
std::size_t NameLength(const char* name) {
  std::size_t n = 0;
  while (n < kNameSize && name[n] != '\0') ++n;
  return n;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Whole-text comparison that ignores the letter case of ASCII letters only.
bool EqualsIgnoreCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (AsciiLower(*a) != AsciiLower(*b)) return false;
  }
  return *a == *b;
}

// Reads a number like atoi (leading white space, sign, decimal digits; none: 0).
// Values beyond the 32-bit range are clamped to it, as the platform's own atoi does.
std::int32_t ReadNumber(const char* value) {
  long n = std::strtol(value, nullptr, 10);
  if (n > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (n < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(n);
}

// The low 16 bits of a number, as the 16-bit fields of the job keep it.
std::int16_t Low16(std::int32_t n) {
  const auto bits = static_cast<std::uint16_t>(static_cast<std::uint32_t>(n) & 0xFFFFu);
  return bits >= 0x8000u ? static_cast<std::int16_t>(static_cast<std::int32_t>(bits) - 0x10000)
                         : static_cast<std::int16_t>(bits);
}

// Reads a number like atof: leading white space, a sign, digits with an optional
// decimal point, an optional exponent; the text after it is ignored and no number
// gives 0.0. Only this decimal form counts: strtod alone would also take "0x1A",
// "inf" or "nan", which are no numbers here.
double ReadDecimal(const char* value) {
  const char* p = value;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  const char* const start = p;
  const auto skip_digits = [&p] {
    const char* const from = p;
    while (*p >= '0' && *p <= '9') ++p;
    return p != from;
  };
  if (*p == '+' || *p == '-') ++p;
  bool has_digits = skip_digits();
  if (*p == '.') {
    ++p;
    has_digits = skip_digits() || has_digits;
  }
  if (!has_digits) return 0.0;
  const char* end = p;
  if (*p == 'e' || *p == 'E') {
    ++p;
    if (*p == '+' || *p == '-') ++p;
    if (skip_digits()) end = p;  // an exponent without digits is not part of the number
  }
  return std::strtod(std::string(start, end).c_str(), nullptr);
}

// A paper length in tenths of a millimetre. An 'm' anywhere makes it millimetres,
// otherwise inches. The number is truncated toward zero; results beyond the 32-bit
// range are clamped.
std::int32_t ReadLength(const char* value) {
  const double factor =
      (std::strchr(value, 'm') != nullptr || std::strchr(value, 'M') != nullptr) ? 10.0 : 254.0;
  const double tenths = ReadDecimal(value) * factor;
  if (tenths >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (tenths <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(tenths);
}

// `wide`, when given, is `text` in UTF-16: the option came from Java, the
// command line or a Unicode configuration file, and the ANSI code page cannot
// spell all of it. `lead` is the character the text had in front of it.
void ParseOption(PrintJob& job, CallRecord& call, char* text, const std::u16string* wide, Nesting nesting,
                 char lead);

// The value of an option text: after its first '=' and the blanks that follow;
// a value that begins with a double quote loses it and its last character.
// `begin` and `end` index the text; false when the text has no '='.
template <class Char>
bool FindValue(std::basic_string_view<Char> text, std::size_t& begin, std::size_t& end) {
  const std::size_t eq = text.find(Char('='));
  if (eq == text.npos) return false;
  begin = eq + 1;
  end = text.size();
  while (begin < end && text[begin] == Char(' ')) ++begin;
  if (begin < end && text[begin] == Char('"')) {
    ++begin;
    if (begin < end) --end;  // the closing quote, or whatever ends the value
  }
  return true;
}

// The tokens of a list option's value, as [begin, end) pairs: blank-separated,
// with double quotes toggling a flag that keeps blanks inside a token (the flag
// is not reset between tokens).
template <class Char>
std::vector<std::pair<std::size_t, std::size_t>> ListTokens(std::basic_string_view<Char> value) {
  std::vector<std::pair<std::size_t, std::size_t>> tokens;
  bool in_quotes = false;
  std::size_t p = 0;
  for (;;) {
    while (p < value.size() && value[p] == Char(' ')) ++p;
    if (p == value.size()) return tokens;
    const std::size_t begin = p;
    while (p < value.size() && !(value[p] == Char(' ') && !in_quotes)) {
      if (value[p] == Char('"')) in_quotes = !in_quotes;
      ++p;
    }
    tokens.emplace_back(begin, p);
    if (p == value.size()) return tokens;
    ++p;
  }
}

// The UTF-16 forms of a list's `count` tokens, each without its lead character.
// Blanks and quotes are the same characters in both forms, so the UTF-16 form
// has the same tokens in the same order; empty when it has not, or when there is
// no UTF-16 form.
std::vector<std::u16string> WideTokens(std::size_t count, const std::u16string* wide) {
  std::vector<std::u16string> out;
  if (wide == nullptr) return out;
  const auto tokens = ListTokens(std::u16string_view(*wide));
  if (tokens.size() != count) return out;
  for (const auto& [begin, end] : tokens) out.push_back(wide->substr(begin + 1, end - begin - 1));
  return out;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit < 0xDC00; }

// The lines of a configuration file as option texts in the ANSI code page. A
// byte-order mark at its start (what Notepad and PowerShell write) makes it
// UTF-8 or UTF-16 text, little- or big-endian; without one its bytes are the
// code page's. A CR LF pair ends a line as an LF does.
class ConfigText {
 public:
  static constexpr std::size_t kPiece = 127;  // a longer line is taken in pieces of this size

  explicit ConfigText(std::FILE* file) : file_(file) {
    head_size_ = std::fread(head_, 1, sizeof head_, file_);
    if (head_size_ >= 3 && head_[0] == 0xEF && head_[1] == 0xBB && head_[2] == 0xBF) {
      form_ = Form::kUtf8;
      head_pos_ = 3;
    } else if (head_size_ >= 2 && head_[0] == 0xFF && head_[1] == 0xFE) {
      form_ = Form::kUtf16LE;
      head_pos_ = 2;
    } else if (head_size_ >= 2 && head_[0] == 0xFE && head_[1] == 0xFF) {
      form_ = Form::kUtf16BE;
      head_pos_ = 2;
    }
  }

  // How the file is read, for the trace: "UTF-8", "UTF-16LE", "UTF-16BE", or
  // null for the code page's bytes.
  const char* unicode() const {
    static const char* const kNames[] = {nullptr, "UTF-8", "UTF-16LE", "UTF-16BE"};
    return kNames[static_cast<int>(form_)];
  }

  // The next line, or the next piece of one longer than kPiece bytes (after a
  // mark, characters), without its LF. `line` may hold NUL bytes; `wide` is
  // the line in UTF-16 when the code page cannot spell it, empty otherwise.
  // False at the end of the file.
  bool Next(std::string& line, std::u16string& wide) {
    wide.clear();
    if (form_ == Form::kBytes) {
      line = ReadLine<std::string>(kPiece);
      if (line.empty()) return false;
      if (line.back() == '\n') line.pop_back();
      return true;
    }
    // The line is read on, a block at a time, while what is left of it could
    // not fill a piece: so a line is cut into the same pieces however long it is.
    while (rest_.size() < 2 * kPiece + 2 && (rest_.empty() || line_open_)) {
      const std::size_t had = rest_.size();
      rest_ += form_ == Form::kUtf8 ? Utf16FromModifiedUtf8(ReadLine<std::string>(kMaxLine))
                                    : ReadLine<std::u16string>(kMaxLine);
      line_open_ = rest_.size() > had && rest_.back() != u'\n' && !at_end_;
      if (rest_.size() == had) break;
    }
    if (rest_.empty()) return false;
    // A piece is what an ANSI file would give for the same text: at most
    // kPiece bytes in the code page, its LF included. A pair stays whole.
    const auto whole = [this](std::size_t n) {
      return n > 1 && n < rest_.size() && IsHighSurrogate(rest_[n - 1]) ? n - 1 : n;
    };
    std::size_t n = whole(rest_.size() < kPiece ? rest_.size() : kPiece);
    AnsiText ansi = AnsiFromUtf16(std::u16string_view(rest_).substr(0, n));
    while (ansi.bytes.size() > kPiece && n > 2) {
      n = whole(n - 1);
      ansi = AnsiFromUtf16(std::u16string_view(rest_).substr(0, n));
    }
    std::u16string piece = rest_.substr(0, n);
    rest_.erase(0, n);
    if (piece.back() == u'\n') {
      piece.pop_back();
      if (!ansi.bytes.empty() && ansi.bytes.back() == '\n') ansi.bytes.pop_back();
    }
    line = std::move(ansi.bytes);
    if (!ansi.exact) wide = std::move(piece);
    return true;
  }

 private:
  enum class Form { kBytes, kUtf8, kUtf16LE, kUtf16BE };
  // A line is read in blocks of this many bytes (units of UTF-16), each ending
  // between two characters.
  static constexpr std::size_t kMaxLine = 4096;
  static constexpr int kNone = -2;  // nothing given back (EOF is -1)

  // The next byte, or the next unit of a UTF-16 file (an odd last byte is
  // dropped); EOF at the end.
  int Get() {
    if (back_ != kNone) return std::exchange(back_, kNone);
    const auto byte = [this] { return head_pos_ < head_size_ ? head_[head_pos_++] : std::getc(file_); };
    const int a = byte();
    if (a == EOF || (form_ != Form::kUtf16LE && form_ != Form::kUtf16BE)) return a;
    const int b = byte();
    if (b == EOF) return EOF;
    return form_ == Form::kUtf16LE ? a | (b << 8) : (a << 8) | b;
  }

  // Up to `limit` bytes or units, through the first LF; in a Unicode file, on
  // to the end of a character that the limit would cut (a UTF-8 sequence, a
  // surrogate pair).
  template <class Text>
  Text ReadLine(std::size_t limit) {
    Text line;
    while (line.size() < limit || (form_ != Form::kBytes && InCharacter(line))) {
      int c = Get();
      if (c == EOF) {
        at_end_ = true;
        break;
      }
      if (c == '\r') {
        const int next = Get();
        if (next == '\n') {
          c = '\n';
        } else {
          back_ = next;
        }
      }
      line.push_back(static_cast<typename Text::value_type>(c));
      if (c == '\n') break;
    }
    return line;
  }

  std::FILE* file_;
  Form form_ = Form::kBytes;
  unsigned char head_[3] = {};
  std::size_t head_size_ = 0;
  std::size_t head_pos_ = 0;
  int back_ = kNone;
  // Whether the last character of `line` is a lead that wants more: a UTF-8
  // sequence begun, or a high surrogate.
  static bool InCharacter(const std::string& line) {
    std::size_t lead = line.size();
    while (lead > 0 && lead + 4 > line.size() && (line[lead - 1] & 0xC0) == 0x80) --lead;
    if (lead == 0) return false;
    const auto byte = static_cast<unsigned char>(line[lead - 1]);
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return line.size() - (lead - 1) < length;
  }
  static bool InCharacter(const std::u16string& line) { return !line.empty() && IsHighSurrogate(line.back()); }

  std::u16string rest_;     // what is left of the current line of a Unicode file
  bool line_open_ = false;  // rest_ ends before the end of its line: more of it is to be read
  bool at_end_ = false;     // the file has no more
};

// Tells the front end of a file left alone, after the trace.
void Refuse(const CallRecord& call, const std::string& text) {
  Trace("%s\n", text.c_str());
  if (call.on_refused != nullptr) call.on_refused(text.c_str());
}

// Applies every line of a configuration file. Each line (or each 127-byte piece of
// a longer line) starts with a lead character, like an argument, which is skipped.
void ReadConfigFile(PrintJob& job, CallRecord& call, const char* path, const std::u16string* wide_path,
                    Nesting nesting) {
  if (nesting.config >= kMaxConfigDepth) {
    Trace("Parse_Arg() config nesting too deep, skipping %s\n", path);
    return;
  }
  if (*nesting.files_read >= kMaxConfigFiles) {
    Trace("Parse_Arg() too many config files, skipping %s\n", path);
    return;
  }
  FilePtr file(OpenConfigFile(path, wide_path != nullptr ? wide_path->c_str() : nullptr));
  if (!file) return;
  // A file that is already being read further up, under whatever name, would
  // only start the same chain again.
  OpenConfig open{{}, false, nesting.chain, path};
  open.known = IdentifyFile(file.get(), open.identity);
  if (open.known && IsTraceFile(open.identity)) {
    // Every line read would be traced and then read again as the next line,
    // without end.
    Refuse(call, std::string(path) + " is the trace log: not read as a configuration file");
    return;
  }
  if (open.known) {
    call.files_read.push_back(open.identity);
    for (const OpenConfig* outer = nesting.chain; outer != nullptr; outer = outer->outer) {
      if (outer->known && outer->identity == open.identity) {
        Trace("Parse_Arg() config loop, skipping %s\n", path);
        return;
      }
    }
  }
  ++*nesting.files_read;
  ++nesting.config;
  nesting.chain = &open;
  ConfigText text(file.get());
  if (text.unicode() != nullptr) Trace("Parse_Arg() %s is %s text\n", path, text.unicode());
  std::string line;
  std::u16string wide;
  while (text.Next(line, wide)) {
    // The line may hold NUL bytes (its lead character among them): the option
    // text ends at the first after the lead. An empty line passes the empty text.
    line.push_back('\0');
    if (line.size() < 2) line.push_back('\0');
    // The lead character is one UTF-16 unit, or two for a pair.
    const std::size_t lead_units = wide.size() >= 2 && IsHighSurrogate(wide[0]) ? 2 : 1;
    std::u16string wide_text = wide.size() > lead_units ? wide.substr(lead_units) : std::u16string();
    ParseOption(job, call, &line[1], wide.empty() ? nullptr : &wide_text, nesting, line[0]);
  }
}

// Applies a blank-separated list of option texts, each with its lead character.
void ParseList(PrintJob& job, CallRecord& call, char* value, const std::u16string* wide, Nesting nesting) {
  if (*value == '\0') return;
  if (nesting.list >= kMaxListDepth) {
    Trace("Parse_Arg() list nesting too deep, skipping %s\n", value);
    return;
  }
  ++nesting.list;
  const auto tokens = ListTokens(std::string_view(value));
  const std::vector<std::u16string> wide_tokens = WideTokens(tokens.size(), wide);
  for (const auto& token : tokens) value[token.second] = '\0';
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    // Without its lead character: a one-character token passes the empty text.
    ParseOption(job, call, value + tokens[k].first + 1, wide_tokens.empty() ? nullptr : &wide_tokens[k], nesting,
                value[tokens[k].first]);
  }
}

void SetSource(PrintJob& job, const char* value) {
  for (const SourceEntry* s = source_table; s->name != nullptr; ++s) {
    if (EqualsIgnoreCase(s->name, value)) {
      job.source = Low16(s->id);
      break;
    }
  }
  // A number never replaces a bin that is already chosen; a bin name does.
  if (job.source == 0) job.source = Low16(ReadNumber(value));
}

void ApplyOption(PrintJob& job, CallRecord& call, std::int32_t id, char* value, const std::u16string* wide_value,
                 Nesting nesting) {
  switch (id) {
    case kConfig:
      job.config_path = value;  // kept even when the file cannot be read
      if (wide_value != nullptr) {
        job.config_path_wide = *wide_value;
      } else {
        job.config_path_wide.clear();
      }
      // The value, not config_path: a nested config line replaces config_path.
      ReadConfigFile(job, call, value, wide_value, nesting);
      break;
    case kDisposition:
      job.scratch = EqualsIgnoreCase(value, "scratch") ? 1 : 0;
      break;
    case kCopies:
      job.copies = ReadNumber(value);
      break;
    case kPrinterId:
      CopyField(job.printer_id, value);
      break;
    case kPrinterCtl:
    case kFormCtl:
      ParseList(job, call, value, wide_value, nesting);
      break;
    case kFormId:
      CopyField(job.form_id, value);
      break;
    case kOrientation:
      job.orientation = EqualsIgnoreCase(value, "Landscape") ? 2 : 1;
      break;
    case kCollate:
      // A bare "-collate" asks for collation.
      job.collate = (std::strcmp(value, kNoValueText) == 0 || EqualsIgnoreCase(value, "true")) ? '1' : '0';
      break;
    case kPitch:
      // "fit": the largest size at which the report fits the page, chosen when
      // it prints; any other value is a size in points, as always.
      job.pitch_fit = EqualsIgnoreCase(value, "fit") ? 1 : 0;
      job.pitch = job.pitch_fit ? 0 : Low16(ReadNumber(value));
      break;
    case kFont:
      CopyField(job.font, value);
      break;
    case kRuler:
      job.ruler = 1;
      break;
    case kWidth:
      job.paper_width = ReadLength(value);
      break;
    case kLength:
      job.paper_length = ReadLength(value);
      break;
    case kInteractive:
      if (EqualsIgnoreCase(value, "none")) job.quiet = 1;
      break;
    case kSource:
      SetSource(job, value);
      break;
    case kLog: {
      // The log file is emptied when it opens: never a file this call reads.
      FileIdentity identity;
      if (IdentifyPath(value, nullptr, identity) && call.Reads(identity)) {
        Refuse(call, std::string(value) + " is a report or configuration file of this call: not opened as the trace log");
      } else {
        OpenTraceFile(value);
      }
      break;
    }
    case kOem:
      job.oem = 1;
      break;
    case kAnsi:
      job.ansi = 1;
      break;
    case kRaw:
      job.raw = 1;
      break;
    default:  // accepted for compatibility, no effect
      break;
  }
}

void ParseOption(PrintJob& job, CallRecord& call, char* text, const std::u16string* wide, Nesting nesting,
                 char lead) {
  Trace("Parse_Arg(%s)\n", text);
  // An empty text would compare equal to every name and find whatever row the
  // search probes first; it names no option, so it is ignored.
  if (*text == '\0') return;
  const OptionEntry* option = FindOption(text);
  // The text as given: finding the value cuts a closing quote off it.
  const std::string given = call.on_option != nullptr ? text : "";
  const auto tell = [&](const char* value) {
    if (call.on_option == nullptr) return;
    const OptionSeen seen{lead, given.c_str(), option, value, nesting.chain != nullptr ? nesting.chain->path : nullptr};
    call.on_option(seen);
  };
  if (option == nullptr) {
    tell(nullptr);
    return;
  }

  // The value is used in place. The no-value text gets a writable copy, since a list
  // option cuts its value into tokens.
  char no_value[sizeof kNoValueText];
  std::memcpy(no_value, kNoValueText, sizeof kNoValueText);
  char* value = no_value;
  std::size_t begin = 0;
  std::size_t end = 0;
  std::u16string wide_value;
  bool has_wide = false;
  if (FindValue(std::string_view(text), begin, end)) {
    value = text + begin;
    value[end - begin] = '\0';
    Trace("Parse_Arg() val=[%s]\n", value);
    has_wide = wide != nullptr && FindValue(std::u16string_view(*wide), begin, end);
    if (has_wide) wide_value = wide->substr(begin, end - begin);
  }
  tell(value != no_value ? value : nullptr);
  ApplyOption(job, call, option->id, value, has_wide ? &wide_value : nullptr, nesting);
}

void CollectConfigFiles(const char* text, const std::u16string* wide, int depth, std::vector<NamedFile>& out) {
  if (*text == '\0' || depth > kMaxListDepth) return;
  const OptionEntry* option = FindOption(text);
  if (option == nullptr || (option->id != kConfig && option->id != kPrinterCtl && option->id != kFormCtl)) return;
  const std::string_view view(text);
  std::size_t begin = 0;
  std::size_t end = 0;
  if (!FindValue(view, begin, end)) {
    if (option->id == kConfig) out.push_back({kNoValueText, {}});
    return;
  }
  const std::string value(view.substr(begin, end - begin));
  std::u16string wide_value;
  if (wide != nullptr && FindValue(std::u16string_view(*wide), begin, end)) wide_value = wide->substr(begin, end - begin);
  if (option->id == kConfig) {
    out.push_back({value, wide_value});
    return;
  }
  const auto tokens = ListTokens(std::string_view(value));
  const std::vector<std::u16string> wide_tokens = WideTokens(tokens.size(), &wide_value);
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    const std::string token = value.substr(tokens[k].first + 1, tokens[k].second - tokens[k].first - 1);
    CollectConfigFiles(token.c_str(), wide_tokens.empty() ? nullptr : &wide_tokens[k], depth + 1, out);
  }
}

}  // namespace

int CompareOptionNames(const void* a, const void* b) {
  const char* name_a = static_cast<const OptionEntry*>(a)->name;
  const char* name_b = static_cast<const OptionEntry*>(b)->name;
  const std::size_t len_a = NameLength(name_a);
  const std::size_t len_b = NameLength(name_b);
  const std::size_t n = len_a < len_b ? len_a : len_b;
  for (std::size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(name_a[i]);
    const auto cb = static_cast<unsigned char>(name_b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return 0;
}

void SortOptionTable() {
  std::qsort(option_table, kOptionCount, sizeof(OptionEntry), CompareOptionNames);
}

const OptionEntry* FindOption(const char* text) {
  OptionEntry key{};
  std::memcpy(key.name, text, NameLength(text));  // the first 20 bytes, terminated or not

  // The probe order is fixed: it decides which row an abbreviation shared by
  // several names finds.
  int lo = 0;
  int count = kOptionCount;
  int hi = lo + count - 1;
  while (lo <= hi) {
    const int half = count / 2;
    if (half == 0) {
      if (count == 1 && CompareOptionNames(&key, &option_table[lo]) == 0) return &option_table[lo];
      return nullptr;
    }
    const bool odd = (count & 1) != 0;
    const int mid = odd ? lo + half : lo + half - 1;
    const int result = CompareOptionNames(&key, &option_table[mid]);
    if (result == 0) return &option_table[mid];
    if (result < 0) {
      hi = mid - 1;
      count = odd ? half : half - 1;
    } else {
      lo = mid + 1;
      count = half;
    }
  }
  return nullptr;
}

void Parse_Arg(PrintJob& job, CallRecord& call, char* text, const std::u16string* wide, char lead) {
  int files_read = 0;
  Nesting nesting;
  nesting.files_read = &files_read;
  ParseOption(job, call, text, wide, nesting, lead);
}

std::vector<NamedFile> ConfigFilesNamed(const char* text, const std::u16string* wide) {
  std::vector<NamedFile> files;
  CollectConfigFiles(text, wide, 0, files);
  return files;
}

}  // namespace quillet
