#include "lut/read_lutfile.h"

#include <QDebug>

#include <algorithm>

#include "lut/linereader.h"
#include "lut/lutlimits.h"

namespace {

// Clamp to [lo, hi], lower bound first, so that a NaN passes unchanged.
inline float clampTo(float v, float lo, float hi)
{
    if (v < lo)
        return lo;
    if (v > hi)
        return hi;
    return v;
}

}

Read_LUTFile::Read_LUTFile(QObject *parent)
    : QObject(parent)
{
}

Read_LUTFile::~Read_LUTFile()
{
    lut3D.release();
    lut3DSize = 0;
    lut1D.release();
    lut1DSize = 0;
}

void Read_LUTFile::Data3DCalloc(Lut3DTable *table, int size)
{
    if (!table || !LutLimits::valid3DSize(size))
        return;
    table->allocate(size);
}

void Read_LUTFile::Data1DCalloc(Lut1DTable *table, int size)
{
    if (!table || !LutLimits::valid1DSize(size))
        return;
    table->allocate(size);
}

namespace {

// Steps 1 and 2 of the store rules, or the numbers as they are in raw stores.
inline void storeValues(bool raw, float first, float second, float third, const float *min, const float *max,
                        float &a, float &b, float &c)
{
    if (raw) {
        a = first;
        b = second;
        c = third;
        return;
    }
    a = clampTo(first, min[0], max[0]) / (max[0] - min[0]);
    b = clampTo(second, min[1], max[1]) / (max[1] - min[1]);
    c = clampTo(third, min[2], max[2]) / (max[2] - min[2]);
}

}

void Read_LUTFile::White3D(int i, int j, int k, float first, float second, float third, const float *min, const float *max)
{
    float a, b, c;
    storeValues(rawStore, first, second, third, min, max, a, b, c);
    float *node = tableOrderRGB ? lut3D.node(i, j, k) : lut3D.node(k, j, i);
    if (dataOrderRGB) {
        node[0] = a;
        node[1] = b;
        node[2] = c;
    } else {
        node[0] = c;
        node[1] = b;
        node[2] = a;
    }
}

void Read_LUTFile::White1D(int index, float first, float second, float third, const float *min, const float *max)
{
    float a, b, c;
    storeValues(rawStore, first, second, third, min, max, a, b, c);
    float *entry = lut1D[index];
    // Raw stores place a 1D entry by its channel order alone.
    if (rawStore ? dataOrderRGB : dataOrderRGB == tableOrderRGB) {
        entry[0] = a;
        entry[1] = b;
        entry[2] = c;
    } else {
        entry[0] = c;
        entry[1] = b;
        entry[2] = a;
    }
}

bool Read_LUTFile::fail(const QString &why)
{
    errorString = why;
    return false;
}

bool Read_LUTFile::failAt(int line, const QString &why)
{
    return fail(line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(why) : why);
}

bool Read_LUTFile::failAt(const LineReader &reader, const QString &why)
{
    return failAt(reader.lineNumber(), why);
}

bool Read_LUTFile::setSize3D(qint64 size, bool headerOnly, int line)
{
    if (!LutLimits::valid3DSize(size))
        return failAt(line, QStringLiteral("3D size %1 is outside 1 to %2").arg(size).arg(LutLimits::max3DSize));
    lut3D.release();
    lut3DSize = int(size);
    if (headerOnly)
        return true;
    Data3DCalloc(&lut3D, lut3DSize);
    if (!lut3D) {
        lut3DSize = 0;
        return failAt(line, QStringLiteral("not enough memory for a %1-point lattice").arg(size));
    }
    return true;
}

bool Read_LUTFile::setSize1D(qint64 size, bool headerOnly, int line)
{
    if (!LutLimits::valid1DSize(size))
        return failAt(line, QStringLiteral("1D size %1 is outside 1 to %2").arg(size).arg(LutLimits::max1DSize));
    lut1D.release();
    lut1DSize = int(size);
    if (headerOnly)
        return true;
    Data1DCalloc(&lut1D, lut1DSize);
    if (!lut1D) {
        lut1DSize = 0;
        return failAt(line, QStringLiteral("not enough memory for a %1-entry table").arg(size));
    }
    return true;
}

void Read_LUTFile::resetUpperEnds()
{
    if (rawStore)
        return;
    for (int ch = 0; ch < 3; ++ch)
        domainMax3D[ch] = domainMax1D[ch] = 1.0f;
}

int Read_LUTFile::allocated3DSize() const
{
    return lut3D ? std::max(0, std::min(lut3DSize, lut3D.size())) : 0;
}

int Read_LUTFile::allocated1DSize() const
{
    return lut1D ? std::max(0, std::min(lut1DSize, lut1D.size())) : 0;
}

void Read_LUTFile::applyDefaultOrder(const LutOrders &own)
{
    if (defaultOrder) {
        dataOrderRGB = own.dataRGB;
        tableOrderRGB = own.tableRGB;
    }
}

bool Read_LUTFile::openText(LineReader &reader, const QString &path)
{
    qDebug() << "reading" << path;
    if (!reader.open(path))
        return fail(reader.errorString());
    reader.reportFailuresTo(&textFailure);
    return true;
}
