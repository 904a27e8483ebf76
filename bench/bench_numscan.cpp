// The number scanner on the lines LUT files are made of, beside the C library's sscanf, and
// the .cube reader built on it over a 65-point file.

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <clocale>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "formats/registry.h"
#include "lut/lutfile_st.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"

namespace {

constexpr int lineCount = 4096;

std::vector<std::string> makeLines(const char *format, int values, double scale)
{
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> dist(0.0, scale);
    std::vector<std::string> lines;
    for (int i = 0; i < lineCount; ++i) {
        std::string line;
        char buf[64];
        for (int v = 0; v < values; ++v) {
            std::snprintf(buf, sizeof buf, format, dist(rng));
            if (v)
                line += ' ';
            line += buf;
        }
        lines.push_back(line);
    }
    return lines;
}

// "0.123456 0.654321 1.000000": the samples of a typical .cube file.
const std::vector<std::string> &sixDigitLines()
{
    static const auto lines = makeLines("%.6f", 3, 1.0);
    return lines;
}

// "0.123456789 ...": more digits than a float's exact path takes.
const std::vector<std::string> &nineDigitLines()
{
    static const auto lines = makeLines("%.9f", 3, 1.0);
    return lines;
}

// "1023 4 517": integer samples of 10-bit tables.
const std::vector<std::string> &integerLines()
{
    static const auto lines = makeLines("%.0f", 3, 1023.0);
    return lines;
}

void report(benchmark::State &state, const std::vector<std::string> &lines)
{
    qint64 bytes = 0;
    for (const std::string &l : lines)
        bytes += qint64(l.size()) + 1;
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["per_line"] = benchmark::Counter(double(lines.size()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

template <typename T>
void scanLines(benchmark::State &state, const std::vector<std::string> &lines, int (*scan)(const char *, int, T *, int))
{
    T v[3];
    for (auto _ : state) {
        for (const std::string &l : lines) {
            benchmark::DoNotOptimize(scan(l.data(), int(l.size()), v, 3));
            benchmark::DoNotOptimize(v);
        }
    }
    report(state, lines);
}

template <typename T>
void sscanfLines(benchmark::State &state, const std::vector<std::string> &lines, const char *format)
{
    std::setlocale(LC_ALL, "C");
    T v[3];
    for (auto _ : state) {
        for (const std::string &l : lines) {
            benchmark::DoNotOptimize(std::sscanf(l.c_str(), format, &v[0], &v[1], &v[2]));
            benchmark::DoNotOptimize(v);
        }
    }
    report(state, lines);
}

void BM_ScanFloats_6Digits(benchmark::State &state) { scanLines(state, sixDigitLines(), NumScan::scanFloats); }
void BM_Sscanf_6Digits(benchmark::State &state) { sscanfLines<float>(state, sixDigitLines(), "%f %f %f"); }
void BM_ScanFloats_9Digits(benchmark::State &state) { scanLines(state, nineDigitLines(), NumScan::scanFloats); }
void BM_Sscanf_9Digits(benchmark::State &state) { sscanfLines<float>(state, nineDigitLines(), "%f %f %f"); }
void BM_ScanDoubles_6Digits(benchmark::State &state) { scanLines(state, sixDigitLines(), NumScan::scanDoubles); }
void BM_SscanfDoubles_6Digits(benchmark::State &state) { sscanfLines<double>(state, sixDigitLines(), "%lf %lf %lf"); }
void BM_ScanInts(benchmark::State &state) { scanLines(state, integerLines(), NumScan::scanInts); }
void BM_SscanfInts(benchmark::State &state) { sscanfLines<int>(state, integerLines(), "%d %d %d"); }

// A whole 65-point .cube file (274,625 sample lines) through the reader.
void BM_ReadCube65(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("lattice65.cube"));
    const int n = 65;
    QByteArray text = "TITLE \"bench\"\nLUT_3D_SIZE 65\n";
    char buf[96];
    for (int b = 0; b < n; ++b)
        for (int g = 0; g < n; ++g)
            for (int r = 0; r < n; ++r)
                text += QByteArray(buf, std::snprintf(buf, sizeof buf, "%.6f %.6f %.6f\n", r / 64.0, g / 64.0, b / 64.0));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) {
        state.SkipWithError("cannot write the .cube file");
        return;
    }
    f.close();
    LUTFILE_ST file;
    file.path = path;
    file.formatId = int(Formats::Id::Cube);
    for (auto _ : state) {
        Read_LUTFile lut;
        if (!lut.ReadFile(file, false)) {
            state.SkipWithError("the .cube file did not read");
            return;
        }
        benchmark::DoNotOptimize(lut.lut3D.data());
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}

BENCHMARK(BM_ScanFloats_6Digits);
BENCHMARK(BM_Sscanf_6Digits);
BENCHMARK(BM_ScanFloats_9Digits);
BENCHMARK(BM_Sscanf_9Digits);
BENCHMARK(BM_ScanDoubles_6Digits);
BENCHMARK(BM_SscanfDoubles_6Digits);
BENCHMARK(BM_ScanInts);
BENCHMARK(BM_SscanfInts);
BENCHMARK(BM_ReadCube65)->Unit(benchmark::kMillisecond);

void quiet(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(msg));
}

}

int main(int argc, char **argv)
{
    // The readers' diagnostic lines would swamp the results.
    qInstallMessageHandler(quiet);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
