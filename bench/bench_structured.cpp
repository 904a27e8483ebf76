// Reading speed of the .look, .csp and Truelight .cub readers on a 33-point lattice.

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>

#include "formats/registry.h"
#include "lut/read_lutfile.h"

namespace {

constexpr int points = 33;

float value(int r, int g, int b, int ch)
{
    const int x[3] = {r, g, b};
    return float(3 * x[ch] + x[(ch + 1) % 3]) / float(4 * (points - 1));
}

// Lines of "R G B", red fastest, printed as tools print them.
QByteArray latticeText()
{
    QByteArray out;
    for (int b = 0; b < points; ++b)
        for (int g = 0; g < points; ++g)
            for (int r = 0; r < points; ++r)
                for (int ch = 0; ch < 3; ++ch)
                    out += QByteArray::number(double(value(r, g, b, ch)), 'f', 6) + (ch < 2 ? " " : "\n");
    return out;
}

QByteArray lookFile()
{
    QByteArray data;
    for (int b = 0; b < points; ++b)
        for (int g = 0; g < points; ++g)
            for (int r = 0; r < points; ++r) {
                for (int ch = 0; ch < 3; ++ch) {
                    const float v = value(r, g, b, ch);
                    quint32 bits;
                    std::memcpy(&bits, &v, sizeof bits);
                    for (int byte = 0; byte < 4; ++byte)
                        data += QByteArray::number((bits >> (8 * byte)) & 0xff, 16).rightJustified(2, '0');
                }
                data += (r % 4 == 3) ? "\n      " : "";
            }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<look>\n  <LUT>\n    <size>\"33\"</size>\n    <data>\"" + data
           + "\"</data>\n  </LUT>\n</look>\n";
}

QByteArray cspFile()
{
    const QByteArray channel = "2\n0.0 1.0\n0.0 1.0\n";
    return "CSPLUTV100\n3D\n\nBEGIN METADATA\nEND METADATA\n\n" + channel + channel + channel + "\n33 33 33\n" + latticeText();
}

QByteArray cubFile()
{
    QByteArray input;
    for (int i = 0; i < points; ++i)
        input += QByteArray::number(i) + " " + QByteArray::number(i) + " " + QByteArray::number(i) + "\n";
    return "# Truelight Cube v2.0\n# lutLength 33\n# iDims 3\n# oDims 3\n# width 33 33 33\n\n# InputLUT\n" + input
           + "\n# Cube\n" + latticeText() + "# end\n";
}

void readFile(benchmark::State &state, int formatId, const QByteArray &text, const char *name)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        state.SkipWithError("cannot write the sample file");
        return;
    }
    file.close();
    LUTFILE_ST side;
    side.path = path;
    side.formatId = formatId;
    for (auto _ : state) {
        Read_LUTFile lut;
        if (!lut.ReadFile(side, false)) {
            state.SkipWithError(qPrintable(lut.errorString));
            return;
        }
        benchmark::DoNotOptimize(lut.lut3D.data());
    }
    state.SetBytesProcessed(qint64(state.iterations()) * text.size());
}

void BM_ReadLook33(benchmark::State &state)
{
    readFile(state, int(Formats::Id::Look), lookFile(), "b.look");
}

void BM_ReadCsp33(benchmark::State &state)
{
    readFile(state, int(Formats::Id::Csp), cspFile(), "b.csp");
}

void BM_ReadCub33(benchmark::State &state)
{
    readFile(state, int(Formats::Id::Cub), cubFile(), "b.cub");
}

}

BENCHMARK(BM_ReadLook33)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCsp33)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCub33)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    // The readers' diagnostic lines would time the terminal, not the reader.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
