#include "lut/linereader.h"

#include <QFile>

#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

// QTextStream reads a text through QByteArray-sized strings; a file beyond that is no LUT.
constexpr qint64 maxFileSize = qint64(1536) << 20;

// How much of a mapped text is read before its pages are handed back.
constexpr qsizetype releaseStep = qsizetype(256) << 10;

qsizetype pageSize()
{
#ifdef Q_OS_UNIX
    static const qsizetype size = qsizetype(sysconf(_SC_PAGESIZE));
    return size > 0 ? size : 4096;
#else
    return 65536;
#endif
}

inline bool isSpace(unsigned char ch)
{
    return ch == ' ' || (ch >= '\t' && ch <= '\r');
}

}

QString LineReader::decodeLine(const char *data, int len)
{
    // QString::fromUtf8 drops a byte-order mark at the start of what it decodes; one at the
    // start of a line (not of the file) is text, so a mark is put in front to be dropped.
    if (len >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0)
        return QString::fromUtf8(QByteArray("\xEF\xBB\xBF").append(data, len));
    return QString::fromUtf8(data, len);
}

bool LineReader::open(const QString &path)
{
    auto file = std::make_shared<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        error_ = QStringLiteral("cannot open %1: %2").arg(path, file->errorString());
        return false;
    }
    const qint64 size = file->size();
    if (size > maxFileSize) {
        error_ = QStringLiteral("%1 is too large to be a LUT (%2 bytes)").arg(path).arg(size);
        return false;
    }
    // The text is mapped rather than copied where the system allows: it then costs no memory
    // of its own, and the pages already read are handed back as reading goes on, so that a
    // 129-point lattice does not hold its 58 MB of text beside its table. The bytes after the
    // text up to the end of its last page read as zeros, which keeps the text NUL-terminated
    // like any QByteArray; a text that fills its last page exactly is read whole instead.
    if (size > 0 && size % pageSize() != 0) {
        if (const uchar *p = file->map(0, size)) {
            setText(QByteArray::fromRawData(reinterpret_cast<const char *>(p), int(size)));
            mapped_ = std::move(file);
            return true;
        }
    }
    QByteArray text = file->readAll();
    if (file->error() != QFileDevice::NoError) {
        error_ = QStringLiteral("cannot read %1: %2").arg(path, file->errorString());
        return false;
    }
    setText(text);
    return true;
}

void LineReader::releaseBehind(qsizetype offset)
{
    const qsizetype end = offset / pageSize() * pageSize();
#ifdef Q_OS_UNIX
    // The pages of a read-only file mapping are read from the file again if they are needed
    // again (a rewind, or the whole text through buffer()).
    madvise(const_cast<char *>(buf_.constData()) + released_, std::size_t(end - released_), MADV_DONTNEED);
#endif
    released_ = end;
}

void LineReader::setText(const QByteArray &text)
{
    buf_ = text;
    mapped_.reset();
    error_.clear();
    rewind();
}

void LineReader::rewind()
{
    pos_ = 0;
    released_ = 0;
    line_ = nullptr;
    len_ = 0;
    lineNo_ = 0;
}

bool LineReader::next()
{
    const qsizetype total = buf_.size();
    if (pos_ >= total) {
        line_ = nullptr;
        len_ = 0;
        return false;
    }
    if (mapped_ && pos_ - released_ >= releaseStep)
        releaseBehind(pos_);
    const char *base = buf_.constData();
    const char *start = base + pos_;
    // A byte-order mark at the start of the file is no text (a file of only the mark still
    // has one, empty, line).
    if (pos_ == 0 && total >= 3 && std::memcmp(base, "\xEF\xBB\xBF", 3) == 0)
        start += 3;
    const char *stop = base + total;
    const char *nl = static_cast<const char *>(std::memchr(start, '\n', std::size_t(stop - start)));
    const char *segEnd = nl ? nl : stop;
    const char *cr = static_cast<const char *>(std::memchr(start, '\r', std::size_t(segEnd - start)));
    const char *lineEnd = segEnd;
    if (cr && cr + 1 != segEnd) {
        // A lone CR (old Mac line end) ends the line too.
        lineEnd = cr;
        pos_ = (cr - base) + 1;
    } else {
        if (cr)
            lineEnd = cr;   // CR LF
        pos_ = nl ? (nl - base) + 1 : total;
    }
    ++lineNo_;

    const unsigned char *b = reinterpret_cast<const unsigned char *>(start);
    const unsigned char *e = reinterpret_cast<const unsigned char *>(lineEnd);
    unsigned char high = 0;
    for (const unsigned char *q = b; q < e; ++q)
        high |= *q;
    if (high & 0x80) {
        // Not pure ASCII: decode, trim as text (Unicode spaces included) and encode again.
        slow_ = decodeLine(start, int(lineEnd - start)).trimmed().toUtf8();
        line_ = slow_.constData();
        len_ = slow_.size();
        return true;
    }
    while (b < e && isSpace(*b))
        ++b;
    while (e > b && isSpace(e[-1]))
        --e;
    line_ = reinterpret_cast<const char *>(b);
    len_ = int(e - b);
    return true;
}

bool LineReader::nextNonEmpty()
{
    while (next()) {
        if (len_ > 0)
            return true;
    }
    return false;
}

bool LineReader::startsWith(const char *prefix) const
{
    const std::size_t n = std::strlen(prefix);
    return std::size_t(len_) >= n && std::memcmp(line_, prefix, n) == 0;
}

bool LineReader::equals(const char *s) const
{
    const std::size_t n = std::strlen(s);
    return std::size_t(len_) == n && std::memcmp(line_, s, n) == 0;
}

bool LineReader::contains(const char *needle) const
{
    const std::size_t n = std::strlen(needle);
    if (n == 0)
        return true;
    if (std::size_t(len_) < n)
        return false;
    const char *p = line_;
    const char *last = line_ + len_ - n;
    while (p <= last) {
        p = static_cast<const char *>(std::memchr(p, needle[0], std::size_t(last - p) + 1));
        if (!p)
            return false;
        if (std::memcmp(p, needle, n) == 0)
            return true;
        ++p;
    }
    return false;
}
