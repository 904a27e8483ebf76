#include "formats/latticeout.h"

#include <QThread>

#include <algorithm>

#include "lut/read_lutfile.h"

namespace LatticeOut {

bool has3D(Write_LUTFile &writer, const Read_LUTFile &lut, const char *format)
{
    if (lut.lut3D && lut.lut3DSize > 0 && lut.lut3DSize <= lut.lut3D.size())
        return true;
    writer.errorString = QStringLiteral("a %1 file holds a 3D lattice, and this LUT has none").arg(QLatin1String(format));
    return false;
}

bool clampedCopy(Write_LUTFile &writer, const Read_LUTFile &lut, qint64 codes, Read_LUTFile &copy)
{
    if (!copy.setSize3D(lut.lut3DSize, false)) {
        writer.errorString = copy.errorString;
        return false;
    }
    const float *from = lut.lut3D.data();
    float *to = copy.lut3D.data();
    const std::size_t count = copy.lut3D.floatCount();
    if (codes < 2) {
        std::transform(from, from + count, to, unit);
    } else {
        const quint32 top = quint32(codes);
        const float scale = float(codes);
        std::transform(from, from + count, to,
                       [top, scale](float v) { return (float(code(v, top)) + 0.5f) / scale; });
    }
    return true;
}

int imageBits(Write_LUTFile &writer, const QString &path, int bits)
{
    const QByteArray format = ImageFiles::formatOf(path);
    if (format != "png" && format != "tiff") {
        writer.errorString = QStringLiteral("an image LUT is written as .png or .tif (lossless), not as %1")
                                 .arg(format.isEmpty() ? QStringLiteral("this file name") : QString::fromLatin1(format));
        return 0;
    }
    if (bits == 0)
        return format == "png" ? 8 : 16;
    if (bits != 8 && bits != 16) {
        writer.errorString = QStringLiteral("an image LUT has 8 or 16 bits per channel, not %1").arg(bits);
        return 0;
    }
    return bits;
}

int latticeImageBits(Write_LUTFile &writer, const Read_LUTFile &lut, const QString &path, int bits, const char *format)
{
    return has3D(writer, lut, format) ? imageBits(writer, path, bits) : 0;
}

bool Image::create(Write_LUTFile &writer, int width, int height, int bits)
{
    QString why;
    backend_ = ImageFiles::backend(&why);
    deep_ = bits > 8;
    if (!backend_ || !backend_->create(width, height, deep_ ? ImageFiles::Layout::Rgbx64 : ImageFiles::Layout::Rgb32,
                                       &pixels_, &why)) {
        writer.errorString = why;
        return false;
    }
    return true;
}

bool Image::save(Write_LUTFile &writer, const QString &path)
{
    QString why;
    if (backend_->save(pixels_, path, QThread::idealThreadCount(), &why))
        return true;
    writer.errorString = why;
    return false;
}

}
