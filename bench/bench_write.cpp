// Writing speed: a whole 33-point .cube through the writing dispatch, and the number printers
// one number at a time (with QTextStream, what they replace, for comparison).

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <QTextStream>

#include <cmath>
#include <random>
#include <vector>

#include "formats/registry.h"
#include "gradedlut.h"
#include "lut/lutfile_st.h"
#include "lut/numformat.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace {

std::vector<float> sampleValues()
{
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> d(0.0f, 1.0f);
    std::vector<float> v(4096);
    for (float &x : v)
        x = d(rng);
    return v;
}

void BM_WriteCube33(benchmark::State &state)
{
    Read_LUTFile lut;
    fillGraded(lut, 33);
    QTemporaryDir dir;
    LUTFILE_ST side;
    side.path = dir.filePath("out.cube");
    side.formatId = int(Formats::Id::Cube);
    side.dataOrderRGB = false;
    side.tableOrderRGB = false;
    side.scale = 1;
    for (auto _ : state) {
        Write_LUTFile w;
        if (!w.WriteFile(side, lut))
            state.SkipWithError("write failed");
    }
    const qint64 bytes = QFileInfo(side.path).size();
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["numbers"] = 33.0 * 33 * 33 * 3;
    state.counters["file_bytes"] = double(bytes);
}
BENCHMARK(BM_WriteCube33)->Unit(benchmark::kMillisecond);

// The same lines into memory only: the printing without the file system (the file write above
// also waits for the data to reach the disk before the new file replaces the old one).
void BM_EmitCube33(benchmark::State &state)
{
    Read_LUTFile lut;
    fillGraded(lut, 33);
    qint64 bytes = 0;
    for (auto _ : state) {
        Write_LUTFile w;
        w.dataOrderRGB = false;
        w.tableOrderRGB = false;
        TextWriter out;
        w.writeLattice(out, lut, 1, " ");
        bytes = out.buffer().size();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_EmitCube33)->Unit(benchmark::kMillisecond);

template <char *(*Print)(char *, double)>
void BM_Print(benchmark::State &state)
{
    const std::vector<float> values = sampleValues();
    char buf[NumFormat::maxLength];
    std::size_t i = 0, bytes = 0;
    for (auto _ : state) {
        char *end = Print(buf, values[i++ & 4095]);
        bytes += std::size_t(end - buf);
        benchmark::DoNotOptimize(buf);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(qint64(bytes));
}
BENCHMARK_TEMPLATE(BM_Print, NumFormat::fixed6)->Name("BM_Fixed6");
BENCHMARK_TEMPLATE(BM_Print, NumFormat::general6)->Name("BM_General6");

// The same numbers through one QTextStream on a string, as the writers would otherwise print.
void BM_StreamFixed(benchmark::State &state)
{
    const std::vector<float> values = sampleValues();
    QString text;
    QTextStream ts(&text);
    ts.setRealNumberNotation(QTextStream::FixedNotation);
    std::size_t i = 0;
    for (auto _ : state) {
        ts << values[i++ & 4095];
        if ((i & 4095) == 0) {
            ts.flush();
            text.clear();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StreamFixed);

}

BENCHMARK_MAIN();
