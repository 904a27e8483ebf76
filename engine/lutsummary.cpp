#include "engine/lutsummary.h"

#include <QStringList>

#include "calc/transform.h"
#include "lut/read_lutfile.h"

namespace LutSummary {

namespace {

QString tablesText(const LutTransform::Step &s)
{
    const QString lattice = QStringLiteral("3D lattice of %1 points").arg(s.tables->allocated3DSize());
    if (!s.shaper)
        return lattice;
    const int entries = s.tables->allocated1DSize();
    return s.lattice ? QStringLiteral("1D shaper of %1 entries and %2").arg(entries).arg(lattice)
                     : QStringLiteral("1D table of %1 entries").arg(entries);
}

}

QString table(const LutTransform &lut)
{
    if (lut.steps().size() == 1 && lut.steps().front().tables)
        return tablesText(lut.steps().front());
    QStringList steps;
    for (const LutTransform::Step &s : lut.steps())
        steps << (s.tables ? tablesText(s) : QString::fromLatin1(s.node->kind()));
    return QStringLiteral("chain of %1 steps (%2)").arg(steps.size()).arg(steps.join(QStringLiteral(", ")));
}

QString dimension(const LutTransform &lut)
{
    return lut.hasShaper() && !lut.hasLattice() ? QStringLiteral("1D") : QStringLiteral("3D");
}

int size(const LutTransform &lut)
{
    return lut.hasShaper() && !lut.hasLattice() ? lut.shaperSize() : lut.latticeSize();
}

}
