// The command line for devices and ICC profiles: convert --device writes what each preset's
// manual asks for and says what it changed; a profile pair bakes into a lattice, alone or
// after a LUT; Little CMS is loaded only when a profile is met.

#include <QtTest>

#include <cmath>

#include "clitest.h"
#include "formats/faithful.h"
#include "formats/icc.h"
#include "formats/registry.h"

namespace {

// The graded LUT the presets are fed: a 33-point lattice whose 17-point nodes are its own.
void graded(float r, float g, float b, float *o)
{
    const float x[3] = {r, g, b};
    for (int c = 0; c < 3; ++c)
        o[c] = std::pow(0.8f * x[c] + 0.1f * x[(c + 1) % 3] + 0.1f * x[(c + 2) % 3], 0.8f);
}

float legal(float v)
{
    return (64.0f + 876.0f * v) / 1023.0f;
}

float full(float v)
{
    return (1023.0f * v - 64.0f) / 876.0f;
}

bool readAs(const QString &path, LutTransform &t, QString *why)
{
    const Formats::Format *f = Formats::detect(path, why);
    return f && Formats::readTransform(*f, TestUtil::side(f->id, path), Formats::Options(), t, why);
}

}

class TestCliDevices : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void preset_data();
    void preset();
    void everyPresetTested();
    void profilePair();
    void linkWritten();
    void iccCodeLoadedOnlyForProfiles();

private:
    QTemporaryDir dir_;
    QString grade_;
    LutTransform source_;
    QStringList tested_;
};

void TestCliDevices::initTestCase()
{
    grade_ = CliTest::writeCube(dir_.filePath(QStringLiteral("grade.cube")), 33, graded);
    QString why;
    QVERIFY2(!grade_.isEmpty() && readAs(grade_, source_, &why), qPrintable(why));
}

// One row per preset, with what its manual asks for: the file name written (from "day look",
// a name with a space), the lattice size, the range, and a warning for every change.
void TestCliDevices::preset_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("written");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("toFull");       // the input LUT was legal range, the device full
    QTest::addColumn<QStringList>("warnings");
    const QString renamed = QStringLiteral("file name is changed to day_look.cube");
    QTest::newRow("varicam") << "varicam" << QStringList() << "day_look.vlt" << 17 << false
                             << QStringList{"extension .cube is changed to .vlt", "file name is changed to day_look.vlt",
                                            "its 33-point lattice is written at 17 points"};
    QTest::newRow("sony, asked for 65 points") << "sony" << QStringList{"--size", "65"} << "day_look.cube" << 33 << false
                                               << QStringList{"--size 65 is changed to 33", renamed};
    QTest::newRow("sony, asked for 17 points") << "sony" << QStringList{"--size", "17"} << "day_look.cube" << 17 << false
                                               << QStringList{renamed};
    for (const char *d : {"blackmagic-camera", "blackmagic-monitor", "smallhd", "aja-lutbox", "dji"})
        QTest::newRow(d) << d << QStringList() << "day_look.cube" << 33 << false << QStringList{renamed};
    QTest::newRow("atomos, from a legal-range LUT") << "atomos" << QStringList{"--range", "legal"} << "day_look.cube" << 33 << true
                                                    << QStringList{renamed, "changed from legal range to the full range"};
    QTest::newRow("resolve, asked for 65 points") << "resolve" << QStringList{"--size", "65"} << "day look.cube" << 65 << false
                                                  << QStringList();
}

void TestCliDevices::preset()
{
    QFETCH(QString, device);
    QFETCH(QStringList, args);
    QFETCH(QString, written);
    QFETCH(int, size);
    QFETCH(bool, toFull);
    QFETCH(QStringList, warnings);
    tested_ << device;
    QTemporaryDir out;
    const CliTest::Run r = CliTest::run(QStringList{"convert", grade_, "--device", device, "-o", out.filePath("day look.cube")} + args);
    QVERIFY2(r.code == 0, qPrintable(r.all()));
    QCOMPARE(CliTest::filesIn(out.path()), QStringList{written});
    QCOMPARE(r.err.count(QLatin1String(": warning: ")) - r.err.count(QLatin1String("process step")), warnings.size());
    for (const QString &w : warnings)
        QVERIFY2(r.err.contains(w), qPrintable(w + QLatin1String(" in\n") + r.err));

    LutTransform t;
    QString why;
    QVERIFY2(readAs(out.filePath(written), t, &why), qPrintable(why));
    QVERIFY(t.tables() && t.hasLattice() && !t.hasShaper());
    const Read_LUTFile &lut = *t.tables();
    QCOMPARE(lut.allocated3DSize(), size);
    if (written.endsWith(QLatin1String(".cube")))
        QVERIFY(TestUtil::readText(out.filePath(written)).startsWith("TITLE \"grade\"\n"));
    // The LUT at the output's nodes; for a device of full range from a legal-range LUT, the
    // LUT between the scalings of that range.
    const float tol = written.endsWith(QLatin1String(".vlt")) ? 0.5f / 4095 + 1e-6f : 2e-6f;
    const QString diff = CliTest::latticeDiffers(lut, size, [&](const float *x, float *want) {
        const float in[3] = {toFull ? legal(x[0]) : x[0], toFull ? legal(x[1]) : x[1], toFull ? legal(x[2]) : x[2]};
        source_.apply(in, want, 1);
        if (toFull)
            for (int c = 0; c < 3; ++c)
                want[c] = full(want[c]);
    }, tol);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

// `devices` lists every preset with its rules and manual; every one has a row above.
void TestCliDevices::everyPresetTested()
{
    const CliTest::Run r = CliTest::run({"devices"});
    QCOMPARE(r.code, 0);
    QStringList names;
    for (const QString &line : r.out.split(QLatin1Char('\n')))
        if (!line.isEmpty() && !line.startsWith(QLatin1Char(' ')) && line.contains(QLatin1String("  ")))
            names << line.section(QLatin1Char(' '), 0, 0);
    QVERIFY(names.size() >= 9);
    for (const QString &name : names)
        QVERIFY2(tested_.contains(name), qPrintable(name + QLatin1String(" has no test row")));
    QVERIFY(r.out.contains(QLatin1String("from VARICAM 3DLUT Reference Manual, Rev. 1.0, 28 November 2014")));
    QVERIFY(CliTest::run({"convert", grade_, "--device", "betamax", "-o", dir_.filePath("x.cube")}).err.contains(
        QLatin1String("unknown device 'betamax'")));
}

// A profile pair alone is its transform on a lattice; after a LUT, the LUT comes first. One
// profile without the other is a wrong command line.
void TestCliDevices::profilePair()
{
#ifndef LUTWRIGHT_HAVE_LCMS
    QSKIP("a build without Little CMS reads no profile");
#endif
    const QString display = QStringLiteral(LUTWRIGHT_CORPUS "/icc-test-1.icc");
    const QString calibration = dir_.filePath(QStringLiteral("calibration.cube"));
    CliTest::Run r = CliTest::run({"convert", "--from-profile", "sRGB", "--to-profile", display, "-o", calibration, "--size", "17"});
    QVERIFY2(r.code == 0, qPrintable(r.all()));
    LutTransform pair, baked;
    QString why;
    QVERIFY2(Icc::pair(QStringLiteral("sRGB"), display, IccProfiles::Intent::Relative, pair, &why), qPrintable(why));
    QVERIFY2(readAs(calibration, baked, &why), qPrintable(why));
    QCOMPARE(baked.tables()->allocated3DSize(), 17);
    const QString diff = CliTest::latticeDiffers(*baked.tables(), 17, [&](const float *in, float *out) { pair.apply(in, out, 1); }, 1e-6f);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));

    const QString after = dir_.filePath(QStringLiteral("after.cube"));
    r = CliTest::run({"convert", grade_, "--from-profile", "sRGB", "--to-profile", "sRGB", "-o", after});
    QVERIFY2(r.code == 0, qPrintable(r.all()));
    LutTransform graded33;
    QVERIFY2(readAs(after, graded33, &why), qPrintable(why));
    QVERIFY(CliTest::latticeDiffers(*graded33.tables(), 33, [](const float *in, float *out) { graded(in[0], in[1], in[2], out); }, 2e-4f).isEmpty());

    r = CliTest::run({"convert", grade_, "--from-profile", "sRGB", "-o", after});
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.contains(QLatin1String("--from-profile and --to-profile are given together")));
}

// A LUT written as .icc is a version 4 device link, which info describes.
void TestCliDevices::linkWritten()
{
#ifndef LUTWRIGHT_HAVE_LCMS
    QSKIP("a build without Little CMS writes no profile");
#endif
    const QString link = dir_.filePath(QStringLiteral("grade.icc"));
    CliTest::Run r = CliTest::run({"convert", grade_, "-o", link});
    QVERIFY2(r.code == 0 && r.err.isEmpty(), qPrintable(r.all()));
    r = CliTest::run({"info", link});
    QVERIFY2(r.out.contains(QLatin1String("ICC         device link profile, version 4.3, RGB to RGB")), qPrintable(r.out));
    QVERIFY2(r.out.contains(QLatin1String("3D size     33")), qPrintable(r.out));
}

// The program links no Little CMS: text LUTs convert without it, profiles need the module.
void TestCliDevices::iccCodeLoadedOnlyForProfiles()
{
#ifndef LUTWRIGHT_ICC_MODULE
    QSKIP("a build without Little CMS has no ICC module");
#else
    if (QStandardPaths::findExecutable(QStringLiteral("ldd")).isEmpty())
        QSKIP("no ldd to list the program's libraries");
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {QStringLiteral(LUTWRIGHT_CLI)});
    QVERIFY(ldd.waitForFinished(30000));
    QVERIFY(!QString::fromUtf8(ldd.readAllStandardOutput()).contains(QLatin1String("lcms")));

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("bin")));
    const QString program = dir.filePath(QStringLiteral("bin/lutwright-cli"));
    QVERIFY(QFile::copy(QStringLiteral(LUTWRIGHT_CLI), program));
    const QString profile = QStringLiteral(LUTWRIGHT_CORPUS "/icc-test-1.icc");
    QCOMPARE(CliTest::runProgram(program, {"convert", grade_, "-o", dir.filePath(QStringLiteral("out.cube"))}).code, 0);
    CliTest::Run r = CliTest::runProgram(program, {"info", profile});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QLatin1String("ICC support is not installed")), qPrintable(r.err));

    const QString installed = QDir::cleanPath(dir.filePath(QStringLiteral("bin/" LUTWRIGHT_ICC_MODULE_INSTALLED)));
    QVERIFY(QDir().mkpath(QFileInfo(installed).path()));
    QVERIFY(QFile::copy(QStringLiteral(LUTWRIGHT_ICC_MODULE), installed));
    r = CliTest::runProgram(program, {"info", profile});
    QVERIFY2(r.code == 0 && r.out.contains(QLatin1String("display profile, version 2.1")), qPrintable(r.all()));
#endif
}

QTEST_GUILESS_MAIN(TestCliDevices)
#include "tst_cli_devices.moc"
