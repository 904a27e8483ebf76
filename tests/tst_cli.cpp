// End-to-end tests of lutwright-cli: the built program is run as a user runs it, and what it
// writes is read back through the library.
#include <QtTest>

#include <QImage>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>

#include <array>
#include <cmath>
#include <cstring>

#include "clitest.h"
#include "formats/faithful.h"
#include "formats/registry.h"
#include "lut/write_lutfile.h"
#include "testutil.h"

using CliTest::run;

namespace {

// Formats by their place in the registry, which for the dispatch formats is their id.
const Formats::Format &formatOf(int id)
{
    return *Formats::all()[std::size_t(id)];
}

int formatCount()
{
    return int(Formats::all().size());
}

// The file name extension the tests give files of format `id`: the one it is written with.
QString extensionOf(int id)
{
    return Formats::extensionsOf(formatOf(id)).value(0);
}

// The test LUT: a different straight line per channel, red and blue alike (some readers store
// 1D entries with their channels reversed), so that any interpolation reproduces it exactly
// and any mix-up of axes shows.
float curveRB(float x)
{
    return 0.05f + 0.95f * x;
}

void graded3D(float r, float g, float b, float *o)
{
    o[0] = curveRB(r);
    o[1] = g;
    o[2] = curveRB(b);
}

void graded1D(float x, float *o)
{
    o[0] = curveRB(x);
    o[1] = x;
    o[2] = curveRB(x);
}

bool libRead(const QString &path, int id, Read_LUTFile &m)
{
    const Formats::Format &format = formatOf(id);
    return Formats::read(format, TestUtil::side(int(format.id), path), m, false) && (m.lut3DSize > 0 || m.lut1DSize > 0);
}

// Each format in its own order; .cube, whose writer has none, R G B with the red index fastest.
bool libWrite(const QString &path, int id, Read_LUTFile &m, qint64 scale = 1)
{
    const Formats::Format &format = formatOf(id);
    QString why;
    return Formats::write(format, TestUtil::side(int(format.id), path, true, true, format.writeOrder.tableRGB, scale), m,
                          &why);
}

QByteArray hexFloat(float v)
{
    unsigned char bytes[4];
    std::memcpy(bytes, &v, 4);   // little-endian on every platform the program is built for
    return QByteArray(reinterpret_cast<const char *>(bytes), 4).toHex();
}

// Samples of the 2-point graded lattice with the red index fastest.
template <typename Line>
QByteArray redFastest(Line line)
{
    QByteArray text;
    for (int b = 0; b < 2; ++b)
        for (int g = 0; g < 2; ++g)
            for (int r = 0; r < 2; ++r) {
                float o[3];
                graded3D(float(r), float(g), float(b), o);
                text += line(o);
            }
    return text;
}

QByteArray floatLine(const float *o)
{
    return QByteArray::number(double(o[0]), 'f', 6) + ' ' + QByteArray::number(double(o[1]), 'f', 6) + ' '
           + QByteArray::number(double(o[2]), 'f', 6) + '\n';
}

// An input file of the graded LUT in format `id`: made by the library's writer where the
// format has one, written out by hand where it has none. Empty when it cannot be made.
QString makeInput(const QTemporaryDir &dir, int id)
{
    // Named by format: a Hald image is taken for one by its name.
    const QString path = dir.filePath(QStringLiteral("in_%1.%2").arg(QLatin1String(formatOf(id).name), extensionOf(id)));
    // The graded LUT as a CDL (slope 0.95, offset 0.05 on red and blue) and as a matrix.
    const QByteArray name = formatOf(id).name;
    if (name == "cc" || name == "ccc" || name == "cdl") {
        const QByteArray cc = "<ColorCorrection id=\"graded\"><SOPNode><Slope>0.95 1 0.95</Slope><Offset>0.05 0 0.05</Offset>"
                              "<Power>1 1 1</Power></SOPNode></ColorCorrection>";
        return TestUtil::writeTemp(dir, QFileInfo(path).fileName(), name == "cc" ? cc
                                   : name == "ccc" ? "<ColorCorrectionCollection>" + cc + "</ColorCorrectionCollection>"
                                                   : "<ColorDecisionList><ColorDecision>" + cc + "</ColorDecision></ColorDecisionList>");
    }
    if (name == "spimtx")
        return TestUtil::writeTemp(dir, QFileInfo(path).fileName(), "0.95 0 0 3276.75\n0 1 0 0\n0 0 0.95 3276.75\n");
    switch (Formats::Id(id)) {
    case Formats::Id::Texture: {   // 64 x 64 texture: 16 points, tiles of 16 x 16, four tiles a row
        QImage img(64, 64, QImage::Format_RGB32);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                float o[3];
                graded3D((x % 16) / 15.0f, (y % 16) / 15.0f, ((y / 16) * 4 + x / 16) / 15.0f, o);
                img.setPixel(x, y, qRgb(qRound(o[0] * 255), qRound(o[1] * 255), qRound(o[2] * 255)));
            }
        return img.save(path) ? path : QString();
    }
    case Formats::Id::UnwrappedCube: {   // 16 x 4 unwrapped cube: 4 points, one 4 x 4 block per blue index
        QImage img(16, 4, QImage::Format_RGB32);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 16; ++x) {
                float o[3];
                graded3D((x % 4) / 3.0f, y / 3.0f, (x / 4) / 3.0f, o);
                img.setPixel(x, y, qRgb(qRound(o[0] * 255), qRound(o[1] * 255), qRound(o[2] * 255)));
            }
        return img.save(path) ? path : QString();
    }
    case Formats::Id::ThreeDL: {   // mesh line, then 10-bit samples with the blue index fastest
        QByteArray text = "0 1023\n";
        for (int r = 0; r < 2; ++r)
            for (int g = 0; g < 2; ++g)
                for (int b = 0; b < 2; ++b) {
                    float o[3];
                    graded3D(float(r), float(g), float(b), o);
                    text += QByteArray::number(qRound(o[0] * 1023)) + ' ' + QByteArray::number(qRound(o[1] * 1023)) + ' '
                            + QByteArray::number(qRound(o[2] * 1023)) + '\n';
                }
        return TestUtil::writeTemp(dir, QFileInfo(path).fileName(), text);
    }
    case Formats::Id::Look: {
        const QByteArray data = redFastest([](const float *o) { return hexFloat(o[0]) + hexFloat(o[1]) + hexFloat(o[2]) + '\n'; });
        return TestUtil::writeTemp(dir, QFileInfo(path).fileName(),
                                   "<?xml version=\"1.0\" ?>\n<look>\n  <LUT>\n    <size>\"2\"</size>\n    <data>\""
                                       + data + "\"</data>\n  </LUT>\n</look>\n");
    }
    case Formats::Id::Csp: {
        QByteArray text = "CSPLUTV100\n3D\n\nBEGIN METADATA\nEND METADATA\n\n";
        for (int c = 0; c < 3; ++c)
            text += "2\n0.0 1.0\n0.0 1.0\n";
        text += "\n2 2 2\n" + redFastest(floatLine);
        return TestUtil::writeTemp(dir, QFileInfo(path).fileName(), text);
    }
    case Formats::Id::Cub:
        return TestUtil::writeTemp(dir, QFileInfo(path).fileName(),
                                   "# Truelight Cube v2.0\n# iDims 3\n# oDims 3\n# width 2 2 2\n\n# Cube\n"
                                       + redFastest(floatLine) + "# End\n");
    default: {
        Read_LUTFile m;
        const Formats::Format &format = formatOf(id);
        QString sizes;
        if (format.is3D)
            CliTest::fill3D(m, format.latticeSize ? format.latticeSize(5, false, Formats::Options(), &sizes) : 5, graded3D);
        else
            CliTest::fill1D(m, 256, graded1D);
        // Integers where the format's reader expects them.
        return libWrite(path, id, m, formatOf(id).defaultScale) ? path : QString();
    }
    }
}

// Empty when `out` does to colours what `in` does, within the quantisation of 8-bit formats;
// otherwise the first difference. Off the grey axis only when both can say (a lattice made
// 1D keeps only its grey axis); only red when `redOnly` (a single-curve output).
// What a file does, as the command line reads it.
bool faithfulRead(const QString &path, int id, LutTransform &t)
{
    const Formats::Format &format = formatOf(id);
    QString why;
    return Formats::readTransform(format, TestUtil::side(int(format.id), path), Formats::Options(), t, &why);
}

QString differences(const LutTransform &in, const LutTransform &out, bool redOnly)
{
    const bool offAxis = !(in.latticeSize() > 0 && out.latticeSize() == 0);
    QVector<std::array<float, 3>> points;
    for (int k = 0; k <= 10; ++k)
        points.push_back({k / 10.0f, k / 10.0f, k / 10.0f});
    if (offAxis) {
        quint32 seed = 12345;
        auto next = [&seed]() {
            seed = seed * 1664525u + 1013904223u;
            return float(seed >> 8) / float(1 << 24);
        };
        for (int k = 0; k < 40; ++k)
            points.push_back({next(), next(), next()});
    }
    const float tolerance = 1.05f / 255.0f;
    for (const auto &p : points) {
        float a[3], b[3];
        std::copy(p.begin(), p.end(), a);
        std::copy(p.begin(), p.end(), b);
        in.apply(a);
        out.apply(b);
        for (int c = 0; c < (redOnly ? 1 : 3); ++c)
            if (!(std::fabs(a[c] - b[c]) <= tolerance))
                return QStringLiteral("at (%1, %2, %3) channel %4: %5, not %6")
                    .arg(double(p[0])).arg(double(p[1])).arg(double(p[2])).arg(c).arg(double(b[c])).arg(double(a[c]));
    }
    return QString();
}

// The data lines of a .cube file.
QStringList cubeData(const QString &path)
{
    QStringList lines;
    for (const QString &l : QString::fromUtf8(TestUtil::readFile(path)).split(QLatin1Char('\n'))) {
        const QString t = l.trimmed();
        if (!t.isEmpty() && (t.at(0).isDigit() || t.at(0) == QLatin1Char('-')))
            lines << t;
    }
    return lines;
}

QString writeCube(const QTemporaryDir &dir, const QString &name, int n,
                  const std::function<void(float, float, float, float *)> &f)
{
    return CliTest::writeCube(dir.filePath(name), n, f);
}

}

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void usageErrors_data();
    void usageErrors();
    void helpAndVersion();
    void formatsTable();

    void everyFormatToEveryFormat_data();
    void everyFormatToEveryFormat();

    void cubeOutputLayout_data();
    void cubeOutputLayout();
    void resampling();
    void domainIsResampledOntoUnitCube();
    void between3DAnd1D();
    void lutFilesToldApartByContent();
    void imageGeometry_data();
    void imageGeometry();
    void imageCodeLoadedOnlyForImages();

    void batchWithBrokenFile();
    void outputsNeverReplaceInputs();
    void explicitOutputMayReplaceInput();
    void interruptedRunLeavesOnlyWholeFiles();
    void numbersIgnoreLocale();

    void infoOnGoodAndBadFiles();
    void readFromPipe_data();
    void readFromPipe();
    void endlessInputRefused_data();
    void endlessInputRefused();
    void mergeWithIdentity();
    void mergeAppliesFirstThenSecond();
};

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("no command") << QStringList() << "Usage:";
    QTest::newRow("unknown command") << QStringList{"transmogrify"} << "unknown command 'transmogrify'";
    QTest::newRow("unknown option") << QStringList{"convert", "a.cube", "-o", "b.cube", "--fast"} << "unknown option '--fast'";
    QTest::newRow("option without value") << QStringList{"convert", "a.cube", "-o"} << "option '--output' needs a value";
    QTest::newRow("no input") << QStringList{"convert", "-o", "b.cube"} << "at least one input";
    QTest::newRow("neither -o nor -d") << QStringList{"convert", "a.cube"} << "either -o OUT";
    QTest::newRow("both -o and -d") << QStringList{"convert", "a.cube", "-o", "b.cube", "-d", "x"} << "either -o OUT";
    QTest::newRow("-o with two inputs") << QStringList{"convert", "a.cube", "b.cube", "-o", "c.cube"} << "use -d DIR for 2 inputs";
    QTest::newRow("size too small") << QStringList{"convert", "a.cube", "-o", "b.cube", "--size", "1"} << "--size needs a whole number from 2 to 256, not '1'";
    QTest::newRow("size too large") << QStringList{"convert", "a.cube", "-o", "b.cube", "--size=257"} << "not '257'";
    QTest::newRow("size not a number") << QStringList{"convert", "a.cube", "-o", "b.cube", "--size", "33x"} << "not '33x'";
    QTest::newRow("jobs zero") << QStringList{"convert", "a.cube", "-d", "x", "-j", "0"} << "--jobs needs a whole number";
    QTest::newRow("bad order") << QStringList{"convert", "a.cube", "-o", "b.cube", "--in-data", "grb"} << "--in-data must be rgb or bgr, not 'grb'";
    QTest::newRow("unknown format") << QStringList{"convert", "a.cube", "-o", "b.cube", "--to", "xyz"} << "unknown format 'xyz'";
    QTest::newRow("unknown format id") << QStringList{"convert", "a.cube", "-o", "b.cube", "--to", "17"} << "unknown format '17'";
    QTest::newRow("3dl size without a Mesh line's form") << QStringList{"convert", "a.cube", "-o", "b.3dl", "--size", "16"} << "--size 16 does not fit .3dl, which holds lattices of 2^n + 1 points";
    QTest::newRow("Hald size of no level") << QStringList{"convert", "a.cube", "-o", "b.png", "--to", "hald", "--size", "20"} << "holds lattices of L^2 points";
    QTest::newRow("bits out of range") << QStringList{"convert", "a.cube", "-o", "b.3dl", "--bits", "20"} << "--bits needs a whole number from 8 to 16";
    QTest::newRow("output format unknown") << QStringList{"convert", "a.cube", "-o", "b.txt"} << "cannot tell the output format from 'b.txt'";
    QTest::newRow("size for a 1D output") << QStringList{"convert", "a.cube", "-o", "b.spi1d", "--size", "17"} << "--size sets the points of a 3D lattice";
    QTest::newRow("length for a 3D output") << QStringList{"convert", "a.cube", "-o", "b.cube", "--length", "17"} << "--length sets the entries of a 1D table";
    QTest::newRow("fixed 1D length") << QStringList{"convert", "a.cube", "-o", "b.lut", "--to", "7", "--length", "1024"} << "always holds 256 entries";
    QTest::newRow("merge one file") << QStringList{"merge", "a.cube", "-o", "c.cube"} << "merge needs two LUT files";
    QTest::newRow("merge without output") << QStringList{"merge", "a.cube", "b.cube"} << "merge needs -o OUT";
    QTest::newRow("apply without output") << QStringList{"apply", "a.cube", "i.png"} << "apply needs -o OUT";
    QTest::newRow("apply to unknown image") << QStringList{"apply", "a.cube", "i.png", "-o", "o.gif"} << "cannot tell the image format of 'o.gif'";
    QTest::newRow("info without file") << QStringList{"info"} << "info needs at least one file";
    QTest::newRow("formats with argument") << QStringList{"formats", "x"} << "formats takes no arguments";
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const CliTest::Run r = run(args, QProcessEnvironment::systemEnvironment(), dir.path());
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
    // Nothing is written for a command line that is refused.
    QCOMPARE(CliTest::filesIn(dir.path()), QStringList());
}

void TestCli::helpAndVersion()
{
    CliTest::Run r = run({"--help"});
    QCOMPARE(r.code, 0);
    for (const char *part : {"convert IN...", "info FILE...", "formats", "merge FIRST SECOND", "apply LUT IMAGE", "Examples:", "Exit status"})
        QVERIFY2(r.out.contains(QLatin1String(part)), part);
    r = run({"convert", "--help"});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.contains(QLatin1String("--out-table")));
    QVERIFY(!r.out.contains(QLatin1String("apply LUT IMAGE")));
    r = run({"--version"});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.startsWith(QLatin1String("lutwright-cli ")));
}

void TestCli::formatsTable()
{
    const CliTest::Run r = run({"formats"});
    QCOMPARE(r.code, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    QCOMPARE(lines.at(0).split(QLatin1Char(' '), Qt::SkipEmptyParts), (QStringList{"id", "extensions", "dim", "read", "write", "label"}));
    // Every format of the registry, the dispatch ids first and in order, then the notes (10 lines).
    QCOMPARE(lines.size(), formatCount() + 1 + 10);
    // Formats without an id are named in the id column.
    for (int id = 0; id < formatCount(); ++id) {
        const Formats::Format &format = formatOf(id);
        const QString row = lines.at(id + 1);
        const QStringList cells = row.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QCOMPARE(cells.at(0), id < Formats::dispatchCount ? QString::number(id) : QLatin1String(format.name));
        QVERIFY2(row.endsWith(Formats::labelOf(format)), qPrintable(row));
        QVERIFY2(row.contains(QLatin1Char('.') + extensionOf(id)), qPrintable(row));
        QVERIFY2(row.contains(QLatin1String(format.is3D ? " 3D " : " 1D ")), qPrintable(row));
        QVERIFY2(row.contains(QLatin1String(format.write ? " yes   yes " : " yes   no ")), qPrintable(row));
    }
}

void TestCli::everyFormatToEveryFormat_data()
{
    QTest::addColumn<int>("target");
    for (int id = 0; id < formatCount(); ++id)
        QTest::newRow(qPrintable(QStringLiteral("to %1").arg(QLatin1String(formatOf(id).name)))) << id;
}

// Every readable format converted to the target in one batch. A conversion must succeed
// exactly when the library can read the input and write the target; a failure names the
// input with a reason; what is written must do what the input does.
void TestCli::everyFormatToEveryFormat()
{
    QFETCH(int, target);
    QTemporaryDir dir;
    QStringList inputs;
    QHash<QString, int> idOf;
    for (int id = 0; id < formatCount(); ++id) {
        const QString path = makeInput(dir, id);
        if (path.isEmpty()) {
            if (target == int(Formats::Id::Cube))   // said once, not for every target
                qInfo("no %s input: the library cannot write the format yet", qPrintable(extensionOf(id)));
            continue;
        }
        // Every input is a sound file of its format: only a reader this build lacks refuses it.
        Read_LUTFile probe;
        if (!libRead(path, id, probe))
            QVERIFY2(probe.errorString.contains(QLatin1String("not available")),
                     qPrintable(QStringLiteral("%1: %2").arg(path, probe.errorString)));
        inputs << path;
        idOf.insert(path, id);
    }
    QVERIFY(inputs.size() >= 6);
    const QString outDir = dir.filePath(QStringLiteral("out"));
    const CliTest::Run r = run(QStringList{"convert"} + inputs
                               + QStringList{"-d", outDir, "--to", QLatin1String(formatOf(target).name), "-j", "2"});

    if (!formatOf(target).write) {
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(QLatin1String("cannot be written")), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(outDir));
        return;
    }

    const bool canWrite = formatOf(target).write != nullptr;
    // A format that holds one kind of transform (a CDL, a matrix) takes only that.
    const Formats::Faithful *own = formatOf(target).faithful;
    auto held = [&](const QString &in) {
        LutTransform t;
        return !own || !own->holdsOnly || (faithfulRead(in, idOf.value(in), t) && own->holds(t, Formats::Options()));
    };
    QStringList expectedFiles;
    bool allSucceed = true;
    for (const QString &in : inputs) {
        const int id = idOf.value(in);
        Read_LUTFile source;
        const bool expected = libRead(in, id, source) && canWrite && held(in);
        allSucceed = allSucceed && expected;
        const QString out = QDir(outDir).filePath(QFileInfo(in).completeBaseName() + QLatin1Char('.') + extensionOf(target));
        const QString failureLine = QDir::toNativeSeparators(in) + QLatin1String(": ");
        const QString context = QStringLiteral("%1 to %2: %3").arg(id).arg(target).arg(r.err);
        QVERIFY2(QFileInfo::exists(out) == expected, qPrintable(context));
        if (!expected) {
            const int at = r.err.indexOf(failureLine);
            QVERIFY2(at >= 0, qPrintable(context));
            const QString reason = r.err.mid(at + failureLine.size()).section(QLatin1Char('\n'), 0, 0);
            QVERIFY2(reason.size() > 3, qPrintable(context));
            continue;
        }
        QVERIFY2(!r.err.contains(failureLine), qPrintable(context));
        expectedFiles << QFileInfo(out).fileName();
        LutTransform from, written;
        if (!faithfulRead(out, target, written))
            continue;   // the target's reader is not in this build: nothing to compare with
        QVERIFY(faithfulRead(in, id, from));
        // A lattice stays a lattice in a 3D format; a 1D table stays one where the format
        // holds it, and becomes a lattice where it does not.
        if (!formatOf(target).is3D)
            QVERIFY2(written.latticeSize() == 0, qPrintable(context));
        else if (from.latticeSize() > 0)
            QVERIFY2(written.latticeSize() > 0, qPrintable(context));
        const QString diff = differences(from, written, formatOf(target).id == Formats::Id::Csv);
        QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("%1 to %2: %3").arg(id).arg(target).arg(diff)));
    }
    QCOMPARE(r.code, allSucceed ? 0 : 1);
    expectedFiles.sort();
    // Only the outputs: no temporary file is left behind.
    QCOMPARE(CliTest::filesIn(outDir), expectedFiles);
}

void TestCli::cubeOutputLayout_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("firstLines");
    // Node (r, g, b) of the input holds (0.1 + 0.8r, 0.2 + 0.6g, 0.3 + 0.4b).
    QTest::newRow("default: R G B, red fastest") << QStringList()
        << QStringList{"0.100000 0.200000 0.300000", "0.900000 0.200000 0.300000", "0.100000 0.800000 0.300000"};
    QTest::newRow("out-data bgr") << QStringList{"--out-data", "bgr"}
        << QStringList{"0.300000 0.200000 0.100000", "0.300000 0.200000 0.900000", "0.300000 0.800000 0.100000"};
    QTest::newRow("out-table rgb: blue fastest") << QStringList{"--out-table", "rgb"}
        << QStringList{"0.100000 0.200000 0.300000", "0.100000 0.200000 0.700000", "0.100000 0.800000 0.300000"};
    QTest::newRow("both out orders") << QStringList{"--out-data", "BGR", "--out-table", "RGB"}
        << QStringList{"0.300000 0.200000 0.100000", "0.700000 0.200000 0.100000", "0.300000 0.800000 0.100000"};
    QTest::newRow("in-data bgr swaps red and blue") << QStringList{"--in-data", "bgr"}
        << QStringList{"0.300000 0.200000 0.100000", "0.300000 0.200000 0.900000", "0.300000 0.800000 0.100000"};
    QTest::newRow("in-table rgb transposes") << QStringList{"--in-table", "rgb"}
        << QStringList{"0.100000 0.200000 0.300000", "0.100000 0.200000 0.700000", "0.100000 0.800000 0.300000"};
    QTest::newRow("integer scale") << QStringList{"--scale", "1000"}
        << QStringList{"100 200 300", "900 200 300", "100 800 300"};
}

void TestCli::cubeOutputLayout()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, firstLines);
    QTemporaryDir dir;
    const QString in = writeCube(dir, "in.cube", 2, [](float r, float g, float b, float *o) {
        o[0] = 0.1f + 0.8f * r;
        o[1] = 0.2f + 0.6f * g;
        o[2] = 0.3f + 0.4f * b;
    });
    QVERIFY(!in.isEmpty());
    const QString out = dir.filePath("out.cube");
    const CliTest::Run r = run(QStringList{"convert", in, "-o", out} + options);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.err.isEmpty());
    const QStringList data = cubeData(out);
    QCOMPARE(data.size(), 8);
    for (int i = 0; i < firstLines.size(); ++i)
        QCOMPARE(data.at(i).split(QLatin1Char(' '), Qt::SkipEmptyParts).join(QLatin1Char(' ')), firstLines.at(i));
    QVERIFY(TestUtil::readText(out).startsWith("TITLE \nLUT_3D_SIZE 2\n"));
}

// --size resamples; without it the size is kept and the numbers are written as read.
void TestCli::resampling()
{
    QTemporaryDir dir;
    auto grade = [](float r, float g, float b, float *o) {
        o[0] = r * r;
        o[1] = std::sqrt(g) * 0.5f + 0.25f * b;
        o[2] = 1.0f - b * r;
    };
    const QString in = writeCube(dir, "in.cube", 9, grade);
    Read_LUTFile source;
    QVERIFY(libRead(in, 0, source));

    const QString kept = dir.filePath("kept.cube");
    QCOMPARE(run({"convert", in, "-o", kept}).code, 0);
    QCOMPARE(cubeData(kept), cubeData(in));

    for (int n : {2, 5, 17}) {
        const QString out = dir.filePath(QStringLiteral("out%1.cube").arg(n));
        const CliTest::Run r = run({"convert", in, "-o", out, "--size", QString::number(n)});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        Read_LUTFile written;
        QVERIFY(libRead(out, 0, written));
        // Each node is the input interpolated at the node's position.
        const QString diff = CliTest::latticeDiffers(written, n, [&](const float *p, float *o) { LutCalc::Lut3D_Tetrahedral(p, o, source); }, 1e-6f);
        QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("%1 points: %2").arg(n).arg(diff)));
    }
}

// A lattice over another domain keeps it where the format states one (.cube); a format
// without a domain (.spi3d) gets the lattice resampled onto the unit cube, with a warning.
void TestCli::domainIsResampledOntoUnitCube()
{
    QTemporaryDir dir;
    QByteArray text = "LUT_3D_SIZE 3\nDOMAIN_MIN 0.2 0 0\n";
    for (int b = 0; b < 3; ++b)
        for (int g = 0; g < 3; ++g)
            for (int r = 0; r < 3; ++r) {
                const float o[3] = {0.2f + 0.3f * r, 0.5f * g, 0.5f * b};
                text += floatLine(o);
            }
    const QString in = TestUtil::writeTemp(dir, "domain.cube", text);
    LutTransform source;
    QVERIFY(faithfulRead(in, 0, source));

    const QString kept = dir.filePath("out.cube");
    CliTest::Run r = run({"convert", in, "-o", kept});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    LutTransform written;
    QVERIFY(faithfulRead(kept, 0, written));
    QCOMPARE(written.tables()->domainMin3D[0], 0.2f);
    QVERIFY(TestUtil::sameLattice(*written.tables(), *source.tables()));

    const QString resampled = dir.filePath("out.spi3d");
    r = run({"convert", in, "-o", resampled});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.err.contains(QLatin1String("warning: its input domain R 0.2 to 1, G 0 to 1, B 0 to 1 is reduced to 0 to 1")), qPrintable(r.err));
    Read_LUTFile spi;
    QVERIFY(libRead(resampled, int(Formats::Id::Spi3D), spi));
    QCOMPARE(spi.domainMin3D[0], 0.0f);
    const QString diff = CliTest::latticeDiffers(spi, 3, [&](const float *p, float *o) { std::copy(p, p + 3, o); source.apply(o); }, 1e-6f);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

void TestCli::between3DAnd1D()
{
    QTemporaryDir dir;
    // 1D to 3D: the separable lattice, exact at every node for a straight-line curve.
    Read_LUTFile curve;
    CliTest::fill1D(curve, 11, graded1D);
    const QString spi1d = dir.filePath("curve.spi1d");
    QVERIFY(libWrite(spi1d, 12, curve));
    Read_LUTFile curveRead;
    QVERIFY(libRead(spi1d, 12, curveRead));
    // 24 points: there 7 / 23 * 23 comes out just under 7 in float.
    const QString cube = dir.filePath("curve.cube");
    CliTest::Run r = run({"convert", spi1d, "-o", cube, "--size", "24"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    Read_LUTFile lattice;
    QVERIFY(libRead(cube, 0, lattice));
    const QString diff = CliTest::latticeDiffers(lattice, 24, [&](const float *p, float *o) { LutCalc::Lut1D_liner(p, o, curveRead); }, 2e-6f);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    // Without --size a format that holds no 1D table gets a 33-point lattice, which holds
    // the straight line exactly: nothing to warn of.
    r = run({"convert", spi1d, "-o", dir.filePath("default.spi3d")});
    QCOMPARE(r.code, 0);
    Read_LUTFile defaultLattice;
    QVERIFY(libRead(dir.filePath("default.spi3d"), int(Formats::Id::Spi3D), defaultLattice));
    QCOMPARE(defaultLattice.lut3DSize, 33);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));

    // 3D to 1D: the grey axis, 1024 entries unless --length says otherwise.
    const QString in3D = writeCube(dir, "grade.cube", 5, graded3D);
    for (const QStringList &extra : {QStringList(), QStringList{"--length", "17"}}) {
        const QString out = dir.filePath("grey.spi1d");
        r = run(QStringList{"convert", in3D, "-o", out} + extra);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        Read_LUTFile grey;
        QVERIFY(libRead(out, 12, grey));
        QCOMPARE(grey.lut1DSize, extra.isEmpty() ? 1024 : 17);
        for (int e = 0; e < grey.lut1DSize; e += 3) {
            const float x = float(e) / (grey.lut1DSize - 1);
            // R and B carry the same curve, so the reader's channel order does not matter here.
            QVERIFY(std::fabs(grey.lut1D[e][0] - curveRB(x)) <= 2e-6f);
            QVERIFY(std::fabs(grey.lut1D[e][1] - x) <= 2e-6f);
        }
    }
}

void TestCli::lutFilesToldApartByContent()
{
    QTemporaryDir dir;
    Read_LUTFile curve;
    CliTest::fill1D(curve, 256, graded1D);
    const QString discreet = dir.filePath("a.lut");
    const QString plain = dir.filePath("b.lut");
    QVERIFY(libWrite(discreet, 6, curve));
    QVERIFY(libWrite(plain, 7, curve, 255));
    const CliTest::Run r = run({"info", discreet, plain});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const int second = r.out.indexOf(QDir::toNativeSeparators(plain));
    QVERIFY(second > 0);
    QVERIFY(r.out.left(second).contains(QLatin1String(".lut 1D Discreet (id 6)")));
    QVERIFY(r.out.mid(second).contains(QLatin1String(".lut 1D (id 7)")));
    // Written, ".lut" is Discreet unless --to says otherwise.
    QCOMPARE(run({"convert", plain, "-o", dir.filePath("c.lut")}).code, 0);
    QVERIFY(TestUtil::readFile(dir.filePath("c.lut")).contains("LUT: 3 256"));
    QCOMPARE(run({"convert", discreet, "-o", dir.filePath("d.lut"), "--to", "7"}).code, 0);
    QVERIFY(TestUtil::readFile(dir.filePath("d.lut")).startsWith("Index\tRed\tGreen\tBlue"));
}

void TestCli::imageGeometry_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("result");
    QTest::newRow("64 square is a texture") << QSize(64, 64) << "texture-base";
    QTest::newRow("512 square is a texture") << QSize(512, 512) << "texture-base";
    QTest::newRow("strip of 3 blocks") << QSize(9, 3) << "identity Unwrapped Cube";
    QTest::newRow("1024 x 32 strip") << QSize(1024, 32) << "identity Unwrapped Cube";
    QTest::newRow("100 square is neither") << QSize(100, 100) << "neither a texture";
    QTest::newRow("1024 x 16 is neither") << QSize(1024, 16) << "neither a texture";
}

void TestCli::imageGeometry()
{
    QFETCH(QSize, size);
    QFETCH(QString, result);
    QTemporaryDir dir;
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::gray);
    const QString path = dir.filePath("img.png");
    QVERIFY(img.save(path));
    const CliTest::Run r = run({"info", path});
    // A geometry that fits is read by its reader; one that fits neither is refused before any
    // reader runs.
    if (result.startsWith(QLatin1String("neither"))) {
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith(QDir::toNativeSeparators(path) + QLatin1String(": a ")) && r.err.contains(result), qPrintable(r.err));
        return;
    }
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains(result), qPrintable(r.all()));
}

// The program links no image code: text LUTs convert without it, images need the module that
// is found beside the program or, installed, in its library folder.
void TestCli::imageCodeLoadedOnlyForImages()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ldd")).isEmpty())
        QSKIP("no ldd to list the program's libraries");
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {QStringLiteral(LUTWRIGHT_CLI)});
    QVERIFY(ldd.waitForFinished(30000));
    const QString libraries = QString::fromUtf8(ldd.readAllStandardOutput());
    QVERIFY2(libraries.contains(QLatin1String("libQt5Core")) && !libraries.contains(QLatin1String("libQt5Gui")),
             qPrintable(libraries));

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("bin")));
    const QString program = dir.filePath(QStringLiteral("bin/lutwright-cli"));
    QVERIFY(QFile::copy(QStringLiteral(LUTWRIGHT_CLI), program));
    const QString cube = CliTest::writeCube(dir.filePath(QStringLiteral("in.cube")), 3, CliTest::identity3D);
    QImage texture(64, 64, QImage::Format_RGB32);
    texture.fill(Qt::gray);
    const QString png = dir.filePath(QStringLiteral("texture.png"));
    QVERIFY(texture.save(png));

    const QStringList convert = {"convert", cube, "-o", dir.filePath(QStringLiteral("out.cube"))};
    QCOMPARE(CliTest::runProgram(program, convert).code, 0);
    CliTest::Run r = CliTest::runProgram(program, {"info", png});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QLatin1String("image support is not installed")), qPrintable(r.err));

    const QString installed = QDir::cleanPath(dir.filePath(QStringLiteral("bin/" LUTWRIGHT_IMAGE_MODULE_INSTALLED)));
    QVERIFY(QDir().mkpath(QFileInfo(installed).path()));
    QVERIFY(QFile::copy(QStringLiteral(LUTWRIGHT_IMAGE_MODULE), installed));
    r = CliTest::runProgram(program, {"info", png});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains(QLatin1String("texture-base")), qPrintable(r.all()));

    // A module that is no module is reported, not run.
    QVERIFY(QFile::remove(installed));
    QVERIFY(TestUtil::writeFile(installed, QByteArray("not a library")));
    r = CliTest::runProgram(program, {"info", png});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QLatin1String("image support cannot be loaded")), qPrintable(r.err));
}

void TestCli::batchWithBrokenFile()
{
    QTemporaryDir dir;
    QStringList inputs;
    for (int i = 0; i < 5; ++i)
        inputs << writeCube(dir, QStringLiteral("good%1.cube").arg(i), 3, graded3D);
    const QString broken = TestUtil::writeTemp(dir, "broken.cube", "TITLE \"x\"\nLUT_3D_SIZE many\n0 0 0\n");
    const QString missing = dir.filePath("missing.cube");
    const QString folder = dir.filePath("folder.cube");
    QVERIFY(QDir().mkpath(folder));
    inputs.insert(2, broken);
    inputs << missing << folder;
    const QString outDir = dir.filePath("out");
    const CliTest::Run r = run(QStringList{"convert"} + inputs + QStringList{"-d", outDir, "--to", "spi1d", "-j", "3"});
    QCOMPARE(r.code, 1);
    QStringList errLines = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    errLines.sort();
    QCOMPARE(errLines, (QStringList{QDir::toNativeSeparators(broken) + ": line 2: LUT_3D_SIZE has no number",
                                    QDir::toNativeSeparators(folder) + ": is a folder, not a file", QDir::toNativeSeparators(missing) + ": no such file"}));
    QVERIFY(r.out.isEmpty());
    QStringList expected;
    for (int i = 0; i < 5; ++i)
        expected << QStringLiteral("good%1.spi1d").arg(i);
    QCOMPARE(CliTest::filesIn(outDir), expected);

    // All good: status 0 and nothing on stderr (no progress line when stderr is no terminal).
    const CliTest::Run ok = run(QStringList{"convert"} + inputs.mid(0, 2) + QStringList{"-d", outDir, "-j", "1"});
    QCOMPARE(ok.code, 0);
    QCOMPARE(ok.err, QString());
}

void TestCli::outputsNeverReplaceInputs()
{
    QTemporaryDir dir;
    const QString a = writeCube(dir, "a.cube", 3, graded3D);
    const QByteArray before = TestUtil::readFile(a);
    // Into the input's own folder in its own format: the output would be the input.
    CliTest::Run r = run({"convert", a, "-d", dir.path(), "--size", "5"});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, QDir::toNativeSeparators(a) + QLatin1String(": the output would replace the input; name it with -o to do that\n"));
    QCOMPARE(TestUtil::readFile(a), before);

    // Another input of the batch would be replaced, or two inputs make the same output.
    QVERIFY(QDir().mkpath(dir.filePath("sub")));
    const QString b = writeCube(dir, "b.cube", 3, graded3D);
    const QString b2 = writeCube(dir, "sub/b.cube", 3, graded3D);
    Read_LUTFile curve;
    CliTest::fill1D(curve, 8, graded1D);
    const QString aSpi = dir.filePath("a.spi1d");
    QVERIFY(libWrite(aSpi, 12, curve));
    const QString outDir = dir.filePath("out");
    r = run({"convert", aSpi, a, "-d", dir.path(), "--to", "cube"});
    QCOMPARE(r.code, 1);
    const QString shownA = QDir::toNativeSeparators(a);
    QVERIFY2(r.err.contains(QDir::toNativeSeparators(aSpi) + QLatin1String(": the output ") + shownA
                            + QLatin1String(" would replace the input ") + shownA), qPrintable(r.err));
    QCOMPARE(TestUtil::readFile(a), before);
    r = run({"convert", b, b2, "-d", outDir});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, QDir::toNativeSeparators(b2 + QLatin1String(": the output ") + QDir(outDir).filePath("b.cube")
                                             + QLatin1String(" is already made from ") + b) + QLatin1Char('\n'));
    QCOMPARE(CliTest::filesIn(outDir), QStringList{"b.cube"});
}

void TestCli::explicitOutputMayReplaceInput()
{
    QTemporaryDir dir;
    const QString a = writeCube(dir, "a.cube", 3, graded3D);
    const CliTest::Run r = run({"convert", a, "-o", a, "--size", "4"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    Read_LUTFile m;
    QVERIFY(libRead(a, 0, m));
    QCOMPARE(m.lut3DSize, 4);
    QCOMPARE(CliTest::filesIn(dir.path()), QStringList{"a.cube"});
}

// Stopped in the middle (Ctrl-C, or a TERM signal), the run finishes the files it is writing,
// starts no other, says so, and leaves only whole outputs: no temporary file, no torn LUT.
void TestCli::interruptedRunLeavesOnlyWholeFiles()
{
    if (QSysInfo::productType() == QLatin1String("windows"))
        QSKIP("QProcess cannot interrupt a console program on Windows (terminate() only posts WM_CLOSE)");
    QTemporaryDir dir;
    const QString first = writeCube(dir, "f0.cube", 17, graded3D);
    QStringList inputs{first};
    for (int i = 1; i < 300; ++i) {
        const QString copy = dir.filePath(QStringLiteral("f%1.cube").arg(i));
        QVERIFY(QFile::copy(first, copy));
        inputs << copy;
    }
    const QString outDir = dir.filePath("out");
    QProcess p;
    p.start(QStringLiteral(LUTWRIGHT_CLI), QStringList{"convert"} + inputs + QStringList{"-d", outDir, "--size", "65", "-j", "2"});
    QVERIFY(p.waitForStarted());
    QElapsedTimer clock;
    clock.start();
    while (CliTest::filesIn(outDir).filter(QStringLiteral(".cube")).isEmpty() && clock.elapsed() < 60000)
        QTest::qWait(5);
    p.terminate();
    QVERIFY(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    const QStringList written = CliTest::filesIn(outDir);
    if (written.size() == inputs.size())
        QSKIP("the whole batch was done before it could be stopped");
    QCOMPARE(p.exitCode(), 130);
    QVERIFY2(err.contains(QStringLiteral("interrupted: %1 of 300 files were not converted").arg(300 - written.size())), qPrintable(err));
    for (const QString &name : written) {
        QVERIFY2(QRegularExpression(QStringLiteral("^f\\d+\\.cube$")).match(name).hasMatch(), qPrintable(name));
        Read_LUTFile m;
        QVERIFY2(libRead(QDir(outDir).filePath(name), 0, m) && m.lut3DSize == 65, qPrintable(name));
    }
}

// A German locale writes 0,5 for a half; the program's numbers never change with it.
void TestCli::numbersIgnoreLocale()
{
    QTemporaryDir locales;
    QProcess localedef;
    localedef.start("localedef", {"-i", "de_DE", "-f", "UTF-8", locales.filePath("de_DE.UTF-8")});
    if (!localedef.waitForFinished(60000) || localedef.exitStatus() != QProcess::NormalExit || localedef.exitCode() > 1
        || !QFileInfo::exists(locales.filePath("de_DE.UTF-8")))
        QSKIP("no German locale can be made here");
    QProcessEnvironment german = QProcessEnvironment::systemEnvironment();
    german.insert("LOCPATH", locales.path());
    german.insert("LC_ALL", "de_DE.UTF-8");
    german.insert("LANG", "de_DE.UTF-8");

    QTemporaryDir dir;
    const QString in = writeCube(dir, "in.cube", 5, [](float r, float g, float b, float *o) {
        o[0] = 0.5f * r + 0.125f;
        o[1] = g * g;
        o[2] = 0.75f * b;
    });
    const QString plain = dir.filePath("c.cube"), local = dir.filePath("de.cube");
    QCOMPARE(run({"convert", in, "-o", plain, "--size", "9"}).code, 0);
    const CliTest::Run r = run({"convert", in, "-o", local, "--size", "9"}, german);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(TestUtil::readFile(local), TestUtil::readFile(plain));
    QVERIFY(TestUtil::readFile(local).contains("0.125000 0.000000 0.000000"));
    const CliTest::Run info = run({"info", in}, german);
    QVERIFY(info.out.contains(QLatin1String("R 0.125000 to 0.625000")));
}

void TestCli::infoOnGoodAndBadFiles()
{
    QTemporaryDir dir;
    const QString good = writeCube(dir, "good.cube", 3, graded3D);
    const QString bad = TestUtil::writeTemp(dir, "bad.cube", "# a comment\n\nLUT_3D_SIZE 2\n0 0 0\n1 0 0\n");
    Read_LUTFile curve;
    CliTest::fill1D(curve, 16, graded1D);
    const QString spi1d = dir.filePath("curve.spi1d");
    QVERIFY(libWrite(spi1d, 12, curve));
    const QString unknown = TestUtil::writeTemp(dir, "notes.txt", "hello\n");

    const CliTest::Run r = run({"info", good, bad, spi1d, unknown});
    QCOMPARE(r.code, 1);
    QStringList errLines = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(errLines.size(), 2);
    QVERIFY2(errLines.at(0).startsWith(QDir::toNativeSeparators(bad) + QLatin1String(": line ")), qPrintable(r.err));
    QCOMPARE(errLines.at(1), QDir::toNativeSeparators(unknown) + QLatin1String(": cannot tell the format from the name; give it with --in-format"));
    const QString expectedGood = QDir::toNativeSeparators(good) + QLatin1String("\n"
        "  format      .cube (id 0)\n"
        "  dimension   3D\n"
        "  orders      data rgb, table bgr (red index fastest)\n"
        "  3D size     3\n"
        "  3D domain   0 0 0 to 1 1 1\n"
        "  3D range    R 0.050000 to 1.000000, G 0.000000 to 1.000000, B 0.050000 to 1.000000\n");
    QVERIFY2(r.out.startsWith(expectedGood), qPrintable(r.out));
    const QString spiPart = r.out.mid(r.out.indexOf(QDir::toNativeSeparators(spi1d)));
    QVERIFY2(spiPart.contains(QLatin1String("  format      .spi1d (id 12)\n  dimension   1D\n")), qPrintable(spiPart));
    QVERIFY(spiPart.contains(QLatin1String("  1D size     16\n")));
    QVERIFY(spiPart.contains(QLatin1String("1D range    R 0.050000 to 1.000000, G 0.000000 to 1.000000, B 0.050000 to 1.000000")));

    // --in-format reads a file of any name.
    const QString renamed = TestUtil::writeTemp(dir, "cube.txt", TestUtil::readFile(good));
    const CliTest::Run forced = run({"info", "--in-format", "cube", renamed});
    QCOMPARE(forced.code, 0);
    QVERIFY(forced.out.contains(QLatin1String("3D size     3")));
}

void TestCli::readFromPipe_data()
{
    QTest::addColumn<int>("id");
    for (int id = 0; id < Formats::dispatchCount; ++id)
        QTest::newRow(qPrintable(Read_LUTFile::formatStr(id))) << id;
}

// Every format reads from a pipe, which can be read only once and has no size, as from a file.
void TestCli::readFromPipe()
{
    QFETCH(int, id);
    SKIP_ON_WINDOWS("needs sh and /dev/stdin");
    QTemporaryDir dir;
    const QString path = makeInput(dir, id);
    QVERIFY(!path.isEmpty());
    const QString format = QString::number(id);
    const CliTest::Run file = run({"info", "--in-format", format, path});
    QCOMPARE(file.code, 0);
    const CliTest::Run piped = CliTest::runProgram(QStringLiteral("sh"),
        {"-c", "cat \"$1\" | \"$0\" info --in-format \"$2\" /dev/stdin", QStringLiteral(LUTWRIGHT_CLI), path, format});
    QCOMPARE(piped.err, QString());
    QCOMPARE(piped.out, QString(file.out).replace(path, QLatin1String("/dev/stdin")));
}

void TestCli::endlessInputRefused_data()
{
    QTest::addColumn<QString>("source");   // "pipe": a named pipe fed "0.5 0.5 0.5" lines endlessly
    QTest::addColumn<QStringList>("args");
    QTest::newRow("named pipe, format by name") << "pipe" << QStringList{"info"};
    QTest::newRow("/dev/zero, format given") << "/dev/zero" << QStringList{"info", "--in-format", "cube"};
    QTest::newRow("/dev/zero converted") << "/dev/zero" << QStringList{"convert", "--in-format", "3dl", "--to", "cube", "-d", "out"};
}

// Under a memory limit of 2 GB, an input that never ends is refused as too large once it passes
// the largest LUT file, instead of filling memory until the program aborts.
void TestCli::endlessInputRefused()
{
    QFETCH(QString, source);
    QFETCH(QStringList, args);
    SKIP_ON_WINDOWS("needs a named pipe or /dev/zero, and the shell's ulimit");
    QTemporaryDir dir;
    std::unique_ptr<QProcess> writer;
    const QString path = TestUtil::endlessInput(dir, source, "endless.cube", writer);
    QVERIFY(!path.isEmpty());
    // The sanitizers reserve more address space than any such limit allows.
#if defined(__SANITIZE_ADDRESS__)
    const QString limit = QStringLiteral("unlimited");
#else
    const QString limit = QStringLiteral("2097152");
#endif
    const CliTest::Run r = CliTest::runProgram(QStringLiteral("sh"),
        QStringList{"-c", "ulimit -v " + limit + " && exec \"$0\" \"$@\"", QStringLiteral(LUTWRIGHT_CLI)} + args << path,
        QProcessEnvironment::systemEnvironment(), dir.path());
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(path + QLatin1String(" is too large to be a LUT (more than 1610612736 bytes)")), qPrintable(r.all()));
    if (writer)
        QVERIFY(writer->waitForFinished(60000));
}

void TestCli::mergeWithIdentity()
{
    QTemporaryDir dir;
    auto grade = [](float r, float g, float b, float *o) {
        o[0] = 0.2f + 0.6f * r;
        o[1] = 0.9f * g + 0.1f * b;
        o[2] = 1.0f - 0.5f * b;
    };
    const QString a = writeCube(dir, "grade.cube", 5, grade);
    const QString id = writeCube(dir, "identity.cube", 3, CliTest::identity3D);
    QVERIFY(!a.isEmpty() && !id.isEmpty());
    for (const QStringList &order : {QStringList{a, id}, QStringList{id, a}}) {
        const QString outCube = dir.filePath("merged.cube");
        const CliTest::Run r = run(QStringList{"merge"} + order + QStringList{"-o", outCube});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        Read_LUTFile merged;
        QVERIFY(libRead(outCube, 0, merged));
        // As fine as the finer of the two, and the grade itself.
        const QString diff = CliTest::latticeDiffers(merged, 5, [&](const float *p, float *o) { grade(p[0], p[1], p[2], o); }, 2e-6f);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }
}

void TestCli::mergeAppliesFirstThenSecond()
{
    QTemporaryDir dir;
    const QString swap = writeCube(dir, "swap.cube", 2, [](float r, float g, float b, float *o) {
        o[0] = b;
        o[1] = g;
        o[2] = r;
    });
    const QString halveRed = writeCube(dir, "halve.cube", 2, [](float r, float g, float b, float *o) {
        o[0] = 0.5f * r;
        o[1] = g;
        o[2] = b;
    });
    // A 1D input takes part through its separable lattice.
    Read_LUTFile curve;
    CliTest::fill1D(curve, 5, [](float x, float *o) { o[0] = o[1] = o[2] = x * 0.5f + 0.5f; });
    const QString lift = dir.filePath("lift.spi1d");
    QVERIFY(libWrite(lift, 12, curve));

    struct Case {
        QString first, second;
        std::function<void(const float *, float *)> expect;
    };
    const QVector<Case> cases = {
        {swap, halveRed, [](const float *p, float *o) { o[0] = 0.5f * p[2]; o[1] = p[1]; o[2] = p[0]; }},
        {halveRed, swap, [](const float *p, float *o) { o[0] = p[2]; o[1] = p[1]; o[2] = 0.5f * p[0]; }},
        {lift, halveRed, [](const float *p, float *o) { o[0] = 0.5f * (0.5f * p[0] + 0.5f); o[1] = 0.5f * p[1] + 0.5f; o[2] = 0.5f * p[2] + 0.5f; }},
    };
    for (const Case &c : cases) {
        const QString out = dir.filePath("m.cube");
        const CliTest::Run r = run({"merge", c.first, c.second, "-o", out, "--size", "3"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        Read_LUTFile m;
        QVERIFY(libRead(out, 0, m));
        const QString diff = CliTest::latticeDiffers(m, 3, c.expect, 2e-6f);
        QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("%1 then %2: %3").arg(c.first, c.second, diff)));
    }
    // A file that cannot be read names itself.
    const CliTest::Run r = run({"merge", swap, dir.filePath("nothing.cube"), "-o", dir.filePath("x.cube")});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, QDir::toNativeSeparators(dir.filePath("nothing.cube")) + QLatin1String(": no such file\n"));
    QVERIFY(!QFileInfo::exists(dir.filePath("x.cube")));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
