// .vf, Nuke's vector field: a lattice in an Open Inventor-style text.
//
//   #Inventor V2.1 ascii                  <- signature, the first line
//   grid_size 2 2 2                       <- points per axis, alike on all three
//   global_transform 0.5 0 0 0  0 0.5 0 0  0 0 0.5 0  0 0 0 1
//   data
//   0 0 0                                 <- R G B per node, the blue index fastest
//   0 0 1
//   ...
//
// An input colour reaches the lattice (spanning 0 to 1) multiplied by grid_size times the
// upper-left 3x3 of global_transform (rows as written, applied to the colour as a column), so
// that Nuke's own global_transform of 1 / grid_size on the diagonal means a lattice over 0 to 1,
// as OpenColorIO reads these files; without a global_transform the lattice spans 0 to 1. A
// diagonal transform is read as the lattice's input domain (0 to 1 / (grid_size * d)), any
// other as a matrix before the lattice. A translation or a fourth diagonal entry other than 1
// is refused: readers disagree on it. Lines of other keywords are passed over. The grid size is
// checked against lut/lutlimits.h and against what the file's bytes can hold before the lattice
// is allocated, and the data must hold exactly one line per node.
//
// Written, a lattice whose domain starts at 0 on every axis (or a matrix without offsets
// before a lattice over 0 to 1) becomes the file, numbers in the fewest digits that read back
// exactly.

#include <cmath>

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "lut/linereader.h"
#include "lut/lutlimits.h"
#include "lut/numformat.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace Formats {
extern const Format nukeVfFormat;
}

namespace {

struct Parsed {
    bool hasTransform = false;
    double transform[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

bool startsWithWord(const LineReader &r, const char *word)
{
    const int n = int(qstrlen(word));
    return r.size() >= n && r.startsWith(word) && (r.size() == n || r.data()[n] == ' ' || r.data()[n] == '\t');
}

bool parse(const QString &path, Read_LUTFile &m, Parsed &p)
{
    LineReader r;
    if (!m.openText(r, path))
        return false;
    if (!r.nextNonEmpty() || !r.startsWith("#Inventor"))
        return m.failAt(r, QStringLiteral("the first line is not \"#Inventor ...\" (not a Nuke .vf file)"));
    qint64 size[3] = {0, 0, 0};
    bool sized = false, data = false;
    while (r.nextNonEmpty()) {
        if (r.first() == '#')
            continue;
        if (startsWithWord(r, "grid_size")) {
            if (NumScan::scanLongs(r.data() + 9, r.size() - 9, size, 3) != 3)
                return m.failAt(r, QStringLiteral("grid_size needs three whole numbers"));
            if (size[0] != size[1] || size[1] != size[2])
                return m.failAt(r, QStringLiteral("grid sizes %1, %2 and %3 differ").arg(size[0]).arg(size[1]).arg(size[2]));
            if (!m.setSize3D(size[0], true, r.lineNumber()))
                return false;
            sized = true;
        } else if (startsWithWord(r, "global_transform")) {
            double v[16];
            if (NumScan::scanDoubles(r.data() + 16, r.size() - 16, v, 16) != 16)
                return m.failAt(r, QStringLiteral("global_transform needs 16 numbers"));
            for (int i = 0; i < 16; ++i) {
                if (!std::isfinite(v[i]))
                    return m.failAt(r, QStringLiteral("global_transform holds %1, which is not a finite number").arg(v[i]));
                p.transform[i / 4][i % 4] = v[i];
            }
            for (int i = 0; i < 3; ++i)
                if (v[i * 4 + 3] != 0.0 || v[12 + i] != 0.0)
                    return m.failAt(r, QStringLiteral("global_transform has a translation, which is not read (tools disagree on where it stands)"));
            if (v[15] != 1.0)
                return m.failAt(r, QStringLiteral("global_transform ends in %1, not 1").arg(v[15]));
            p.hasTransform = true;
        } else if (startsWithWord(r, "data")) {
            if (!sized)
                return m.failAt(r, QStringLiteral("data before grid_size"));
            data = true;
            break;
        }
    }
    if (!sized)
        return m.fail(QStringLiteral("no grid_size line"));
    if (!data)
        return m.fail(QStringLiteral("no data line"));
    const int n = m.lut3DSize;
    // A data line takes six bytes at least ("0 0 0" and its line end).
    if (!LutLimits::textCanHoldLattice(r.textBytes(), n, 6))
        return m.failAt(r, QStringLiteral("a %1-point lattice needs more lines than a file of %2 bytes holds").arg(n).arg(r.textBytes()));
    if (!m.setSize3D(n, false, r.lineNumber()))
        return false;
    const qint64 nodes = qint64(n) * n * n;
    qint64 at = 0;
    while (r.nextNonEmpty()) {
        if (r.first() == '#')
            continue;
        float v[3];
        if (NumScan::scanFloats(r.data(), r.size(), v, 3) != 3)
            return m.failAt(r, QStringLiteral("\"%1\" is not three numbers").arg(r.text()));
        if (at == nodes)
            return m.failAt(r, QStringLiteral("more data lines than the %1 nodes of the lattice").arg(nodes));
        const int i = int(at / (qint64(n) * n)), j = int(at / n % n), k = int(at % n);
        float *node = m.tableOrderRGB ? m.lut3D.node(i, j, k) : m.lut3D.node(k, j, i);
        for (int c = 0; c < 3; ++c)
            node[m.dataOrderRGB ? c : 2 - c] = v[c];
        ++at;
    }
    if (at != nodes)
        return m.failAt(r, QStringLiteral("%1 data lines, not the %2 nodes of the lattice").arg(at).arg(nodes));
    return true;
}

bool vfRead(const QString &path, const LUTFILE_ST &side, const Formats::Options &, LutTransform &out, QString *why)
{
    auto m = std::make_shared<Read_LUTFile>();
    m->rawStore = true;
    m->dataOrderRGB = side.dataOrderRGB;
    m->tableOrderRGB = side.tableOrderRGB;
    Parsed p;
    if (!parse(path, *m, p) || !m->textFailure.isEmpty()) {
        *why = m->textFailure.isEmpty() ? m->errorString : m->textFailure;
        return false;
    }
    out = LutTransform();
    // What reaches the lattice: the colour times grid_size * global_transform.
    const double n = m->lut3DSize;
    double scale[3][3];
    bool diagonal = true;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            scale[row][col] = p.hasTransform ? n * p.transform[row][col] : double(row == col);
            if (row != col && scale[row][col] != 0.0)
                diagonal = false;
        }
    for (int ch = 0; ch < 3; ++ch)
        diagonal = diagonal && scale[ch][ch] > 0.0;
    if (diagonal) {
        for (int ch = 0; ch < 3; ++ch)
            m->domainMax3D[ch] = scale[ch][ch] == 1.0 ? 1.0f : float(1.0 / scale[ch][ch]);
    } else {
        auto matrix = std::make_shared<Ops::Matrix>(1);
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col)
                matrix->m[row][col] = float(scale[row][col]);
        out.addNode(matrix);
    }
    out.addTables(m);
    return true;
}

bool readVf(Read_LUTFile &lut, const QString &path, bool headerOnly, const Formats::Options &options)
{
    // The format's own orders are taken once the file has been read.
    const Formats::Orders own = Formats::nukeVfFormat.readOrder;
    LUTFILE_ST side;
    side.dataOrderRGB = lut.defaultOrder ? own.dataRGB : lut.dataOrderRGB;
    side.tableOrderRGB = lut.defaultOrder ? own.tableRGB : lut.tableOrderRGB;
    LutTransform t;
    QString why;
    if (!vfRead(path, side, options, t, &why))
        return lut.fail(why);
    lut.applyDefaultOrder(own);
    return Formats::Meaning::fillModel(t, lut, headerOnly, options);
}

// The lattice and what multiplies the colour before it, when a file can say so.
struct Layout {
    const Read_LUTFile *lattice = nullptr;
    double transform[3][3] = {};
};

bool latticeLayout(const Read_LUTFile &m, Layout &l)
{
    if (!m.has3D())
        return false;
    const double n = m.allocated3DSize();
    for (int ch = 0; ch < 3; ++ch) {
        if (m.domainMin3D[ch] != 0.0f || !(m.domainMax3D[ch] > 0.0f) || !std::isfinite(m.domainMax3D[ch]))
            return false;
        l.transform[ch][ch] = 1.0 / (n * double(m.domainMax3D[ch]));
    }
    l.lattice = &m;
    return true;
}

bool layoutOf(const LutTransform &t, Layout &l)
{
    const auto &steps = t.steps();
    if (steps.size() == 1 && steps[0].tables)
        return steps[0].lattice && !steps[0].shaper && latticeLayout(*steps[0].tables, l);
    if (steps.size() != 2 || !steps[1].tables || steps[1].shaper || !steps[1].lattice)
        return false;
    const auto *matrix = dynamic_cast<const Ops::Matrix *>(steps[0].node.get());
    const Read_LUTFile &m = *steps[1].tables;
    if (!matrix || matrix->inScale != 1.0f || matrix->outScale != 1.0f || !Formats::unitDomain(m.domainMin3D, m.domainMax3D))
        return false;
    for (int row = 0; row < 3; ++row)
        if (matrix->m[row][3] != 0.0f)
            return false;
    const double n = m.allocated3DSize();
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            l.transform[row][col] = double(matrix->m[row][col]) / n;
    l.lattice = &m;
    return true;
}

bool writeLayout(Write_LUTFile &writer, const QString &path, const Layout &l)
{
    writer.applyDefaultOrder(Formats::nukeVfFormat.writeOrder);
    const Read_LUTFile &m = *l.lattice;
    const int n = m.allocated3DSize();
    TextWriter out;
    if (!writer.openOutput(out, path))
        return false;
    out.putLines(QStringLiteral("#Inventor V2.1 ascii\ngrid_size %1 %1 %1\nglobal_transform").arg(n));
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            out.put(' ');
            out.put(QString::number(row < 3 && col < 3 ? l.transform[row][col] : double(row == col), 'g', 17));
        }
    out.endLine();
    out.put("data");
    out.endLine();
    char buf[32];
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                const float *node = writer.tableOrderRGB ? m.lut3D.node(i, j, k) : m.lut3D.node(k, j, i);
                for (int c = 0; c < 3; ++c) {
                    if (c > 0)
                        out.put(' ');
                    out.put(buf, int(NumFormat::shortest(buf, node[writer.dataOrderRGB ? c : 2 - c]) - buf));
                }
                out.endLine();
            }
    return writer.finish(out);
}

bool vfHolds(const LutTransform &t, const Formats::Options &)
{
    Layout l;
    return layoutOf(t, l);
}

bool vfWrite(Write_LUTFile &writer, const QString &path, const LutTransform &t, const Formats::Options &)
{
    Layout l;
    if (!layoutOf(t, l)) {
        writer.errorString = QStringLiteral("a .vf file holds a lattice whose domain starts at 0, or a matrix before a lattice over 0 to 1");
        return false;
    }
    return writeLayout(writer, path, l);
}

// The numbered writer: the model's lattice (a 1D table beside it is left out, as 3D writers do).
bool writeVf(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Formats::Options &)
{
    Layout l;
    if (!lut.has3D()) {
        writer.errorString = QStringLiteral("the LUT holds no lattice to write");
        return false;
    }
    if (!latticeLayout(lut, l)) {
        writer.errorString = QStringLiteral("a .vf lattice's domain starts at 0 on every axis; this one's does not");
        return false;
    }
    return writeLayout(writer, path, l);
}

}

namespace Formats {
const Faithful nukeVfFaithful = {nullptr, vfRead, vfWrite, vfHolds, true, {true, true}};
extern const Format nukeVfFormat = withFaithful({"nukevf", Id::None, ".vf Nuke vector field", "vf", true, readVf, writeVf,
                                                 false, {true, true}, {true, true}}, &nukeVfFaithful);
}
