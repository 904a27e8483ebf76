// The Common LUT Format: reading a large LUT3D, evaluating a chain onto lattices of 33 and
// 65 points, and writing a lattice in the fewest digits that read back.

#include <QFile>
#include <QTemporaryDir>

#include "benchmain.h"
#include "formats/clf.h"
#include "formats/registry.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

namespace {

void ramp(Read_LUTFile &lut, int n)
{
    lut.setSize3D(n, false);
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                float *v = lut.lut3D.node(r, g, b);
                v[0] = float(3 * r + g) / float(4 * (n - 1));
                v[1] = float(g * g) / float((n - 1) * (n - 1));
                v[2] = 1.0f - float(b) / float(3 * (n - 1));
            }
}

// A camera-style chain: matrix, log curve, CDL, exponent and a 17-point LUT3D.
QByteArray chainDocument()
{
    QByteArray lattice;
    for (int r = 0; r < 17; ++r)
        for (int g = 0; g < 17; ++g)
            for (int b = 0; b < 17; ++b)
                lattice += QByteArray::number(r / 16.0) + ' ' + QByteArray::number(g * g / 256.0) + ' ' + QByteArray::number(b / 20.0) + '\n';
    return "<?xml version=\"1.0\"?>\n<ProcessList id=\"b\" compCLFversion=\"3.0\">\n"
           "<Matrix inBitDepth=\"32f\" outBitDepth=\"32f\"><Array dim=\"3 3\">0.9 0.1 0 0.05 0.9 0.05 0 0.1 0.9</Array></Matrix>\n"
           "<Log inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"cameraLinToLog\"><LogParams base=\"2\" logSideSlope=\"0.0570776\" "
           "logSideOffset=\"0.554795\" linSideBreak=\"0.0078125\"/></Log>\n"
           "<ASC_CDL inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"FwdNoClamp\"><SOPNode><Slope>1.1 1 0.9</Slope><Offset>0 0.01 0</Offset>"
           "<Power>1 1.1 1</Power></SOPNode><SatNode><Saturation>0.9</Saturation></SatNode></ASC_CDL>\n"
           "<Exponent inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"monCurveFwd\"><ExponentParams exponent=\"2.4\" offset=\"0.055\"/></Exponent>\n"
           "<LUT3D inBitDepth=\"32f\" outBitDepth=\"32f\" interpolation=\"tetrahedral\"><Array dim=\"17 17 17 3\">"
           + lattice + "</Array></LUT3D>\n</ProcessList>\n";
}

void readRepeatedly(benchmark::State &state, const QString &path, const Formats::Options &options)
{
    for (auto _ : state) {
        Read_LUTFile lut;
        if (!Read_Clf(lut, path, false, options)) {
            state.SkipWithError(qPrintable(lut.errorString));
            return;
        }
        benchmark::DoNotOptimize(lut.lut3D.data());
    }
}

void BM_ReadClfLattice(benchmark::State &state)
{
    const int n = int(state.range(0));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lattice.clf"));
    Read_LUTFile source;
    ramp(source, n);
    Write_LUTFile writer;
    if (!Write_Clf(writer, path, source, Formats::Options())) {
        state.SkipWithError(qPrintable(writer.errorString));
        return;
    }
    readRepeatedly(state, path, Formats::Options());
    state.SetBytesProcessed(qint64(state.iterations()) * QFile(path).size());
}

void BM_BakeClfChain(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chain.clf"));
    QFile file(path);
    const QByteArray text = chainDocument();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        state.SkipWithError("cannot write the sample file");
        return;
    }
    file.close();
    Formats::Options options;
    options.bakeSize = int(state.range(0));
    readRepeatedly(state, path, options);
}

void BM_WriteClfLattice(benchmark::State &state)
{
    const int n = int(state.range(0));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.clf"));
    Read_LUTFile lut;
    ramp(lut, n);
    for (auto _ : state) {
        Write_LUTFile writer;
        if (!Write_Clf(writer, path, lut, Formats::Options())) {
            state.SkipWithError(qPrintable(writer.errorString));
            return;
        }
    }
    state.SetBytesProcessed(qint64(state.iterations()) * QFile(path).size());
}

}

BENCHMARK(BM_ReadClfLattice)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BakeClfChain)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteClfLattice)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond);

LUTWRIGHT_BENCH_MAIN()
