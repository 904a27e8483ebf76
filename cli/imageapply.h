#ifndef CLI_IMAGEAPPLY_H
#define CLI_IMAGEAPPLY_H

#include <QImage>
#include <QString>

class Read_LUTFile;

// A LUT applied to an image, so that a user can see what it does.
namespace ImageApply {

// Load an image (8 or 16 bits per channel, any format the toolkit reads) in the form the LUT
// is applied to: 8-bit (A)RGB32 or 16-bit RGBA64/RGBX64, alpha kept, orientation applied.
QImage load(const QString &path, QString *why);

// Every pixel's colour through the LUT's 3D table by tetrahedral interpolation (through its
// 1D table, linearly per channel, when it has no lattice), on `threads` threads; alpha is
// left alone. Values are rounded to the nearest code of the image's depth.
void apply(QImage &image, const Read_LUTFile &lut, int threads);

// The writable image format of a file name ("png", "tiff", "jpg", "bmp"); empty when unknown.
QByteArray formatOf(const QString &path);

// Write through a temporary file that replaces `path` only once it is complete.
bool save(const QImage &image, const QString &path, QString *why);

}

#endif
