#ifndef TESTUTIL_H
#define TESTUTIL_H

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "formats/registry.h"
#include "lut/lutfile_st.h"
#include "lut/platform.h"
#include "lut/read_lutfile.h"
#include "lut/samplelines.h"
#include "lut/write_lutfile.h"

namespace TestUtil {

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// A file a writer made, with the platform's line ends (CR LF on Windows) read as "\n", so that
// expected texts are written once for every system.
inline QByteArray readText(const QString &path)
{
    return readFile(path).replace(QByteArray(Platform::lineEnd), QByteArray("\n"));
}

// A Common LUT Format file of the corpus made by other tools.
inline QString clfCorpusFile(const char *name)
{
    return QStringLiteral(LUTWRIGHT_CORPUS "/clf/") + QLatin1String(name);
}

// One side of a conversion, as the window or a caller of the dispatch fills it.
inline LUTFILE_ST side(int formatId, const QString &path, bool defaultOrder = true, bool dataOrderRGB = true,
                       bool tableOrderRGB = true, qint64 scale = 1)
{
    LUTFILE_ST f;
    f.path = path;
    f.formatId = formatId;
    f.defaultOrder = defaultOrder;
    f.dataOrderRGB = dataOrderRGB;
    f.tableOrderRGB = tableOrderRGB;
    f.scale = scale;
    return f;
}

inline LUTFILE_ST side(Formats::Id id, const QString &path, bool defaultOrder = true, bool dataOrderRGB = true,
                       bool tableOrderRGB = true, qint64 scale = 1)
{
    return side(int(id), path, defaultOrder, dataOrderRGB, tableOrderRGB, scale);
}

// Write `text` to the file `name` in `dir`; its path.
inline QString writeTemp(const QTemporaryDir &dir, const QString &name, const QByteArray &text)
{
    const QString path = dir.filePath(name);
    writeFile(path, text);
    return path;
}

// Data rows for reading a 1D file under each setting of the order flags: the columns
// defaultOrder, dataRGB, tableRGB, and whether the stored channels come out reversed.
// `defaultReverses` says whether the format's own order reverses them.
inline void orderRows1D(bool defaultReverses)
{
    QTest::addColumn<bool>("defaultOrder");
    QTest::addColumn<bool>("dataRGB");
    QTest::addColumn<bool>("tableRGB");
    QTest::addColumn<bool>("reversed");
    QTest::newRow("both true") << false << true << true << false;
    QTest::newRow("both false cancel") << false << false << false << false;
    QTest::newRow("table order false reverses") << false << true << false << true;
    QTest::newRow("data order false reverses") << false << false << true << true;
    QTest::newRow("format default, flags given ignored") << true << false << true << defaultReverses;
}

// Give a fresh model a 1D table holding `entries`.
inline void set1D(Read_LUTFile &lut, const std::vector<std::array<float, 3>> &entries)
{
    lut.lut1DSize = int(entries.size());
    Read_LUTFile::Data1DCalloc(&lut.lut1D, lut.lut1DSize);
    for (int i = 0; i < lut.lut1DSize; ++i)
        for (int c = 0; c < 3; ++c)
            lut.lut1D[i][c] = entries[std::size_t(i)][std::size_t(c)];
}


// Empty when every entry of `lut` is within `tolerance` of `want` times `factor` (channels
// taken reversed when `reversed`); otherwise the first difference.
inline QString differences1D(const Read_LUTFile &lut, const std::vector<std::array<float, 3>> &want, float factor,
                             float tolerance, bool reversed = false)
{
    if (lut.lut1DSize != int(want.size()) || !lut.lut1D)
        return QStringLiteral("%1 entries, not %2").arg(lut.lut1DSize).arg(want.size());
    for (int i = 0; i < lut.lut1DSize; ++i)
        for (int c = 0; c < 3; ++c) {
            const float w = want[std::size_t(i)][std::size_t(reversed ? 2 - c : c)] * factor;
            if (!(std::fabs(lut.lut1D[i][c] - w) <= tolerance))
                return QStringLiteral("entry %1 channel %2: %3, not %4").arg(i).arg(c).arg(double(lut.lut1D[i][c])).arg(double(w));
        }
    return QString();
}

// A read that succeeded, took the given orders, and left the tables on the nominal range
// (3D domain 0 to 1, upper ends of both domains 1).
inline void compareCleanRead(const Read_LUTFile &lut, bool dataRGB, bool tableRGB)
{
    QVERIFY(lut.errorString.isEmpty());
    QCOMPARE(lut.dataOrderRGB, dataRGB);
    QCOMPARE(lut.tableOrderRGB, tableRGB);
    for (int ch = 0; ch < 3; ++ch) {
        QCOMPARE(lut.domainMin3D[ch], 0.0f);
        QCOMPARE(lut.domainMax3D[ch], 1.0f);
        QCOMPARE(lut.domainMax1D[ch], 1.0f);
    }
}

// Lattice node values for building test files: the identity, and a ramp in [0, 1] that
// differs for every node and channel.
inline float identityValue(int r, int g, int b, int ch, int n)
{
    return float(ch == 0 ? r : ch == 1 ? g : b) / float(n - 1);
}

inline float rampValue(int r, int g, int b, int ch, int n)
{
    const float x[3] = {float(r), float(g), float(b)};
    return (3.0f * x[ch] + x[(ch + 1) % 3]) / (4.0f * float(n - 1));
}

// A float as text that reads back to the same float.
inline QByteArray exactText(float v)
{
    return QByteArray::number(double(v), 'g', 9);
}

// Lines of "R G B" for an n-point lattice with the red index fastest, as f(r, g, b, ch, n) gives them.
template <typename F>
QByteArray latticeLines(int n, F f, const QByteArray &sep = " ", const QByteArray &eol = "\n")
{
    QByteArray out;
    for (int b = 0; b < n; ++b)
        for (int g = 0; g < n; ++g)
            for (int r = 0; r < n; ++r)
                out += exactText(f(r, g, b, 0, n)) + sep + exactText(f(r, g, b, 1, n)) + sep + exactText(f(r, g, b, 2, n)) + eol;
    return out;
}

// Every node of the model's lattice equals f(r, g, b, ch, n).
template <typename F>
void compareLattice(const Read_LUTFile &lut, int n, F f)
{
    QCOMPARE(lut.lut3DSize, n);
    QVERIFY(lut.lut3D != nullptr);
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b)
                for (int ch = 0; ch < 3; ++ch)
                    QCOMPARE(lut.lut3D[r][g][b][ch], f(r, g, b, ch, n));
}

// The outcome of a read through the dispatch, with the reason of a failure.
struct ReadResult {
    bool ok;
    QString error;
};

inline ReadResult readLut(Read_LUTFile &m, const QString &path, int formatId, bool headerOnly = false,
                          bool defaultOrder = true, bool dataRGB = true, bool tableRGB = true)
{
    const bool ok = m.ReadFile(side(formatId, path, defaultOrder, dataRGB, tableRGB), headerOnly);
    return ReadResult{ok, m.errorString};
}

inline bool writeLut(Read_LUTFile &m, const QString &path, int formatId, bool defaultOrder, bool dataRGB,
                     bool tableRGB, qint64 scale = 1, QString *error = nullptr)
{
    Write_LUTFile w;
    const bool ok = w.WriteFile(side(formatId, path, defaultOrder, dataRGB, tableRGB, scale), m);
    if (error)
        *error = w.errorString;
    return ok;
}

// An n-point lattice of distinct values with six decimals (they survive a six-decimal text
// exactly), so that a misplaced node or swapped channels show.
inline void fillRandomLattice(Read_LUTFile &m, int n, unsigned seed)
{
    m.setSize3D(n, false);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(0, 1000000);
    float *v = m.lut3D.data();
    for (std::size_t i = 0; i < m.lut3D.floatCount(); ++i)
        v[i] = QByteArray::number(d(rng) / 1e6, 'f', 6).toFloat();
}

inline QByteArray repeatLine(int count, const QByteArray &line)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += line;
    return out;
}

// A byte string that may hold NUL bytes.
template <int N>
QByteArray bytes(const char (&s)[N])
{
    return QByteArray(s, N - 1);
}

// `text` (lines ending in LF) with its 1-based line `line` replaced by `replacement`, or
// dropped when `replacement` is null.
inline QByteArray withLine(const QByteArray &text, int line, const QByteArray &replacement)
{
    QList<QByteArray> lines = text.split('\n');
    lines.removeLast();
    if (replacement.isNull())
        lines.removeAt(line - 1);
    else
        lines[line - 1] = replacement;
    return lines.join('\n') + '\n';
}

// Data rows "defaultOrder", "dataRGB", "tableRGB": a format's own order (with the caller's
// flags both false, to show they are ignored) and every combination of the two flags.
inline void addOrderRows()
{
    QTest::addColumn<bool>("defaultOrder");
    QTest::addColumn<bool>("dataRGB");
    QTest::addColumn<bool>("tableRGB");
    QTest::newRow("format's own order") << true << false << false;
    QTest::newRow("RGB, blue fastest") << false << true << true;
    QTest::newRow("RGB, red fastest") << false << true << false;
    QTest::newRow("BGR, blue fastest") << false << false << true;
    QTest::newRow("BGR, red fastest") << false << false << false;
}

inline bool sameLattice(const Read_LUTFile &a, const Read_LUTFile &b)
{
    return a.lut3DSize == b.lut3DSize && a.lut3D && b.lut3D
        && std::memcmp(a.lut3D.data(), b.lut3D.data(), a.lut3D.floatCount() * sizeof(float)) == 0;
}

// ---- Round trips, damaged files and expected nodes of the format tests.

// A 1D table of n random entries in [0, 1), the same for the same seed.
inline void fill1D(Read_LUTFile &lut, int n, quint32 seed = 1)
{
    QRandomGenerator gen(seed);
    lut.lut1DSize = n;
    Read_LUTFile::Data1DCalloc(&lut.lut1D, n);
    for (int i = 0; i < n * 3; ++i)
        lut.lut1D.data()[i] = float(gen.generateDouble());
}

// Empty when every node of `got` equals the node of `want` within `tol`, where `transposed`
// exchanges the red and blue lattice indices and `reversed` the channels; else the first
// difference.
inline QString latticeDifferences(const Read_LUTFile &got, const Read_LUTFile &want, bool transposed, bool reversed,
                                  float tol = 1e-6f)
{
    const int n = want.lut3DSize;
    if (got.lut3DSize != n || !got.lut3D)
        return QStringLiteral("size %1, expected %2").arg(got.lut3DSize).arg(n);
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b)
                for (int c = 0; c < 3; ++c) {
                    const float v = got.lut3D[r][g][b][c];
                    const float w = (transposed ? want.lut3D[b][g][r] : want.lut3D[r][g][b])[reversed ? 2 - c : c];
                    if (!(std::fabs(v - w) <= tol))
                        return QStringLiteral("node (%1, %2, %3) channel %4: %5, expected %6")
                            .arg(r).arg(g).arg(b).arg(c).arg(double(v)).arg(double(w));
                }
    return QString();
}

inline QString tableDifferences1D(const Read_LUTFile &got, const Read_LUTFile &want, bool reversed, float tol = 1e-6f)
{
    const int n = want.lut1DSize;
    if (got.lut1DSize != n || !got.lut1D)
        return QStringLiteral("size %1, expected %2").arg(got.lut1DSize).arg(n);
    for (int e = 0; e < n; ++e)
        for (int c = 0; c < 3; ++c) {
            const float v = got.lut1D[e][c];
            const float w = want.lut1D[e][reversed ? 2 - c : c];
            if (!(std::fabs(v - w) <= tol))
                return QStringLiteral("entry %1 channel %2: %3, expected %4").arg(e).arg(c).arg(double(v)).arg(double(w));
        }
    return QString();
}

// A 2-point lattice whose node (r, g, b) holds (r, g / 2, b / 4).
inline void fillSteps(Read_LUTFile &lut)
{
    lut.lut3DSize = 2;
    Read_LUTFile::Data3DCalloc(&lut.lut3D, 2);
    for (int r = 0; r < 2; ++r)
        for (int g = 0; g < 2; ++g)
            for (int b = 0; b < 2; ++b) {
                lut.lut3D[r][g][b][0] = r;
                lut.lut3D[r][g][b][1] = g * 0.5f;
                lut.lut3D[r][g][b][2] = b * 0.25f;
            }
}

inline void expectTriple(const float *v, float x, float y, float z, const QString &what)
{
    QVERIFY2(std::fabs(v[0] - x) < 1e-6f && std::fabs(v[1] - y) < 1e-6f && std::fabs(v[2] - z) < 1e-6f,
             qPrintable(QStringLiteral("%1 holds (%2, %3, %4), expected (%5, %6, %7)")
                            .arg(what).arg(double(v[0])).arg(double(v[1])).arg(double(v[2]))
                            .arg(double(x)).arg(double(y)).arg(double(z))));
}

inline void expectNode(const Read_LUTFile &lut, int r, int g, int b, float x, float y, float z)
{
    expectTriple(lut.lut3D[r][g][b], x, y, z, QStringLiteral("node (%1, %2, %3)").arg(r).arg(g).arg(b));
}

// Read a 2-point sample whose node (r, g, b) holds (0.1 + r/2, 0.2 + g/2, 0.3 + b/4) with the
// format's own orders (asked for with the opposite flags, which must give way to them).
inline void checkOwnOrderSample(const QString &path, int formatId, bool ownDataRGB, bool ownTableRGB)
{
    Read_LUTFile lut;
    QVERIFY2(lut.ReadFile(side(formatId, path, true, !ownDataRGB, !ownTableRGB), false), qPrintable(lut.errorString));
    compareCleanRead(lut, ownDataRGB, ownTableRGB);
    QCOMPARE(lut.lut3DSize, 2);
    for (int r = 0; r < 2; ++r)
        for (int g = 0; g < 2; ++g)
            for (int b = 0; b < 2; ++b)
                expectNode(lut, r, g, b, 0.1f + r * 0.5f, 0.2f + g * 0.5f, 0.3f + b * 0.25f);
}

// A damaged file must fail with exactly this reason.
inline void expectFailure(const QString &path, int formatId, const QString &reason)
{
    Read_LUTFile lut;
    QVERIFY(!lut.ReadFile(side(formatId, path, true), false));
    QCOMPARE(lut.errorString, reason);
}

// 4 KiB of every byte value, NUL, CR and LF included.
inline QByteArray binaryGarbage()
{
    QByteArray bytes;
    for (int i = 0; i < 4096; ++i)
        bytes.append(char((i * 97 + 13) & 0xff));
    return bytes;
}

// The same as one line in which no number can be read: line ends, digits, signs, points and
// the letters of inf and nan become NUL bytes.
inline QByteArray garbageLine()
{
    QByteArray bytes = binaryGarbage();
    for (char &ch : bytes)
        if (ch == '\n' || ch == '\r' || (ch >= '0' && ch <= '9') || std::strchr("+-.iInNfF", ch))
            ch = '\0';
    return bytes;
}

// Lines of a written file without their line ends (LF or CR LF).
inline QList<QByteArray> lines(const QByteArray &text)
{
    QByteArray t = text;
    t.replace("\r\n", "\n");
    QList<QByteArray> list = t.split('\n');
    if (!list.isEmpty() && list.last().isEmpty())
        list.removeLast();
    return list;
}

// A named pipe made at `path` into which `command` (a shell command; "$1" and on are `args`)
// writes, started now: the writer waits for a reader, and an endless writer ends with SIGPIPE
// once the reader closes the pipe. Null when the pipe cannot be made (Windows has no mkfifo).
inline std::unique_ptr<QProcess> feedPipe(const QString &path, const QString &command, const QStringList &args = {})
{
    if (QProcess::execute(QStringLiteral("mkfifo"), {path}) != 0)
        return nullptr;
    auto writer = std::make_unique<QProcess>();
    writer->start(QStringLiteral("sh"), QStringList{QStringLiteral("-c"), QStringLiteral("exec >\"$0\"; ") + command, path} + args);
    return writer;
}

// Named pipes, /dev/zero and the shell's resource limits are Unix means: the cases that need
// them are skipped on Windows.
#ifdef Q_OS_WIN
#define SKIP_ON_WINDOWS(why) QSKIP(why)
#else
#define SKIP_ON_WINDOWS(why) static_cast<void>(0)
#endif

// An input that never ends: `source` itself (a device such as /dev/zero), or for "pipe" a named
// pipe `name` in `dir` that `writer` feeds "0.5 0.5 0.5" lines, the body of any lattice,
// endlessly. Empty when the pipe cannot be made.
inline QString endlessInput(const QTemporaryDir &dir, const QString &source, const QString &name,
                            std::unique_ptr<QProcess> &writer)
{
    if (source != QLatin1String("pipe"))
        return source;
    const QString path = dir.filePath(name);
    writer = feedPipe(path, QStringLiteral("exec yes '0.5 0.5 0.5'"));
    return writer ? path : QString();
}

// ---- Lattices read in parts on several threads.

// Reads lattices of any size in `parts` parts while it lives, and serially afterwards.
struct PartedReading {
    const qint64 threshold = SampleLines::partThreshold();
    explicit PartedReading(int parts)
    {
        SampleLines::setPartThreshold(0);
        SampleLines::setPartCount(parts);
    }
    ~PartedReading()
    {
        SampleLines::setPartThreshold(threshold);
        SampleLines::setPartCount(0);
    }
};

inline bool sameFloats(const float *a, const float *b, std::size_t count)
{
    return (!a && !b) || (a && b && std::memcmp(a, b, count * sizeof(float)) == 0);
}

// Reads `file` serially and in `parts` parts: the two reads must agree bit for bit in their
// result, reason, sizes, domains and tables. `starts` receives where the parts began (one
// entry when the parted read fell back to the serial one).
inline void compareReadInParts(const LUTFILE_ST &file, int parts, QVector<qint64> *starts = nullptr)
{
    Read_LUTFile serial, parted;
    const bool serialOk = serial.ReadFile(file, false);
    bool partedOk;
    {
        PartedReading reading(parts);
        partedOk = parted.ReadFile(file, false);
    }
    if (starts)
        *starts = SampleLines::lastPartStarts();
    QCOMPARE(partedOk, serialOk);
    QCOMPARE(parted.errorString, serial.errorString);
    QCOMPARE(parted.lut3DSize, serial.lut3DSize);
    QCOMPARE(parted.lut1DSize, serial.lut1DSize);
    for (const auto domain : {&Read_LUTFile::domainMin3D, &Read_LUTFile::domainMax3D, &Read_LUTFile::domainMin1D,
                              &Read_LUTFile::domainMax1D})
        QVERIFY(sameFloats(parted.*domain, serial.*domain, 3));
    QVERIFY2(sameFloats(parted.lut3D.data(), serial.lut3D.data(), serial.lut3D.floatCount()), "lattices differ");
    QVERIFY2(sameFloats(parted.lut1D.data(), serial.lut1D.data(), std::size_t(serial.lut1D.size()) * 3), "1D tables differ");
}

}

#endif
