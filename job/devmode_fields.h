// Writing a print job's settings into a printer device mode, and carrying the
// settings of one device mode over to another printer's. Templates over the
// device-mode type: any struct with the member names of DEVMODEA will do, so the
// rules are built for Windows on DEVMODEA and tested natively on a stand-in.
#ifndef QUILLET_JOB_DEVMODE_FIELDS_H
#define QUILLET_JOB_DEVMODE_FIELDS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "job/paper_sizes.h"
#include "job/print_job.h"

namespace quillet {

// dmFields bits: which members of a device mode are set.
constexpr std::uint32_t kDmOrientation = 0x1;
constexpr std::uint32_t kDmPaperSize = 0x2;
constexpr std::uint32_t kDmPaperLength = 0x4;
constexpr std::uint32_t kDmPaperWidth = 0x8;
constexpr std::uint32_t kDmScale = 0x10;
constexpr std::uint32_t kDmCopies = 0x100;
constexpr std::uint32_t kDmDefaultSource = 0x200;
constexpr std::uint32_t kDmCollate = 0x8000;
constexpr std::uint32_t kDmFormName = 0x10000;

constexpr std::int16_t kDmPaperUser = 256;
constexpr std::int16_t kDmCollateFalse = 0;
constexpr std::int16_t kDmCollateTrue = 1;

// Device modes of this version or older have neither a form name nor collation.
constexpr unsigned kDmVersionWithoutForms = 0x30A;

// Job values wider than a device-mode member keep their low 16 bits.
inline std::int16_t Low16(std::int32_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value)));
}

// Writes the job into the device mode. dmFields afterwards lists exactly the
// settings of this job; members the job does not set keep their values. The
// paper is chosen among the papers the printer lists (null: not known; see
// ChoosePaper), and returned.
template <class DevMode>
PaperChoice WriteJobSettings(DevMode& dm, const PrintJob& job, const std::vector<PrinterPaper>* listed = nullptr) {
  dm.dmFields = 0;
  if (job.copies != 1) {
    dm.dmCopies = Low16(job.copies);
    dm.dmFields = kDmCopies;
  }
  if (job.orientation != 0) dm.dmOrientation = job.orientation;
  dm.dmFields |= kDmOrientation;
  if (job.source != 0) {
    dm.dmDefaultSource = job.source;
    dm.dmFields |= kDmDefaultSource;
  }
  if (job.paper_width != 0) {
    dm.dmPaperWidth = Low16(job.paper_width);
    dm.dmPaperSize = kDmPaperUser;
    dm.dmFields |= kDmPaperSize | kDmPaperWidth;
  }
  if (job.paper_length != 0) {
    dm.dmPaperLength = Low16(job.paper_length);
    dm.dmPaperSize = kDmPaperUser;
    dm.dmFields |= kDmPaperSize | kDmPaperLength;
  }
  // A named form wins over a size; a size alone may still be a known paper.
  const PaperChoice paper = ChoosePaper(job.form_id, job.paper_width, job.paper_length, listed);
  if (paper.asked && paper.id == kUserPaper) {
    dm.dmPaperSize = kDmPaperUser;
    dm.dmPaperWidth = Low16(paper.width);
    dm.dmPaperLength = Low16(paper.length);
    dm.dmFields |= kDmPaperSize | kDmPaperWidth | kDmPaperLength;
  } else if (paper.asked) {
    dm.dmPaperSize = paper.id;
    dm.dmFields = (dm.dmFields & ~(kDmPaperLength | kDmPaperWidth)) | kDmPaperSize;
  }
  // The form name and collation members exist only in later device modes; a
  // device mode whose dmSize stops short of them does not get them either.
  const std::size_t forms_end = offsetof(DevMode, dmFormName) + sizeof dm.dmFormName;
  if (dm.dmSpecVersion > kDmVersionWithoutForms && dm.dmSize >= forms_end) {
    // The form named; or, when the printer had to be given another paper in
    // its place, that paper's name (none for a user size or a paper the table
    // does not know), so that the name does not ask for the paper again.
    const char* form = job.form_id[0] != '\0' ? job.form_id : nullptr;
    const PaperSize* named = form != nullptr ? FindPaperByName(form) : nullptr;
    if (named != nullptr && paper.asked && paper.id != named->id) {
      const PaperSize* given = paper.id == kUserPaper ? nullptr : FindPaperById(paper.id);
      form = given != nullptr ? given->name : nullptr;
    }
    if (form != nullptr) {
      std::size_t i = 0;
      for (; i + 1 < sizeof dm.dmFormName && form[i] != '\0'; ++i)
        dm.dmFormName[i] = static_cast<unsigned char>(form[i]);
      for (; i < sizeof dm.dmFormName; ++i) dm.dmFormName[i] = 0;
      dm.dmFields |= kDmFormName;
    }
    // A job without the collate option holds a zero byte here, which switches
    // collation off like '0'.
    if (job.collate != ' ') {
      dm.dmCollate = job.collate == '1' ? kDmCollateTrue : kDmCollateFalse;
      dm.dmFields |= kDmCollate;
    }
  }
  return paper;
}

// Carries the settings that `source` marks as set over to `target`, another
// printer's device mode. Paper source, form name, quality, colour and duplex
// stay the target printer's own.
template <class DevMode>
void MergeDevMode(DevMode& target, const DevMode& source) {
  const auto fields = source.dmFields;
  if (fields & kDmOrientation) {
    target.dmOrientation = source.dmOrientation;
    target.dmFields |= kDmOrientation;
  }
  if (fields & kDmPaperSize) {
    // A paper id replaces any user size or form name of the target.
    target.dmPaperSize = source.dmPaperSize;
    target.dmFields = (target.dmFields | kDmPaperSize) & ~(kDmPaperLength | kDmPaperWidth | kDmFormName);
  } else {
    if (fields & kDmPaperLength) {
      target.dmPaperLength = source.dmPaperLength;
      target.dmFields |= kDmPaperLength;
    }
    if (fields & kDmPaperWidth) {
      target.dmPaperWidth = source.dmPaperWidth;
      target.dmFields |= kDmPaperWidth;
    }
  }
  if (fields & kDmScale) {
    target.dmScale = source.dmScale;
    target.dmFields |= kDmScale;
  }
  if (fields & kDmCopies) {
    target.dmCopies = source.dmCopies;
    target.dmFields |= kDmCopies;
  }
  // A device mode whose dmSize stops short of dmCollate (68 bytes, the size of
  // the oldest ones) has no such member: none is read from it or written to it.
  const std::size_t collate_end = offsetof(DevMode, dmCollate) + sizeof source.dmCollate;
  if ((fields & kDmCollate) && source.dmSize >= collate_end && target.dmSize >= collate_end) {
    target.dmCollate = source.dmCollate;
    target.dmFields |= kDmCollate;
  }
}

}  // namespace quillet

#endif
