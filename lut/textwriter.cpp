#include "lut/textwriter.h"

#include <cstring>

namespace {
constexpr int flushSize = 1 << 20;
#ifdef Q_OS_WIN
constexpr char lineEnd[] = "\r\n";
#else
constexpr char lineEnd[] = "\n";
#endif
}

TextWriter::~TextWriter()
{
    if (file_)
        file_->cancelWriting();
    delete file_;
}

bool TextWriter::open(const QString &path)
{
    delete file_;
    file_ = new QSaveFile(path);
    // Writing into a folder where no temporary file can be made (but the target itself is
    // writable) falls back to writing the target directly.
    file_->setDirectWriteFallback(true);
    if (!file_->open(QIODevice::WriteOnly)) {
        error_ = QStringLiteral("cannot open %1 for writing: %2").arg(path, file_->errorString());
        delete file_;
        file_ = nullptr;
        return false;
    }
    buf_.reserve(flushSize + 4096);
    return true;
}

void TextWriter::endLine()
{
    buf_.append(lineEnd, int(sizeof(lineEnd) - 1));
    flushIfFull();
}

void TextWriter::putReal(float value)
{
    char tmp[NumFormat::maxLength];
    char *end = fixed_ ? NumFormat::fixed6(tmp, value) : NumFormat::general6(tmp, value);
    buf_.append(tmp, int(end - tmp));
}

void TextWriter::putFixed(float value, int width)
{
    char tmp[NumFormat::maxLength];
    char *end = NumFormat::fixed6(tmp, value);
    const int len = int(end - tmp);
    if (len < width)
        buf_.append(width - len, ' ');
    buf_.append(tmp, len);
}

void TextWriter::putInt(qint64 value)
{
    char tmp[24];
    char *end = NumFormat::integer(tmp, value);
    buf_.append(tmp, int(end - tmp));
}

void TextWriter::flushIfFull()
{
    if (buf_.size() >= flushSize)
        flush();
}

bool TextWriter::flush()
{
    if (!file_ || buf_.isEmpty())
        return !failed_;
    if (!failed_ && file_->write(buf_) != buf_.size()) {
        failed_ = true;
        error_ = QStringLiteral("write error: %1").arg(file_->errorString());
    }
    buf_.clear();
    return !failed_;
}

bool TextWriter::commit()
{
    if (!file_)
        return false;
    flush();
    if (failed_) {
        file_->cancelWriting();
    } else if (!file_->commit()) {
        failed_ = true;
        error_ = QStringLiteral("cannot write %1: %2").arg(file_->fileName(), file_->errorString());
    }
    delete file_;
    file_ = nullptr;
    return !failed_;
}
