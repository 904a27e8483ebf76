#include "engine/lutio.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

#include "calc/lutcompare.h"
#include "formats/faithful.h"
#include "formats/writers.h"
#include "lut/numformat.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

namespace LutIO {

namespace {

// A side whose orders are the format's own unless an order option is given; the caller puts
// the format's own orders in place first, and giveOrders then lays the options over them.
LUTFILE_ST side(const QString &path, const Formats::Format &format, const Orders &orders)
{
    LUTFILE_ST f;
    f.path = path;
    f.formatId = qint32(format.id);
    f.defaultOrder = !orders.any();
    return f;
}

void giveOrders(const Orders &orders, LUTFILE_ST &f)
{
    if (orders.data.given)
        f.dataOrderRGB = orders.data.rgb;
    if (orders.table.given)
        f.tableOrderRGB = orders.table.rgb;
}

QString fixed(float v)
{
    char buf[NumFormat::maxLength];
    return QString::fromLatin1(buf, int(NumFormat::fixed6(buf, double(v)) - buf));
}

QString colour(const float *v)
{
    return fixed(v[0]) + QLatin1Char(' ') + fixed(v[1]) + QLatin1Char(' ') + fixed(v[2]);
}

std::shared_ptr<Read_LUTFile> newModel(int size3D, int size1D, QString *why)
{
    auto m = std::make_shared<Read_LUTFile>();
    if ((size3D > 0 && !m->setSize3D(size3D, false)) || (size1D > 0 && !m->setSize1D(size1D, false))) {
        *why = m->errorString;
        return nullptr;
    }
    return m;
}

// Input positions of an axis: i / (n - 1) first, as the resampler takes them, so that over
// 0 to 1 a position is exactly the one the resampler looks up.
inline float position(float lo, float hi, int i, int n)
{
    return n > 1 ? lo + (hi - lo) * (float(i) / float(n - 1)) : lo;
}

// The transform evaluated at the nodes of an n-point lattice over [min, max].
std::shared_ptr<Read_LUTFile> bakeLattice(const LutTransform &t, int n, const float *min, const float *max, QString *why)
{
    auto m = newModel(n, 0, why);
    if (!m)
        return nullptr;
    std::copy(min, min + 3, m->domainMin3D);
    std::copy(max, max + 3, m->domainMax3D);
    std::vector<float> axis[3];
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < n; ++i)
            axis[c].push_back(position(min[c], max[c], i, n));
    float *node = m->lut3D.data();
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g) {
            float *row = node;
            for (int b = 0; b < n; ++b, node += 3) {
                node[0] = axis[0][std::size_t(r)];
                node[1] = axis[1][std::size_t(g)];
                node[2] = axis[2][std::size_t(b)];
            }
            t.apply(row, row, std::size_t(n));
        }
    return m;
}

// The transform evaluated at n entries over [min, max], each channel along its own axis: a
// separable transform's 1D table, and a lattice's grey axis.
std::shared_ptr<Read_LUTFile> bakeTable(const LutTransform &t, int n, const float *min, const float *max, QString *why)
{
    auto m = newModel(0, n, why);
    if (!m)
        return nullptr;
    std::copy(min, min + 3, m->domainMin1D);
    std::copy(max, max + 3, m->domainMax1D);
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c)
            m->lut1D[i][c] = position(min[c], max[c], i, n);
    t.apply(m->lut1D.data(), m->lut1D.data(), std::size_t(n));
    return m;
}

// The shaper of a transform's tables kept, its lattice resampled to n points over its domain.
std::shared_ptr<Read_LUTFile> resampleLattice(const Read_LUTFile &in, int n, QString *why)
{
    auto lattice = bakeLattice(LutTransform::latticeViewOf(in), n, in.domainMin3D, in.domainMax3D, why);
    if (!lattice || !in.has1D())
        return lattice;
    if (!lattice->setSize1D(in.allocated1DSize(), false)) {
        *why = lattice->errorString;
        return nullptr;
    }
    std::copy(in.lut1D.data(), in.lut1D.data() + std::size_t(in.allocated1DSize()) * 3, lattice->lut1D.data());
    std::copy(in.domainMin1D, in.domainMin1D + 3, lattice->domainMin1D);
    std::copy(in.domainMax1D, in.domainMax1D + 3, lattice->domainMax1D);
    return lattice;
}

// Clip every value to 0 to 1; whether any was outside.
bool clip(Read_LUTFile &m)
{
    bool clipped = false;
    auto clamp = [&](float *v, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (v[i] < 0.0f || v[i] > 1.0f) {
                clipped = true;
                v[i] = v[i] > 1.0f ? 1.0f : v[i] < 0.0f ? 0.0f : v[i];
            }
        }
    };
    if (m.has3D())
        clamp(m.lut3D.data(), m.lut3D.floatCount());
    if (m.has1D())
        clamp(m.lut1D.data(), std::size_t(m.allocated1DSize()) * 3);
    return clipped;
}

bool holdsExactly(const Formats::Format &f, const LutTransform &t, const Formats::Options &options)
{
    return f.faithful && f.faithful->write && f.faithful->holds && f.faithful->holds(t, options);
}

// Whether the format would hold a table of this kind over [min, max], asked of a 2-point model.
bool holdsDomain(const Formats::Format &f, bool lattice, const float *min, const float *max,
                 const Formats::Options &options)
{
    if (Formats::unitDomain(min, max))
        return true;
    QString unused;
    auto probe = newModel(lattice ? 2 : 0, lattice ? 0 : 2, &unused);
    std::copy(min, min + 3, lattice ? probe->domainMin3D : probe->domainMin1D);
    std::copy(max, max + 3, lattice ? probe->domainMax3D : probe->domainMax1D);
    return holdsExactly(f, LutTransform::ofTables(probe), options);
}

// A table over 0 to 1 of the kind the format's plain writer writes, of a length it takes.
bool plainFor(const Formats::Format &f, const Read_LUTFile &m)
{
    if (!Formats::unitDomain(m.domainMin3D, m.domainMax3D) || !Formats::unitDomain(m.domainMin1D, m.domainMax1D))
        return false;
    if (f.is3D)
        return m.has3D() && !m.has1D();
    return m.has1D() && !m.has3D() && (f.fixed1DLength == 0 || f.fixed1DLength == m.allocated1DSize());
}

bool withinUnit(const Read_LUTFile &m)
{
    auto within = [](const float *v, std::size_t count) {
        return std::none_of(v, v + count, [](float x) { return x < 0.0f || x > 1.0f; });
    };
    return (!m.has3D() || within(m.lut3D.data(), m.lut3D.floatCount()))
        && (!m.has1D() || within(m.lut1D.data(), std::size_t(m.allocated1DSize()) * 3));
}

std::shared_ptr<Read_LUTFile> copyOf(const Read_LUTFile &m, QString *why)
{
    auto c = newModel(m.allocated3DSize(), m.allocated1DSize(), why);
    if (!c)
        return nullptr;
    if (m.has3D())
        std::copy(m.lut3D.data(), m.lut3D.data() + m.lut3D.floatCount(), c->lut3D.data());
    if (m.has1D())
        std::copy(m.lut1D.data(), m.lut1D.data() + std::size_t(m.allocated1DSize()) * 3, c->lut1D.data());
    return c;
}

// The domain a table made for the format is baked over: the transform's own where the format
// states it, else the one range over all channels that covers it where the format states only
// such ranges, else 0 to 1. Whether the transform's own domain is kept, with a reason when not.
bool domainFor(const Formats::Format &f, bool lattice, const float *min, const float *max,
               const Formats::Options &options, float *outMin, float *outMax, QStringList &reasons)
{
    std::copy(min, min + 3, outMin);
    std::copy(max, max + 3, outMax);
    if (holdsDomain(f, lattice, min, max, options))
        return true;
    const float lo = std::min({min[0], min[1], min[2]}), hi = std::max({max[0], max[1], max[2]});
    const float boxMin[3] = {lo, lo, lo}, boxMax[3] = {hi, hi, hi};
    // A covering range of 0 to 1 is the reduction below.
    if (!Formats::unitDomain(boxMin, boxMax) && holdsDomain(f, lattice, boxMin, boxMax, options)) {
        std::copy(boxMin, boxMin + 3, outMin);
        std::copy(boxMax, boxMax + 3, outMax);
        reasons << QStringLiteral("its input domain %1 is widened to %2, one range for all channels")
                       .arg(domainText(min, max), domainText(boxMin, boxMax));
        return false;
    }
    std::fill(outMin, outMin + 3, 0.0f);
    std::fill(outMax, outMax + 3, 1.0f);
    reasons << QStringLiteral("its input domain %1 is reduced to 0 to 1").arg(domainText(min, max));
    return false;
}

// Entries of a 1D table made from per-channel steps that are no table of their own size (a
// curve, a half-float table, a log): fine enough that linear steps between entries stay close.
constexpr int fineEntries = 4096;

// A transform that ends in a lattice after per-channel steps (a .csp curve, a CLF Range or log
// before its LUT3D), or is nothing but per-channel steps (a half-float 1D table, a CDL without
// saturation), for a format that holds a shaper before a lattice or a 1D table alone: those
// steps evaluated into a fine 1D table over their domain, the lattice kept as it is. nullptr
// where that does not fit the format, or a lattice of another size is asked for.
std::shared_ptr<Read_LUTFile> fineShaper(const Formats::Format &target, const LutTransform &lut, int size3D,
                                         const Formats::Options &options, QStringList &reasons, QString *why)
{
    const std::vector<LutTransform::Step> &steps = lut.steps();
    const LutTransform::Step &last = steps.back();
    const bool endsInLattice = last.tables && last.lattice && !last.shaper;
    if (endsInLattice ? size3D > 0 && size3D != last.tables->allocated3DSize() : size3D > 0)
        return nullptr;
    LutTransform prefix;
    const std::size_t count = steps.size() - (endsInLattice ? 1 : 0);
    for (std::size_t i = 0; i < count; ++i) {
        if (!LutTransform::separable(steps[i]))
            return nullptr;
        LutTransform one;
        if (steps[i].node)
            one.addNode(steps[i].node);
        else
            one.addTables(steps[i].tables);
        prefix.append(one);
    }
    if (prefix.isEmpty())
        return nullptr;
    float min[3], max[3];
    prefix.domain(min, max);
    const float lo = std::min({min[0], min[1], min[2]}), hi = std::max({max[0], max[1], max[2]});
    const float boxMin[3] = {lo, lo, lo}, boxMax[3] = {hi, hi, hi};
    const int entries = std::max(fineEntries, prefix.shaperSize());
    std::shared_ptr<Read_LUTFile> made = bakeTable(prefix, std::min(entries, 65536), boxMin, boxMax, why);
    if (!made)
        return nullptr;
    if (endsInLattice) {
        const Read_LUTFile &l = *last.tables;
        if (!made->setSize3D(l.allocated3DSize(), false)) {
            *why = made->errorString;
            return nullptr;
        }
        std::copy(l.lut3D.data(), l.lut3D.data() + l.lut3D.floatCount(), made->lut3D.data());
        std::copy(l.domainMin3D, l.domainMin3D + 3, made->domainMin3D);
        std::copy(l.domainMax3D, l.domainMax3D + 3, made->domainMax3D);
    }
    if (!holdsExactly(target, LutTransform::ofTables(made), options))
        return nullptr;
    reasons << QStringLiteral("its %1 per-channel step%2 %3 evaluated into a 1D %4 of %5 entries over %6")
                   .arg(count).arg(count == 1 ? "" : "s").arg(count == 1 ? "is" : "are")
                   .arg(endsInLattice ? "shaper" : "table").arg(made->allocated1DSize()).arg(domainText(boxMin, boxMax));
    return made;
}

bool keepsFloats(const Formats::Format &f)
{
    return f.faithful && f.faithful->floats;
}

// "its process step is" or "its 3 process steps are".
QString stepsWord(std::size_t count)
{
    return count == 1 ? QStringLiteral("its process step is") : QStringLiteral("its %1 process steps are").arg(count);
}

QString latticeWord(int n)
{
    return QStringLiteral("%1-point lattice").arg(n);
}

// What the source does that the output does not, and how much, measured as compare does.
void measure(const LutTransform &source, const Read_LUTFile &output, Loss &loss)
{
    const LutTransform out = LutTransform::ofTables(std::shared_ptr<const Read_LUTFile>(&output, [](const Read_LUTFile *) {}));
    const LutCompare::Result r = LutCompare::compare(source, out, LutCompare::defaultLatticeSize(source, out));
    if (!r.error.isEmpty())
        return;
    int worst = 0;
    for (int c = 1; c < 3; ++c)
        if (r.channel[c].largest > r.channel[worst].largest)
            worst = c;
    const LutCompare::Channel &ch = r.channel[worst];
    loss.largest = ch.largest;
    std::copy(ch.at, ch.at + 3, loss.at);
    std::copy(ch.a, ch.a + 3, loss.source);
    std::copy(ch.b, ch.b + 3, loss.output);
    // Differences of float rounding are no loss.
    float size = 1.0f;
    for (int c = 0; c < 3; ++c)
        size = std::max({size, std::fabs(ch.a[c]), std::fabs(ch.b[c])});
    if (!(loss.largest > 1e-6f * size))
        loss.reasons.clear();
}

}

QString general(double v)
{
    char buf[NumFormat::maxLength];
    return QString::fromLatin1(buf, int(NumFormat::general6(buf, v) - buf));
}

QString domainText(const float *min, const float *max)
{
    if (min[0] == min[1] && min[1] == min[2] && max[0] == max[1] && max[1] == max[2])
        return QStringLiteral("%1 to %2").arg(general(min[0]), general(max[0]));
    QStringList parts;
    for (int c = 0; c < 3; ++c)
        parts << QStringLiteral("%1 %2 to %3").arg(QLatin1Char("RGB"[c])).arg(general(min[c]), general(max[c]));
    return parts.join(QStringLiteral(", "));
}

QString Loss::text() const
{
    return QStringLiteral("%1; the largest difference is %2 (at input %3: the source gives %4, the output %5)")
        .arg(reasons.join(QStringLiteral("; ")), general(double(largest)), colour(at), colour(source), colour(output));
}

bool parseOrder(const QString &text, Order &order)
{
    const QString t = text.toLower();
    if (t != QLatin1String("rgb") && t != QLatin1String("bgr"))
        return false;
    order.given = true;
    order.rgb = t == QLatin1String("rgb");
    return true;
}

LUTFILE_ST inputSide(const QString &path, const Formats::Format &format, const Orders &orders)
{
    LUTFILE_ST f = side(path, format, orders);
    const Formats::Orders own = format.faithful ? format.faithful->readOrder : format.readOrder;
    f.dataOrderRGB = own.dataRGB;
    f.tableOrderRGB = own.tableRGB;
    giveOrders(orders, f);
    return f;
}

LUTFILE_ST outputSide(const QString &path, const Formats::Format &format, const Orders &orders, qint64 scale)
{
    // The .cube writer has no order of its own and always prints by the two flags, which
    // therefore carry its default too.
    LUTFILE_ST f = side(path, format, orders);
    f.dataOrderRGB = format.writeOrder.dataRGB;
    f.tableOrderRGB = format.writeOrder.tableRGB;
    giveOrders(orders, f);
    f.scale = scale;
    return f;
}

bool read(const QString &path, const CliFormats::Choice &forced, const Orders &orders, LutTransform &lut,
          const Formats::Format **format, QString *why, const Formats::Options &options)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *why = QStringLiteral("no such file");
        return false;
    }
    if (info.isDir()) {
        *why = QStringLiteral("is a folder, not a file");
        return false;
    }
    const Formats::Format *found = CliFormats::detectInput(path, forced, why);
    if (!found)
        return false;
    if (format)
        *format = found;
    return Formats::readTransform(*found, inputSide(path, *found, orders), options, lut, why);
}

bool shape(const Formats::Format &target, const LutTransform &lut, const Shape &shape, const Formats::Options &options,
           Shaped &out, QString *why, bool bake)
{
    out = Shaped();
    if (lut.isEmpty()) {
        *why = QStringLiteral("holds no LUT data");
        return false;
    }
    // A format that holds one kind of transform only (a CDL, a matrix) takes nothing else.
    const Formats::Faithful *own = target.faithful;
    if (own && own->holdsOnly && !own->holds(lut, options)) {
        *why = QStringLiteral("not written: %1 files hold %2, which this LUT is not")
                   .arg(Formats::labelOf(target), QString::fromUtf8(own->holdsOnly));
        return false;
    }
    const Read_LUTFile *tables = lut.tables();
    const bool shaperAndLattice = lut.hasShaper() && lut.hasLattice();
    const int sourceLattice = lut.hasLattice() ? tables->allocated3DSize() : 0;
    const int sourceTable = lut.hasShaper() && !lut.hasLattice() ? tables->allocated1DSize() : 0;
    float min[3], max[3];
    lut.domain(min, max);
    QStringList reasons;
    std::shared_ptr<Read_LUTFile> made;

    // Written as it is where the format holds it and nothing else is asked for: through the
    // format's plain writer when it is a table over 0 to 1 of the kind that writer writes (as
    // every conversion was before faithful reading), else through its faithful writer.
    const bool keepSize = (shape.size3D == 0 || shape.size3D == sourceLattice)
        && (shape.length1D == 0 || shape.length1D == sourceTable);
    const bool sizeHeld = sourceLattice == 0 || !target.latticeSize
        || target.latticeSize(sourceLattice, false, options, nullptr) == sourceLattice;
    if (!bake && keepSize && sizeHeld) {
        if (tables && plainFor(target, *tables)) {
            if (keepsFloats(target) || withinUnit(*tables)) {
                out.baked = lut.steps().front().tables;
                return true;
            }
            made = copyOf(*tables, why);
            if (!made)
                return false;
        } else if (holdsExactly(target, lut, options)) {
            out.exact = lut;
            out.isExact = true;
            return true;
        }
    }

    // A size the format cannot take is changed to one it can, and said.
    auto latticeFor = [&](int n) {
        QString sizes;
        const int fitted = target.latticeSize ? target.latticeSize(n, false, options, &sizes) : n;
        if (fitted != n && shape.size3D == 0)
            reasons << QStringLiteral("its %1 is resampled to %2 points, the nearest size %3 holds")
                           .arg(latticeWord(n)).arg(fitted).arg(Formats::labelOf(target));
        return fitted;
    };

    if (made) {
        // Only clipped below.
    } else if (target.is3D) {
        // A lattice keeps its size; anything else (a shaper baked in, a chain) is evaluated on
        // 33 points, or on as many as its largest lattice has.
        const bool shaperHeld = shaperAndLattice && !bake && holdsExactly(target, lut, options);
        const int n = latticeFor(shape.size3D > 0 ? shape.size3D
                                 : sourceLattice > 0 && (shaperHeld || !shaperAndLattice) ? sourceLattice
                                 : std::max(33, lut.latticeSize()));
        float dMin[3], dMax[3];
        const bool domainHeld = domainFor(target, true, min, max, options, dMin, dMax, reasons);
        if (shaperAndLattice && !bake && domainHeld) {
            // The shaper stays where the format holds it; only the lattice is resampled.
            auto kept = resampleLattice(*tables, n, why);
            if (!kept)
                return false;
            if (holdsExactly(target, LutTransform::ofTables(kept), options))
                made = kept;
        }
        if (!made && !bake && !tables)
            made = fineShaper(target, lut, shape.size3D, options, reasons, why);
        if (!made) {
            if (sourceTable > 0 && !bake)
                reasons << QStringLiteral("its 1D table is made a separable %1").arg(latticeWord(n));
            else if (shaperAndLattice)
                reasons << QStringLiteral("its 1D shaper is evaluated into a %1").arg(latticeWord(n));
            else if (!tables && !bake)
                reasons << QStringLiteral("%1 evaluated on a %2").arg(stepsWord(lut.steps().size()), latticeWord(n));
            made = bakeLattice(lut, n, dMin, dMax, why);
        }
    } else {
        const int fixedLength = target.fixed1DLength;
        const int n = fixedLength > 0 ? fixedLength : shape.length1D > 0 ? shape.length1D : sourceTable > 0 ? sourceTable : 1024;
        float dMin[3], dMax[3];
        domainFor(target, false, min, max, options, dMin, dMax, reasons);
        if (sourceTable == 0)
            reasons << (lut.hasLattice() ? QStringLiteral("only its grey axis is kept")
                                         : QStringLiteral("%1 evaluated per channel").arg(stepsWord(lut.steps().size())));
        else if (fixedLength > 0 && fixedLength != sourceTable && shape.length1D == 0)
            reasons << QStringLiteral("its %1 entries are resampled to the %2 that %3 holds")
                           .arg(sourceTable).arg(fixedLength).arg(Formats::labelOf(target));
        made = bakeTable(lut, n, dMin, dMax, why);
    }
    if (!made)
        return false;
    if (!keepsFloats(target) && clip(*made))
        reasons << QStringLiteral("values outside 0 to 1 are clipped");
    made->metadata = lut.metadata;

    out.baked = made;
    if (!plainFor(target, *made) && holdsExactly(target, LutTransform::ofTables(made), options)) {
        out.exact = LutTransform::ofTables(made);
        out.isExact = true;
    }
    if (!reasons.isEmpty()) {
        out.loss.reasons = reasons;
        measure(lut, *made, out.loss);
    }
    return true;
}

bool write(const Formats::Format &format, const LUTFILE_ST &side, const Shaped &shaped, QString *why,
           const Formats::Options &options, QString *warning)
{
    if (shaped.isExact) {
        Write_LUTFile writer;
        writer.dataOrderRGB = side.dataOrderRGB;
        writer.tableOrderRGB = side.tableOrderRGB;
        writer.defaultOrder = side.defaultOrder;
        writer.scale = side.scale;
        if (format.faithful->write(writer, side.path, shaped.exact, options))
            return true;
        *why = writer.errorString.isEmpty() ? QStringLiteral("cannot be written") : writer.errorString;
        return false;
    }
    Read_LUTFile &lut = const_cast<Read_LUTFile &>(*shaped.baked);
    LUTFILE_ST s = side;
    s.outputSize3D = lut.lut3DSize;
    if (!Formats::write(format, s, lut, why, options))
        return false;
    if (warning && format.id == Formats::Id::ThreeDL && options.headerless) {
        // Without a Mesh line the depth is taken from the largest sample when read back.
        int written = 0;
        const int back = Formats::headerless3dlReadBits(lut, options.bits, &written);
        if (back != written)
            *warning = QStringLiteral("without a Mesh line its largest sample makes it read back as %1, not as the "
                                      "%2-bit codes written; leave out --headerless to keep the Mesh line")
                           .arg(back == 0 ? QStringLiteral("floats") : QStringLiteral("%1-bit codes").arg(back))
                           .arg(written);
    }
    return true;
}

std::shared_ptr<const Read_LUTFile> asLattice(const LutTransform &lut, int size, QString *why)
{
    if (lut.hasLattice() && !lut.hasShaper() && (size == 0 || size == lut.tables()->allocated3DSize()))
        return lut.steps().front().tables;
    if (lut.isEmpty()) {
        *why = QStringLiteral("holds no LUT data");
        return nullptr;
    }
    float min[3], max[3];
    lut.domain(min, max);
    return bakeLattice(lut, size > 0 ? size : std::max(33, lut.latticeSize()), min, max, why);
}

}
