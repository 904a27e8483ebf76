#include "calc/transform.h"

#include <algorithm>
#include <cmath>

#include "calc/lutcalc.h"
#include "lut/read_lutfile.h"

LutTransform LutTransform::ofTables(std::shared_ptr<const Read_LUTFile> model)
{
    LutTransform t;
    t.addTables(std::move(model));
    return t;
}

LutTransform LutTransform::viewOf(const Read_LUTFile &model)
{
    return ofTables(std::shared_ptr<const Read_LUTFile>(&model, [](const Read_LUTFile *) {}));
}

LutTransform LutTransform::latticeViewOf(const Read_LUTFile &model)
{
    LutTransform t = viewOf(model);
    if (!t.steps_.empty() && t.steps_.front().lattice)
        t.steps_.front().shaper = false;
    return t;
}

void LutTransform::addTables(std::shared_ptr<const Read_LUTFile> model)
{
    if (!model || (!model->has1D() && !model->has3D()))
        return;
    Step s;
    s.shaper = model->has1D();
    s.lattice = model->has3D();
    s.tables = std::move(model);
    steps_.push_back(std::move(s));
}

void LutTransform::addNode(std::shared_ptr<const Ops::Node> node)
{
    if (!node)
        return;
    Step s;
    s.node = std::move(node);
    steps_.push_back(std::move(s));
}

void LutTransform::append(const LutTransform &next)
{
    steps_.insert(steps_.end(), next.steps_.begin(), next.steps_.end());
}

const Read_LUTFile *LutTransform::tables() const
{
    return steps_.size() == 1 && steps_.front().tables ? steps_.front().tables.get() : nullptr;
}

bool LutTransform::hasShaper() const
{
    return tables() && steps_.front().shaper;
}

bool LutTransform::hasLattice() const
{
    return tables() && steps_.front().lattice;
}

void LutTransform::apply(const float *in, float *out, std::size_t count) const
{
    if (in != out)
        std::copy(in, in + count * 3, out);
    for (const Step &s : steps_) {
        if (s.node) {
            for (std::size_t i = 0; i < count; ++i)
                s.node->apply(out + i * 3);
            continue;
        }
        if (s.shaper)
            for (std::size_t i = 0; i < count; ++i) {
                float v[3];
                LutCalc::Lut1D_liner(out + i * 3, v, *s.tables);
                std::copy(v, v + 3, out + i * 3);
            }
        if (s.lattice)
            LutCalc::Lut3D_TetrahedralMany(out, out, count, *s.tables);
    }
}

void LutTransform::domain(float *min, float *max) const
{
    std::fill(min, min + 3, 0.0f);
    std::fill(max, max + 3, 1.0f);
    if (steps_.empty())
        return;
    // A leading curve is defined between its end points (the inverse of a table is one).
    if (const auto *c = dynamic_cast<const Ops::Curve *>(steps_.front().node.get())) {
        for (int ch = 0; ch < 3; ++ch)
            if (c->x[ch].size() > 1 && c->x[ch].back() > c->x[ch].front()) {
                min[ch] = c->x[ch].front();
                max[ch] = c->x[ch].back();
            }
        return;
    }
    if (!steps_.front().tables)
        return;
    const Step &s = steps_.front();
    const Read_LUTFile &m = *s.tables;
    std::copy(s.shaper ? m.domainMin1D : m.domainMin3D, (s.shaper ? m.domainMin1D : m.domainMin3D) + 3, min);
    std::copy(s.shaper ? m.domainMax1D : m.domainMax3D, (s.shaper ? m.domainMax1D : m.domainMax3D) + 3, max);
}

int LutTransform::latticeSize() const
{
    int n = 0;
    for (const Step &s : steps_) {
        if (s.lattice)
            n = std::max(n, s.tables->allocated3DSize());
        else if (const auto *l = dynamic_cast<const Ops::Lut3D *>(s.node.get()))
            n = std::max(n, l->size);
    }
    return n;
}

int LutTransform::shaperSize() const
{
    int n = 0;
    for (const Step &s : steps_) {
        if (s.shaper)
            n = std::max(n, s.tables->allocated1DSize());
        else if (const auto *l = dynamic_cast<const Ops::Lut1D *>(s.node.get()))
            n = std::max(n, l->size);
        else if (const auto *c = dynamic_cast<const Ops::Curve *>(s.node.get()))
            for (const auto &x : c->x)
                n = std::max(n, int(x.size()));
    }
    return n;
}

bool LutTransform::tableRange(float *min, float *max) const
{
    if (steps_.empty() || !steps_.back().tables)
        return false;
    const Step &s = steps_.back();
    const Read_LUTFile &m = *s.tables;
    const float *v = s.lattice ? m.lut3D.data() : m.lut1D.data();
    const std::size_t count = s.lattice ? m.lut3D.floatCount() / 3 : std::size_t(m.allocated1DSize());
    for (int c = 0; c < 3; ++c) {
        min[c] = INFINITY;
        max[c] = -INFINITY;
    }
    for (std::size_t i = 0; i < count; ++i)
        for (int c = 0; c < 3; ++c) {
            const float x = v[i * 3 + std::size_t(c)];
            if (std::isnan(x))
                continue;
            min[c] = std::min(min[c], x);
            max[c] = std::max(max[c], x);
        }
    return true;
}

bool LutTransform::separable(const Step &step)
{
    if (step.tables)
        return !step.lattice;
    const Ops::Node *n = step.node.get();
    if (dynamic_cast<const Ops::Lut1D *>(n) || dynamic_cast<const Ops::Curve *>(n) || dynamic_cast<const Ops::Range *>(n)
        || dynamic_cast<const Ops::Log *>(n) || dynamic_cast<const Ops::Exponent *>(n))
        return true;
    if (const auto *m = dynamic_cast<const Ops::Matrix *>(n)) {
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                if (r != c && m->m[r][c] != 0.0f)
                    return false;
        return true;
    }
    if (const auto *cdl = dynamic_cast<const Ops::AscCdl *>(n))
        return cdl->saturation == 1.0f;
    return false;
}
