// The line reader on files: large texts are mapped and their pages handed back while they are
// read, which must never change a line, a rewind or the whole text.
#include <QtTest>

#include <QTemporaryDir>

#include "lut/linereader.h"
#include "testutil.h"

namespace {

// Lines "<n> 0.<n> <n>" of every length from short to long, LF and CR LF mixed.
QByteArray numberedText(int lines)
{
    QByteArray text;
    for (int i = 0; i < lines; ++i) {
        text += QByteArray::number(i) + " 0." + QByteArray::number(qint64(i) * 7919 % 1000000) + ' ' + QByteArray(i % 13, 'x');
        text += i % 5 == 0 ? "\r\n" : "\n";
    }
    return text;
}

void expectLines(LineReader &r, int lines)
{
    for (int i = 0; i < lines; ++i) {
        QVERIFY2(r.next(), qPrintable(QStringLiteral("line %1 missing").arg(i + 1)));
        const QByteArray want = QByteArray::number(i) + " 0." + QByteArray::number(qint64(i) * 7919 % 1000000)
                                + (i % 13 ? ' ' + QByteArray(i % 13, 'x') : QByteArray());
        QCOMPARE(r.line(), want);
        QCOMPARE(r.lineNumber(), i + 1);
    }
    while (r.next())
        QVERIFY(r.isEmpty());   // the padding
}

}

class TestLineReaderFiles : public QObject
{
    Q_OBJECT

private slots:
    void wholeFileReadTwice_data();
    void wholeFileReadTwice();
    void missingFile();
};

void TestLineReaderFiles::wholeFileReadTwice_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("padTo");   // pad the text with blanks to exactly this many bytes
    QTest::newRow("small") << 10 << 0;
    QTest::newRow("one page exactly") << 100 << 4096;
    QTest::newRow("two pages exactly") << 300 << 8192;
    QTest::newRow("several megabytes") << 400000 << 0;
}

// Every line comes out as written, also after a rewind, and the whole text stays the file's,
// NUL-terminated as a QByteArray is.
void TestLineReaderFiles::wholeFileReadTwice()
{
    QFETCH(int, lines);
    QFETCH(int, padTo);
    QTemporaryDir dir;
    QByteArray text = numberedText(lines);
    if (padTo > 0) {
        QVERIFY(text.size() <= padTo);
        text += QByteArray(padTo - text.size(), ' ');
    }
    const QString path = TestUtil::writeTemp(dir, "text.txt", text);
    LineReader r;
    QVERIFY(r.open(path));
    expectLines(r, lines);
    r.rewind();
    expectLines(r, lines);
    QCOMPARE(r.buffer().size(), text.size());
    QVERIFY(r.buffer() == text);
    QCOMPARE(r.buffer().constData()[r.buffer().size()], '\0');
}

void TestLineReaderFiles::missingFile()
{
    QTemporaryDir dir;
    LineReader r;
    QVERIFY(!r.open(dir.filePath("none.txt")));
    QVERIFY(r.errorString().startsWith(QLatin1String("cannot open ")));
    QVERIFY(!r.next());
}

QTEST_GUILESS_MAIN(TestLineReaderFiles)
#include "tst_linereader_files.moc"
