#ifndef FUZZUTIL_H
#define FUZZUTIL_H

#include <QString>

#include <cstddef>
#include <cstdint>

#include "formats/registry.h"
#include "lut/lutfile_st.h"

// Shared pieces of the fuzz targets. Readers take a path, so every input is written to a
// scratch file of the fuzzing process first (in /dev/shm where there is one).
namespace FuzzUtil {

// Silence the readers' debug output and make the Qt application object image loading needs.
void init(int *argc, char ***argv);

// A path in the process's scratch folder.
QString scratchPath(const char *name);
bool writeScratch(const QString &path, const uint8_t *data, std::size_t size);

// The format a reading target fuzzes: the registry name after "fuzz_read_" in the program's
// name (run.sh links fuzz_read_cube and so on to the one fuzz_read), else the variable
// LUTWRIGHT_FUZZ_FORMAT. Ends the process when it names no readable format.
const Formats::Format &targetFormat(const char *program);

// The reading side from one flag byte: bit 0 header only, bit 1 the format's default order,
// bit 2 data order RGB, bit 3 table order RGB.
LUTFILE_ST side(const Formats::Format &format, const QString &path, uint8_t flags);
inline bool headerOnly(uint8_t flags) { return flags & 1; }

// Report a broken invariant the way libFuzzer records a crash.
[[noreturn]] void fault(const char *what, const Formats::Format &format, const QString &detail);

}

#endif
