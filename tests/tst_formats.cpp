// The format registry, and what every format in it does alike: formats found by id, name,
// extension and content; a table written and read back under every order setting; a file
// that cannot be opened or made; a model without a table; the dispatch ids without a writer.
#include <QtTest>

#include "formats/faithful.h"
#include "formats/registry.h"
#include "testutil.h"

namespace {

const Formats::Format &formatNamed(const QString &name)
{
    return *Formats::byName(name);
}

QString fileFor(const QTemporaryDir &dir, const Formats::Format &f, const QString &base)
{
    return dir.filePath(base + QLatin1Char('.') + Formats::extensionsOf(f).value(0));
}

// Formats that hold one kind of transform (a CDL, a matrix): their table writers refuse every
// table, and what they write is tested with each format.
bool holdsOnly(const Formats::Format &f)
{
    return f.faithful && f.faithful->holdsOnly;
}

// One row per format for which `wanted` holds, named in the column "format".
void formatRows(bool (*wanted)(const Formats::Format &))
{
    QTest::addColumn<QString>("format");
    for (const Formats::Format *f : Formats::all())
        if (wanted(*f))
            QTest::newRow(f->name) << QString::fromLatin1(f->name);
}

// The model a format's writer is given: a random lattice of six-decimal values, or a random 1D
// table (of the format's fixed length) ending in white, so that readers that scale by the
// largest or the last value see the full range.
void fillFor(const Formats::Format &f, Read_LUTFile &lut)
{
    if (f.is3D) {
        // Formats that hold only some lattice sizes get the one they take for 5.
        const int size = f.latticeSize ? f.latticeSize(5, false, Formats::Options(), nullptr) : 5;
        TestUtil::fillRandomLattice(lut, size, 7);
        return;
    }
    TestUtil::fill1D(lut, f.fixed1DLength > 0 ? f.fixed1DLength : 64, 3);
    float *last = lut.lut1D[lut.lut1DSize - 1];
    last[0] = last[1] = last[2] = 1.0f;
}

}

class TestFormats : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void idsInOrder();
    void byName_data();
    void byName();
    void detectByContent_data();
    void detectByContent();
    void headerOnly_data();
    void headerOnly();
    void roundTrip_data();
    void roundTrip();
    void missingFile_data();
    void missingFile();
    void writerCannotOpen_data();
    void writerCannotOpen();
    void modelWithoutTable_data();
    void modelWithoutTable();
    void noWriterByNumber_data();
    void noWriterByNumber();
};

// The dispatch ids lead the list, each entry at its own id; nothing else claims an id.
void TestFormats::idsInOrder()
{
    int i = 0;
    for (const Formats::Format *f : Formats::all()) {
        QCOMPARE(int(f->id), i < Formats::dispatchCount ? i : -1);
        QVERIFY2(!f->writeByNumber || (f->write && f->id != Formats::Id::None), f->name);
        QCOMPARE(Formats::byId(i), i < Formats::dispatchCount ? f : nullptr);
        ++i;
    }
    QVERIFY(i >= Formats::dispatchCount);
    QCOMPARE(Formats::byId(-1), nullptr);
}

void TestFormats::byName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("id");   // -2: no format
    QTest::newRow("registry name") << "spi3d" << int(Formats::Id::Spi3D);
    QTest::newRow("name of a shared extension's member") << "discreet" << int(Formats::Id::Discreet1D);
    QTest::newRow("extension with its dot, any case") << ".CUBE" << int(Formats::Id::Cube);
    QTest::newRow("second extension") << "m3d" << int(Formats::Id::Mga);
    QTest::newRow("id as text") << "13" << int(Formats::Id::Spi3D);
    QTest::newRow("id beyond the dispatch") << "17" << -2;
    QTest::newRow("shared extension") << "lut" << -2;
    QTest::newRow("unknown") << "xyz" << -2;
    QTest::newRow("empty") << "" << -2;
}

void TestFormats::byName()
{
    QFETCH(QString, name);
    QFETCH(int, id);
    const Formats::Format *f = Formats::byName(name);
    QCOMPARE(f ? int(f->id) : -2, id);
}

void TestFormats::detectByContent_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("id");   // -2: refused
    QTest::addColumn<QString>("why");
    QTest::newRow("LUT: line is Discreet") << "a.lut" << QByteArray("# x\nLUT: 3 2\n0\n1\n0\n1\n0\n1\n")
                                           << int(Formats::Id::Discreet1D) << "";
    QTest::newRow("otherwise the 1D .lut") << "b.LUT" << QByteArray("0\t0\t0\t0\n") << int(Formats::Id::Lut1D) << "";
    QTest::newRow("name alone decides") << "c.spi1d" << QByteArray("anything") << int(Formats::Id::Spi1D) << "";
    QTest::newRow("unknown extension") << "d.txt" << QByteArray("LUT_3D_SIZE 2\n") << -2
                                       << "cannot tell the format from the name";
    QTest::newRow("not an image") << "f.png" << QByteArray("not a picture") << -2 << "f.png";
}

void TestFormats::detectByContent()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, text);
    QFETCH(int, id);
    QFETCH(QString, why);
    QString reason;
    const Formats::Format *f = Formats::detect(TestUtil::writeTemp(dir, name, text), &reason);
    QCOMPARE(f ? int(f->id) : -2, id);
    if (!f)
        QVERIFY2(reason.contains(why), qPrintable(reason));
}

// A header read gives the sizes and allocates nothing, whatever data follows (here none, or
// damaged), and leaves the domains' upper ends at 1.
void TestFormats::headerOnly_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("size3D");
    QTest::addColumn<int>("size1D");
    QTest::newRow("davlut") << "davlut" << QByteArray("# x\n3DLUTSIZE 33\n") << 33 << 0;
    QTest::newRow("itx") << "itx" << QByteArray("LUT_3D_SIZE 33\n") << 33 << 0;
    QTest::newRow("spi3d") << "spi3d" << QByteArray("SPILUT 1.0\n3 3\n33 33 33\nnot read\n") << 33 << 0;
    QTest::newRow("mga") << "mga" << QByteArray("channel 3d\nin 35937\nout 4096\nvalues red green blue\n") << 33 << 0;
    QTest::newRow("discreet") << "discreet" << QByteArray("# x\nLUT: 3 256\n1\n") << 0 << 256;
    QTest::newRow("cub without its sections") << "cub" << QByteArray("# iDims 3\n# width 2 2 2\n# lutLength 2\n") << 2 << 2;
    QTest::newRow("look, damaged data") << "look"
        << QByteArray("<look><LUT><size>17</size><data>zz</data></LUT><LUT1D><size>\"5\"</size></LUT1D></look>") << 17 << 5;
}

void TestFormats::headerOnly()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, text);
    QFETCH(int, size3D);
    QFETCH(int, size1D);
    const Formats::Format &f = formatNamed(format);
    Read_LUTFile lut;
    QVERIFY2(Formats::read(f, TestUtil::side(f.id, TestUtil::writeTemp(dir, "header", text)), lut, true),
             qPrintable(lut.errorString));
    QCOMPARE(lut.lut3DSize, size3D);
    QCOMPARE(lut.lut1DSize, size1D);
    QVERIFY(!lut.lut3D && !lut.lut1D);
    TestUtil::compareCleanRead(lut, f.readOrder.dataRGB, f.readOrder.tableRGB);
}

// Every format that is read and written, with its own orders on both sides and with every
// combination of explicit orders: the table comes back, its lattice transposed when the two
// sides' lattice orders differ and its channels exchanged when the channel orders do.
void TestFormats::roundTrip_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("writeDefault");
    QTest::addColumn<bool>("writeData");
    QTest::addColumn<bool>("writeTable");
    QTest::addColumn<bool>("readDefault");
    QTest::addColumn<bool>("readData");
    QTest::addColumn<bool>("readTable");
    for (const Formats::Format *f : Formats::all()) {
        if (!f->read || !f->write || holdsOnly(*f))
            continue;
        const QString name = QString::fromLatin1(f->name);
        QTest::addRow("%s, own orders", f->name) << name << true << false << false << true << false << false;
        for (int w = 0; w < 4; ++w)
            for (int r = 0; r < 4; ++r)
                QTest::addRow("%s, write %s %s, read %s %s", f->name, w & 2 ? "RGB" : "BGR", w & 1 ? "blue-fastest" : "red-fastest",
                              r & 2 ? "RGB" : "BGR", r & 1 ? "blue-fastest" : "red-fastest")
                    << name << false << bool(w & 2) << bool(w & 1) << false << bool(r & 2) << bool(r & 1);
    }
}

void TestFormats::roundTrip()
{
    QFETCH(QString, format);
    QFETCH(bool, writeDefault);
    QFETCH(bool, writeData);
    QFETCH(bool, writeTable);
    QFETCH(bool, readDefault);
    QFETCH(bool, readData);
    QFETCH(bool, readTable);
    const Formats::Format &f = formatNamed(format);
    // Asked for its own orders, a writer without any (.cube) is given them as flags.
    const bool wd = writeDefault ? f.writeOrder.dataRGB : writeData;
    const bool wt = writeDefault ? f.writeOrder.tableRGB : writeTable;
    const bool rd = readDefault ? f.readOrder.dataRGB : readData;
    const bool rt = readDefault ? f.readOrder.tableRGB : readTable;

    Read_LUTFile original;
    fillFor(f, original);
    const QString path = fileFor(dir, f, QStringLiteral("trip"));
    QString why;
    QVERIFY2(Formats::write(f, TestUtil::side(f.id, path, writeDefault, wd, wt, f.defaultScale), original, &why),
             qPrintable(why));
    Read_LUTFile back;
    QVERIFY2(Formats::read(f, TestUtil::side(f.id, path, readDefault, readData, readTable), back, false),
             qPrintable(back.errorString));
    TestUtil::compareCleanRead(back, rd, rt);

    // Integers written are cut to a step of the scale; the writers of images, .3dl, ICC device
    // links and .vlt round to their nearest code.
    float tol = f.defaultScale > 1 ? 1.0f / float(f.defaultScale) : 1e-6f;
    const struct {
        const char *name;
        float codes;
    } rounded[] = {{"3dl", 4095.0f}, {"texture", 255.0f}, {"iuc", 255.0f}, {"hald", 255.0f}, {"icc", 65535.0f}, {"vlt", 4095.0f}};
    for (const auto &r : rounded)
        if (format == QLatin1String(r.name))
            tol = 0.5f / r.codes + 1e-6f;
    QString diff;
    if (f.is3D) {
        diff = TestUtil::latticeDifferences(back, original, wt != rt, wd != rd, tol);
    } else if (f.id == Formats::Id::Csv) {
        // The .csv curve holds the first channel only, read back into all three.
        for (int e = 0; e < original.lut1DSize; ++e)
            for (int c = 0; c < 3; ++c)
                original.lut1D[e][c] = original.lut1D[e][0];
        diff = TestUtil::tableDifferences1D(back, original, false, tol);
    } else {
        // Writers print a 1D entry B, G, R for a BGR channel order; the model stores one
        // reversed when its two order flags differ.
        diff = TestUtil::tableDifferences1D(back, original, !wd != (rd != rt), tol);
    }
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

void TestFormats::missingFile_data()
{
    formatRows([](const Formats::Format &f) { return f.read != nullptr; });
}

// A file that cannot be opened: a reason naming it, no table, and the order flags as the
// caller left them (the format's own are taken only once the file is open).
void TestFormats::missingFile()
{
    QFETCH(QString, format);
    const Formats::Format &f = formatNamed(format);
    const QString path = fileFor(dir, f, QStringLiteral("absent"));
    Read_LUTFile lut;
    lut.dataOrderRGB = !f.readOrder.dataRGB;
    lut.tableOrderRGB = !f.readOrder.tableRGB;
    QVERIFY(!Formats::read(f, TestUtil::side(f.id, path), lut, false));
    QVERIFY2(lut.errorString.contains(QFileInfo(path).fileName()), qPrintable(lut.errorString));
    QVERIFY(!lut.lut3D && !lut.lut1D);
    QCOMPARE(lut.lut3DSize + lut.lut1DSize, 0);
    QCOMPARE(lut.dataOrderRGB, !f.readOrder.dataRGB);
    QCOMPARE(lut.tableOrderRGB, !f.readOrder.tableRGB);
}

void TestFormats::writerCannotOpen_data()
{
    formatRows([](const Formats::Format &f) { return f.write != nullptr && !holdsOnly(f); });
}

void TestFormats::writerCannotOpen()
{
    QFETCH(QString, format);
    const Formats::Format &f = formatNamed(format);
    Read_LUTFile lut;
    fillFor(f, lut);
    const QString path = fileFor(dir, f, QStringLiteral("no/such/folder/x"));
    QString why;
    QVERIFY(!Formats::write(f, TestUtil::side(f.id, path), lut, &why));
    QVERIFY2(why.contains(QFileInfo(path).fileName()), qPrintable(why));
    QVERIFY(!QFileInfo::exists(QFileInfo(path).path()));
}

// A model without a table of the format's kind (here with a size that claims one, which must
// not be walked) is written as the format's bare header.
void TestFormats::modelWithoutTable_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("csv") << "csv" << QByteArray();
    QTest::newRow("lut1d") << "lut1d" << QByteArray("Index\tRed\tGreen\tBlue\n");
    QTest::newRow("spi1d") << "spi1d" << QByteArray("Version 1\nFrom 0.0 1\nLength 0\nComponents 3\n{\n}\n");
    QTest::newRow("discreet") << "discreet"
                              << QByteArray("# Discreet LUT file\n#      Channels: 3\n# Input Samples: 0\n"
                                            "#   Ouput Scale: 1\n#\n#Exported from tamsori\n#\n\nLUT: 3 0\n");
}

void TestFormats::modelWithoutTable()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, text);
    const Formats::Format &f = formatNamed(format);
    Read_LUTFile lut;
    lut.lut1DSize = 5;
    const QString path = fileFor(dir, f, QStringLiteral("empty"));
    QString why;
    QVERIFY2(Formats::write(f, TestUtil::side(f.id, path), lut, &why), qPrintable(why));
    QCOMPARE(TestUtil::readText(path), text);
}

// The numeric dispatch has no writer for these ids, whatever the registry holds for them.
void TestFormats::noWriterByNumber_data()
{
    QTest::addColumn<int>("id");
    for (Formats::Id id : {Formats::Id::Texture, Formats::Id::UnwrappedCube, Formats::Id::ThreeDL, Formats::Id::Look,
                           Formats::Id::Csp, Formats::Id::Cub})
        QTest::newRow(Formats::byId(id)->name) << int(id);
    QTest::newRow("17") << Formats::dispatchCount;
    QTest::newRow("-1") << -1;
}

void TestFormats::noWriterByNumber()
{
    QFETCH(int, id);
    Read_LUTFile lut;
    TestUtil::fillSteps(lut);
    const QString path = dir.filePath(QStringLiteral("refused-%1").arg(id));
    Write_LUTFile writer;
    QVERIFY(!writer.WriteFile(TestUtil::side(id, path), lut));
    QVERIFY(!writer.errorString.isEmpty());
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(TestFormats)
#include "tst_formats.moc"
