// Houdini .lut, SideFX's text LUT: a header of keyword lines, then "LUT:" and the tables in
// named blocks of numbers in braces.
//
//   Version     1              <- 1 for curves, 2 for a lattice, 3 for both; must come first
//   Format      any            <- kept as metadata, as are To, Black and White
//   Type        C              <- C: one curve for R, G and B; RGB: a curve each (blocks R, G, B);
//                                 CA, RGBA: the same with an alpha curve (A), which is passed over;
//                                 3D: a lattice; 3D+1D: one curve ("Pre") before a lattice ("3D")
//   From        0 1            <- the input range of the first table; inputs beyond it are held
//   To          0 1               at its ends
//   Black       0
//   White       1
//   Length      1024           <- entries per curve; lattice points per axis; for 3D+1D both,
//   LUT:                          the lattice's first ("Length 33 1024")
//   RGB {
//       0
//       0.0000757
//       ...
//       1 }
//
// Lattice entries are R G B triples with the red index fastest; a lattice block is named "3D"
// or has no name. Values are floats as written, unclamped; a 3D+1D lattice spans 0 to 1 behind
// its curve. Every count is checked against the limits of lut/lutlimits.h and against what the
// file's bytes can hold before a table is allocated, and a block of too few or too many numbers
// is refused with its line.
//
// Written, the tables of a transform become the file: one curve or three (Type C or RGB), a
// lattice over 0 to 1 (3D), a lattice over another range behind a two-entry linear curve over
// that range, or a single curve and a lattice over 0 to 1 (3D+1D); "To" gives the range of the
// values. Numbers are printed in the fewest digits that read back exactly.

#include <algorithm>
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
extern const Format houdiniFormat;
}

namespace {

enum class Type { C, RGB, Lattice, Both };

struct Header {
    Type type = Type::C;
    QString typeName;
    qint64 size3D = 0;
    qint64 length1D = 0;
    float from[2] = {0.0f, 1.0f};
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0';
}

// The first word of a line, and in `rest` the text after it.
QByteArray keyword(const LineReader &r, QByteArray *rest)
{
    const char *p = r.data(), *end = r.data() + r.size();
    const char *q = p;
    while (q < end && !isBlank(*q))
        ++q;
    *rest = QByteArray(q, int(end - q)).trimmed();
    return QByteArray(p, int(q - p));
}

// Exactly `count` numbers in `text`.
bool readOne(NumScan::Cursor &c, float &v) { return NumScan::readFloat(c, v); }
bool readOne(NumScan::Cursor &c, qint64 &v) { return NumScan::readLong(c, v); }

template <typename T>
bool numbersOf(const QByteArray &text, T *out, int count)
{
    NumScan::Cursor c{text.constData(), text.constData() + text.size()};
    for (int i = 0; i < count; ++i)
        if (!readOne(c, out[i]))
            return false;
    NumScan::skipSpace(c);
    return NumScan::atEnd(c);
}

bool readType(const LineReader &r, const QByteArray &value, Read_LUTFile &m, Header &h)
{
    static const struct {
        const char *name;
        Type type;
    } types[] = {{"C", Type::C}, {"CA", Type::C}, {"RGB", Type::RGB}, {"RGBA", Type::RGB}, {"3D", Type::Lattice}, {"3D+1D", Type::Both}};
    h.typeName = QString::fromUtf8(value);
    for (const auto &t : types)
        if (value.toUpper() == t.name) {
            h.type = t.type;
            return true;
        }
    return m.failAt(r, QStringLiteral("Type \"%1\" is not one this reader knows (C, CA, RGB, RGBA, 3D, 3D+1D)").arg(h.typeName));
}

// The header up to "LUT:". Format, To, Black and White are kept as metadata when they are not
// the usual any, 0 1, 0 and 1; lines of other keywords too.
bool readHeader(LineReader &r, Read_LUTFile &m, Header &h)
{
    bool first = true, typeSeen = false;
    QByteArray length;
    while (r.nextNonEmpty()) {
        QByteArray value;
        const QByteArray key = keyword(r, &value);
        if (first && key != "Version")
            return m.failAt(r, QStringLiteral("the first line is not \"Version\" (not a Houdini LUT)"));
        first = false;
        if (r.contains("{"))
            return m.failAt(r, QStringLiteral("a table starts before the \"LUT:\" line"));
        if (key == "LUT:") {
            if (!typeSeen)
                return m.failAt(r, QStringLiteral("no \"Type\" line before \"LUT:\""));
            if (length.isNull())
                return m.failAt(r, QStringLiteral("no \"Length\" line before \"LUT:\""));
            const bool both = h.type == Type::Both;
            qint64 n[2] = {0, 0};
            if (!numbersOf(length, n, both ? 2 : 1))
                return m.failAt(r, QStringLiteral("Type %1 needs %2 on its \"Length\" line, not \"%3\"")
                                       .arg(h.typeName, QLatin1String(both ? "two whole numbers (lattice points, then curve entries)" : "one whole number"),
                                            QString::fromUtf8(length)));
            const bool lattice = h.type == Type::Lattice || both;
            h.size3D = lattice ? n[0] : 0;
            h.length1D = both ? n[1] : lattice ? 0 : n[0];
            return true;
        }
        if (key == "Type") {
            if (!readType(r, value, m, h))
                return false;
            typeSeen = true;
        } else if (key == "Length") {
            length = value;
        } else if (key == "From") {
            if (!numbersOf(value, h.from, 2) || !std::isfinite(h.from[0]) || !std::isfinite(h.from[1]) || !(h.from[0] < h.from[1]))
                return m.failAt(r, QStringLiteral("From \"%1\" is not a range of two numbers, the smaller first").arg(QString::fromUtf8(value)));
        } else if (key != "Version") {
            const bool usual = (key == "Format" && value == "any") || (key == "To" && value.simplified() == "0 1")
                || (key == "Black" && value.toDouble() == 0.0) || (key == "White" && value.toDouble() == 1.0);
            if (!usual)
                m.metadata.append({QString::fromUtf8(key), QString::fromUtf8(value)});
        }
    }
    return m.failAt(r, QStringLiteral("no \"LUT:\" line"));
}

// Where a block's numbers go.
struct Block {
    enum Kind { None, Curve, Alpha, Pre, Lattice } kind = None;
    int channel = -1;    // Curve: 0 to 2, or -1 for all three
    qint64 wanted = 0;
    qint64 got = 0;
    QString name;
    int line = 0;
};

bool blockFor(const QString &name, const Header &h, Block &b)
{
    b.name = name;
    switch (h.type) {
    case Type::C:
        if (name == QLatin1String("RGB"))
            b.kind = Block::Curve;
        else if (name == QLatin1String("A"))
            b.kind = Block::Alpha;
        break;
    case Type::RGB:
        if (name == QLatin1String("R") || name == QLatin1String("G") || name == QLatin1String("B")) {
            b.kind = Block::Curve;
            b.channel = name == QLatin1String("R") ? 0 : name == QLatin1String("G") ? 1 : 2;
        } else if (name == QLatin1String("A")) {
            b.kind = Block::Alpha;
        }
        break;
    case Type::Lattice:
        if (name.isEmpty() || name == QLatin1String("3D"))
            b.kind = Block::Lattice;
        break;
    case Type::Both:
        if (name == QLatin1String("3D"))
            b.kind = Block::Lattice;
        else if (name == QLatin1String("Pre"))
            b.kind = Block::Pre;
        break;
    }
    b.wanted = b.kind == Block::Lattice ? qint64(h.size3D) * h.size3D * h.size3D * 3 : h.length1D;
    b.got = 0;
    return b.kind != Block::None;
}

void store(Read_LUTFile &m, const Block &b, qint64 index, float v)
{
    const int n = m.lut3DSize;
    if (b.kind == Block::Lattice) {
        // Red fastest in the file when the table order is the format's own (tableOrderRGB false).
        const qint64 entry = index / 3;
        const int c = int(index % 3);
        const int k = int(entry % n), j = int(entry / n % n), i = int(entry / (qint64(n) * n));
        float *node = m.tableOrderRGB ? m.lut3D.node(i, j, k) : m.lut3D.node(k, j, i);
        node[m.dataOrderRGB ? c : 2 - c] = v;
        return;
    }
    float *entry = m.lut1D[int(index)];
    if (b.kind == Block::Pre || b.channel < 0)
        entry[0] = entry[1] = entry[2] = v;
    else
        entry[m.dataOrderRGB ? b.channel : 2 - b.channel] = v;
}

bool readBlocks(LineReader &r, Read_LUTFile &m, const Header &h)
{
    Block block;
    bool inside = false;
    bool seen[3] = {false, false, false};
    bool preSeen = false, latticeSeen = false;
    while (r.next()) {
        const char *p = r.data(), *end = p + r.size();
        while (p < end) {
            if (isBlank(*p)) {
                ++p;
                continue;
            }
            if (!inside) {
                const char *brace = std::find(p, end, '{');
                if (brace == end)
                    return m.failAt(r, QStringLiteral("\"%1\" stands outside a block").arg(QString::fromUtf8(p, int(end - p))));
                const QString name = QString::fromUtf8(p, int(brace - p)).trimmed();
                if (!blockFor(name, h, block))
                    return m.failAt(r, QStringLiteral("a block \"%1\" is not one of a Type %2 LUT").arg(name, h.typeName));
                if (block.kind != Block::Alpha) {
                    bool &done = block.kind == Block::Lattice ? latticeSeen : block.kind == Block::Pre ? preSeen
                               : seen[block.channel < 0 ? 0 : block.channel];
                    // One RGB curve stands for all three channels.
                    if (done || (block.kind == Block::Curve && block.channel < 0 && (seen[1] || seen[2])))
                        return m.failAt(r, QStringLiteral("a second block \"%1\"").arg(name));
                    done = true;
                    if (block.kind == Block::Curve && block.channel < 0)
                        seen[1] = seen[2] = true;
                }
                block.line = r.lineNumber();
                inside = true;
                p = brace + 1;
                continue;
            }
            if (*p == '}') {
                if (block.got != block.wanted)
                    return m.failAt(block.line, QStringLiteral("block \"%1\" holds %2 numbers, not %3").arg(block.name).arg(block.got).arg(block.wanted));
                inside = false;
                ++p;
                continue;
            }
            const char *q = p;
            while (q < end && !isBlank(*q) && *q != '}' && *q != '{')
                ++q;
            NumScan::Cursor c{p, q};
            float v;
            if (!NumScan::readFloat(c, v) || c.p != q)
                return m.failAt(r, QStringLiteral("\"%1\" in block \"%2\" is not a number").arg(QString::fromUtf8(p, int(q - p)), block.name));
            if (block.got == block.wanted)
                return m.failAt(r, QStringLiteral("block \"%1\" holds more than %2 numbers").arg(block.name).arg(block.wanted));
            if (block.kind != Block::Alpha)
                store(m, block, block.got, v);
            ++block.got;
            p = q;
        }
    }
    if (inside)
        return m.failAt(block.line, QStringLiteral("block \"%1\" has no closing \"}\"").arg(block.name));
    if (h.type == Type::Both && !preSeen)
        return m.fail(QStringLiteral("no \"Pre\" block"));
    if ((h.type == Type::Lattice || h.type == Type::Both) && !latticeSeen)
        return m.fail(QStringLiteral("no lattice block (\"3D\")"));
    if (h.type == Type::C && !seen[0])
        return m.fail(QStringLiteral("no \"RGB\" block"));
    for (int ch = 0; h.type == Type::RGB && ch < 3; ++ch)
        if (!seen[ch])
            return m.fail(QStringLiteral("no \"%1\" block").arg(QLatin1Char("RGB"[ch])));
    return true;
}

// The file into `m` (its order flags already set), tables as written over the file's ranges.
bool parse(const QString &path, Read_LUTFile &m, bool headerOnly)
{
    LineReader r;
    if (!m.openText(r, path))
        return false;
    Header h;
    if (!readHeader(r, m, h))
        return false;
    const bool lattice = h.type == Type::Lattice || h.type == Type::Both;
    const int curves = h.type == Type::RGB ? 3 : h.type == Type::C ? 1 : 0;
    // Sizes within the limits first, so that the count below cannot overflow.
    if (lattice && !m.setSize3D(h.size3D, true, r.lineNumber()))
        return false;
    if (!lattice || h.type == Type::Both) {
        if (!m.setSize1D(h.length1D, true, r.lineNumber()))
            return false;
    }
    const qint64 numbers = (lattice ? h.size3D * h.size3D * h.size3D * 3 : 0) + h.length1D * (h.type == Type::Both ? 1 : curves);
    // Each number takes a character and a separator.
    if (numbers > (r.textBytes() + 1) / 2)
        return m.failAt(r, QStringLiteral("the Length asks for %1 numbers, more than a file of %2 bytes holds").arg(numbers).arg(r.textBytes()));
    float *min = h.type == Type::Lattice ? m.domainMin3D : m.domainMin1D;
    float *max = h.type == Type::Lattice ? m.domainMax3D : m.domainMax1D;
    std::fill(min, min + 3, h.from[0]);
    std::fill(max, max + 3, h.from[1]);
    if (headerOnly)
        return true;
    if ((lattice && !m.setSize3D(h.size3D, false)) || (h.length1D > 0 && !m.setSize1D(h.length1D, false)))
        return false;
    return readBlocks(r, m, h);
}

bool houdiniRead(const QString &path, const LUTFILE_ST &side, const Formats::Options &, LutTransform &out, QString *why)
{
    auto m = std::make_shared<Read_LUTFile>();
    m->rawStore = true;
    m->dataOrderRGB = side.dataOrderRGB;
    m->tableOrderRGB = side.tableOrderRGB;
    if (!parse(path, *m, false) || !m->textFailure.isEmpty()) {
        *why = m->textFailure.isEmpty() ? m->errorString : m->textFailure;
        return false;
    }
    return Formats::Meaning::tables(m, out, why);
}

bool readHoudini(Read_LUTFile &lut, const QString &path, bool headerOnly, const Formats::Options &options)
{
    // The format's own orders are taken once the file has been read.
    const Formats::Orders own = Formats::houdiniFormat.readOrder;
    LUTFILE_ST side;
    side.dataOrderRGB = lut.defaultOrder ? own.dataRGB : lut.dataOrderRGB;
    side.tableOrderRGB = lut.defaultOrder ? own.tableRGB : lut.tableOrderRGB;
    LutTransform t;
    QString why;
    if (!houdiniRead(path, side, options, t, &why))
        return lut.fail(why);
    lut.applyDefaultOrder(own);
    return Formats::Meaning::fillModel(t, lut, headerOnly, options);
}

// How a model's tables are laid out in a file, when they can be.
struct Layout {
    Type type = Type::C;
    bool shaper = false;       // the model's 1D table is written
    bool lattice = false;      // its lattice is written
    bool linearPre = false;    // a two-entry curve 0, 1 over the lattice's domain goes first
    float from[2] = {0.0f, 1.0f};
};

bool uniform(const float *min, const float *max)
{
    return min[0] == min[1] && min[1] == min[2] && max[0] == max[1] && max[1] == max[2] && min[0] < max[0]
        && std::isfinite(min[0]) && std::isfinite(max[0]);
}

bool sameChannels(const Read_LUTFile &m)
{
    const int n = m.allocated1DSize();
    for (int i = 0; i < n; ++i)
        if (m.lut1D[i][0] != m.lut1D[i][1] || m.lut1D[i][1] != m.lut1D[i][2])
            return false;
    return true;
}

bool layoutOf(const Read_LUTFile &m, bool shaper, bool lattice, Layout &l)
{
    l.shaper = shaper;
    l.lattice = lattice;
    if (lattice) {
        if (!shaper) {
            if (!uniform(m.domainMin3D, m.domainMax3D))
                return false;
            l.linearPre = !Formats::unitDomain(m.domainMin3D, m.domainMax3D);
            l.type = l.linearPre ? Type::Both : Type::Lattice;
            l.from[0] = m.domainMin3D[0];
            l.from[1] = m.domainMax3D[0];
            return true;
        }
        if (!Formats::unitDomain(m.domainMin3D, m.domainMax3D) || !uniform(m.domainMin1D, m.domainMax1D) || !sameChannels(m))
            return false;
        l.type = Type::Both;
    } else {
        if (!shaper || !uniform(m.domainMin1D, m.domainMax1D))
            return false;
        l.type = sameChannels(m) ? Type::C : Type::RGB;
    }
    l.from[0] = m.domainMin1D[0];
    l.from[1] = m.domainMax1D[0];
    return true;
}

void putNumber(TextWriter &out, float v)
{
    char buf[32];
    out.put(buf, int(NumFormat::shortest(buf, v) - buf));
}

bool writeLayout(Write_LUTFile &writer, const QString &path, const Read_LUTFile &m, const Layout &l)
{
    writer.applyDefaultOrder(Formats::houdiniFormat.writeOrder);
    const int n3 = l.lattice ? m.allocated3DSize() : 0;
    const int n1 = l.shaper ? m.allocated1DSize() : l.linearPre ? 2 : 0;
    float lo = 0.0f, hi = 1.0f;
    auto range = [&](const float *v, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            if (std::isfinite(v[i])) {
                lo = std::min(lo, v[i]);
                hi = std::max(hi, v[i]);
            }
    };
    if (n3 > 0)
        range(m.lut3D.data(), m.lut3D.floatCount());
    else if (l.shaper)
        range(m.lut1D.data(), std::size_t(n1) * 3);

    TextWriter out;
    if (!writer.openOutput(out, path))
        return false;
    static const char *const types[] = {"C", "RGB", "3D", "3D+1D"};
    const int version = l.type == Type::Lattice ? 2 : l.type == Type::Both ? 3 : 1;
    auto line = [&](const char *key, const QString &value) { out.putLines(QStringLiteral("%1\t\t%2\n").arg(QLatin1String(key), value)); };
    auto number = [](float v) {
        char buf[32];
        return QString::fromLatin1(buf, int(NumFormat::shortest(buf, v) - buf));
    };
    line("Version", QString::number(version));
    line("Format", QStringLiteral("any"));
    line("Type", QLatin1String(types[int(l.type)]));
    line("From", number(l.from[0]) + QLatin1Char(' ') + number(l.from[1]));
    line("To", number(lo) + QLatin1Char(' ') + number(hi));
    line("Black", QStringLiteral("0"));
    line("White", QStringLiteral("1"));
    line("Length", n3 > 0 && n1 > 0 ? QStringLiteral("%1 %2").arg(n3).arg(n1) : QString::number(n3 > 0 ? n3 : n1));
    out.putLines("LUT:\n");
    // One curve (all channels alike) or one per channel, by the writer's channel order.
    auto curve = [&](const char *name, int channel) {
        out.put(name);
        out.put(" {");
        out.endLine();
        for (int i = 0; i < n1; ++i) {
            out.put('\t');
            putNumber(out, l.linearPre ? float(i) : m.lut1D[i][writer.dataOrderRGB ? channel : 2 - channel]);
            out.endLine();
        }
        out.put('}');
        out.endLine();
    };
    if (l.type == Type::C)
        curve("RGB", 0);
    else if (l.type == Type::RGB)
        for (int ch = 0; ch < 3; ++ch)
            curve(ch == 0 ? "R" : ch == 1 ? "G" : "B", ch);
    else if (l.type == Type::Both)
        curve("Pre", 0);
    if (n3 > 0) {
        out.put("3D {");
        out.endLine();
        for (int i = 0; i < n3; ++i)
            for (int j = 0; j < n3; ++j)
                for (int k = 0; k < n3; ++k) {
                    const float *node = writer.tableOrderRGB ? m.lut3D.node(i, j, k) : m.lut3D.node(k, j, i);
                    out.put('\t');
                    for (int c = 0; c < 3; ++c) {
                        if (c > 0)
                            out.put(' ');
                        putNumber(out, node[writer.dataOrderRGB ? c : 2 - c]);
                    }
                    out.endLine();
                }
        out.put('}');
        out.endLine();
    }
    return writer.finish(out);
}

bool houdiniHolds(const LutTransform &t, const Formats::Options &)
{
    Layout l;
    return t.tables() && layoutOf(*t.tables(), t.hasShaper(), t.hasLattice(), l);
}

bool houdiniWrite(Write_LUTFile &writer, const QString &path, const LutTransform &t, const Formats::Options &)
{
    Layout l;
    if (!t.tables() || !layoutOf(*t.tables(), t.hasShaper(), t.hasLattice(), l)) {
        writer.errorString = QStringLiteral("a Houdini LUT holds curves over one input range, a lattice, or one curve before a lattice over 0 to 1");
        return false;
    }
    return writeLayout(writer, path, *t.tables(), l);
}

// The numbered writer: the model's lattice, behind its 1D table when the file can hold both.
bool writeHoudini(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Formats::Options &)
{
    Layout l;
    const bool ok = layoutOf(lut, lut.has1D(), lut.has3D(), l) || (lut.has3D() && layoutOf(lut, false, true, l));
    if (!ok) {
        writer.errorString = lut.has3D() || lut.has1D() ? QStringLiteral("the LUT's input ranges differ between channels, which a Houdini LUT cannot hold")
                                                        : QStringLiteral("the LUT holds no table to write");
        return false;
    }
    return writeLayout(writer, path, lut, l);
}

// Among the .lut formats, a first line "Version" is what marks this one.
int claimHoudini(const QString &path, QString *why)
{
    LineReader r;
    if (!r.open(path)) {
        *why = r.errorString();
        return -1;
    }
    if (r.nextNonEmpty() && r.startsWith("Version") && (r.size() == 7 || isBlank(r.data()[7])))
        return 1;
    *why = QStringLiteral("a .lut file without a \"Version\" line first");
    return 0;
}

}

namespace Formats {
// Read faithfully, the tables are floats as written over the "From" range; written, a
// transform of such tables is the file.
const Faithful houdiniFaithful = {nullptr, houdiniRead, houdiniWrite, houdiniHolds, true, {true, false}};
extern const Format houdiniFormat = withFaithful({"houdini", Id::None, ".lut Houdini", "lut", true, readHoudini, writeHoudini,
                                                  false, {true, false}, {true, false}, 1, 0, claimHoudini, false,
                                                  "a Houdini LUT (a \"Version\" line first)"}, &houdiniFaithful);
}
