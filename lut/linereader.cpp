#include "lut/linereader.h"

#include <QFile>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "lut/inputlimit.h"

namespace {

// How much of a file is read at a time. The window grows only for a longer line. It stays
// within the second-level cache, and one is open for every part of a file read in parts.
constexpr qsizetype windowSize = qsizetype(64) << 10;

inline bool isSpace(unsigned char ch)
{
    return ch == ' ' || (ch >= '\t' && ch <= '\r');
}

// Whether no byte of [b, e) has its top bit set, eight bytes at a time (the last eight
// overlapping the ones before).
inline bool isAscii(const unsigned char *b, const unsigned char *e)
{
    std::uint64_t high = 0;
    if (e - b >= 8) {
        std::uint64_t w;
        for (; e - b > 8; b += 8) {
            std::memcpy(&w, b, 8);
            high |= w;
        }
        std::memcpy(&w, e - 8, 8);
        high |= w;
    } else {
        for (; b < e; ++b)
            high |= *b;
    }
    return !(high & 0x8080808080808080u);
}

}

LineReader::LineReader() = default;
LineReader::~LineReader() = default;

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
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        error_ = QStringLiteral("cannot open %1: %2").arg(path, file->errorString());
        return false;
    }
    if (file->isSequential()) {
        // A pipe cannot be read twice: keep all of it.
        QByteArray text;
        if (!InputLimit::readAll(*file, path, &text, &error_))
            return false;
        setText(text);
        return true;
    }
    const qint64 size = file->size();
    if (size > LutLimits::maxFileBytes) {
        error_ = InputLimit::tooLarge(path, size);
        return false;
    }
    setText(QByteArray());
    textBytes_ = size;
    file_ = std::move(file);
    eof_ = false;
    fill();
    return error_.isEmpty();
}

bool LineReader::open(const QString &path, qint64 from, qint64 to)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered) || file->isSequential() || !file->seek(from)) {
        error_ = QStringLiteral("cannot read %1 from byte %2: %3").arg(path).arg(from).arg(file->errorString());
        return false;
    }
    setText(QByteArray());
    file_ = std::move(file);
    from_ = base_ = from;
    to_ = to;
    eof_ = false;
    fill();
    return error_.isEmpty();
}

QString LineReader::fileName() const
{
    return file_ ? file_->fileName() : QString();
}

// Moves the unread rest of the window to its front and reads more of the file behind it
// (growing the window when the rest fills it); false once the file has nothing more. The file
// is read with plain reads, never mapped: a file cut short while it is read then merely ends
// early instead of faulting.
bool LineReader::fill()
{
    if (eof_)
        return false;
    const qsizetype rest = end_ - pos_;
    if (pos_ > 0 && rest > 0)
        std::memmove(buf_.data(), buf_.constData() + pos_, std::size_t(rest));
    base_ += pos_;
    pos_ = 0;
    end_ = rest;
    qsizetype capacity = std::max(qsizetype(buf_.size()), windowSize);
    if (capacity - end_ < windowSize / 2)
        capacity = std::min(std::max(capacity * 2, end_ + windowSize), qsizetype(LutLimits::maxFileBytes) + windowSize);
    if (buf_.size() != capacity)
        buf_.resize(capacity);
    const qint64 got = file_->read(buf_.data() + end_, capacity - end_);
    if (got <= 0) {
        if (got < 0)
            failReading(QStringLiteral("cannot read %1: %2").arg(file_->fileName(), file_->errorString()));
        eof_ = true;   // the file stays open for a rewind
        return false;
    }
    end_ += qsizetype(got);
    // A file that grows while it is read is held to the same bound as one that is large at once.
    if (base_ + end_ > LutLimits::maxFileBytes) {
        failReading(InputLimit::tooLarge(file_->fileName()));
        eof_ = true;
        return false;
    }
    if (to_ >= 0 && base_ + end_ >= to_) {
        // The range ends within what was read.
        end_ = qsizetype(std::max<qint64>(to_ - base_, pos_));
        eof_ = true;
    }
    return true;
}

void LineReader::failReading(const QString &why)
{
    error_ = why;
    if (failure_)
        *failure_ = why;
}

const QByteArray &LineReader::buffer()
{
    // From the start of the text, the window grows until it holds the whole file.
    rewind();
    while (fill()) {
    }
    buf_.truncate(int(end_));
    return buf_;
}

void LineReader::setText(const QByteArray &text)
{
    file_.reset();
    buf_ = text;
    textBytes_ = text.size();
    from_ = 0;
    to_ = -1;
    base_ = 0;
    end_ = buf_.size();
    eof_ = true;
    error_.clear();
    rewind();
}

void LineReader::rewind()
{
    if (base_ > from_ && file_) {
        // The start of the text has left the window: read it again.
        base_ = from_;
        pos_ = 0;
        end_ = 0;
        eof_ = !file_->seek(from_);
        if (eof_)
            failReading(QStringLiteral("cannot read %1 again: %2").arg(file_->fileName(), file_->errorString()));
        fill();
    }
    pos_ = 0;
    line_ = nullptr;
    len_ = 0;
    lineNo_ = 0;
}

bool LineReader::next()
{
    // The window must hold the whole line: up to a line end, or to the end of the text.
    const char *nl = nullptr;
    qsizetype scanned = pos_;
    for (;;) {
        const char *base = buf_.constData();
        nl = static_cast<const char *>(std::memchr(base + scanned, '\n', std::size_t(end_ - scanned)));
        if (nl || eof_)
            break;
        // No LF yet, but a CR before the window's last byte already ends the line (old Mac text).
        if (end_ - pos_ >= 2 && std::memchr(base + pos_, '\r', std::size_t(end_ - 1 - pos_)))
            break;
        const qsizetype seen = end_ - pos_;
        fill();
        scanned = pos_ + seen;
    }
    if (pos_ >= end_) {
        line_ = nullptr;
        len_ = 0;
        return false;
    }
    const char *base = buf_.constData();
    const char *start = base + pos_;
    // A byte-order mark at the start of the file is no text (a file of only the mark still
    // has one, empty, line).
    if (atTextStart() && end_ >= 3 && std::memcmp(base, "\xEF\xBB\xBF", 3) == 0)
        start += 3;
    const char *stop = base + end_;
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
        pos_ = nl ? (nl - base) + 1 : end_;
    }
    ++lineNo_;

    const unsigned char *b = reinterpret_cast<const unsigned char *>(start);
    const unsigned char *e = reinterpret_cast<const unsigned char *>(lineEnd);
    if (!isAscii(b, e)) {
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
