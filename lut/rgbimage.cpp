#include "lut/rgbimage.h"

#include <QFileInfo>
#include <QImageReader>

#include <cstdlib>
#include <utility>

bool RgbImage::fail(const QString &path, const QString &why)
{
    error_ = QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), why);
    return false;
}

void RgbImage::clear()
{
    image_ = QImage();
    size_ = QSize();
    quad_ = false;
    error_.clear();
}

bool RgbImage::probe(const QString &path)
{
    clear();
    QImageReader reader(path);
    if (!reader.canRead())
        return fail(path, QStringLiteral("not a readable image (%1)").arg(reader.errorString()));
    QSize s = reader.size();
    // Bitmaps stored top row first give their height as a negative number; such a size is
    // still the header's, and a huge one must be refused before anything is decoded.
    if (s != QSize())
        s = QSize(std::abs(s.width()), std::abs(s.height()));
    if (!s.isValid()) {
        // A handler that cannot tell its size without decoding: decode now and keep the pixels.
        if (!load(path))
            return false;
        s = image_.size();
    }
    size_ = s;
    return true;
}

bool RgbImage::load(const QString &path)
{
    if (decoded())
        return true;
    const QSize expected = size_;
    QImageReader reader(path);
    QImage img = reader.read();
    if (img.isNull())
        return fail(path, QStringLiteral("the pixels cannot be decoded (%1)").arg(reader.errorString()));
    if (expected.isValid() && img.size() != expected)
        return fail(path, QStringLiteral("the header gives %1 x %2 pixels but %3 x %4 were decoded")
                              .arg(expected.width()).arg(expected.height())
                              .arg(img.width()).arg(img.height()));
    switch (img.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        // Colour bytes as stored, alpha ignored: what conversion to 24-bit RGB gives.
        quad_ = true;
        break;
    case QImage::Format_RGB888:
        quad_ = false;
        break;
    default:
        // The original goes as soon as its conversion exists.
        img = img.convertToFormat(QImage::Format_RGB888);
        if (img.isNull())
            return fail(path, QStringLiteral("not enough memory to convert the image"));
        quad_ = false;
        break;
    }
    image_ = std::move(img);
    size_ = image_.size();
    return true;
}
