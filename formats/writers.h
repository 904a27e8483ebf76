#ifndef FORMATS_WRITERS_H
#define FORMATS_WRITERS_H

#include <QString>

#include "formats/registry.h"

class Read_LUTFile;
class Write_LUTFile;

// Writers of the formats outside the numeric writing dispatch, and the Hald image format.
// Each writes what its format's reader reads back into the same lattice, within the format's
// quantisation; values the format cannot hold (outside 0 to 1) are clamped first. They take
// the writer object's order flags like every writer, and record a failure in its errorString.
namespace Formats {

// .3dl: the "3DMESH" / "Mesh" form (lattices of 2^n + 1 points) at options.bits 8 to 16
// (12 when 0), or with options.headerless the form of a mesh-point line 0 ... 1023 and
// samples only, for any lattice of 2 or at least 4 points.
bool Write_3dl(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Options &options);
bool Write_Look(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Options &options);
// .csp: a 3D lattice, or the 1D table of a model without one, behind identity pre-LUTs.
bool Write_Csp(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Options &options);
bool Write_Cub(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Options &options);
// Images (.png at options.bits 8 or 16, 8 when 0; .tif/.tiff at 16, or 8 when asked): the
// texture of a 16, 64 or 256-point lattice, and the unwrapped cube of any lattice.
bool Write_Texture(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Options &options);
bool Write_IUC(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Options &options);

// Hald CLUT images of level L (2 to 16): a square L^3 pixels a side holding an L^2-point
// lattice, the red index fastest, then green, then blue, row after row.
bool Read_Hald(Read_LUTFile &lut, const QString &path, bool headerOnly, const Options &options);
bool Write_Hald(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Options &options);
extern const Format haldFormat;

// The Hald level whose lattice has n points (n = L^2), or 0 when n is no level square.
int haldLevelForSize(int n);

// Whether a headerless .3dl of this lattice at `bits` would be read back to the same values.
// Without a "Mesh" line the reader takes the sample range from the largest sample, so a dark
// lattice (largest sample below half the range) would be read brighter.
bool headerless3dlReadsBack(const Read_LUTFile &lut, int bits);
// The depth in bits at which the faithful reading takes a headerless .3dl of this lattice
// written at `bits` (0: the writer's default, put in `written`), from its largest code: the
// written depth when it reads back as written, 0 when its codes read as floats (none above 1).
int headerless3dlReadBits(const Read_LUTFile &lut, int bits, int *written);

}

#endif
