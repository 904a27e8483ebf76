#include "lut/numscan.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace NumScan {

namespace {

bool isSpace(char ch)
{
    return ch == ' ' || (ch >= '\t' && ch <= '\r');
}

const char *limit(const Cursor &c)
{
    const void *nul = std::memchr(c.p, '\0', std::size_t(c.end - c.p));
    return nul ? static_cast<const char *>(nul) : c.end;
}

template <typename T, typename Conv>
bool readWith(Cursor &c, T &value, Conv conv)
{
    skipSpace(c);
    const std::string copy(c.p, limit(c));
    char *stop = nullptr;
    const T v = conv(copy.c_str(), &stop);
    if (stop == copy.c_str())
        return false;
    value = v;
    c.p += stop - copy.c_str();
    return true;
}

template <typename T, typename Read>
int scanMany(const char *text, int len, T *out, int count, Read read)
{
    Cursor c{text, text + len};
    int done = 0;
    for (int i = 0; i < count; ++i) {
        skipSpace(c);
        if (atEnd(c))
            return done == 0 ? -1 : done;
        if (!read(c, out[i]))
            return done;
        ++done;
    }
    return done;
}

}

void skipSpace(Cursor &c)
{
    while (c.p < c.end && isSpace(*c.p))
        ++c.p;
}

bool atEnd(const Cursor &c)
{
    return c.p >= c.end || *c.p == '\0';
}

bool matchChar(Cursor &c, char ch)
{
    if (atEnd(c) || *c.p != ch)
        return false;
    ++c.p;
    return true;
}

bool readFloat(Cursor &c, float &value)
{
    return readWith(c, value, [](const char *s, char **e) { return std::strtof(s, e); });
}

bool readDouble(Cursor &c, double &value)
{
    return readWith(c, value, [](const char *s, char **e) { return std::strtod(s, e); });
}

bool readInt(Cursor &c, int &value)
{
    return readWith(c, value, [](const char *s, char **e) { return int(std::strtol(s, e, 10)); });
}

bool readLong(Cursor &c, qint64 &value)
{
    return readWith(c, value, [](const char *s, char **e) { return qint64(std::strtoll(s, e, 10)); });
}

int scanFloats(const char *text, int len, float *out, int count)
{
    return scanMany(text, len, out, count, [](Cursor &c, float &v) { return readFloat(c, v); });
}

int scanDoubles(const char *text, int len, double *out, int count)
{
    return scanMany(text, len, out, count, [](Cursor &c, double &v) { return readDouble(c, v); });
}

int scanInts(const char *text, int len, int *out, int count)
{
    return scanMany(text, len, out, count, [](Cursor &c, int &v) { return readInt(c, v); });
}

}
