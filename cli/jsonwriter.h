#ifndef CLI_JSONWRITER_H
#define CLI_JSONWRITER_H

#include <QString>
#include <QVector>

// JSON for scripts, indented two spaces a level. Numbers go through the program's own printer,
// so they read the same under every locale; NaN and infinities, which JSON cannot hold, are
// written as null. `key` is the member name inside an object and nullptr inside an array.
class JsonWriter
{
public:
    enum Notation { General, Fixed };   // 6 significant digits, or 6 decimals

    void beginObject(const char *key = nullptr) { open(key, '{'); }
    void endObject() { close('}'); }
    void beginArray(const char *key = nullptr) { open(key, '['); }
    void endArray() { close(']'); }
    void string(const char *key, const QString &value);
    void number(const char *key, double value, Notation notation = General);
    void integer(const char *key, qint64 value);
    void boolean(const char *key, bool value);
    // A short list of numbers on one line.
    void numbers(const char *key, const float *values, int count, Notation notation = General);

    // The document, ending in a line end.
    QString text() const { return text_ + QLatin1Char('\n'); }

private:
    void open(const char *key, char bracket);
    void close(char bracket);
    void member(const char *key);
    static QString quoted(const QString &s);
    static QString numberText(double value, Notation notation);

    QString text_;
    QVector<bool> empty_;   // per open level: nothing written in it yet
};

#endif
