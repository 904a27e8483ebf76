#include "lut/samplelines.h"

#include "lut/linereader.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"

namespace SampleLines {

namespace {

bool nextSample(LineReader &r, float *carry)
{
    while (r.nextNonEmpty()) {
        if (NumScan::scanFloats(r.data(), r.size(), carry, 3) >= 1)
            return true;
    }
    return false;
}

}

bool fill3D(Read_LUTFile &lut, LineReader &r, const float *min, const float *max, float *carry)
{
    const int n = lut.lut3DSize;
    for (int outer = 0; outer < n; ++outer) {
        for (int middle = 0; middle < n; ++middle) {
            for (int inner = 0; inner < n; ++inner) {
                if (!nextSample(r, carry)) {
                    if (outer == n - 1 && middle == n - 1 && inner == n - 1)
                        return true;
                    const qint64 filled = (qint64(outer) * n + middle) * n + inner;
                    return lut.failAt(r, QStringLiteral("the lattice ends after %1 of %2 samples")
                                             .arg(filled).arg(qint64(n) * n * n));
                }
                lut.White3D(outer, middle, inner, carry[0], carry[1], carry[2], min, max);
            }
        }
    }
    return true;
}

bool fill1D(Read_LUTFile &lut, LineReader &r, const float *min, const float *max, float *carry)
{
    const int n = lut.lut1DSize;
    for (int index = 0; index < n; ++index) {
        if (!nextSample(r, carry)) {
            if (index == n - 1)
                return true;
            return lut.failAt(r, QStringLiteral("the 1D table ends after %1 of %2 entries").arg(index).arg(n));
        }
        lut.White1D(index, carry[0], carry[1], carry[2], min, max);
    }
    return true;
}

QList<QByteArray> fields(const LineReader &r)
{
    const QByteArray simple = r.line().simplified();
    if (simple.isEmpty())
        return {};
    return simple.split(' ');
}

}
