#include "cli/lutio.h"

#include <QFileInfo>

#include <algorithm>

#include "calc/lutcalc.h"
#include "cli/cliformats.h"
#include "cli/console.h"
#include "formats/writers.h"
#include "lut/read_lutfile.h"

namespace LutIO {

namespace {

bool unitDomain(const float *min, const float *max)
{
    for (int ch = 0; ch < 3; ++ch)
        if (min[ch] != 0.0f || max[ch] != 1.0f)
            return false;
    return true;
}

std::unique_ptr<Read_LUTFile> newLattice(int n, QString *why)
{
    auto m = std::make_unique<Read_LUTFile>();
    if (!m->setSize3D(n, false)) {
        *why = m->errorString;
        return nullptr;
    }
    return m;
}

std::unique_ptr<Read_LUTFile> newTable1D(int n, QString *why)
{
    auto m = std::make_unique<Read_LUTFile>();
    if (!m->setSize1D(n, false)) {
        *why = m->errorString;
        return nullptr;
    }
    return m;
}

// The separable lattice of n points per axis of a 1D table. The table is first sampled at the
// lattice positions by linear interpolation over its own domain. Lut1D_to_Lut3D then takes the
// entry at or below each position i / (n - 1) * (entries - 1), which in float can come out one
// ulp under the exact index; with every sample held at two neighbouring entries (2i - 1 and
// 2i) the truncation lands on the right sample either way.
std::unique_ptr<Read_LUTFile> separable3D(const Read_LUTFile &in, int n, QString *why)
{
    auto grid = newTable1D(n, why);
    if (!grid)
        return nullptr;
    LutCalc::Lut1D_Out(in, *grid);

    const int doubledSize = 2 * n - 1;
    auto doubled = newTable1D(doubledSize, why);
    if (!doubled)
        return nullptr;
    for (int i = 0; i < n; ++i)
        for (int e = std::max(0, 2 * i - 1); e <= 2 * i; ++e)
            for (int c = 0; c < 3; ++c)
                doubled->lut1D[e][c] = grid->lut1D[i][c];

    auto out = newLattice(n, why);
    if (out)
        LutCalc::Lut1D_to_Lut3D(doubled->lut1D, doubledSize, *out);
    return out;
}

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

Read_LUTFile *keep(std::unique_ptr<Read_LUTFile> made, std::unique_ptr<Read_LUTFile> &holder)
{
    holder = std::move(made);
    return holder.get();
}

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
    f.dataOrderRGB = format.readOrder.dataRGB;
    f.tableOrderRGB = format.readOrder.tableRGB;
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

bool read(const QString &path, const CliFormats::Choice &forced, const Orders &orders, Read_LUTFile &lut,
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
    if (!Formats::read(*found, inputSide(path, *found, orders), lut, false, options)) {
        *why = !lut.errorString.isEmpty() ? lut.errorString
                                          : QStringLiteral("cannot be read as %1").arg(Formats::labelOf(*found));
        return false;
    }
    if (!lut.has3D() && !lut.has1D()) {
        *why = QStringLiteral("holds no LUT data");
        return false;
    }
    return true;
}

Read_LUTFile *as3D(Read_LUTFile &in, int size, std::unique_ptr<Read_LUTFile> &made, QString *why)
{
    if (in.has3D())
        return &in;
    if (!in.has1D()) {
        *why = QStringLiteral("holds no LUT data");
        return nullptr;
    }
    auto out = separable3D(in, size > 0 ? size : 33, why);
    return out ? keep(std::move(out), made) : nullptr;
}

Read_LUTFile *shapeFor(const Formats::Format &target, Read_LUTFile &in, const Shape &shape,
                       std::unique_ptr<Read_LUTFile> &made, QString *why, const Formats::Options &options)
{
    if (target.is3D) {
        int n = shape.size3D > 0 ? shape.size3D : in.has3D() ? in.lut3DSize : 33;
        QString sizes;
        if (target.latticeSize)
            n = target.latticeSize(n, false, options, &sizes);
        if (!in.has3D())
            return as3D(in, n, made, why);
        if (n == in.lut3DSize && unitDomain(in.domainMin3D, in.domainMax3D))
            return &in;
        auto out = newLattice(n, why);
        if (!out)
            return nullptr;
        LutCalc::Lut3D_Out(in, *out);
        return keep(std::move(out), made);
    }

    const int fixed = target.fixed1DLength;
    if (in.has1D()) {
        const int n = fixed > 0 ? fixed : shape.length1D > 0 ? shape.length1D : in.lut1DSize;
        if (n == in.lut1DSize && unitDomain(in.domainMin1D, in.domainMax1D))
            return &in;
        auto out = newTable1D(n, why);
        if (!out)
            return nullptr;
        LutCalc::Lut1D_Out(in, *out);
        return keep(std::move(out), made);
    }
    if (!in.has3D()) {
        *why = QStringLiteral("holds no LUT data");
        return nullptr;
    }
    // A lattice written as a 1D table: its grey axis.
    auto out = newTable1D(fixed > 0 ? fixed : shape.length1D > 0 ? shape.length1D : 1024, why);
    if (!out)
        return nullptr;
    LutCalc::Lut3D_to_Lut1D(in, *out);
    return keep(std::move(out), made);
}

bool write(const Formats::Format &format, const LUTFILE_ST &side, Read_LUTFile &lut, QString *why,
           const Formats::Options &options)
{
    LUTFILE_ST s = side;
    s.outputSize3D = lut.lut3DSize;
    if (!Formats::write(format, s, lut, why, options))
        return false;
    if (format.id == Formats::Id::ThreeDL && options.headerless && !Formats::headerless3dlReadsBack(lut, options.bits))
        Console::err(QStringLiteral("%1: warning: its largest sample is below half the range of its samples, so "
                                    "without a Mesh line it reads back brighter than written; leave out "
                                    "--headerless to keep the Mesh line\n").arg(Console::shown(side.path)));
    return true;
}

}
