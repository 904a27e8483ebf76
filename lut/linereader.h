#ifndef LINEREADER_H
#define LINEREADER_H

#include <QByteArray>
#include <QString>

#include <memory>

class QFile;

// The one line reader of every text format. It reads the whole file at once and hands out
// its lines one by one, stripped of surrounding white space, as UTF-8 bytes:
//  - a UTF-8 byte-order mark at the start is dropped;
//  - LF, CR LF and a lone CR all end a line; the last line needs no line end;
//  - lines are trimmed of the white space QString::trimmed() removes (for lines that are not
//    pure ASCII the line is decoded, trimmed as text and encoded again, so that e.g. a
//    no-break space around a number is removed the same way);
//  - lineNumber() is the physical line number (1-based) of the current line, so that a
//    failure can say where it happened.
class LineReader
{
public:
    LineReader() = default;

    // Read the file; false (with errorString()) when it cannot be opened or read.
    bool open(const QString &path);
    // Use an in-memory text instead of a file (tests, and readers of embedded text).
    void setText(const QByteArray &text);
    QString errorString() const { return error_; }
    // The whole text as read, for formats that are not parsed line by line (XML).
    const QByteArray &buffer() const { return buf_; }

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

    bool startsWith(const char *prefix) const;
    bool contains(const char *needle) const;
    bool equals(const char *s) const;
    char first() const { return len_ > 0 ? line_[0] : '\0'; }

    // UTF-8 bytes of a line as text, a byte-order mark inside the text kept.
    static QString decodeLine(const char *data, int len);

private:
    void releaseBehind(qsizetype offset);

    std::shared_ptr<QFile> mapped_;   // the file whose mapping buf_ shows, when it is mapped
    qsizetype released_ = 0;          // pages of the mapping below this were handed back
    QByteArray buf_;
    QByteArray slow_;      // storage for a line that needed decoding
    qsizetype pos_ = 0;
    const char *line_ = nullptr;
    int len_ = 0;
    int lineNo_ = 0;
    QString error_;
};

#endif
