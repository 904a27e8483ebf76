// The XML side of the Common LUT Format reader (formats/clf.cpp): the document read into a
// chain of process nodes (formats/calc/ops.h) with its metadata.
//
// The reader is Qt's stream reader, fed only after formats/xmltext.h has bounded the tags it
// would hold whole. Document type declarations are refused, so no entity is ever expanded.
// Every size is checked against lut/lutlimits.h, and against the bytes the file has, before a
// table is allocated. Each failure names the line.

#include "formats/clf.h"

#include <QBuffer>
#include <QFile>
#include <QXmlStreamReader>

#include <algorithm>

#include "formats/xmltext.h"
#include "lut/lutlimits.h"
#include "lut/numscan.h"

namespace {

// One token of the text of a number list, as NumScan reads it: the whole token must be taken.
bool tokenNumber(const char *token, int len, float &value)
{
    NumScan::Cursor c{token, token + len};
    return NumScan::readFloat(c, value) && c.p == c.end;
}

struct NodeHead {
    QString name;
    int line = 0;
    QXmlStreamAttributes attrs;
    float inScale = 1.0f;
    float outScale = 1.0f;
};

class Parser
{
public:
    Parser(QIODevice &device, qint64 bytes, bool headerOnly, Clf::Document &doc)
        : xml_(&device), bytes_(bytes), headerOnly_(headerOnly), doc_(doc)
    {
    }
    bool run();
    QString error;

private:
    using Token = QXmlStreamReader::TokenType;

    bool fail(int line, const QString &why)
    {
        error = QStringLiteral("line %1: %2").arg(line).arg(why);
        return false;
    }
    bool failHere(const QString &why) { return fail(line(), why); }
    bool xmlFail()
    {
        error = QStringLiteral("line %1, column %2: %3").arg(xml_.lineNumber()).arg(xml_.columnNumber()).arg(xml_.errorString());
        return false;
    }
    int line() const { return int(xml_.lineNumber()); }

    bool readProcessList();
    bool readNode(const QString &name);
    bool readMatrix(const NodeHead &h);
    bool readLut1D(const NodeHead &h);
    bool readLut3D(const NodeHead &h);
    bool readRange(const NodeHead &h);
    bool readCdl(const NodeHead &h);
    bool readLog(const NodeHead &h);
    bool readExponent(const NodeHead &h);
    bool add(std::unique_ptr<Clf::Node> node);

    // Walk the children of the current element (at `depth`, the root being 1): `child` gets
    // each child's name at its start tag and reads it to its end. Descriptions are skipped, or
    // kept as metadata.
    template <typename F>
    bool children(int depth, F child, bool keepDescriptions = false);
    bool unknownChild(const NodeHead &h, const QString &child);
    bool skip(int depth, QString *text = nullptr);
    bool readInfo(const QString &path, int depth);
    bool readNumbers(const QString &what, qint64 count, float *out);
    bool readDim(const QString &node, std::vector<qint64> &dim);
    // A child of a table or matrix node: it must be the node's one Array; its dim is read.
    bool arrayStart(const NodeHead &h, const QString &child, bool &seen, std::vector<qint64> &dim);
    bool reserveTable(const QString &node, qint64 numbers, qint64 storedFloats);
    bool readTable(const NodeHead &h, qint64 numbers, qint64 entries, std::vector<float> &values);
    bool attrNumber(const NodeHead &h, const char *name, float *value, bool *present = nullptr);
    bool channelOf(const NodeHead &h, const QXmlStreamAttributes &attrs, int *channel);
    template <typename Style>
    bool styleOf(const NodeHead &h, const std::vector<std::pair<const char *, Style>> &names, bool required,
                 Style *style);

    QXmlStreamReader xml_;
    qint64 bytes_;
    bool headerOnly_;
    Clf::Document &doc_;
    qint64 tableFloats_ = 0;
};

bool Parser::run()
{
    bool rootSeen = false;
    while (!xml_.atEnd()) {
        const Token token = xml_.readNext();
        if (token == QXmlStreamReader::DTD)
            return failHere(QStringLiteral("a document type declaration is not accepted (it could expand entities)"));
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (xml_.name() != QLatin1String("ProcessList"))
            return failHere(QStringLiteral("the root element is <%1>, not <ProcessList>").arg(xml_.name()));
        if (!readProcessList())
            return false;
        rootSeen = true;
    }
    if (xml_.hasError())
        return xmlFail();
    if (!rootSeen)
        return failHere(QStringLiteral("no ProcessList element"));
    return true;
}

bool Parser::readProcessList()
{
    const int rootLine = line();
    const QXmlStreamAttributes attrs = xml_.attributes();
    if (attrs.hasAttribute(QLatin1String("compCLFversion"))) {
        const QString version = attrs.value(QLatin1String("compCLFversion")).toString();
        bool ok = false;
        const double v = version.toDouble(&ok);
        // SMPTE ST 2136-1 names itself (ST2136-1:2024, or its namespace) where CLF 3 gives a number.
        const bool smpte = version.startsWith(QLatin1String("ST2136-1")) || version.startsWith(QLatin1String("http://www.smpte-ra.org/ns/2136-1/"));
        if (!smpte && (!ok || v >= 4.0))
            return failHere(QStringLiteral("compCLFversion \"%1\" is not a version this reader knows (up to 3, or ST2136-1)").arg(version));
    }
    for (const char *key : {"name", "id"})
        if (attrs.hasAttribute(QLatin1String(key)))
            doc_.metadata.append({QLatin1String(key), attrs.value(QLatin1String(key)).toString().simplified()});

    const bool ok = children(1, [this](const QString &name) {
        // SMPTE ST 2136-1 adds an Id element (a UUID URN) beside the descriptions.
        if (name == QLatin1String("InputDescriptor") || name == QLatin1String("OutputDescriptor") || name == QLatin1String("Id")) {
            QString text;
            if (!skip(2, &text))
                return false;
            doc_.metadata.append({name, text.simplified()});
            return true;
        }
        if (name == QLatin1String("Info") || name == QLatin1String("ACEStransform"))
            return readInfo(name, 2);
        return readNode(name);
    }, true);
    if (!ok)
        return false;
    if (doc_.chain.size() == 0)
        return fail(rootLine, QStringLiteral("the ProcessList holds no process node"));
    return true;
}

template <typename F>
bool Parser::children(int depth, F child, bool keepDescriptions)
{
    while (!xml_.atEnd()) {
        const Token token = xml_.readNext();
        if (token == QXmlStreamReader::EndElement)
            return true;
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (depth + 1 > LutLimits::maxXmlDepth)
            return failHere(QStringLiteral("elements nested deeper than %1").arg(LutLimits::maxXmlDepth));
        const QString name = xml_.name().toString();
        if (name == QLatin1String("Description")) {
            QString text;
            if (!skip(depth + 1, keepDescriptions ? &text : nullptr))
                return false;
            if (keepDescriptions)
                doc_.metadata.append({name, text.simplified()});
        } else if (!child(name)) {
            return false;
        }
    }
    return xmlFail();
}

// Read the current element (at `depth`) to its end, its text (that of nested elements too,
// up to 64 KiB) into `text` when given.
bool Parser::skip(int depth, QString *text)
{
    switch (XmlText::skipElement(xml_, depth, text, 65536)) {
    case XmlText::Skipped::End:
        return true;
    case XmlText::Skipped::TooDeep:
        return failHere(QStringLiteral("elements nested deeper than %1").arg(LutLimits::maxXmlDepth));
    case XmlText::Skipped::DocumentEnd:
        break;
    }
    return xmlFail();
}

// Info holds metadata of any shape: each element without children becomes an entry named by
// its path ("Info/Copyright").
bool Parser::readInfo(const QString &path, int depth)
{
    QString text;
    bool hasChildren = false;
    while (!xml_.atEnd()) {
        switch (xml_.readNext()) {
        case QXmlStreamReader::StartElement:
            if (depth + 1 > LutLimits::maxXmlDepth)
                return failHere(QStringLiteral("elements nested deeper than %1").arg(LutLimits::maxXmlDepth));
            hasChildren = true;
            if (!readInfo(path + QLatin1Char('/') + xml_.name(), depth + 1))
                return false;
            break;
        case QXmlStreamReader::EndElement:
            if (!hasChildren && !text.simplified().isEmpty())
                doc_.metadata.append({path, text.simplified()});
            return true;
        case QXmlStreamReader::Characters:
            if (text.size() < 65536)
                text.append(xml_.text());
            break;
        default:
            break;
        }
    }
    return xmlFail();
}

bool Parser::unknownChild(const NodeHead &h, const QString &child)
{
    if (child == QLatin1String("IndexMap"))
        return failHere(QStringLiteral("%1 holds an IndexMap (CLF 2), which this reader does not apply").arg(h.name));
    return failHere(QStringLiteral("%1 holds an unknown element <%2>").arg(h.name, child));
}

// The numbers of the current element's text, exactly `count` of them, into `out`. Comments
// may stand between them.
bool Parser::readNumbers(const QString &what, qint64 count, float *out)
{
    const int startLine = line();
    char token[64];
    int len = 0;
    int tokenLine = startLine;
    qint64 got = 0;
    auto flush = [&]() {
        if (len == 0)
            return true;
        float v;
        if (got == count)
            return fail(tokenLine, QStringLiteral("%1 holds more than %2 numbers").arg(what).arg(count));
        if (!tokenNumber(token, len, v))
            return fail(tokenLine, QStringLiteral("%1 holds \"%2\", which is not a number").arg(what, QString::fromLatin1(token, len)));
        out[got++] = v;
        len = 0;
        return true;
    };
    while (!xml_.atEnd()) {
        switch (xml_.readNext()) {
        case QXmlStreamReader::Characters: {
            const QStringRef text = xml_.text();
            int lineNo = line() - text.count(QLatin1Char('\n'));
            for (const QChar ch : text) {
                const ushort u = ch.unicode();
                if (u == ' ' || u == '\t' || u == '\n' || u == '\r') {
                    if (!flush())
                        return false;
                    lineNo += u == '\n';
                    continue;
                }
                if (len == 0)
                    tokenLine = lineNo;
                if (len == int(sizeof token) || u >= 0x80)
                    return fail(lineNo, QStringLiteral("%1 holds \"%2%3\", which is not a number").arg(what, QString::fromLatin1(token, len), ch));
                token[len++] = char(u);
            }
            break;
        }
        case QXmlStreamReader::Comment:
            if (!flush())
                return false;
            break;
        case QXmlStreamReader::StartElement:
            return failHere(QStringLiteral("%1 holds an element <%2>").arg(what, xml_.name()));
        case QXmlStreamReader::EndElement:
            if (!flush())
                return false;
            if (got != count)
                return fail(startLine, QStringLiteral("%1 holds %2 numbers, not %3").arg(what).arg(got).arg(count));
            return true;
        default:
            break;
        }
    }
    return xmlFail();
}

bool Parser::readDim(const QString &node, std::vector<qint64> &dim)
{
    const QString text = xml_.attributes().value(QLatin1String("dim")).toString();
    for (const QString &part : text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QByteArray latin = part.toLatin1();
        NumScan::Cursor c{latin.constData(), latin.constData() + latin.size()};
        qint64 v;
        if (!NumScan::readLong(c, v) || c.p != c.end || v < 1 || dim.size() == 4)
            return failHere(QStringLiteral("%1 Array dim \"%2\" is not a list of sizes").arg(node, text));
        dim.push_back(v);
    }
    if (dim.empty())
        return failHere(QStringLiteral("%1 Array has no dim").arg(node));
    return true;
}

bool Parser::arrayStart(const NodeHead &h, const QString &child, bool &seen, std::vector<qint64> &dim)
{
    if (child != QLatin1String("Array"))
        return unknownChild(h, child);
    if (seen)
        return failHere(QStringLiteral("%1 holds a second Array").arg(h.name));
    seen = true;
    return readDim(h.name, dim);
}

// A table is allocated only when the file is long enough to hold its numbers (each takes a
// character and a separator) and the chain's tables stay within the limit together.
bool Parser::reserveTable(const QString &node, qint64 numbers, qint64 storedFloats)
{
    if (numbers > (bytes_ + 1) / 2)
        return failHere(QStringLiteral("%1 Array dim asks for %2 numbers, more than a file of %3 bytes holds")
                            .arg(node).arg(numbers).arg(bytes_));
    tableFloats_ += storedFloats;
    if (tableFloats_ > LutLimits::maxChainTableFloats)
        return failHere(QStringLiteral("the tables of the chain hold more than %1 numbers together").arg(LutLimits::maxChainTableFloats));
    return true;
}

// The numbers of a LUT's Array: `numbers` in the file, stored as `entries` RGB triples.
bool Parser::readTable(const NodeHead &h, qint64 numbers, qint64 entries, std::vector<float> &values)
{
    if (!reserveTable(h.name, numbers, entries * 3))
        return false;
    if (headerOnly_)
        return skip(3);
    values.resize(std::size_t(entries) * 3);
    return readNumbers(QStringLiteral("%1 Array").arg(h.name), numbers, values.data());
}

bool Parser::attrNumber(const NodeHead &h, const char *name, float *value, bool *present)
{
    const QStringRef text = xml_.attributes().value(QLatin1String(name));
    if (present)
        *present = !text.isNull();
    if (text.isNull())
        return true;
    const QByteArray latin = text.trimmed().toLatin1();
    if (!tokenNumber(latin.constData(), latin.size(), *value))
        return failHere(QStringLiteral("%1 %2=\"%3\" is not a number").arg(h.name, QLatin1String(name), text));
    return true;
}

// The channel attribute of a parameter element: 0 to 2, or -1 for all three.
bool Parser::channelOf(const NodeHead &h, const QXmlStreamAttributes &attrs, int *channel)
{
    const QStringRef text = attrs.value(QLatin1String("channel"));
    *channel = text.isNull() ? -1 : text == QLatin1String("R") ? 0 : text == QLatin1String("G") ? 1 : text == QLatin1String("B") ? 2 : -2;
    if (*channel == -2)
        return failHere(QStringLiteral("%1 channel \"%2\" is not R, G or B").arg(h.name, text));
    return true;
}

template <typename Style>
bool Parser::styleOf(const NodeHead &h, const std::vector<std::pair<const char *, Style>> &names, bool required, Style *style)
{
    const QStringRef text = h.attrs.value(QLatin1String("style"));
    if (text.isNull()) {
        if (required)
            return fail(h.line, QStringLiteral("%1 has no style").arg(h.name));
        return true;
    }
    for (const auto &n : names)
        if (text == QLatin1String(n.first)) {
            *style = n.second;
            return true;
        }
    return fail(h.line, QStringLiteral("%1 style \"%2\" is not known").arg(h.name, text));
}

bool Parser::add(std::unique_ptr<Clf::Node> node)
{
    doc_.chain.add(std::move(node));
    return true;
}

bool Parser::readNode(const QString &name)
{
    using Reader = bool (Parser::*)(const NodeHead &);
    static const std::vector<std::pair<const char *, Reader>> readers = {
        {"Matrix", &Parser::readMatrix}, {"LUT1D", &Parser::readLut1D},   {"LUT3D", &Parser::readLut3D},
        {"Range", &Parser::readRange},   {"ASC_CDL", &Parser::readCdl},   {"Log", &Parser::readLog},
        {"Exponent", &Parser::readExponent}};
    NodeHead h;
    h.name = name;
    h.line = line();
    h.attrs = xml_.attributes();
    const auto it = std::find_if(readers.begin(), readers.end(), [&](const auto &r) { return name == QLatin1String(r.first); });
    if (it == readers.end())
        return failHere(QStringLiteral("unknown process node <%1>").arg(name));
    if (doc_.chain.size() >= LutLimits::maxChainNodes)
        return failHere(QStringLiteral("more than %1 process nodes").arg(LutLimits::maxChainNodes));
    for (const char *attr : {"inBitDepth", "outBitDepth"}) {
        const QString text = h.attrs.value(QLatin1String(attr)).toString();
        Clf::BitDepth depth;
        if (text.isEmpty())
            return failHere(QStringLiteral("%1 has no %2").arg(name, QLatin1String(attr)));
        if (!Clf::parseBitDepth(text, &depth))
            return failHere(QStringLiteral("%1 %2 \"%3\" is not 8i, 10i, 12i, 16i, 16f or 32f").arg(name, QLatin1String(attr), text));
        (attr[0] == 'i' ? h.inScale : h.outScale) = Clf::bitDepthScale(depth);
    }
    return (this->*(it->second))(h);
}

bool Parser::readMatrix(const NodeHead &h)
{
    auto node = std::make_unique<Clf::Matrix>(h.line);
    node->inScale = h.inScale;
    node->outScale = h.outScale;
    bool seen = false;
    const bool ok = children(2, [&](const QString &child) {
        std::vector<qint64> dim;
        if (!arrayStart(h, child, seen, dim))
            return false;
        // CLF 2 wrote a third number (the components), which is ignored.
        if (dim.size() < 2 || dim.size() > 3 || dim[0] != 3 || (dim[1] != 3 && dim[1] != 4))
            return failHere(QStringLiteral("Matrix Array dim \"%1\" is not 3 3 or 3 4").arg(xml_.attributes().value(QLatin1String("dim"))));
        const int columns = int(dim[1]);
        float v[12];
        if (!readNumbers(QStringLiteral("Matrix Array"), 3 * columns, v))
            return false;
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < columns; ++col)
                node->m[row][col] = v[row * columns + col];
        return true;
    });
    if (!ok)
        return false;
    if (!seen)
        return fail(h.line, QStringLiteral("Matrix has no Array"));
    return add(std::move(node));
}

bool Parser::readLut1D(const NodeHead &h)
{
    auto node = std::make_unique<Clf::Lut1D>(h.line);
    const QStringRef interpolation = h.attrs.value(QLatin1String("interpolation"));
    if (!interpolation.isNull() && interpolation != QLatin1String("linear"))
        return fail(h.line, QStringLiteral("LUT1D interpolation \"%1\" is not known").arg(interpolation));
    const bool rawHalfs = h.attrs.value(QLatin1String("rawHalfs")) == QLatin1String("true");
    node->halfDomain = h.attrs.value(QLatin1String("halfDomain")) == QLatin1String("true");
    bool seen = false;
    int components = 0;
    const bool ok = children(2, [&](const QString &child) {
        std::vector<qint64> dim;
        if (!arrayStart(h, child, seen, dim))
            return false;
        if (dim.size() != 2 || (dim[1] != 1 && dim[1] != 3))
            return failHere(QStringLiteral("LUT1D Array dim \"%1\" is not a length and 1 or 3").arg(xml_.attributes().value(QLatin1String("dim"))));
        if (!LutLimits::valid1DSize(dim[0]))
            return failHere(QStringLiteral("LUT1D length %1 is outside 1 to %2").arg(dim[0]).arg(LutLimits::max1DSize));
        if (node->halfDomain && dim[0] != 65536)
            return failHere(QStringLiteral("a halfDomain LUT1D has 65536 entries, not %1").arg(dim[0]));
        node->size = int(dim[0]);
        components = int(dim[1]);
        return readTable(h, dim[0] * dim[1], dim[0], node->values);
    });
    if (!ok)
        return false;
    if (!seen)
        return fail(h.line, QStringLiteral("LUT1D has no Array"));
    if (headerOnly_)
        return add(std::move(node));
    // Spread one column over three (from the end, in place), then decode and scale.
    std::vector<float> &v = node->values;
    if (components == 1)
        for (int i = node->size - 1; i >= 0; --i)
            v[std::size_t(i) * 3] = v[std::size_t(i) * 3 + 1] = v[std::size_t(i) * 3 + 2] = v[std::size_t(i)];
    for (float &x : v) {
        if (rawHalfs) {
            if (!(x >= 0.0f && x <= 65535.0f && x == float(int(x))))
                return fail(h.line, QStringLiteral("LUT1D with rawHalfs holds %1, which is no 16-bit pattern").arg(double(x)));
            x = Clf::halfToFloat(quint16(x));
        }
        x /= h.outScale;
    }
    return add(std::move(node));
}

bool Parser::readLut3D(const NodeHead &h)
{
    auto node = std::make_unique<Clf::Lut3D>(h.line);
    const QStringRef interpolation = h.attrs.value(QLatin1String("interpolation"));
    node->tetrahedral = interpolation == QLatin1String("tetrahedral");
    if (!interpolation.isNull() && !node->tetrahedral && interpolation != QLatin1String("trilinear"))
        return fail(h.line, QStringLiteral("LUT3D interpolation \"%1\" is not known").arg(interpolation));
    bool seen = false;
    const bool ok = children(2, [&](const QString &child) {
        std::vector<qint64> dim;
        if (!arrayStart(h, child, seen, dim))
            return false;
        if (dim.size() != 4 || dim[0] != dim[1] || dim[0] != dim[2] || dim[3] != 3)
            return failHere(QStringLiteral("LUT3D Array dim \"%1\" is not n n n 3").arg(xml_.attributes().value(QLatin1String("dim"))));
        if (!LutLimits::valid3DSize(dim[0]))
            return failHere(QStringLiteral("LUT3D size %1 is outside 1 to %2").arg(dim[0]).arg(LutLimits::max3DSize));
        node->size = int(dim[0]);
        const qint64 entries = dim[0] * dim[0] * dim[0];
        return readTable(h, entries * 3, entries, node->values);
    });
    if (!ok)
        return false;
    if (!seen)
        return fail(h.line, QStringLiteral("LUT3D has no Array"));
    for (float &x : node->values)
        x /= h.outScale;
    return add(std::move(node));
}

bool Parser::readRange(const NodeHead &h)
{
    auto node = std::make_unique<Clf::Range>(h.line);
    node->inScale = h.inScale;
    node->outScale = h.outScale;
    if (!styleOf<bool>(h, {{"Clamp", true}, {"noClamp", false}}, false, &node->clamp))
        return false;
    static const char *const names[4] = {"minInValue", "maxInValue", "minOutValue", "maxOutValue"};
    float *const fields[4] = {&node->minIn, &node->maxIn, &node->minOut, &node->maxOut};
    bool given[4] = {false, false, false, false};
    const bool ok = children(2, [&](const QString &child) {
        const int i = int(std::find_if(names, names + 4, [&](const char *n) { return child == QLatin1String(n); }) - names);
        if (i == 4)
            return unknownChild(h, child);
        if (given[i])
            return failHere(QStringLiteral("Range holds a second %1").arg(child));
        given[i] = true;
        return readNumbers(QStringLiteral("Range %1").arg(child), 1, fields[i]);
    });
    if (!ok)
        return false;
    if (given[0] != given[2] || given[1] != given[3])
        return fail(h.line, QStringLiteral("Range gives an input bound without its output bound, or the reverse"));
    node->hasMin = given[0];
    node->hasMax = given[1];
    if (!node->hasMin && !node->hasMax)
        return fail(h.line, QStringLiteral("Range has neither minimum nor maximum values"));
    if (node->hasMin && node->hasMax && node->maxIn == node->minIn)
        return fail(h.line, QStringLiteral("Range maxInValue equals minInValue"));
    if (!node->clamp && !(node->hasMin && node->hasMax))
        return fail(h.line, QStringLiteral("Range style noClamp needs all four values"));
    return add(std::move(node));
}

bool Parser::readCdl(const NodeHead &h)
{
    using S = Clf::AscCdl::Style;
    auto node = std::make_unique<Clf::AscCdl>(h.line);
    // The v1.2_ and noClamp names are those of earlier documents.
    if (!styleOf<S>(h, {{"Fwd", S::Fwd}, {"Rev", S::Rev}, {"FwdNoClamp", S::FwdNoClamp}, {"RevNoClamp", S::RevNoClamp},
                        {"v1.2_Fwd", S::Fwd}, {"v1.2_Rev", S::Rev}, {"noClampFwd", S::FwdNoClamp}, {"noClampRev", S::RevNoClamp}},
                    false, &node->style))
        return false;
    const bool ok = children(2, [&](const QString &child) {
        if (child == QLatin1String("SOPNode")) {
            return children(3, [&](const QString &part) {
                float *target = part == QLatin1String("Slope") ? node->slope : part == QLatin1String("Offset") ? node->offset
                              : part == QLatin1String("Power") ? node->power : nullptr;
                return target ? readNumbers(QStringLiteral("ASC_CDL %1").arg(part), 3, target) : unknownChild(h, part);
            });
        }
        if (child == QLatin1String("SatNode")) {
            return children(3, [&](const QString &part) {
                return part == QLatin1String("Saturation") ? readNumbers(QStringLiteral("ASC_CDL Saturation"), 1, &node->saturation)
                                                           : unknownChild(h, part);
            });
        }
        return unknownChild(h, child);
    });
    if (!ok)
        return false;
    const bool reverse = node->style == S::Rev || node->style == S::RevNoClamp;
    for (int ch = 0; ch < 3; ++ch) {
        if (!(node->power[ch] > 0.0f))
            return fail(h.line, QStringLiteral("ASC_CDL Power %1 is not above 0").arg(double(node->power[ch])));
        if (reverse && node->slope[ch] == 0.0f)
            return fail(h.line, QStringLiteral("ASC_CDL style %1 cannot invert a Slope of 0").arg(h.attrs.value(QLatin1String("style"))));
    }
    if (reverse && node->saturation == 0.0f)
        return fail(h.line, QStringLiteral("ASC_CDL style %1 cannot invert a Saturation of 0").arg(h.attrs.value(QLatin1String("style"))));
    return add(std::move(node));
}

bool Parser::readLog(const NodeHead &h)
{
    using S = Clf::Log::Style;
    auto node = std::make_unique<Clf::Log>(h.line);
    if (!styleOf<S>(h, {{"log10", S::Log10}, {"antiLog10", S::AntiLog10}, {"log2", S::Log2}, {"antiLog2", S::AntiLog2},
                        {"linToLog", S::LinToLog}, {"logToLin", S::LogToLin}, {"cameraLinToLog", S::CameraLinToLog},
                        {"cameraLogToLin", S::CameraLogToLin}},
                    true, &node->style))
        return false;
    bool given[3] = {false, false, false};
    const bool ok = children(2, [&](const QString &child) {
        if (child != QLatin1String("LogParams"))
            return unknownChild(h, child);
        int channel;
        if (!channelOf(h, xml_.attributes(), &channel))
            return false;
        Clf::LogParams p;
        if (!attrNumber(h, "base", &p.base) || !attrNumber(h, "logSideSlope", &p.logSideSlope)
            || !attrNumber(h, "logSideOffset", &p.logSideOffset) || !attrNumber(h, "linSideSlope", &p.linSideSlope)
            || !attrNumber(h, "linSideOffset", &p.linSideOffset) || !attrNumber(h, "linSideBreak", &p.linSideBreak, &p.hasLinSideBreak)
            || !attrNumber(h, "linearSlope", &p.linearSlope, &p.hasLinearSlope))
            return false;
        for (int ch = 0; ch < 3; ++ch) {
            if (channel >= 0 && ch != channel)
                continue;
            if (given[ch])
                return failHere(QStringLiteral("Log holds a second LogParams for channel %1").arg(QLatin1Char("RGB"[ch])));
            given[ch] = true;
            node->params[std::size_t(ch)] = p;
        }
        return skip(3);
    });
    if (!ok)
        return false;
    if (node->style >= S::LinToLog && !(given[0] || given[1] || given[2]))
        return fail(h.line, QStringLiteral("Log style %1 has no LogParams").arg(h.attrs.value(QLatin1String("style"))));
    QString why;
    if (!node->prepare(&why))
        return fail(h.line, why);
    return add(std::move(node));
}

bool Parser::readExponent(const NodeHead &h)
{
    using S = Clf::Exponent::Style;
    auto node = std::make_unique<Clf::Exponent>(h.line);
    if (!styleOf<S>(h, {{"basicFwd", S::BasicFwd}, {"basicRev", S::BasicRev}, {"basicMirrorFwd", S::BasicMirrorFwd},
                        {"basicMirrorRev", S::BasicMirrorRev}, {"basicPassThruFwd", S::BasicPassThruFwd},
                        {"basicPassThruRev", S::BasicPassThruRev}, {"monCurveFwd", S::MonCurveFwd},
                        {"monCurveRev", S::MonCurveRev}, {"monCurveMirrorFwd", S::MonCurveMirrorFwd},
                        {"monCurveMirrorRev", S::MonCurveMirrorRev}},
                    true, &node->style))
        return false;
    bool any = false;
    const bool ok = children(2, [&](const QString &child) {
        if (child != QLatin1String("ExponentParams"))
            return unknownChild(h, child);
        int channel;
        if (!channelOf(h, xml_.attributes(), &channel))
            return false;
        Clf::ExponentParams p;
        bool hasExponent, hasOffset;
        if (!attrNumber(h, "exponent", &p.exponent, &hasExponent) || !attrNumber(h, "offset", &p.offset, &hasOffset))
            return false;
        if (!hasExponent)
            return failHere(QStringLiteral("Exponent ExponentParams has no exponent"));
        if (hasOffset && !node->isMonCurve())
            return failHere(QStringLiteral("Exponent offset belongs to the monCurve styles, not %1").arg(h.attrs.value(QLatin1String("style"))));
        p.identity = false;
        for (int ch = 0; ch < 3; ++ch) {
            if (channel >= 0 && ch != channel)
                continue;
            if (!node->params[std::size_t(ch)].identity)
                return failHere(QStringLiteral("Exponent holds a second ExponentParams for channel %1").arg(QLatin1Char("RGB"[ch])));
            node->params[std::size_t(ch)] = p;
        }
        any = true;
        return skip(3);
    });
    if (!ok)
        return false;
    // Channels without parameters keep their values (the nominal exponent 1).
    if (!any)
        return fail(h.line, QStringLiteral("Exponent has no ExponentParams"));
    QString why;
    if (!node->prepare(&why))
        return fail(h.line, why);
    return add(std::move(node));
}

}

namespace Clf {

bool parse(QIODevice &device, bool headerOnly, Document &document, QString *why)
{
    if (device.isSequential()) {
        // A pipe cannot be read twice: keep all of it.
        QBuffer buffer;
        buffer.setData(device.readAll());
        buffer.open(QIODevice::ReadOnly);
        return parse(buffer, headerOnly, document, why);
    }
    if (!XmlText::scan(device, why))
        return false;
    Parser parser(device, device.size(), headerOnly, document);
    if (parser.run())
        return true;
    *why = parser.error;
    return false;
}

bool parseFile(const QString &path, bool headerOnly, Document &document, QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    return parse(file, headerOnly, document, why);
}

}

