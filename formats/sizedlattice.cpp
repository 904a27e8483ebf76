#include "formats/sizedlattice.h"

#include <QDebug>

#include "lut/keywordline.h"
#include "lut/linereader.h"
#include "lut/lutlimits.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/samplelines.h"

namespace {

// Shortest sample line: one number and a line end.
constexpr int minSampleLineBytes = 2;

bool isSkipped(const LineReader &r)
{
    return r.isEmpty() || r.first() == '#';
}

}

bool readSizedLattice(Read_LUTFile &lut, const QString &path, bool headerOnly, const char *keyword,
                      const LutOrders &own)
{
    LineReader r;
    if (!lut.openText(r, path))
        return false;
    lut.applyDefaultOrder(own);

    // Everything up to the first size line is ignored; that line ends the header.
    bool sizeFound = false;
    while (!sizeFound && r.next()) {
        if (isSkipped(r)) {
            if (!r.isEmpty())
                qDebug() << r.text();
            continue;
        }
        sizeFound = r.startsWith(keyword);
    }
    if (!sizeFound)
        return lut.fail(QStringLiteral("no %1 line").arg(QLatin1String(keyword)));
    const int sizeLine = r.lineNumber();
    // Read wide, so that a number beyond int is refused as too large rather than wrapped.
    const KeywordLine sizeText(r, keyword);
    NumScan::Cursor c = sizeText.cursor();
    qint64 size = 0;
    if (!NumScan::readLong(c, size))
        return lut.failAt(sizeLine, QStringLiteral("%1 has no number").arg(QLatin1String(keyword)));
    const qint64 fileBytes = r.textBytes();
    if (!headerOnly && LutLimits::valid3DSize(size)
        && !LutLimits::textCanHoldLattice(fileBytes, int(size), minSampleLineBytes))
        return lut.failAt(sizeLine, QStringLiteral("%1 nodes cannot fit in a file of %2 bytes")
                                        .arg(size * size * size).arg(fileBytes));
    if (!lut.setSize3D(size, headerOnly, sizeLine))
        return false;
    if (headerOnly)
        return true;

    // Comment lines hold no leading number, so the shared sample-line walk passes them over.
    float f[3] = {0.0f, 0.0f, 0.0f};
    return SampleLines::fill3DInParts(lut, r, lut.domainMin3D, lut.domainMax3D, f);
}
