#ifndef IMAGEFILES_H
#define IMAGEFILES_H

#include <QByteArray>
#include <QSize>
#include <QString>

#include <cstddef>
#include <memory>

class QCoreApplication;

// Image files as pixels: the one way into image decoding and encoding for the LUT layer and
// the command line. The implementation needs the GUI toolkit's image code. The window, the
// tests and the benchmarks link it (the lutimage library); the command-line program loads it
// only when a command meets an image, so that converting text LUTs never loads that code.
namespace ImageFiles {

enum class Layout {
    Rgb24,   // bytes R, G, B
    Rgb32,   // 0xffRRGGBB words (alpha ignored)
    Argb32,  // 0xAARRGGBB words, straight alpha
    Rgbx64,  // 16-bit R, G, B, 0xffff per pixel
    Rgba64,  // 16-bit R, G, B, A per pixel, straight alpha
};

// Decoded pixels, kept alive by `owner` (which also carries what the file said about its colour
// space, resolution and text, for save()).
struct Pixels {
    std::shared_ptr<void> owner;
    uchar *bits = nullptr;
    qint64 bytesPerLine = 0;
    int width = 0;
    int height = 0;
    Layout layout = Layout::Rgb24;

    uchar *row(int y) const { return bits + y * bytesPerLine; }
    bool isNull() const { return bits == nullptr; }
    // The codes of pixel x of `line` (a row of this picture): 16-bit ones for a deep layout
    // (Rgbx64, Rgba64), else the 8-bit ones of an Rgb32 pixel.
    static void codes(const uchar *line, int x, bool deep, float *v)
    {
        if (deep) {
            const quint16 *p = reinterpret_cast<const quint16 *>(line) + 4 * x;
            v[0] = p[0];
            v[1] = p[1];
            v[2] = p[2];
        } else {
            const quint32 p = reinterpret_cast<const quint32 *>(line)[x];
            v[0] = float((p >> 16) & 0xff);
            v[1] = float((p >> 8) & 0xff);
            v[2] = float(p & 0xff);
        }
    }
};

// One preview picture: a built-in chart (or the user's image) before and after a LUT, beside
// the LUT's curves, with labels. The image code knows nothing of LUTs; it asks for colours
// through the two callbacks.
struct PreviewJob {
    QString title;       // the LUT's file name
    QString details;     // its format and table
    QString imagePath;   // a picture to show instead of the chart; empty for the chart
    QSize size;
    // The LUT applied in place to pixels of the Rgb32 layout.
    void (*gradePixels)(Pixels &pixels, const void *context);
    // The LUT applied to `count` RGB triples of the nominal range 0..1.
    void (*mapColours)(const float *in, float *out, std::size_t count, const void *context);
    const void *context;
    int threads;
};

struct Backend {
    // The size from the file's header without decoding pixels. A format whose header does not
    // tell it is decoded to find out, and its colours are then left in *decoded as decodeRgb
    // gives them. False with a reason when the file is not a readable image.
    bool (*probe)(const QString &path, QSize *size, Pixels *decoded, QString *why);
    // The colours only: 8-bit R, G, B as Rgb24 or Rgb32 (whichever needs no copy).
    bool (*decodeRgb)(const QString &path, Pixels *out, QString *why);
    // For grading: Rgb32/Argb32 for 8-bit files, Rgbx64/Rgba64 for deeper ones, alpha kept and
    // the file's orientation applied.
    bool (*decodeDeep)(const QString &path, Pixels *out, QString *why);
    // Pixels from decodeDeep written to `path` in the format its extension names (png, tif,
    // tiff, jpg, jpeg, bmp) through a temporary file renamed into place; `threads` may share
    // the encoding.
    bool (*save)(const Pixels &pixels, const QString &path, int threads, QString *why);
    // The preview as a PNG file at `path`, written through a temporary file renamed into place.
    bool (*preview)(const PreviewJob &job, const QString &path, QString *why);
    // Painting text needs the toolkit's GUI application object, which a program that links no
    // GUI code has the module make: on the offscreen platform, so that no display is needed.
    // No other application object may exist when it is called.
    QCoreApplication *(*paintingApplication)(int &argc, char **argv);
    // Blank pixels of the given size in the Rgb32 or Rgbx64 layout (rows `bytesPerLine`
    // apart), ready to be filled and given to save(). False with a reason when memory runs out.
    bool (*create)(int width, int height, Layout layout, Pixels *out, QString *why);
};

// The image code, or nullptr with the reason when it cannot be had.
const Backend *backend(QString *why);

// The writable image format a file name asks for ("png", "tiff", "jpg", "bmp"); empty when
// its extension names none.
inline QByteArray formatOf(const QString &path)
{
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (dot < 0 || dot < slash)
        return QByteArray();
    const QString suffix = path.mid(dot + 1).toLower();
    if (suffix == QLatin1String("png") || suffix == QLatin1String("bmp"))
        return suffix.toLatin1();
    if (suffix == QLatin1String("tif") || suffix == QLatin1String("tiff"))
        return QByteArrayLiteral("tiff");
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return QByteArrayLiteral("jpg");
    return QByteArray();
}

}

#endif
