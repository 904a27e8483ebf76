// Writing the formats outside the numeric dispatch: a 65-point .3dl (12-bit Mesh form) and a
// level-8 Hald image (512 x 512 pixels, a 64-point lattice) as 8 and 16-bit PNG. The counter
// "file_bytes" is the size of the file.

#include "benchmain.h"

#include <QFileInfo>
#include <QTemporaryDir>


#include "formats/writers.h"
#include "gradedlut.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

namespace {

void writeBench(benchmark::State &state, Formats::WriteFn write, int n, const char *name, int bits)
{
    Read_LUTFile lut;
    fillGraded(lut, n);
    QTemporaryDir dir;
    const QString path = dir.filePath(QLatin1String(name));
    Formats::Options options;
    options.bits = bits;
    for (auto _ : state) {
        Write_LUTFile writer;
        if (!write(writer, path, lut, options))
            state.SkipWithError(qPrintable(writer.errorString));
    }
    const qint64 bytes = QFileInfo(path).size();
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["file_bytes"] = double(bytes);
}

void BM_Write3dl65(benchmark::State &state)
{
    writeBench(state, Formats::Write_3dl, 65, "out.3dl", 12);
}
BENCHMARK(BM_Write3dl65)->Unit(benchmark::kMillisecond);

void BM_WriteHaldLevel8(benchmark::State &state)
{
    writeBench(state, Formats::Write_Hald, 64, "out.png", int(state.range(0)));
}
BENCHMARK(BM_WriteHaldLevel8)->Arg(8)->Arg(16)->ArgName("bits")->Unit(benchmark::kMillisecond);

}

LUTWRIGHT_BENCH_MAIN()
