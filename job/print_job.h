// The options of one print call: which printer, form, paper, font and options the
// reports of that call are printed with. Filled by Parse_Arg, read by printer
// selection, the report reader and the print driver. What the call keeps while
// it runs besides (the report at hand, files read, listeners) is its record
// (call_record.h).
#ifndef QUILLET_JOB_PRINT_JOB_H
#define QUILLET_JOB_PRINT_JOB_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillet {

// Field order and sizes follow the job record the rest of the system knows.
struct PrintJob {
  std::string config_path;            // last `config` file named (owned copy); empty: none
  std::uint8_t scratch = 0;           // delete report (and config file) after printing
  std::uint8_t ruler = 0;             // print a ruler on each page
  char printer_id[100] = {};          // printer name; empty: the current printer
  char form_id[32] = {};              // form name; empty: none
  std::int32_t copies = 1;
  std::int32_t paper_width = 0;       // tenths of a millimetre; 0: not given
  std::int32_t paper_length = 0;      // tenths of a millimetre; 0: not given
  std::int16_t orientation = 1;       // 1 portrait, 2 landscape
  std::int16_t pitch = 0;             // font size in points; 0: the printer's own
  char font[32] = {};                 // face name; empty: the printer's current face
  char collate = 0;                   // '1', '0', or 0 when no collate option was given
  std::int16_t source = 0;            // paper bin; 0: not given
  std::uint8_t oem = 0;               // translate printed text to the OEM set
  std::uint8_t ansi = 0;              // translate printed text to the ANSI set
  std::uint8_t raw = 0;               // pass text through to the printer untranslated
  std::uint8_t quiet = 0;             // show no windows while printing

  // config_path in UTF-16 when the option that named it came from Java, the
  // command line or a Unicode configuration file and the ANSI code page cannot
  // spell it; empty otherwise.
  std::u16string config_path_wide;
  // -pitch=fit: the font size is chosen when the report prints, the largest at
  // which it fits the page (pitch is then 0).
  std::uint8_t pitch_fit = 0;
};

// Copies `value` into a fixed text field, cut to fit with its terminator.
template <std::size_t N>
void CopyField(char (&field)[N], const char* value) {
  std::size_t i = 0;
  for (; i + 1 < N && value[i] != '\0'; ++i) field[i] = value[i];
  field[i] = '\0';
}

}  // namespace quillet

#endif
