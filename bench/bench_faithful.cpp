// The faithful reading and writing beside the numbered path they share their parsers with: the
// same files read both ways, and the same lattice written through the writing dispatch and
// through the conversion engine (shaped for the format, then written).
#include "benchmain.h"

#include <QTemporaryDir>

#include <map>

#include "engine/lutio.h"
#include "formats/faithful.h"
#include "formats/registry.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

namespace {

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

LUTFILE_ST side(const QString &path, Formats::Id id)
{
    LUTFILE_ST s;
    s.path = path;
    s.formatId = int(id);
    return s;
}

// A graded lattice of n points written once by the format's numbered writer.
QString sample(Formats::Id id, int n)
{
    static std::map<std::pair<int, int>, QString> made;
    const auto key = std::make_pair(int(id), n);
    if (made.count(key))
        return made[key];
    Read_LUTFile lut;
    lut.setSize3D(n, false);
    for (std::size_t i = 0; i < lut.lut3D.floatCount(); ++i)
        lut.lut3D.data()[i] = float(i % 977) / 976.0f;
    const QString path = folder().filePath(QStringLiteral("s%1_%2.%3").arg(int(id)).arg(n)
                                               .arg(Formats::extensionsOf(*Formats::byId(id)).value(0)));
    Write_LUTFile w;
    LUTFILE_ST s = side(path, id);
    s.outputSize3D = n;
    if (!w.WriteFile(s, lut))
        qFatal("cannot write %s", qPrintable(path));
    made[key] = path;
    return path;
}

void BM_ReadNumbered(benchmark::State &state, Formats::Id id)
{
    const QString path = sample(id, int(state.range(0)));
    for (auto _ : state) {
        Read_LUTFile lut;
        if (!lut.ReadFile(side(path, id), false))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(lut.lut3D.data());
    }
}

void BM_ReadFaithful(benchmark::State &state, Formats::Id id)
{
    const QString path = sample(id, int(state.range(0)));
    for (auto _ : state) {
        LutTransform t;
        QString why;
        if (!Formats::readTransform(*Formats::byId(id), side(path, id), Formats::Options(), t, &why))
            state.SkipWithError(qPrintable(why));
        benchmark::DoNotOptimize(t.tables());
    }
}

void BM_WriteNumbered(benchmark::State &state, Formats::Id id)
{
    Read_LUTFile lut;
    if (!lut.ReadFile(side(sample(id, int(state.range(0))), id), false))
        state.SkipWithError("read failed");
    LUTFILE_ST s = side(folder().filePath(QStringLiteral("numbered")), id);
    s.outputSize3D = lut.lut3DSize;
    for (auto _ : state) {
        Write_LUTFile w;
        if (!w.WriteFile(s, lut))
            state.SkipWithError("write failed");
    }
}

void BM_WriteEngine(benchmark::State &state, Formats::Id id)
{
    const Formats::Format &f = *Formats::byId(id);
    LutTransform t;
    QString why;
    Formats::readTransform(f, side(sample(id, int(state.range(0))), id), Formats::Options(), t, &why);
    const LUTFILE_ST s = LutIO::outputSide(folder().filePath(QStringLiteral("engine")), f, LutIO::Orders(), f.defaultScale);
    for (auto _ : state) {
        LutIO::Shaped shaped;
        if (!LutIO::shape(f, t, LutIO::Shape(), Formats::Options(), shaped, &why) || !LutIO::write(f, s, shaped, &why))
            state.SkipWithError(qPrintable(why));
    }
}

}

BENCHMARK_CAPTURE(BM_ReadNumbered, cube, Formats::Id::Cube)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadFaithful, cube, Formats::Id::Cube)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadNumbered, spi3d, Formats::Id::Spi3D)->Arg(33)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadFaithful, spi3d, Formats::Id::Spi3D)->Arg(33)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteNumbered, cube, Formats::Id::Cube)->Arg(33)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteEngine, cube, Formats::Id::Cube)->Arg(33)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteNumbered, spi3d, Formats::Id::Spi3D)->Arg(33)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteEngine, spi3d, Formats::Id::Spi3D)->Arg(33)->Unit(benchmark::kMillisecond);

LUTWRIGHT_BENCH_MAIN()
