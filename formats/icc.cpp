// .icc / .icm / .pf: ICC colour profiles, binary files of a 128-byte header, a tag table and
// the tags it points to:
//
//   0    profile size, CMM, version (4.3: 04 30 00 00), class ("mntr", "link", "abst" ...),
//        data colour space ("RGB "), connection space ("XYZ ", "Lab ", a link's output space),
//        ... "acsp" at byte 36 ...
//   128  tag count n, then n entries of signature, offset, size (big-endian 32-bit words)
//   ...  tags: "desc", "cprt", "rXYZ" ... "rTRC" ... (display profiles), "A2B0" (links and
//        abstract profiles: curves, a lattice, curves), each starting with its type signature
//
// Read, a profile is what it does as a LUT:
// - a device link or abstract profile is its AToB0 table in its own encoding: curves, lattices
//   and matrices as tables and nodes where each is one of those kinds, else the whole table
//   evaluated by Little CMS;
// - a display profile of colorants and tone curves (matrix/TRC) is a display transform, as
//   colour-managed players and OpenColorIO read one: CIE XYZ of D65 white, adapted to the D50
//   of the connection space (Bradford), through the inverse of the colorant matrix and the
//   inverse tone curves to the display's RGB (clamped below 0, and above 1 for sampled curves).
// Written, a LUT is a version 4 RGB device link: its lattice in a lutAToBType table, 16-bit,
// behind its 1D shaper as A curves when it has one.
//
// Every profile is checked here before Little CMS reads it (formats/icc.h: Icc::check), and
// Little CMS itself is loaded only when a profile is met (formats/iccprofiles.h).

#include "formats/icc.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cmath>

#include "formats/faithful.h"
#include "formats/registry.h"
#include "lut/lutlimits.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace {
bool iccRead(const QString &path, const LUTFILE_ST &side, const Formats::Options &, LutTransform &out, QString *why);
bool iccHolds(const LutTransform &t, const Formats::Options &);
bool iccWrite(Write_LUTFile &writer, const QString &path, const LutTransform &t, const Formats::Options &options);
int iccSize(int size, bool given, const Formats::Options &, QString *sizes);
}

namespace {
// A build without Little CMS refuses profiles when it reads them (with the reason) and writes none.
#ifdef LUTWRIGHT_HAVE_ICC
constexpr Formats::WriteFn plainWriter = Write_Icc;
constexpr auto exactWriter = iccWrite;
#else
constexpr Formats::WriteFn plainWriter = nullptr;
constexpr decltype(&iccWrite) exactWriter = nullptr;
#endif
}

namespace Formats {
// Read faithfully, a profile is the transform above; written exactly, a transform of one
// lattice over 0 to 1 (with or without a shaper over 0 to 1) whose values lie in 0 to 1.
const Faithful iccFaithful = {nullptr, iccRead, exactWriter, iccHolds, false, {true, true}};
extern const Format iccFormat = withFaithful({"icc", Id::None, "ICC profile (written as a device link)", "icc icm pf", true,
                                              Read_Icc, plainWriter, false, {true, true}, {true, true}, 1, 0, nullptr,
                                              false, nullptr, iccSize}, &iccFaithful);
}

namespace {

constexpr int maxLinkSize = 255;       // a lutAToBType stores its grid points in one byte each
constexpr int maxShaperEntries = 4096; // written shapers; Little CMS reads curves of up to 65530
constexpr int maxTags = 100;           // as Little CMS reads them

quint32 be32(const uchar *p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
}

quint16 be16(const uchar *p)
{
    return quint16(p[0] << 8 | p[1]);
}

QString sig(const uchar *p)
{
    QString s;
    for (int i = 0; i < 4; ++i)
        s += p[i] >= 0x20 && p[i] < 0x7f ? QLatin1Char(char(p[i])) : QLatin1Char('?');
    return s;
}

// One tag's bytes, for the checks of its type.
struct Tag {
    const uchar *data;
    quint32 size;
    QString name;

    bool fail(QString *why, const QString &what) const
    {
        // A tag too short for its type says so without reading past it.
        *why = size >= 4 ? QStringLiteral("tag '%1' (%2): %3").arg(name, sig(data), what)
                         : QStringLiteral("tag '%1': %2").arg(name, what);
        return false;
    }
};

// grid^inputs * outputs * bytes, or -1 once it passes `limit`.
qint64 latticeBytes(const uchar *grid, int inputs, bool oneGrid, int outputs, int bytes, qint64 limit)
{
    qint64 n = qint64(outputs) * bytes;
    for (int i = 0; i < inputs; ++i) {
        n *= oneGrid ? grid[0] : grid[i];
        if (n > limit)
            return -1;
    }
    return n;
}

// A curv or para curve at `at` within the tag; its length in *used (padded to 4 bytes).
bool checkCurve(const Tag &t, quint32 at, quint32 *used, QString *why)
{
    if (at > t.size || t.size - at < 12)
        return t.fail(why, QStringLiteral("a curve lies past the tag's end"));
    const uchar *p = t.data + at;
    const QString type = sig(p);
    qint64 length;
    if (type == QLatin1String("curv")) {
        length = 12 + 2 * qint64(be32(p + 8));
    } else if (type == QLatin1String("para")) {
        static const int params[] = {1, 3, 4, 5, 7};
        const int fn = be16(p + 8);
        if (fn > 4)
            return t.fail(why, QStringLiteral("parametric curve of unknown function type %1").arg(fn));
        length = 12 + 4 * params[fn];
    } else {
        return t.fail(why, QStringLiteral("a curve of type '%1', not curv or para").arg(type));
    }
    if (length > qint64(t.size - at))
        return t.fail(why, QStringLiteral("a curve of %1 bytes in %2").arg(length).arg(t.size - at));
    *used = quint32((length + 3) & ~qint64(3));
    return true;
}

bool checkCurves(const Tag &t, quint32 at, int count, QString *why)
{
    for (int i = 0; i < count; ++i) {
        quint32 used = 0;
        if (!checkCurve(t, at, &used, why))
            return false;
        at += used;
    }
    return true;
}

bool checkChannels(const Tag &t, int in, int out, QString *why)
{
    if (in < 1 || in > 15 || out < 1 || out > 15)
        return t.fail(why, QStringLiteral("%1 input and %2 output channels (1 to 15 each)").arg(in).arg(out));
    return true;
}

// lut8Type and lut16Type: a matrix, input tables, a lattice of one grid size, output tables.
bool checkLutN(const Tag &t, bool sixteen, QString *why)
{
    const quint32 header = sixteen ? 52 : 48;
    if (t.size < header)
        return t.fail(why, QStringLiteral("%1 bytes, fewer than its header").arg(t.size));
    const int in = t.data[8], out = t.data[9], grid = t.data[10];
    if (!checkChannels(t, in, out, why))
        return false;
    if (grid < 2)
        return t.fail(why, QStringLiteral("a lattice of %1 grid points").arg(grid));
    const qint64 inEntries = sixteen ? be16(t.data + 48) : 256, outEntries = sixteen ? be16(t.data + 50) : 256;
    if (inEntries < 2 || outEntries < 2 || inEntries > 4096 || outEntries > 4096)
        return t.fail(why, QStringLiteral("tables of %1 and %2 entries (2 to 4096)").arg(inEntries).arg(outEntries));
    const int bytes = sixteen ? 2 : 1;
    const qint64 lattice = latticeBytes(t.data + 10, in, true, out, bytes, t.size);
    const qint64 needed = lattice < 0 ? -1 : header + (inEntries * in + outEntries * out) * bytes + lattice;
    if (needed < 0 || needed > t.size)
        return t.fail(why, QStringLiteral("a lattice of %1 points per axis for %2 inputs does not fit in %3 bytes")
                               .arg(grid).arg(in).arg(t.size));
    return true;
}

// lutAToBType and lutBToAType: offsets to curve sets, a matrix and a lattice inside the tag.
bool checkLutAB(const Tag &t, bool aToB, QString *why)
{
    if (t.size < 32)
        return t.fail(why, QStringLiteral("%1 bytes, fewer than its header").arg(t.size));
    const int in = t.data[8], out = t.data[9];
    if (!checkChannels(t, in, out, why))
        return false;
    const quint32 b = be32(t.data + 12), matrix = be32(t.data + 16), m = be32(t.data + 20), clut = be32(t.data + 24),
                  a = be32(t.data + 28);
    for (quint32 offset : {b, matrix, m, clut, a})
        if (offset != 0 && (offset < 32 || offset >= t.size))
            return t.fail(why, QStringLiteral("an element at offset %1 outside its %2 bytes").arg(offset).arg(t.size));
    // B curves face the output of an AToB table and the input of a BToA one.
    const int bCount = aToB ? out : in, aCount = aToB ? in : out;
    if (b == 0)
        return t.fail(why, QStringLiteral("no B curves"));
    if (!checkCurves(t, b, bCount, why) || (m != 0 && !checkCurves(t, m, bCount, why))
        || (a != 0 && !checkCurves(t, a, aCount, why)))
        return false;
    if (matrix != 0 && t.size - matrix < 48)
        return t.fail(why, QStringLiteral("its matrix lies past the tag's end"));
    if (clut != 0) {
        if (t.size - clut < 20)
            return t.fail(why, QStringLiteral("its lattice lies past the tag's end"));
        const uchar *grid = t.data + clut;
        const int precision = grid[16];
        if (precision != 1 && precision != 2)
            return t.fail(why, QStringLiteral("lattice values of %1 bytes (1 or 2)").arg(precision));
        for (int i = 0; i < aCount; ++i)
            if (grid[i] < 2)
                return t.fail(why, QStringLiteral("a lattice of %1 grid points on axis %2").arg(grid[i]).arg(i + 1));
        const qint64 bytes = latticeBytes(grid, aCount, false, bCount, precision, t.size);
        if (bytes < 0 || bytes > qint64(t.size - clut - 20))
            return t.fail(why, QStringLiteral("its lattice does not fit in the %1 bytes after it").arg(t.size - clut - 20));
    }
    return true;
}

bool checkTag(const Tag &t, QString *why)
{
    if (t.size < 8)
        return t.fail(why, QStringLiteral("%1 bytes, too few for a tag").arg(t.size));
    const QString type = sig(t.data);
    if (type == QLatin1String("curv") || type == QLatin1String("para")) {
        quint32 used = 0;
        return checkCurve(t, 0, &used, why);
    }
    if (type == QLatin1String("mft1") || type == QLatin1String("mft2"))
        return checkLutN(t, type == QLatin1String("mft2"), why);
    if (type == QLatin1String("mAB ") || type == QLatin1String("mBA "))
        return checkLutAB(t, type == QLatin1String("mAB "), why);
    if (type == QLatin1String("mpet"))
        return t.fail(why, QStringLiteral("floating-point multi-process elements are not read"));
    // Records of at least this many bytes each, counted after the type: Little CMS allocates
    // what the count claims before it reads the records.
    static const struct {
        const char *type;
        int bytes;
    } counted[] = {{"mluc", 12}, {"pseq", 20}, {"psid", 24}, {"dict", 16}};
    for (const auto &c : counted)
        if (type == QLatin1String(c.type)) {
            const qint64 count = t.size >= 12 ? be32(t.data + 8) : -1;
            if (count < 0 || 12 + count * c.bytes > t.size)
                return t.fail(why, QStringLiteral("%1 records in %2 bytes").arg(count).arg(t.size));
        }
    return true;
}

bool checkProfile(const QByteArray &bytes, QString *why)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 length = bytes.size();
    if (length < 132 || be32(p + 36) != 0x61637370) {   // "acsp"
        *why = QStringLiteral("not an ICC profile (no profile header)");
        return false;
    }
    const quint32 declared = be32(p);
    if (declared > length || declared < 132) {
        *why = QStringLiteral("the header gives a profile of %1 bytes, but the file holds %2").arg(declared).arg(length);
        return false;
    }
    const int major = p[8];
    if (major != 2 && major != 4) {
        *why = QStringLiteral("an ICC profile of version %1; versions 2 and 4 are read").arg(major);
        return false;
    }
    const quint32 count = be32(p + 128);
    if (count > quint32(maxTags) || 132 + qint64(count) * 12 > declared) {
        *why = QStringLiteral("the tag table lists %1 tags, more than the profile holds").arg(count);
        return false;
    }
    const quint32 tagsStart = 132 + count * 12;
    for (quint32 i = 0; i < count; ++i) {
        const uchar *entry = p + 132 + i * 12;
        const quint32 offset = be32(entry + 4), size = be32(entry + 8);
        const QString name = sig(entry);
        if (offset < tagsStart || offset > declared || size > declared - offset) {
            *why = QStringLiteral("tag '%1' lies outside the profile (offset %2, %3 bytes, profile %4 bytes)")
                       .arg(name).arg(offset).arg(size).arg(declared);
            return false;
        }
        if (!checkTag({p + offset, size, name}, why))
            return false;
    }
    return true;
}

// 3x3 matrices in double precision.
using M3 = std::array<std::array<double, 3>, 3>;

M3 times(const M3 &a, const M3 &b)
{
    M3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                r[i][j] += a[i][k] * b[k][j];
    return r;
}

bool inverse(const M3 &m, M3 &r)
{
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
        + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (!(std::fabs(det) > 1e-12))
        return false;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int a = (j + 1) % 3, b = (j + 2) % 3, c = (i + 1) % 3, d = (i + 2) % 3;
            r[i][j] = (m[a][c] * m[b][d] - m[a][d] * m[b][c]) / det;
        }
    return true;
}

// Bradford adaptation from D65 to the connection space's D50, to the digits OpenColorIO applies
// to ICC display profiles, so that a profile reads here as it reads there: near black a power
// curve's inverse is steep, and a difference in the sixth digit of this matrix shows there.
M3 d65ToD50()
{
    return {{{1.04788959231449, 0.02292064211774012, -0.05021830580761175},
             {0.02958442223334656, 0.9904819057942333, -0.01707953066879558},
             {-0.009252189009439383, 0.01507304241898737, 0.7516689464913342}}};
}

// An ICC parametric curve (function types 0 to 4) at x.
double parametric(const IccProfiles::Curve &c, double x)
{
    const double *p = c.params;   // g a b c d e f
    const double g = p[0];
    switch (c.type) {
    case 0: return x > 0 ? std::pow(x, g) : 0.0;
    case 1: return x >= -p[2] / p[1] ? std::pow(std::max(0.0, p[1] * x + p[2]), g) : 0.0;
    case 2: return x >= -p[2] / p[1] ? std::pow(std::max(0.0, p[1] * x + p[2]), g) + p[3] : p[3];
    case 3: return x >= p[4] ? std::pow(std::max(0.0, p[1] * x + p[2]), g) : p[3] * x;
    default: return x >= p[4] ? std::pow(std::max(0.0, p[1] * x + p[2]), g) + p[5] : p[3] * x + p[6];
    }
}

const char *const channelNames[] = {"red", "green", "blue"};

// The inverse of a sampled or parametric tone curve as a curve through (f(x), x): the
// entries of a table, or the parametric function at 4096 even steps of its input.
bool inverseCurve(const IccProfiles::Curve &c, int ch, Ops::Curve &node, QString *why)
{
    const int n = c.kind == IccProfiles::Curve::Table ? int(c.table.size()) : 4096;
    std::vector<float> &x = node.x[ch], &y = node.y[ch];
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / double(n - 1);
        const float v = c.kind == IccProfiles::Curve::Table ? c.table[std::size_t(i)] : float(parametric(c, t));
        // A curve that falls back is held level, so that its inverse stays a function.
        x.push_back(x.empty() ? v : std::max(x.back(), v));
        y.push_back(float(t));
    }
    if (!(x.back() > x.front()) || !std::isfinite(x.back())) {
        *why = QStringLiteral("its %1 tone curve does not rise, so it has no inverse").arg(QLatin1String(channelNames[ch]));
        return false;
    }
    return true;
}

bool displayTransform(const IccProfiles::Profile &p, LutTransform &out, QString *why)
{
    M3 colorants, toDevice;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            colorants[i][j] = p.colorants[i][j];
    if (!inverse(colorants, toDevice)) {
        *why = QStringLiteral("its colorants do not span a colour space");
        return false;
    }
    const M3 m = times(toDevice, d65ToD50());
    auto matrix = std::make_shared<Ops::Matrix>(0);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            matrix->m[i][j] = float(m[i][j]);
    out.addNode(matrix);

    // Power curves as exponents (unbounded above), every other curve as its inverse table.
    auto powers = std::make_shared<Ops::Exponent>(0);
    powers->style = Ops::Exponent::BasicRev;
    auto tables = std::make_shared<Ops::Curve>(0);
    bool anyPower = false, anyTable = false;
    for (int ch = 0; ch < 3; ++ch) {
        const IccProfiles::Curve &c = p.trc[ch];
        if (c.kind == IccProfiles::Curve::Gamma) {
            if (!(c.gamma > 0.0)) {
                *why = QStringLiteral("its %1 tone curve is a power of %2").arg(QLatin1String(channelNames[ch])).arg(c.gamma);
                return false;
            }
            powers->params[std::size_t(ch)].exponent = float(c.gamma);
            powers->params[std::size_t(ch)].identity = false;
            anyPower = true;
        } else {
            if (!inverseCurve(c, ch, *tables, why))
                return false;
            anyTable = true;
        }
    }
    if (anyPower)
        out.addNode(powers);
    if (anyTable)
        out.addNode(tables);
    return true;
}

QString className(const QString &sig)
{
    static const char *const names[][2] = {{"mntr", "display"}, {"link", "device link"}, {"abst", "abstract"},
                                           {"scnr", "input device"}, {"prtr", "output device"},
                                           {"spac", "colour space"}, {"nmcl", "named colour"}};
    for (const auto &n : names)
        if (sig == QLatin1String(n[0]))
            return QString::fromLatin1(n[1]);
    return sig.trimmed();
}

// A table-based profile's steps as tables and nodes.
void tableSteps(const std::vector<IccProfiles::Stage> &stages, LutTransform &out)
{
    std::shared_ptr<Read_LUTFile> shaper;
    for (std::size_t i = 0; i < stages.size(); ++i) {
        const IccProfiles::Stage &s = stages[i];
        if (s.kind == IccProfiles::Stage::Matrix) {
            auto m = std::make_shared<Ops::Matrix>(0);
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 4; ++c)
                    m->m[r][c] = float(s.matrix[r][c]);
            out.addNode(m);
            continue;
        }
        auto model = shaper ? shaper : std::make_shared<Read_LUTFile>();
        shaper.reset();
        if (s.kind == IccProfiles::Stage::Curves) {
            model->setSize1D(s.size, false);
            std::copy(s.values.begin(), s.values.end(), model->lut1D.data());
            // Curves just before a lattice are its shaper.
            if (i + 1 < stages.size() && stages[i + 1].kind == IccProfiles::Stage::Lattice) {
                shaper = model;
                continue;
            }
        } else {
            model->setSize3D(s.size, false);
            std::copy(s.values.begin(), s.values.end(), model->lut3D.data());
        }
        out.addTables(model);
    }
}

bool meaning(const IccProfiles::Profile &p, LutTransform &out, QString *why)
{
    out = LutTransform();
    if (p.matrixShaper) {
        if (!displayTransform(p, out, why))
            return false;
    } else if (!p.stages.empty()) {
        tableSteps(p.stages, out);
    } else if (p.evaluator) {
        out.addNode(p.evaluator);
    }
    if (out.isEmpty()) {
        // Tables that were all the identity.
        auto identity = std::make_shared<Ops::Matrix>(0);
        out.addNode(identity);
    }
    const QString version = QString::number(p.version, 'f', 1);
    QString reading = QStringLiteral("%1 profile, version %2, %3 to %4").arg(className(p.deviceClass), version,
                                                                            p.colourSpace.trimmed(), p.connection.trimmed());
    if (p.matrixShaper)
        reading += QStringLiteral("; read as its transform from CIE XYZ (D65 white) to the device's RGB");
    else if (p.stages.empty())
        reading += QStringLiteral("; its table is evaluated by Little CMS");
    out.metadata.append({QStringLiteral("ICC"), reading});
    if (!p.description.isEmpty())
        out.metadata.append({QStringLiteral("Description"), p.description});
    if (!p.copyright.isEmpty())
        out.metadata.append({QStringLiteral("Copyright"), p.copyright});
    return true;
}

bool readProfile(const QString &path, LutTransform &out, QString *why)
{
    QByteArray bytes;
    if (!Icc::load(path, &bytes, why))
        return false;
    const IccProfiles::Backend *icc = IccProfiles::backend(why);
    IccProfiles::Profile p;
    if (!icc || !icc->read(bytes, &p, why))
        return false;
    return meaning(p, out, why);
}

bool iccRead(const QString &path, const LUTFILE_ST &, const Formats::Options &, LutTransform &out, QString *why)
{
    return readProfile(path, out, why);
}

bool withinUnit(const float *v, std::size_t count)
{
    return std::all_of(v, v + count, [](float x) { return x >= 0.0f && x <= 1.0f; });
}

bool iccHolds(const LutTransform &t, const Formats::Options &)
{
    const Read_LUTFile *m = t.tables();
    if (!m || !t.hasLattice() || m->allocated3DSize() > maxLinkSize || !Formats::unitDomain(m->domainMin3D, m->domainMax3D)
        || !withinUnit(m->lut3D.data(), m->lut3D.floatCount()))
        return false;
    return !t.hasShaper()
        || (Formats::unitDomain(m->domainMin1D, m->domainMax1D) && m->allocated1DSize() <= maxShaperEntries
            && withinUnit(m->lut1D.data(), std::size_t(m->allocated1DSize()) * 3));
}

int iccSize(int size, bool given, const Formats::Options &, QString *sizes)
{
    if (size >= 2 && size <= maxLinkSize)
        return size;
    if (!given)
        return size < 2 ? 2 : maxLinkSize;
    *sizes = QStringLiteral("lattices of 2 to %1 points").arg(maxLinkSize);
    return 0;
}

QString titleOf(const QVector<QPair<QString, QString>> &metadata, const QString &path, const Formats::Options &options)
{
    for (const char *key : {"TITLE", "Description"})
        for (const auto &e : metadata)
            if (e.first == QLatin1String(key) && !e.second.isEmpty())
                return e.second;
    return QFileInfo(options.sourceName.isEmpty() ? path : options.sourceName).completeBaseName();
}

// The lattice (and shaper) in the link's layout, red slowest, by the writer's orders; written
// through a temporary file like every other output.
bool writeLink(Write_LUTFile &writer, const QString &path, const Read_LUTFile &lut, bool shaper,
               const QVector<QPair<QString, QString>> &metadata, const Formats::Options &options)
{
    writer.applyDefaultOrder(Formats::iccFormat.writeOrder);
    const int n = lut.allocated3DSize();
    if (n < 2 || n > maxLinkSize) {
        writer.errorString = n <= 0 ? QStringLiteral("an ICC device link is made from a lattice; the LUT holds none")
                                    : QStringLiteral("a device link holds lattices of 2 to %1 points, not %2").arg(maxLinkSize).arg(n);
        return false;
    }
    if (!Formats::unitDomain(lut.domainMin3D, lut.domainMax3D)) {
        writer.errorString = QStringLiteral("a device link's input is 0 to 1; the lattice's domain is another");
        return false;
    }
    const IccProfiles::Backend *icc = IccProfiles::backend(&writer.errorString);
    if (!icc)
        return false;
    std::vector<float> lattice(std::size_t(n) * n * n * 3);
    float *v = lattice.data();
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b, v += 3) {
                const float *node = writer.tableOrderRGB ? lut.lut3D.node(r, g, b) : lut.lut3D.node(b, g, r);
                v[0] = node[writer.dataOrderRGB ? 0 : 2];
                v[1] = node[1];
                v[2] = node[writer.dataOrderRGB ? 2 : 0];
            }
    std::vector<float> curves;
    IccProfiles::Link link;
    link.size = n;
    link.lattice = lattice.data();
    if (shaper) {
        const int entries = lut.allocated1DSize();
        const bool straight = writer.dataOrderRGB == writer.tableOrderRGB;
        for (int i = 0; i < entries; ++i)
            for (int c : {straight ? 0 : 2, 1, straight ? 2 : 0})
                curves.push_back(lut.lut1D[i][c]);
        link.shaperSize = entries;
        link.shaper = curves.data();
    }
    link.description = titleOf(metadata, path, options);
    link.copyright = QStringLiteral("No copyright, use freely");
    for (const auto &e : metadata)
        if (e.first == QLatin1String("Copyright") && !e.second.isEmpty())
            link.copyright = e.second;
    QByteArray bytes;
    if (!icc->writeLink(link, &bytes, &writer.errorString))
        return false;
    TextWriter out;
    if (!writer.openOutput(out, path))
        return false;
    out.put(bytes.constData(), bytes.size());
    return writer.finish(out);
}

bool iccWrite(Write_LUTFile &writer, const QString &path, const LutTransform &t, const Formats::Options &options)
{
    return writeLink(writer, path, *t.tables(), t.hasShaper(), t.metadata, options);
}

// The model's node (r, g, b) by its order flags, as the numbered readers place samples.
void store(Read_LUTFile &lut, int r, int g, int b, const float *v)
{
    float *node = lut.tableOrderRGB ? lut.lut3D.node(r, g, b) : lut.lut3D.node(b, g, r);
    node[0] = v[lut.dataOrderRGB ? 0 : 2];
    node[1] = v[1];
    node[2] = v[lut.dataOrderRGB ? 2 : 0];
}

}

bool Icc::check(const QByteArray &bytes, QString *why)
{
    return checkProfile(bytes, why);
}

bool Icc::load(const QString &path, QByteArray *bytes, QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    // Read in parts up to one byte past the limit, so that a file that grows or has no size
    // (a pipe) cannot pass it and nothing is reserved for bytes that never come.
    QByteArray data;
    if (!file.isSequential() && file.size() <= maxProfileBytes)
        data.reserve(int(file.size()));
    char part[1 << 16];
    qint64 got = 0;
    while (data.size() <= maxProfileBytes && (got = file.read(part, sizeof part)) > 0)
        data.append(part, int(got));
    if (got < 0) {
        *why = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    if (data.size() > maxProfileBytes) {
        *why = QStringLiteral("%1 is too large to be an ICC profile (more than %2 bytes)").arg(path).arg(maxProfileBytes);
        return false;
    }
    if (!checkProfile(data, why))
        return false;
    *bytes = std::move(data);
    return true;
}

bool Icc::parseIntent(const QString &text, IccProfiles::Intent *intent)
{
    static const char *const names[] = {"perceptual", "relative", "saturation", "absolute"};
    for (int i = 0; i < 4; ++i)
        if (text.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0) {
            *intent = IccProfiles::Intent(i);
            return true;
        }
    return false;
}

QStringList Icc::builtInNames()
{
    return {QStringLiteral("sRGB"), QStringLiteral("Rec.709"), QStringLiteral("Display P3")};
}

bool Icc::pair(const QString &from, const QString &to, IccProfiles::Intent intent, LutTransform &out, QString *why)
{
    IccProfiles::Source sources[2];
    const QString names[2] = {from, to};
    for (int i = 0; i < 2; ++i) {
        IccProfiles::Source &s = sources[i];
        s.name = names[i];
        if (QFileInfo(names[i]).isFile()) {
            if (!load(names[i], &s.bytes, why)) {
                *why = QStringLiteral("%1: %2").arg(names[i], *why);
                return false;
            }
        } else {
            s.builtIn = names[i];
        }
    }
    const IccProfiles::Backend *icc = IccProfiles::backend(why);
    if (!icc)
        return false;
    std::shared_ptr<const Ops::Node> node = icc->pair(sources[0], sources[1], intent, why);
    if (!node)
        return false;
    out = LutTransform();
    out.addNode(node);
    out.metadata.append({QStringLiteral("ICC"), QStringLiteral("from %1 to %2").arg(QFileInfo(from).fileName(), QFileInfo(to).fileName())});
    return true;
}

bool Read_Icc(Read_LUTFile &lut, const QString &path, bool headerOnly, const Formats::Options &options)
{
    LutTransform t;
    QString why;
    if (!readProfile(path, t, &why))
        return lut.fail(why);
    lut.applyDefaultOrder(Formats::iccFormat.readOrder);
    lut.metadata = t.metadata;
    // A profile of one lattice is that lattice; any other is evaluated on one over 0 to 1.
    const Read_LUTFile *tables = t.tables();
    const bool plain = tables && t.hasLattice() && !t.hasShaper();
    const int n = plain ? tables->allocated3DSize() : options.bakeSize > 0 ? options.bakeSize : 33;
    if (!plain && !LutLimits::valid3DSize(n))
        return lut.fail(QStringLiteral("a profile cannot be evaluated on a lattice of %1 points").arg(n));
    if (!lut.setSize3D(n, headerOnly))
        return false;
    if (headerOnly)
        return true;
    const float last = float(n - 1);
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                float rgb[3] = {float(r) / last, float(g) / last, float(b) / last};
                if (plain)
                    std::copy(tables->lut3D.node(r, g, b), tables->lut3D.node(r, g, b) + 3, rgb);
                else
                    t.apply(rgb);
                store(lut, r, g, b, rgb);
            }
    return true;
}

bool Write_Icc(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Formats::Options &options)
{
    return writeLink(writer, path, lut, false, lut.metadata, options);
}
