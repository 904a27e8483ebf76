// Reading LUTs from images: a 4096 x 4096 texture (256 points per axis, 16.7 M nodes) from PNG
// and BMP, and sampling a pair of images and estimating from its samples. Peak memory is the process's peak resident set
// (getrusage); the test images are written by a child process so that making them does not
// count.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QImage>
#include <QString>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "calc/imagepair.h"
#include "lut/read_lutfile.h"

namespace {

QString folder;

double peakRssMB()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;   // kilobytes on Linux
}

QString imagePath(const char *name)
{
    return QDir(folder).filePath(QString::fromLatin1(name));
}

// The identity texture of `side` pixels: tiles of N x N, one per blue index.
QImage identityTexture(int side)
{
    const int n = side == 64 ? 16 : side == 512 ? 64 : 256;
    const int across = side / n;
    QImage image(side, side, QImage::Format_RGB888);
    for (int y = 0; y < side; ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < side; ++x) {
            const int b = (y / n) * across + x / n;
            line[3 * x] = uchar(std::lround(255.0 * (x % n) / (n - 1)));
            line[3 * x + 1] = uchar(std::lround(255.0 * (y % n) / (n - 1)));
            line[3 * x + 2] = uchar(std::lround(255.0 * b / (n - 1)));
        }
    }
    return image;
}

bool makeImages()
{
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        const QImage big = identityTexture(4096);
        bool ok = big.save(imagePath("texture4096.png")) && big.save(imagePath("texture4096.bmp"));
        ok = ok && identityTexture(512).save(imagePath("texture512.png"));
        // A graded pair of 1024 x 1024 pixels with about a million distinct source colours.
        QImage source(1024, 1024, QImage::Format_RGB888);
        QImage target(1024, 1024, QImage::Format_RGB888);
        for (int y = 0; y < 1024; ++y) {
            uchar *s = source.scanLine(y);
            uchar *t = target.scanLine(y);
            for (int x = 0; x < 1024; ++x) {
                s[3 * x] = uchar(x & 255);
                s[3 * x + 1] = uchar(y & 255);
                s[3 * x + 2] = uchar((x >> 8) * 64 + (y >> 8) * 16 + ((x ^ y) & 15));
                for (int c = 0; c < 3; ++c)
                    t[3 * x + c] = uchar(255 - s[3 * x + c] / 2);
            }
        }
        ok = ok && source.save(imagePath("source.png")) && target.save(imagePath("target.png"));
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void readTexture(benchmark::State &state, const char *name, bool headerOnly)
{
    const QString path = imagePath(name);
    for (auto _ : state) {
        Read_LUTFile lut;
        if (!lut.Read_Texture(path, headerOnly)) {
            state.SkipWithError(qPrintable(lut.errorString));
            break;
        }
        benchmark::DoNotOptimize(lut.lut3D.data());
    }
    state.counters["peak_rss_MB"] = peakRssMB();
}

// Decoding alone, for comparison: what the reader adds is the table and the fill.
void BM_Decode4096_Png(benchmark::State &state)
{
    const QString path = imagePath("texture4096.png");
    for (auto _ : state) {
        QImage image(path);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_Texture4096_Png(benchmark::State &state) { readTexture(state, "texture4096.png", false); }
void BM_Texture4096_Bmp(benchmark::State &state) { readTexture(state, "texture4096.bmp", false); }
void BM_Texture4096_HeaderOnly(benchmark::State &state) { readTexture(state, "texture4096.png", true); }
void BM_Texture512_Png(benchmark::State &state) { readTexture(state, "texture512.png", false); }

void BM_SampleImagePair1024(benchmark::State &state)
{
    for (auto _ : state) {
        ImagePairSamples samples;
        QString error;
        if (!sampleImagePair(imagePath("source.png"), imagePath("target.png"), samples, &error)) {
            state.SkipWithError(qPrintable(error));
            break;
        }
        state.counters["samples"] = double(samples.count);
    }
    state.counters["peak_rss_MB"] = peakRssMB();
}

// The estimator over the pair's million samples, for a colour that was not sampled: the first
// 200,000 bracketing pairs.
void BM_FindX1024(benchmark::State &state)
{
    ImagePairSamples samples;
    QString error;
    if (!sampleImagePair(imagePath("source.png"), imagePath("target.png"), samples, &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    const int target[3] = {130, 120, 100};
    for (auto _ : state) {
        const FindXResult result = LutCalc::FindX(target, nullptr, nullptr, samples.list.data(), samples.list.size(),
                                                  samples.map, nullptr, 200000);
        state.counters["estimates"] = double(result.estimates.size());
    }
}

}

// The 4096 reads run first, so that their peak is not hidden behind the pair's sample map.
BENCHMARK(BM_Texture4096_HeaderOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Decode4096_Png)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Texture4096_Png)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Texture4096_Bmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Texture512_Png)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SampleImagePair1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindX1024)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    char pattern[] = "/tmp/bench_texture_XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    folder = QString::fromLocal8Bit(pattern);
    if (!makeImages()) {
        std::fprintf(stderr, "cannot write the test images to %s\n", pattern);
        return 1;
    }
    std::printf("peak resident set before reading: %.1f MB\n", peakRssMB());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QDir(folder).removeRecursively();
    return 0;
}
