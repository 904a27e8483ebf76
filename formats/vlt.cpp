// .vlt: the 3D LUT of Panasonic's VariCam cameras (Panasonic, "VARICAM 3DLUT Reference
// Manual", rev. 1.0, 28 November 2014, sections 2 and 3). ASCII text, a four-line header and
// one line of three 12-bit integers (0 to 4095) per node, red fastest:
//
//   # panasonic vlt file version 1.0
//   # source vlt file ""          <- the VLT file this one is based on, or "" (never left out)
//   LUT_3D_SIZE 17
//                                 <- an empty line
//   0 0 0                         <- node r=0 g=0 b=0
//   256 0 0                       <- r=1 g=0 b=0 ... (17^3 = 4913 lines, R G B)
//
// The manual's cameras take 17 points; their inputs are the codes 0, 256, ... 3840, 4095.
// Read, the lattice spans 0 to 4095 evenly: node 15 then sits at 3839.06 rather than 3840,
// less than one code away. The writer rounds to the nearest code.

#include <QFileInfo>

#include <algorithm>
#include <cmath>

#include "formats/faithful.h"
#include "formats/registry.h"
#include "lut/linereader.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/samplelines.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace {
constexpr float fullScale = 4095.0f;
constexpr int cameraSize = 17;

bool readVlt(Read_LUTFile &lut, const QString &path, bool headerOnly, const Formats::Options &);
bool writeVlt(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Formats::Options &options);
bool vltMeaning(std::shared_ptr<Read_LUTFile> raw, const Formats::Options &, LutTransform &out, QString *why);

// Written, a VariCam lattice has the camera's 17 points.
int vltSize(int size, bool given, const Formats::Options &, QString *sizes)
{
    if (size == cameraSize || !given)
        return cameraSize;
    *sizes = QStringLiteral("17-point lattices");
    return 0;
}
}

namespace Formats {
// Read faithfully, the codes divide by 4095.
const Faithful vltFaithful = {vltMeaning, nullptr, nullptr, nullptr, false, {true, false}};
extern const Format vltFormat = withFaithful({"vlt", Id::None, "Panasonic VariCam .vlt", "vlt", true, readVlt, writeVlt,
                                              false, {true, false}, {true, false}, 4095, 0, nullptr, false, nullptr,
                                              vltSize}, &vltFaithful);
}

namespace {

bool readVlt(Read_LUTFile &lut, const QString &path, bool headerOnly, const Formats::Options &)
{
    LineReader r;
    if (!lut.openText(r, path))
        return false;
    lut.applyDefaultOrder(Formats::vltFormat.readOrder);
    if (!r.next() || !r.text().trimmed().startsWith(QLatin1String("# panasonic vlt file version"), Qt::CaseInsensitive))
        return lut.failAt(1, QStringLiteral("a .vlt file starts with \"# panasonic vlt file version 1.0\""));
    bool sized = false;
    while (!sized && r.nextNonEmpty()) {
        const QString line = r.text().trimmed();
        if (line.startsWith(QLatin1String("# source vlt file"), Qt::CaseInsensitive)) {
            const QString source = line.mid(17).trimmed().remove(QLatin1Char('"'));
            if (!source.isEmpty())
                lut.metadata.append({QStringLiteral("source"), source});
        } else if (line.startsWith(QLatin1String("LUT_3D_SIZE"))) {
            qint64 n = 0;
            if (NumScan::scanLongs(r.data() + 11, r.size() - 11, &n, 1) != 1)
                return lut.failAt(r, QStringLiteral("LUT_3D_SIZE has no number"));
            if (!lut.setSize3D(n, headerOnly, r.lineNumber()))
                return false;
            sized = true;
        } else if (!line.startsWith(QLatin1Char('#'))) {
            return lut.failAt(r, QStringLiteral("a sample before the LUT_3D_SIZE line"));
        }
    }
    if (!sized)
        return lut.fail(QStringLiteral("no LUT_3D_SIZE line"));
    if (headerOnly)
        return true;
    const float min[3] = {0, 0, 0}, max[3] = {fullScale, fullScale, fullScale};
    float carry[3] = {0, 0, 0};
    if (!SampleLines::fill3D(lut, r, min, max, carry))
        return false;
    lut.resetUpperEnds();
    return true;
}

bool vltMeaning(std::shared_ptr<Read_LUTFile> raw, const Formats::Options &, LutTransform &out, QString *why)
{
    Formats::Meaning::divide(*raw, fullScale, 1.0);
    Formats::Meaning::unitDomains(*raw);
    return Formats::Meaning::tables(std::move(raw), out, why);
}

int code(float v)
{
    const float c = v * fullScale;
    return c > 0.0f ? int(std::lround(std::min(c, fullScale))) : 0;   // NaN goes to 0
}

bool writeVlt(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Formats::Options &options)
{
    const int n = lut.allocated3DSize();
    if (n <= 0) {
        writer.errorString = QStringLiteral("a .vlt file holds a lattice; the LUT holds none");
        return false;
    }
    TextWriter out;
    if (!writer.openOutput(out, path))
        return false;
    writer.applyDefaultOrder(Formats::vltFormat.writeOrder);
    // The file this one is based on, when that was a VariCam LUT itself.
    const QString source = QFileInfo(options.sourceName).fileName();
    const bool fromVlt = source.endsWith(QLatin1String(".vlt"), Qt::CaseInsensitive) && !source.contains(QLatin1Char('"'));
    out.put("# panasonic vlt file version 1.0");
    out.endLine();
    out.put(QStringLiteral("# source vlt file \"%1\"").arg(fromVlt ? source : QString()));
    out.endLine();
    out.put("LUT_3D_SIZE ");
    out.putInt(n);
    out.endLine();
    out.endLine();
    // Red fastest: the file's outer counter is blue, unless the writer's orders say otherwise.
    for (int outer = 0; outer < n; ++outer)
        for (int middle = 0; middle < n; ++middle)
            for (int inner = 0; inner < n; ++inner) {
                const float *node = writer.tableOrderRGB ? lut.lut3D.node(outer, middle, inner) : lut.lut3D.node(inner, middle, outer);
                const int first = writer.dataOrderRGB ? 0 : 2;
                out.putInt(code(node[first]));
                out.put(' ');
                out.putInt(code(node[1]));
                out.put(' ');
                out.putInt(code(node[2 - first]));
                out.endLine();
            }
    return writer.finish(out);
}

}
