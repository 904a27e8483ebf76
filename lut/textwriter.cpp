#include "lut/textwriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {
#ifdef Q_OS_WIN
constexpr char lineEnd[] = "\r\n";
#else
constexpr char lineEnd[] = "\n";
#endif

// Move the finished temporary file over the target in one step.
bool replaceFile(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    QFile::remove(to);
    return QFile::rename(from, to);
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

// Read, write for everyone, less what the process's file mode mask takes away.
QFile::Permissions newFilePermissions()
{
    QFile::Permissions all = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser
        | QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
#ifdef Q_OS_UNIX
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (mask & S_IWGRP)
        all &= ~QFile::WriteGroup;
    if (mask & S_IRGRP)
        all &= ~QFile::ReadGroup;
    if (mask & S_IWOTH)
        all &= ~QFile::WriteOther;
    if (mask & S_IROTH)
        all &= ~QFile::ReadOther;
    if (mask & S_IWUSR)
        all &= ~(QFile::WriteOwner | QFile::WriteUser);
    if (mask & S_IRUSR)
        all &= ~(QFile::ReadOwner | QFile::ReadUser);
#endif
    return all;
}
}

TextWriter::TextWriter()
    : buf_(new char[bufferSize])
    , pos_(buf_.get())
    , end_(buf_.get() + bufferSize)
{
}

TextWriter::~TextWriter()
{
    discard();
}

bool TextWriter::open(const QString &path)
{
    discard();
    failed_ = false;
    error_.clear();
    target_ = path;
    QFileInfo info(path);
    // Through a symbolic link the file it points to is replaced; the link stays.
    if (info.isSymLink()) {
        const QString resolved = info.exists() ? info.canonicalFilePath() : info.symLinkTarget();
        if (!resolved.isEmpty()) {
            target_ = resolved;
            info = QFileInfo(resolved);
        }
    }
    if (info.isDir()) {
        error_ = QStringLiteral("cannot write %1: it is a folder").arg(path);
        return false;
    }
    auto temp = std::make_unique<QTemporaryFile>(info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(info.fileName())));
    temp->setAutoRemove(false);
    if (temp->open()) {
        direct_ = false;
        file_ = std::move(temp);
        // The temporary file is private to its owner; the file it becomes gets the old file's
        // permissions, or those a newly created file gets.
        file_->setPermissions(info.exists() ? QFile::permissions(target_) : newFilePermissions());
        return true;
    }
    // A folder where no temporary file can be made, but whose target may be writable: write
    // the target directly.
    auto direct = std::make_unique<QFile>(target_);
    if (!direct->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error_ = QStringLiteral("cannot open %1 for writing: %2").arg(path, direct->errorString());
        return false;
    }
    direct_ = true;
    file_ = std::move(direct);
    return true;
}

void TextWriter::endLine()
{
    put(lineEnd, int(sizeof(lineEnd) - 1));
}

void TextWriter::putReal(float value)
{
    reserveNumber();
    pos_ = fixed_ ? NumFormat::fixed6(pos_, value) : NumFormat::general6(pos_, value);
}

void TextWriter::putFixed(float value, int width)
{
    reserveNumber();
    char *start = pos_;
    char *stop = NumFormat::fixed6(start, value);
    const int len = int(stop - start);
    if (len < width) {
        std::memmove(start + (width - len), start, std::size_t(len));
        std::memset(start, ' ', std::size_t(width - len));
        stop = start + width;
    }
    pos_ = stop;
}

void TextWriter::putInt(qint64 value)
{
    reserveNumber();
    pos_ = NumFormat::integer(pos_, value);
}

void TextWriter::writeOut(const char *data, qint64 len)
{
    if (len <= 0)
        return;
    if (!file_) {
        memory_.append(data, int(len));
        return;
    }
    if (!failed_ && file_->write(data, len) != len) {
        failed_ = true;
        error_ = QStringLiteral("cannot write %1: %2").arg(target_, file_->errorString());
    }
}

void TextWriter::flush()
{
    writeOut(buf_.get(), pos_ - buf_.get());
    pos_ = buf_.get();
}

QByteArray TextWriter::buffer() const
{
    return memory_ + QByteArray(buf_.get(), int(pos_ - buf_.get()));
}

void TextWriter::discard()
{
    if (file_ && !direct_) {
        const QString temp = file_->fileName();
        file_->close();
        QFile::remove(temp);
    }
    file_.reset();
    pos_ = buf_.get();
}

bool TextWriter::commit()
{
    if (!file_)
        return false;
    flush();
    if (!failed_ && !file_->flush()) {
        failed_ = true;
        error_ = QStringLiteral("cannot write %1: %2").arg(target_, file_->errorString());
    }
    file_->close();
    if (!failed_ && file_->error() != QFileDevice::NoError) {
        failed_ = true;
        error_ = QStringLiteral("cannot write %1: %2").arg(target_, file_->errorString());
    }
    if (!failed_ && !direct_ && !replaceFile(file_->fileName(), target_)) {
        failed_ = true;
        error_ = QStringLiteral("cannot replace %1").arg(target_);
    }
    if (failed_) {
        discard();
        return false;
    }
    file_.reset();
    return true;
}
