#ifndef TEXTFIELDS_H
#define TEXTFIELDS_H

#include "lut/numscan.h"

// Fields of one text line, separated by runs of white space (blank, and the ASCII controls
// tab to carriage return), found by looking at each byte once. Formats that tell their line
// kinds apart by the number of fields use this instead of splitting the line into strings,
// so a sample line costs no allocation.
namespace TextFields {

inline bool isSpace(char ch)
{
    return ch == ' ' || (ch >= '\t' && ch <= '\r');
}

// Number of fields in text[0, len).
inline int count(const char *text, int len)
{
    int fields = 0;
    bool inField = false;
    for (int i = 0; i < len; ++i) {
        const bool space = isSpace(text[i]);
        if (!space && !inField)
            ++fields;
        inField = !space;
    }
    return fields;
}

// Walks the fields of a line one by one.
struct Cursor {
    const char *p;
    const char *end;

    // The next field as [begin, stop); false when no field is left.
    bool next(const char *&begin, const char *&stop)
    {
        while (p < end && isSpace(*p))
            ++p;
        if (p == end)
            return false;
        begin = p;
        while (p < end && !isSpace(*p))
            ++p;
        stop = p;
        return true;
    }
};

// The common sample line in one pass: true when text[0, len) is exactly `count` fields and
// each is wholly a number (as "%lf" reads it), stored in out[0] to out[count - 1]. Otherwise
// false with `out` untouched, and the caller classifies the line the long way.
inline bool readNumberFields(const char *text, int len, double *out, int count)
{
    double v[8];
    if (count > 8)
        return false;
    NumScan::Cursor c{text, text + len};
    for (int i = 0; i < count; ++i) {
        if (!NumScan::readDouble(c, v[i]) || (c.p != c.end && !isSpace(*c.p)))
            return false;
    }
    NumScan::skipSpace(c);
    if (c.p != c.end)
        return false;
    for (int i = 0; i < count; ++i)
        out[i] = v[i];
    return true;
}

}

#endif
