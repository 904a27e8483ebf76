#include "lut/numformat.h"

#include <QString>
#include <QTextStream>

#include <cmath>
#include <cstring>

namespace NumFormat {

namespace {

char *copyOut(char *out, const QString &s)
{
    const QByteArray b = s.toLatin1();
    std::memcpy(out, b.constData(), std::size_t(b.size()));
    return out + b.size();
}

}

char *fixed6(char *out, double value)
{
    QString s;
    QTextStream ts(&s);
    ts.setRealNumberNotation(QTextStream::FixedNotation);
    ts << value;
    ts.flush();
    return copyOut(out, s);
}

char *general6(char *out, double value)
{
    QString s;
    QTextStream ts(&s);
    ts << value;
    ts.flush();
    return copyOut(out, s);
}

char *integer(char *out, qint64 value)
{
    char tmp[24];
    int n = 0;
    quint64 u = value < 0 ? 0 - quint64(value) : quint64(value);
    do {
        tmp[n++] = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (value < 0)
        *out++ = '-';
    while (n)
        *out++ = tmp[--n];
    return out;
}

qint64 scaled(float value, qint64 scale)
{
    const float v = value * float(scale);
    if (std::isnan(v))
        return 0;
    if (v >= 9223372036854775807.0f)
        return std::numeric_limits<qint64>::max();
    if (v <= -9223372036854775808.0f)
        return std::numeric_limits<qint64>::min();
    return qint64(v);
}

}
