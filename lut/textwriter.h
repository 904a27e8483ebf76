#ifndef TEXTWRITER_H
#define TEXTWRITER_H

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include "lut/numformat.h"

// Buffered text output of the writers. It prints exactly what a QTextStream on a text-mode
// file prints (numbers through NumFormat, the platform's line end) and keeps the stream's
// one piece of state the emitters change: the real-number notation.
//
// The file is written through QSaveFile: the new content goes to a temporary file that only
// replaces the target when everything was written, so a failed write never damages the file
// the user already had.
class TextWriter
{
public:
    TextWriter() = default;
    ~TextWriter();

    bool open(const QString &path);
    // Write what is buffered and replace the target; false (with errorString()) on any error.
    bool commit();
    QString errorString() const { return error_; }

    void put(const char *s, int len) { buf_.append(s, len); flushIfFull(); }
    void put(const char *s) { buf_.append(s); flushIfFull(); }
    void put(const QString &s) { buf_.append(s.toUtf8()); flushIfFull(); }
    void put(char ch) { buf_.append(ch); }
    void endLine();

    // A real number in the current notation (general until setFixed(true)).
    void putReal(float value);
    // A real number in fixed notation, right-aligned in a field of at least `width` characters.
    void putFixed(float value, int width);
    void putInt(qint64 value);

    void setFixed(bool fixed) { fixed_ = fixed; }
    bool isFixed() const { return fixed_; }

    // The text written so far when no file is open (tests compare it with QTextStream).
    QByteArray buffer() const { return buf_; }

private:
    void flushIfFull();
    bool flush();

    QSaveFile *file_ = nullptr;
    QByteArray buf_;
    QString error_;
    bool fixed_ = false;
    bool failed_ = false;
};

#endif
