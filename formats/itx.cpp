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

#include <QDebug>

#include "lut/linereader.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace {

bool isSkipped(const LineReader &r)
{
    return r.isEmpty() || r.first() == '#';
}

}

bool Read_LUTFile::Read_Itx(QString path, bool headerOnly)
{
    LineReader r;
    if (!openText(r, path))
        return false;
    applyDefaultOrder(true, false);

    // Header: everything up to the first size line is ignored; that line ends the header
    // whether or not it holds a number.
    bool sizeLine = false;
    while (r.next()) {
        if (r.first() == '#') {
            qDebug() << r.text();
            continue;
        }
        if (!r.startsWith("LUT_3D_SIZE"))
            continue;
        sizeLine = true;
        QByteArray rest = r.line();
        rest.replace("LUT_3D_SIZE", "");
        int n = 0;
        if (NumScan::scanInts(rest.constData(), rest.size(), &n, 1) < 1)
            return failAt(r, QStringLiteral("LUT_3D_SIZE has no number"));
        if (!setSize3D(n, headerOnly, r.lineNumber()))
            return false;
        break;
    }
    if (!sizeLine)
        return fail(QStringLiteral("no LUT_3D_SIZE line"));
    if (headerOnly)
        return true;

    const int n = lut3DSize;
    float f[3] = {0.0f, 0.0f, 0.0f};
    for (int outer = 0; outer < n; ++outer) {
        for (int middle = 0; middle < n; ++middle) {
            for (int inner = 0; inner < n; ++inner) {
                bool got = false;
                while (r.next()) {
                    if (isSkipped(r) || NumScan::scanFloats(r.data(), r.size(), f, 3) < 1)
                        continue;
                    got = true;
                    break;
                }
                if (!got) {
                    for (float &m : domainMax3D)
                        m = 1.0f;
                    // One missing last node is tolerated; a lattice without any sample (a
                    // one-point lattice whose only line is missing) is not a table.
                    const qint64 filled = (qint64(outer) * n + middle) * n + inner;
                    if (outer == n - 1 && middle == n - 1 && inner == n - 1 && filled > 0)
                        return true;
                    return failAt(r, QStringLiteral("the lattice ends after %1 of %2 samples")
                                         .arg(filled).arg(qint64(n) * n * n));
                }
                White3D(outer, middle, inner, f[0], f[1], f[2], domainMin3D, domainMax3D);
            }
        }
    }
    for (float &m : domainMax3D)
        m = 1.0f;
    return true;
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
    applyDefaultOrder(true, false);
    writeLattice(out, lut, scale, " ");
    return finish(out);
}
