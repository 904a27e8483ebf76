#ifndef LINEREADER_H
#define LINEREADER_H

#include <QByteArray>
#include <QString>

#include <memory>

class QFile;

// The one line reader of every text format. It reads a file through a window of a few hundred
// kilobytes (a 129-point lattice's 58 MB of text is never held whole) and hands out its lines
// one by one, stripped of surrounding white space, as UTF-8 bytes:
//  - a UTF-8 byte-order mark at the start is dropped;
//  - LF, CR LF and a lone CR all end a line; the last line needs no line end;
//  - lines are trimmed of the white space QString::trimmed() removes (for lines that are not
//    pure ASCII the line is decoded, trimmed as text and encoded again, so that e.g. a
//    no-break space around a number is removed the same way);
//  - lineNumber() is the physical line number (1-based) of the current line, so that a
//    failure can say where it happened;
//  - a line's bytes stay valid until the next call of next(), nextNonEmpty() or rewind().
class LineReader
{
public:
    LineReader();
    ~LineReader();

    // Read the file; false (with errorString()) when it cannot be opened or read.
    bool open(const QString &path);
    // Read only the bytes from `from` up to `to` (to < 0: the end) of a file that can be read
    // at any offset, as if they were the whole text (lines numbered from the range's start):
    // one part of a large file, read beside the others. A range from 0 drops a byte-order
    // mark as open() does.
    bool open(const QString &path, qint64 from, qint64 to);
    // Use an in-memory text instead of a file (tests, and readers of embedded text).
    void setText(const QByteArray &text);
    // Bytes in the whole text: a file's size when it was opened, all of a pipe, or the
    // in-memory text. What bounds how much a text can hold before it is read.
    qint64 textBytes() const { return textBytes_; }
    QString errorString() const { return error_; }
    // Where to record, besides errorString(), why the text ended before the end of the file
    // (a read error, or a file that grew beyond the largest LUT while it was read): the text
    // then merely ends, and the caller refuses the read for that reason. The string must
    // outlive the reader.
    void reportFailuresTo(QString *failure) { failure_ = failure; }
    // The whole text as read, for formats that are not parsed line by line (XML). Reads all of
    // the file into memory and rewinds the lines.
    const QByteArray &buffer();

    // Advance to the next line; false at the end of the text.
    bool next();
    // Advance to the next non-empty line; false at the end of the text.
    bool nextNonEmpty();
    void rewind();

    const char *data() const { return line_; }
    int size() const { return len_; }
    bool isEmpty() const { return len_ == 0; }
    QByteArray line() const { return QByteArray(line_, len_); }
    QString text() const { return decodeLine(line_, len_); }
    int lineNumber() const { return lineNo_; }
    // Where in the file (or text) the next line begins.
    qint64 offset() const { return base_ + pos_; }
    // The file being read; empty for a text given with setText() or a file read whole.
    QString fileName() const;

    bool startsWith(const char *prefix) const;
    bool contains(const char *needle) const;
    bool equals(const char *s) const;
    char first() const { return len_ > 0 ? line_[0] : '\0'; }

    // UTF-8 bytes of a line as text, a byte-order mark inside the text kept.
    static QString decodeLine(const char *data, int len);

private:
    bool fill();
    void failReading(const QString &why);
    bool atTextStart() const { return base_ == 0 && pos_ == 0; }

    std::unique_ptr<QFile> file_;   // the file, while some of it is still to be read
    QByteArray buf_;       // the window: bytes base_ .. base_ + end_ of the text
    qint64 base_ = 0;
    qint64 textBytes_ = 0;
    qsizetype end_ = 0;
    bool eof_ = true;      // nothing more to read beyond the window
    QByteArray slow_;      // storage for a line that needed decoding
    qsizetype pos_ = 0;    // where the next line starts in the window
    const char *line_ = nullptr;
    int len_ = 0;
    int lineNo_ = 0;
    QString error_;
    QString *failure_ = nullptr;
    qint64 from_ = 0;      // the range read: from_ up to to_ (to_ < 0: the end)
    qint64 to_ = -1;
};

#endif
