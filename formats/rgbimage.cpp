#include "formats/rgbimage.h"

#include <QFileInfo>

#include <utility>

bool RgbImage::fail(const QString &path, const QString &why)
{
    error_ = QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), why);
    return false;
}

int RgbImage::claim(const QString &path, QString *why, bool (*fits)(int width, int height))
{
    RgbImage image;
    if (!image.probe(path)) {
        *why = image.errorString();
        return -1;
    }
    if (fits(image.width(), image.height()))
        return 1;
    *why = QStringLiteral("a %1x%2 image").arg(image.width()).arg(image.height());
    return 0;
}

void RgbImage::clear()
{
    pixels_ = ImageFiles::Pixels();
    size_ = QSize();
    quad_ = false;
    error_.clear();
}

const ImageFiles::Backend *RgbImage::images(const QString &path)
{
    QString why;
    const ImageFiles::Backend *backend = ImageFiles::backend(&why);
    if (!backend)
        fail(path, why);
    return backend;
}

bool RgbImage::probe(const QString &path)
{
    clear();
    const ImageFiles::Backend *backend = images(path);
    if (!backend)
        return false;
    QSize s;
    ImageFiles::Pixels decoded;
    QString why;
    if (!backend->probe(path, &s, &decoded, &why))
        return fail(path, why);
    size_ = s;
    if (!decoded.isNull())
        keep(std::move(decoded));
    return true;
}

bool RgbImage::load(const QString &path)
{
    if (decoded())
        return true;
    const ImageFiles::Backend *backend = images(path);
    if (!backend)
        return false;
    ImageFiles::Pixels pixels;
    QString why;
    if (!backend->decodeRgb(path, &pixels, &why))
        return fail(path, why);
    const QSize got(pixels.width, pixels.height);
    if (size_.isValid() && got != size_)
        return fail(path, QStringLiteral("the header gives %1 x %2 pixels but %3 x %4 were decoded")
                              .arg(size_.width()).arg(size_.height()).arg(got.width()).arg(got.height()));
    keep(std::move(pixels));
    return true;
}

void RgbImage::keep(ImageFiles::Pixels &&pixels)
{
    pixels_ = std::move(pixels);
    quad_ = pixels_.layout != ImageFiles::Layout::Rgb24;
    size_ = QSize(pixels_.width, pixels_.height);
}
