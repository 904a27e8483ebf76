// .itx: a text 3D LUT, a size line and one line of three floats per lattice node.
//
//   # comment                 <- "#" lines and blank lines are skipped everywhere
//   LUT_3D_SIZE 2             <- the first line beginning with LUT_3D_SIZE ends the header
//   0.0 0.0 0.0               <- node r=0 g=0 b=0: red runs fastest, blue slowest
//   1.0 0.0 0.0               <- r=1 g=0 b=0
//   0.0 1.0 0.0               <- r=0 g=1 b=0
//   ...                       (size^3 lines of R G B, nominal range 0 to 1)
//
// Other header lines are ignored. A node line that gives fewer than three numbers keeps the
// previous line's later values; a line whose first number does not parse is skipped. A file
// may lack its last node (left at zero), but no more, and needs one node at least. Values
// outside 0 to 1 are clamped.
// The writer prints "LUT_3D_SIZE n" and the lattice, always as floats.
//
// Read faithfully, the values are floats as written, nothing clamped.

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "formats/sizedlattice.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace Formats {
const Faithful itxFaithful = {Meaning::asRead, nullptr, nullptr, nullptr, true, {true, false}};
extern const Format itxFormat = withFaithful({
    "itx", Id::Itx, ".itx", "itx", true,
    memberReader<&Read_LUTFile::Read_Itx>, memberWriter<&Write_LUTFile::Write_Itx>, true,
    {true, false}, {true, false}}, &itxFaithful);
}

bool Read_LUTFile::Read_Itx(QString path, bool headerOnly)
{
    return readSizedLattice(*this, path, headerOnly, "LUT_3D_SIZE", Formats::itxFormat.readOrder);
}

bool Write_LUTFile::Write_Itx(QString path, Read_LUTFile &lut)
{
    TextWriter out;
    if (!openOutput(out, path))
        return false;
    out.put("LUT_3D_SIZE ");
    out.putInt(lut.lut3DSize);
    out.endLine();
    if (scale >= 2)
        scale = 1;
    applyDefaultOrder(Formats::itxFormat.writeOrder);
    writeLattice(out, lut, scale, " ");
    return finish(out);
}
