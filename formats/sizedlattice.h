#ifndef FORMATS_SIZEDLATTICE_H
#define FORMATS_SIZEDLATTICE_H

#include <QString>

#include "lut/read_lutfile.h"

// The reader of the plain lattice texts (.davlut, .itx): lines before the first line that
// begins with `keyword` are ignored; the number after the keyword is the lattice size, and
// size^3 lines of "R G B" follow, "#" and blank lines among them skipped. `own` is the
// format's own order.
bool readSizedLattice(Read_LUTFile &lut, const QString &path, bool headerOnly, const char *keyword,
                      const LutOrders &own);

#endif
