// .spi1d: a keyword header, then one sample per line between "{" and "}".
//
//   Version 1
//   From 0.0 1.0      <- range of the sample values: each is clamped to it and divided by
//                        its width (upper - lower)
//   Length 2          <- entries
//   Components 3      <- values per line: 1 (the value serves R, G and B), 2 (blue is 0) or 3
//   {
//           0 0 0
//           1 1 1
//   }
//
// Keywords are case-sensitive and must start the line; other header lines are ignored. The
// format's own order stores each line's three values reversed (see the reader). The writer
// prints "From 0.0 scale" and samples as floats, or as integers of value x scale, which the
// reader divides back by the "From" range.

#include <QDebug>

#include <cmath>

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "lut/keywordline.h"
#include "lut/linereader.h"
#include "lut/numformat.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace {
bool spi1DHolds(const LutTransform &t, const Formats::Options &);
bool spi1DWrite(Write_LUTFile &writer, const QString &path, const LutTransform &t, const Formats::Options &);
}

namespace Formats {
// Read faithfully, "From" is the table's input domain and the values are floats as written,
// R G B on a line; the writer states the domain in "From".
const Faithful spi1DFaithful = {Meaning::asRead, nullptr, spi1DWrite, spi1DHolds, true, {true, true}};
extern const Format spi1DFormat = withFaithful({
    "spi1d", Id::Spi1D, ".spi1d", "spi1d", false,
    memberReader<&Read_LUTFile::Read_Spi1D>, memberWriter<&Write_LUTFile::Write_Spi1D>, true,
    {true, false}, {true, true}}, &spi1DFaithful);
}

namespace {

struct UpperEndReset {
    Read_LUTFile &lut;
    ~UpperEndReset() { lut.resetUpperEnds(); }
};

}

bool Read_LUTFile::Read_Spi1D(QString path, bool headerOnly)
{
    LineReader r;
    if (!openText(r, path))
        return false;
    // The format's default order differs from the writer's (true, true): with it every line's
    // three values are stored reversed.
    applyDefaultOrder(Formats::spi1DFormat.readOrder);
    // The samples are normalised by the "From" range: afterwards the table spans 0 to 1,
    // whichever way the read ends. The lower end stays as the file gave it.
    UpperEndReset reset{*this};

    // Header. A keyword without a number ends it, as "{" does; the reason is kept for the
    // case that what was read by then is not enough.
    qint64 components = 0;
    int componentsLine = 0;
    int endLine = 0;
    QString endWhy;
    while (r.nextNonEmpty()) {
        if (r.startsWith("Version")) {
            qDebug() << r.text();
        } else if (r.startsWith("From")) {
            const KeywordLine line(r, "From");
            NumScan::Cursor c = line.cursor();
            float lo = 0.0f;
            float hi = 0.0f;
            if (!NumScan::readFloat(c, lo)) {
                endLine = r.lineNumber();
                endWhy = QStringLiteral("From has no number");
                break;
            }
            if (!NumScan::readFloat(c, hi))
                return failAt(r, QStringLiteral("From needs a lower and an upper end"));
            // Samples are divided by the width: it must be a positive, finite number.
            if (!(hi > lo) || !std::isfinite(hi - lo))
                return failAt(r, QStringLiteral("From range %1 to %2 has no width").arg(double(lo)).arg(double(hi)));
            for (int ch = 0; ch < 3; ++ch) {
                domainMin1D[ch] = lo;
                domainMax1D[ch] = hi;
            }
        } else if (r.startsWith("Length")) {
            const KeywordLine line(r, "Length");
            NumScan::Cursor c = line.cursor();
            qint64 n = 0;
            if (!NumScan::readLong(c, n)) {
                endLine = r.lineNumber();
                endWhy = QStringLiteral("Length has no number");
                break;
            }
            if (!setSize1D(n, headerOnly, r.lineNumber()))
                return false;
        } else if (r.startsWith("Components")) {
            const KeywordLine line(r, "Components");
            NumScan::Cursor c = line.cursor();
            if (!NumScan::readLong(c, components)) {
                endLine = r.lineNumber();
                endWhy = QStringLiteral("Components has no number");
                break;
            }
            componentsLine = r.lineNumber();
        } else if (r.first() == '{') {
            break;
        }
    }

    if (lut1DSize <= 0)
        return endWhy.isEmpty() ? fail(QStringLiteral("no Length line")) : failAt(endLine, endWhy);
    if (headerOnly)
        return true;
    // Without a usable component count no sample can be placed; a table of zeros would look
    // like a successful read.
    if (componentsLine == 0)
        return endWhy.isEmpty() ? fail(QStringLiteral("no Components line")) : failAt(endLine, endWhy);
    if (components < 1 || components > 3)
        return failAt(componentsLine, QStringLiteral("Components %1 is not 1, 2 or 3").arg(components));

    // Values a short line does not give keep those of the line before.
    double v[3] = {0.0, 0.0, 0.0};
    int e = 0;
    while (e < lut1DSize) {
        if (!r.nextNonEmpty()) {
            // A file one entry short is taken, its last entry left at zero.
            if (e == lut1DSize - 1)
                return true;
            return failAt(r, QStringLiteral("the table ends after %1 of %2 entries").arg(e).arg(lut1DSize));
        }
        if (r.first() == '}')
            continue;
        if (NumScan::scanDoubles(r.data(), r.size(), v, int(components)) < 1)
            continue;
        const float first = float(v[0]);
        if (components == 1)
            White1D(e, first, first, first, domainMin1D, domainMax1D);
        else
            White1D(e, first, float(v[1]), components == 3 ? float(v[2]) : 0.0f, domainMin1D, domainMax1D);
        ++e;
    }
    return true;
}

bool Write_LUTFile::Write_Spi1D(QString path, Read_LUTFile &lut)
{
    TextWriter out;
    if (!openOutput(out, path))
        return false;
    const int n = lut.allocated1DSize();
    out.put("Version 1");
    out.endLine();
    // Floats are written for the range 0 to 1; a scale below 1 would make a range of no
    // width that no reader can divide by.
    out.put("From 0.0 ");
    out.putInt(scale < 2 ? 1 : scale);
    out.endLine();
    out.put("Length ");
    out.putInt(n);
    out.endLine();
    out.put("Components 3");
    out.endLine();
    out.put("{");
    out.endLine();
    applyDefaultOrder(Formats::spi1DFormat.writeOrder);
    for (int e = 0; e < n; ++e) {
        out.put("        ");
        White1D(lut.lut1D, out, e, scale, " ");
        out.endLine();
    }
    out.put("}");
    out.endLine();
    return finish(out);
}

namespace {

// A 1D table alone, over one domain for all three channels.
bool spi1DHolds(const LutTransform &t, const Formats::Options &)
{
    const Read_LUTFile *m = t.tables();
    if (!m || !t.hasShaper() || t.hasLattice())
        return false;
    for (int ch = 1; ch < 3; ++ch)
        if (m->domainMin1D[ch] != m->domainMin1D[0] || m->domainMax1D[ch] != m->domainMax1D[0])
            return false;
    return true;
}

bool spi1DWrite(Write_LUTFile &writer, const QString &path, const LutTransform &t, const Formats::Options &)
{
    const Read_LUTFile &lut = *t.tables();
    TextWriter out;
    if (!writer.openOutput(out, path))
        return false;
    char buf[32];
    out.put("Version 1");
    out.endLine();
    out.put("From ");
    out.put(buf, int(NumFormat::shortest(buf, lut.domainMin1D[0]) - buf));
    out.put(' ');
    out.put(buf, int(NumFormat::shortest(buf, lut.domainMax1D[0]) - buf));
    out.endLine();
    out.put("Length ");
    out.putInt(lut.allocated1DSize());
    out.endLine();
    out.put("Components 3");
    out.endLine();
    out.put("{");
    out.endLine();
    writer.applyDefaultOrder(Formats::spi1DFormat.writeOrder);
    writer.writeTable(out, lut, 1, " ");
    out.put("}");
    out.endLine();
    return writer.finish(out);
}

}
