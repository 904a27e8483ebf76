// .tms1d and .tms3d: the program's own plain LUT texts, a two-line header and one sample per
// line without indices.
//
//   From 0.0 1.0              <- range of the input and of the sample values
//   Length 2                  <- entries (.tms1d) or points per axis (.tms3d); ends the header
//   0 0 0                     <- .tms1d: entry 0 (R G B)      .tms3d: node r=0 g=0 b=0
//   1 0.5 0.25                <- .tms1d: entry 1              .tms3d: node r=0 g=0 b=1
//   ...                       (.tms3d: size^3 lines, red index slowest, blue fastest)
//
// Lines before "Length" other than "From" are ignored. Samples are clamped to the From range
// and divided by its width. A "From" line with one number leaves the upper end at 1.
// .tms1d needs exactly Length sample lines (blank and non-numeric lines do not count).
// .tms3d takes one line per node: a blank or non-numeric line leaves its node zero, and a
// file that ends early leaves the remaining nodes zero (but one sample at least is needed).
// The writers print "From 0.0 1.0" and the "Length" line; .tms1d samples in the shortest
// general form, .tms3d samples in fixed notation.
//
// Read faithfully, as .spi1d's "From": the From range is the table's input domain and the
// samples are floats as written, nothing clamped.

#include <cmath>

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "lut/keywordline.h"
#include "lut/linereader.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace Formats {
const Faithful tmsFaithful = {Meaning::asRead, nullptr, nullptr, nullptr, true, {true, true}};
extern const Format tms1DFormat = withFaithful({
    "tms1d", Id::Tms1D, ".tms1d 塔姆索专用格式1D", "tms1d", false,
    memberReader<&Read_LUTFile::Read_TMS1D>, memberWriter<&Write_LUTFile::Write_TMS1D>, true,
    {true, true}, {true, true}}, &tmsFaithful);
extern const Format tms3DFormat = withFaithful({
    "tms3d", Id::Tms3D, ".tms3d 塔姆索专用格式3D", "tms3d", true,
    memberReader<&Read_LUTFile::Read_TMS3D>, memberWriter<&Write_LUTFile::Write_TMS3D>, true,
    {true, true}, {true, true}}, &tmsFaithful);
}

namespace {

// The "From" and "Length" header, shared by both formats. On success `size` holds the
// Length value, read 64 bits wide and not yet checked against the limits, and min/max the
// From range.
bool readHeader(Read_LUTFile &lut, LineReader &r, float *min, float *max, qint64 &size)
{
    while (r.nextNonEmpty()) {
        if (r.startsWith("From")) {
            float v[2] = {0.0f, max[0]};
            if (KeywordLine(r, "From ").floats(v, 2) < 1)
                continue;
            // The store divides by the width: an empty, inverted or unbounded range would
            // turn every sample into an infinity or a wrong sign.
            const float width = v[1] - v[0];
            if (!(width > 0.0f) || !std::isfinite(width))
                return lut.failAt(r, QStringLiteral("the From range %1 to %2 has no positive width")
                                         .arg(double(v[0]), 0, 'g', 6).arg(double(v[1]), 0, 'g', 6));
            for (int ch = 0; ch < 3; ++ch) {
                min[ch] = v[0];
                max[ch] = v[1];
            }
        } else if (r.startsWith("Length")) {
            if (KeywordLine(r, "Length ").longs(&size, 1) < 1)
                return lut.failAt(r, QStringLiteral("Length has no number"));
            return true;
        }
    }
    return lut.fail(QStringLiteral("no Length line"));
}

}

bool Read_LUTFile::Read_TMS1D(QString path, bool headerOnly)
{
    LineReader r;
    if (!openText(r, path))
        return false;
    applyDefaultOrder(Formats::tms1DFormat.readOrder);

    qint64 size = lut1DSize;
    if (!readHeader(*this, r, domainMin1D, domainMax1D, size) || !setSize1D(size, headerOnly, r.lineNumber()))
        return false;
    if (headerOnly)
        return true;

    // Every sample line is counted, but only the first Length ones are stored.
    float f[3] = {0.0f, 0.0f, 0.0f};
    int count = 0;
    int firstExtraLine = 0;
    while (r.nextNonEmpty()) {
        if (NumScan::scanFloats(r.data(), r.size(), f, 3) < 1)
            continue;
        if (count < lut1DSize)
            White1D(count, f[0], f[1], f[2], domainMin1D, domainMax1D);
        else if (firstExtraLine == 0)
            firstExtraLine = r.lineNumber();
        ++count;
    }
    resetUpperEnds();
    if (count > lut1DSize)
        return failAt(firstExtraLine, QStringLiteral("more than Length %1 sample lines (%2)").arg(lut1DSize).arg(count));
    if (count < lut1DSize)
        return failAt(r, QStringLiteral("only %1 sample lines for Length %2").arg(count).arg(lut1DSize));
    return true;
}

bool Read_LUTFile::Read_TMS3D(QString path, bool headerOnly)
{
    LineReader r;
    if (!openText(r, path))
        return false;
    applyDefaultOrder(Formats::tms3DFormat.readOrder);

    qint64 size = lut3DSize;
    if (!readHeader(*this, r, domainMin3D, domainMax3D, size) || !setSize3D(size, headerOnly, r.lineNumber()))
        return false;
    if (headerOnly)
        return true;

    // One line per node, blank or not; a short file leaves the remaining nodes zero.
    const int n = lut3DSize;
    float f[3] = {0.0f, 0.0f, 0.0f};
    bool more = true;
    bool stored = false;
    for (int i = 0; i < n && more; ++i)
        for (int j = 0; j < n && more; ++j)
            for (int k = 0; k < n && more; ++k) {
                more = r.next();
                if (more && !r.isEmpty() && NumScan::scanFloats(r.data(), r.size(), f, 3) >= 1) {
                    White3D(i, j, k, f[0], f[1], f[2], domainMin3D, domainMax3D);
                    stored = true;
                }
            }
    resetUpperEnds();
    // A short file is a table; a file without a single sample is not.
    if (!stored)
        return failAt(r, QStringLiteral("no sample lines after Length"));
    return true;
}

namespace {

void putHeader(TextWriter &out, int size)
{
    out.put("From 0.0 1.0");
    out.endLine();
    out.put("Length ");
    out.putInt(size);
    out.endLine();
}

}

bool Write_LUTFile::Write_TMS1D(QString path, Read_LUTFile &lut)
{
    TextWriter out;
    if (!openOutput(out, path))
        return false;
    putHeader(out, lut.lut1DSize);
    applyDefaultOrder(Formats::tms1DFormat.writeOrder);
    const int n = lut.allocated1DSize();
    for (int e = 0; e < n; ++e) {
        White1D(lut.lut1D, out, e, 1, " ");
        out.endLine();
    }
    return finish(out);
}

bool Write_LUTFile::Write_TMS3D(QString path, Read_LUTFile &lut)
{
    TextWriter out;
    if (!openOutput(out, path))
        return false;
    putHeader(out, lut.lut3DSize);
    applyDefaultOrder(Formats::tms3DFormat.writeOrder);
    writeLattice(out, lut, 1, " ");
    return finish(out);
}
