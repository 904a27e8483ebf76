// ASC CDL files (.cc, .ccc, .cdl): a correction read as the v1.2 formulas, damaged documents
// refused with their reasons, a correction picked out of a collection, the corpus files, and
// the writers of the three forms; the command line's --cdl numbers.

#include <QBuffer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include "formats/cdl.h"
#include "formats/faithful.h"
#include "formats/registry.h"
#include "testutil.h"

namespace {

const char sampleText[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<ColorCorrection id=\"shot_010\">\n"
    "  <Description>warmer</Description>\n"
    "  <SOPNode>\n"
    "    <Slope>1.2 1.0 0.8</Slope>\n"
    "    <Offset>-0.05 0.02 0.1</Offset>\n"
    "    <Power>1.4 1.0 0.7</Power>\n"
    "  </SOPNode>\n"
    "  <SatNode><Saturation>0.6</Saturation></SatNode>\n"
    "</ColorCorrection>\n";

const double slope[3] = {1.2, 1.0, 0.8}, offset[3] = {-0.05, 0.02, 0.1}, power[3] = {1.4, 1.0, 0.7}, sat = 0.6;

double clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }

// ASC CDL v1.2, worked in double precision.
void cdl(const double *in, const double *s, const double *o, const double *p, double saturation, double *out)
{
    double v[3];
    for (int c = 0; c < 3; ++c)
        v[c] = std::pow(clamp01(in[c] * s[c] + o[c]), p[c]);
    const double luma = 0.2126 * v[0] + 0.7152 * v[1] + 0.0722 * v[2];
    for (int c = 0; c < 3; ++c)
        out[c] = clamp01(luma + saturation * (v[c] - luma));
}

const Formats::Format &format(const char *name)
{
    return *Formats::byName(QLatin1String(name));
}

bool readCdl(const QString &path, LutTransform &t, QString *why, const QString &id = QString(), const char *name = "cc")
{
    Formats::Options options;
    options.cdlId = id;
    LUTFILE_ST side;
    side.path = path;
    return Formats::readTransform(format(name), side, options, t, why);
}

const Ops::AscCdl *cdlOf(const LutTransform &t)
{
    return t.steps().size() == 1 ? dynamic_cast<const Ops::AscCdl *>(t.steps().front().node.get()) : nullptr;
}

QString metadata(const LutTransform &t, const char *key)
{
    QStringList found;
    for (const auto &e : t.metadata)
        if (e.first == QLatin1String(key))
            found << e.second;
    return found.join(QLatin1Char('|'));
}

QString numbersText(const Ops::AscCdl &c)
{
    auto three = [](const float *v) { return QStringLiteral("%1 %2 %3").arg(double(v[0])).arg(double(v[1])).arg(double(v[2])); };
    return QStringLiteral("%1 / %2 / %3 / %4").arg(three(c.slope), three(c.offset), three(c.power)).arg(double(c.saturation));
}

QString corpus(const char *name)
{
    return QStringLiteral(LUTWRIGHT_CORPUS "/") + QLatin1String(name);
}

}

class TestFmtCdl : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    QString write(const QByteArray &text, const QString &name = QStringLiteral("in.cc"))
    {
        return TestUtil::writeTemp(dir, name, text);
    }

private slots:
    void goodSample_data();
    void goodSample();
    void damaged_data();
    void damaged();
    void picked_data();
    void picked();
    void corpusFiles_data();
    void corpusFiles();
    void writtenForms_data();
    void writtenForms();
    void roundTrip();
    void refusesTables();
    void optionNumbers_data();
    void optionNumbers();
};

// The sample as each form; the correction evaluates as the v1.2 formulas, inside 0 to 1 and
// where the clamps act.
void TestFmtCdl::goodSample_data()
{
    QTest::addColumn<QByteArray>("text");
    const QByteArray cc(sampleText);
    const QByteArray inner = cc.mid(cc.indexOf("<ColorCorrection"));
    QTest::newRow("cc") << cc;
    QTest::newRow("ccc") << "<ColorCorrectionCollection xmlns=\"urn:ASC:CDL:v1.2\">" + inner + "</ColorCorrectionCollection>";
    QTest::newRow("cdl") << "<ColorDecisionList><ColorDecision><MediaRef ref=\"a.dpx\"/>" + inner + "</ColorDecision></ColorDecisionList>";
    QTest::newRow("older node names") << QByteArray(sampleText).replace("SOPNode", "ASC_SOP").replace("SatNode", "SATNode");
    QTest::newRow("elements of its users passed over") << QByteArray(sampleText).replace("<SOPNode>", "<SOPNode><Grade x=\"1\"><Deep/></Grade>");
}

void TestFmtCdl::goodSample()
{
    QFETCH(QByteArray, text);
    LutTransform t;
    QString why;
    QVERIFY2(readCdl(write(text), t, &why), qPrintable(why));
    const Ops::AscCdl *c = cdlOf(t);
    QVERIFY(c);
    QCOMPARE(c->style, Ops::AscCdl::Fwd);
    QCOMPARE(metadata(t, "id"), QStringLiteral("shot_010"));
    QCOMPARE(metadata(t, "Description"), QStringLiteral("warmer"));
    for (const auto &in : {std::array<double, 3>{0.5, 0.25, 0.75}, std::array<double, 3>{-0.3, 1.2, 0.01},
                           std::array<double, 3>{0.9, 0.95, 2.0}}) {
        double want[3];
        cdl(in.data(), slope, offset, power, sat, want);
        float rgb[3] = {float(in[0]), float(in[1]), float(in[2])};
        t.apply(rgb);
        for (int ch = 0; ch < 3; ++ch)
            QVERIFY2(std::fabs(rgb[ch] - want[ch]) < 2e-6, qPrintable(QStringLiteral("channel %1: %2, not %3").arg(ch).arg(double(rgb[ch])).arg(want[ch])));
    }
}

void TestFmtCdl::damaged_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    const QByteArray good(sampleText);
    auto variant = [&good](const char *from, const char *to) { return QByteArray(good).replace(from, to); };
    QTest::newRow("empty") << QByteArray() << "line 1, column 0: Premature end of document.";
    QTest::newRow("other root") << QByteArray("<look/>") << "line 1: the root element is <look>, not ColorCorrection, ColorCorrectionCollection or ColorDecisionList";
    QTest::newRow("two slopes") << variant("1.2 1.0 0.8", "1.2 1.0") << "line 5: Slope holds 2 numbers, not 3";
    QTest::newRow("not a number") << variant("-0.05", "-0.05x") << "line 6: Offset holds \"-0.05x\", which is not a number";
    QTest::newRow("infinite") << variant("0.6", "1e99") << "line 9: Saturation holds \"1e99\", which is not a number";
    QTest::newRow("power 0") << variant("1.4 1.0", "0 1.0") << "line 2: a Power of 0 is not above 0";
    QTest::newRow("a second SOPNode") << variant("<SatNode>", "<SOPNode/><SatNode>") << "line 9: ColorCorrection holds a second SOPNode";
    QTest::newRow("a second Slope") << variant("<Offset>", "<Slope>1 1 1</Slope><Offset>") << "line 6: SOPNode holds a second Slope";
    QTest::newRow("truncated") << good.left(good.indexOf("</SOPNode>")) << "line 8, column 2: Premature end of document.";
    QTest::newRow("broken XML") << variant("</Power>", "</Powr>") << "line 7, column 29: Opening and ending tag mismatch.";
    QTest::newRow("entity expansion")
        << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE x [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;\">]>\n<ColorCorrection><Description>&b;</Description></ColorCorrection>")
        << "line 2: a document type declaration is not accepted (it could expand entities)";
    QTest::newRow("huge attribute") << "<ColorCorrection id=\"" + QByteArray(1 << 20, 'x') + "\"/>"
                                    << "line 1: a tag longer than 65536 bytes (no LUT has attributes that long)";
    QTest::newRow("deep nesting") << "<ColorCorrection>" + TestUtil::repeatLine(100000, "<a>") << "line 1: elements nested deeper than 64";
    QTest::newRow("huge number text") << variant("1.2 1.0 0.8", QByteArray(100000, ' ').constData())
                                      << "line 5: Slope holds more than 4096 characters";
    QTest::newRow("empty collection") << QByteArray("<ColorCorrectionCollection>\n</ColorCorrectionCollection>")
                                      << "line 2: the ColorCorrectionCollection holds no ColorCorrection";
    QTest::newRow("too many corrections")
        << "<ColorCorrectionCollection>\n" + TestUtil::repeatLine(100001, "<ColorCorrection/>\n") + "</ColorCorrectionCollection>"
        << "line 100002: more than 100000 corrections";
}

// Each is refused with its reason, through the faithful reading and the numbered one alike.
void TestFmtCdl::damaged()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    const QString path = write(text);
    LutTransform t;
    QString why;
    QVERIFY(!readCdl(path, t, &why));
    QCOMPARE(why, reason);
    Read_LUTFile lut;
    QVERIFY(!Formats::read(format("cc"), TestUtil::side(-1, path), lut, false));
    QCOMPARE(lut.errorString, reason);
}

void TestFmtCdl::picked_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("slopes");   // or the reason
    QTest::newRow("the first by default") << "" << "1 1 0.9";
    QTest::newRow("by id") << "cc0003" << "1.2 1.1 1";
    QTest::newRow("by place") << "2" << "0.9 0.7 0.6";
    QTest::newRow("one without an id, by place") << "5" << "1 1 1";
    QTest::newRow("a place beyond") << "6"
        << "no correction has the id \"6\" (the file holds 1 cc0001, 2 cc0002, 3 cc0003, 4 (empty id), 5 (no id))";
    QTest::newRow("an unknown id") << "cc9" << "no correction has the id \"cc9\" (the file holds 1 cc0001, 2 cc0002, 3 cc0003, 4 (empty id), 5 (no id))";
}

// A collection is read as the correction asked for; info lists the others.
void TestFmtCdl::picked()
{
    QFETCH(QString, id);
    QFETCH(QString, slopes);
    LutTransform t;
    QString why;
    if (!readCdl(corpus("cdl_test1.ccc"), t, &why, id, "ccc")) {
        QCOMPARE(why, slopes);
        return;
    }
    const Ops::AscCdl *c = cdlOf(t);
    QVERIFY(c);
    QCOMPARE(QStringLiteral("%1 %2 %3").arg(double(c->slope[0])).arg(double(c->slope[1])).arg(double(c->slope[2])), slopes);
    QCOMPARE(metadata(t, "corrections"), QStringLiteral("1 cc0001, 2 cc0002, 3 cc0003, 4 (empty id), 5 (no id)"));
}

void TestFmtCdl::corpusFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("numbers");   // slope / offset / power / saturation
    QTest::addColumn<QString>("id");
    QTest::newRow("cc") << "cdl_test1.cc" << "1.1 1.2 1.3 / 2.1 2.2 2.3 / 3.1 3.2 3.3 / 0.7" << "foo";
    QTest::newRow("cc, a second") << "cdl_test2.cc" << "1 1 0.9 / -0.03 -0.02 0 / 1.25 1 1 / 1.7" << "cc0001";
    QTest::newRow("ASC_SAT for SatNode") << "cdl_test_ASC_SAT.cc" << "1.1 1.2 1.3 / 2.1 2.2 2.3 / 3.1 3.2 3.3 / 0.42" << "foo";
    QTest::newRow("ASC_SOP for SOPNode") << "cdl_test_ASC_SOP.cc" << "1.1 1.2 1.3 / 2.1 2.2 2.3 / 3.1 3.2 3.3 / 0.42" << "foo";
    QTest::newRow("SATNode for SatNode") << "cdl_test_SATNode.cc" << "1.1 1.2 1.3 / 2.1 2.2 2.3 / 3.1 3.2 3.3 / 0.42" << "foo";
    QTest::newRow("a decision list's first") << "cdl_test1.cdl" << "1 1 0.9 / -0.03 -0.02 0 / 1.25 1 1 / 1.7" << "cc0001";
    QTest::newRow("a single correction named .ccc") << "cdl_test_cc_file_with_extension.ccc" << "1 1 1 / 0 0 0 / 1 1 1 / 1" << "";
}

void TestFmtCdl::corpusFiles()
{
    QFETCH(QString, file);
    QFETCH(QString, numbers);
    QFETCH(QString, id);
    LutTransform t;
    QString why;
    QVERIFY2(readCdl(corpus(file.toLatin1().constData()), t, &why, QString(), file.section(QLatin1Char('.'), -1).toLatin1().constData()), qPrintable(why));
    QVERIFY(cdlOf(t));
    QCOMPARE(numbersText(*cdlOf(t)), numbers);
    QCOMPARE(metadata(t, "id"), id);
}

void TestFmtCdl::writtenForms_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("text");
    const QByteArray body =
        "<Description>warmer</Description>\n"
        "    <SOPNode>\n"
        "        <Slope>1.2 1 0.8</Slope>\n"
        "        <Offset>-0.05 0.02 0.1</Offset>\n"
        "        <Power>1.4 1 0.7</Power>\n"
        "    </SOPNode>\n"
        "    <SatNode>\n"
        "        <Saturation>0.6</Saturation>\n"
        "    </SatNode>\n";
    QTest::newRow("cc") << "cc"
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ColorCorrection id=\"shot_010\" xmlns=\"urn:ASC:CDL:v1.2\">\n    "
               + body + "</ColorCorrection>\n";
    QByteArray nested = body;
    nested.replace("\n    ", "\n        ");
    QTest::newRow("ccc") << "ccc"
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ColorCorrectionCollection xmlns=\"urn:ASC:CDL:v1.2\">\n"
               "    <ColorCorrection id=\"shot_010\">\n        " + nested + "    </ColorCorrection>\n</ColorCorrectionCollection>\n";
    nested.replace("\n        ", "\n            ");
    QTest::newRow("cdl") << "cdl"
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ColorDecisionList xmlns=\"urn:ASC:CDL:v1.2\">\n    <ColorDecision>\n"
               "        <ColorCorrection id=\"shot_010\">\n            " + nested + "        </ColorCorrection>\n    </ColorDecision>\n</ColorDecisionList>\n";
}

// Each form is written with the correction's id and descriptions, numbers in the fewest decimals.
void TestFmtCdl::writtenForms()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, text);
    LutTransform t;
    QString why;
    QVERIFY2(readCdl(write(sampleText), t, &why), qPrintable(why));
    const Formats::Format &f = ::format(format.toLatin1().constData());
    QVERIFY(f.faithful->holds(t, Formats::Options()));
    const QString out = dir.filePath(QStringLiteral("out.") + format);
    Write_LUTFile writer;
    QVERIFY2(f.faithful->write(writer, out, t, Formats::Options()), qPrintable(writer.errorString));
    QCOMPARE(TestUtil::readText(out), text);
}

// Numbers of every magnitude come back as the very same floats, in decimals (no exponents).
void TestFmtCdl::roundTrip()
{
    auto node = std::make_shared<Ops::AscCdl>(1);
    const float values[10] = {1.1f, 3.0e-7f, 12345.678f, -0.0625f, 1e-12f, 0.1f, 0.3333333f, 2.5f, 7.0e-5f, 1.7f};
    std::copy(values, values + 3, node->slope);
    std::copy(values + 3, values + 6, node->offset);
    std::copy(values + 6, values + 9, node->power);
    node->saturation = values[9];
    LutTransform t;
    t.addNode(node);
    const QString out = dir.filePath(QStringLiteral("trip.cc"));
    Write_LUTFile writer;
    QVERIFY2(format("cc").faithful->write(writer, out, t, Formats::Options()), qPrintable(writer.errorString));
    QVERIFY(!QString::fromUtf8(TestUtil::readFile(out)).contains(QRegularExpression(QStringLiteral("\\d[eE][-+]?\\d"))));
    LutTransform back;
    QString why;
    QVERIFY2(readCdl(out, back, &why), qPrintable(why));
    const Ops::AscCdl *c = cdlOf(back);
    QVERIFY(c);
    QVERIFY(std::memcmp(c->slope, node->slope, sizeof node->slope) == 0 && std::memcmp(c->offset, node->offset, sizeof node->offset) == 0
            && std::memcmp(c->power, node->power, sizeof node->power) == 0 && c->saturation == node->saturation);
}

// A .cc holds one correction: a lattice, or a CDL of another style, is not written.
void TestFmtCdl::refusesTables()
{
    Read_LUTFile lut;
    TestUtil::fillSteps(lut);
    QString why;
    QVERIFY(!Formats::write(format("cc"), TestUtil::side(-1, dir.filePath(QStringLiteral("x.cc"))), lut, &why));
    QCOMPARE(why, QStringLiteral("an ASC CDL file holds one correction (slope, offset, power and saturation), not a table"));
    auto rev = std::make_shared<Ops::AscCdl>(1);
    rev->style = Ops::AscCdl::Rev;
    LutTransform t;
    t.addNode(rev);
    QVERIFY(!format("cc").faithful->holds(t, Formats::Options()));
    QVERIFY(!format("cc").faithful->holds(LutTransform::viewOf(lut), Formats::Options()));
}

void TestFmtCdl::optionNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("numbers");   // or the reason
    QTest::newRow("four") << "1.1,0.02,0.9,1.2" << "1.1 1.1 1.1 / 0.02 0.02 0.02 / 0.9 0.9 0.9 / 1.2";
    QTest::newRow("ten, with spaces") << "1, 1.1, 1.2, 0, -0.01, 0.01, 1, 0.9, 1.1, 0.8" << "1 1.1 1.2 / 0 -0.01 0.01 / 1 0.9 1.1 / 0.8";
    QTest::newRow("three") << "1,0,1" << "'1,0,1' is not 4 numbers (slope, offset, power, saturation) or 10 (three slopes, three offsets, three powers, saturation), separated by commas";
    QTest::newRow("a word") << "1,0,gamma,1" << "'gamma' in '1,0,gamma,1' is not a number";
    QTest::newRow("empty part") << "1,,1,1" << "'' in '1,,1,1' is not a number";
    QTest::newRow("negative power") << "1,0,-1,1" << "a Power of -1 is not above 0";
}

void TestFmtCdl::optionNumbers()
{
    QFETCH(QString, text);
    QFETCH(QString, numbers);
    Ops::AscCdl c(0);
    QString why;
    if (!Cdl::parseNumbers(text, c, &why)) {
        QCOMPARE(why, numbers);
        return;
    }
    QCOMPARE(numbersText(c), numbers);
}

QTEST_GUILESS_MAIN(TestFmtCdl)
#include "tst_fmt_cdl.moc"
