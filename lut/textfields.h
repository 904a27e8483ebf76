#ifndef TEXTFIELDS_H
#define TEXTFIELDS_H

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

}

#endif
