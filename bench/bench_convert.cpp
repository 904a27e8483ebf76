// One conversion as the user runs it: from the convert button to the outcome message, with a
// 33-point .cube input written at 17 points (resampled) and at 33 (written as read). The message
// is taken by the window's message hook instead of a modal box, so nothing waits for a click.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cmath>

#include "app/mainwindow.h"
#include "lut/read_lutfile.h"

namespace {

QTemporaryDir *workDir = nullptr;

QString workPath(const char *name)
{
    return workDir->filePath(QString::fromLatin1(name));
}

// A 33-point grade with curved channels and some cross-talk, so the resampler does real work.
bool writeInput(const QString &path)
{
    const int n = 33;
    QByteArray text = "TITLE \"bench\"\nLUT_3D_SIZE 33\n";
    for (int b = 0; b < n; ++b)
        for (int g = 0; g < n; ++g)
            for (int r = 0; r < n; ++r) {
                const double x = r / 32.0, y = g / 32.0, z = b / 32.0;
                const double out[3] = {std::pow(x, 0.8) * 0.9 + 0.1 * y, std::pow(y, 1.1), 0.8 * z + 0.2 * x * y};
                for (int c = 0; c < 3; ++c) {
                    text += QByteArray::number(out[c], 'f', 6);
                    text += c < 2 ? ' ' : '\n';
                }
            }
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

void ButtonToMessage(benchmark::State &state, int sizeIndex)
{
    MainWindow window;
    QString shown;
    window.showMessage = [&shown](const QString &, const QString &text, const QString &) { shown = text; };
    window.openFilesDialog = [](QWidget *, const QString &, const QString &, const QString &) {
        return QStringList{workPath("in33.cube")};
    };
    window.slotInputButton();
    window.outPathEdit->setText(workPath("out.cube"));
    window.outSizeCombox->setCurrentIndex(sizeIndex);

    for (auto _ : state) {
        window.slotWriteLut();
        if (shown != QLatin1String("Export successful !")) {
            state.SkipWithError("the conversion failed");
            break;
        }
        shown.clear();
    }
}

void BM_ButtonToMessage_33to17(benchmark::State &state)
{
    ButtonToMessage(state, 0);
}
BENCHMARK(BM_ButtonToMessage_33to17)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ButtonToMessage_33to33(benchmark::State &state)
{
    ButtonToMessage(state, 1);
}
BENCHMARK(BM_ButtonToMessage_33to33)->Unit(benchmark::kMillisecond)->UseRealTime();

// The parts of the 33 -> 17 press: reading the input, and resampling plus writing.
void BM_Read33(benchmark::State &state)
{
    LUTFILE_ST input;
    input.path = workPath("in33.cube");
    for (auto _ : state) {
        Read_LUTFile lut;
        if (!lut.ReadFile(input, false)) {
            state.SkipWithError(qPrintable(lut.errorString));
            break;
        }
        benchmark::DoNotOptimize(lut.lut3D.data());
    }
}
BENCHMARK(BM_Read33)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ResampleWrite_33to17(benchmark::State &state)
{
    LUTFILE_ST input;
    input.path = workPath("in33.cube");
    Read_LUTFile lut;
    if (!lut.ReadFile(input, false)) {
        state.SkipWithError(qPrintable(lut.errorString));
        return;
    }
    LUTFILE_ST output;
    output.path = workPath("out17.cube");
    output.dataOrderRGB = false;
    output.tableOrderRGB = false;
    output.outputSize3D = 17;
    for (auto _ : state) {
        QString why;
        if (!MainWindow::ConvertLut(output, lut, &why)) {
            state.SkipWithError(qPrintable(why));
            break;
        }
    }
}
BENCHMARK(BM_ResampleWrite_33to17)->Unit(benchmark::kMillisecond)->UseRealTime();

}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The readers trace what they meet to the debug log; that is not what is measured.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    QTemporaryDir dir;
    workDir = &dir;
    if (!dir.isValid() || !writeInput(workPath("in33.cube")))
        return 1;

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
