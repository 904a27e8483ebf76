#include "formats/xmltext.h"

#include <QByteArray>
#include <QIODevice>
#include <QXmlStreamReader>

#include "lut/lutlimits.h"

namespace {

class MarkupScan
{
public:
    bool run(QIODevice &device, QString *why);

private:
    enum State { Text, Open, Tag, Comment, Instruction, CData };
    bool step(char c, QString *why);

    State state_ = Text;
    QByteArray opening_;    // the characters after "<" while it is not yet known what follows
    qint64 tagBytes_ = 0;
    char quote_ = 0;
    char prev_[2] = {0, 0};
    int line_ = 1;
    int tagLine_ = 1;
};

bool MarkupScan::run(QIODevice &device, QString *why)
{
    char chunk[1 << 16];
    qint64 n;
    while ((n = device.read(chunk, sizeof chunk)) > 0)
        for (qint64 i = 0; i < n; ++i)
            if (!step(chunk[i], why))
                return false;
    if (device.reset())
        return true;
    *why = QStringLiteral("cannot read the document again: %1").arg(device.errorString());
    return false;
}

bool MarkupScan::step(char c, QString *why)
{
    if (c == '\n')
        ++line_;
    const bool endsTwo = c == '>' && prev_[1] == prev_[0];
    switch (state_) {
    case Text:
        if (c == '<') {
            state_ = Open;
            opening_.clear();
            tagLine_ = line_;
        }
        break;
    case Open:
        opening_ += c;
        if (opening_ == "!--") {
            state_ = Comment;
        } else if (opening_ == "![CDATA[") {
            state_ = CData;
        } else if (c == '?' && opening_.size() == 1) {
            state_ = Instruction;
        } else if (!QByteArray("!--").startsWith(opening_) && !QByteArray("![CDATA[").startsWith(opening_)) {
            state_ = Tag;
            tagBytes_ = opening_.size();
            quote_ = 0;
            if (c == '>')
                state_ = Text;
        }
        break;
    case Tag:
        if (++tagBytes_ > LutLimits::maxXmlTagBytes) {
            *why = QStringLiteral("line %1: a tag longer than %2 bytes (no LUT has attributes that long)")
                       .arg(tagLine_).arg(LutLimits::maxXmlTagBytes);
            return false;
        }
        if (quote_) {
            if (c == quote_)
                quote_ = 0;
        } else if (c == '"' || c == '\'') {
            quote_ = c;
        } else if (c == '>') {
            state_ = Text;
        }
        break;
    case Comment:
        if (endsTwo && prev_[1] == '-')
            state_ = Text;
        break;
    case CData:
        if (endsTwo && prev_[1] == ']')
            state_ = Text;
        break;
    case Instruction:
        if (c == '>' && prev_[1] == '?')
            state_ = Text;
        break;
    }
    prev_[0] = prev_[1];
    prev_[1] = c;
    return true;
}

}

bool XmlText::scan(QIODevice &device, QString *why)
{
    MarkupScan scan;
    return scan.run(device, why);
}

QString XmlText::escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&apos;"); break;
        default: out += (c.unicode() < 0x20 && c != QLatin1Char('\t')) ? QLatin1Char(' ') : c;
        }
    }
    return out;
}

XmlText::Skipped XmlText::skipElement(QXmlStreamReader &xml, int depth, QString *text, int limit)
{
    int open = 1;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (depth + open + 1 > LutLimits::maxXmlDepth)
                return Skipped::TooDeep;
            ++open;
            break;
        case QXmlStreamReader::EndElement:
            if (--open == 0)
                return Skipped::End;
            break;
        case QXmlStreamReader::Characters:
            if (text && text->size() <= limit)
                text->append(xml.text());
            break;
        default:
            break;
        }
    }
    return Skipped::DocumentEnd;
}
