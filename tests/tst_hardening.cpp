// Files from anywhere and disks that fail: every reader survives the regression inputs the
// fuzzers found, writers never lose the file a user already had, a LUT can be written over
// the file it was read from, and real-world text variants (byte-order mark, CR LF or CR line
// ends, trailing blanks, no final line end) read as the plain file does.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <csignal>
#include <cstring>
#include <functional>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/mainwindow.h"
#include "formats/registry.h"
#include "formats/rgbimage.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"
#include "testutil.h"

namespace {

constexpr int cubeId = int(Formats::Id::Cube);

// The formats the numeric dispatch writes.
QList<int> writableIds()
{
    QList<int> ids;
    for (const Formats::Format *f : Formats::all())
        if (f->write && f->writeByNumber)
            ids << int(f->id);
    return ids;
}

// A lattice or 1D table whose channels differ, so that a changed order shows.
void fillLut(Read_LUTFile &lut, int id, int size)
{
    if (Formats::byId(id)->is3D) {
        lut.lut3DSize = size;
        Read_LUTFile::Data3DCalloc(&lut.lut3D, size);
        const float d = float(size - 1);
        for (int r = 0; r < size; ++r)
            for (int g = 0; g < size; ++g)
                for (int b = 0; b < size; ++b) {
                    float *node = lut.lut3D.node(r, g, b);
                    node[0] = r / d;
                    node[1] = std::sqrt(g / d);
                    node[2] = (b / d) * (b / d);
                }
    } else {
        lut.lut1DSize = size;
        Read_LUTFile::Data1DCalloc(&lut.lut1D, size);
        const float d = float(size - 1);
        for (int i = 0; i < size; ++i) {
            lut.lut1D[i][0] = i / d;
            lut.lut1D[i][1] = std::pow(i / d, 2.2f);
            lut.lut1D[i][2] = 1.0f - i / d;
        }
    }
}

// Formats whose numbers are integers of a full scale (the 1D .lut is 8-bit, .csv values are
// whole numbers) are written with it; the others as floats.
qint64 formatScale(int id)
{
    return Formats::byId(id)->defaultScale;
}

// A table size the format holds: its fixed 1D length where it has one.
int sizeFor(int id, int size3D, int size1D)
{
    const Formats::Format &f = *Formats::byId(id);
    return f.fixed1DLength > 0 ? f.fixed1DLength : f.is3D ? size3D : size1D;
}

int smallSize(int id)
{
    return sizeFor(id, 5, 64);
}

// Both sides with the same explicit orders, so that a table reads back as it was written.
LUTFILE_ST readSide(int id, const QString &path)
{
    return TestUtil::side(id, path, false, true, true);
}

LUTFILE_ST outputSide(int id, const QString &path, int size3D)
{
    LUTFILE_ST side = TestUtil::side(id, path, false, true, true, formatScale(id));
    side.outputSize3D = size3D;
    return side;
}

// Empty when both models hold the same tables, to within `tolerance`; otherwise the first
// difference.
QString tableDifference(const Read_LUTFile &a, const Read_LUTFile &b, float tolerance = 0.0f)
{
    const auto differ = [tolerance](float x, float y) {
        return tolerance > 0.0f ? !(std::fabs(x - y) <= tolerance) : std::memcmp(&x, &y, sizeof(float)) != 0;
    };
    if (a.lut3DSize != b.lut3DSize || bool(a.lut3D) != bool(b.lut3D))
        return QStringLiteral("3D size %1 against %2").arg(a.lut3DSize).arg(b.lut3DSize);
    if (a.lut1DSize != b.lut1DSize || bool(a.lut1D) != bool(b.lut1D))
        return QStringLiteral("1D size %1 against %2").arg(a.lut1DSize).arg(b.lut1DSize);
    if (a.lut3D) {
        const float *p = a.lut3D.node(0, 0, 0), *q = b.lut3D.node(0, 0, 0);
        for (std::size_t i = 0; i < a.lut3D.floatCount(); ++i)
            if (differ(p[i], q[i]))
                return QStringLiteral("3D float %1: %2 against %3").arg(i).arg(double(p[i])).arg(double(q[i]));
    }
    for (int i = 0; a.lut1D && i < a.lut1DSize; ++i)
        for (int c = 0; c < 3; ++c)
            if (differ(a.lut1D[i][c], b.lut1D[i][c]))
                return QStringLiteral("1D entry %1 channel %2: %3 against %4")
                    .arg(i).arg(c).arg(double(a.lut1D[i][c])).arg(double(b.lut1D[i][c]));
    return QString();
}

// Writes a table of `size` in format `id` to `path` and reads the file into `read`; false with
// the reason when either step fails.
bool writeThenRead(int id, int size, const QString &path, Read_LUTFile &read, QString *why)
{
    Read_LUTFile source;
    fillLut(source, id, size);
    Write_LUTFile writer;
    if (!writer.WriteFile(outputSide(id, path, source.lut3DSize), source)) {
        *why = writer.errorString;
        return false;
    }
    if (!read.ReadFile(readSide(id, path), false)) {
        *why = read.errorString;
        return false;
    }
    return true;
}

// What a job run in a child process reported.
struct ChildResult {
    bool exited = false;    // ended normally (not killed by a signal)
    bool ok = false;
    QString reason;
};

// Runs `job` in a forked child, optionally under a file size limit (SIGXFSZ ignored, so that
// an oversized write fails instead of killing the process) and as another user.
ChildResult inChild(const std::function<bool(QString *)> &job, rlim_t fileSizeLimit, uid_t uid = 0, gid_t gid = 0)
{
    ChildResult result;
    int fds[2];
    if (::pipe(fds) != 0)
        return result;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        if (fileSizeLimit != RLIM_INFINITY) {
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                ::_exit(3);
        }
        if (uid != 0 && (::setgid(gid) != 0 || ::setuid(uid) != 0))
            ::_exit(4);
        QString reason;
        const bool ok = job(&reason);
        const QByteArray message = QByteArray(ok ? "1" : "0") + reason.toUtf8();
        // The limit would stop the report too when it is tiny; the pipe is not a file.
        if (::write(fds[1], message.constData(), std::size_t(message.size())) < 0)
            ::_exit(5);
        ::_exit(0);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        return result;
    }
    QByteArray message;
    char buf[512];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        message.append(buf, int(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exited = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    result.ok = message.startsWith('1');
    result.reason = QString::fromUtf8(message.mid(1));
    return result;
}

// What a failed write may leave in its folder: nothing but the files that were there.
QStringList folderEntries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

const QByteArray oldContent = "the LUT the user already had\n";

// Sizes whose files are far beyond the small file size limit of the failing writes.
int largeSize(int id)
{
    return sizeFor(id, 33, 8192);
}
constexpr rlim_t smallFileLimit = 2 * 1024;

}

class TestHardening : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    void writableRows()
    {
        QTest::addColumn<int>("id");
        for (int id : writableIds())
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(id).arg(Read_LUTFile::formatStr(id)))) << id;
    }

private slots:
    // Every file a fuzzer once broke a reader with reads without a crash, leak or hang, with
    // the outcome recorded beside it, under both header-only settings and several orders.
    void regressions_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("accepted");
        QFile index(QStringLiteral(LUTWRIGHT_TEST_DATA "/regress/expected.txt"));
        QVERIFY(index.open(QIODevice::ReadOnly));
        int rows = 0;
        while (!index.atEnd()) {
            const QByteArray line = index.readLine().trimmed();
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            const QList<QByteArray> f = line.split(' ');
            QVERIFY2(f.size() >= 3, line.constData());
            const QString name = QString::fromUtf8(f[0]);
            const QString path = QStringLiteral(LUTWRIGHT_TEST_DATA "/regress/") + name;
            QVERIFY2(QFile::exists(path), f[0].constData());
            QVERIFY2(Formats::byName(QString::fromUtf8(f[1])), f[1].constData());
            QTest::newRow(qPrintable(QStringLiteral("%1 as %2").arg(name, QString::fromUtf8(f[1]))))
                << path << QString::fromUtf8(f[1]) << (f[2] == "accepted");
            ++rows;
        }
        QVERIFY(rows > 0);
    }
    void regressions()
    {
        QFETCH(QString, file);
        QFETCH(QString, format);
        QFETCH(bool, accepted);
        const Formats::Format &reader = *Formats::byName(format);
        for (bool headerOnly : {false, true})
            for (unsigned flags : {0u, 1u, 2u, 3u, 4u}) {
                Read_LUTFile lut;
                const LUTFILE_ST side = TestUtil::side(reader.id, file, flags == 4, flags & 1, flags & 2);
                const bool ok = Formats::read(reader, side, lut, headerOnly);
                QCOMPARE(ok, accepted);
                QVERIFY(ok || !lut.errorString.isEmpty());
                if (headerOnly)
                    QVERIFY(!lut.lut3D && !lut.lut1D);
                QVERIFY(!lut.lut3D || lut.lut3D.size() == lut.lut3DSize);
                QVERIFY(!lut.lut1D || lut.lut1D.size() == lut.lut1DSize);
            }
    }

    // A bitmap stored top row first (a negative height in its header) reads as the same
    // image stored bottom row first; its size is known before any pixel is decoded.
    void topDownBitmap()
    {
        QImage image(4, 2, QImage::Format_RGB888);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                image.setPixel(x, y, qRgb(255 * (x % 2), 255 * y, 255 * (x / 2)));
        const QString bottomUp = dir.filePath(QStringLiteral("bottom-up.bmp"));
        QVERIFY(image.save(bottomUp, "BMP"));
        QByteArray bytes = TestUtil::readFile(bottomUp);
        QVERIFY(bytes.size() >= 54 + 24);
        qint32 height = 0, offset = 0;
        std::memcpy(&offset, bytes.constData() + 10, 4);
        std::memcpy(&height, bytes.constData() + 22, 4);
        QCOMPARE(height, 2);
        height = -height;
        bytes.replace(22, 4, QByteArray(reinterpret_cast<const char *>(&height), 4));
        const int rowBytes = 12;   // 4 pixels of 3 bytes, already a multiple of 4
        const QByteArray first = bytes.mid(offset, rowBytes), second = bytes.mid(offset + rowBytes, rowBytes);
        bytes.replace(offset, rowBytes, second);
        bytes.replace(offset + rowBytes, rowBytes, first);
        const QString topDown = TestUtil::writeTemp(dir, QStringLiteral("top-down.bmp"), bytes);

        Read_LUTFile a, b;
        QVERIFY2(a.ReadFile(TestUtil::side(int(Formats::Id::UnwrappedCube), bottomUp), false), qPrintable(a.errorString));
        QVERIFY2(b.ReadFile(TestUtil::side(int(Formats::Id::UnwrappedCube), topDown), false), qPrintable(b.errorString));
        QCOMPARE(b.lut3DSize, 2);
        QCOMPARE(b.lut3D[1][1][1][0], 1.0f);
        const QString diff = tableDifference(a, b);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));

        // A header claiming 67 million rows is refused from the header alone.
        RgbImage huge;
        QVERIFY(huge.probe(QStringLiteral(LUTWRIGHT_TEST_DATA "/regress/iuc-top-down-bitmap-huge.bmp")));
        QCOMPARE(huge.size(), QSize(4, 67108862));
        QVERIFY(!huge.decoded());
    }

    // A write that fails part way (here: the file size limit) returns false with a reason and
    // leaves the old file byte for byte, with no temporary file left behind.
    void writeErrorKeepsOldFile_data() { writableRows(); }
    void writeErrorKeepsOldFile()
    {
        QFETCH(int, id);
        const QString folder = dir.filePath(QStringLiteral("fsize-%1").arg(id));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/out.lut");
        QVERIFY(TestUtil::writeFile(path, oldContent));
        Read_LUTFile lut;
        fillLut(lut, id, largeSize(id));

        const ChildResult child = inChild([&](QString *reason) {
            Write_LUTFile writer;
            const bool ok = writer.WriteFile(outputSide(id, path, lut.lut3DSize), lut);
            *reason = writer.errorString;
            return ok;
        }, smallFileLimit);
        QVERIFY2(child.exited, "the writing process did not end normally");
        QVERIFY(!child.ok);
        QVERIFY2(child.reason.contains(QLatin1String("out.lut")), qPrintable(child.reason));
        QCOMPARE(TestUtil::readFile(path), oldContent);
        QCOMPARE(folderEntries(folder), QStringList{QStringLiteral("out.lut")});

        // Without the limit the same write succeeds and replaces the file.
        Write_LUTFile writer;
        QVERIFY2(writer.WriteFile(outputSide(id, path, lut.lut3DSize), lut), qPrintable(writer.errorString));
        QVERIFY(TestUtil::readFile(path).size() > qint64(smallFileLimit));
        QCOMPARE(folderEntries(folder), QStringList{QStringLiteral("out.lut")});
    }

    // A folder the user may not write to: neither a new file nor a replacement can be made,
    // the writer says why and the file already there stays. Root ignores permissions, so the
    // writing process drops to the unprivileged user first.
    void readOnlyFolder()
    {
        uid_t uid = 0;
        gid_t gid = 0;
        if (::geteuid() == 0) {
            const passwd *nobody = ::getpwnam("nobody");
            if (!nobody)
                QSKIP("running as root and there is no user 'nobody' to drop to");
            uid = nobody->pw_uid;
            gid = nobody->pw_gid;
        }
        const QString folder = dir.filePath(QStringLiteral("readonly"));
        QVERIFY(QDir().mkpath(folder));
        const QString existing = folder + QStringLiteral("/old.cube");
        QVERIFY(TestUtil::writeFile(existing, oldContent));
        QVERIFY(::chmod(QFile::encodeName(existing).constData(), 0444) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
        // The unprivileged user must be able to reach the folder.
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);

        Read_LUTFile lut;
        fillLut(lut, cubeId, 5);
        for (const QString &path : {existing, folder + QStringLiteral("/new.cube")}) {
            const ChildResult child = inChild([&](QString *reason) {
                Write_LUTFile writer;
                const bool ok = writer.WriteFile(outputSide(cubeId, path, 5), lut);
                *reason = writer.errorString;
                return ok;
            }, RLIM_INFINITY, uid, gid);
            QVERIFY2(child.exited, "the writing process did not end normally (could it drop privileges?)");
            QVERIFY2(!child.ok, qPrintable(path));
            QVERIFY2(child.reason.contains(QFileInfo(path).fileName()), qPrintable(child.reason));
        }
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
        QCOMPARE(TestUtil::readFile(existing), oldContent);
        QCOMPARE(folderEntries(folder), QStringList{QStringLiteral("old.cube")});
    }

    // The conversion driver reports a failed write as a failure (the window then says
    // "Format not supported !", not "Export successful !"), with the writer's reason, both
    // when it writes the table as read and when it resamples it first.
    void conversionReportsWriteError_data()
    {
        QTest::addColumn<int>("outputSize");
        QTest::newRow("same size") << 33;
        QTest::newRow("resampled") << 17;
    }
    void conversionReportsWriteError()
    {
        QFETCH(int, outputSize);
        const QString path = dir.filePath(QStringLiteral("converted-%1.cube").arg(outputSize));
        QVERIFY(TestUtil::writeFile(path, oldContent));
        Read_LUTFile lut;
        fillLut(lut, cubeId, 33);
        const ChildResult child = inChild([&](QString *reason) {
            return MainWindow::ConvertLut(outputSide(cubeId, path, outputSize), lut, reason);
        }, 4096);
        QVERIFY(child.exited);
        QVERIFY(!child.ok);
        QVERIFY2(child.reason.contains(QLatin1String("converted")), qPrintable(child.reason));
        QCOMPARE(TestUtil::readFile(path), oldContent);

        QString reason;
        QVERIFY2(MainWindow::ConvertLut(outputSide(cubeId, path, outputSize), lut, &reason), qPrintable(reason));
        Read_LUTFile back;
        QVERIFY(back.ReadFile(TestUtil::side(Formats::Id::Cube, path), false));
        QCOMPARE(back.lut3DSize, outputSize);
    }

    // A file is replaced by a new one, so the replacement keeps the old file's permissions; a
    // new file gets the usual ones (what the process's umask allows), not a temporary file's.
    void permissions()
    {
        const QString folder = dir.filePath(QStringLiteral("modes"));
        QVERIFY(QDir().mkpath(folder));
        const QString existing = folder + QStringLiteral("/kept.cube");
        QVERIFY(TestUtil::writeFile(existing, oldContent));
        QVERIFY(::chmod(QFile::encodeName(existing).constData(), 0640) == 0);
        Read_LUTFile lut;
        fillLut(lut, cubeId, 2);
        Write_LUTFile writer;
        QVERIFY(writer.WriteFile(outputSide(cubeId, existing, 2), lut));
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(existing).constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 0777), 0640);

        const mode_t mask = ::umask(022);
        const QString fresh = folder + QStringLiteral("/fresh.cube");
        const bool ok = writer.WriteFile(outputSide(cubeId, fresh, 2), lut);
        ::umask(mask);
        QVERIFY(ok);
        QVERIFY(::stat(QFile::encodeName(fresh).constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 0777), 0644);
    }

    // Writing through a symbolic link replaces the file it points to and keeps the link.
    void symbolicLink()
    {
        const QString folder = dir.filePath(QStringLiteral("links"));
        QVERIFY(QDir().mkpath(folder));
        const QString target = folder + QStringLiteral("/real.cube");
        const QString link = folder + QStringLiteral("/link.cube");
        QVERIFY(TestUtil::writeFile(target, oldContent));
        QVERIFY(QFile::link(target, link));
        Read_LUTFile lut;
        fillLut(lut, cubeId, 2);
        Write_LUTFile writer;
        QVERIFY(writer.WriteFile(outputSide(cubeId, link, 2), lut));
        QVERIFY(QFileInfo(link).isSymLink());
        Read_LUTFile back;
        QVERIFY(back.ReadFile(TestUtil::side(Formats::Id::Cube, target), false));
        QCOMPARE(back.lut3DSize, 2);
    }

    // Reading a file and writing the result over it leaves the same table, for every writable
    // format; for .cube also through the conversion driver, as read and resampled.
    void samePath_data() { writableRows(); }
    void samePath()
    {
        QFETCH(int, id);
        const QString path = dir.filePath(QStringLiteral("same-%1").arg(id));
        Read_LUTFile read;
        QString why;
        QVERIFY2(writeThenRead(id, smallSize(id), path, read, &why), qPrintable(why));
        Write_LUTFile again;
        QVERIFY2(again.WriteFile(outputSide(id, path, read.lut3DSize), read), qPrintable(again.errorString));
        Read_LUTFile reread;
        QVERIFY2(reread.ReadFile(readSide(id, path), false), qPrintable(reread.errorString));
        // Integers are truncated when written, so a value may come back one step lower.
        const qint64 scale = formatScale(id);
        const QString diff = tableDifference(read, reread, scale > 1 ? 1.01f / float(scale) : 0.0f);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
        QCOMPARE(folderEntries(QFileInfo(path).path()).filter(QStringLiteral("same-%1").arg(id)).size(), 1);

        if (Formats::Id(id) == Formats::Id::Cube) {
            QString reason;
            QVERIFY2(MainWindow::ConvertLut(outputSide(cubeId, path, 5), reread, &reason), qPrintable(reason));
            QVERIFY2(MainWindow::ConvertLut(outputSide(cubeId, path, 17), reread, &reason), qPrintable(reason));
            Read_LUTFile resampled;
            QVERIFY(resampled.ReadFile(TestUtil::side(Formats::Id::Cube, path), false));
            QCOMPARE(resampled.lut3DSize, 17);
        }
    }

    // What real files carry does not change the table read: a UTF-8 byte-order mark, CR LF or
    // lone CR line ends, blanks and tabs at line ends, a last line without a line end.
    void textVariants_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("variant");
        const char *const names[] = {"byte-order mark", "CR LF", "CR", "trailing blanks", "no final line end", "all"};
        for (int id : writableIds())
            for (int v = 0; v < 6; ++v)
                QTest::newRow(qPrintable(QStringLiteral("%1 %2: %3").arg(id).arg(Read_LUTFile::formatStr(id), names[v])))
                    << id << v;
    }
    void textVariants()
    {
        QFETCH(int, id);
        QFETCH(int, variant);
        const QString plainPath = dir.filePath(QStringLiteral("plain-%1-%2").arg(id).arg(variant));
        Read_LUTFile plain;
        QString why;
        QVERIFY2(writeThenRead(id, sizeFor(id, 3, 17), plainPath, plain, &why),
                 qPrintable(why));

        QByteArray text = TestUtil::readFile(plainPath);
        text.replace("\r\n", "\n");
        const bool all = variant == 5;
        if (variant == 3 || all)
            text.replace("\n", " \t \n");
        if (variant == 4 || all)
            while (text.endsWith('\n') || text.endsWith(' ') || text.endsWith('\t'))
                text.chop(1);
        if (variant == 1 || all)
            text.replace("\n", "\r\n");
        if (variant == 2)
            text.replace("\n", "\r");
        if (variant == 0 || all)
            text.prepend("\xEF\xBB\xBF");
        const QString changedPath = TestUtil::writeTemp(dir, QStringLiteral("changed-%1-%2").arg(id).arg(variant), text);
        Read_LUTFile changed;
        QVERIFY2(changed.ReadFile(readSide(id, changedPath), false), qPrintable(changed.errorString));
        const QString diff = tableDifference(plain, changed);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }
};

QTEST_GUILESS_MAIN(TestHardening)
#include "tst_hardening.moc"
