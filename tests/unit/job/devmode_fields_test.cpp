#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "job/devmode_fields.h"
#include "job/paper_sizes.h"

namespace quillet {
namespace {

// The members of a printer device mode that the settings code touches, under
// their Windows names and widths.
struct TestDevMode {
  unsigned char dmDeviceName[32];
  std::uint16_t dmSpecVersion;
  std::uint16_t dmSize;
  std::uint32_t dmFields;
  std::int16_t dmOrientation;
  std::int16_t dmPaperSize;
  std::int16_t dmPaperLength;
  std::int16_t dmPaperWidth;
  std::int16_t dmScale;
  std::int16_t dmCopies;
  std::int16_t dmDefaultSource;
  std::int16_t dmCollate;
  unsigned char dmFormName[32];
};

// A device mode whose members all hold recognisable values, so a test sees
// which of them a write touched.
TestDevMode Filled(std::uint16_t version = 0x401) {
  TestDevMode dm{};
  dm.dmSpecVersion = version;
  dm.dmSize = sizeof(TestDevMode);
  dm.dmFields = 0xFFFFFFFF;
  dm.dmOrientation = 7;
  dm.dmPaperSize = 77;
  dm.dmPaperLength = 1111;
  dm.dmPaperWidth = 2222;
  dm.dmScale = 55;
  dm.dmCopies = 9;
  dm.dmDefaultSource = 44;
  dm.dmCollate = 33;
  std::memcpy(dm.dmFormName, "Old form", 9);
  return dm;
}

std::string FormName(const TestDevMode& dm) {
  return std::string(reinterpret_cast<const char*>(dm.dmFormName), strnlen(reinterpret_cast<const char*>(dm.dmFormName), 32));
}

// ---- the paper table ----------------------------------------------------------

TEST(PaperSizes, HoldsTheFortyOneRowsInOrderThenATerminator) {
  struct Row {
    int id;
    const char* name;
    double width, length;
  };
  const Row expected[] = {
      {16, "10 by 14 sheet", 254, 355.6},  {17, "11 by 17 sheet", 279.4, 431.8},
      {8, "A3", 297, 420},                 {9, "A4", 210, 297},
      {10, "A4 small", 210, 297},          {11, "A5", 148, 210},
      {12, "B4", 250, 354},                {13, "B5", 182, 257},
      {24, "C", 431.8, 558.8},             {25, "D", 558.8, 863.6},
      {20, "#10 envelope", 104.775, 241.3}, {21, "#11 envelope", 114.3, 263.525},
      {22, "#12 envelope", 120.65, 279.4}, {23, "#14 envelope", 127, 292.1},
      {19, "#9 envelope", 98.425, 225.425}, {33, "B4 envelope", 250, 353},
      {34, "B5 envelope", 176, 250},       {35, "B6 envelope", 176, 125},
      {29, "C3 envelope", 324, 458},       {30, "C4 envelope", 229, 324},
      {28, "C5 envelope", 162, 229},       {31, "C6 envelope", 114, 162},
      {32, "C65 envelope", 114, 229},      {27, "DL envelope", 110, 220},
      {36, "Italy envelope", 110, 230},    {37, "Monarch envelope", 98.425, 190.5},
      {38, "6 3/4 envelope", 92.075, 165.1}, {26, "E", 863.6, 1117.6},
      {7, "Executive", 184.15, 266.7},     {41, "German legal fanfold", 215.9, 330.2},
      {40, "German standard fanfold", 215.9, 304.8}, {39, "U.S. standard fanfold", 376.555, 279.4},
      {14, "Folio", 215.9, 330.2},         {4, "Ledger", 431.8, 279.4},
      {5, "Legal", 215.9, 355.6},          {1, "Letter", 215.9, 279.4},
      {2, "Letter small", 215.9, 279.4},   {18, "Note", 215.9, 279.4},
      {15, "Quarto", 215, 275},            {6, "Statement", 139.7, 215.9},
      {3, "Tabloid", 279.4, 431.8},
  };
  static_assert(sizeof expected / sizeof expected[0] == kPaperSizeCount);
  std::set<int> ids;
  for (int i = 0; i < kPaperSizeCount; ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(paper_sizes[i].id, expected[i].id);
    ASSERT_NE(paper_sizes[i].name, nullptr);
    EXPECT_STREQ(paper_sizes[i].name, expected[i].name);
    EXPECT_DOUBLE_EQ(paper_sizes[i].width_mm, expected[i].width);
    EXPECT_DOUBLE_EQ(paper_sizes[i].length_mm, expected[i].length);
    ids.insert(paper_sizes[i].id);
  }
  EXPECT_EQ(ids.size(), 41u);  // the platform ids 1 to 41, each once
  EXPECT_EQ(*ids.begin(), 1);
  EXPECT_EQ(*ids.rbegin(), 41);
  EXPECT_EQ(paper_sizes[kPaperSizeCount].id, 0);
  EXPECT_EQ(paper_sizes[kPaperSizeCount].name, nullptr);
  EXPECT_EQ(paper_sizes[kPaperSizeCount].width_mm, 0.0);
  EXPECT_EQ(paper_sizes[kPaperSizeCount].length_mm, 0.0);
}

TEST(PaperSizes, FormNamesMatchIgnoringAsciiCaseOnly) {
  const struct {
    const char* form;
    int id;  // 0: no row
  } cases[] = {
      {"A4", 9},           {"a4", 9},          {"LETTER SMALL", 2}, {"letter", 1},
      {"#10 ENVELOPE", 20}, {"6 3/4 envelope", 38}, {"u.s. standard fanfold", 39},
      {"A4 ", 0},          {"A", 0},           {"", 0},             {"Letter smal", 0},
      {"A4\xE9", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.form);
    const PaperSize* row = FindPaperByName(c.form);
    if (c.id == 0) {
      EXPECT_EQ(row, nullptr);
    } else {
      ASSERT_NE(row, nullptr);
      EXPECT_EQ(row->id, c.id);
    }
  }
}

TEST(PaperSizes, EveryRowsOwnSizeFindsTheFirstRowOfThatSize) {
  for (int i = 0; i < kPaperSizeCount; ++i) {
    const PaperSize& row = paper_sizes[i];
    SCOPED_TRACE(row.name);
    const PaperSize* found = FindPaperBySize(PaperTenths(row.width_mm), PaperTenths(row.length_mm));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->width_mm, row.width_mm);
    EXPECT_EQ(found->length_mm, row.length_mm);
    for (const PaperSize* earlier = paper_sizes; earlier != found; ++earlier)
      EXPECT_FALSE(earlier->width_mm == row.width_mm && earlier->length_mm == row.length_mm) << earlier->name;
  }
}

TEST(PaperSizes, SizeMatchRule) {
  const struct {
    const char* what;
    std::int32_t width, length;
    int id;  // 0: no row
  } cases[] = {
      {"8.5i x 11i: Letter, Letter small and Note share it; Letter is first", 2159, 2794, 1},
      {"210 x 297 mm: A4 and A4 small; A4 is first", 2100, 2970, 9},
      {"8.27i x 11.69i truncated to 2100 x 2969", 2100, 2969, 9},
      {"11i x 17i: 11 by 17 sheet and Tabloid; 11 by 17 sheet is first", 2794, 4318, 17},
      {"8.5i x 13i: German legal fanfold and Folio; German legal fanfold is first", 2159, 3302, 41},
      {"#10 envelope 104.775 mm rounds to 1048; 4.125i truncates to 1047", 1047, 2413, 20},
      {"#10 envelope given in millimetres", 1048, 2413, 20},
      {"#9 envelope 98.425 x 225.425 mm", 984, 2254, 19},
      {"Monarch 98.425 x 190.5 mm", 984, 1905, 37},
      {"U.S. standard fanfold 376.555 mm rounds to 3766", 3765, 2794, 39},
      {"one tenth off on both sides still matches", 2101, 2971, 9},
      {"two tenths off does not", 2102, 2970, 0},
      {"landscape Letter is not Letter", 2794, 2159, 0},
      {"Ledger is a paper of its own in landscape order", 4318, 2794, 4},
      {"B6 envelope is stored wider than long", 1760, 1250, 35},
      {"an unknown size", 1000, 1000, 0},
      {"huge sizes do not overflow", INT32_MAX, INT32_MIN, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const PaperSize* row = FindPaperBySize(c.width, c.length);
    if (c.id == 0) {
      EXPECT_EQ(row, nullptr) << row->name;
    } else {
      ASSERT_NE(row, nullptr);
      EXPECT_EQ(row->id, c.id) << row->name;
    }
  }
}

TEST(PaperSizes, ThePaperAskedForIsOneThePrinterHas) {
  // A printer that lists A4, Letter and Legal (ids 9, 1, 5) and a paper of its own.
  const std::vector<PrinterPaper> listed = {{9, 2100, 2970}, {266, 2159, 2794}, {1, 2159, 2794}, {5, 2159, 3556},
                                            {300, 1000, 1500}};
  const std::vector<PrinterPaper> letter_last = {{18, 2159, 2794}, {2, 2159, 2794}, {1, 2159, 2794}};
  const struct {
    const char* what;
    const char* form;
    std::int32_t width, length;
    const std::vector<PrinterPaper>* listed;
    bool asked;
    std::int16_t id;
    std::int32_t width_given, length_given;
  } cases[] = {
      {"Letter by size", "", 2159, 2794, &listed, true, 1, 2159, 2794},
      {"of the rows of one size, the first the printer lists", "", 2159, 2794, &letter_last, true, 18, 2159, 2794},
      {"without a list, the first row", "", 2159, 2794, nullptr, true, 1, 2159, 2794},
      {"Note by name: the listed Letter of its size, before the driver's own paper", "Note", 0, 0, &listed, true, 1,
       2159, 2794},
      {"A4 small by name: A4", "a4 small", 0, 0, &listed, true, 9, 2100, 2970},
      {"a listed paper by name", "Legal", 0, 0, &listed, true, 5, 2159, 3556},
      {"A3, unlisted and no paper of its size: a user size", "A3", 0, 0, &listed, true, kUserPaper, 2970, 4200},
      {"a size within 1 mm of a listed paper of the printer's own", "", 1009, 1491, &listed, true, 300, 1009, 1491},
      {"a size of no paper", "", 1234, 2345, &listed, true, kUserPaper, 1234, 2345},
      {"without a list, the paper as asked", "Note", 0, 0, nullptr, true, 18, 2159, 2794},
      {"a form the table does not know asks for nothing", "Custom", 2159, 2794, &listed, false, 0, 0, 0},
      {"a width alone asks for nothing", "", 2159, 0, &listed, false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const PaperChoice choice = ChoosePaper(c.form, c.width, c.length, c.listed);
    EXPECT_EQ(choice.asked, c.asked);
    EXPECT_EQ(choice.id, c.id);
    if (c.asked) {
      EXPECT_EQ(choice.width, c.width_given);
      EXPECT_EQ(choice.length, c.length_given);
    }
  }
  EXPECT_EQ(PaperText(ChoosePaper("Note", 0, 0, &listed)), "Letter");
  EXPECT_EQ(PaperText(ChoosePaper("A3", 0, 0, &listed)), "user size 297.0 x 420.0 mm");
  EXPECT_EQ(AskedPaperText("", 2159, 2794), "215.9 x 279.4 mm");

  // In the device mode: the paper given, and its name in place of the one asked.
  PrintJob job;
  CopyField(job.form_id, "Note");
  TestDevMode dm = Filled(0x400);
  WriteJobSettings(dm, job, &listed);
  EXPECT_EQ(dm.dmPaperSize, 1);
  EXPECT_EQ(FormName(dm), "Letter");
  CopyField(job.form_id, "A3");
  dm = Filled(0x400);
  WriteJobSettings(dm, job, &listed);
  EXPECT_EQ(dm.dmPaperSize, 256);
  EXPECT_EQ(dm.dmPaperWidth, 2970);
  EXPECT_EQ(dm.dmPaperLength, 4200);
  EXPECT_EQ(dm.dmFields & (kDmPaperSize | kDmPaperWidth | kDmPaperLength | kDmFormName),
            kDmPaperSize | kDmPaperWidth | kDmPaperLength);
}

// ---- writing a job into the device mode -------------------------------------

TEST(WriteJobSettings, DefaultJobSetsOnlyOrientationAndCollation) {
  PrintJob job;  // copies 1, portrait, no collate option
  TestDevMode dm = Filled();
  WriteJobSettings(dm, job);
  EXPECT_EQ(dm.dmFields, kDmOrientation | kDmCollate);
  EXPECT_EQ(dm.dmOrientation, 1);
  EXPECT_EQ(dm.dmCopies, 9);
  EXPECT_EQ(dm.dmDefaultSource, 44);
  EXPECT_EQ(dm.dmPaperSize, 77);
  EXPECT_EQ(dm.dmPaperWidth, 2222);
  EXPECT_EQ(dm.dmPaperLength, 1111);
  EXPECT_EQ(dm.dmScale, 55);
  EXPECT_EQ(dm.dmCollate, kDmCollateFalse);  // the zero byte is not a blank
  EXPECT_EQ(FormName(dm), "Old form");
}

TEST(WriteJobSettings, Copies) {
  const struct {
    std::int32_t copies;
    std::int16_t member;
    bool bit;
  } cases[] = {{1, 9, false}, {3, 3, true}, {0, 0, true}, {-2, -2, true}, {65539, 3, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.copies);
    PrintJob job;
    job.copies = c.copies;
    TestDevMode dm = Filled(0x30A);
    WriteJobSettings(dm, job);
    EXPECT_EQ(dm.dmCopies, c.member);
    EXPECT_EQ(dm.dmFields, (c.bit ? kDmCopies : 0) | kDmOrientation);
  }
}

TEST(WriteJobSettings, OrientationZeroKeepsTheMemberButSetsTheBit) {
  for (std::int16_t orientation : {0, 1, 2}) {
    SCOPED_TRACE(orientation);
    PrintJob job;
    job.orientation = orientation;
    TestDevMode dm = Filled(0x30A);
    WriteJobSettings(dm, job);
    EXPECT_EQ(dm.dmOrientation, orientation == 0 ? 7 : orientation);
    EXPECT_EQ(dm.dmFields, kDmOrientation);
  }
}

TEST(WriteJobSettings, Source) {
  PrintJob job;
  job.source = 4;
  TestDevMode dm = Filled(0x30A);
  WriteJobSettings(dm, job);
  EXPECT_EQ(dm.dmDefaultSource, 4);
  EXPECT_EQ(dm.dmFields, kDmOrientation | kDmDefaultSource);
}

TEST(WriteJobSettings, UserSizes) {
  const struct {
    const char* what;
    std::int32_t width, length;
    std::int16_t paper, member_width, member_length;
    std::uint32_t fields;
  } cases[] = {
      {"width only", 1000, 0, 256, 1000, 1111, kDmOrientation | 0xA},
      {"length only", 0, 1000, 256, 2222, 1000, kDmOrientation | 0x6},
      {"both, no known paper", 1000, 1500, 256, 1000, 1500, kDmOrientation | 0xE},
      {"both, a known paper", 2100, 2970, 9, 2100, 2970, kDmOrientation | kDmPaperSize},
      {"both, landscape A4 stays a user size", 2970, 2100, 256, 2970, 2100, kDmOrientation | 0xE},
      {"wider than 16 bits keeps the low 16", 70000, 0, 256, 4464, 1111, kDmOrientation | 0xA},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PrintJob job;
    job.paper_width = c.width;
    job.paper_length = c.length;
    TestDevMode dm = Filled(0x30A);
    WriteJobSettings(dm, job);
    EXPECT_EQ(dm.dmPaperSize, c.paper);
    EXPECT_EQ(dm.dmPaperWidth, c.member_width);
    EXPECT_EQ(dm.dmPaperLength, c.member_length);
    EXPECT_EQ(dm.dmFields, c.fields);
  }
}

TEST(WriteJobSettings, FormNames) {
  const struct {
    const char* what;
    const char* form;
    std::int32_t width, length;
    std::int16_t paper;
    std::uint32_t fields;  // on a 0x30A device mode
  } cases[] = {
      {"a form in other letter case", "a4", 0, 0, 9, kDmOrientation | kDmPaperSize},
      {"capitals", "LETTER SMALL", 0, 0, 2, kDmOrientation | kDmPaperSize},
      {"a form clears the size bits the job's sizes set", "Legal", 1000, 1500, 5, kDmOrientation | kDmPaperSize},
      {"an unknown form leaves the user size", "Custom", 1000, 1500, 256, kDmOrientation | 0xE},
      {"an unknown form and no size change nothing", "Custom", 0, 0, 77, kDmOrientation},
      {"a named form is not looked up by size", "Custom", 2100, 2970, 256, kDmOrientation | 0xE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PrintJob job;
    CopyField(job.form_id, c.form);
    job.paper_width = c.width;
    job.paper_length = c.length;
    TestDevMode dm = Filled(0x30A);
    WriteJobSettings(dm, job);
    EXPECT_EQ(dm.dmPaperSize, c.paper);
    EXPECT_EQ(dm.dmFields, c.fields);
    if (c.width != 0) {
      EXPECT_EQ(dm.dmPaperWidth, c.width);  // the members keep the job's values
      EXPECT_EQ(dm.dmPaperLength, c.length);
    }
    EXPECT_EQ(FormName(dm), "Old form");  // 0x30A: no form name
  }
}

TEST(WriteJobSettings, FormNameAndCollationOnlyAboveVersion30A) {
  const struct {
    std::uint16_t version;
    const char* form;
    char collate;
    std::uint32_t extra_fields;
    const char* form_name;
    std::int16_t collate_member;
  } cases[] = {
      {0x30A, "A4", '1', 0, "Old form", 33},
      {0x300, "Custom", '0', 0, "Old form", 33},
      {0x30B, "A4", '1', kDmFormName | kDmCollate, "A4", 1},
      {0x401, "Custom", '0', kDmFormName | kDmCollate, "Custom", 0},
      {0x401, "", '\0', kDmCollate, "Old form", 0},
      {0x401, "", '1', kDmCollate, "Old form", 1},
      {0x401, "", ' ', 0, "Old form", 33},
      {0x401, "", 'x', kDmCollate, "Old form", 0},
      {0x401, "0123456789012345678901234567890", '1', kDmFormName | kDmCollate,
       "0123456789012345678901234567890", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.version) + " " + c.form + " collate " + std::to_string(c.collate));
    PrintJob job;
    CopyField(job.form_id, c.form);
    job.collate = c.collate;
    TestDevMode dm = Filled(c.version);
    WriteJobSettings(dm, job);
    EXPECT_EQ(FormName(dm), c.form_name);
    EXPECT_EQ(dm.dmCollate, c.collate_member);
    const PaperSize* known = FindPaperByName(c.form);
    EXPECT_EQ(dm.dmFields, kDmOrientation | (known != nullptr ? kDmPaperSize : 0) | c.extra_fields);
  }
}

TEST(WriteJobSettings, ShortFormNameOverwritesTheWholeOldOne) {
  PrintJob job;
  CopyField(job.form_id, "B5");
  TestDevMode dm = Filled();
  WriteJobSettings(dm, job);
  for (std::size_t i = 2; i < sizeof dm.dmFormName; ++i) EXPECT_EQ(dm.dmFormName[i], 0) << i;
}

TEST(WriteJobSettings, DeviceModeTooShortForFormsGetsNeither) {
  PrintJob job;
  CopyField(job.form_id, "A4");
  job.collate = '1';
  TestDevMode dm = Filled(0x401);
  dm.dmSize = offsetof(TestDevMode, dmFormName);
  WriteJobSettings(dm, job);
  EXPECT_EQ(dm.dmFields, kDmOrientation | kDmPaperSize);
  EXPECT_EQ(dm.dmCollate, 33);
  EXPECT_EQ(FormName(dm), "Old form");
}

// ---- carrying settings over to another printer ------------------------------

TEST(MergeDevMode, CopiesExactlyTheMarkedMembers) {
  const struct {
    const char* what;
    std::uint32_t source_fields;
    std::uint32_t target_fields_before;
    std::uint32_t target_fields_after;
    bool orientation, paper, length, width, scale, copies, collate;  // members copied
  } cases[] = {
      {"nothing marked", 0, 0x5, 0x5, false, false, false, false, false, false, false},
      {"orientation", kDmOrientation, 0, kDmOrientation, true, false, false, false, false, false, false},
      {"paper size drops the target's user size and form name", kDmPaperSize,
       kDmPaperLength | kDmPaperWidth | kDmFormName | kDmCopies, kDmPaperSize | kDmCopies,
       false, true, false, false, false, false, false},
      {"paper size wins over the source's own length and width", kDmPaperSize | kDmPaperLength | kDmPaperWidth,
       0, kDmPaperSize, false, true, false, false, false, false, false},
      {"length alone", kDmPaperLength, kDmFormName, kDmPaperLength | kDmFormName,
       false, false, true, false, false, false, false},
      {"width alone", kDmPaperWidth, 0, kDmPaperWidth, false, false, false, true, false, false, false},
      {"length and width", kDmPaperLength | kDmPaperWidth, 0, kDmPaperLength | kDmPaperWidth,
       false, false, true, true, false, false, false},
      {"scale", kDmScale, 0, kDmScale, false, false, false, false, true, false, false},
      {"copies", kDmCopies, 0, kDmCopies, false, false, false, false, false, true, false},
      {"collate", kDmCollate, 0, kDmCollate, false, false, false, false, false, false, true},
      {"source, form name and others are not carried", kDmDefaultSource | kDmFormName | 0x400 | 0x800 | 0x1000,
       0, 0, false, false, false, false, false, false, false},
      {"everything", 0xFFFFFFFF, 0x80000000,
       0x80000000 | kDmOrientation | kDmPaperSize | kDmScale | kDmCopies | kDmCollate,
       true, true, false, false, true, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TestDevMode source{};
    source.dmSize = sizeof source;
    source.dmFields = c.source_fields;
    source.dmOrientation = 2;
    source.dmPaperSize = 9;
    source.dmPaperLength = 3000;
    source.dmPaperWidth = 2000;
    source.dmScale = 50;
    source.dmCopies = 4;
    source.dmDefaultSource = 15;
    source.dmCollate = 1;
    std::memcpy(source.dmFormName, "Source form", 12);
    TestDevMode target = Filled();
    target.dmFields = c.target_fields_before;
    const TestDevMode before = target;
    MergeDevMode(target, source);
    EXPECT_EQ(target.dmFields, c.target_fields_after);
    EXPECT_EQ(target.dmOrientation, c.orientation ? 2 : before.dmOrientation);
    EXPECT_EQ(target.dmPaperSize, c.paper ? 9 : before.dmPaperSize);
    EXPECT_EQ(target.dmPaperLength, c.length ? 3000 : before.dmPaperLength);
    EXPECT_EQ(target.dmPaperWidth, c.width ? 2000 : before.dmPaperWidth);
    EXPECT_EQ(target.dmScale, c.scale ? 50 : before.dmScale);
    EXPECT_EQ(target.dmCopies, c.copies ? 4 : before.dmCopies);
    EXPECT_EQ(target.dmCollate, c.collate ? 1 : before.dmCollate);
    EXPECT_EQ(target.dmDefaultSource, before.dmDefaultSource);
    EXPECT_EQ(FormName(target), "Old form");
  }
}

TEST(MergeDevMode, CollationOnlyBetweenDeviceModesThatHaveIt) {
  const std::uint16_t without = offsetof(TestDevMode, dmCollate);
  for (auto sizes : {std::pair<std::uint16_t, std::uint16_t>{without, sizeof(TestDevMode)},
                     std::pair<std::uint16_t, std::uint16_t>{sizeof(TestDevMode), without}}) {
    TestDevMode source = Filled();
    source.dmSize = sizes.first;
    source.dmFields = kDmCollate | kDmCopies;
    source.dmCollate = 1;
    TestDevMode target = Filled();
    target.dmSize = sizes.second;
    target.dmFields = 0;
    MergeDevMode(target, source);
    EXPECT_EQ(target.dmFields, kDmCopies);
    EXPECT_EQ(target.dmCollate, 33);
  }
}

}  // namespace
}  // namespace quillet
