#ifndef FUZZUTIL_H
#define FUZZUTIL_H

#include <QString>

#include <cstddef>
#include <cstdint>

#include "lut/lutfile_st.h"

class Read_LUTFile;

// Shared pieces of the fuzz targets. Readers take a path, so every input is written to a
// scratch file of the fuzzing process first (in /dev/shm where there is one).
namespace FuzzUtil {

// Silence the readers' debug output and make the Qt application object image loading needs.
void init(int *argc, char ***argv);

// A path in the process's scratch folder.
QString scratchPath(const char *name);
bool writeScratch(const QString &path, const uint8_t *data, std::size_t size);

// The reading side from one flag byte: bit 0 header only, bit 1 the format's default order,
// bit 2 data order RGB, bit 3 table order RGB.
LUTFILE_ST side(int formatId, const QString &path, uint8_t flags);
inline bool headerOnly(uint8_t flags) { return flags & 1; }

// Report a broken invariant the way libFuzzer records a crash.
[[noreturn]] void fault(const char *what, int formatId, const QString &detail);

// The contract of every reader after a read that gave `ok`: a failure leaves a reason, a
// header-only read allocates nothing, a table has the size the model states, and a full read
// that succeeds holds a table.
void checkRead(const Read_LUTFile &lut, bool ok, bool headerOnly, int formatId);

}

#endif
