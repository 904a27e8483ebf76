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
// gives every channel the identity pre-LUT above, so samples are written within 0 to 1.

#include <algorithm>
#include <cmath>

#include "formats/formatentry.h"
#include "lut/linereader.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/samplelines.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"
#include "formats/latticeout.h"
#include "formats/writers.h"

namespace Formats {
extern const Format cspFormat = {
    "csp", Id::Csp, ".csp", "csp", true,
    memberReader<&Read_LUTFile::Read_Csp>, Write_Csp, false,
    {true, false}, {true, false}};
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

    if (!skipTo(r, "BEGIN METADATA"))
        return fail(QStringLiteral("no \"BEGIN METADATA\" line"));
    const int metadataLine = r.lineNumber();
    if (!skipTo(r, "END METADATA"))
        return failAt(metadataLine, QStringLiteral("\"BEGIN METADATA\" has no \"END METADATA\" after it"));

    // Pre-LUT: per channel a count line, the input points and the output points, of which
    // only the two ends are used.
    float *min = is3D ? domainMin3D : domainMin1D;
    float *max = is3D ? domainMax3D : domainMax1D;
    bool inputSeen = false;
    for (int ch = 0; ch < 3;) {
        if (!r.nextNonEmpty())
            return failAt(r, QStringLiteral("the file ends in the pre-LUT after %1 of 3 channels").arg(ch));
        const QList<QByteArray> f = SampleLines::fields(r);
        if (f.size() < 2)
            continue;
        if (!inputSeen) {
            inputSeen = true;
            continue;
        }
        min[ch] = fieldFloat(f.first());
        max[ch] = fieldFloat(f.last());
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

// Identity pre-LUTs of two points keep the domain 0 to 1, to which the reader clamps the
// samples; so they are clamped here. A model without a lattice is written as a 1D file.
bool Formats::Write_Csp(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Options &)
{
    const bool is3D = lut.lut3D && lut.lut3DSize > 0;
    const int entries = lut.allocated1DSize();
    if (!is3D && entries == 0)
        return LatticeOut::has3D(writer, lut, ".csp");
    Read_LUTFile samples;
    if (is3D) {
        if (!LatticeOut::has3D(writer, lut, ".csp") || !LatticeOut::clampedCopy(writer, lut, 1, samples))
            return false;
    } else {
        if (!samples.setSize1D(entries, false)) {
            writer.errorString = samples.errorString;
            return false;
        }
        std::transform(lut.lut1D.data(), lut.lut1D.data() + std::size_t(entries) * 3, samples.lut1D.data(),
                       LatticeOut::unit);
    }

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
        writer.writeLattice(out, samples, 1, " ");
    } else {
        out.putInt(entries);
        out.endLine();
        // The reader stores an entry reversed when the two order flags differ; printing it
        // the same way makes the file read back as the table it came from.
        writer.dataOrderRGB = writer.dataOrderRGB == writer.tableOrderRGB;
        for (int e = 0; e < entries; ++e) {
            writer.White1D(samples.lut1D, out, e, 1, " ");
            out.endLine();
        }
    }
    return writer.finish(out);
}
