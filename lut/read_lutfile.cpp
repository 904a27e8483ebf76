#include "lut/read_lutfile.h"

#include <QDebug>

#include "lut/linereader.h"
#include "lut/lutlimits.h"

namespace {

struct FormatInfo {
    const char *label;
    bool is3D;
};

// Labels are what the user is offered; ids index this table.
const FormatInfo formats[Read_LUTFile::formatCount] = {
    {".cube", true},
    {"texture-base 64X64 512X512...", true},
    {"identity Unwrapped Cube 1024X16", true},
    {".3dl", true},
    {".mga .m3d pandora", true},
    {".look", true},
    {".lut 1D Discreet", false},
    {".lut 1D", false},
    {".davLut 3DLut", true},
    {".csp", true},
    {".cub Truelight Cube", true},
    {".itx", true},
    {".spi1d", false},
    {".spi3d", true},
    {".csv log", false},
    {".tms1d 塔姆索专用格式1D", false},
    {".tms3d 塔姆索专用格式3D", true},
};

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

void Read_LUTFile::White3D(int i, int j, int k, float first, float second, float third, const float *min, const float *max)
{
    const float a = clampTo(first, min[0], max[0]) / (max[0] - min[0]);
    const float b = clampTo(second, min[1], max[1]) / (max[1] - min[1]);
    const float c = clampTo(third, min[2], max[2]) / (max[2] - min[2]);
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
    const float a = clampTo(first, min[0], max[0]) / (max[0] - min[0]);
    const float b = clampTo(second, min[1], max[1]) / (max[1] - min[1]);
    const float c = clampTo(third, min[2], max[2]) / (max[2] - min[2]);
    float *entry = lut1D[index];
    if (dataOrderRGB == tableOrderRGB) {
        entry[0] = a;
        entry[1] = b;
        entry[2] = c;
    } else {
        entry[0] = c;
        entry[1] = b;
        entry[2] = a;
    }
}

QString Read_LUTFile::formatStr(int id)
{
    if (id < 0 || id >= formatCount)
        return QString();
    return QString::fromUtf8(formats[id].label);
}

bool Read_LUTFile::formatIs3D(int id)
{
    if (id < 0 || id >= formatCount)
        return false;
    return (0x12F3F >> id) & 1;
}

bool Read_LUTFile::ReadFile(LUTFILE_ST file, bool headerOnly)
{
    if (!file.defaultOrder) {
        dataOrderRGB = file.dataOrderRGB;
        tableOrderRGB = file.tableOrderRGB;
    }
    defaultOrder = file.defaultOrder;
    errorString.clear();
    qDebug() << "ReadFile: defaultOrder" << defaultOrder << "dataOrderRGB" << dataOrderRGB
             << "tableOrderRGB" << tableOrderRGB << "formatId" << file.formatId;

    using Reader = bool (Read_LUTFile::*)(QString, bool);
    static const Reader readers[formatCount] = {
        &Read_LUTFile::Read_Cube,           &Read_LUTFile::Read_Texture, &Read_LUTFile::Read_IUC,
        &Read_LUTFile::Read_3dl,            &Read_LUTFile::Read_Mga,     &Read_LUTFile::Read_Look,
        &Read_LUTFile::Read_1dLut_Discreet, &Read_LUTFile::Read_1dLut,   &Read_LUTFile::Read_DavLut,
        &Read_LUTFile::Read_Csp,            &Read_LUTFile::Read_Cub,     &Read_LUTFile::Read_Itx,
        &Read_LUTFile::Read_Spi1D,          &Read_LUTFile::Read_Spi3D,   &Read_LUTFile::Read_Csv,
        &Read_LUTFile::Read_TMS1D,          &Read_LUTFile::Read_TMS3D,
    };
    if (file.formatId < 0 || file.formatId >= formatCount)
        return fail(QStringLiteral("unknown format id %1").arg(file.formatId));
    textFailure_.clear();
    const bool ok = (this->*readers[file.formatId])(file.path, headerOnly);
    if (!textFailure_.isEmpty())
        return fail(textFailure_);
    return ok;
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
    for (int ch = 0; ch < 3; ++ch)
        domainMax3D[ch] = domainMax1D[ch] = 1.0f;
}

void Read_LUTFile::applyDefaultOrder(bool dataRGB, bool tableRGB)
{
    if (defaultOrder) {
        dataOrderRGB = dataRGB;
        tableOrderRGB = tableRGB;
    }
}

bool Read_LUTFile::openText(LineReader &reader, const QString &path)
{
    qDebug() << "reading" << path;
    if (!reader.open(path))
        return fail(reader.errorString());
    reader.reportFailuresTo(&textFailure_);
    return true;
}

bool Read_LUTFile::notSupported(const QString &format)
{
    return fail(QStringLiteral("reading %1 files is not available in this build").arg(format));
}
