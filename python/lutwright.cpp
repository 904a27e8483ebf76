// The Python module: reading, writing, converting, applying, comparing and inverting LUTs
// through the same engine as the command line, so that both give the same numbers.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <cmath>
#include <memory>
#include <thread>

#include "calc/invert.h"
#include "calc/lutcompare.h"
#include "calc/transform.h"
#include "engine/cliformats.h"
#include "engine/lutinfo.h"
#include "engine/lutio.h"
#include "engine/pixelapply.h"
#include "formats/faithful.h"
#include "lut/lutlimits.h"
#include "lut/read_lutfile.h"

namespace py = pybind11;

// Where the image module is, set by the package when it is imported (imageloader.cpp).
void setImageModulePath(const QString &path);

namespace {

// The module's exception and warning classes; the module holds them for the interpreter's
// whole life, so these handles need no reference of their own.
py::handle lutError;
py::handle lutWarning;

std::string text(const QString &s)
{
    return s.toStdString();
}

// A path as the system names it: str, bytes or os.PathLike.
QString pathArg(const py::handle &path)
{
    const py::bytes bytes = py::module_::import("os").attr("fsencode")(path);
    return QFile::decodeName(QByteArray::fromStdString(std::string(bytes)));
}

py::object pathOrNone(const QString &path)
{
    if (path.isEmpty())
        return py::none();
    return py::module_::import("os").attr("fsdecode")(py::bytes(QFile::encodeName(path).toStdString()));
}

// LutError(message) with `reason`, `path` and `line` (the line number a reason begins with).
[[noreturn]] void fail(const QString &path, const QString &reason)
{
    const QString message = path.isEmpty() ? reason : QStringLiteral("%1: %2").arg(path, reason);
    py::object e = lutError(text(message));
    e.attr("reason") = text(reason);
    e.attr("path") = pathOrNone(path);
    static const QRegularExpression lineAt(QStringLiteral("^line (\\d+)[,:]"));
    const QRegularExpressionMatch m = lineAt.match(reason);
    e.attr("line") = m.hasMatch() ? py::object(py::int_(m.captured(1).toInt())) : py::none();
    PyErr_SetObject(lutError.ptr(), e.ptr());
    throw py::error_already_set();
}

void warn(const QString &message)
{
    if (PyErr_WarnEx(lutWarning.ptr(), message.toUtf8().constData(), 1) < 0)
        throw py::error_already_set();
}

[[noreturn]] void badValue(const QString &message)
{
    throw py::value_error(text(message));
}

// ---- Options ------------------------------------------------------------------------------

LutIO::Order orderArg(const py::object &value, const char *name)
{
    LutIO::Order order;
    if (value.is_none())
        return order;
    if (!py::isinstance<py::str>(value) || !LutIO::parseOrder(QString::fromStdString(value.cast<std::string>()), order))
        badValue(QStringLiteral("%1 must be 'rgb' or 'bgr', not %2").arg(QLatin1String(name), QString::fromStdString(std::string(py::repr(value)))));
    return order;
}

LutIO::Orders ordersArg(const py::object &data, const py::object &table, const char *dataName, const char *tableName)
{
    LutIO::Orders o;
    o.data = orderArg(data, dataName);
    o.table = orderArg(table, tableName);
    return o;
}

qint64 intArg(const py::object &value, const char *name, qint64 lo, qint64 hi)
{
    if (value.is_none())
        return 0;
    // Anything that is an integer (numpy's too), but not a bool.
    PyObject *index = py::isinstance<py::bool_>(value) ? nullptr : PyNumber_Index(value.ptr());
    if (!index) {
        PyErr_Clear();
        throw py::type_error(std::string(name) + " must be an int");
    }
    const py::int_ number = py::reinterpret_steal<py::int_>(index);
    const long long wide = PyLong_AsLongLong(number.ptr());
    if (wide == -1 && PyErr_Occurred()) {
        PyErr_Clear();
        badValue(QStringLiteral("%1 must be %2 to %3").arg(QLatin1String(name)).arg(lo).arg(hi));
    }
    const qint64 v = wide;
    if (v < lo || v > hi)
        badValue(QStringLiteral("%1 must be %2 to %3, not %4").arg(QLatin1String(name)).arg(lo).arg(hi).arg(v));
    return v;
}

// The formats a `format=` value names: a registry name, an id, or an extension.
CliFormats::Choice formatArg(const py::object &value, const char *name)
{
    if (value.is_none())
        return {};
    const QString named = QString::fromStdString(std::string(py::str(value)));
    CliFormats::Choice choice = CliFormats::named(named);
    if (choice.empty())
        badValue(QStringLiteral("unknown format '%1' for %2 (see lutwright.formats())").arg(named, QLatin1String(name)));
    return choice;
}

// What a write takes beyond the path: the output options of `lutwright-cli convert`.
struct Output {
    const Formats::Format *format = nullptr;
    LutIO::Orders orders;
    LutIO::Shape shape;
    qint64 scale = 0;
    Formats::Options options;
    bool strict = false;
};

Output outputArgs(const QString &path, const py::object &format, const py::object &size, const py::object &length,
                  const py::object &scale, const py::object &bits, bool headerless, bool strict, const py::object &data,
                  const py::object &table, const char *formatName)
{
    Output o;
    if (!format.is_none()) {
        o.format = CliFormats::writable(formatArg(format, formatName));
        if (!o.format)
            badValue(QStringLiteral("%1 files cannot be written (see lutwright.formats())").arg(QString::fromStdString(std::string(py::str(format)))));
    } else {
        o.format = CliFormats::forOutput(path);
        if (!o.format)
            badValue(Formats::byExtension(QFileInfo(path).suffix()).empty()
                         ? QStringLiteral("cannot tell the output format from '%1'; give it with %2=").arg(path, QLatin1String(formatName))
                         : QStringLiteral("%1 files cannot be written (see lutwright.formats())").arg(path));
    }
    o.orders = ordersArg(data, table, "out_data", "out_table");
    o.shape.size3D = int(intArg(size, "size", 2, LutLimits::max3DSize));
    o.shape.length1D = int(intArg(length, "length", 2, LutLimits::max1DSize));
    o.scale = intArg(scale, "scale", 0, qint64(1) << 40);
    if (!scale.is_none() && o.scale == 0)
        o.scale = 1;
    o.options.bits = int(intArg(bits, "bits", 8, 16));
    o.options.headerless = headerless;
    o.strict = strict;

    const Formats::Format &f = *o.format;
    const QString label = Formats::labelOf(f);
    if (!f.is3D && o.shape.size3D > 0)
        badValue(QStringLiteral("size sets the points of a 3D lattice; %1 holds a 1D table (use length)").arg(label));
    if (f.is3D && o.shape.length1D > 0)
        badValue(QStringLiteral("length sets the entries of a 1D table; %1 holds a 3D lattice (use size)").arg(label));
    QString sizes;
    if (f.latticeSize && o.shape.size3D > 0 && !f.latticeSize(o.shape.size3D, true, o.options, &sizes))
        badValue(QStringLiteral("size %1 does not fit %2, which holds %3").arg(o.shape.size3D).arg(label, sizes));
    if (f.fixed1DLength > 0 && o.shape.length1D > 0 && o.shape.length1D != f.fixed1DLength)
        badValue(QStringLiteral("%1 always holds %2 entries").arg(label).arg(f.fixed1DLength));
    return o;
}

// ---- The Lut object -----------------------------------------------------------------------

struct Lut {
    LutTransform t;
    const Formats::Format *format = nullptr;
    QString path;
    QString sourceName;   // the file the LUT came from, for writers that record it
    std::shared_ptr<const LutInvert::Report> inversion;
    int length1D = 0;   // entries a 1D output gets when none is asked for; 0: the engine's choice
};

Lut readLut(const QString &path, const CliFormats::Choice &formats, const LutIO::Orders &orders)
{
    Lut lut;
    lut.path = path;
    lut.sourceName = QFileInfo(path).fileName();
    QString why;
    bool ok;
    {
        py::gil_scoped_release unlocked;
        ok = LutIO::read(path, formats, orders, lut.t, &lut.format, &why);
    }
    if (!ok)
        fail(path, why);
    return lut;
}

// A Lut, or the file a path names.
Lut lutArg(const py::handle &value)
{
    if (py::isinstance<Lut>(value))
        return value.cast<Lut>();
    return readLut(pathArg(value), {}, LutIO::Orders());
}

// A read-only array over memory the Lut object keeps alive.
py::array view(const py::handle &owner, const float *data, std::vector<py::ssize_t> shape)
{
    py::array a(py::dtype::of<float>(), shape, {}, data, owner);
    a.attr("setflags")(py::arg("write") = false);
    return a;
}

py::array box(const float *min, const float *max)
{
    py::array_t<float> a({2, 3});
    auto m = a.mutable_unchecked<2>();
    for (int c = 0; c < 3; ++c) {
        m(0, c) = min[c];
        m(1, c) = max[c];
    }
    return std::move(a);
}

const LutTransform::Step *tablesStep(const Lut &lut)
{
    return lut.t.tables() ? &lut.t.steps().front() : nullptr;
}

// The tables of a transform in the order they apply, as info lists them.
py::list tablesOf(const py::object &self)
{
    const Lut &lut = self.cast<const Lut &>();
    static const float unitMin[3] = {0, 0, 0}, unitMax[3] = {1, 1, 1};
    py::list out;
    auto add = [&](const char *kind, int size, const float *min, const float *max, const float *values) {
        py::dict d;
        d["kind"] = kind;
        d["size"] = size;
        d["domain"] = box(min, max);
        const py::ssize_t n = size;
        d["values"] = kind[0] == '3' ? view(self, values, {n, n, n, 3}) : view(self, values, {n, 3});
        out.append(d);
    };
    for (const LutTransform::Step &s : lut.t.steps()) {
        if (const auto *l = dynamic_cast<const Ops::Lut3D *>(s.node.get()))
            add("3D", l->size, unitMin, unitMax, l->values.data());
        else if (const auto *l = dynamic_cast<const Ops::Lut1D *>(s.node.get()))
            add("1D", l->size, unitMin, unitMax, l->values.data());
        if (!s.tables)
            continue;
        const Read_LUTFile &m = *s.tables;
        if (s.shaper)
            add("1D", m.allocated1DSize(), m.domainMin1D, m.domainMax1D, m.lut1D.data());
        if (s.lattice)
            add("3D", m.allocated3DSize(), m.domainMin3D, m.domainMax3D, m.lut3D.data());
    }
    return out;
}

using LutInfo::stepNames;

// "3D", "1D", "1D and 3D" (a shaper, then a lattice) or "chain", as info says.
std::string dimension(const Lut &lut)
{
    const auto &steps = lut.t.steps();
    if (lut.t.tables())
        return lut.t.hasShaper() && lut.t.hasLattice() ? "1D and 3D" : lut.t.hasShaper() ? "1D" : "3D";
    if (steps.size() == 1 && dynamic_cast<const Ops::Lut3D *>(steps.front().node.get()))
        return "3D";
    if (steps.size() == 1 && dynamic_cast<const Ops::Lut1D *>(steps.front().node.get()))
        return "1D";
    return "chain";
}

// Points per axis of the largest lattice, or entries of a 1D table alone (compare's "size").
int sizeOf(const Lut &lut)
{
    return lut.t.hasShaper() && !lut.t.hasLattice() ? lut.t.shaperSize() : lut.t.latticeSize();
}

std::string describe(const Lut &lut)
{
    QString what = QString::fromStdString(dimension(lut));
    if (lut.t.hasLattice())
        what = QStringLiteral("%1 lattice of %2 points").arg(what).arg(lut.t.tables()->allocated3DSize());
    else if (lut.t.hasShaper())
        what = QStringLiteral("1D table of %1 entries").arg(lut.t.tables()->allocated1DSize());
    else
        what = QStringLiteral("chain of %1").arg(stepNames(lut.t).join(QStringLiteral(", ")));
    QString s = QStringLiteral("<lutwright.Lut ");
    if (lut.format)
        s += Formats::labelOf(*lut.format) + QLatin1Char(' ');
    s += what;
    if (!lut.path.isEmpty())
        s += QStringLiteral(" from '%1'").arg(lut.path);
    return text(s + QLatin1Char('>'));
}

// ---- Building a Lut from arrays -----------------------------------------------------------

using FloatArray = py::array_t<float, py::array::c_style | py::array::forcecast>;

FloatArray floats(const py::object &value, const char *name)
{
    FloatArray a = FloatArray::ensure(value);
    if (!a)
        throw py::type_error(std::string(name) + " must be an array of numbers");
    return a;
}

// A domain: None (0 to 1), or [min, max] with a number or three per end.
void domainArg(const py::object &value, const char *name, float *min, float *max)
{
    std::fill(min, min + 3, 0.0f);
    std::fill(max, max + 3, 1.0f);
    if (value.is_none())
        return;
    const FloatArray a = floats(value, name);
    const bool perChannel = a.ndim() == 2 && a.shape(0) == 2 && a.shape(1) == 3;
    if (!perChannel && !(a.ndim() == 1 && a.shape(0) == 2))
        badValue(QStringLiteral("%1 must be [min, max], each a number or three").arg(QLatin1String(name)));
    const float *v = a.data();
    for (int c = 0; c < 3; ++c) {
        min[c] = perChannel ? v[c] : v[0];
        max[c] = perChannel ? v[3 + c] : v[1];
        if (!std::isfinite(min[c]) || !std::isfinite(max[c]) || !(max[c] > min[c]))
            badValue(QStringLiteral("%1 must rise from min to max in every channel").arg(QLatin1String(name)));
    }
}

Lut fromArrays(const py::object &lattice, const py::object &shaper, const py::object &domain, const py::object &latticeDomain,
               const py::object &metadata)
{
    if (lattice.is_none() && shaper.is_none())
        badValue(QStringLiteral("from_arrays needs a lattice, a shaper or both"));
    auto m = std::make_shared<Read_LUTFile>();
    float min[3], max[3];
    domainArg(domain, "domain", min, max);
    if (!shaper.is_none()) {
        const FloatArray s = floats(shaper, "shaper");
        const bool perChannel = s.ndim() == 2 && s.shape(1) == 3;
        if (!perChannel && s.ndim() != 1)
            badValue(QStringLiteral("shaper must have the shape (n, 3) or (n,)"));
        const py::ssize_t n = s.shape(0);
        if (!LutLimits::valid1DSize(n))
            badValue(QStringLiteral("shaper must have 1 to %1 entries, not %2").arg(LutLimits::max1DSize).arg(n));
        m->setSize1D(n, false);
        const float *v = s.data();
        for (py::ssize_t i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c)
                m->lut1D[int(i)][c] = perChannel ? v[i * 3 + c] : v[i];
        std::copy(min, min + 3, m->domainMin1D);
        std::copy(max, max + 3, m->domainMax1D);
    }
    if (!lattice.is_none()) {
        const FloatArray l = floats(lattice, "lattice");
        const py::ssize_t n = l.ndim() == 4 ? l.shape(0) : 0;
        if (l.ndim() != 4 || l.shape(1) != n || l.shape(2) != n || l.shape(3) != 3)
            badValue(QStringLiteral("lattice must have the shape (n, n, n, 3)"));
        if (!LutLimits::valid3DSize(n))
            badValue(QStringLiteral("lattice must have 1 to %1 points per axis, not %2").arg(LutLimits::max3DSize).arg(n));
        m->setSize3D(n, false);
        std::copy(l.data(), l.data() + l.size(), m->lut3D.data());
        float lmin[3], lmax[3];
        if (shaper.is_none() && !latticeDomain.is_none())
            badValue(QStringLiteral("lattice_domain is the domain of a lattice behind a shaper; without one, give domain"));
        domainArg(shaper.is_none() ? domain : latticeDomain, "lattice_domain", lmin, lmax);
        std::copy(lmin, lmin + 3, m->domainMin3D);
        std::copy(lmax, lmax + 3, m->domainMax3D);
    }
    if (!metadata.is_none()) {
        std::vector<std::pair<std::string, std::string>> pairs;
        try {
            pairs = metadata.cast<std::vector<std::pair<std::string, std::string>>>();
        } catch (const py::cast_error &) {
            throw py::type_error("metadata must be a list of (key, text) pairs of str");
        }
        for (const auto &pair : pairs)
            m->metadata.append({QString::fromStdString(pair.first), QString::fromStdString(pair.second)});
    }
    Lut lut;
    QString why;
    if (!Formats::Meaning::tables(m, lut.t, &why))
        fail(QString(), why);
    return lut;
}

// ---- Writing ------------------------------------------------------------------------------

void writeLut(const LutTransform &t, const QString &sourceName, const QString &path, const Output &o)
{
    LutIO::Shaped shaped;
    QString why;
    bool ok;
    {
        py::gil_scoped_release unlocked;
        ok = LutIO::shape(*o.format, t, o.shape, o.options, shaped, &why);
    }
    if (!ok)
        fail(path, why);
    if (shaped.loss.any()) {
        if (o.strict)
            fail(path, QStringLiteral("not written (strict=True): %1").arg(shaped.loss.text()));
        warn(QStringLiteral("%1: %2").arg(path, shaped.loss.text()));
    }
    Formats::Options options = o.options;
    options.sourceName = sourceName;
    QString warning;
    {
        py::gil_scoped_release unlocked;
        ok = LutIO::write(*o.format, LutIO::outputSide(path, *o.format, o.orders, o.scale > 0 ? o.scale : o.format->defaultScale),
                          shaped, &why, options, &warning);
    }
    if (!ok)
        fail(path, why);
    if (!warning.isEmpty())
        warn(QStringLiteral("%1: %2").arg(path, warning));
}

// ---- Applying -----------------------------------------------------------------------------

template <typename T>
py::array applyTo(const Lut &lut, const py::array &in, int channels, int threads)
{
    py::array out = py::module_::import("numpy").attr("array")(in, py::arg("dtype") = in.dtype(), py::arg("order") = "C",
                                                                 py::arg("copy") = true);
    T *pixels = static_cast<T *>(out.mutable_data());
    const std::size_t count = std::size_t(out.size()) / std::size_t(channels);
    {
        py::gil_scoped_release unlocked;
        PixelApply::apply(lut.t, pixels, count, channels, threads);
    }
    return out;
}

py::array applyArray(const Lut &lut, const py::object &value, const py::object &threadsArg)
{
    const py::array in = py::module_::import("numpy").attr("asarray")(value);
    if (in.ndim() < 1 || (in.shape(in.ndim() - 1) != 3 && in.shape(in.ndim() - 1) != 4))
        badValue(QStringLiteral("apply needs an array of shape (..., 3) or (..., 4)"));
    const int channels = int(in.shape(in.ndim() - 1));
    int threads = int(intArg(threadsArg, "threads", 1, 1024));
    if (threads == 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));
    if (py::isinstance<py::array_t<float>>(in))
        return applyTo<float>(lut, in, channels, threads);
    if (py::isinstance<py::array_t<double>>(in))
        return applyTo<double>(lut, in, channels, threads);
    if (py::isinstance<py::array_t<quint8>>(in))
        return applyTo<quint8>(lut, in, channels, threads);
    if (py::isinstance<py::array_t<quint16>>(in))
        return applyTo<quint16>(lut, in, channels, threads);
    throw py::type_error("apply takes float32, float64, uint8 or uint16 arrays, not " + std::string(py::str(in.dtype())));
}

// ---- Reports as dictionaries --------------------------------------------------------------

const char *const channelNames[3] = {"R", "G", "B"};

py::list triple(const float *v)
{
    py::list l;
    for (int c = 0; c < 3; ++c)
        l.append(double(v[c]));
    return l;
}

py::dict channelDict(const LutCompare::Channel &ch)
{
    py::dict d;
    d["largest"] = double(ch.largest);
    d["codes10"] = LutCompare::inCodes(ch.largest, 10);
    d["codes12"] = LutCompare::inCodes(ch.largest, 12);
    d["mean"] = ch.mean;
    d["percentile99"] = double(ch.percentile99);
    d["at"] = triple(ch.at);
    d["a"] = triple(ch.a);
    d["b"] = triple(ch.b);
    return d;
}

py::dict channelsDict(const LutCompare::Channel *channels)
{
    py::dict d;
    for (int c = 0; c < 3; ++c)
        d[channelNames[c]] = channelDict(channels[c]);
    return d;
}

py::dict sideDict(const Lut &lut)
{
    py::dict d;
    d["path"] = pathOrNone(lut.path);
    d["format"] = lut.format ? py::object(py::str(text(Formats::labelOf(*lut.format)))) : py::none();
    d["formatName"] = lut.format ? py::object(py::str(lut.format->name)) : py::none();
    if (lut.format && lut.format->id != Formats::Id::None)
        d["formatId"] = int(lut.format->id);
    d["dimension"] = lut.t.hasShaper() && !lut.t.hasLattice() ? "1D" : "3D";
    d["size"] = sizeOf(lut);
    return d;
}

py::dict compareLuts(const py::object &a, const py::object &b, const py::object &size, double tolerance)
{
    const Lut la = lutArg(a), lb = lutArg(b);
    if (!(tolerance >= 0) || !std::isfinite(tolerance))
        badValue(QStringLiteral("tolerance must be a number of 0 or more"));
    int n = int(intArg(size, "size", 2, LutLimits::max3DSize));
    if (n == 0)
        n = LutCompare::defaultLatticeSize(la.t, lb.t);
    LutCompare::Result r;
    {
        py::gil_scoped_release unlocked;
        r = LutCompare::compare(la.t, lb.t, n);
    }
    if (!r.error.isEmpty())
        fail(QString(), r.error);
    py::dict d;
    d["a"] = sideDict(la);
    d["b"] = sideDict(lb);
    d["lattice"] = r.latticeSize;
    d["colours"] = r.colours;
    d["tolerance"] = tolerance;
    d["largest"] = double(r.largest());
    d["within"] = double(r.largest()) <= tolerance;
    d["channels"] = channelsDict(r.channel);
    return d;
}

py::dict tripDict(const LutInvert::RoundTrip &t)
{
    py::dict d;
    d["colours"] = t.colours;
    d["left_out"] = t.leftOut;
    d["largest"] = double(t.largest());
    d["channels"] = channelsDict(t.channel);
    return d;
}

py::object inversionDict(const Lut &lut)
{
    if (!lut.inversion)
        return py::none();
    const LutInvert::Report &r = *lut.inversion;
    py::dict d;
    d["size"] = r.size > 0 ? py::object(py::int_(r.size)) : py::none();
    d["nodes"] = r.nodes;
    d["outside"] = r.outside;
    d["several"] = r.several;
    d["tetrahedra"] = r.tetrahedra;
    d["flat"] = r.flat;
    d["folded"] = r.folded;
    py::list stretches;
    for (const LutInvert::Stretch &s : r.stretches) {
        py::dict e;
        e["channel"] = channelNames[s.channel];
        e["flat"] = s.flat;
        e["from"] = double(s.from);
        e["to"] = double(s.to);
        e["level"] = double(s.level);
        stretches.append(e);
    }
    d["stretches"] = stretches;
    d["forward"] = tripDict(r.forward);
    d["backward"] = tripDict(r.backward);
    py::list warnings;
    for (const QString &w : r.warnings())
        warnings.append(text(w));
    d["warnings"] = warnings;
    return std::move(d);
}

Lut inverseOf(const Lut &lut, const py::object &sizeArg)
{
    const int size = int(intArg(sizeArg, "size", 2, LutLimits::max3DSize));
    Lut out;
    auto report = std::make_shared<LutInvert::Report>();
    QString why;
    bool ok;
    {
        py::gil_scoped_release unlocked;
        ok = LutInvert::invert(lut.t, size, out.t, *report, &why);
    }
    if (!ok)
        fail(lut.path, why);
    for (const QString &w : report->warnings())
        warn(lut.path.isEmpty() ? w : QStringLiteral("%1: %2").arg(lut.path, w));
    out.inversion = report;
    out.sourceName = lut.sourceName;
    // A 1D inverse is written with as many entries as its source has, as lutwright-cli invert does.
    if (report->size == 0)
        out.length1D = lut.t.shaperSize();
    return out;
}

py::list formatList()
{
    py::list out;
    for (const Formats::Format *f : Formats::all()) {
        py::dict d;
        d["name"] = f->name;
        d["id"] = f->id == Formats::Id::None ? py::object(py::none()) : py::object(py::int_(int(f->id)));
        d["label"] = text(Formats::labelOf(*f));
        py::list extensions;
        for (const QString &e : Formats::extensionsOf(*f))
            extensions.append(text(e));
        d["extensions"] = extensions;
        d["dimension"] = f->is3D ? "3D" : "1D";
        d["read"] = f->read != nullptr;
        d["write"] = f->write != nullptr;
        out.append(d);
    }
    return out;
}

const char moduleDoc[] = R"doc(Colour look-up tables (LUTs): read, write, convert, apply, compare and invert them.

The module runs the same engine as the command line ``lutwright-cli``: a file is read as what
it does (its 1D shaper, its lattice with their domains, or a chain of process steps), written
exactly where the target format can hold it and evaluated at the format's own nodes where it
cannot, and every number equals the command line's.

    >>> import lutwright
    >>> lut = lutwright.read("grade.cube")
    >>> lut.lattice.shape            # [r][g][b][channel], blue index fastest
    (33, 33, 33, 3)
    >>> graded = lut.apply(image)    # float32/float64/uint8/uint16, shape (..., 3) or (..., 4)
    >>> lut.write("grade.3dl", bits=12)
    >>> lutwright.compare("grade.cube", "grade.3dl")["largest"]
    >>> lut.inverse().write("grade_inverse.cube")

Failures raise LutError, with the reader's reason and line number; what a conversion loses is
reported as a LutWarning (or raises with ``strict=True``).
)doc";

}

PYBIND11_MODULE(_lutwright, m)
{
    m.doc() = moduleDoc;
    // The readers' traces are for developers; a host that runs its own application object
    // keeps its own logging rules.
    if (!QCoreApplication::instance())
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    py::dict errorDict;
    errorDict["reason"] = py::none();
    errorDict["path"] = py::none();
    errorDict["line"] = py::none();
    lutError = PyErr_NewExceptionWithDoc(
        "lutwright.LutError",
        "A LUT file cannot be read, written or worked with. `reason` is what went wrong (with its line "
        "number where the reader knows one), `path` the file, `line` the line number or None.",
        PyExc_Exception, errorDict.ptr());
    lutWarning = PyErr_NewExceptionWithDoc(
        "lutwright.LutWarning", "What a conversion changes in what a LUT does, or what an inverse cannot undo.",
        PyExc_UserWarning, nullptr);
    if (!lutError || !lutWarning)
        throw py::error_already_set();
    // The module keeps the one reference each.
    m.attr("LutError") = py::reinterpret_steal<py::object>(lutError);
    m.attr("LutWarning") = py::reinterpret_steal<py::object>(lutWarning);
    m.attr("__version__") = LUTWRIGHT_VERSION;

    py::class_<Lut>(m, "Lut", R"doc(What a LUT file does.

A Lut is either tables (a 1D ``shaper`` applied per channel over its domain, then a
``lattice`` looked up by tetrahedral interpolation over its own domain) or a chain of
process steps (``steps``; the Common LUT Format's nodes), for which ``shaper`` and
``lattice`` are None. Arrays are read-only views; copy them to change them, and make a new
Lut with ``Lut.from_arrays``.)doc")
        .def_static("from_arrays", &fromArrays, py::arg("lattice") = py::none(), py::arg("shaper") = py::none(),
                    py::arg("domain") = py::none(), py::kw_only(), py::arg("lattice_domain") = py::none(),
                    py::arg("metadata") = py::none(),
                    R"doc(A Lut of a lattice, a shaper or both.

lattice: (n, n, n, 3) values indexed [r][g][b][channel] (blue fastest).
shaper: (n, 3) values, or (n,) for all three channels, applied before the lattice.
domain: the input domain, [min, max] with a number or three each (default 0 to 1): the
    shaper's when there is one, else the lattice's.
lattice_domain: the lattice's domain behind a shaper (default 0 to 1).
metadata: (key, text) pairs, as Lut.metadata holds them.)doc")
        .def_property_readonly("format", [](const Lut &l) {
            return l.format ? py::object(py::str(l.format->name)) : py::object(py::none());
        }, "The registry name of the format read (\"cube\", \"clf\"), None for a Lut made here.")
        .def_property_readonly("path", [](const Lut &l) { return pathOrNone(l.path); }, "The file read, or None.")
        .def_property_readonly("dimension", &dimension, "\"1D\", \"3D\", \"1D and 3D\" (a shaper, then a lattice) or \"chain\".")
        .def_property_readonly("size", &sizeOf,
                               "Points per axis of the lattice (the largest in a chain), or the entries of a 1D table alone; 0 for a chain without tables.")
        .def_property_readonly("domain", [](const Lut &l) {
            float min[3], max[3];
            l.t.domain(min, max);
            return box(min, max);
        }, "The input domain, a (2, 3) float32 array: [min, max] per channel.")
        .def_property_readonly("shaper", [](const py::object &self) -> py::object {
            const LutTransform::Step *s = tablesStep(self.cast<const Lut &>());
            if (!s || !s->shaper)
                return py::none();
            return view(self, s->tables->lut1D.data(), {s->tables->allocated1DSize(), 3});
        }, "The 1D table, an (n, 3) float32 array, or None.")
        .def_property_readonly("shaper_domain", [](const py::object &self) -> py::object {
            const LutTransform::Step *s = tablesStep(self.cast<const Lut &>());
            if (!s || !s->shaper)
                return py::none();
            return box(s->tables->domainMin1D, s->tables->domainMax1D);
        }, "The 1D table's domain, a (2, 3) float32 array, or None.")
        .def_property_readonly("lattice", [](const py::object &self) -> py::object {
            const LutTransform::Step *s = tablesStep(self.cast<const Lut &>());
            if (!s || !s->lattice)
                return py::none();
            const py::ssize_t n = s->tables->allocated3DSize();
            return view(self, s->tables->lut3D.data(), {n, n, n, 3});
        }, "The lattice, an (n, n, n, 3) float32 array indexed [r][g][b][channel] (blue fastest), or None.")
        .def_property_readonly("lattice_domain", [](const py::object &self) -> py::object {
            const LutTransform::Step *s = tablesStep(self.cast<const Lut &>());
            if (!s || !s->lattice)
                return py::none();
            return box(s->tables->domainMin3D, s->tables->domainMax3D);
        }, "The lattice's domain, a (2, 3) float32 array, or None.")
        .def_property_readonly("tables", &tablesOf,
                               "Every table in the order they apply, chains' included: dicts of kind (\"1D\", \"3D\"), size, domain and values.")
        .def_property_readonly("steps", [](const Lut &l) {
            std::vector<std::string> names;
            for (const QString &s : stepNames(l.t))
                names.push_back(text(s));
            return names;
        }, "The steps in order: \"1D\", \"3D\", \"1D and 3D\" for tables, a node's kind (\"Matrix\", \"Log\", \"Curve\") otherwise.")
        .def_property_readonly("metadata", [](const Lut &l) {
            std::vector<std::pair<std::string, std::string>> out;
            for (const auto &e : l.t.metadata)
                out.emplace_back(text(e.first), text(e.second));
            return out;
        }, "What the file says of itself, (key, text) pairs in file order.")
        .def_property_readonly("inversion", &inversionDict,
                               "For a Lut made by inverse(): how closely it undoes its source, else None.")
        .def("apply", &applyArray, py::arg("pixels"), py::kw_only(), py::arg("threads") = py::none(),
             R"doc(The pixels through the LUT, as a new array of the same shape and type.

pixels: float32, float64, uint8 or uint16, shape (..., 3) or (..., 4) (alpha is kept).
    Integers are taken as code / full scale and rounded to the nearest code, as
    ``lutwright-cli apply`` does to an image; floats are worked in single precision.
threads: threads to use (default: all cores). The GIL is released while it runs.)doc")
        .def("write", [](const Lut &l, const py::object &path, const py::object &format, const py::object &size,
                         const py::object &length, const py::object &scale, const py::object &bits, bool headerless,
                         bool strict, const py::object &outData, const py::object &outTable) {
            const QString out = pathArg(path);
            Output o = outputArgs(out, format, size, length, scale, bits, headerless, strict, outData, outTable, "format");
            if (o.shape.length1D == 0 && !o.format->is3D)
                o.shape.length1D = l.length1D;
            writeLut(l.t, l.sourceName, out, o);
        }, py::arg("path"), py::arg("format") = py::none(), py::kw_only(), py::arg("size") = py::none(),
             py::arg("length") = py::none(), py::arg("scale") = py::none(), py::arg("bits") = py::none(),
             py::arg("headerless") = false, py::arg("strict") = false, py::arg("out_data") = py::none(),
             py::arg("out_table") = py::none(),
             R"doc(Write the LUT to path, as ``lutwright-cli convert`` writes it.

format: a format name, id or extension (default: from the path).
size, length, scale, bits, headerless, out_data, out_table: the output options of
    ``lutwright-cli convert`` (--size ...).
strict: raise LutError instead of writing when the format cannot hold what the LUT does;
    otherwise a LutWarning says what changed and by how much.)doc")
        .def("inverse", &inverseOf, py::arg("size") = py::none(), R"doc(The LUT that undoes this one.

A 1D table (or a shaper) is inverted exactly where it rises or falls; a lattice on a lattice of
size points per axis (default: its own size, at least 33) over its output values, colours
outside what it gives taking the input of the nearest colour it gives; a 1D inverse is written
with as many entries as its source has unless ``length`` says otherwise. What cannot be undone
(flat or folded stretches) comes as a LutWarning; ``inversion`` on the result holds the round
trip's numbers. Raises LutError when there is no inverse at all.)doc")
        .def("__repr__", &describe);

    m.def("read", [](const py::object &path, const py::object &format, const py::object &inData, const py::object &inTable) {
        return readLut(pathArg(path), formatArg(format, "format"), ordersArg(inData, inTable, "in_data", "in_table"));
    }, py::arg("path"), py::arg("format") = py::none(), py::kw_only(), py::arg("in_data") = py::none(),
          py::arg("in_table") = py::none(),
          R"doc(Read a LUT file as what it does.

format: a format name, id or extension (default: from the file's extension and content).
in_data, in_table: 'rgb' or 'bgr', the input orders of ``lutwright-cli`` (--in-data ...).
Raises LutError with the reader's reason and line.)doc");

    m.def("convert", [](const py::object &src, const py::object &dst, const py::object &to, const py::object &inFormat,
                        const py::object &inData, const py::object &inTable, const py::object &outData,
                        const py::object &outTable, const py::object &size, const py::object &length,
                        const py::object &scale, const py::object &bits, bool headerless, bool strict) {
        const QString in = pathArg(src), out = pathArg(dst);
        const CliFormats::Choice forced = formatArg(inFormat, "in_format");
        const LutIO::Orders orders = ordersArg(inData, inTable, "in_data", "in_table");
        const Output o = outputArgs(out, to, size, length, scale, bits, headerless, strict, outData, outTable, "to");
        const Lut lut = readLut(in, forced, orders);
        writeLut(lut.t, QFileInfo(in).fileName(), out, o);
    }, py::arg("src"), py::arg("dst"), py::kw_only(), py::arg("to") = py::none(), py::arg("in_format") = py::none(),
          py::arg("in_data") = py::none(), py::arg("in_table") = py::none(), py::arg("out_data") = py::none(),
          py::arg("out_table") = py::none(), py::arg("size") = py::none(), py::arg("length") = py::none(),
          py::arg("scale") = py::none(), py::arg("bits") = py::none(), py::arg("headerless") = false,
          py::arg("strict") = false,
          R"doc(Convert src to dst as ``lutwright-cli convert src -o dst`` does.

The options are the command's, with _ for -: to, in_format, in_data, in_table, out_data,
out_table, size, length, scale, bits, headerless, strict. What the conversion loses comes as a
LutWarning, or as a LutError with strict=True.)doc");

    m.def("compare", &compareLuts, py::arg("a"), py::arg("b"), py::arg("size") = py::none(), py::kw_only(),
          py::arg("tolerance") = 0.0,
          R"doc(How far two LUTs (Lut objects or paths) are apart: the numbers of
``lutwright-cli compare --json``, as a dict (a, b, lattice, colours, tolerance, largest, within,
and per channel R, G, B: largest, codes10, codes12, mean, percentile99, at, a, b).

size: lattice points per axis (default: the finer of the two, at least 33).)doc");

    m.def("formats", &formatList,
          "The format registry: dicts of name, id (None for formats reached by name only), label, extensions, dimension, read and write.");

    m.def("_set_image_module", [](const py::object &path) { setImageModulePath(pathArg(path)); });
}
