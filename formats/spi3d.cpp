// .spi3d: a text 3D LUT whose data lines name their own lattice node.
//
//   SPILUT 1.0                <- signature; lines before it are ignored, the version too
//   3 3                       <- input and output channel counts, which must agree
//   2 2 2                     <- lattice size per axis, which must agree
//   0 0 0 0.000000 0.000000 0.000000     <- red index, green index, blue index, R G B
//   0 0 1 0.000000 0.000000 1.000000
//   ...                       (any order; a node named twice keeps the later line)
//
// Nodes that no line names stay zero, but a file must name one at least. A line naming a
// node outside the lattice makes the file fail: it is damaged, and a table with that node
// silently missing would look valid. Fields a short line does not give keep the previous
// line's values. Values outside 0 to 1 are clamped. The writer lists every node, red index
// slowest, always as floats.

#include <QDebug>

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "lut/linereader.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace Formats {
// Read faithfully, the values are floats as written, unclamped; the writer prints them so.
const Faithful spi3DFaithful = {Meaning::asRead, nullptr, nullptr, nullptr, true, {true, true}};
extern const Format spi3DFormat = withFaithful({
    "spi3d", Id::Spi3D, ".spi3d", "spi3d", true,
    memberReader<&Read_LUTFile::Read_Spi3D>, memberWriter<&Write_LUTFile::Write_Spi3D>, true,
    {true, true}, {true, true}}, &spi3DFaithful);
}

namespace {

// "%d %d %d %f %f %f": the conversions made, -1 when the line ends before the first. The
// indices are read 64 bits wide, so that a huge one cannot wrap into the lattice.
int scanNodeLine(const LineReader &r, qint64 *index, float *value)
{
    NumScan::Cursor c{r.data(), r.data() + r.size()};
    NumScan::skipSpace(c);
    if (NumScan::atEnd(c))
        return -1;
    int done = 0;
    for (int i = 0; i < 3; ++i, ++done)
        if (!NumScan::readLong(c, index[i]))
            return done;
    for (int i = 0; i < 3; ++i, ++done)
        if (!NumScan::readFloat(c, value[i]))
            return done;
    return done;
}

// The next non-empty line on which `count` integers scan to at least one; missing ones are 0.
bool nextInts(LineReader &r, qint64 *out, int count)
{
    while (r.nextNonEmpty()) {
        for (int i = 0; i < count; ++i)
            out[i] = 0;
        if (NumScan::scanLongs(r.data(), r.size(), out, count) >= 1)
            return true;
    }
    return false;
}

}

bool Read_LUTFile::Read_Spi3D(QString path, bool headerOnly)
{
    LineReader r;
    if (!openText(r, path))
        return false;
    applyDefaultOrder(Formats::spi3DFormat.readOrder);

    bool signature = false;
    while (r.nextNonEmpty()) {
        if (r.startsWith("SPILUT")) {
            qDebug() << r.text();
            signature = true;
            break;
        }
    }
    if (!signature)
        return fail(QStringLiteral("no SPILUT line"));

    qint64 channels[2];
    if (!nextInts(r, channels, 2))
        return fail(QStringLiteral("no channel count line after SPILUT"));
    if (channels[0] != channels[1])
        return failAt(r, QStringLiteral("channel counts %1 and %2 differ").arg(channels[0]).arg(channels[1]));

    qint64 sizes[3];
    if (!nextInts(r, sizes, 3))
        return fail(QStringLiteral("no lattice size line"));
    if (sizes[0] != sizes[1] || sizes[1] != sizes[2])
        return failAt(r, QStringLiteral("lattice sizes %1, %2 and %3 differ").arg(sizes[0]).arg(sizes[1]).arg(sizes[2]));
    if (!setSize3D(sizes[0], headerOnly, r.lineNumber()))
        return false;
    if (headerOnly)
        return true;

    const int n = lut3DSize;
    qint64 index[3] = {0, 0, 0};
    float f[3] = {0.0f, 0.0f, 0.0f};
    bool named = false;
    while (r.nextNonEmpty()) {
        if (scanNodeLine(r, index, f) < 1)
            continue;
        named = true;
        for (int axis = 0; axis < 3; ++axis) {
            if (index[axis] < 0 || index[axis] >= n)
                return failAt(r, QStringLiteral("node (%1, %2, %3) is outside the %4-point lattice")
                                     .arg(index[0]).arg(index[1]).arg(index[2]).arg(n));
        }
        White3D(int(index[0]), int(index[1]), int(index[2]), f[0], f[1], f[2], domainMin3D, domainMax3D);
    }
    resetUpperEnds();
    if (!named)
        return failAt(r, QStringLiteral("no node lines after the lattice size"));
    return true;
}

bool Write_LUTFile::Write_Spi3D(QString path, Read_LUTFile &lut)
{
    TextWriter out;
    if (!openOutput(out, path))
        return false;
    out.put("SPILUT 1.0");
    out.endLine();
    out.put("3 3");
    out.endLine();
    for (int axis = 0; axis < 3; ++axis) {
        if (axis > 0)
            out.put(' ');
        out.putInt(lut.lut3DSize);
    }
    out.endLine();
    if (scale >= 2)
        scale = 1;
    applyDefaultOrder(Formats::spi3DFormat.writeOrder);

    const int n = lut.allocated3DSize();
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                out.putInt(i);
                out.put(' ');
                out.putInt(j);
                out.put(' ');
                out.putInt(k);
                out.put(' ');
                White3D(lut.lut3D, out, i, j, k, scale, " ");
                out.endLine();
            }
    return finish(out);
}
