#include "engine/lutinfo.h"

#include <limits>

#include "calc/ops.h"
#include "calc/transform.h"
#include "lut/read_lutfile.h"

namespace LutInfo {

Ranges channelRanges(const float *data, std::size_t count)
{
    Ranges r;
    for (int c = 0; c < 3; ++c) {
        r.lo[c] = std::numeric_limits<float>::infinity();
        r.hi[c] = -std::numeric_limits<float>::infinity();
    }
    for (std::size_t i = 0; i < count; ++i)
        for (int c = 0; c < 3; ++c) {
            const float v = data[i * 3 + std::size_t(c)];
            if (v < r.lo[c])
                r.lo[c] = v;
            if (v > r.hi[c])
                r.hi[c] = v;
        }
    return r;
}

std::vector<Table> tablesOf(const LutTransform &t)
{
    std::vector<Table> tables;
    static const float unitMin[3] = {0, 0, 0}, unitMax[3] = {1, 1, 1};
    for (const LutTransform::Step &s : t.steps()) {
        if (const auto *l = dynamic_cast<const Ops::Lut3D *>(s.node.get()))
            tables.push_back({"3D", l->size, unitMin, unitMax, channelRanges(l->values.data(), l->values.size() / 3)});
        else if (const auto *l = dynamic_cast<const Ops::Lut1D *>(s.node.get()))
            tables.push_back({"1D", l->size, unitMin, unitMax, channelRanges(l->values.data(), l->values.size() / 3)});
        if (!s.tables)
            continue;
        const Read_LUTFile &lut = *s.tables;
        if (s.shaper)
            tables.push_back({"1D", lut.allocated1DSize(), lut.domainMin1D, lut.domainMax1D,
                              channelRanges(lut.lut1D.data(), std::size_t(lut.allocated1DSize()))});
        if (s.lattice)
            tables.push_back({"3D", lut.allocated3DSize(), lut.domainMin3D, lut.domainMax3D,
                              channelRanges(lut.lut3D.data(), lut.lut3D.floatCount() / 3)});
    }
    return tables;
}

QString dimensionText(const LutTransform &t, const std::vector<Table> &tables)
{
    const bool oneTable = t.steps().size() == 1 && tables.size() == 1;
    if (!t.tables() && !oneTable)
        return QStringLiteral("chain");
    return tables.size() == 2 ? QStringLiteral("1D and 3D") : QString::fromLatin1(tables.front().name);
}

QStringList stepNames(const LutTransform &t)
{
    QStringList names;
    for (const LutTransform::Step &s : t.steps()) {
        if (s.node)
            names << QString::fromLatin1(s.node->kind());
        else
            names << (s.shaper && s.lattice ? QStringLiteral("1D and 3D") : s.shaper ? QStringLiteral("1D") : QStringLiteral("3D"));
    }
    return names;
}

}
