// The shared line reader gives the lines a text-mode QFile read through QTextStream::readLine
// and QString::trimmed gives, with physical line numbers, and also ends lines at a lone CR.
#include <QtTest>

#include <random>

#include "lut/linereader.h"
#include "testutil.h"

namespace {

QStringList qtLines(const QByteArray &text)
{
    QBuffer f;
    f.setData(text);
    f.open(QIODevice::ReadOnly | QIODevice::Text);
    QTextStream ts(&f);
    ts.setCodec("UTF-8");
    QStringList out;
    while (!ts.atEnd())
        out << ts.readLine().trimmed();
    return out;
}

QStringList ourLines(const QByteArray &text)
{
    LineReader r;
    QStringList out;
    r.setText(text);
    while (r.next())
        out << r.text();
    return out;
}

// Random text built from pieces a LUT file may hold, with every line end but the lone CR
// (which Qt drops instead of ending the line).
QByteArray randomText(std::mt19937 &rng)
{
    static const char *pieces[] = {
        "0.5", " ", "\t", "  ", "1.25e-3", "LUT_3D_SIZE 33", "# comment", "TITLE \"x\"", "\xc2\xa0", "\xe2\x80\x83",
        "\xe5\xa1\x94", "\xff", "\x80", "\v", "\f", "x", "-", "\xef\xbb\xbf", "\x01",
    };
    QByteArray t;
    if (rng() % 4 == 0)
        t += "\xef\xbb\xbf";
    const int lines = int(rng() % 12);
    for (int l = 0; l < lines; ++l) {
        const int n = int(rng() % 6);
        for (int i = 0; i < n; ++i)
            t += pieces[rng() % (sizeof pieces / sizeof *pieces)];
        t += (rng() % 3 == 0) ? "\r\n" : "\n";
    }
    if (rng() % 2)
        t += "0.25 0.5 0.75";   // last line without a line end
    return t;
}

}

class TestLineReader : public QObject
{
    Q_OBJECT
private slots:
    void matchesQTextStream();
    void lineEndsAndNumbers_data();
    void lineEndsAndNumbers();
    void helpers();
    void rewind();
    void missingFile();
    void fileMatchesText();
    void ranges();
};

void TestLineReader::matchesQTextStream()
{
    std::mt19937 rng(99);
    for (int round = 0; round < 20000; ++round) {
        const QByteArray text = randomText(rng);
        const QStringList expect = qtLines(text);
        const QStringList got = ourLines(text);
        if (got != expect)
            QFAIL(qPrintable(QStringLiteral("text %1: got %2, Qt gives %3")
                                 .arg(QString::fromLatin1(text.toHex()), got.join('|'), expect.join('|'))));
    }
}

void TestLineReader::lineEndsAndNumbers_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QList<int>>("numbers");
    QTest::newRow("LF") << QByteArray("a\nb\n") << QStringList{"a", "b"} << QList<int>{1, 2};
    QTest::newRow("CRLF") << QByteArray("a\r\n\r\nb") << QStringList{"a", "", "b"} << QList<int>{1, 2, 3};
    QTest::newRow("lone CR") << QByteArray("a\rb\r") << QStringList{"a", "b"} << QList<int>{1, 2};
    QTest::newRow("BOM") << QByteArray("\xef\xbb\xbf  x  \n") << QStringList{"x"} << QList<int>{1};
    QTest::newRow("no-break spaces") << QByteArray("\xc2\xa0" "0.5\xc2\xa0\n") << QStringList{"0.5"} << QList<int>{1};
    QTest::newRow("empty") << QByteArray() << QStringList{} << QList<int>{};
    QTest::newRow("only line end") << QByteArray("\n") << QStringList{""} << QList<int>{1};
}

void TestLineReader::lineEndsAndNumbers()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, lines);
    QFETCH(QList<int>, numbers);
    LineReader r;
    r.setText(text);
    QStringList got;
    QList<int> nums;
    while (r.next()) {
        got << r.text();
        nums << r.lineNumber();
    }
    QCOMPARE(got, lines);
    QCOMPARE(nums, numbers);
}

void TestLineReader::helpers()
{
    LineReader r;
    r.setText("\n\n  LUT_3D_SIZE 17 \n#c\n");
    QVERIFY(r.nextNonEmpty());
    QCOMPARE(r.lineNumber(), 3);
    QVERIFY(r.startsWith("LUT_3D"));
    QVERIFY(!r.startsWith("UT_3D"));
    QVERIFY(r.contains("3D_SIZE 1"));
    QVERIFY(r.contains("17"));
    QVERIFY(!r.contains("171"));
    QVERIFY(r.equals("LUT_3D_SIZE 17"));
    QVERIFY(!r.equals("LUT_3D_SIZE 1"));
    QCOMPARE(r.first(), 'L');
    QCOMPARE(r.line(), QByteArray("LUT_3D_SIZE 17"));
    QVERIFY(r.nextNonEmpty());
    QCOMPARE(r.first(), '#');
    QVERIFY(!r.nextNonEmpty());
    QVERIFY(r.isEmpty());
}

void TestLineReader::rewind()
{
    LineReader r;
    r.setText("\xef\xbb\xbf" "one\ntwo\n");
    QVERIFY(r.next());
    QVERIFY(r.next());
    QVERIFY(!r.next());
    r.rewind();
    QVERIFY(r.next());
    QCOMPARE(r.text(), QStringLiteral("one"));
    QCOMPARE(r.lineNumber(), 1);
}

void TestLineReader::missingFile()
{
    LineReader r;
    QVERIFY(!r.open(QStringLiteral("/nonexistent/folder/lut.cube")));
    QVERIFY(r.errorString().contains("lut.cube"));
    QVERIFY(!r.next());
}

void TestLineReader::fileMatchesText()
{
    QTemporaryDir dir;
    const QByteArray text("\xef\xbb\xbf# x\r\n  0.5 0.25\t\n\nlast");
    QVERIFY(TestUtil::writeFile(dir.filePath("f.cube"), text));
    LineReader r;
    QVERIFY(r.open(dir.filePath("f.cube")));
    QStringList got;
    while (r.next())
        got << r.text();
    QCOMPARE(got, qtLines(text));
}

// A file read in two byte ranges split after a line end gives the lines of the whole file,
// each range numbering from its own first line and rewinding to it, windows apart.
void TestLineReader::ranges()
{
    QTemporaryDir dir;
    QByteArray text("\xef\xbb\xbf" "first\r\n");
    for (int i = 0; text.size() < 700000; ++i)
        text += QByteArray::number(i) + (i % 5 == 0 ? " \r\n" : i % 7 == 0 ? "\ra\n" : "  0.5\n");
    const QString path = dir.filePath("f.txt");
    QVERIFY(TestUtil::writeFile(path, text));
    const QStringList whole = ourLines(text);
    for (const qint64 split : {qint64(text.indexOf('\n') + 1), qint64(text.indexOf('\n', 300000) + 1), qint64(text.size())}) {
        QStringList got;
        for (const auto &range : {std::make_pair(qint64(0), split), std::make_pair(split, qint64(-1))}) {
            LineReader r;
            QVERIFY(r.open(path, range.first, range.second));
            int lines = 0;
            while (r.next()) {
                got << r.text();
                QCOMPARE(r.lineNumber(), ++lines);
            }
            r.rewind();
            QCOMPARE(r.next(), lines > 0);
            if (lines > 0)
                QCOMPARE(r.text(), got[got.size() - lines]);
        }
        QCOMPARE(got, whole);
    }
}

QTEST_GUILESS_MAIN(TestLineReader)
#include "tst_linereader.moc"
