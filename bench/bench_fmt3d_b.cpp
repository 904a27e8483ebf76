// Reading and writing speed of .itx, .spi3d, .tms1d and .tms3d, beside the .cube reader on the
// same lattices as the reference (bytes per second of file text).
#include "benchmain.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <map>

#include "formats/registry.h"
#include "lut/lutfile_st.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

namespace {

constexpr int cubeId = int(Formats::Id::Cube);
constexpr int itxId = int(Formats::Id::Itx);
constexpr int spi3dId = int(Formats::Id::Spi3D);
constexpr int tms1dId = int(Formats::Id::Tms1D);
constexpr int tms3dId = int(Formats::Id::Tms3D);

LUTFILE_ST side(const QString &path, int formatId)
{
    LUTFILE_ST s;
    s.path = path;
    s.formatId = formatId;
    s.defaultOrder = true;
    return s;
}

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

void fill(Read_LUTFile &lut, int size, bool is3D)
{
    QRandomGenerator gen(7);
    if (is3D) {
        lut.lut3DSize = size;
        Read_LUTFile::Data3DCalloc(&lut.lut3D, size);
        for (std::size_t i = 0; i < lut.lut3D.floatCount(); ++i)
            lut.lut3D.data()[i] = float(gen.generateDouble());
    } else {
        lut.lut1DSize = size;
        Read_LUTFile::Data1DCalloc(&lut.lut1D, size);
        for (int i = 0; i < size * 3; ++i)
            lut.lut1D.data()[i] = float(gen.generateDouble());
    }
}

// A file of random samples written once by the format's own writer.
QString sample(int formatId, int size)
{
    static std::map<std::pair<int, int>, QString> made;
    const auto key = std::make_pair(formatId, size);
    auto it = made.find(key);
    if (it != made.end())
        return it->second;
    Read_LUTFile lut;
    fill(lut, size, formatId != tms1dId);
    const QString path = folder().filePath(QStringLiteral("sample_%1_%2").arg(formatId).arg(size));
    Write_LUTFile w;
    if (!w.WriteFile(side(path, formatId), lut))
        qFatal("cannot write %s: %s", qPrintable(path), qPrintable(w.errorString));
    made[key] = path;
    return path;
}

void BM_Read(benchmark::State &state, int formatId)
{
    const int size = int(state.range(0));
    const QString path = sample(formatId, size);
    const qint64 bytes = QFileInfo(path).size();
    for (auto _ : state) {
        Read_LUTFile lut;
        if (!lut.ReadFile(side(path, formatId), false)) {
            state.SkipWithError(qPrintable(lut.errorString));
            break;
        }
        benchmark::DoNotOptimize(lut.lut3D.data());
        benchmark::DoNotOptimize(lut.lut1D.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_Write(benchmark::State &state, int formatId)
{
    const int size = int(state.range(0));
    Read_LUTFile lut;
    fill(lut, size, formatId != tms1dId);
    const QString path = folder().filePath(QStringLiteral("written_%1").arg(formatId));
    for (auto _ : state) {
        Write_LUTFile w;
        if (!w.WriteFile(side(path, formatId), lut)) {
            state.SkipWithError(qPrintable(w.errorString));
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
}

}

BENCHMARK_CAPTURE(BM_Read, cube, cubeId)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, itx, itxId)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, spi3d, spi3dId)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, tms3d, tms3dId)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond);
// 35937 and 274625 entries: the same sample counts as the 33- and 65-point lattices.
BENCHMARK_CAPTURE(BM_Read, tms1d, tms1dId)->Arg(35937)->Arg(274625)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_Write, cube, cubeId)->Arg(33)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, itx, itxId)->Arg(33)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, spi3d, spi3dId)->Arg(33)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, tms3d, tms3dId)->Arg(33)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, tms1d, tms1dId)->Arg(35937)->Unit(benchmark::kMillisecond);

LUTWRIGHT_BENCH_MAIN()
