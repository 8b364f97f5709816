// Whether the library runs under Wine, where a few platform facts differ from
// Windows (the prefix's spool files, the volume serial numbers of files).
#ifndef QUILLET_PLATFORM_WINE_WIN32_H
#define QUILLET_PLATFORM_WINE_WIN32_H

namespace quillet {

// ntdll exports wine_get_version. Asked once per process.
bool RunningUnderWine();

}  // namespace quillet

#endif
