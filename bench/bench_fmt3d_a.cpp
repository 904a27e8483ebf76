// Reading speed of the .3dl, .mga and .davlut readers per byte of file, beside the .cube
// reader on lattices of the same size (bytes_per_second; nodes_per_second compares formats
// whose lines differ in length, such as integer .3dl), and the speed of the .mga and .davlut writers beside
// the .cube writer. Files are made once per run in a temporary folder.
#include "benchmain.h"

#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

#include <random>

#include "formats/registry.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace {

enum Kind { Cube, Mga, DavLut, ThreeDlMesh, ThreeDlPoints, ThreeDlFloat };

const Formats::Id formatIds[] = {Formats::Id::Cube, Formats::Id::Mga, Formats::Id::DavLut,
                                 Formats::Id::ThreeDL, Formats::Id::ThreeDL, Formats::Id::ThreeDL};
const char *const names[] = {"cube", "mga", "davlut", "mesh.3dl", "points.3dl", "float.3dl"};

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

void fillLattice(Read_LUTFile &m, int n)
{
    m.setSize3D(n, false);
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> d(0.0f, 1.0f);
    for (std::size_t i = 0; i < m.lut3D.floatCount(); ++i)
        m.lut3D.data()[i] = d(rng);
}

// .3dl of 12-bit samples, with "3DMESH"/"Mesh" and the mesh-point line, or the mesh points
// alone (the sample range then comes from the samples); or of six-decimal fractions, which
// have the number density of a .cube file.
void write3dl(const QString &path, const Read_LUTFile &m, Kind kind)
{
    const bool meshHeader = kind == ThreeDlMesh;
    const int n = m.lut3DSize;
    TextWriter out;
    out.open(path);
    if (meshHeader) {
        int exponent = 0;
        while ((1 << exponent) + 1 < n)
            ++exponent;
        out.put("3DMESH\nMesh ");
        out.putInt(exponent);
        out.put(" 12\n");
    }
    for (int i = 0; i < n; ++i) {
        out.putInt(qint64(i) * 1023 / (n - 1));
        out.put(i + 1 < n ? " " : "\n");
    }
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                const float *v = m.lut3D.node(r, g, b);
                for (int c = 0; c < 3; ++c) {
                    if (kind == ThreeDlFloat)
                        out.putFixed(v[c], 8);
                    else
                        out.putInt(qint64(v[c] * 4095.0f));
                    out.put(c < 2 ? " " : "\n");
                }
            }
    out.commit();
}

QString sampleFile(Kind kind, int n)
{
    static QHash<QString, QString> made;
    const QString key = QStringLiteral("%1-%2").arg(n).arg(names[kind]);
    auto it = made.find(key);
    if (it != made.end())
        return *it;
    const QString path = folder().filePath(key);
    Read_LUTFile m;
    fillLattice(m, n);
    if (formatIds[kind] == Formats::Id::ThreeDL) {
        write3dl(path, m, kind);
    } else {
        LUTFILE_ST f;
        f.path = path;
        f.formatId = int(formatIds[kind]);
        f.defaultOrder = true;
        f.dataOrderRGB = true;
        f.tableOrderRGB = false;
        Write_LUTFile w;
        w.WriteFile(f, m);
    }
    made.insert(key, path);
    return path;
}

void readFormat(benchmark::State &state, Kind kind)
{
    const int n = int(state.range(0));
    const QString path = sampleFile(kind, n);
    LUTFILE_ST f;
    f.path = path;
    f.formatId = int(formatIds[kind]);
    f.defaultOrder = true;
    for (auto _ : state) {
        Read_LUTFile m;
        if (!m.ReadFile(f, false) || m.lut3DSize != n) {
            state.SkipWithError(qPrintable(m.errorString));
            break;
        }
        benchmark::DoNotOptimize(m.lut3D.data());
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
    state.counters["nodes_per_second"] = benchmark::Counter(double(state.iterations()) * n * n * n, benchmark::Counter::kIsRate);
}

void writeFormat(benchmark::State &state, Kind kind)
{
    const int n = int(state.range(0));
    Read_LUTFile m;
    fillLattice(m, n);
    LUTFILE_ST f;
    f.path = folder().filePath(QStringLiteral("out-%1").arg(names[kind]));
    f.formatId = int(formatIds[kind]);
    f.defaultOrder = true;
    for (auto _ : state) {
        Write_LUTFile w;
        if (!w.WriteFile(f, m)) {
            state.SkipWithError(qPrintable(w.errorString));
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(f.path).size());
}

}

BENCHMARK_CAPTURE(readFormat, cube, Cube)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readFormat, 3dl_mesh, ThreeDlMesh)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readFormat, 3dl_points, ThreeDlPoints)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readFormat, 3dl_float, ThreeDlFloat)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readFormat, mga, Mga)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readFormat, davlut, DavLut)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(writeFormat, cube, Cube)->Arg(33)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(writeFormat, mga, Mga)->Arg(33)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(writeFormat, davlut, DavLut)->Arg(33)->Unit(benchmark::kMillisecond);

LUTWRIGHT_BENCH_MAIN()
