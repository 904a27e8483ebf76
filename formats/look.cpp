// .look: an XML document that carries a 3D LUT and optionally a 1D LUT, each as a size and a
// run of hexadecimal digits: 8 digits per float (little-endian IEEE 754), 24 per RGB sample.
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <look>
//     <shaders> ... </shaders>             <- skipped with all it holds, as is <ASC>
//     <LUT>
//       <size>"2"</size>
//       <data>"
//         000000000000000000000000         <- node r=0 g=0 b=0: red runs fastest, blue slowest
//         0000803f0000000000000000         <- r=1 g=0 b=0 (0000803f is 1.0)
//         ...                              (size^3 samples, R G B)
//       "</data>
//     </LUT>
//     <LUT1D> <size>"n"</size> <data>"..."</data> </LUT1D>
//   </look>
//
// Double quotes and white space in size and data are dropped; digits after the last sample
// are ignored. Samples are clamped below at 0, and a channel whose samples exceed 1 is scaled
// down by its largest sample. The writer gives the lattice only, one run of red per data line.
//
// Read faithfully, the floats are the table's values as written, over 0 to 1: nothing is
// scaled or clamped; a 1D table is applied before the lattice.

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "formats/look.h"

#include <QXmlStreamReader>

#include <cmath>
#include <cstring>

#include "lut/linereader.h"
#include "lut/numscan.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"
#include "formats/latticeout.h"
#include "formats/writers.h"

namespace {

// The reader's range pass left each channel's largest sample in the domains.
bool lookMeaning(std::shared_ptr<Read_LUTFile> raw, const Formats::Options &, LutTransform &out, QString *why)
{
    Formats::Meaning::unitDomains(*raw);
    return Formats::Meaning::tables(raw, out, why);
}

}

namespace Formats {
const Faithful lookFaithful = {lookMeaning, nullptr, nullptr, nullptr, false, {true, false}};
extern const Format lookFormat = withFaithful({
    "look", Id::Look, ".look", "look", true,
    memberReader<&Read_LUTFile::Read_Look>, Write_Look, false,
    {true, false}, {true, false}}, &lookFaithful);
}

namespace {

// Value of each byte as a hexadecimal digit; -1 for a byte that is none.
struct HexTable {
    signed char value[256];
    constexpr HexTable() : value()
    {
        for (int i = 0; i < 256; ++i)
            value[i] = -1;
        for (int i = 0; i < 10; ++i)
            value['0' + i] = static_cast<signed char>(i);
        for (int i = 0; i < 6; ++i) {
            value['a' + i] = static_cast<signed char>(10 + i);
            value['A' + i] = static_cast<signed char>(10 + i);
        }
    }
};
constexpr HexTable hexTable;

}

bool hexasciitoint(char &value, char digit)
{
    const signed char v = hexTable.value[static_cast<unsigned char>(digit)];
    value = v < 0 ? 0 : char(v);
    return v >= 0;
}

bool hexasciitofloat(float &value, const char *text)
{
    quint32 bits = 0;
    for (int i = 0; i < 8; ++i) {
        const signed char nibble = hexTable.value[static_cast<unsigned char>(text[i])];
        if (nibble < 0)
            return false;
        // Digit pair k is byte k, least significant first; the first digit is the high half.
        const int shift = (i / 2) * 8 + ((i % 2) ? 0 : 4);
        bits |= quint32(nibble) << shift;
    }
    std::memcpy(&value, &bits, sizeof value);
    return true;
}

namespace {

constexpr int digitsPerSample = 24;

// "LUT" holds the lattice, "LUT1D" the 1D table.
enum Kind { Lattice = 0, Entries = 1 };

QLatin1String elementName(Kind kind)
{
    return kind == Lattice ? QLatin1String("LUT") : QLatin1String("LUT1D");
}

// The digits of a data text: white space and double quotes dropped. Any other character is
// kept (non-ASCII ones as a stand-in that is no digit) so that decoding refuses it.
QByteArray hexDigits(const QString &raw)
{
    QByteArray out(raw.size(), Qt::Uninitialized);
    char *w = out.data();
    for (const QChar c : raw) {
        if (c == QLatin1Char('"') || c.isSpace())
            continue;
        *w++ = c.unicode() < 0x80 ? char(c.unicode()) : '\x7f';
    }
    out.truncate(int(w - out.constData()));
    return out;
}

class LookParser
{
public:
    LookParser(Read_LUTFile &lut, const QByteArray &text, bool headerOnly)
        : lut_(lut), xml_(text), headerOnly_(headerOnly)
    {
    }

    bool run();

private:
    struct Declared {
        int sizeLine = 0;     // where the size was given; 0 = not yet
        bool filled = false;  // data has been stored since
    };

    bool readTable(Kind kind);
    bool readSize(Kind kind);
    bool readData(Kind kind);
    bool decode(Kind kind, const QString &raw, const QByteArray &hex, int line, int column);
    bool failAtDigit(const QString &raw, qint64 digitIndex, int line, int column, const QString &why);
    bool xmlFail();
    int size(Kind kind) const { return kind == Lattice ? lut_.lut3DSize : lut_.lut1DSize; }

    Read_LUTFile &lut_;
    QXmlStreamReader xml_;
    bool headerOnly_;
    Declared declared_[2];
};

bool LookParser::run()
{
    while (!xml_.atEnd()) {
        if (xml_.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringRef name = xml_.name();
        if (name == QLatin1String("shaders") || name == QLatin1String("ASC")) {
            xml_.skipCurrentElement();
        } else if (name == elementName(Lattice)) {
            if (!readTable(Lattice))
                return false;
        } else if (name == elementName(Entries)) {
            if (!readTable(Entries))
                return false;
        }
    }
    if (xml_.hasError())
        return xmlFail();
    if (lut_.lut3DSize <= 0 && lut_.lut1DSize <= 0)
        return lut_.fail(QStringLiteral("no LUT or LUT1D element with a size"));
    if (headerOnly_)
        return true;
    // A table whose data never came would be handed on as zeros.
    for (Kind kind : {Lattice, Entries}) {
        if (size(kind) > 0 && !declared_[kind].filled)
            return lut_.failAt(declared_[kind].sizeLine,
                               QStringLiteral("%1 size %2 has no data after it").arg(elementName(kind)).arg(size(kind)));
    }
    return true;
}

// The children "size" and "data" up to the element's end. An XML error ends the loop; the
// caller reports it.
bool LookParser::readTable(Kind kind)
{
    while (!xml_.atEnd()) {
        const QXmlStreamReader::TokenType token = xml_.readNext();
        if (token == QXmlStreamReader::EndElement && xml_.name() == elementName(kind))
            return true;
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (xml_.name() == QLatin1String("size")) {
            if (!readSize(kind))
                return false;
        } else if (xml_.name() == QLatin1String("data")) {
            if (!readData(kind))
                return false;
        }
    }
    return true;
}

bool LookParser::readSize(Kind kind)
{
    const int line = int(xml_.lineNumber());
    const QString text = xml_.readElementText(QXmlStreamReader::SkipChildElements);
    if (xml_.hasError())
        return xmlFail();
    const QByteArray digits = QString(text).remove(QLatin1Char('"')).trimmed().toUtf8();
    int n = 0;
    if (!NumScan::wholeInt(digits.constData(), digits.size(), n))
        return lut_.failAt(line, QStringLiteral("%1 size \"%2\" is not a whole number").arg(elementName(kind), text.trimmed()));
    declared_[kind].sizeLine = line;
    declared_[kind].filled = false;
    if (n == 0) {
        // An empty table: nothing to allocate, and its data is ignored.
        if (kind == Lattice) {
            lut_.lut3D.release();
            lut_.lut3DSize = 0;
        } else {
            lut_.lut1D.release();
            lut_.lut1DSize = 0;
        }
        return true;
    }
    return kind == Lattice ? lut_.setSize3D(n, headerOnly_, line) : lut_.setSize1D(n, headerOnly_, line);
}

bool LookParser::readData(Kind kind)
{
    if (headerOnly_) {
        xml_.skipCurrentElement();
        return true;
    }
    // The text starts right after the start tag.
    const int line = int(xml_.lineNumber());
    const int column = int(xml_.columnNumber());
    const QString raw = xml_.readElementText(QXmlStreamReader::SkipChildElements);
    if (xml_.hasError())
        return xmlFail();
    const QByteArray hex = hexDigits(raw);
    if (hex.isEmpty())
        return true;
    // Data with no table to go to (before the size, or after a size of 0) is ignored; a size
    // with no data after it is refused at the end.
    if (size(kind) <= 0)
        return true;
    if (!decode(kind, raw, hex, line, column))
        return false;
    declared_[kind].filled = true;
    return true;
}

// Two passes: the first checks every digit and finds each channel's largest sample, the
// second stores the samples scaled by it. Nothing is stored from damaged data.
bool LookParser::decode(Kind kind, const QString &raw, const QByteArray &hex, int line, int column)
{
    const int n = size(kind);
    const qint64 count = kind == Lattice ? qint64(n) * n * n : qint64(n);
    const qint64 available = hex.size();
    if (available < count * digitsPerSample)
        return lut_.failAt(line, QStringLiteral("%1 data holds %2 hexadecimal digits; %3 samples need %4")
                                     .arg(elementName(kind)).arg(available).arg(count).arg(count * digitsPerSample));

    const char *digits = hex.constData();
    float *max = kind == Lattice ? lut_.domainMax3D : lut_.domainMax1D;
    float v[3];
    for (qint64 s = 0; s < count; ++s) {
        const char *sample = digits + s * digitsPerSample;
        for (int ch = 0; ch < 3; ++ch) {
            if (!hexasciitofloat(v[ch], sample + 8 * ch)) {
                qint64 at = s * digitsPerSample + 8 * ch;
                char unused;
                while (hexasciitoint(unused, digits[at]))
                    ++at;
                return failAtDigit(raw, at, line, column,
                                   QStringLiteral("%1 data sample %2 of %3 holds \"%4\", which is not a hexadecimal digit")
                                       .arg(elementName(kind)).arg(s + 1).arg(count));
            }
            // An infinite sample would scale the whole channel to 0; the store rule clamps it
            // to the channel's largest finite sample instead.
            if (v[ch] > max[ch] && std::isfinite(v[ch]))
                max[ch] = v[ch];
        }
    }

    const float *min = kind == Lattice ? lut_.domainMin3D : lut_.domainMin1D;
    qint64 s = 0;
    for (int outer = 0; outer < (kind == Lattice ? n : 1); ++outer) {
        for (int middle = 0; middle < (kind == Lattice ? n : 1); ++middle) {
            for (int inner = 0; inner < n; ++inner, ++s) {
                const char *sample = digits + s * digitsPerSample;
                for (int ch = 0; ch < 3; ++ch)
                    hexasciitofloat(v[ch], sample + 8 * ch);
                if (kind == Lattice)
                    lut_.White3D(outer, middle, inner, v[0], v[1], v[2], min, max);
                else
                    lut_.White1D(inner, v[0], v[1], v[2], min, max);
            }
        }
    }
    return true;
}

// Report a damaged digit at its place in the file: walk the raw text from the data's start
// to the digitIndex-th kept character. `why` has %4 open for the character itself.
bool LookParser::failAtDigit(const QString &raw, qint64 digitIndex, int line, int column, const QString &why)
{
    qint64 kept = 0;
    for (const QChar c : raw) {
        if (c == QLatin1Char('\n')) {
            ++line;
            column = 0;
            continue;
        }
        ++column;
        if (c == QLatin1Char('"') || c.isSpace())
            continue;
        if (kept++ == digitIndex)
            return lut_.fail(QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(why.arg(c)));
    }
    return lut_.failAt(line, why.arg(QString()));
}

bool LookParser::xmlFail()
{
    return lut_.fail(QStringLiteral("line %1, column %2: %3")
                         .arg(xml_.lineNumber()).arg(xml_.columnNumber()).arg(xml_.errorString()));
}

}

bool Read_LUTFile::Read_Look(QString path, bool headerOnly)
{
    LineReader file;
    if (!openText(file, path))
        return false;
    applyDefaultOrder(Formats::lookFormat.readOrder);

    LookParser parser(*this, file.buffer(), headerOnly);
    const bool ok = parser.run();
    resetUpperEnds();
    return ok;
}

// ---- Writing

namespace {

// A float as eight hexadecimal digits, least significant byte first (1.0 is 0000803f).
char *putHexFloat(char *out, float value)
{
    static const char digits[] = "0123456789abcdef";
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int byte = 0; byte < 4; ++byte) {
        const quint32 b = (bits >> (8 * byte)) & 0xff;
        *out++ = digits[b >> 4];
        *out++ = digits[b & 15];
    }
    return out;
}

}

// The reader scales a channel down by its largest sample above 1 and clamps below at 0, so
// the samples are clamped to 0 to 1. Each line of data holds one run of the inner counter.
bool Formats::Write_Look(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Options &)
{
    if (!LatticeOut::has3D(writer, lut, ".look"))
        return false;
    TextWriter out;
    if (!writer.openOutput(out, path))
        return false;
    static const char *const header[] = {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<look>", "  <LUT>"};
    for (const char *line : header) {
        out.put(line);
        out.endLine();
    }
    const int n = lut.lut3DSize;
    out.put("    <size>\"");
    out.putInt(n);
    out.put("\"</size>");
    out.endLine();
    out.put("    <data>\"");
    out.endLine();

    writer.applyDefaultOrder(lookFormat.writeOrder);
    char sample[digitsPerSample];
    float v[3];
    for (int outer = 0; outer < n; ++outer)
        for (int middle = 0; middle < n; ++middle) {
            out.put("      ");
            for (int inner = 0; inner < n; ++inner) {
                LatticeOut::fileNode(writer, lut.lut3D, outer, middle, inner, v);
                char *p = sample;
                for (float x : v)
                    p = putHexFloat(p, LatticeOut::unit(x));
                out.put(sample, digitsPerSample);
            }
            out.endLine();
        }
    out.put("    \"</data>");
    out.endLine();
    out.put("  </LUT>");
    out.endLine();
    out.put("</look>");
    out.endLine();
    return writer.finish(out);
}
