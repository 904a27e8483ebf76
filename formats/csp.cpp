// .csp: a text LUT with a two-line header, a metadata block, a pre-LUT of three channels and
// then a 3D lattice or a 1D table.
//
//   CSPLUTV100          <- version line, always the first line
//   3D                  <- kind: "3D" or "1D", always the second line
//
//   BEGIN METADATA
//   anything
//   END METADATA
//
//   2                   <- pre-LUT, red: point count,
//   0.0 1.0             <-   input points (not used),
//   0.0 1.0             <-   output points: first and last become the channel's domain
//   2                   <- green, then blue, alike
//   0.0 1.0
//   0.0 1.0
//   2
//   0.0 1.0
//   0.0 1.0
//
//   2 2 2               <- lattice size (a single count in a 1D file)
//   0.0 0.0 0.0         <- node r=0 g=0 b=0: red runs fastest, blue slowest
//   1.0 0.0 0.0         <- r=1 g=0 b=0
//   ...                 (size^3 lines of R G B, or count lines in a 1D file)
//
// Samples are clamped to their channel's pre-LUT domain and divided by its width. A 3D table
// keeps that domain as its input domain; a 1D table keeps the lower end only. The writer
// gives every channel the identity pre-LUT above and writes the samples as they are.
//
// Read faithfully, the pre-LUT is what the format defines: per channel a piecewise-linear
// curve from its input points to its output points, which are table coordinates (0 and 1 the
// table's ends), holding its end values beyond; the samples are floats as written and the
// metadata block may be left out. The exact writer states domains, shapers and curves in the
// pre-LUT and writes every number so that it reads back as the same float.

#include <algorithm>
#include <cmath>

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "lut/numformat.h"
#include "lut/linereader.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/samplelines.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"
#include "formats/latticeout.h"
#include "formats/writers.h"

namespace {
bool cspMeaning(std::shared_ptr<Read_LUTFile> raw, const Formats::Options &, LutTransform &out, QString *why);
bool cspHolds(const LutTransform &t, const Formats::Options &);
bool cspWrite(Write_LUTFile &writer, const QString &path, const LutTransform &t, const Formats::Options &);
}

namespace Formats {
// Lattices run red fastest, as the format's writers and OpenColorIO lay them out.
const Faithful cspFaithful = {cspMeaning, nullptr, cspWrite, cspHolds, true, {true, false}};
extern const Format cspFormat = withFaithful({
    "csp", Id::Csp, ".csp", "csp", true,
    memberReader<&Read_LUTFile::Read_Csp>, Write_Csp, false,
    {true, false}, {true, false}}, &cspFaithful);
}

namespace {

// A whole field as a number; a field that is not one counts as 0.
float fieldFloat(const QByteArray &field)
{
    NumScan::Cursor c{field.constData(), field.constData() + field.size()};
    float value = 0.0f;
    if (!NumScan::readFloat(c, value) || !NumScan::atEnd(c))
        return 0.0f;
    return value;
}

// Every field of the line as a number, into `points`; false when one is not a number.
bool pointList(const QList<QByteArray> &fields, std::vector<float> &points)
{
    points.clear();
    for (const QByteArray &field : fields) {
        NumScan::Cursor c{field.constData(), field.constData() + field.size()};
        float value = 0.0f;
        if (!NumScan::readFloat(c, value) || !NumScan::atEnd(c))
            return false;
        points.push_back(value);
    }
    return true;
}

// Skip to the line that is exactly `text`; false at the end of the file.
bool skipTo(LineReader &r, const char *text)
{
    while (r.next()) {
        if (r.equals(text))
            return true;
    }
    return false;
}

}

bool Read_LUTFile::Read_Csp(QString path, bool headerOnly)
{
    LineReader r;
    if (!openText(r, path))
        return false;
    applyDefaultOrder(Formats::cspFormat.readOrder);

    if (!r.next() || !r.equals("CSPLUTV100"))
        return failAt(1, QStringLiteral("the first line is not \"CSPLUTV100\""));
    if (!r.next() || !(r.equals("3D") || r.equals("1D")))
        return failAt(2, QStringLiteral("the second line is neither \"3D\" nor \"1D\""));
    const bool is3D = r.equals("3D");

    // Files that tools write without a metadata block are read faithfully: the pre-LUT then
    // starts at the first line after the kind line (`pending`).
    bool pending = false;
    if (rawStore)
        pending = r.nextNonEmpty();
    if (!rawStore || (pending && r.equals("BEGIN METADATA"))) {
        pending = false;
        if (!rawStore && !skipTo(r, "BEGIN METADATA"))
            return fail(QStringLiteral("no \"BEGIN METADATA\" line"));
        const int metadataLine = r.lineNumber();
        if (!skipTo(r, "END METADATA"))
            return failAt(metadataLine, QStringLiteral("\"BEGIN METADATA\" has no \"END METADATA\" after it"));
    }

    // Pre-LUT: per channel a count line, the input points and the output points, of which
    // only the two ends are used (raw stores keep every point).
    float *min = is3D ? domainMin3D : domainMin1D;
    float *max = is3D ? domainMax3D : domainMax1D;
    bool inputSeen = false;
    for (int ch = 0; ch < 3;) {
        if (!pending && !r.nextNonEmpty())
            return failAt(r, QStringLiteral("the file ends in the pre-LUT after %1 of 3 channels").arg(ch));
        pending = false;
        const QList<QByteArray> f = SampleLines::fields(r);
        if (f.size() < 2)
            continue;
        if (rawStore && !pointList(f, inputSeen ? preLutOut[ch] : preLutIn[ch]))
            return failAt(r, QStringLiteral("pre-LUT channel %1 has a point that is not a number").arg(ch));
        if (!inputSeen) {
            inputSeen = true;
            continue;
        }
        min[ch] = fieldFloat(f.first());
        max[ch] = fieldFloat(f.last());
        if (rawStore) {
            // A curve needs as many outputs as inputs, and inputs that do not fall.
            const std::vector<float> &in = preLutIn[ch];
            if (preLutOut[ch].size() != in.size())
                return failAt(r, QStringLiteral("pre-LUT channel %1 has %2 input points but %3 output points")
                                     .arg(ch).arg(in.size()).arg(preLutOut[ch].size()));
            if (!std::is_sorted(in.begin(), in.end()) || !(in.back() > in.front()))
                return failAt(r, QStringLiteral("pre-LUT channel %1's input points do not rise").arg(ch));
            inputSeen = false;
            ++ch;
            continue;
        }
        // Samples are divided by this width: a range that is empty, reversed or unbounded
        // cannot scale them.
        const float width = max[ch] - min[ch];
        if (!(width > 0.0f) || !std::isfinite(width)) {
            const float lo = min[ch], hi = max[ch];
            min[ch] = 0.0f;
            max[ch] = 1.0f;
            return failAt(r, QStringLiteral("pre-LUT channel %1 runs from %2 to %3: its upper end must be above its lower end")
                                 .arg(ch).arg(double(lo)).arg(double(hi)));
        }
        inputSeen = false;
        ++ch;
    }

    // Size line: the first line of three fields (3D) or of one field (1D).
    const int wanted = is3D ? 3 : 1;
    bool sizeFound = false;
    while (r.nextNonEmpty()) {
        if (SampleLines::fields(r).size() == wanted) {
            sizeFound = true;
            break;
        }
    }
    if (!sizeFound)
        return failAt(r, is3D ? QStringLiteral("no lattice size line after the pre-LUT")
                              : QStringLiteral("no 1D size line after the pre-LUT"));
    int n[3] = {0, 0, 0};
    if (NumScan::scanInts(r.data(), r.size(), n, wanted) != wanted)
        return failAt(r, QStringLiteral("the size line \"%1\" is not %2").arg(r.text(),
                             is3D ? QStringLiteral("three whole numbers") : QStringLiteral("a whole number")));
    if (is3D) {
        if (n[0] != n[1] || n[1] != n[2])
            return failAt(r, QStringLiteral("lattice sizes %1 %2 %3 are not equal").arg(n[0]).arg(n[1]).arg(n[2]));
        if (!setSize3D(n[0], headerOnly, r.lineNumber()))
            return false;
    } else if (!setSize1D(n[0], headerOnly, r.lineNumber())) {
        return false;
    }
    // A lattice keeps the pre-LUT range as its domain; a 1D table is normalised by it.
    if (headerOnly) {
        if (!is3D)
            resetUpperEnds();
        return true;
    }

    float carry[3] = {0.0f, 0.0f, 0.0f};
    if (is3D ? !SampleLines::fill3DInParts(*this, r, domainMin3D, domainMax3D, carry)
             : !SampleLines::fill1D(*this, r, domainMin1D, domainMax1D, carry)) {
        resetUpperEnds();
        return false;
    }
    if (!is3D)
        resetUpperEnds();
    return true;
}

// ---- Writing

// Identity pre-LUTs of two points keep the domain 0 to 1; the samples are written as they are
// (the reader above clamps them to that domain, the faithful reading keeps them). A model
// without a lattice is written as a 1D file.
bool Formats::Write_Csp(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Options &)
{
    const bool is3D = lut.lut3D && lut.lut3DSize > 0;
    const int entries = lut.allocated1DSize();
    if ((!is3D && entries == 0) || (is3D && !LatticeOut::has3D(writer, lut, ".csp")))
        return LatticeOut::has3D(writer, lut, ".csp");

    TextWriter out;
    if (!writer.openOutput(out, path))
        return false;
    static const char *const header[] = {"CSPLUTV100", nullptr, "", "BEGIN METADATA", "END METADATA", ""};
    for (const char *line : header) {
        out.put(line ? line : is3D ? "3D" : "1D");
        out.endLine();
    }
    for (int ch = 0; ch < 3; ++ch) {
        static const char *const preLut[] = {"2", "0.0 1.0", "0.0 1.0"};
        for (const char *line : preLut) {
            out.put(line);
            out.endLine();
        }
    }
    out.endLine();

    writer.applyDefaultOrder(cspFormat.writeOrder);
    if (is3D) {
        for (int axis = 0; axis < 3; ++axis) {
            if (axis > 0)
                out.put(' ');
            out.putInt(lut.lut3DSize);
        }
        out.endLine();
        writer.writeLattice(out, lut, 1, " ");
    } else {
        out.putInt(entries);
        out.endLine();
        // The reader stores an entry reversed when the two order flags differ; printing it
        // the same way makes the file read back as the table it came from.
        writer.dataOrderRGB = writer.dataOrderRGB == writer.tableOrderRGB;
        for (int e = 0; e < entries; ++e) {
            writer.White1D(lut.lut1D, out, e, 1, " ");
            out.endLine();
        }
    }
    return writer.finish(out);
}

namespace {

bool cspMeaning(std::shared_ptr<Read_LUTFile> raw, const Formats::Options &, LutTransform &out, QString *why)
{
    return Formats::Meaning::withPreLut(std::move(raw), true, out, why);
}

// What an exact .csp holds: one table (a lattice, with or without a shaper, or a 1D table) over
// any domain, or a curve before a lattice or a 1D table. The pre-LUT is read as a smooth curve,
// so a shaper or a linear curve is held only where it is straight.
struct CspParts {
    const Ops::Curve *curve = nullptr;
    const Read_LUTFile *tables = nullptr;
    bool shaper = false;
    bool lattice = false;
};

bool cspParts(const LutTransform &t, CspParts &p)
{
    const auto &steps = t.steps();
    std::size_t at = 0;
    if (steps.size() == 2) {
        p.curve = dynamic_cast<const Ops::Curve *>(steps[0].node.get());
        if (!p.curve)
            return false;
        at = 1;
    } else if (steps.size() != 1) {
        return false;
    }
    const LutTransform::Step &s = steps[at];
    if (!s.tables || (!s.shaper && !s.lattice) || (p.curve && s.shaper && s.lattice))
        return false;
    p.tables = s.tables.get();
    p.shaper = s.shaper;
    p.lattice = s.lattice;
    return true;
}

// The pre-LUT points of channel c, outputs as coordinates of the table after it.
void preLutPoints(const CspParts &p, int c, Ops::Curve &points)
{
    const Read_LUTFile &lut = *p.tables;
    std::vector<float> &in = points.x[c], &to = points.y[c];
    const float *min = p.lattice ? lut.domainMin3D : lut.domainMin1D;
    const float *max = p.lattice ? lut.domainMax3D : lut.domainMax1D;
    if (p.curve) {
        in = p.curve->x[c];
        to = p.curve->y[c];
    } else if (p.shaper && p.lattice) {
        const int n = lut.allocated1DSize();
        const float lo = lut.domainMin1D[c], hi = lut.domainMax1D[c];
        for (int i = 0; i < n; ++i) {
            in.push_back(i == n - 1 ? hi : lo + (hi - lo) * (float(i) / float(n - 1)));
            to.push_back(lut.lut1D[i][c]);
        }
    } else {
        in = {min[c], max[c]};
        to = {min[c], max[c]};
    }
    for (float &v : to)
        v = (v - min[c]) / (max[c] - min[c]);
}

bool cspParts(const LutTransform &t, CspParts &p, Ops::Curve &preLut)
{
    if (!cspParts(t, p))
        return false;
    for (int c = 0; c < 3; ++c) {
        preLutPoints(p, c, preLut);
        if (!(p.curve && p.curve->smooth) && !preLut.straight(c))
            return false;
    }
    return true;
}

bool cspHolds(const LutTransform &t, const Formats::Options &)
{
    CspParts p;
    Ops::Curve preLut(0);
    return cspParts(t, p, preLut);
}

void putFloat(TextWriter &out, float v)
{
    char buf[32];
    out.put(buf, int(NumFormat::shortest(buf, v) - buf));
}

void putPoints(TextWriter &out, const std::vector<float> &points)
{
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i > 0)
            out.put(' ');
        putFloat(out, points[i]);
    }
    out.endLine();
}

bool cspWrite(Write_LUTFile &writer, const QString &path, const LutTransform &t, const Formats::Options &)
{
    CspParts p;
    Ops::Curve preLut(0);
    if (!cspParts(t, p, preLut))
        return false;
    const Read_LUTFile &lut = *p.tables;

    TextWriter out;
    if (!writer.openOutput(out, path))
        return false;
    static const char *const header[] = {"CSPLUTV100", nullptr, "", "BEGIN METADATA", "END METADATA", ""};
    for (const char *line : header) {
        out.put(line ? line : p.lattice ? "3D" : "1D");
        out.endLine();
    }
    for (int c = 0; c < 3; ++c) {
        out.putInt(qint64(preLut.x[c].size()));
        out.endLine();
        putPoints(out, preLut.x[c]);
        putPoints(out, preLut.y[c]);
    }
    out.endLine();

    writer.applyDefaultOrder(Formats::cspFormat.writeOrder);
    auto putSample = [&](const float *v) {
        for (int c = 0; c < 3; ++c) {
            if (c > 0)
                out.put(' ');
            putFloat(out, v[writer.dataOrderRGB ? c : 2 - c]);
        }
        out.endLine();
    };
    if (p.lattice) {
        const int n = lut.allocated3DSize();
        out.putInt(n);
        out.put(' ');
        out.putInt(n);
        out.put(' ');
        out.putInt(n);
        out.endLine();
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                for (int k = 0; k < n; ++k)
                    putSample(writer.tableOrderRGB ? lut.lut3D.node(i, j, k) : lut.lut3D.node(k, j, i));
    } else {
        const int n = lut.allocated1DSize();
        out.putInt(n);
        out.endLine();
        for (int e = 0; e < n; ++e)
            putSample(lut.lut1D[e]);
    }
    return writer.finish(out);
}

}
