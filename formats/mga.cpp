// .mga / .m3d: a text 3D LUT with a keyword header and one numbered line per node.
//
//   #HEADER                        <- "#" lines are comments
//   channel 3d                     <- anything but "3d" (a 1D file) is refused
//   in 35937                       <- number of nodes: a 33-point lattice
//   out 4096                       <- samples 0 to 4095; "out 1" means float samples 0 to 1
//   format lut
//   values red green blue          <- the samples follow
//   0 0 0 0                        <- node 0: r=0 g=0 b=0
//   1 0 0 130                      <- node 1: r=0 g=0 b=1: blue runs fastest, red slowest
//   ...                            (size^3 lines: running number, R, G, B)
//
// The running number is not used: the lines are taken in file order, and lines that do not
// hold exactly four fields are skipped. The writer prints its own fixed header, "out 1" with
// float samples, or "out" scale + 1 with integer samples of value * scale.
//
// Read faithfully, samples are the codes "out" counts, divided by the top code (out - 1), or
// floats as written with "out 1"; nothing is clamped (pandora_3d.m3d's 306 of "out 256" stays
// above 1).

#include <QDebug>

#include <cmath>
#include <limits>

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "lut/keywordline.h"
#include "lut/linereader.h"
#include "lut/lutlimits.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/samplelines.h"
#include "lut/textfields.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace Formats {
// The plain writer prints floats under "out 1", unclamped.
const Faithful mgaFaithful = {Meaning::codesOverDomain, nullptr, nullptr, nullptr, true, {true, true}};
extern const Format mgaFormat = withFaithful({
    "mga", Id::Mga, ".mga .m3d pandora", "mga m3d", true,
    memberReader<&Read_LUTFile::Read_Mga>, memberWriter<&Write_LUTFile::Write_Mga>, true,
    {true, true}, {true, true}}, &mgaFaithful);
}

namespace {

// Shortest sample line: "0 0 0 0" and a line end.
constexpr int minSampleLineBytes = 8;

// The number left when the keyword and all white space are removed ("in 35 937" gives 35937).
bool keywordLong(const LineReader &r, const char *keyword, qint64 &value)
{
    const QByteArray rest = KeywordLine(r, keyword).squeezed();
    NumScan::Cursor c{rest.constData(), rest.constData() + rest.size()};
    return NumScan::readLong(c, value);
}

}

bool Read_LUTFile::Read_Mga(QString path, bool headerOnly)
{
    LineReader r;
    if (!openText(r, path))
        return false;
    applyDefaultOrder(Formats::mgaFormat.readOrder);

    const auto failed = [this](int line, const QString &why) {
        resetUpperEnds();
        return failAt(line, why);
    };

    int sizeLine = 0;
    bool values = false;
    while (!values && r.next()) {
        if (r.isEmpty() || r.first() == '#')
            continue;
        if (r.startsWith("channel")) {
            const QByteArray kind = KeywordLine(r, "channel").squeezed();
            if (kind != "3d")
                return failed(r.lineNumber(), QStringLiteral("channel \"%1\" is not 3d").arg(QString::fromUtf8(kind)));
        } else if (r.startsWith("format")) {
            qDebug() << r.text();
        } else if (r.startsWith("values")) {
            values = true;
        } else if (r.startsWith("in")) {
            qint64 count = 0;
            if (!keywordLong(r, "in", count))
                return failed(r.lineNumber(), QStringLiteral("in has no number"));
            if (count < 1)
                return failed(r.lineNumber(), QStringLiteral("in %1 is not a node count").arg(count));
            // The nearest whole cube root: 4900 nodes are read as a 17-point lattice.
            const double root = std::floor(std::cbrt(double(count)) + 0.5);
            if (root > LutLimits::max3DSize)
                return failed(r.lineNumber(), QStringLiteral("in %1 makes a lattice of %2 points, more than %3")
                                                  .arg(count).arg(root).arg(LutLimits::max3DSize));
            setSize3D(int(root), true, r.lineNumber());
            sizeLine = r.lineNumber();
        } else if (r.startsWith("out")) {
            qint64 v = 0;
            if (!keywordLong(r, "out", v))
                return failed(r.lineNumber(), QStringLiteral("out has no number"));
            // "out" counts the sample codes: 4096 gives 0 to 4095, 1 gives floats 0 to 1.
            if (v < 1)
                return failed(r.lineNumber(), QStringLiteral("out %1 gives no sample range").arg(v));
            const float top = float(v > 1 ? v - 1 : v);
            for (int ch = 0; ch < 3; ++ch) {
                domainMin3D[ch] = 0.0f;
                domainMax3D[ch] = top;
            }
        } else {
            qDebug() << r.text();
        }
    }

    if (lut3DSize < 1)
        return failed(0, QStringLiteral("no in line: the lattice size is unknown"));
    if (headerOnly) {
        resetUpperEnds();
        return true;
    }
    if (!values)
        return failed(r.lineNumber(), QStringLiteral("no values line before the samples"));
    const int n = lut3DSize;
    const qint64 nodes = qint64(n) * n * n;
    if (!LutLimits::textCanHoldLattice(r.textBytes(), n, minSampleLineBytes))
        return failed(sizeLine, QStringLiteral("%1 nodes cannot fit in a file of %2 bytes").arg(nodes).arg(r.textBytes()));
    if (!setSize3D(n, false, sizeLine)) {
        resetUpperEnds();
        return false;
    }

    // Numbers a line does not give keep the previous line's values.
    double v[4] = {0.0, 0.0, 0.0, 0.0};
    auto next = [&](float *sample) {
        while (r.next()) {
            // Four numbers: the common line, read in one pass. Otherwise a line of four
            // fields is a sample when at least its first number converts.
            if (TextFields::readNumberFields(r.data(), r.size(), v, 4)
                || (!r.isEmpty() && r.first() != '#' && TextFields::count(r.data(), r.size()) == 4
                    && NumScan::scanDoubles(r.data(), r.size(), v, 4) >= 1)) {
                sample[0] = float(v[1]);
                sample[1] = float(v[2]);
                sample[2] = float(v[3]);
                return true;
            }
        }
        return false;
    };
    float sample[3];
    const bool ok = SampleLines::fillLattice(*this, r, next, domainMin3D, domainMax3D, sample);
    resetUpperEnds();
    return ok;
}

bool Write_LUTFile::Write_Mga(QString path, Read_LUTFile &lut)
{
    TextWriter out;
    if (!openOutput(out, path))
        return false;
    static const char *const header[] = {
        "#HEADER", "#type: 3D cube file", "#format: 1.00", "#created:", "#owner: tamsori", "#END", "", "channel\t3d",
    };
    for (const char *line : header) {
        out.put(line);
        out.endLine();
    }
    out.put("in ");
    out.putInt(qint64(lut.lut3DSize) * lut.lut3DSize * lut.lut3DSize);
    out.endLine();
    // Float samples (any scale below 2) span 0 to 1; integer samples 0 to scale.
    if (scale < 2) {
        out.put("out\t1");
    } else {
        out.put("out ");
        out.putInt(scale < std::numeric_limits<qint64>::max() ? scale + 1 : scale);
    }
    out.endLine();
    out.endLine();
    out.put("format lut");
    out.endLine();
    out.endLine();
    out.put("values\tred\tgreen\tblue");
    out.endLine();

    applyDefaultOrder(Formats::mgaFormat.writeOrder);
    const int n = lut.allocated3DSize();
    qint64 number = 0;
    for (int outer = 0; outer < n; ++outer)
        for (int middle = 0; middle < n; ++middle)
            for (int inner = 0; inner < n; ++inner) {
                out.putInt(number++);
                out.put('\t');
                White3D(lut.lut3D, out, outer, middle, inner, scale, "\t");
                out.endLine();
            }
    return finish(out);
}
