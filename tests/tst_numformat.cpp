// NumFormat and TextWriter number printing against QTextStream itself, over some million
// values: every value the writers can print must come out byte for byte as the stream prints it.

#include <QTextStream>
#include <QtTest>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "lut/platform.h"
#include "lut/numformat.h"
#include "lut/numscan.h"
#include "lut/textwriter.h"

namespace {

enum ValueSet {
    Grid128,          // every multiple of 1/128 in [-4, 4]: every tie at six decimals there
    GeneralTies,      // odd multiples of 2^-j where six significant digits end in an exact half
    IntegerTies,      // integers from 10^6 up, where ties of the general form are whole numbers
    Boundaries,       // runs of consecutive floats around rounding and notation boundaries
    RandomBits,       // random bit patterns: every exponent, denormals, NaN, infinities
    RandomUnit,       // random values in [-1, 2], what LUT files mostly hold
    Specials,
};

float fromBits(quint32 bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

quint32 toBits(float f)
{
    quint32 bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// `count` consecutive floats centred on x, and their negatives.
void addRun(std::vector<float> &out, float x, int count)
{
    const quint32 mid = toBits(x);
    for (int i = -count / 2; i < count / 2; ++i) {
        const float f = fromBits(quint32(qint64(mid) + i));
        out.push_back(f);
        out.push_back(-f);
    }
}

std::vector<float> floatSet(ValueSet set)
{
    std::vector<float> v;
    std::mt19937 rng(20240611u + unsigned(set));
    switch (set) {
    case Grid128:
        for (int i = -512; i <= 512; ++i)
            v.push_back(float(i) / 128.0f);
        break;
    case GeneralTies:
        // m * 2^-j with m odd is a tie of the general form exactly in [10^(6-j), 10^(7-j)):
        // the first and last 50,000 of each decade, and all of the short ones.
        for (int j = 1; j <= 12; ++j) {
            const qint64 first = qint64(std::ceil(std::pow(10.0, 6 - j) * std::ldexp(1.0, j))) | 1;
            const qint64 end = qint64(std::ceil(std::pow(10.0, 7 - j) * std::ldexp(1.0, j)));
            qint64 m = first;
            for (; m < end && m < first + 100000; m += 2)
                v.push_back(float(std::ldexp(double(m), -j)));
            m = std::max(m, (end - 100000) | 1);
            for (; m < end; m += 2)
                v.push_back(float(std::ldexp(double(m), -j)));
        }
        break;
    case IntegerTies:
        for (int i = 0; i < 200000; ++i)
            v.push_back(float(1000000 + i));
        for (int i = -100000; i < 100000; ++i)
            v.push_back(float(10000000 + i));
        for (int i = 0; i < 100000; ++i)   // even integers above 2^24, ties need 5^2 | m
            v.push_back(float(16777216 + 2 * i));
        for (int i = 0; i < 200000; ++i)
            v.push_back(float(std::uniform_int_distribution<int>(1, 1 << 24)(rng)) * 1024.0f);
        break;
    case Boundaries:
        for (float x : {0.0000005f, 0.0000015f, 0.0009995f, 0.0078125f, 0.1f, 0.4999995f, 0.5f,
                        0.9999995f, 1.0f, 1.0000005f, 2.0f, 9.9999995f, 10.0f, 99999.95f,
                        100000.0f, 999999.5f, 1000000.0f, 0.0001f, 0.00001f, 1e-5f, 9.99999e-5f,
                        1e15f, 1.8446744e19f, 1e30f})
            addRun(v, x, 20000);
        break;
    case RandomBits:
        for (int i = 0; i < 250000; ++i)
            v.push_back(fromBits(quint32(rng())));
        break;
    case RandomUnit: {
        std::uniform_real_distribution<float> d(-1.0f, 2.0f);
        for (int i = 0; i < 1000000; ++i)
            v.push_back(d(rng));
        for (int i = 0; i <= 65535; ++i)   // 16-bit code values and 10-bit ones, as LUTs hold
            v.push_back(float(i) / 65535.0f);
        for (int i = 0; i <= 1023; ++i)
            v.push_back(float(i) / 1023.0f);
        break;
    }
    case Specials:
        v = {0.0f, -0.0f, 1e-9f, -1e-9f, 5e-7f, -5e-7f, 4.9999997e-7f,
             std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
             std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
             FLT_MAX, -FLT_MAX, FLT_MIN, -FLT_MIN, std::numeric_limits<float>::denorm_min(),
             -std::numeric_limits<float>::denorm_min(), FLT_EPSILON, 16777216.0f, 16777215.0f,
             4294967296.0f, 18446744073709551616.0f, 9223372036854775808.0f};
        break;
    }
    return v;
}

using Printer = char *(*)(char *, double);

// Our text for all values, one per line, against the stream's in the given notation; on a
// difference, the first value that differs is reported with both texts.
template <typename T>
void compareWithStream(const std::vector<T> &values, Printer ours, QTextStream::RealNumberNotation notation)
{
    QByteArray mine;
    mine.reserve(int(values.size()) * 12);
    char buf[NumFormat::maxLength];
    for (T x : values) {
        mine.append(buf, int(ours(buf, double(x)) - buf));
        mine.append('\n');
    }
    QString theirs;
    {
        QTextStream ts(&theirs);
        ts.setRealNumberNotation(notation);
        for (T x : values)
            ts << x << '\n';
    }
    if (mine == theirs.toLatin1())
        return;
    for (T x : values) {
        QString expected;
        QTextStream ts(&expected);
        ts.setRealNumberNotation(notation);
        ts << x;
        ts.flush();
        const QByteArray got(buf, int(ours(buf, double(x)) - buf));
        if (got != expected.toLatin1()) {
            const QByteArray what = QByteArray::number(double(x), 'g', 17);
            QCOMPARE(QString::fromLatin1(got + " for " + what), expected + " for " + what);
        }
    }
    QFAIL("bulk texts differ but no single value does");
}

void addSetRows()
{
    QTest::addColumn<int>("set");
    QTest::newRow("multiples of 1/128 in [-4, 4]") << int(Grid128);
    QTest::newRow("general-form ties") << int(GeneralTies);
    QTest::newRow("integers from 10^6") << int(IntegerTies);
    QTest::newRow("runs across boundaries") << int(Boundaries);
    QTest::newRow("random bit patterns") << int(RandomBits);
    QTest::newRow("random in [-1, 2]") << int(RandomUnit);
    QTest::newRow("specials") << int(Specials);
}

std::vector<double> doubleSet()
{
    std::vector<double> v;
    std::mt19937_64 rng(77);
    for (int i = 0; i < 20000; ++i) {
        const quint64 bits = rng();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        v.push_back(d);
    }
    std::uniform_real_distribution<double> unit(-2.0, 2.0);
    for (int i = 0; i < 100000; ++i)
        v.push_back(unit(rng));   // up to 53 significant fractional bits
    for (int i = 0; i < 5000; ++i)
        v.push_back(std::ldexp(double(rng() >> 11), 11 + int(rng() % 60)));   // 2^64 and beyond
    // Ties of the general form among large whole numbers: d5 * 10^q with d of six digits.
    for (int q = 0; q <= 15; ++q)
        for (int i = 0; i < 500; ++i)
            v.push_back(double(std::uniform_int_distribution<int>(100000, 999999)(rng) * 10 + 5) * std::pow(10.0, q));
    for (double d : {0.1234565, 1e21, 1e23, 1e100, 1e300, DBL_MAX, DBL_MIN, 5e-324, -5e-324,
                     18446744073709551615.0, 9007199254740993.0, 0.5000005, 4503599627370495.5})
        v.push_back(d);
    return v;
}

}

class tst_NumFormat : public QObject
{
    Q_OBJECT
private slots:
    void knownForms_data();
    void knownForms();
    void fixedMatchesStream_data() { addSetRows(); }
    void fixedMatchesStream();
    void generalMatchesStream_data() { addSetRows(); }
    void generalMatchesStream();
    void doublesMatchStream();
    void writerMatchesStream();
    void integer_data();
    void integer();
    void scaled_data();
    void scaled();
    void shortest_data();
    void shortest();
    void shortestReadsBack_data() { addSetRows(); }
    void shortestReadsBack();
};

// The stream's own quirks, spelled out.
void tst_NumFormat::knownForms_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("fixed");
    QTest::addColumn<QString>("general");
    QTest::newRow("tie rounds up") << 0.0078125 << "0.007813" << "0.0078125";
    QTest::newRow("general tie rounds up") << 10.03125 << "10.031250" << "10.0313";
    QTest::newRow("negative zero") << -0.0 << "0.000000" << "0";
    QTest::newRow("tiny negative") << -1e-9 << "-0.000000" << "-1e-09";
    QTest::newRow("million") << 1e6 << "1000000.000000" << "1e+06";
    QTest::newRow("below 1e-4") << 1e-7 << "0.000000" << "1e-07";
    QTest::newRow("two digits") << 2.5e-5 << "0.000025" << "2.5e-05";
    QTest::newRow("rounded exponent") << 1234567.0 << "1234567.000000" << "1.23457e+06";
    QTest::newRow("carry into exponent") << 999999.5 << "999999.500000" << "1e+06";
    QTest::newRow("six digits") << 100000.0 << "100000.000000" << "100000";
    QTest::newRow("1e-4") << 0.0001 << "0.000100" << "0.0001";
    QTest::newRow("carry into units") << 0.9999995 << "1.000000" << "1";
    QTest::newRow("nan") << double(NAN) << "nan" << "nan";
    QTest::newRow("inf") << double(INFINITY) << "inf" << "inf";
    QTest::newRow("-inf") << -double(INFINITY) << "-inf" << "-inf";
    QTest::newRow("three-digit exponent") << 1e-310 << "0.000000" << "1e-310";
}

void tst_NumFormat::knownForms()
{
    QFETCH(double, value);
    QFETCH(QString, fixed);
    QFETCH(QString, general);
    char buf[NumFormat::maxLength];
    QCOMPARE(QString::fromLatin1(buf, int(NumFormat::fixed6(buf, value) - buf)), fixed);
    QCOMPARE(QString::fromLatin1(buf, int(NumFormat::general6(buf, value) - buf)), general);
}

void tst_NumFormat::fixedMatchesStream()
{
    QFETCH(int, set);
    compareWithStream(floatSet(ValueSet(set)), NumFormat::fixed6, QTextStream::FixedNotation);
}

void tst_NumFormat::generalMatchesStream()
{
    QFETCH(int, set);
    compareWithStream(floatSet(ValueSet(set)), NumFormat::general6, QTextStream::SmartNotation);
}

// Doubles that no float holds: more fractional bits than the integer path takes, and whole
// numbers beyond 64 bits.
void tst_NumFormat::doublesMatchStream()
{
    const std::vector<double> values = doubleSet();
    compareWithStream(values, NumFormat::fixed6, QTextStream::FixedNotation);
    compareWithStream(values, NumFormat::general6, QTextStream::SmartNotation);
}

// The writers' output object: a field of 8 in fixed notation, and the current notation.
void tst_NumFormat::writerMatchesStream()
{
    std::vector<float> values = floatSet(Grid128);
    for (float f : floatSet(Specials))
        values.push_back(f);
    const std::vector<float> boundaries = floatSet(Boundaries);
    for (std::size_t i = 0; i < boundaries.size(); i += 5)
        values.push_back(boundaries[i]);
    std::vector<float> random = floatSet(RandomBits);
    values.insert(values.end(), random.begin(), random.begin() + 100000);

    TextWriter writer;
    QString expected;
    QTextStream ts(&expected);
    for (float f : values) {
        writer.putReal(f);   // general until switched
        writer.put(' ');
        ts << f << ' ';
        writer.putFixed(f, 8);
        writer.put(' ');
        ts.setRealNumberNotation(QTextStream::FixedNotation);
        ts.setFieldWidth(8);
        ts << f;
        ts.setFieldWidth(0);
        ts << ' ';
        writer.setFixed(true);
        writer.putReal(f);
        writer.setFixed(false);
        writer.endLine();
        ts << f << '\n';
        ts.setRealNumberNotation(QTextStream::SmartNotation);
    }
    ts.flush();
    const QList<QByteArray> got = writer.buffer().replace(QByteArray(Platform::lineEnd), "\n").split('\n');
    const QList<QByteArray> want = expected.toLatin1().split('\n');
    QCOMPARE(got.size(), want.size());
    for (int i = 0; i < got.size(); ++i)
        if (got[i] != want[i])
            QCOMPARE(got[i], want[i]);
    QVERIFY(writer.isFixed() == false);
}

void tst_NumFormat::integer_data()
{
    QTest::addColumn<qint64>("value");
    QTest::newRow("0") << qint64(0);
    QTest::newRow("9") << qint64(9);
    QTest::newRow("-10") << qint64(-10);
    QTest::newRow("1023") << qint64(1023);
    QTest::newRow("99999999999") << qint64(99999999999);
    QTest::newRow("max") << std::numeric_limits<qint64>::max();
    QTest::newRow("min") << std::numeric_limits<qint64>::min();
}

void tst_NumFormat::integer()
{
    QFETCH(qint64, value);
    QString expected;
    QTextStream(&expected) << value;
    char buf[32];
    QCOMPARE(QString::fromLatin1(buf, int(NumFormat::integer(buf, value) - buf)), expected);
}

void tst_NumFormat::scaled_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<qint64>("scale");
    QTest::addColumn<qint64>("expected");
    const qint64 max = std::numeric_limits<qint64>::max(), min = std::numeric_limits<qint64>::min();
    QTest::newRow("half of 1023 truncates") << 0.5f << qint64(1023) << qint64(511);
    QTest::newRow("quarter of 1023") << 0.25f << qint64(1023) << qint64(255);
    QTest::newRow("full scale") << 1.0f << qint64(1023) << qint64(1023);
    QTest::newRow("negative toward zero") << -0.5f << qint64(1023) << qint64(-511);
    QTest::newRow("small negative is 0") << -0.0001f << qint64(1023) << qint64(0);
    QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << qint64(4095) << qint64(0);
    QTest::newRow("inf saturates") << std::numeric_limits<float>::infinity() << qint64(2) << max;
    QTest::newRow("-inf saturates") << -std::numeric_limits<float>::infinity() << qint64(2) << min;
    QTest::newRow("overflow saturates") << 1e30f << qint64(1000000000000) << max;
    QTest::newRow("negative overflow") << -1e30f << qint64(1000000000000) << min;
    QTest::newRow("2^63 saturates") << 1.0f << max << max;
    QTest::newRow("-2^63 is exact") << -1.0f << max << min;
    QTest::newRow("large exact") << 0.75f << (qint64(1) << 62) << qint64(3458764513820540928);
    // The scale becomes a float first: 2^24 + 1 is 2^24.
    QTest::newRow("scale rounded to float") << 1.0f << qint64(16777217) << qint64(16777216);
    // The product is rounded to float before truncation: 0.7f * 10 is 6.99999988 exactly,
    // but 7.0f in single precision.
    QTest::newRow("single-precision product") << 0.7f << qint64(10) << qint64(7);
    QTest::newRow("zero scale") << 0.5f << qint64(0) << qint64(0);
}

void tst_NumFormat::scaled()
{
    QFETCH(float, value);
    QFETCH(qint64, scale);
    QFETCH(qint64, expected);
    QCOMPARE(NumFormat::scaled(value, scale), expected);
}

void tst_NumFormat::shortest_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("one digit") << 0.1f << "0.1";
    QTest::newRow("eight digits") << 0.3333333433f << "0.33333334";
    QTest::newRow("nine digits") << 1000.00024f << "1000.00024";
    QTest::newRow("negative zero keeps its sign") << -0.0f << "-0";
    QTest::newRow("whole") << 4095.0f << "4095";
    QTest::newRow("trailing zeros of a whole number") << 1e8f << "100000000";
    QTest::newRow("exponent form above 10^9") << 1e9f << "1e+09";
    QTest::newRow("fixed down to 10^-5") << 2.5e-5f << "0.000025";
    QTest::newRow("exponent form below") << -2.5e-6f << "-2.5e-06";
    QTest::newRow("smallest denormal") << std::numeric_limits<float>::denorm_min() << "1e-45";
    QTest::newRow("largest float") << std::numeric_limits<float>::max() << "3.4028235e+38";
    QTest::newRow("infinity") << -std::numeric_limits<float>::infinity() << "-inf";
}

void tst_NumFormat::shortest()
{
    QFETCH(float, value);
    QFETCH(QString, text);
    char buf[32];
    QCOMPARE(QString::fromLatin1(buf, int(NumFormat::shortest(buf, value) - buf)), text);
}

void tst_NumFormat::shortestReadsBack()
{
    QFETCH(int, set);
    char buf[32];
    for (float x : floatSet(ValueSet(set))) {
        const int len = int(NumFormat::shortest(buf, x) - buf);
        float back;
        NumScan::Cursor c{buf, buf + len};
        const bool ok = NumScan::readFloat(c, back) && c.p == c.end && len <= 16;
        if (!ok || (toBits(back) != toBits(x) && !std::isnan(x)))
            QFAIL(qPrintable(QStringLiteral("%1 printed as %2").arg(double(x), 0, 'g', 9).arg(QString::fromLatin1(buf, len))));
    }
}

QTEST_GUILESS_MAIN(tst_NumFormat)
#include "tst_numformat.moc"
