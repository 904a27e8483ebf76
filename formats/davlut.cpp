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

#include <QDebug>
#include <QFileInfo>

#include "lut/linereader.h"
#include "lut/lutlimits.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/samplelines.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace {

// Shortest sample line: one number and a line end.
constexpr int minSampleLineBytes = 2;

bool isSkipped(const LineReader &r)
{
    return r.isEmpty() || r.first() == '#';
}

}

bool Read_LUTFile::Read_DavLut(QString path, bool headerOnly)
{
    LineReader r;
    if (!openText(r, path))
        return false;
    applyDefaultOrder(true, true);

    bool sizeFound = false;
    while (!sizeFound && r.next()) {
        if (isSkipped(r)) {
            if (!r.isEmpty())
                qDebug() << r.text();
            continue;
        }
        sizeFound = r.startsWith("3DLUTSIZE");
    }
    if (!sizeFound)
        return fail(QStringLiteral("no 3DLUTSIZE line"));
    const int sizeLine = r.lineNumber();
    QByteArray rest = r.line();
    rest.replace("3DLUTSIZE", "");
    // Read wide, so that a number beyond int is refused as too large rather than wrapped.
    NumScan::Cursor c{rest.constData(), rest.constData() + rest.size()};
    qint64 size = 0;
    if (!NumScan::readLong(c, size))
        return failAt(sizeLine, QStringLiteral("3DLUTSIZE has no number"));
    if (!LutLimits::valid3DSize(size))
        return failAt(sizeLine, QStringLiteral("3D size %1 is outside 1 to %2").arg(size).arg(LutLimits::max3DSize));
    const int n = int(size);
    if (headerOnly)
        return setSize3D(n, true, sizeLine);
    if (!LutLimits::textCanHoldLattice(QFileInfo(path).size(), n, minSampleLineBytes))
        return failAt(sizeLine, QStringLiteral("%1 nodes cannot fit in a file of %2 bytes")
                                    .arg(qint64(n) * n * n).arg(QFileInfo(path).size()));
    if (!setSize3D(n, false, sizeLine))
        return false;

    // Comment lines hold no leading number, so the shared sample-line walk passes them over.
    float f[3] = {0.0f, 0.0f, 0.0f};
    return SampleLines::fill3D(*this, r, domainMin3D, domainMax3D, f);
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
    applyDefaultOrder(true, true);
    writeLattice(out, lut, scale, " ");
    return finish(out);
}
