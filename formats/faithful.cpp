#include "formats/faithful.h"

#include <algorithm>
#include <cmath>

#include "lut/lutlimits.h"
#include "lut/read_lutfile.h"

namespace Formats {

namespace {

// The numbered reader of `format` on a fresh model, with raw stores or without.
bool readModel(const Format &format, const LUTFILE_ST &side, const Options &options, bool raw,
               std::shared_ptr<Read_LUTFile> &model, QString *why)
{
    model = std::make_shared<Read_LUTFile>();
    model->rawStore = raw;
    if (!read(format, side, *model, false, options)) {
        *why = !model->errorString.isEmpty() ? model->errorString
                                             : QStringLiteral("cannot be read as %1").arg(labelOf(format));
        return false;
    }
    if (!model->has3D() && !model->has1D()) {
        *why = QStringLiteral("holds no LUT data");
        return false;
    }
    return true;
}

}

bool readRaw(const Format &format, const LUTFILE_ST &side, const Options &options,
             std::shared_ptr<Read_LUTFile> &model, QString *why)
{
    return readModel(format, side, options, true, model, why);
}

bool readTransform(const Format &format, const LUTFILE_ST &side, const Options &options, LutTransform &out,
                   QString *why)
{
    const Faithful *f = format.faithful;
    LUTFILE_ST s = side;
    if (f && s.defaultOrder) {
        // The numbered readers would put their own orders in place; the faithful reading
        // gives them the format's documented ones instead.
        s.defaultOrder = false;
        s.dataOrderRGB = f->readOrder.dataRGB;
        s.tableOrderRGB = f->readOrder.tableRGB;
    }
    if (f && f->read)
        return f->read(side.path, s, options, out, why);

    std::shared_ptr<Read_LUTFile> model;
    const bool raw = f && f->meaning;
    if (!readModel(format, s, options, raw, model, why))
        return false;
    if (!raw)
        return Meaning::tables(model, out, why);
    return f->meaning(model, options, out, why);
}

namespace Meaning {

void divide(Read_LUTFile &model, double scale3D, double scale1D)
{
    if (scale3D != 1.0 && model.has3D()) {
        float *v = model.lut3D.data();
        const std::size_t count = model.lut3D.floatCount();
        for (std::size_t i = 0; i < count; ++i)
            v[i] = float(double(v[i]) / scale3D);
    }
    if (scale1D != 1.0 && model.has1D()) {
        float *v = model.lut1D.data();
        const std::size_t count = std::size_t(model.allocated1DSize()) * 3;
        for (std::size_t i = 0; i < count; ++i)
            v[i] = float(double(v[i]) / scale1D);
    }
}

void unitDomains(Read_LUTFile &model)
{
    for (int ch = 0; ch < 3; ++ch) {
        model.domainMin3D[ch] = model.domainMin1D[ch] = 0.0f;
        model.domainMax3D[ch] = model.domainMax1D[ch] = 1.0f;
    }
}

namespace {

// A shaper that gives back its input over the lattice's own domain changes nothing the
// lattice would not do itself (both hold their ends beyond it): it goes.
void dropIdentityShaper(Read_LUTFile &m)
{
    if (!m.has1D() || !m.has3D())
        return;
    const int n = m.allocated1DSize();
    for (int c = 0; c < 3; ++c) {
        if (m.domainMin1D[c] != m.domainMin3D[c] || m.domainMax1D[c] != m.domainMax3D[c])
            return;
        const float lo = m.domainMin1D[c], hi = m.domainMax1D[c];
        for (int i = 0; i < n; ++i) {
            const float x = n > 1 ? lo + (hi - lo) * (float(i) / float(n - 1)) : lo;
            if (std::fabs(m.lut1D[i][c] - x) > 1e-6f * std::max(1.0f, std::fabs(x)))
                return;
        }
    }
    m.lut1D.release();
    m.lut1DSize = 0;
}

}

bool tables(std::shared_ptr<Read_LUTFile> model, LutTransform &out, QString *why)
{
    dropIdentityShaper(*model);
    if (!model->has3D() && !model->has1D()) {
        *why = QStringLiteral("holds no LUT data");
        return false;
    }
    out = LutTransform();
    out.metadata = model->metadata;
    out.addTables(std::move(model));
    return true;
}

bool asRead(std::shared_ptr<Read_LUTFile> raw, const Options &, LutTransform &out, QString *why)
{
    return tables(std::move(raw), out, why);
}

namespace {

// Whether the points run in a straight line from (first input, 0) to (last input, 1).
bool linearOntoUnit(const std::vector<float> &x, const std::vector<float> &y)
{
    if (x.size() < 2 || y.front() != 0.0f || y.back() != 1.0f || !(x.back() > x.front()))
        return false;
    const double width = double(x.back()) - double(x.front());
    for (std::size_t i = 0; i < x.size(); ++i)
        if (std::fabs((double(x[i]) - double(x.front())) / width - double(y[i])) > 1e-6)
            return false;
    return true;
}

}

bool withPreLut(std::shared_ptr<Read_LUTFile> model, bool smooth, LutTransform &out, QString *why)
{
    Read_LUTFile &m = *model;
    unitDomains(m);
    if (m.preLutIn[0].empty() && m.preLutIn[1].empty() && m.preLutIn[2].empty())
        return tables(model, out, why);

    bool linear = true, shaper = m.has3D() && !m.has1D();
    auto curve = std::make_shared<Ops::Curve>(0);
    curve->smooth = smooth;
    for (int c = 0; c < 3; ++c) {
        curve->x[c] = m.preLutIn[c];
        curve->y[c] = m.preLutOut[c];
        linear = linear && linearOntoUnit(curve->x[c], curve->y[c]);
        shaper = shaper && curve->evenlySpaced(c) && curve->x[c].size() == curve->x[0].size()
            && (!smooth || curve->straight(c));
    }
    if (linear) {
        float *min = m.has1D() ? m.domainMin1D : m.domainMin3D;
        float *max = m.has1D() ? m.domainMax1D : m.domainMax3D;
        for (int c = 0; c < 3; ++c) {
            min[c] = curve->x[c].front();
            max[c] = curve->x[c].back();
        }
        return tables(model, out, why);
    }
    if (shaper) {
        const int n = int(curve->x[0].size());
        if (!m.setSize1D(n, false)) {
            *why = m.errorString;
            return false;
        }
        for (int c = 0; c < 3; ++c) {
            m.domainMin1D[c] = curve->x[c].front();
            m.domainMax1D[c] = curve->x[c].back();
            for (int i = 0; i < n; ++i)
                m.lut1D[i][c] = curve->y[c][std::size_t(i)];
        }
        return tables(model, out, why);
    }
    LutTransform t;
    if (!tables(model, t, why))
        return false;
    out = LutTransform();
    out.metadata = t.metadata;
    out.addNode(curve);
    out.append(t);
    return true;
}

namespace {

template <typename F>
void forEachValue(const Read_LUTFile &m, F f)
{
    if (m.has3D()) {
        const float *v = m.lut3D.data();
        for (std::size_t i = 0, n = m.lut3D.floatCount(); i < n; ++i)
            f(v[i]);
    }
    if (m.has1D()) {
        const float *v = m.lut1D.data();
        for (std::size_t i = 0, n = std::size_t(m.allocated1DSize()) * 3; i < n; ++i)
            f(v[i]);
    }
}

}

bool codesOverDomain(std::shared_ptr<Read_LUTFile> raw, const Options &, LutTransform &out, QString *why)
{
    divide(*raw, double(raw->domainMax3D[0]), 1.0);
    unitDomains(*raw);
    return tables(raw, out, why);
}

bool wholeNumbers(const Read_LUTFile &model)
{
    bool whole = true;
    forEachValue(model, [&](float v) { whole = whole && std::floor(v) == v; });
    return whole;
}

float largestValue(const Read_LUTFile &model)
{
    float largest = 0.0f;
    forEachValue(model, [&](float v) { largest = std::max(largest, v); });
    return largest;
}

bool fillModel(const LutTransform &t, Read_LUTFile &lut, bool headerOnly, const Options &options)
{
    lut.metadata = t.metadata;
    const Read_LUTFile *m = t.tables();
    const bool plain = m && (!t.hasLattice() || unitDomain(m->domainMin3D, m->domainMax3D))
        && (!t.hasShaper() || unitDomain(m->domainMin1D, m->domainMax1D));
    if (plain) {
        const int n3 = t.hasLattice() ? m->allocated3DSize() : 0;
        const int n1 = t.hasShaper() ? m->allocated1DSize() : 0;
        if ((n3 > 0 && !lut.setSize3D(n3, headerOnly)) || (n1 > 0 && !lut.setSize1D(n1, headerOnly)))
            return false;
        if (headerOnly)
            return true;
        if (n3 > 0)
            std::copy(m->lut3D.data(), m->lut3D.data() + m->lut3D.floatCount(), lut.lut3D.data());
        if (n1 > 0)
            std::copy(m->lut1D.data(), m->lut1D.data() + std::size_t(n1) * 3, lut.lut1D.data());
        return true;
    }
    const int n = options.bakeSize > 0 ? options.bakeSize : std::max(33, t.latticeSize());
    if (n < 2 || !LutLimits::valid3DSize(n))
        return lut.fail(QStringLiteral("a transform cannot be evaluated on a lattice of %1 points (2 to %2)").arg(n).arg(LutLimits::max3DSize));
    const int steps = int(t.steps().size());
    lut.metadata.append({QStringLiteral("baked"), QStringLiteral("%1 step%2 evaluated on a %3-point lattice")
                                                      .arg(steps).arg(steps == 1 ? "" : "s").arg(n)});
    if (!lut.setSize3D(n, headerOnly))
        return false;
    if (headerOnly)
        return true;
    const float last = float(n - 1);
    float *node = lut.lut3D.data();
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b, node += 3) {
                node[0] = float(r) / last;
                node[1] = float(g) / last;
                node[2] = float(b) / last;
            }
    t.apply(lut.lut3D.data(), lut.lut3D.data(), lut.lut3D.floatCount() / 3);
    return true;
}

}

bool unitDomain(const float *min, const float *max)
{
    for (int ch = 0; ch < 3; ++ch)
        if (min[ch] != 0.0f || max[ch] != 1.0f)
            return false;
    return true;
}

bool holdsUnitLattice(const LutTransform &t, const Options &)
{
    const Read_LUTFile *m = t.tables();
    return m && t.hasLattice() && !t.hasShaper() && unitDomain(m->domainMin3D, m->domainMax3D);
}

}
