// .cube reading speed, resampling and interpolation speed, and the memory a 256-point table costs.
#include "benchmain.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

#include "calc/lutcalc.h"
#include "lut/read_lutfile.h"
#include "lut/samplelines.h"

namespace {

QTemporaryDir &tempDir()
{
    static QTemporaryDir dir;
    return dir;
}

// A graded lattice printed as .cube, red fastest, six decimals.
QString makeCube(int n)
{
    const QString path = tempDir().filePath(QStringLiteral("bench%1.cube").arg(n));
    if (QFile::exists(path))
        return path;
    QByteArray text = "TITLE \"bench\"\nLUT_3D_SIZE " + QByteArray::number(n) + "\n";
    char line[64];
    for (int b = 0; b < n; ++b)
        for (int g = 0; g < n; ++g)
            for (int r = 0; r < n; ++r) {
                const double x = double(r) / (n - 1), y = double(g) / (n - 1), z = double(b) / (n - 1);
                std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", x * x, 0.5 * (y + x * z), z * 0.9 + 0.05);
                text += line;
            }
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return path;
}

// Read serially (argument 1) or in a part per core (0); wall time, as the parts run on
// threads of their own.
void BM_ReadCube65(benchmark::State &state)
{
    const QString path = makeCube(65);
    const qint64 bytes = QFile(path).size();
    const qint64 threshold = SampleLines::partThreshold();
    if (state.range(0) == 1)
        SampleLines::setPartThreshold(std::numeric_limits<qint64>::max());
    for (auto _ : state) {
        Read_LUTFile m;
        LUTFILE_ST f;
        f.path = path;
        if (!m.ReadFile(f, false))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(m.lut3D.data());
    }
    SampleLines::setPartThreshold(threshold);
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_ReadCube65)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_ReadCubeHeaderOnly65(benchmark::State &state)
{
    const QString path = makeCube(65);
    for (auto _ : state) {
        Read_LUTFile m;
        LUTFILE_ST f;
        f.path = path;
        m.ReadFile(f, true);
        benchmark::DoNotOptimize(m.lut3DSize);
    }
}
BENCHMARK(BM_ReadCubeHeaderOnly65)->Unit(benchmark::kMillisecond);

void BM_Resample(benchmark::State &state)
{
    const int from = int(state.range(0)), to = int(state.range(1));
    Read_LUTFile src;
    LUTFILE_ST f;
    f.path = makeCube(from);
    src.ReadFile(f, false);
    for (auto _ : state) {
        Read_LUTFile dst;
        dst.lut3DSize = to;
        Read_LUTFile::Data3DCalloc(&dst.lut3D, to);
        LutCalc::Lut3D_Out(src, dst);
        benchmark::DoNotOptimize(dst.lut3D.data());
    }
    state.SetItemsProcessed(state.iterations() * to * to * to);
}
BENCHMARK(BM_Resample)->Args({65, 33})->Args({33, 17})->Args({33, 65})->Unit(benchmark::kMicrosecond);

// A million colours through a 33-point lattice at once, as applying a LUT to an image does.
void BM_TetrahedralMany(benchmark::State &state)
{
    Read_LUTFile lut;
    LUTFILE_ST f;
    f.path = makeCube(33);
    lut.ReadFile(f, false);
    const std::size_t count = 1024 * 1024;
    std::vector<float> in(count * 3), out(count * 3);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = float((i * 2654435761u) % 1001) / 1000.0f;
    for (auto _ : state) {
        LutCalc::Lut3D_TetrahedralMany(in.data(), out.data(), count, lut);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(count));
}
BENCHMARK(BM_TetrahedralMany)->Unit(benchmark::kMillisecond);

// Every 8-bit grey and a sweep of mixed codes through the integer interpolator, 17 points.
void BM_TetrahedralInt(benchmark::State &state)
{
    Read_LUTFile lut;
    LUTFILE_ST f;
    f.path = makeCube(17);
    lut.ReadFile(f, false);
    for (auto _ : state) {
        uint64_t sum = 0;
        for (uint64_t r = 0; r < 256; r += 3)
            for (uint64_t g = 0; g < 256; g += 5)
                for (uint64_t b = 0; b < 256; ++b) {
                    const uint64_t in[3] = {r, g, b};
                    uint64_t out[3];
                    LutCalc::Lut3D_Tetrahedral_Int(in, out, lut);
                    sum += out[0] + out[1] + out[2];
                }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_TetrahedralInt)->Unit(benchmark::kMillisecond);

long peakRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Peak resident memory of a 256-point lattice once every node is written, against its floats.
void BM_Table256Memory(benchmark::State &state)
{
    const double floatsMb = 256.0 * 256 * 256 * 3 * 4 / 1e6;
    double extraPercent = 0;
    for (auto _ : state) {
        (void)_;
        const long before = peakRssKb();
        {
            Read_LUTFile m;
            m.setSize3D(256, false);
            float *p = m.lut3D.data();
            for (std::size_t i = 0; i < m.lut3D.floatCount(); ++i)
                p[i] = 0.5f;
            benchmark::DoNotOptimize(p);
        }
        const long after = peakRssKb();
        extraPercent = ((after - before) * 1024.0 / 1e6 - floatsMb) / floatsMb * 100.0;
    }
    state.counters["floats_MB"] = floatsMb;
    state.counters["overhead_percent"] = extraPercent;
}
BENCHMARK(BM_Table256Memory)->Iterations(1)->Unit(benchmark::kMillisecond);

}

LUTWRIGHT_BENCH_MAIN()
