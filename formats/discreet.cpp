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
//
// Read faithfully, the entry count names the input depth (256: 8 bits ... 65536: half floats,
// the table indexed by every half's bit pattern) and the output is in codes of the depth a
// third number gives ("LUT: 3 1024 4096": 12 bits, "65536f": half-float bit patterns), else
// the depth the file's name ends in ("..._12to16fp.lut", "..._16fpto12.lut"), else the input
// depth. A table of values with fractions, or none above 1, holds floats as written.

#include <QDebug>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <string>

#include "formats/faithful.h"
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

bool discreetRead(const QString &path, const LUTFILE_ST &side, const Formats::Options &options, LutTransform &out,
                  QString *why);

}

namespace Formats {
const Faithful discreetFaithful = {nullptr, discreetRead, nullptr, nullptr, false, {true, true}};
extern const Format discreetFormat = withFaithful({
    "discreet", Id::Discreet1D, ".lut 1D Discreet", "lut", false,
    memberReader<&Read_LUTFile::Read_1dLut_Discreet>, memberWriter<&Write_LUTFile::Write_1dLut_Discreet>, true,
    {true, true}, {true, true},
    1, 0, claimDiscreet}, &discreetFaithful);
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
            // A third field names the output depth, for the faithful meaning.
            const QList<QByteArray> rest = KeywordLine(r, "LUT:").text().simplified().split(' ');
            if (rawStore && rest.size() >= 3)
                metadata.append({QStringLiteral("Output depth"), QString::fromLatin1(rest[2])});
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
        if (top > 0.0f || rawStore)
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

// ---- Faithful reading

namespace {

// What the table's numbers are: codes 0 to `top`, half-float bit patterns, or floats.
struct Output {
    enum Kind { Codes, Halfs, Floats } kind = Floats;
    double top = 1.0;
};

// A third field of the "LUT:" line: "4096" (codes 0 to 4095), "65536f" (half floats).
bool outputOfField(const QString &field, Output &o)
{
    bool ok = false;
    if (field.endsWith(QLatin1Char('f'))) {
        o.kind = Output::Halfs;
        return field.chopped(1).toInt(&ok) > 0 && ok;
    }
    const qint64 codes = field.toLongLong(&ok);
    o = {Output::Codes, double(codes - 1)};
    return ok && codes >= 2;
}

// The output half of a depth pair in the file's name: "_12to16fp" (half floats), "_16fpto12".
bool outputOfName(const QString &path, Output &o)
{
    static const QRegularExpression pair(QStringLiteral("to(\\d+)(fp)?"), QRegularExpression::CaseInsensitiveOption);
    bool found = false;
    auto it = pair.globalMatch(QFileInfo(path).completeBaseName());
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const int bits = m.captured(1).toInt();
        if (bits < 1 || bits > 32)
            continue;
        if (!m.captured(2).isEmpty())
            o = {bits == 16 ? Output::Halfs : Output::Floats, 1.0};
        else if (bits <= 16)
            o = {Output::Codes, std::ldexp(1.0, bits) - 1.0};
        else
            continue;
        found = true;
    }
    return found;
}

bool discreetRead(const QString &path, const LUTFILE_ST &side, const Formats::Options &options, LutTransform &out,
                  QString *why)
{
    std::shared_ptr<Read_LUTFile> raw;
    if (!Formats::readRaw(Formats::discreetFormat, side, options, raw, why))
        return false;
    Read_LUTFile &m = *raw;
    const int n = m.allocated1DSize();
    Output o;
    bool given = false;
    for (const auto &e : m.metadata)
        if (e.first == QLatin1String("Output depth"))
            given = outputOfField(e.second, o);
    if (!given && !outputOfName(path, o)) {
        if (Formats::Meaning::wholeNumbers(m) && Formats::Meaning::largestValue(m) > 1.0f)
            o = {Output::Codes, double(n - 1)};
        else
            o = {Output::Floats, 1.0};
    }

    float *v = m.lut1D.data();
    for (std::size_t i = 0, count = std::size_t(n) * 3; i < count; ++i) {
        if (o.kind == Output::Halfs) {
            if (!(v[i] >= 0.0f && v[i] <= 65535.0f && std::floor(v[i]) == v[i])) {
                *why = QStringLiteral("value %1 of a half-float table is no half-float bit pattern").arg(double(v[i]));
                return false;
            }
            v[i] = Ops::halfToFloat(quint16(v[i]));
        } else if (o.kind == Output::Codes) {
            v[i] = float(double(v[i]) / o.top);
        }
    }
    Formats::Meaning::unitDomains(m);
    // 65536 entries are indexed by half floats: entry k is the output for the half of bit
    // pattern k.
    if (n != 65536)
        return Formats::Meaning::tables(raw, out, why);
    auto table = std::make_shared<Ops::Lut1D>(0);
    table->size = n;
    table->halfDomain = true;
    table->values.assign(v, v + std::size_t(n) * 3);
    out = LutTransform();
    out.metadata = m.metadata;
    out.addNode(table);
    return true;
}

}
