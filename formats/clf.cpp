// .clf, the Common LUT Format of the Academy and the ASC: an XML document whose ProcessList
// holds a chain of process nodes, applied in order.
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <ProcessList id="a1" name="look" compCLFversion="3.0">
//     <Description>kept as metadata</Description>     (also InputDescriptor, OutputDescriptor, Info)
//     <Matrix inBitDepth="32f" outBitDepth="32f">
//       <Array dim="3 3"> 1 0 0  0 1 0  0 0 1 </Array>  (3 4: a fourth column of offsets)
//     </Matrix>
//     <LUT3D inBitDepth="32f" outBitDepth="12i" interpolation="tetrahedral">
//       <Array dim="2 2 2 3">                           (blue index fastest, R G B per entry)
//         0 0 0   0 0 4095   ...
//       </Array>
//     </LUT3D>
//   </ProcessList>
//
// Nodes: Matrix, LUT1D (halfDomain, rawHalfs), LUT3D, Range, ASC_CDL, Log, Exponent, with the
// bit-depth scaling of calc/ops.h; CLF 2 documents (compCLFversion 2 or none, a third Matrix
// dim) and SMPTE ST 2136-1 documents (its namespace, compCLFversion "ST2136-1:2024", an Id
// element, kept as metadata) read the same way. An unknown node, child element or style is refused by name. A
// document of one LUT3D is read as that lattice and one LUT1D (not halfDomain) as that 1D
// table (behind a Matrix that only scales and offsets: that table over the domain it maps);
// any other chain is evaluated on a lattice over the unit cube (the "baked" metadata entry
// says so). Values stay as the chain gives them, unclamped.
//
// The writer puts the lattice in one LUT3D (32f, tetrahedral) or the 1D table in one LUT1D,
// behind such a Matrix when the table's input domain is not 0 to 1, numbers in the fewest
// digits that read back exactly, lines ending as every text this program writes (XML reads either).
// The faithful writer (formats/clf_write.cpp) states every step of a transform as a node.
//
// Hostile documents cost nothing: document type declarations (and so entity expansion) are
// refused, tag length and nesting are bounded before parsing, and every size is checked
// against lut/lutlimits.h and against what the file can hold before a table is allocated.

#include "formats/clf.h"

#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <cmath>

#include "formats/faithful.h"
#include "formats/registry.h"
#include "formats/xmltext.h"
#include "lut/lutlimits.h"
#include "lut/numformat.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace {
bool clfRead(const QString &path, const LUTFILE_ST &side, const Formats::Options &, LutTransform &out, QString *why);
}

namespace Formats {
// Read faithfully, a CLF is its chain: LUT1D and tetrahedral LUT3D nodes become tables (a
// Range or scale-and-offset Matrix just before one becomes its domain, a LUT1D just before a
// LUT3D its shaper), every other node stays as it is. Written, every step is stated as a node
// (formats/clf_write.cpp).
const Faithful clfFaithful = {nullptr, clfRead, Clf::writeTransform, Clf::holdsTransform, true, {true, true}};
extern const Format clfFormat = withFaithful({"clf", Id::None, ".clf Common LUT Format", "clf", true, Read_Clf,
                                              Write_Clf, false, {true, true}, {true, true}}, &clfFaithful);
}

namespace {

// Place one sample by the model's order flags, unclamped (CLF values may leave 0 to 1).
void store3D(Read_LUTFile &lut, int i, int j, int k, const float *v)
{
    float *node = lut.tableOrderRGB ? lut.lut3D.node(i, j, k) : lut.lut3D.node(k, j, i);
    node[0] = v[lut.dataOrderRGB ? 0 : 2];
    node[1] = v[1];
    node[2] = v[lut.dataOrderRGB ? 2 : 0];
}

void store1D(Read_LUTFile &lut, int index, const float *v)
{
    const bool straight = lut.dataOrderRGB == lut.tableOrderRGB;
    lut.lut1D[index][0] = v[straight ? 0 : 2];
    lut.lut1D[index][1] = v[1];
    lut.lut1D[index][2] = v[straight ? 2 : 0];
}

bool takeLattice(Read_LUTFile &lut, const Clf::Lut3D &table, bool headerOnly)
{
    const int n = table.size;
    if (!lut.setSize3D(n, headerOnly, table.line))
        return false;
    if (headerOnly)
        return true;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b)
                store3D(lut, r, g, b, table.at(r, g, b));
    return true;
}

bool takeTable(Read_LUTFile &lut, const Clf::Lut1D &table, bool headerOnly)
{
    if (!lut.setSize1D(table.size, headerOnly, table.line))
        return false;
    if (headerOnly)
        return true;
    for (int i = 0; i < table.size; ++i)
        store1D(lut, i, table.values.data() + std::size_t(i) * 3);
    return true;
}

// The writer puts a table over another input domain behind a float Matrix that only scales
// and offsets each channel; such a Matrix in front of a table is read back as that domain.
bool domainOf(const Clf::Node &node, float *min, float *max)
{
    const auto *m = dynamic_cast<const Clf::Matrix *>(&node);
    if (!m || m->inScale != 1.0f || m->outScale != 1.0f)
        return false;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            if ((row == col) != (m->m[row][col] != 0.0f) || !(m->m[row][row] > 0.0f))
                return false;
    for (int ch = 0; ch < 3; ++ch) {
        min[ch] = -m->m[ch][3] / m->m[ch][ch];
        max[ch] = (1.0f - m->m[ch][3]) / m->m[ch][ch];
    }
    return true;
}

// Any other chain: evaluated at every node of a lattice over the unit cube. The lattice is
// never coarser than the default, nor than the chain's largest LUT3D, unless asked for.
bool bake(Read_LUTFile &lut, const Clf::Chain &chain, bool headerOnly, int bakeSize)
{
    const int n = bakeSize > 0 ? bakeSize : std::max(Clf::defaultBakeSize, chain.largestLut3D());
    if (n < 2 || !LutLimits::valid3DSize(n))
        return lut.fail(QStringLiteral("a chain cannot be evaluated on a lattice of %1 points (2 to %2)").arg(n).arg(LutLimits::max3DSize));
    lut.metadata.append({QStringLiteral("baked"), QStringLiteral("%1 process node%2 evaluated on a %3-point lattice")
                                                      .arg(chain.size()).arg(chain.size() == 1 ? "" : "s").arg(n)});
    if (!lut.setSize3D(n, headerOnly))
        return false;
    if (headerOnly)
        return true;
    const float last = float(n - 1);
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                float rgb[3] = {float(r) / last, float(g) / last, float(b) / last};
                chain.apply(rgb);
                store3D(lut, r, g, b, rgb);
            }
    return true;
}

}

bool Read_Clf(Read_LUTFile &lut, const QString &path, bool headerOnly, const Formats::Options &options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lut.fail(QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
    lut.applyDefaultOrder(Formats::clfFormat.readOrder);
    Clf::Document doc;
    QString why;
    if (!Clf::parse(file, headerOnly, doc, &why))
        return lut.fail(why);
    lut.metadata = doc.metadata;
    const Clf::Chain &chain = doc.chain;
    const int last = chain.size() - 1;
    float min[3] = {0, 0, 0}, max[3] = {1, 1, 1};
    if (last == 0 || (last == 1 && domainOf(chain.node(0), min, max))) {
        const auto *table = dynamic_cast<const Clf::Lut1D *>(&chain.node(last));
        const auto *lattice = dynamic_cast<const Clf::Lut3D *>(&chain.node(last));
        if (lattice || (table && !table->halfDomain)) {
            std::copy(min, min + 3, lattice ? lut.domainMin3D : lut.domainMin1D);
            std::copy(max, max + 3, lattice ? lut.domainMax3D : lut.domainMax1D);
            return lattice ? takeLattice(lut, *lattice, headerOnly) : takeTable(lut, *table, headerOnly);
        }
    }
    return bake(lut, chain, headerOnly, options.bakeSize);
}

namespace Clf {
namespace Text {

void putNumbers(TextWriter &out, const float *v, int count)
{
    char buf[32];
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            out.put(' ');
        out.put(buf, int(NumFormat::shortest(buf, v[i]) - buf));
    }
    out.endLine();
}

void exactScaleOffset(float min, float max, float &scale, float &offset)
{
    scale = 1.0f / (max - min);
    offset = -min / (max - min);
    // The nearest floats a few steps either way, for the pair that reads back as exactly [min, max].
    float s = scale;
    for (int i = 0; i < 4; ++i)
        s = std::nextafter(s, -INFINITY);
    for (int i = 0; i <= 8; ++i, s = std::nextafter(s, INFINITY)) {
        float o = offset;
        for (int k = 0; k < 4; ++k)
            o = std::nextafter(o, -INFINITY);
        for (int k = 0; k <= 8; ++k, o = std::nextafter(o, INFINITY))
            if (-o / s == min && (1.0f - o) / s == max) {
                scale = s;
                offset = o;
                return;
            }
    }
}

// A stable id: the same table gives the same document.
QString contentId(const float *values, std::size_t count)
{
    const QByteArray bytes(reinterpret_cast<const char *>(values), int(count * sizeof(float)));
    return QUuid::createUuidV5(QUuid(), bytes).toString(QUuid::WithoutBraces);
}

void putHeader(TextWriter &out, const QString &id, const QString &name, const QVector<QPair<QString, QString>> &metadata,
               const Formats::Options &options)
{
    out.putLines("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    out.putLines(QStringLiteral("<ProcessList id=\"%1\" name=\"%2\" compCLFversion=\"3.0\">\n").arg(id, XmlText::escaped(name)));
    const QString from = options.sourceName.isEmpty() ? QStringLiteral("Written by Lutwright")
                                                      : QStringLiteral("Converted from %1").arg(QFileInfo(options.sourceName).fileName());
    out.putLines(QStringLiteral("    <Description>%1</Description>\n").arg(XmlText::escaped(from)));
    // What the source said of itself goes along.
    for (const auto &entry : metadata)
        if (entry.first == QLatin1String("Description") || entry.first == QLatin1String("InputDescriptor")
            || entry.first == QLatin1String("OutputDescriptor"))
            out.putLines(QStringLiteral("    <%1>%2</%1>\n").arg(entry.first, XmlText::escaped(entry.second)));
}

}
}

namespace {

// A table over an input domain other than 0 to 1 is preceded by a Matrix that maps the domain
// onto it, so that the document means what the model means. False when a domain is empty.
struct DomainMatrix {
    bool needed = false;
    float rows[3][4] = {};
};

bool domainMatrix(const float *min, const float *max, DomainMatrix &m, QString *why)
{
    for (int ch = 0; ch < 3; ++ch) {
        m.needed = m.needed || min[ch] != 0.0f || max[ch] != 1.0f;
        if (!(max[ch] != min[ch])) {
            *why = QStringLiteral("the input domain of channel %1 is empty (%2 to %3)").arg(QLatin1Char("RGB"[ch])).arg(double(min[ch])).arg(double(max[ch]));
            return false;
        }
        Clf::Text::exactScaleOffset(min[ch], max[ch], m.rows[ch][ch], m.rows[ch][3]);
    }
    return true;
}

void putDomain(TextWriter &out, const DomainMatrix &m)
{
    if (!m.needed)
        return;
    out.putLines("    <Matrix id=\"domain\" name=\"input domain\" inBitDepth=\"32f\" outBitDepth=\"32f\">\n        <Array dim=\"3 4\">\n");
    for (const auto &row : m.rows)
        Clf::Text::putNumbers(out, row, 4);
    out.putLines("        </Array>\n    </Matrix>\n");
}

}


bool Write_Clf(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Formats::Options &options)
{
    writer.applyDefaultOrder(Formats::clfFormat.writeOrder);
    const int n3 = lut.allocated3DSize();
    const int n1 = n3 > 0 ? 0 : lut.allocated1DSize();
    if (n3 <= 0 && n1 <= 0) {
        writer.errorString = QStringLiteral("the LUT holds no table to write");
        return false;
    }
    if (writer.scale >= 2) {
        writer.errorString = QStringLiteral("CLF tables are written as floats; an integer scale (%1) is not taken").arg(writer.scale);
        return false;
    }
    DomainMatrix domain;
    if (!domainMatrix(n3 > 0 ? lut.domainMin3D : lut.domainMin1D, n3 > 0 ? lut.domainMax3D : lut.domainMax1D, domain, &writer.errorString))
        return false;
    TextWriter out;
    if (!writer.openOutput(out, path))
        return false;
    const QString name = QFileInfo(options.sourceName.isEmpty() ? path : options.sourceName).completeBaseName();
    const QString id = n3 > 0 ? Clf::Text::contentId(lut.lut3D.data(), lut.lut3D.floatCount()) : Clf::Text::contentId(lut.lut1D.data(), std::size_t(n1) * 3);
    Clf::Text::putHeader(out, id, name, lut.metadata, options);
    putDomain(out, domain);
    float v[3];
    if (n3 > 0) {
        out.putLines(QStringLiteral("    <LUT3D id=\"lut3d\" name=\"%1\" interpolation=\"tetrahedral\" inBitDepth=\"32f\" outBitDepth=\"32f\">\n"
                               "        <Array dim=\"%2 %2 %2 3\">\n").arg(XmlText::escaped(name)).arg(n3));
        // Red slowest, blue fastest in the file; the writer's orders say where that is in the model.
        for (int r = 0; r < n3; ++r)
            for (int g = 0; g < n3; ++g)
                for (int b = 0; b < n3; ++b) {
                    const float *node = writer.tableOrderRGB ? lut.lut3D.node(r, g, b) : lut.lut3D.node(b, g, r);
                    v[0] = node[writer.dataOrderRGB ? 0 : 2];
                    v[1] = node[1];
                    v[2] = node[writer.dataOrderRGB ? 2 : 0];
                    Clf::Text::putNumbers(out, v, 3);
                }
        out.putLines("        </Array>\n    </LUT3D>\n");
    } else {
        out.putLines(QStringLiteral("    <LUT1D id=\"lut1d\" name=\"%1\" inBitDepth=\"32f\" outBitDepth=\"32f\">\n"
                               "        <Array dim=\"%2 3\">\n").arg(XmlText::escaped(name)).arg(n1));
        const bool straight = writer.dataOrderRGB == writer.tableOrderRGB;
        for (int i = 0; i < n1; ++i) {
            v[0] = lut.lut1D[i][straight ? 0 : 2];
            v[1] = lut.lut1D[i][1];
            v[2] = lut.lut1D[i][straight ? 2 : 0];
            Clf::Text::putNumbers(out, v, 3);
        }
        out.putLines("        </Array>\n    </LUT1D>\n");
    }
    out.putLines("</ProcessList>\n");
    return writer.finish(out);
}

namespace {

bool plainTable(const Clf::Node *node)
{
    if (const auto *t = dynamic_cast<const Clf::Lut1D *>(node))
        return !t->halfDomain;
    if (const auto *l = dynamic_cast<const Clf::Lut3D *>(node))
        return l->tetrahedral;
    return false;
}

// A Range onto 0 to 1 in float depths before a table: that table's domain.
bool rangeDomain(const Clf::Node &node, float *min, float *max)
{
    const auto *r = dynamic_cast<const Clf::Range *>(&node);
    if (!r || !r->hasMin || !r->hasMax || r->inScale != 1.0f || r->outScale != 1.0f || r->minOut != 0.0f
        || r->maxOut != 1.0f || !(r->maxIn > r->minIn))
        return false;
    std::fill(min, min + 3, r->minIn);
    std::fill(max, max + 3, r->maxIn);
    return true;
}

bool clfRead(const QString &path, const LUTFILE_ST &side, const Formats::Options &, LutTransform &out, QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    Clf::Document doc;
    if (!Clf::parse(file, false, doc, why))
        return false;
    std::vector<std::unique_ptr<Clf::Node>> nodes = doc.chain.take();
    out = LutTransform();
    out.metadata = doc.metadata;
    // The model being built, while it may still take a lattice after its shaper.
    std::shared_ptr<Read_LUTFile> open;
    auto close = [&] {
        if (open)
            out.addTables(open);
        open.reset();
    };
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        float min[3] = {0, 0, 0}, max[3] = {1, 1, 1};
        const bool domain = i + 1 < nodes.size() && plainTable(nodes[i + 1].get())
            && (rangeDomain(*nodes[i], min, max) || domainOf(*nodes[i], min, max));
        if (domain)
            ++i;
        const Clf::Node *node = nodes[i].get();
        if (!plainTable(node)) {
            close();
            out.addNode(std::shared_ptr<const Clf::Node>(nodes[i].release()));
            continue;
        }
        const auto *lattice = dynamic_cast<const Clf::Lut3D *>(node);
        if (!lattice || !open || open->has3D())
            close();
        if (!open) {
            open = std::make_shared<Read_LUTFile>();
            open->dataOrderRGB = side.dataOrderRGB;
            open->tableOrderRGB = side.tableOrderRGB;
        }
        std::copy(min, min + 3, lattice ? open->domainMin3D : open->domainMin1D);
        std::copy(max, max + 3, lattice ? open->domainMax3D : open->domainMax1D);
        const bool ok = lattice ? takeLattice(*open, *lattice, false)
                                : takeTable(*open, static_cast<const Clf::Lut1D &>(*node), false);
        if (!ok) {
            *why = open->errorString;
            return false;
        }
        if (lattice)
            close();
    }
    close();
    if (out.isEmpty()) {
        *why = QStringLiteral("holds no process node");
        return false;
    }
    return true;
}

}
