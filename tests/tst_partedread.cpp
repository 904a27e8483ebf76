// Lattice texts read in parts on several threads against the serial read of the same file:
// large files of every format that reads its lattice this way, lines of every kind placed
// around the split between two parts, and files cut short anywhere near it.

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include "testutil.h"

namespace {

constexpr int cubeId = 0, davLutId = 8, cspId = 9, itxId = 11;
constexpr int n = 24;   // 13,824 samples, some 370 KB

// Every generated line is at least as long as a sample line of six decimals, so that any
// line can be overwritten by a shorter text without moving the line ends.
QByteArray padded(const QByteArray &text)
{
    return text + QByteArray(std::max(0, 26 - text.size()), ' ');
}

// Sample line i of a generated lattice: mostly six decimals, now and then a number the
// scanner takes the long way, or one padded with a no-break space.
QByteArray sampleLine(int i)
{
    static const char *const odd[] = {"-0.25 .5 1e0", "+.125 0x1p-2 0.75", ".5 -.5 nan", "1 0 1 # words after",
                                      "0.5\t0.25  0.125", "\xC2\xA0" "0.375 0.5 0.625\xC2\xA0"};
    if (i % 7 == 0)
        return padded(odd[(i / 7) % 6]);
    const auto v = [i](int ch) { return QByteArray::number(((i * 7919 + ch * 104729) % 1000003) / 1000003.0, 'f', 6); };
    return v(0) + ' ' + v(1) + ' ' + v(2);
}

// The samples, with comments, blank and "x" lines among them, and `count` lines in all.
QByteArray samples(int count = n * n * n, const QByteArray &eol = "\n")
{
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        if (i % 50 == 3)
            out += padded("# comment") + eol;
        if (i % 31 == 5)
            out += padded("") + eol;
        if (i % 97 == 11)
            out += padded("x skipped") + eol;
        if (i % 89 == 7)
            out += padded("0x is no number") + eol;
        out += sampleLine(i) + eol;
    }
    return out;
}

QByteArray intSamples()
{
    QByteArray out;
    for (int i = 0; i < n * n * n; ++i)
        out += QByteArray::number(i % 1024) + ' ' + QByteArray::number(i * 7 % 1024) + (i % 1000 == 1 ? "\n" : " 512\n");
    return out;
}

QByteArray cube(const QByteArray &body) { return "TITLE \"parts\"\nLUT_3D_SIZE " + QByteArray::number(n) + '\n' + body; }

QByteArray csp(const QByteArray &body)
{
    const QByteArray channel = "2\n0.0 1.0\n0.0 1.0\n";
    const QByteArray size = QByteArray::number(n);
    return "CSPLUTV100\n3D\n\nBEGIN METADATA\nEND METADATA\n\n" + channel + channel + channel + '\n' + size + ' ' + size
        + ' ' + size + '\n' + body;
}

// The same line as `line` with its text replaced by `text`, padded with blanks: the line ends
// of the file, and so the split between the parts, stay where they are.
QByteArray sameLength(const QByteArray &line, const QByteArray &text)
{
    return text + QByteArray(line.size() - text.size(), ' ');
}

}

class TestPartedRead : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    QString put(const QByteArray &text) { return TestUtil::writeTemp(dir, QStringLiteral("lattice.txt"), text); }

    // The part starts of the clean 2-part read of `text`.
    QVector<qint64> splits(const QByteArray &text)
    {
        QVector<qint64> starts;
        TestUtil::compareReadInParts(TestUtil::side(cubeId, put(text)), 2, &starts);
        return starts;
    }

private slots:
    void largeFiles_data()
    {
        QTest::addColumn<int>("formatId");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("inParts");
        const QByteArray body = samples();
        QTest::newRow("cube") << cubeId << cube(body) << true;
        QTest::newRow("cube, CR LF") << cubeId << cube(samples(n * n * n, "\r\n")) << true;
        QTest::newRow("cube, samples before the header") << cubeId << "0.5 0.5 0.5\n" + cube(body) << true;
        QTest::newRow("cube, lines after the lattice") << cubeId << cube(body + samples(500)) << true;
        QTest::newRow("cube, integer variant") << cubeId << "Mesh 0 10\n" + cube(intSamples()) << true;
        QTest::newRow("cube, MESH lines among the samples")
            << cubeId << cube(QByteArray(body).replace("# comment", "0.5 0.5 0.5 MESH")) << true;
        QTest::newRow("cube, domain") << cubeId << "DOMAIN_MIN 0 0.25 0\nDOMAIN_MAX 1 0.75 2\n" + cube(body) << true;
        QTest::newRow("cube, CR line ends only") << cubeId << cube(samples(n * n * n, "\r")) << false;
        QTest::newRow("cube, 1D table after the lattice") << cubeId << "LUT_1D_SIZE 2\n" + cube(body + "0 0 0\n1 1 1\n") << false;
        QTest::newRow("davlut") << davLutId << "# made here\n3DLUTSIZE " + QByteArray::number(n) + '\n' + body << true;
        QTest::newRow("itx") << itxId << "LUT_3D_SIZE " + QByteArray::number(n) + '\n' + body << true;
        QTest::newRow("csp") << cspId << csp(body) << true;
    }

    void largeFiles()
    {
        QFETCH(int, formatId);
        QFETCH(QByteArray, text);
        QFETCH(bool, inParts);
        const QString path = put(text);
        for (int parts = 2; parts <= 4; ++parts) {
            QVector<qint64> starts;
            TestUtil::compareReadInParts(TestUtil::side(formatId, path), parts, &starts);
            QCOMPARE(starts.size(), inParts ? parts : 1);
        }
        // Orders other than the format's own.
        TestUtil::compareReadInParts(TestUtil::side(formatId, path, false, false, true), 2);
    }

    // A line by the split becomes `text` (of the same length, so that the split stays): the
    // last line of the first part (offset -1), the first sample line of the second part (0)
    // or the one after it (1). The parted read must agree with the serial one, and stay
    // parted unless the second part's first sample lacks a channel.
    void aroundTheSplit_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("inParts");
        const struct {
            const char *name;
            const char *text;
            bool isShortSample;
        } kinds[] = {
            {"one number", "0.5", true},  {"two numbers", "0.5 0.25", true}, {"blank", "", false},
            {"comment", "# c", false},   {"x line", "x", false},            {"MESH line", "1 1 1 MESH", false},
            {"header keyword", "TITLE", false}, {"number and words", "0.5 a b", true},
        };
        for (const auto &kind : kinds)
            for (int offset = -1; offset <= 1; ++offset)
                QTest::newRow(qPrintable(QStringLiteral("%1 at %2").arg(kind.name).arg(offset)))
                    << offset << QByteArray(kind.text) << !(kind.isShortSample && offset == 0);
        QTest::newRow("blank, then a short sample") << 0 << QByteArray("\n0.5") << false;
    }

    void aroundTheSplit()
    {
        QFETCH(int, offset);
        QFETCH(QByteArray, text);
        QFETCH(bool, inParts);
        // Samples to spare after the lattice: a line that is no sample leaves it whole.
        const QByteArray clean = cube(samples() + samples(10));
        const QVector<qint64> starts = splits(clean);
        QCOMPARE(starts.size(), 2);
        QList<QByteArray> lines = clean.split('\n');
        const int splitLine = clean.left(int(starts[1])).count('\n');
        int first = splitLine;
        while (lines[first].trimmed().isEmpty() || lines[first].startsWith('#') || lines[first].startsWith('x')
               || lines[first].startsWith("0x"))
            ++first;
        const int at = offset < 0 ? splitLine - 1 : first + offset;
        // A text of two lines takes the line after too.
        const QList<QByteArray> parts = text.split('\n');
        for (int i = 0; i < parts.size(); ++i) {
            QByteArray &line = lines[at + i];
            QVERIFY(line.size() >= parts[i].size());
            line = sameLength(line, parts[i]);
        }
        QVector<qint64> got;
        TestUtil::compareReadInParts(TestUtil::side(cubeId, put(lines.join('\n'))), 2, &got);
        QCOMPARE(got.size(), inParts ? 2 : 1);
    }

    // Files cut short around the split, inside and at the end of lines, and one or two
    // samples before the end of the lattice.
    void cutShort()
    {
        const QByteArray clean = cube(samples());
        const qint64 split = splits(clean).value(1);
        QVERIFY(split > 0);
        const int lastLine = clean.lastIndexOf('\n', clean.size() - 2) + 1;
        const int lineBefore = clean.lastIndexOf('\n', lastLine - 2) + 1;
        for (qint64 at : {split - 2, split - 1, split, split + 1, split + 7, qint64(lineBefore), qint64(lastLine),
                          qint64(lastLine + 3), qint64(clean.size() - 1), qint64(clean.size() / 3)}) {
            const QString path = put(clean.left(int(at)));
            for (int parts = 2; parts <= 3; ++parts)
                TestUtil::compareReadInParts(TestUtil::side(cubeId, path), parts);
        }
    }
};

QTEST_GUILESS_MAIN(TestPartedRead)
#include "tst_partedread.moc"
