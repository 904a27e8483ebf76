#include "lut/keywordline.h"

#include "lut/linereader.h"
#include "lut/textfields.h"

KeywordLine::KeywordLine(const LineReader &reader, const char *keyword, const char *then)
    : rest_(reader.line())
{
    rest_.replace(keyword, "");
    if (then)
        rest_.replace(then, "");
}

QByteArray KeywordLine::squeezed() const
{
    QByteArray out;
    out.reserve(rest_.size());
    for (char ch : rest_) {
        if (!TextFields::isSpace(ch))
            out.append(ch);
    }
    return out;
}
