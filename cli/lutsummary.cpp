#include "cli/lutsummary.h"

#include "lut/read_lutfile.h"

namespace LutSummary {

namespace {
bool hasLattice(const Read_LUTFile &lut)
{
    return lut.lut3DSize > 0 && lut.lut3D;
}
}

QString table(const Read_LUTFile &lut)
{
    return hasLattice(lut) ? QStringLiteral("3D lattice of %1 points").arg(lut.lut3DSize)
                           : QStringLiteral("1D table of %1 entries").arg(lut.lut1DSize);
}

QString dimension(const Read_LUTFile &lut)
{
    return hasLattice(lut) ? QStringLiteral("3D") : QStringLiteral("1D");
}

int size(const Read_LUTFile &lut)
{
    return hasLattice(lut) ? lut.lut3DSize : lut.lut1DSize;
}

}
