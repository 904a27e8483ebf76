#ifndef TEXTWRITER_H
#define TEXTWRITER_H

#include <QByteArray>
#include <QString>

#include <cstring>
#include <memory>

#include "lut/numformat.h"

class QFile;

// Buffered text output of the writers. It prints exactly what a QTextStream on a text-mode
// file prints (numbers through NumFormat, the platform's line end) and keeps the stream's
// one piece of state the emitters change: the real-number notation.
//
// The file is replaced safely: the text goes to a temporary file in the target's folder,
// which is renamed over the target only when everything was written. A write error (a full
// disk, a file size limit) leaves the file the user already had as it was. Without open()
// the text is kept in memory (buffer()), which tests compare with QTextStream.
class TextWriter
{
public:
    TextWriter();
    ~TextWriter();
    TextWriter(const TextWriter &) = delete;
    TextWriter &operator=(const TextWriter &) = delete;

    bool open(const QString &path);
    // Write what is buffered and replace the target; false (with errorString()) on any error.
    bool commit();
    QString errorString() const { return error_; }

    void put(const char *s, int len)
    {
        if (len > spaceLeft())
            flush();
        if (len > spaceLeft()) {
            writeOut(s, len);
            return;
        }
        std::memcpy(pos_, s, std::size_t(len));
        pos_ += len;
    }
    void put(const char *s) { put(s, int(std::strlen(s))); }
    void put(const QString &s)
    {
        const QByteArray b = s.toUtf8();
        put(b.constData(), b.size());
    }
    void put(char ch)
    {
        if (spaceLeft() < 1)
            flush();
        *pos_++ = ch;
    }
    void endLine();
    // Text of whole lines: each '\n' in it is written as the platform's line end.
    void putLines(const char *s);
    void putLines(const QString &s) { putLines(s.toUtf8().constData()); }

    // A real number in the current notation (general until setFixed(true)).
    void putReal(float value);
    // A real number in fixed notation, right-aligned in a field of at least `width` characters.
    void putFixed(float value, int width);
    void putInt(qint64 value);

    void setFixed(bool fixed) { fixed_ = fixed; }
    bool isFixed() const { return fixed_; }

    // The text written so far when no file is open.
    QByteArray buffer() const;

private:
    static constexpr int bufferSize = 1 << 18;
    // Room for one number of any form, so that numbers are formatted in place.
    static constexpr int numberRoom = NumFormat::maxLength + 64;

    int spaceLeft() const { return int(end_ - pos_); }
    void reserveNumber()
    {
        if (spaceLeft() < numberRoom)
            flush();
    }
    void flush();
    void writeOut(const char *data, qint64 len);
    void discard();

    std::unique_ptr<char[]> buf_;
    char *pos_;
    char *end_;
    QByteArray memory_;             // the text, when no file is open
    std::unique_ptr<QFile> file_;   // the temporary file (or the target, when no temporary can be made)
    QString target_;
    bool direct_ = false;           // writing the target itself
    QString error_;
    bool fixed_ = false;
    bool failed_ = false;
};

#endif
