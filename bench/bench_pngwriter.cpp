// Encoding a 6000 x 4000 8-bit image as PNG: this encoder on one and two threads, and the
// toolkit's own writer at quality 80 (zlib level 1, adaptive filters, one thread) as the
// yardstick. Two images: a photograph-like one (smooth gradients with fine texture, as in
// bench/cli_speed.sh) and the same kind of picture with the sensor noise of a real
// photograph. The counter "bytes" is the size of the file.

#include "benchmain.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <random>

#include "imageio/pngwriter.h"

namespace {

constexpr int width = 6000, height = 4000;

QImage gradients()
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const int g = (y * 255 / (height - 1)) ^ (y % 7);
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(x * 255 / (width - 1), g, (x * 7 + y * 3 + (x * y) % 17) & 255);
    }
    return image;
}

// Smooth shading with noise of about two levels in every channel.
QImage noisy()
{
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 rng(1);
    auto level = [&](int base) { return qBound(0, base + int(rng() % 9) - 4, 255); };
    for (int y = 0; y < height; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int r = 40 + 180 * x / width, g = 30 + 160 * y / height, b = 90 + (x / 50 + y / 40) % 60;
            line[x] = qRgb(level(r), level(g), level(b));
        }
    }
    return image;
}

const QImage &picture(int which)
{
    static const QImage images[2] = {gradients(), noisy()};
    return images[which];
}

const char *const names[2] = {"photograph-like", "noisy photograph"};

// Runs `encode` (a writer into an open buffer) on the image the state names, into memory
// reserved once, and reports the size of the file.
template <typename Encode>
void encodeImage(benchmark::State &state, Encode encode)
{
    const QImage &image = picture(int(state.range(0)));
    state.SetLabel(names[state.range(0)]);
    QByteArray bytes;
    bytes.reserve(128 << 20);
    for (auto _ : state) {
        bytes.resize(0);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QString why;
        if (!encode(image, &buffer, &why))
            state.SkipWithError(qPrintable(why));
    }
    state.counters["bytes"] = double(bytes.size());
}

void BM_PngWriter(benchmark::State &state)
{
    const int threads = int(state.range(1));
    encodeImage(state, [threads](const QImage &image, QBuffer *buffer, QString *why) {
        return PngWriter::write(image, buffer, threads, why);
    });
}
BENCHMARK(BM_PngWriter)
    ->ArgNames({"image", "threads"})
    ->Args({0, 1})
    ->Args({0, 2})
    ->Args({1, 1})
    ->Args({1, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_QImageWriterQuality80(benchmark::State &state)
{
    encodeImage(state, [](const QImage &image, QBuffer *buffer, QString *why) {
        QImageWriter writer(buffer, "png");
        writer.setQuality(80);
        const bool ok = writer.write(image);
        *why = writer.errorString();
        return ok;
    });
}
BENCHMARK(BM_QImageWriterQuality80)->ArgNames({"image"})->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}

LUTWRIGHT_BENCH_MAIN()
