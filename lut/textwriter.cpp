#include "lut/textwriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include "lut/platform.h"

namespace {
// Create a new file beside `target`, under a hidden name of its own. It is created like any
// new file, so it gets the permissions the user's settings give new files (on Unix what the
// file mode mask allows). Null when the folder takes no new file.
std::unique_ptr<QFile> createTemporary(const QFileInfo &target)
{
    const QDir dir = target.absoluteDir();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = QStringLiteral(".%1.%2").arg(target.fileName()).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        auto file = std::make_unique<QFile>(dir.filePath(name));
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return file;
        if (!file->exists())
            break;  // not a name clash: the folder refuses new files
    }
    return nullptr;
}

// Copy the finished temporary file into the target in place, for when the system will not
// move a file over it (on Windows while another program reads it).
bool copyInto(const QString &from, const QString &to)
{
    QFile source(from);
    QFile target(to);
    if (!source.open(QIODevice::ReadOnly) || !target.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray chunk;
    while (!(chunk = source.read(1 << 20)).isEmpty())
        if (target.write(chunk) != chunk.size())
            return false;
    return source.error() == QFileDevice::NoError && target.flush();
}

// Put the finished temporary file in the target's place: moved over it in one step or, where
// the system refuses that, copied into it.
bool replaceTarget(const QString &temp, const QString &target)
{
    if (Platform::replaceFile(temp, target))
        return true;
    if (!QFile::exists(target) || !copyInto(temp, target))
        return false;
    QFile::remove(temp);
    return true;
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
    if (auto temp = createTemporary(info)) {
        direct_ = false;
        file_ = std::move(temp);
        // A replaced file keeps its permissions; a new one has those it was created with.
        if (info.exists())
            file_->setPermissions(QFile::permissions(target_));
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
    put(Platform::lineEnd, Platform::lineEndLength);
}

void TextWriter::putLines(const char *s)
{
    while (const char *newline = std::strchr(s, '\n')) {
        put(s, int(newline - s));
        endLine();
        s = newline + 1;
    }
    put(s);
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
        // A read-only copy of a read-only target cannot be removed everywhere.
        QFile::setPermissions(temp, QFile::ReadOwner | QFile::WriteOwner);
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
    if (!failed_ && !direct_ && !replaceTarget(file_->fileName(), target_)) {
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
