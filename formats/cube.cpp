// .cube: a text 3D LUT with a keyword header, an optional 1D table after the lattice, and an
// integer variant whose samples are divided by 2^n from a "Mesh" line.
//
//   # comment
//   TITLE "grade"
//   DOMAIN_MIN 0 0 0
//   DOMAIN_MAX 1 1 1
//   LUT_3D_SIZE 2
//   0.0 0.0 0.0      <- node r=0 g=0 b=0: red runs fastest, blue slowest
//   1.0 0.0 0.0      <- r=1 g=0 b=0
//   ...              (size^3 lines of R G B)
//
// Header keywords are found anywhere in a line; lines beginning with "#" or "x" are skipped.
// Without any size keyword the lattice size is the cube root of the number of data lines.
// The writer prints "TITLE ", "LUT_3D_SIZE n" and the lattice in the writer's orders.

#include <QDebug>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "lut/keywordline.h"
#include "lut/linereader.h"
#include "lut/lutlimits.h"
#include "lut/numformat.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/samplelines.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace {
bool cubeMeaning(std::shared_ptr<Read_LUTFile> raw, const Formats::Options &, LutTransform &out, QString *why);
bool cubeHolds(const LutTransform &t, const Formats::Options &);
bool cubeWrite(Write_LUTFile &writer, const QString &path, const LutTransform &t, const Formats::Options &options);
}

namespace Formats {
// Read faithfully, a .cube is its 1D table (a shaper over LUT_1D_INPUT_RANGE, or over
// DOMAIN_MIN / DOMAIN_MAX when it is the only table), then its lattice (over DOMAIN_MIN /
// DOMAIN_MAX or LUT_3D_INPUT_RANGE), values unclamped; Resolve's LUT_IN_VIDEO_RANGE and
// LUT_OUT_VIDEO_RANGE put the legal-range scaling before and after.
const Faithful cubeFaithful = {cubeMeaning, nullptr, cubeWrite, cubeHolds, true, {true, false}};
extern const Format cubeFormat = withFaithful({
    "cube", Id::Cube, ".cube", "cube", true,
    memberReader<&Read_LUTFile::Read_Cube>, memberWriter<&Write_LUTFile::Write_Cube>, true,
    {true, false}, {true, false}}, &cubeFaithful);
}

namespace {

bool isSkipped(const LineReader &r)
{
    return r.isEmpty() || r.first() == '#' || r.first() == 'x';
}

// Sample lines that mention "MESH" are skipped.
bool mentionsMesh(const char *p, const char *end)
{
    while (end - p >= 4) {
        p = static_cast<const char *>(std::memchr(p, 'M', std::size_t(end - p) - 3));
        if (!p)
            return false;
        if (std::memcmp(p, "MESH", 4) == 0)
            return true;
        ++p;
    }
    return false;
}

// Sample lines of the float and of the integer ("Mesh") variant. The numbers and the white
// space before `stop` hold no "M", so only the rest of a line can mention "MESH".
int readFloatSample(const char *line, int len, float *sample, const void *)
{
    float v[3];
    const char *stop = line;
    const int got = NumScan::scanFloats(line, len, v, 3, &stop);
    if (got < 1 || mentionsMesh(stop, line + len))
        return 0;
    std::copy(v, v + got, sample);
    return got;
}

bool takesFloatSample(const char *line, int len, const void *context)
{
    return !mentionsMesh(line, line + len) && SampleLines::floatLines.takes(line, len, context);
}

int readIntSample(const char *line, int len, float *sample, const void *divisor)
{
    int v[3];
    const char *stop = line;
    const int got = NumScan::scanInts(line, len, v, 3, &stop);
    if (got < 1 || mentionsMesh(stop, line + len))
        return 0;
    for (int c = 0; c < got; ++c)
        sample[c] = float(double(v[c]) / *static_cast<const double *>(divisor));
    return got;
}

bool takesIntSample(const char *line, int len, const void *)
{
    int v;
    return !mentionsMesh(line, line + len)
        && ((len > 0 && unsigned(line[0] - '0') <= 9) || NumScan::scanInts(line, len, &v, 1) >= 1);
}

// The text of a TITLE line: what stands between its quotes, or after the keyword.
QString titleOf(const LineReader &r)
{
    QString t = QString::fromUtf8(r.data(), r.size()).trimmed();
    t = t.mid(t.indexOf(QLatin1String("TITLE")) + 5).trimmed();
    if (t.size() >= 2 && t.startsWith(QLatin1Char('"')) && t.endsWith(QLatin1Char('"')))
        t = t.mid(1, t.size() - 2);
    return t;
}

bool validDomain(const float *min, const float *max)
{
    for (int ch = 0; ch < 3; ++ch) {
        const float width = max[ch] - min[ch];
        if (!(width > 0.0f) || !std::isfinite(width))
            return false;
    }
    return true;
}

}

bool Read_LUTFile::Read_Cube(QString path, bool headerOnly)
{
    LineReader r;
    if (!openText(r, path))
        return false;
    applyDefaultOrder(Formats::cubeFormat.readOrder);
    intData = false;

    // Header scan: sizes, domains and the integer variant, up to the first sample line once
    // a size is known.
    qint64 dataLines = 0;
    int domainLine = 0;
    int size1DLine = 0, size3DLine = 0;
    while (r.next()) {
        if (isSkipped(r)) {
            if (!r.isEmpty())
                qDebug() << r.text();
            continue;
        }
        if (r.contains("LUT_3D_SIZE")) {
            int n = 0;
            if (!KeywordLine(r, "LUT_3D_SIZE ").wholeInt(n))
                return failAt(r, QStringLiteral("LUT_3D_SIZE has no number"));
            if (n < 1)
                return failAt(r, QStringLiteral("LUT_3D_SIZE %1 is below 1").arg(n));
            if (!setSize3D(n, headerOnly, r.lineNumber()))
                return false;
            size3DLine = r.lineNumber();
        } else if (rawStore && r.contains("LUT_3D_INPUT_RANGE")) {
            // Resolve's lattice domain, one range for all three channels.
            float v[2] = {0.0f, 0.0f};
            if (KeywordLine(r, "LUT_3D_INPUT_RANGE ").floats(v, 2) >= 2) {
                for (int ch = 0; ch < 3; ++ch) {
                    domainMin3D[ch] = v[0];
                    domainMax3D[ch] = v[1];
                }
                domainLine = r.lineNumber();
            }
        } else if (rawStore && (r.contains("LUT_IN_VIDEO_RANGE") || r.contains("LUT_OUT_VIDEO_RANGE"))) {
            // Resolve's legal-range flags: the table takes (or gives) video levels.
            metadata.append({QString::fromLatin1(r.contains("LUT_IN_VIDEO_RANGE") ? "LUT_IN_VIDEO_RANGE" : "LUT_OUT_VIDEO_RANGE"),
                             QString()});
        } else if (r.contains("TITLE")) {
            if (rawStore)
                metadata.append({QStringLiteral("TITLE"), titleOf(r)});
            qDebug() << r.text();
        } else if (r.contains("DOMAIN_MIN") || r.contains("DOMAIN_MAX")) {
            const bool isMin = r.contains("DOMAIN_MIN");
            float v[3] = {0.0f, 0.0f, 0.0f};
            if (KeywordLine(r, isMin ? "DOMAIN_MIN " : "DOMAIN_MAX ").floats(v, 3) >= 1) {
                float *domain = isMin ? domainMin3D : domainMax3D;
                domain[0] = v[0];
                domain[1] = v[1];
                domain[2] = v[2];
                domainLine = r.lineNumber();
            }
        } else if (r.contains("LUT_1D_SIZE")) {
            int n = 0;
            if (!KeywordLine(r, "LUT_1D_SIZE ").wholeInt(n))
                return failAt(r, QStringLiteral("LUT_1D_SIZE has no number"));
            if (n < 1)
                return failAt(r, QStringLiteral("LUT_1D_SIZE %1 is below 1").arg(n));
            if (!setSize1D(n, headerOnly, r.lineNumber()))
                return false;
            size1DLine = r.lineNumber();
        } else if (r.contains("LUT_1D_INPUT_RANGE")) {
            float v[2] = {0.0f, 0.0f};
            if (KeywordLine(r, "LUT_1D_INPUT_RANGE ").floats(v, 2) >= 1) {
                for (int ch = 0; ch < 3; ++ch) {
                    domainMin1D[ch] = v[0];
                    domainMax1D[ch] = v[1];
                }
                domainLine = r.lineNumber();
            }
        } else if (r.startsWith("Mesh")) {
            int v[2] = {0, 0};
            const int skip = std::min(r.size(), 5);
            if (NumScan::scanInts(r.data() + skip, r.size() - skip, v, 2) < 2)
                return failAt(r, QStringLiteral("Mesh line needs two numbers"));
            if (v[1] < 0 || v[1] > 30)
                return failAt(r, QStringLiteral("Mesh bit depth %1 is outside 0 to 30").arg(v[1]));
            intData = true;
            intScale = qint32(1) << v[1];
            qDebug() << r.text();
        } else {
            ++dataLines;
            if (lut3DSize > 0)
                break;
        }
    }

    if (lut3DSize == 0 && lut1DSize == 0) {
        if (dataLines == 0)
            return fail(QStringLiteral("no LUT_3D_SIZE, LUT_1D_SIZE or sample lines"));
        const int n = int(std::floor(std::pow(double(dataLines), 1.0 / 3.0) + 0.5));
        if (!setSize3D(n, headerOnly, 0))
            return fail(QStringLiteral("%1 sample lines make a lattice of %2 points, outside 1 to %3")
                            .arg(dataLines).arg(n).arg(LutLimits::max3DSize));
    }
    // A domain of zero (or negative, or unbounded) width cannot be mapped onto the table.
    if ((lut3DSize > 0 && !validDomain(domainMin3D, domainMax3D))
        || (lut1DSize > 0 && !validDomain(domainMin1D, domainMax1D)))
        return failAt(domainLine, QStringLiteral("the domain's upper end is not above its lower end"));

    r.rewind();
    if (!headerOnly) {
        // Channels a short line does not give keep the previous sample's values. Lines
        // without a leading number (comments, "x" lines, header keywords) are passed over.
        float sample[3] = {0.0f, 0.0f, 0.0f};
        const double intDiv = double(intScale);
        const SampleLines::LineRule rule = intData ? SampleLines::LineRule{readIntSample, takesIntSample, &intDiv}
                                                   : SampleLines::LineRule{readFloatSample, takesFloatSample, nullptr};
        // A lattice with a 1D table after it is read in one piece. Read faithfully, a file
        // that names its 1D size first (Resolve's shaper and lattice) lists the 1D table first.
        const bool tableFirst = rawStore && lut1DSize > 0 && lut3DSize > 0 && size1DLine < size3DLine;
        const auto fill = lut1DSize > 0 ? SampleLines::fillLatticeLines : SampleLines::fillLatticeInParts;
        const bool ok = tableFirst ? SampleLines::fill1D(*this, r, domainMin1D, domainMax1D, sample)
                                         && fill(*this, r, rule, domainMin3D, domainMax3D, sample)
                                   : fill(*this, r, rule, domainMin3D, domainMax3D, sample)
                                         && SampleLines::fill1D(*this, r, domainMin1D, domainMax1D, sample);
        resetUpperEnds();
        if (!ok)
            return false;
    }

    resetUpperEnds();
    return lut3DSize > 0 || lut1DSize > 0;
}

bool Write_LUTFile::Write_Cube(QString path, Read_LUTFile &lut)
{
    // .cube has no orders of its own: the two flags are used as the caller set them.
    TextWriter out;
    if (!openOutput(out, path))
        return false;
    out.put("TITLE ");
    out.endLine();
    out.put("LUT_3D_SIZE ");
    out.putInt(lut.lut3DSize);
    out.endLine();
    writeLattice(out, lut, scale, " ");
    return finish(out);
}

namespace {

// 10-bit legal range: 64 to 940 of 1023.
constexpr float legalLow = 64.0f / 1023.0f;
constexpr float legalWidth = 876.0f / 1023.0f;

std::shared_ptr<const Ops::Node> legalRange(bool toLegal)
{
    auto m = std::make_shared<Ops::Matrix>(0);
    for (int ch = 0; ch < 3; ++ch) {
        m->m[ch][ch] = toLegal ? legalWidth : 1.0f / legalWidth;
        m->m[ch][3] = toLegal ? legalLow : -legalLow / legalWidth;
    }
    return m;
}

bool hasEntry(const Read_LUTFile &m, const char *key)
{
    for (const auto &e : m.metadata)
        if (e.first == QLatin1String(key))
            return true;
    return false;
}

bool cubeMeaning(std::shared_ptr<Read_LUTFile> raw, const Formats::Options &, LutTransform &out, QString *why)
{
    Read_LUTFile &m = *raw;
    // A file of a 1D table alone states its domain with DOMAIN_MIN / DOMAIN_MAX, which the
    // reader keeps with the lattice's.
    if (!m.has3D() && Formats::unitDomain(m.domainMin1D, m.domainMax1D)) {
        std::copy(m.domainMin3D, m.domainMin3D + 3, m.domainMin1D);
        std::copy(m.domainMax3D, m.domainMax3D + 3, m.domainMax1D);
    }
    const bool inLegal = hasEntry(m, "LUT_IN_VIDEO_RANGE"), outLegal = hasEntry(m, "LUT_OUT_VIDEO_RANGE");
    LutTransform t;
    if (!Formats::Meaning::tables(raw, t, why))
        return false;
    out = LutTransform();
    out.metadata = t.metadata;
    if (inLegal)
        out.addNode(legalRange(true));
    out.append(t);
    if (outLegal)
        out.addNode(legalRange(false));
    return true;
}

bool sameForAll(const float *v)
{
    return v[0] == v[1] && v[1] == v[2];
}

// One table with any domain (DOMAIN_MIN / DOMAIN_MAX), or a shaper and a lattice whose domains
// are the same for all channels (Resolve's LUT_1D_INPUT_RANGE / LUT_3D_INPUT_RANGE).
bool cubeHolds(const LutTransform &t, const Formats::Options &)
{
    const Read_LUTFile *m = t.tables();
    if (!m)
        return false;
    if (!(t.hasShaper() && t.hasLattice()))
        return true;
    return sameForAll(m->domainMin1D) && sameForAll(m->domainMax1D) && sameForAll(m->domainMin3D)
        && sameForAll(m->domainMax3D);
}

void putNumbers(TextWriter &out, const char *keyword, const float *v, int count)
{
    char buf[32];
    out.put(keyword);
    for (int i = 0; i < count; ++i) {
        out.put(' ');
        out.put(buf, int(NumFormat::shortest(buf, v[i]) - buf));
    }
    out.endLine();
}

QString titleFor(const LutTransform &t, const Formats::Options &options)
{
    for (const auto &e : t.metadata)
        if (e.first == QLatin1String("TITLE") && !e.second.isEmpty())
            return e.second;
    return QFileInfo(options.sourceName).completeBaseName();
}

bool cubeWrite(Write_LUTFile &writer, const QString &path, const LutTransform &t, const Formats::Options &options)
{
    const Read_LUTFile &lut = *t.tables();
    const bool shaper = t.hasShaper(), lattice = t.hasLattice();
    TextWriter out;
    if (!writer.openOutput(out, path))
        return false;
    QString title = titleFor(t, options);
    title.remove(QLatin1Char('"'));
    // Resolve's form of a shaper and a lattice has no TITLE keyword: the title is a comment.
    out.put(shaper && lattice ? QStringLiteral("# %1").arg(title) : QStringLiteral("TITLE \"%1\"").arg(title));
    out.endLine();
    if (shaper) {
        out.put("LUT_1D_SIZE ");
        out.putInt(lut.allocated1DSize());
        out.endLine();
    }
    if (shaper && lattice) {
        const float range1D[2] = {lut.domainMin1D[0], lut.domainMax1D[0]};
        const float range3D[2] = {lut.domainMin3D[0], lut.domainMax3D[0]};
        if (!Formats::unitDomain(lut.domainMin1D, lut.domainMax1D))
            putNumbers(out, "LUT_1D_INPUT_RANGE", range1D, 2);
        out.put("LUT_3D_SIZE ");
        out.putInt(lut.allocated3DSize());
        out.endLine();
        if (!Formats::unitDomain(lut.domainMin3D, lut.domainMax3D))
            putNumbers(out, "LUT_3D_INPUT_RANGE", range3D, 2);
    } else {
        const float *min = shaper ? lut.domainMin1D : lut.domainMin3D;
        const float *max = shaper ? lut.domainMax1D : lut.domainMax3D;
        if (lattice) {
            out.put("LUT_3D_SIZE ");
            out.putInt(lut.allocated3DSize());
            out.endLine();
        }
        if (!Formats::unitDomain(min, max)) {
            putNumbers(out, "DOMAIN_MIN", min, 3);
            putNumbers(out, "DOMAIN_MAX", max, 3);
        }
    }
    // The shaper is listed first, as Resolve writes it.
    if (shaper)
        writer.writeTable(out, lut, writer.scale, " ");
    if (lattice)
        writer.writeLattice(out, lut, writer.scale, " ");
    return writer.finish(out);
}

}
