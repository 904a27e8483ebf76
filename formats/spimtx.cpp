// .spimtx, Sony Pictures Imageworks' matrix: twelve numbers, three rows of three coefficients
// and an offset, the offsets on a 16-bit scale (65535 is 1.0).
//
//   0.754338638 0.133697046 0.111968437 0          r' = 0.754 r + 0.134 g + 0.112 b + 0 / 65535
//   0.021198141 1.005410934 -0.026610548 0
//   -0.009756991 0.004508563 1.005253201 3276.75   b' = ... + 0.05
//
// The numbers may stand on any lines; anything other than twelve numbers is refused. Read
// faithfully the file is one Matrix node. Written, a transform of one matrix (a .spimtx, a
// CLF Matrix at any bit depths) becomes the file, the coefficients in the fewest digits that
// read back as the same floats and the offsets as exact products of 65535; a .spimtx holds no
// table, so anything else is refused.

#include <cmath>

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "lut/linereader.h"
#include "lut/numformat.h"
#include "lut/numscan.h"
#include "lut/textwriter.h"

namespace {

constexpr double offsetScale = 65535.0;

bool endsToken(const NumScan::Cursor &c)
{
    return c.p == c.end || *c.p == ' ' || *c.p == '\t' || *c.p == '\0';
}

bool spimtxRead(const QString &path, const LUTFILE_ST &, const Formats::Options &, LutTransform &out, QString *why)
{
    LineReader r;
    if (!r.open(path)) {
        *why = r.errorString();
        return false;
    }
    QString failure;
    r.reportFailuresTo(&failure);
    auto node = std::make_shared<Ops::Matrix>(1);
    int count = 0;
    while (r.next()) {
        NumScan::Cursor c{r.data(), r.data() + r.size()};
        for (NumScan::skipSpace(c); !NumScan::atEnd(c); NumScan::skipSpace(c)) {
            const char *start = c.p;
            // Coefficients as floats; offsets as doubles, so that their division by the scale
            // is rounded once.
            const bool isOffset = count % 4 == 3;
            float f = 0.0f;
            double d = 0.0;
            const bool read = isOffset ? NumScan::readDouble(c, d) : NumScan::readFloat(c, f);
            if (!read || !endsToken(c)) {
                const char *stop = start;
                while (stop < c.end && *stop != ' ' && *stop != '\t')
                    ++stop;
                *why = QStringLiteral("line %1: \"%2\" is not a number").arg(r.lineNumber()).arg(QString::fromUtf8(start, int(stop - start)));
                return false;
            }
            if (count == 12) {
                *why = QStringLiteral("line %1: more than 12 numbers (a .spimtx holds three rows of three coefficients and an offset)")
                           .arg(r.lineNumber());
                return false;
            }
            if (!(isOffset ? std::isfinite(d) : std::isfinite(f))) {
                *why = QStringLiteral("line %1: %2 is not a finite number").arg(r.lineNumber()).arg(isOffset ? d : double(f));
                return false;
            }
            node->m[count / 4][count % 4] = isOffset ? float(d / offsetScale) : f;
            ++count;
        }
    }
    if (!failure.isEmpty()) {
        *why = failure;
        return false;
    }
    if (count < 12) {
        *why = QStringLiteral("holds %1 numbers, not the 12 of three rows of three coefficients and an offset").arg(count);
        return false;
    }
    out = LutTransform();
    out.addNode(node);
    return true;
}

bool readSpimtx(Read_LUTFile &lut, const QString &path, bool headerOnly, const Formats::Options &options)
{
    LutTransform t;
    QString why;
    if (!spimtxRead(path, LUTFILE_ST(), options, t, &why))
        return lut.fail(why);
    return Formats::Meaning::fillModel(t, lut, headerOnly, options);
}

bool refuseTable(Write_LUTFile &writer, const QString &, Read_LUTFile &, const Formats::Options &)
{
    writer.errorString = QStringLiteral("a .spimtx file holds a 3x4 matrix, not a table");
    return false;
}

const Ops::Matrix *onlyMatrix(const LutTransform &t)
{
    return t.steps().size() == 1 ? dynamic_cast<const Ops::Matrix *>(t.steps().front().node.get()) : nullptr;
}

bool spimtxHolds(const LutTransform &t, const Formats::Options &)
{
    return onlyMatrix(t) != nullptr;
}

bool spimtxWrite(Write_LUTFile &writer, const QString &path, const LutTransform &t, const Formats::Options &)
{
    const Ops::Matrix *m = onlyMatrix(t);
    if (!m) {
        writer.errorString = QStringLiteral("a .spimtx file holds one matrix; this LUT is not one");
        return false;
    }
    TextWriter out;
    if (!writer.openOutput(out, path))
        return false;
    // The node works on values in its bit depths: the file's coefficients take both scales in.
    const double gain = double(m->inScale) / double(m->outScale);
    char buf[32];
    for (const auto &row : m->m) {
        for (int col = 0; col < 3; ++col) {
            out.put(buf, int(NumFormat::shortest(buf, float(double(row[col]) * gain)) - buf));
            out.put(' ');
        }
        out.put(QString::number(double(row[3]) / double(m->outScale) * offsetScale, 'g', 17));
        out.endLine();
    }
    return writer.finish(out);
}

}

namespace Formats {
const Faithful spimtxFaithful = {nullptr, spimtxRead, spimtxWrite, spimtxHolds, true, {true, true},
                                 "one 3x4 matrix (a .spimtx, or a CLF Matrix)"};
extern const Format spimtxFormat = withFaithful({"spimtx", Id::None, ".spimtx matrix", "spimtx", true, readSpimtx,
                                                 refuseTable, false, {true, true}, {true, true}}, &spimtxFaithful);
}
