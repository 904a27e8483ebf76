#include "lut/samplelines.h"

#include "lut/numscan.h"

namespace SampleLines {

bool nextFloatLine(LineReader &r, float *sample)
{
    while (r.nextNonEmpty()) {
        if (NumScan::scanFloats(r.data(), r.size(), sample, 3) >= 1)
            return true;
    }
    return false;
}

bool fill3D(Read_LUTFile &lut, LineReader &r, const float *min, const float *max, float *carry)
{
    return fillLattice(lut, r, [&r](float *s) { return nextFloatLine(r, s); }, min, max, carry);
}

bool fill1D(Read_LUTFile &lut, LineReader &r, const float *min, const float *max, float *carry)
{
    return fillTable(lut, r, [&r](float *s) { return nextFloatLine(r, s); }, min, max, carry);
}

QList<QByteArray> fields(const LineReader &r)
{
    const QByteArray simple = r.line().simplified();
    if (simple.isEmpty())
        return {};
    return simple.split(' ');
}

}
