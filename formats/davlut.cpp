// .davlut: a DaVinci text 3D LUT, a size line and one line of three floats per node.
//
//   # Authors: tamsori             <- "#" lines are comments; other lines before the size
//                                     line are ignored
//   3DLUTSIZE 2                    <- lattice size; the samples follow
//   0.000000 0.000000 0.000000     <- node r=0 g=0 b=0
//   0.000000 0.000000 1.000000     <- r=0 g=0 b=1: blue runs fastest, red slowest
//   ...                            (size^3 lines of R G B, floats 0 to 1)
//
// A sample line with fewer than three numbers keeps the previous line's values for the
// channels it lacks. The writer always prints floats, whatever integer scale it is given.
//
// Read faithfully, the values are floats as written, nothing clamped.

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "formats/sizedlattice.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace Formats {
const Faithful davLutFaithful = {Meaning::asRead, nullptr, nullptr, nullptr, true, {true, true}};
extern const Format davLutFormat = withFaithful({
    "davlut", Id::DavLut, ".davLut 3DLut", "davlut", true,
    memberReader<&Read_LUTFile::Read_DavLut>, memberWriter<&Write_LUTFile::Write_DavLut>, true,
    {true, true}, {true, true}}, &davLutFaithful);
}

bool Read_LUTFile::Read_DavLut(QString path, bool headerOnly)
{
    return readSizedLattice(*this, path, headerOnly, "3DLUTSIZE", Formats::davLutFormat.readOrder);
}

bool Write_LUTFile::Write_DavLut(QString path, Read_LUTFile &lut)
{
    TextWriter out;
    if (!openOutput(out, path))
        return false;
    out.put("# Authors: tamsori");
    out.endLine();
    out.endLine();
    out.put("3DLUTSIZE ");
    out.putInt(lut.lut3DSize);
    out.endLine();
    // This format holds floats only.
    if (scale >= 2)
        scale = 1;
    applyDefaultOrder(Formats::davLutFormat.writeOrder);
    writeLattice(out, lut, scale, " ");
    return finish(out);
}
