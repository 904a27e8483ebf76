#include "imageio/qtimagefiles.h"
#include "imageio/pngwriter.h"
#include "imageio/preview.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

#include <cstdlib>
#include <memory>
#include <utility>

#include "lut/inputlimit.h"

namespace {

// A stream is decoded as soon as it is read, before any caller sees its size: its header may
// claim no more pixels than any caller takes (a 64-megapixel photograph), so that a vast claim
// is refused before decoding, as the callers refuse one from a file's header.
constexpr qint64 maxStreamPixels = qint64(64) << 20;

// An image LUT as the decoders read it. A regular file is read by the decoder itself once its
// size is within the largest LUT file; a pipe, FIFO or device, which can be read only once and
// may never end, is read whole first, counted as it comes, and decoded from memory.
class LutInput
{
    QBuffer buffer_;   // a stream's bytes; declared first, as the reader reads from it

public:
    bool open(const QString &path, QString *why)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || !file.isSequential()) {
            // A regular file is read by the decoder, as is one that cannot be opened here (the
            // decoder then says why).
            if (file.isOpen() && file.size() > LutLimits::maxFileBytes) {
                *why = InputLimit::tooLarge(path, file.size());
                return false;
            }
            reader.setFileName(path);
            return true;
        }
        QByteArray bytes;
        if (!InputLimit::readAll(file, path, &bytes, why))
            return false;
        buffer_.setData(bytes);
        buffer_.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer_);
        stream = true;
        return true;
    }

    QImageReader reader;
    bool stream = false;
};

// Hands a decoded image over as pixels; the image stays alive as their owner.
void expose(QImage &&image, ImageFiles::Layout layout, ImageFiles::Pixels *out)
{
    auto owner = std::make_shared<QImage>(std::move(image));
    out->bits = owner->bits();
    out->bytesPerLine = owner->bytesPerLine();
    out->width = owner->width();
    out->height = owner->height();
    out->layout = layout;
    out->owner = std::move(owner);
}

bool decodeRgb(QImageReader &reader, ImageFiles::Pixels *out, QString *why)
{
    QImage image = reader.read();
    if (image.isNull()) {
        *why = QStringLiteral("the pixels cannot be decoded (%1)").arg(reader.errorString());
        return false;
    }
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        // Colour bytes as stored, alpha ignored: what conversion to 24-bit RGB gives.
        expose(std::move(image), ImageFiles::Layout::Rgb32, out);
        return true;
    case QImage::Format_RGB888:
        expose(std::move(image), ImageFiles::Layout::Rgb24, out);
        return true;
    default:
        // The original goes as soon as its conversion exists.
        image = image.convertToFormat(QImage::Format_RGB888);
        if (image.isNull()) {
            *why = QStringLiteral("not enough memory to convert the image");
            return false;
        }
        expose(std::move(image), ImageFiles::Layout::Rgb24, out);
        return true;
    }
}

bool decodeRgb(const QString &path, ImageFiles::Pixels *out, QString *why)
{
    LutInput input;
    return input.open(path, why) && decodeRgb(input.reader, out, why);
}

bool probe(const QString &path, QSize *size, ImageFiles::Pixels *decoded, QString *why)
{
    LutInput input;
    if (!input.open(path, why))
        return false;
    QImageReader &reader = input.reader;
    if (!reader.canRead()) {
        *why = QStringLiteral("not a readable image (%1)").arg(reader.errorString());
        return false;
    }
    QSize s = reader.size();
    // Bitmaps stored top row first give their height as a negative number; such a size is
    // still the header's, and a huge one must be refused before anything is decoded.
    if (s != QSize())
        s = QSize(std::abs(s.width()), std::abs(s.height()));
    if (input.stream && s.isValid() && qint64(s.width()) * s.height() > maxStreamPixels) {
        *why = QStringLiteral("the image claims %1 x %2 pixels, more than %3").arg(s.width()).arg(s.height()).arg(maxStreamPixels);
        return false;
    }
    if (!s.isValid() || input.stream) {
        // A handler that cannot tell its size without decoding, or a stream that cannot be
        // read again: decode now and keep the pixels.
        if (!decodeRgb(reader, decoded, why))
            return false;
        s = QSize(decoded->width, decoded->height);
    }
    *size = s;
    return true;
}

bool isDeep(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_RGBA64:
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64_Premultiplied:
    case QImage::Format_Grayscale16:
    case QImage::Format_BGR30:
    case QImage::Format_A2BGR30_Premultiplied:
    case QImage::Format_RGB30:
    case QImage::Format_A2RGB30_Premultiplied:
        return true;
    default:
        return false;
    }
}

bool decodeDeep(const QString &path, ImageFiles::Pixels *out, QString *why)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull()) {
        *why = QStringLiteral("cannot read the image: %1").arg(reader.errorString());
        return false;
    }
    const bool alpha = image.hasAlphaChannel();
    ImageFiles::Layout layout;
    if (isDeep(image)) {
        image = image.convertToFormat(alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
        layout = alpha ? ImageFiles::Layout::Rgba64 : ImageFiles::Layout::Rgbx64;
    } else {
        image = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        layout = alpha ? ImageFiles::Layout::Argb32 : ImageFiles::Layout::Rgb32;
    }
    if (image.isNull()) {
        *why = QStringLiteral("not enough memory to convert the image");
        return false;
    }
    expose(std::move(image), layout, out);
    return true;
}

bool save(const ImageFiles::Pixels &pixels, const QString &path, int threads, QString *why)
{
    const QByteArray format = ImageFiles::formatOf(path);
    if (format.isEmpty()) {
        *why = QStringLiteral("cannot tell the image format from the name (use .png, .tif, .jpg or .bmp)");
        return false;
    }
    const auto *image = static_cast<const QImage *>(pixels.owner.get());
    if (!image) {
        *why = QStringLiteral("no image to write");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *why = QStringLiteral("cannot open %1 for writing: %2").arg(path, file.errorString());
        return false;
    }
    if (format == "png") {
        // Our encoder shares the compression among the threads.
        QString reason;
        if (!PngWriter::write(*image, &file, threads, &reason)) {
            file.cancelWriting();
            *why = QStringLiteral("cannot write the image: %1").arg(reason);
            return false;
        }
    } else {
        QImageWriter writer(&file, format);
        if (format == "jpg")
            writer.setQuality(95);   // a preview near the best quality
        if (!writer.write(*image)) {
            file.cancelWriting();
            *why = QStringLiteral("cannot write the image: %1").arg(writer.errorString());
            return false;
        }
    }
    if (!file.commit()) {
        *why = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool preview(const ImageFiles::PreviewJob &job, const QString &path, QString *why)
{
    QImage page = Preview::render(job, why);
    if (page.isNull())
        return false;
    ImageFiles::Pixels pixels;
    expose(std::move(page), ImageFiles::Layout::Rgb32, &pixels);
    return save(pixels, path, job.threads, why);
}

QtMessageHandler startUpHandler = nullptr;

// The platform's start-up remarks (no runtime folder and the like) mean nothing to a command
// that only writes a file; what stops it still reaches the user.
void quietStartUp(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        startUpHandler(type, context, message);
}

QCoreApplication *paintingApplication(int &argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    startUpHandler = qInstallMessageHandler(quietStartUp);
    auto *app = new QGuiApplication(argc, argv);
    qInstallMessageHandler(startUpHandler);
    return app;
}


bool create(int width, int height, ImageFiles::Layout layout, ImageFiles::Pixels *out, QString *why)
{
    const bool deep = layout == ImageFiles::Layout::Rgbx64;
    if (!deep && layout != ImageFiles::Layout::Rgb32) {
        *why = QStringLiteral("new images are made as Rgb32 or Rgbx64 only");
        return false;
    }
    QImage image(width, height, deep ? QImage::Format_RGBX64 : QImage::Format_RGB32);
    if (image.isNull()) {
        *why = QStringLiteral("not enough memory for a %1 x %2 image").arg(width).arg(height);
        return false;
    }
    expose(std::move(image), layout, out);
    return true;
}


const ImageFiles::Backend qtBackend = {probe, decodeRgb, decodeDeep, save, preview, paintingApplication, create};

}

namespace QtImageFiles {

const ImageFiles::Backend &backend()
{
    return qtBackend;
}

}
