// Discreet 1D .lut: a "LUT:" line with the channel count (always 3) and the entry count, then
// one number per line: every entry of the first channel, then of the second, then the third.
//
//   # comment
//   LUT: 3 4          <- channels, entries (anything after the two numbers is ignored)
//   0                 <- channel 0, entries 0..3
//   100
//   200
//   300
//   0                 <- channel 1
//   ...               (3 x entries value lines)
//
// Values are integers or floats of any range: the reader divides every value by the largest
// one in the file (all channels together), so 1023 in a 10-bit table reads as 1.0. Blanks
// inside a value line are dropped before the number is read ("10 23" is 1023).
// The writer prints a comment header, "LUT: 3 n" and the values, floats or integers of
// value x scale depending on the writer's scale.

#include <QDebug>

#include <cmath>
#include <string>

#include "formats/formatentry.h"
#include "lut/keywordline.h"
#include "lut/linereader.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace {

// Among the .lut formats, a "LUT:" line is what marks this one; a Houdini LUT, which has one
// too, starts with its "Version" line.
int claimDiscreet(const QString &path, QString *why)
{
    LineReader r;
    if (!r.open(path)) {
        *why = r.errorString();
        return -1;
    }
    bool first = true;
    while (r.next()) {
        if (first && r.startsWith("Version") && (r.size() == 7 || r.data()[7] == ' ' || r.data()[7] == '\t')) {
            *why = QStringLiteral("a .lut file that starts with \"Version\"");
            return 0;
        }
        first = first && r.isEmpty();
        if (r.startsWith("LUT:"))
            return 1;
    }
    *why = QStringLiteral("a .lut file without a \"LUT:\" line");
    return 0;
}

}

namespace Formats {
extern const Format discreetFormat = {
    "discreet", Id::Discreet1D, ".lut 1D Discreet", "lut", false,
    memberReader<&Read_LUTFile::Read_1dLut_Discreet>, memberWriter<&Write_LUTFile::Write_1dLut_Discreet>, true,
    {true, true}, {true, true},
    1, 0, claimDiscreet};
}

namespace {

inline bool isBlank(char ch)
{
    return ch == ' ' || (ch >= '\t' && ch <= '\r');
}

// The line with all white space removed, into `out`. Lines holding non-ASCII text are decoded
// first so that Unicode spaces go too.
void stripSpace(const LineReader &r, std::string &out)
{
    out.clear();
    const char *p = r.data();
    const char *end = p + r.size();
    bool ascii = true;
    for (const char *q = p; q < end; ++q) {
        if (static_cast<unsigned char>(*q) & 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        for (; p < end; ++p)
            if (!isBlank(*p))
                out.push_back(*p);
        return;
    }
    QString text = r.text();
    QString kept;
    kept.reserve(text.size());
    for (QChar ch : text)
        if (!ch.isSpace())
            kept.append(ch);
    out = kept.toStdString();
}

}

bool Read_LUTFile::Read_1dLut_Discreet(QString path, bool headerOnly)
{
    LineReader r;
    if (!openText(r, path))
        return false;
    applyDefaultOrder(Formats::discreetFormat.readOrder);

    bool haveSize = false;
    qint64 filled = 0;          // values stored so far, channel after channel
    qint64 total = 0;           // 3 x entries
    double largest = 0.0;
    std::string value;
    while (r.nextNonEmpty()) {
        if (r.first() == '#') {
            qDebug() << r.text();
            continue;
        }
        if (r.startsWith("LUT:")) {
            if (haveSize) {
                qDebug() << "second size line ignored:" << r.text();
                continue;
            }
            qint64 n[2] = {0, 0};
            // 64 bits wide, so that a huge entry count is seen as huge.
            const int got = KeywordLine(r, "LUT:").longs(n, 2);
            if (got < 1)
                return failAt(r, QStringLiteral("LUT: line has no channel count"));
            if (n[0] != 3)
                return failAt(r, QStringLiteral("LUT: channel count %1 is not 3").arg(n[0]));
            if (got < 2)
                return failAt(r, QStringLiteral("LUT: line has no entry count"));
            if (!setSize1D(n[1], headerOnly, r.lineNumber()))
                return false;
            if (headerOnly)
                return true;
            haveSize = true;
            total = 3 * qint64(lut1DSize);
            continue;
        }
        if (headerOnly)
            continue;
        // Values before the size line, and beyond the 3 x entries the table holds, have no
        // place in the table: they are left out, also from the largest value.
        if (!haveSize || filled >= total) {
            qDebug() << "value line outside the table ignored:" << r.lineNumber();
            continue;
        }
        stripSpace(r, value);
        double v = 0.0;
        if (NumScan::scanDoubles(value.data(), int(value.size()), &v, 1) < 1)
            continue;
        // An infinite value would become the divisor and make every other value 0 (or NaN). NaN
        // passes the store rule unchanged and -inf clamps to 0, as in every other format.
        if (v > 0.0 && std::isinf(float(v)))
            return failAt(r, QStringLiteral("value %1 is beyond the float range").arg(QString::fromStdString(value)));
        lut1D[int(filled % lut1DSize)][filled / lut1DSize] = float(v);
        if (v > largest)
            largest = v;
        ++filled;
    }
    if (!haveSize)
        return fail(QStringLiteral("no LUT: size line"));

    // Divide every value by the largest one. With no value above 0 there is nothing to divide
    // by; every value clamps to 0 then, which is what any positive divisor would give.
    const float top = float(largest);
    const float hi[3] = {top, top, top};
    for (int i = 0; i < lut1DSize; ++i) {
        float *e = lut1D[i];
        if (top > 0.0f)
            White1D(i, e[0], e[1], e[2], domainMin1D, hi);
        else
            e[0] = e[1] = e[2] = 0.0f;
    }
    if (filled < total)
        return failAt(r, QStringLiteral("the table ends after %1 of %2 values").arg(filled).arg(total));
    return lut3DSize > 0 || lut1DSize > 0;
}

bool Write_LUTFile::Write_1dLut_Discreet(QString path, Read_LUTFile &lut)
{
    TextWriter out;
    if (!openOutput(out, path))
        return false;
    const int n = lut.allocated1DSize();
    out.put("# Discreet LUT file");
    out.endLine();
    out.put("#      Channels: 3");
    out.endLine();
    out.put("# Input Samples: ");
    out.putInt(n);
    out.endLine();
    out.put("#   Ouput Scale: ");
    out.putInt(scale);
    out.endLine();
    out.put("#");
    out.endLine();
    out.put("#Exported from tamsori");
    out.endLine();
    out.put("#");
    out.endLine();
    out.endLine();
    out.put("LUT: 3 ");
    out.putInt(n);
    out.endLine();

    applyDefaultOrder(Formats::discreetFormat.writeOrder);
    for (int c = 0; c < 3; ++c) {
        const int ch = dataOrderRGB ? c : 2 - c;
        for (int i = 0; i < n; ++i) {
            out.put("     ");
            if (scale < 2)
                out.putReal(lut.lut1D[i][ch]);
            else
                out.putInt(NumFormat::scaled(lut.lut1D[i][ch], scale));
            out.endLine();
        }
    }
    return finish(out);
}
