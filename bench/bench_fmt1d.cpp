// Throughput of the 1D format readers and writers on a 65,536-entry table (the 1D .lut
// reader on the 256 entries its format holds). Bytes are those of the file.

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cmath>

#include "formats/registry.h"
#include "lut/lutfile_st.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

namespace {

constexpr int entries = 65536;

constexpr int Discreet = int(Formats::Id::Discreet1D), Lut1D = int(Formats::Id::Lut1D),
              Spi1D = int(Formats::Id::Spi1D), Csv = int(Formats::Id::Csv);

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

QTemporaryDir &tempDir()
{
    static QTemporaryDir dir;
    return dir;
}

LUTFILE_ST side(int formatId, qint64 scale)
{
    LUTFILE_ST f;
    f.path = tempDir().filePath(QStringLiteral("bench_%1_%2").arg(formatId).arg(scale));
    f.formatId = formatId;
    f.scale = scale;
    return f;
}

// A smooth curve per channel, as a real grade holds.
void fill(Read_LUTFile &lut, int count = entries)
{
    lut.lut1DSize = count;
    Read_LUTFile::Data1DCalloc(&lut.lut1D, count);
    for (int i = 0; i < count; ++i) {
        const float x = float(i) / float(count - 1);
        lut.lut1D[i][0] = x;
        lut.lut1D[i][1] = x * x;
        lut.lut1D[i][2] = std::sqrt(x);
    }
}

void BM_Write(benchmark::State &state, int formatId, qint64 scale)
{
    qInstallMessageHandler(quiet);
    Read_LUTFile lut;
    fill(lut);
    const LUTFILE_ST f = side(formatId, scale);
    for (auto _ : state) {
        Write_LUTFile w;
        if (!w.WriteFile(f, lut))
            state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(qint64(state.iterations()) * QFileInfo(f.path).size());
}

void BM_Read(benchmark::State &state, int formatId, qint64 scale)
{
    qInstallMessageHandler(quiet);
    const LUTFILE_ST f = side(formatId, scale);
    {
        Read_LUTFile lut;
        fill(lut, formatId == Lut1D ? 256 : entries);
        Write_LUTFile w;
        w.WriteFile(f, lut);
    }
    for (auto _ : state) {
        Read_LUTFile lut;
        if (!lut.ReadFile(f, false))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(lut.lut1D[0][0]);
    }
    const qint64 bytes = QFileInfo(f.path).size();
    state.SetBytesProcessed(qint64(state.iterations()) * bytes);
}

}

BENCHMARK_CAPTURE(BM_Write, discreet_float, Discreet, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, discreet_int, Discreet, 65535)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, lut1d_float, Lut1D, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, lut1d_int, Lut1D, 255)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, spi1d_float, Spi1D, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, spi1d_int, Spi1D, 65535)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, csv_float, Csv, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, csv_int, Csv, 65535)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_Read, discreet_float, Discreet, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, discreet_int, Discreet, 65535)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, lut1d_int, Lut1D, 255)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, spi1d_float, Spi1D, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, spi1d_int, Spi1D, 65535)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, csv_int, Csv, 65535)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
