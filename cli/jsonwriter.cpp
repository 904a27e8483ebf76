#include "cli/jsonwriter.h"

#include <cmath>

#include "lut/numformat.h"

void JsonWriter::member(const char *key)
{
    if (!empty_.isEmpty()) {
        text_ += empty_.last() ? QStringLiteral("\n") : QStringLiteral(",\n");
        empty_.last() = false;
        text_ += QString(empty_.size() * 2, QLatin1Char(' '));
    }
    if (key)
        text_ += quoted(QString::fromUtf8(key)) + QStringLiteral(": ");
}

void JsonWriter::open(const char *key, char bracket)
{
    member(key);
    text_ += QLatin1Char(bracket);
    empty_.append(true);
}

void JsonWriter::close(char bracket)
{
    const bool wasEmpty = empty_.takeLast();
    if (!wasEmpty)
        text_ += QLatin1Char('\n') + QString(empty_.size() * 2, QLatin1Char(' '));
    text_ += QLatin1Char(bracket);
}

void JsonWriter::string(const char *key, const QString &value)
{
    member(key);
    text_ += quoted(value);
}

void JsonWriter::number(const char *key, double value, Notation notation)
{
    member(key);
    text_ += numberText(value, notation);
}

void JsonWriter::integer(const char *key, qint64 value)
{
    member(key);
    char buffer[32];
    text_ += QString::fromLatin1(buffer, int(NumFormat::integer(buffer, value) - buffer));
}

void JsonWriter::boolean(const char *key, bool value)
{
    member(key);
    text_ += value ? QStringLiteral("true") : QStringLiteral("false");
}

void JsonWriter::numbers(const char *key, const float *values, int count, Notation notation)
{
    member(key);
    text_ += QLatin1Char('[');
    for (int i = 0; i < count; ++i)
        text_ += (i ? QStringLiteral(", ") : QString()) + numberText(double(values[i]), notation);
    text_ += QLatin1Char(']');
}

QString JsonWriter::numberText(double value, Notation notation)
{
    if (!std::isfinite(value))
        return QStringLiteral("null");
    char buffer[NumFormat::maxLength];
    const char *end = notation == Fixed ? NumFormat::fixed6(buffer, value) : NumFormat::general6(buffer, value);
    return QString::fromLatin1(buffer, int(end - buffer));
}

QString JsonWriter::quoted(const QString &s)
{
    QString out = QStringLiteral("\"");
    for (const QChar ch : s) {
        const ushort u = ch.unicode();
        if (ch == QLatin1Char('"') || ch == QLatin1Char('\\'))
            out += QLatin1Char('\\') + ch;
        else if (u == '\n')
            out += QStringLiteral("\\n");
        else if (u == '\t')
            out += QStringLiteral("\\t");
        else if (u < 0x20)
            out += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
        else
            out += ch;
    }
    return out + QLatin1Char('"');
}
