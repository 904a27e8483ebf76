#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>

#include "formats/registry.h"
#include "formats/look.h"
#include "lut/read_lutfile.h"
#include "testutil.h"

namespace {

constexpr int lookId = int(Formats::Id::Look);

// Eight lower-case digits, least significant byte first.
QByteArray hexOf(float v)
{
    quint32 bits;
    std::memcpy(&bits, &v, sizeof bits);
    QByteArray out;
    for (int byte = 0; byte < 4; ++byte)
        out += QByteArray::number((bits >> (8 * byte)) & 0xff, 16).rightJustified(2, '0');
    return out;
}

using TestUtil::identityValue;
using TestUtil::rampValue;

// The digits of an n-point lattice, red fastest, with `f` giving each value.
template <typename F>
QByteArray latticeDigits(int n, F f)
{
    QByteArray out;
    for (int b = 0; b < n; ++b)
        for (int g = 0; g < n; ++g)
            for (int r = 0; r < n; ++r)
                for (int ch = 0; ch < 3; ++ch)
                    out += hexOf(f(r, g, b, ch));
    return out;
}

QByteArray identityDigits(int n)
{
    return latticeDigits(n, [n](int r, int g, int b, int ch) { return identityValue(r, g, b, ch, n); });
}

// Digits wrapped `perLine` to a line, each line indented, as tools lay out long data.
QByteArray wrapped(const QByteArray &digits, int perLine, const QByteArray &indent, const QByteArray &eol)
{
    QByteArray out = eol;
    for (int at = 0; at < digits.size(); at += perLine)
        out += indent + digits.mid(at, perLine) + eol;
    return out;
}

QByteArray lookDoc(const QByteArray &size, const QByteArray &data, const QByteArray &eol = "\n")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + eol + "<look>" + eol + "  <LUT>" + eol + "    <size>" + size
           + "</size>" + eol + "    <data>" + data + "</data>" + eol + "  </LUT>" + eol + "</look>" + eol;
}

}

class TestFmtLook : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString put(const QByteArray &bytes) { return TestUtil::writeTemp(dir, QStringLiteral("t.look"), bytes); }

private slots:
    void hexDigit_data()
    {
        QTest::addColumn<char>("ch");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("ok");
        QTest::newRow("0") << '0' << 0 << true;
        QTest::newRow("9") << '9' << 9 << true;
        QTest::newRow("a") << 'a' << 10 << true;
        QTest::newRow("f") << 'f' << 15 << true;
        QTest::newRow("A") << 'A' << 10 << true;
        QTest::newRow("F") << 'F' << 15 << true;
        QTest::newRow("g") << 'g' << 0 << false;
        QTest::newRow("G") << 'G' << 0 << false;
        QTest::newRow("/ before 0") << '/' << 0 << false;
        QTest::newRow(": after 9") << ':' << 0 << false;
        QTest::newRow("@ before A") << '@' << 0 << false;
        QTest::newRow("` before a") << '`' << 0 << false;
        QTest::newRow("NUL") << '\0' << 0 << false;
        QTest::newRow("high byte") << char(0xe9) << 0 << false;
    }
    void hexDigit()
    {
        QFETCH(char, ch);
        QFETCH(int, value);
        QFETCH(bool, ok);
        char got = 99;
        QCOMPARE(hexasciitoint(got, ch), ok);
        QCOMPARE(int(got), value);
    }

    void hexFloat_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<float>("value");
        const float unchanged = 42.0f;
        QTest::newRow("1.0") << QByteArray("0000803f") << true << 1.0f;
        QTest::newRow("1.0 upper") << QByteArray("0000803F") << true << 1.0f;
        QTest::newRow("0.5") << QByteArray("0000003f") << true << 0.5f;
        QTest::newRow("-1.0") << QByteArray("000080bf") << true << -1.0f;
        QTest::newRow("0.1 all bytes used") << QByteArray("cdcccc3d") << true << 0.1f;
        QTest::newRow("extra digits ignored") << QByteArray("0000803fffff") << true << 1.0f;
        QTest::newRow("g last") << QByteArray("0000803g") << false << unchanged;
        QTest::newRow("blank inside") << QByteArray("0000 03f") << false << unchanged;
        QTest::newRow("ends early") << QByteArray("0000", 5) << false << unchanged;
    }
    void hexFloat()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        QFETCH(float, value);
        float got = 42.0f;
        QCOMPARE(hexasciitofloat(got, text.constData()), ok);
        QCOMPARE(got, value);
    }

    void hexFloatBitExact()
    {
        const float values[] = {0.0f, -0.0f, 1e-40f, 3.4e38f, -123.456f, std::numeric_limits<float>::infinity()};
        for (float v : values) {
            float got = 0.0f;
            QVERIFY(hexasciitofloat(got, hexOf(v).constData()));
            QCOMPARE(std::memcmp(&got, &v, sizeof v), 0);
        }
    }

    // The 2-point identity in the layouts tools write: one run, wrapped and indented, quoted,
    // upper case, CRLF, wrapped in sections the reader skips.
    void identity2_data()
    {
        QTest::addColumn<QByteArray>("file");
        const QByteArray d = identityDigits(2);
        QTest::newRow("one run") << lookDoc("2", d);
        QTest::newRow("quoted") << lookDoc("\"2\"", "\"" + d + "\"");
        QTest::newRow("wrapped indented") << lookDoc("2", wrapped(d, 24, "      ", "\n") + "    ");
        QTest::newRow("wrapped odd width") << lookDoc("\n  2\n", wrapped(d, 13, "\t", "\n"));
        QTest::newRow("CRLF quoted wrapped") << lookDoc("\"2\"", "\"" + wrapped(d, 48, "      ", "\r\n") + "\"", "\r\n");
        QTest::newRow("upper case") << lookDoc("2", d.toUpper());
        QTest::newRow("BOM") << "\xEF\xBB\xBF" + lookDoc("2", d);
        QTest::newRow("CDATA") << lookDoc("2", "<![CDATA[" + d + "]]>");
        QTest::newRow("extra digits") << lookDoc("2", d + "0000803fzz");
        QTest::newRow("data before size ignored") << lookDoc("2", d).replace("<size>", "<data>zz" + d + "</data><size>");
        QTest::newRow("with shaders and ASC")
            << QByteArray("<?xml version=\"1.0\"?>\n<look version=\"1\">\n  <!-- graded look -->\n"
                          "  <shaders>\n    <base><LUT><size>3</size><data>00</data></LUT></base>\n  </shaders>\n"
                          "  <ASC><sop><slope>1 1 1</slope></sop></ASC>\n"
                          "  <meta><name>grade</name></meta>\n"
                          "  <LUT>\n    <size>\"2\"</size>\n    <data>\"" + d + "\"</data>\n  </LUT>\n</look>\n");
    }
    void identity2()
    {
        QFETCH(QByteArray, file);
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(lookId, put(file)), false), qPrintable(lut.errorString));
        TestUtil::compareCleanRead(lut, true, false);
        TestUtil::compareLattice(lut, 2, identityValue);
        QCOMPARE(lut.lut1DSize, 0);
    }

    void lattice9()
    {
        Read_LUTFile lut;
        const QByteArray d = latticeDigits(9, [](int r, int g, int b, int ch) { return rampValue(r, g, b, ch, 9); });
        QVERIFY2(lut.ReadFile(TestUtil::side(lookId, put(lookDoc("\"9\"", "\"" + wrapped(d, 96, "        ", "\r\n") + "\"", "\r\n"))), false),
                 qPrintable(lut.errorString));
        TestUtil::compareLattice(lut, 9, rampValue);
    }

    // The caller's orders instead of the format's: blue-fastest nodes, samples B G R.
    void callerOrders()
    {
        const int n = 3;
        QByteArray d;
        for (int r = 0; r < n; ++r)
            for (int g = 0; g < n; ++g)
                for (int b = 0; b < n; ++b)
                    for (int ch = 2; ch >= 0; --ch)
                        d += hexOf(rampValue(r, g, b, ch, n));
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(lookId, put(lookDoc("3", d)), false, false, true), false), qPrintable(lut.errorString));
        TestUtil::compareLattice(lut, n, rampValue);
    }

    // A channel above 1 is scaled down by its largest sample; negatives and infinities clamp.
    void scaling()
    {
        const float inf = std::numeric_limits<float>::infinity();
        const QByteArray d = latticeDigits(2, [inf](int r, int g, int b, int ch) {
            if (ch == 0)
                return r == 1 && g == 1 && b == 1 ? 2.0f : float(r);   // red up to 2
            if (ch == 1)
                return g == 1 && b == 1 ? -0.5f : float(g);             // a negative green
            return r == 1 && g == 0 && b == 0 ? inf : 0.25f * float(b); // an infinite blue
        });
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(lookId, put(lookDoc("2", d))), false), qPrintable(lut.errorString));
        QCOMPARE(lut.lut3D[1][0][0][0], 0.5f);
        QCOMPARE(lut.lut3D[1][1][1][0], 1.0f);
        QCOMPARE(lut.lut3D[0][0][0][0], 0.0f);
        QCOMPARE(lut.lut3D[0][1][0][1], 1.0f);
        QCOMPARE(lut.lut3D[0][1][1][1], 0.0f);
        QCOMPARE(lut.lut3D[0][0][1][2], 0.25f);   // blue keeps its scale: the infinity is no maximum
        QCOMPARE(lut.lut3D[1][0][0][2], 1.0f);
        for (int ch = 0; ch < 3; ++ch)
            QCOMPARE(lut.domainMax3D[ch], 1.0f);
    }

    // A 1D table beside the lattice; the format's orders store its entries reversed.
    void withTable1D()
    {
        QByteArray d1;
        for (int i = 0; i < 4; ++i)
            d1 += hexOf(i / 3.0f) + hexOf(2.0f * i / 3.0f) + hexOf(0.5f);
        const QByteArray doc = "<look>\n <LUT1D>\n  <size>\"4\"</size>\n  <data>\"" + wrapped(d1, 24, "   ", "\n")
                               + "\"</data>\n </LUT1D>\n <LUT><size>2</size><data>" + identityDigits(2) + "</data></LUT>\n</look>";
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(lookId, put(doc)), false), qPrintable(lut.errorString));
        QCOMPARE(lut.lut1DSize, 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(lut.lut1D[i][0], 0.5f);
            QCOMPARE(lut.lut1D[i][1], (2.0f * i / 3.0f) / 2.0f);
            QCOMPARE(lut.lut1D[i][2], i / 3.0f);
        }
        for (int ch = 0; ch < 3; ++ch)
            QCOMPARE(lut.domainMax1D[ch], 1.0f);
        TestUtil::compareLattice(lut, 2, identityValue);
    }

    // Damaged variants of a good 2-point sample, each with the reason it must give.
    void damaged_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("latticeRead");   // the error came after a complete lattice
        const QByteArray d = identityDigits(2);
        QByteArray foreign = d;
        foreign[24 * 5 + 8 + 3] = 'x';
        QByteArray quoted = "\"" + wrapped(d, 48, "      ", "\n") + "    \"";
        quoted.replace(quoted.indexOf("0000803f", 60), 1, "\xc3\xa9");   // é in sample 3, line 7
        const QString e = QStringLiteral("\u00e9");
        QTest::newRow("truncated in data") << lookDoc("2", d).left(150) << "line 5, column 77: Premature end of document." << false;
        QTest::newRow("truncated after LUT") << lookDoc("2", d).left(292) << "line 7, column 0: Premature end of document." << true;
        QTest::newRow("tag mismatch") << lookDoc("2</sise><size>2", d)
                                      << "line 4, column 18: Opening and ending tag mismatch." << false;
        QTest::newRow("not XML") << QByteArray("LUT_3D_SIZE 2\n0 0 0\n") << "line 1, column 1: Start tag expected." << false;
        QTest::newRow("empty file") << QByteArray() << "line 1, column 0: Premature end of document." << false;
        QTest::newRow("digits short") << lookDoc("2", d.left(24 * 7 + 20))
                                      << "line 5: LUT data holds 188 hexadecimal digits; 8 samples need 192" << false;
        QTest::newRow("foreign digit") << lookDoc("2", foreign)
                                       << "line 5, column 142: LUT data sample 6 of 8 holds \"x\", which is not a hexadecimal digit" << false;
        QTest::newRow("non-ASCII in wrapped data")
            << lookDoc("2", quoted) << "line 7, column 15: LUT data sample 3 of 8 holds \"" + e + "\", which is not a hexadecimal digit" << false;
        QTest::newRow("size not a number") << lookDoc("two", d) << "line 4: LUT size \"two\" is not a whole number" << false;
        QTest::newRow("size too large") << lookDoc("300", d) << "line 4: 3D size 300 is outside 1 to 256" << false;
        QTest::newRow("size negative") << lookDoc("-2", d) << "line 4: 3D size -2 is outside 1 to 256" << false;
        QTest::newRow("1D size too large")
            << QByteArray("<look>\n<LUT1D>\n<size>2000000</size>\n</LUT1D>\n</look>") << "line 3: 1D size 2000000 is outside 1 to 1048576" << false;
        QTest::newRow("data before size, none after")
            << QByteArray("<look>\n  <LUT>\n    <data>" + d + "</data>\n    <size>2</size>\n  </LUT>\n</look>\n")
            << "line 4: LUT size 2 has no data after it" << false;
        QTest::newRow("size without data") << lookDoc("2", "\"  \"") << "line 4: LUT size 2 has no data after it" << false;
        QTest::newRow("1D data short")
            << QByteArray("<look>\n<LUT1D>\n<size>2</size>\n<data>0000803f0000803f0000803f</data>\n</LUT1D>\n</look>")
            << "line 4: LUT1D data holds 24 hexadecimal digits; 2 samples need 48" << false;
        QTest::newRow("LUT only inside shaders")
            << QByteArray("<look><shaders><LUT><size>2</size><data>" + d + "</data></LUT></shaders></look>")
            << "no LUT or LUT1D element with a size" << false;
    }
    void damaged()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        QFETCH(bool, latticeRead);
        Read_LUTFile lut;
        QVERIFY(!lut.ReadFile(TestUtil::side(lookId, put(file)), false));
        QCOMPARE(lut.errorString, reason);
        // What was read before the damage stands; nothing is stored from damaged data, and no
        // scale is left behind.
        if (latticeRead)
            TestUtil::compareLattice(lut, 2, identityValue);
        else if (lut.lut3D)
            for (std::size_t i = 0; i < lut.lut3D.floatCount(); ++i)
                QCOMPARE(lut.lut3D.data()[i], 0.0f);
        for (int ch = 0; ch < 3; ++ch)
            QCOMPARE(lut.domainMax3D[ch], 1.0f);
    }
};

QTEST_GUILESS_MAIN(TestFmtLook)
#include "tst_fmt_look.moc"
