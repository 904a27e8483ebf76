// The line reader on files: large texts are read through a window, which must never change a
// line, a line number, a rewind or the whole text.
#include <QtTest>

#include <QProcess>
#include <QTemporaryDir>


#include <thread>

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

struct Line {
    QByteArray bytes;
    int number;
    bool operator==(const Line &o) const { return bytes == o.bytes && number == o.number; }
};

QList<Line> allLines(LineReader &r)
{
    QList<Line> lines;
    while (r.next())
        lines.append({r.line(), r.lineNumber()});
    return lines;
}

}

class TestLineReaderFiles : public QObject
{
    Q_OBJECT

private slots:
    void wholeFileReadTwice_data();
    void wholeFileReadTwice();
    void missingFile();
    void fileMatchesInMemoryText_data();
    void fileMatchesInMemoryText();
    void fileCutShortWhileRead();
    void pipe();
    void endlessInputRefused_data();
    void endlessInputRefused();
    void fileGrowsBeyondLimitWhileRead();
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

// Line ends, a byte-order mark and long lines wherever the reader's window may end: read from
// a file, every line and line number is what the same text gives in memory.
void TestLineReaderFiles::fileMatchesInMemoryText_data()
{
    QTest::addColumn<QByteArray>("text");
    const QList<QByteArray> ends = {"\n", "\r\n", "\r", "\r\r\n", "\n\r", " \t\r\n"};
    for (const qsizetype boundary : {qsizetype(256) << 10, qsizetype(512) << 10}) {
        for (int shift = -3; shift <= 2; ++shift) {
            for (const QByteArray &end : ends) {
                QByteArray text = "\xEF\xBB\xBF" + numberedText(int(boundary / 20));
                text.truncate(int(boundary + shift));
                text += end + "0.5 0.25 0.125" + end + "tail";
                QTest::addRow("%lld%+d %s", qlonglong(boundary), shift, QByteArray(end).toPercentEncoding().constData())
                    << text;
            }
        }
    }
    QTest::newRow("line longer than the window") << (QByteArray(700000, '7') + "\nlast\n" + QByteArray(300000, ' ') + "x");
    QByteArray mac;
    for (int i = 0; i < 120000; ++i)
        mac += QByteArray::number(i) + " \xC2\xA0" + QByteArray::number(i * 3) + '\r';
    QTest::newRow("old Mac text, non-ASCII spaces") << mac;
    QTest::newRow("no line end at all") << QByteArray(600000, 'x');
}

void TestLineReaderFiles::fileMatchesInMemoryText()
{
    QFETCH(QByteArray, text);
    QTemporaryDir dir;
    LineReader file;
    QVERIFY(file.open(TestUtil::writeTemp(dir, "text.txt", text)));
    LineReader memory;
    memory.setText(text);
    const QList<Line> want = allLines(memory);
    QVERIFY(want == allLines(file));
    file.rewind();
    QVERIFY(want == allLines(file));
}

// A file cut short by another program while it is read ends early; nothing faults.
void TestLineReaderFiles::fileCutShortWhileRead()
{
    QTemporaryDir dir;
    const QByteArray text = numberedText(300000);
    const QString path = TestUtil::writeTemp(dir, "text.txt", text);
    LineReader r;
    QVERIFY(r.open(path));
    QVERIFY(r.next());
    QVERIFY(QFile::resize(path, 1000));
    int lines = 1;
    while (r.next())
        ++lines;
    QVERIFY2(lines < 300000, qPrintable(QString::number(lines)));
    r.rewind();
    QVERIFY(r.next());
    QCOMPARE(r.line(), QByteArray("0 0.0"));
}

// A named pipe is read once, whole, and can still be rewound.
void TestLineReaderFiles::pipe()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("pipe");
    // Made by the system's own tool, so the test needs no system headers; Windows has none.
    if (QProcess::execute(QStringLiteral("mkfifo"), {path}) != 0)
        QSKIP("no named pipes on this system");
    const QByteArray text = numberedText(50000);
    std::thread writer([&] {
        QFile out(path);
        if (out.open(QIODevice::WriteOnly))
            out.write(text);
    });
    LineReader r;
    const bool opened = r.open(path);
    writer.join();
    QVERIFY(opened);
    expectLines(r, 50000);
    r.rewind();
    expectLines(r, 50000);
}

void TestLineReaderFiles::endlessInputRefused_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("size");   // as the reason gives it
    QTest::newRow("named pipe fed endlessly") << "pipe" << "more than 1610612736 bytes";
    QTest::newRow("/dev/zero") << "/dev/zero" << "more than 1610612736 bytes";
    QTest::newRow("file one byte too large") << "sparse" << "1610612737 bytes";
}

// Inputs beyond the largest LUT file are refused, one that never ends as soon as it passes it.
void TestLineReaderFiles::endlessInputRefused()
{
    QFETCH(QString, source);
    QFETCH(QString, size);
    if (source != QLatin1String("sparse"))
        SKIP_ON_WINDOWS("needs a named pipe or /dev/zero");
    QTemporaryDir dir;
    std::unique_ptr<QProcess> writer;
    QString path = TestUtil::endlessInput(dir, source, "endless", writer);
    QVERIFY(!path.isEmpty());
    if (source == QLatin1String("sparse")) {
        path = TestUtil::writeTemp(dir, "sparse", "LUT_3D_SIZE 2\n");
        QVERIFY(QFile::resize(path, (qint64(1536) << 20) + 1));
    }
    LineReader r;
    QVERIFY(!r.open(path));
    QCOMPARE(r.errorString(), QStringLiteral("%1 is too large to be a LUT (%2)").arg(path, size));
    QVERIFY(!r.next());
    if (writer)
        QVERIFY(writer->waitForFinished(60000));
}

// A file that grows while it is read is held to the same bound: its text ends there, and the
// reason goes to whoever asked to hear of it.
void TestLineReaderFiles::fileGrowsBeyondLimitWhileRead()
{
    QTemporaryDir dir;
    const QString path = TestUtil::writeTemp(dir, "growing", "0 0 0\n");
    LineReader r;
    QVERIFY(r.open(path));
    QString failure;
    r.reportFailuresTo(&failure);
    QVERIFY(r.next());
    QVERIFY(QFile::resize(path, (qint64(1536) << 20) + 1));
    while (r.next()) {
    }
    QCOMPARE(failure, path + QStringLiteral(" is too large to be a LUT (more than 1610612736 bytes)"));
    QCOMPARE(r.errorString(), failure);
}

QTEST_GUILESS_MAIN(TestLineReaderFiles)
#include "tst_linereader_files.moc"
