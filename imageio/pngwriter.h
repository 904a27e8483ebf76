#ifndef IMAGEIO_PNGWRITER_H
#define IMAGEIO_PNGWRITER_H

#include <QImage>
#include <QString>

class QIODevice;

// A PNG encoder for large images: bands of rows are filtered and deflated on several threads
// at once and joined into one zlib stream, so the file reads like any other PNG.
namespace PngWriter {

// Writes the image as PNG to an open device, compressing bands of rows on up to `threads`
// threads. Format_RGB32 and Format_RGBX64 give 8- and 16-bit RGB, Format_ARGB32 and
// Format_RGBA64 8- and 16-bit RGBA with straight alpha; other formats are converted to the
// nearest of these first. The colour space (as an ICC profile), the physical resolution and
// the text entries of the image are kept. The output is the same for every thread count.
// False with a reason in *why on any failure (device write errors included).
bool write(const QImage &image, QIODevice *device, int threads, QString *why);

}

#endif
