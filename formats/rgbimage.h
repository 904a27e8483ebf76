#ifndef RGBIMAGE_H
#define RGBIMAGE_H

#include <QSize>
#include <QString>

#include "formats/imagefiles.h"

// An image file seen as 8-bit R, G, B per pixel (alpha dropped), for the code that takes
// colours from pictures. The size comes from the file's header first, so that callers can
// refuse a wrong geometry before any pixel is decoded. Images held with 32 bits per pixel
// (what most files decode to) are read in place; other layouts are converted once to
// 24-bit RGB, so no large image is ever held twice.
class RgbImage
{
public:
    // The image's size from the file's header, decoding no pixels (only a format whose header
    // does not give the size is decoded here). False, with a reason, when the file cannot be
    // read as an image.
    bool probe(const QString &path);
    // Decode the pixels, unless probe() already had to. After a probe the decoded size must be
    // the probed one (a file replaced in between, or a handler that misreports its header, is
    // refused).
    bool load(const QString &path);
    bool decoded() const { return !pixels_.isNull(); }
    // Whether the image at `path` is of a format that image formats sharing an extension tell
    // apart by size: 1 when `fits` its size, 0 when not (`why`: "a 60x60 image"), -1 when it
    // is no readable image.
    static int claim(const QString &path, QString *why, bool (*fits)(int width, int height));
    void clear();

    QSize size() const { return size_; }
    int width() const { return size_.width(); }
    int height() const { return size_.height(); }
    const QString &errorString() const { return error_; }

    const uchar *row(int y) const { return pixels_.row(y); }
    // Pixel x of a row given by row(); bytes R, G, B.
    void rgb(const uchar *line, int x, uchar &r, uchar &g, uchar &b) const
    {
        if (quad_) {
            const quint32 p = reinterpret_cast<const quint32 *>(line)[x];
            r = uchar(p >> 16);
            g = uchar(p >> 8);
            b = uchar(p);
        } else {
            const uchar *q = line + 3 * x;
            r = q[0];
            g = q[1];
            b = q[2];
        }
    }

private:
    bool fail(const QString &path, const QString &why);
    const ImageFiles::Backend *images(const QString &path);
    void keep(ImageFiles::Pixels &&pixels);

    ImageFiles::Pixels pixels_;
    QSize size_;
    bool quad_ = false;
    QString error_;
};

#endif
