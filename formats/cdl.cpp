// ASC CDL, the American Society of Cinematographers' Color Decision List (v1.2): a primary
// grade of slope, offset and power per channel and one saturation, in three XML forms.
//
//   .cc   <ColorCorrection id="shot_010">                 one correction
//           <SOPNode>
//             <Description>warmer</Description>
//             <Slope>1.1 1.0 0.9</Slope>                  R G B
//             <Offset>0.01 0 -0.01</Offset>
//             <Power>1.0 1.0 1.2</Power>
//           </SOPNode>
//           <SatNode><Saturation>0.9</Saturation></SatNode>
//         </ColorCorrection>
//   .ccc  <ColorCorrectionCollection xmlns="urn:ASC:CDL:v1.2"> ColorCorrection... </...>
//   .cdl  <ColorDecisionList xmlns="urn:ASC:CDL:v1.2">
//           <ColorDecision> <MediaRef ref="..."/> ColorCorrection </ColorDecision> ...
//         </ColorDecisionList>
//
// Each correction is, per channel, out = clamp(in * slope + offset) ^ power, then saturation
// about the Rec. 709 luma (0.2126 R + 0.7152 G + 0.0722 B), then a clamp to 0 to 1: the
// clamping formulas of v1.2, the Fwd style of the Common LUT Format's ASC_CDL node. A missing
// SOPNode or SatNode changes nothing; the older names SATNode, ASC_SOP and ASC_SAT are read as
// SOPNode and SatNode. Elements the format does not define are passed over, as its users add
// their own. A collection or list is read as the correction --cdl-id names (its id, or its
// place counted from 1), the first by default. A ColorCorrectionRef has its numbers in another
// file and is refused when it is the one asked for.
//
// Written, a transform of one such correction becomes one ColorCorrection in the file's form,
// its numbers in the fewest decimals that read back exactly; anything else is refused (a .cc
// holds no table). Tags are bounded and document type declarations refused before parsing
// (formats/xmltext.h), a collection holds at most LutLimits::maxCdlCorrections corrections.

#include "formats/cdl.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <cmath>
#include <functional>

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "formats/xmltext.h"
#include "lut/lutlimits.h"
#include "lut/numscan.h"
#include "lut/textwriter.h"

namespace {

class Parser
{
public:
    Parser(QIODevice &device, Cdl::Document &doc) : xml_(&device), doc_(doc) {}
    bool run();
    QString error;

private:
    bool fail(int line, const QString &why)
    {
        error = QStringLiteral("line %1: %2").arg(line).arg(why);
        return false;
    }
    bool failHere(const QString &why) { return fail(int(xml_.lineNumber()), why); }
    bool xmlFail()
    {
        error = QStringLiteral("line %1, column %2: %3").arg(xml_.lineNumber()).arg(xml_.columnNumber()).arg(xml_.errorString());
        return false;
    }

    // Walk the children of the current element at `depth` (the root is 1): `child` gets each
    // child's name at its start tag and reads it to its end.
    bool children(int depth, const std::function<bool(const QString &)> &child);
    // The current element read to its end; its text (up to `limit` characters) into `text`.
    bool skip(int depth, QString *text = nullptr, int limit = 65536);
    bool description(int depth, const QString &name, QVector<QPair<QString, QString>> &into);
    bool readCorrection(int depth);
    bool readRef();
    bool readNumbers(int depth, const QString &what, float *out, int count);
    bool addCorrection(Cdl::Correction c);

    QXmlStreamReader xml_;
    Cdl::Document &doc_;
};

bool isDescription(const QString &name)
{
    return name == QLatin1String("Description") || name == QLatin1String("InputDescription")
        || name == QLatin1String("ViewingDescription");
}

bool Parser::run()
{
    bool rootSeen = false;
    while (!xml_.atEnd()) {
        const QXmlStreamReader::TokenType token = xml_.readNext();
        if (token == QXmlStreamReader::DTD)
            return failHere(QStringLiteral("a document type declaration is not accepted (it could expand entities)"));
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QString root = xml_.name().toString();
        bool ok;
        if (root == QLatin1String("ColorCorrection")) {
            doc_.kind = Cdl::Document::Single;
            ok = readCorrection(1);
        } else if (root == QLatin1String("ColorCorrectionCollection") || root == QLatin1String("ColorDecisionList")) {
            const bool list = root == QLatin1String("ColorDecisionList");
            doc_.kind = list ? Cdl::Document::DecisionList : Cdl::Document::Collection;
            ok = children(1, [&](const QString &name) {
                if (isDescription(name))
                    return description(2, name, doc_.metadata);
                if (!list && name == QLatin1String("ColorCorrection"))
                    return readCorrection(2);
                if (list && name == QLatin1String("ColorDecision")) {
                    return children(2, [&](const QString &inner) {
                        if (inner == QLatin1String("ColorCorrection"))
                            return readCorrection(3);
                        if (inner == QLatin1String("ColorCorrectionRef"))
                            return readRef();
                        return skip(3);
                    });
                }
                return skip(2);
            });
        } else {
            return failHere(QStringLiteral("the root element is <%1>, not ColorCorrection, ColorCorrectionCollection or ColorDecisionList").arg(root));
        }
        if (!ok)
            return false;
        rootSeen = true;
    }
    if (xml_.hasError())
        return xmlFail();
    if (!rootSeen)
        return failHere(QStringLiteral("no ColorCorrection element"));
    if (doc_.corrections.empty())
        return failHere(QStringLiteral("the %1 holds no ColorCorrection")
                            .arg(QLatin1String(doc_.kind == Cdl::Document::DecisionList ? "ColorDecisionList" : "ColorCorrectionCollection")));
    return true;
}

bool Parser::children(int depth, const std::function<bool(const QString &)> &child)
{
    while (!xml_.atEnd()) {
        const QXmlStreamReader::TokenType token = xml_.readNext();
        if (token == QXmlStreamReader::EndElement)
            return true;
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (depth + 1 > LutLimits::maxXmlDepth)
            return failHere(QStringLiteral("elements nested deeper than %1").arg(LutLimits::maxXmlDepth));
        if (!child(xml_.name().toString()))
            return false;
    }
    return xmlFail();
}

bool Parser::skip(int depth, QString *text, int limit)
{
    switch (XmlText::skipElement(xml_, depth, text, limit)) {
    case XmlText::Skipped::End:
        return true;
    case XmlText::Skipped::TooDeep:
        return failHere(QStringLiteral("elements nested deeper than %1").arg(LutLimits::maxXmlDepth));
    case XmlText::Skipped::DocumentEnd:
        break;
    }
    return xmlFail();
}

bool Parser::description(int depth, const QString &name, QVector<QPair<QString, QString>> &into)
{
    QString text;
    if (!skip(depth, &text))
        return false;
    if (!text.simplified().isEmpty())
        into.append({name, text.simplified().left(65536)});
    return true;
}

// Exactly `count` numbers as the element's text.
bool Parser::readNumbers(int depth, const QString &what, float *out, int count)
{
    const int line = int(xml_.lineNumber());
    QString text;
    constexpr int limit = 4096;
    if (!skip(depth, &text, limit))
        return false;
    if (text.size() > limit)
        return fail(line, QStringLiteral("%1 holds more than %2 characters").arg(what).arg(limit));
    const QStringList tokens = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (tokens.size() != count)
        return fail(line, QStringLiteral("%1 holds %2 numbers, not %3").arg(what).arg(tokens.size()).arg(count));
    for (int i = 0; i < count; ++i) {
        const QByteArray latin = tokens[i].toLatin1();
        NumScan::Cursor c{latin.constData(), latin.constData() + latin.size()};
        if (!NumScan::readFloat(c, out[i]) || c.p != c.end || !std::isfinite(out[i]))
            return fail(line, QStringLiteral("%1 holds \"%2\", which is not a number").arg(what, tokens[i]));
    }
    return true;
}

bool Parser::addCorrection(Cdl::Correction c)
{
    if (int(doc_.corrections.size()) >= LutLimits::maxCdlCorrections)
        return fail(c.line, QStringLiteral("more than %1 corrections").arg(LutLimits::maxCdlCorrections));
    doc_.corrections.push_back(std::move(c));
    return true;
}

bool Parser::readRef()
{
    Cdl::Correction c;
    c.line = int(xml_.lineNumber());
    c.ref = xml_.attributes().value(QLatin1String("ref")).toString();
    if (!skip(3))
        return false;
    return addCorrection(std::move(c));
}

bool Parser::readCorrection(int depth)
{
    Cdl::Correction c;
    c.line = int(xml_.lineNumber());
    const QXmlStreamAttributes attrs = xml_.attributes();
    c.hasId = attrs.hasAttribute(QLatin1String("id"));
    c.id = attrs.value(QLatin1String("id")).toString();
    bool sop = false, sat = false;
    const bool ok = children(depth, [&](const QString &name) {
        if (isDescription(name))
            return description(depth + 1, name, c.metadata);
        const bool isSop = name == QLatin1String("SOPNode") || name == QLatin1String("ASC_SOP");
        const bool isSat = name == QLatin1String("SatNode") || name == QLatin1String("SATNode") || name == QLatin1String("ASC_SAT");
        if (!isSop && !isSat)
            return skip(depth + 1);
        bool &seen = isSop ? sop : sat;
        if (seen)
            return failHere(QStringLiteral("ColorCorrection holds a second %1").arg(QLatin1String(isSop ? "SOPNode" : "SatNode")));
        seen = true;
        bool given[4] = {false, false, false, false};
        return children(depth + 1, [&](const QString &part) {
            static const char *const names[4] = {"Slope", "Offset", "Power", "Saturation"};
            float *const targets[4] = {c.slope, c.offset, c.power, &c.saturation};
            const int first = isSop ? 0 : 3, last = isSop ? 2 : 3;
            for (int i = first; i <= last; ++i) {
                if (part != QLatin1String(names[i]))
                    continue;
                if (given[i])
                    return failHere(QStringLiteral("%1 holds a second %2").arg(name, part));
                given[i] = true;
                return readNumbers(depth + 2, part, targets[i], i == 3 ? 1 : 3);
            }
            if (part == QLatin1String("Description"))
                return description(depth + 2, (isSop ? QStringLiteral("SOPNode/") : QStringLiteral("SatNode/")) + part, c.metadata);
            return skip(depth + 2);
        });
    });
    if (!ok)
        return false;
    Ops::AscCdl numbers(c.line);
    std::copy(c.slope, c.slope + 3, numbers.slope);
    std::copy(c.offset, c.offset + 3, numbers.offset);
    std::copy(c.power, c.power + 3, numbers.power);
    numbers.saturation = c.saturation;
    QString why;
    if (!Cdl::check(numbers, &why))
        return fail(c.line, why);
    return addCorrection(std::move(c));
}

// What info shows of a collection: "1 cc0001, 2 cc0002, 3 (no id)".
QString idList(const Cdl::Document &doc, int most)
{
    QStringList parts;
    const int n = int(doc.corrections.size());
    for (int i = 0; i < n && i < most; ++i) {
        const Cdl::Correction &c = doc.corrections[std::size_t(i)];
        const QString id = !c.ref.isEmpty() ? QStringLiteral("(a reference to %1)").arg(c.ref)
                         : !c.hasId        ? QStringLiteral("(no id)")
                         : c.id.isEmpty()  ? QStringLiteral("(empty id)")
                                           : c.id;
        parts << QStringLiteral("%1 %2").arg(i + 1).arg(id);
    }
    if (n > most)
        parts << QStringLiteral("and %1 more").arg(n - most);
    return parts.join(QStringLiteral(", "));
}

}

namespace Cdl {

bool parse(QIODevice &device, Document &doc, QString *why)
{
    if (device.isSequential()) {
        QBuffer buffer;
        buffer.setData(device.readAll());
        buffer.open(QIODevice::ReadOnly);
        return parse(buffer, doc, why);
    }
    if (!XmlText::scan(device, why))
        return false;
    Parser parser(device, doc);
    if (parser.run())
        return true;
    *why = parser.error;
    return false;
}

bool parseFile(const QString &path, Document &doc, QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    return parse(file, doc, why);
}

int pick(const Document &doc, const QString &id, QString *why)
{
    const int n = int(doc.corrections.size());
    int found = id.isEmpty() ? 0 : -1;
    for (int i = 0; i < n && found < 0; ++i)
        if (doc.corrections[std::size_t(i)].hasId && doc.corrections[std::size_t(i)].id == id)
            found = i;
    bool isNumber = false;
    const int place = id.toInt(&isNumber);
    if (found < 0 && isNumber && place >= 1 && place <= n)
        found = place - 1;
    if (found < 0) {
        *why = QStringLiteral("no correction has the id \"%1\" (the file holds %2)").arg(id, idList(doc, 10));
        return -1;
    }
    const Correction &c = doc.corrections[std::size_t(found)];
    if (!c.ref.isEmpty()) {
        *why = QStringLiteral("line %1: correction %2 is a ColorCorrectionRef to \"%3\", whose numbers are in another file")
                   .arg(c.line).arg(found + 1).arg(c.ref);
        return -1;
    }
    return found;
}

bool check(const Ops::AscCdl &cdl, QString *why)
{
    const float *groups[3] = {cdl.slope, cdl.offset, cdl.power};
    for (const float *g : groups)
        for (int ch = 0; ch < 3; ++ch)
            if (!std::isfinite(g[ch])) {
                *why = QStringLiteral("a CDL number is not finite (%1)").arg(double(g[ch]));
                return false;
            }
    if (!std::isfinite(cdl.saturation)) {
        *why = QStringLiteral("the saturation is not finite (%1)").arg(double(cdl.saturation));
        return false;
    }
    for (int ch = 0; ch < 3; ++ch)
        if (!(cdl.power[ch] > 0.0f)) {
            *why = QStringLiteral("a Power of %1 is not above 0").arg(double(cdl.power[ch]));
            return false;
        }
    return true;
}

bool parseNumbers(const QString &text, Ops::AscCdl &cdl, QString *why)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4 && parts.size() != 10) {
        *why = QStringLiteral("'%1' is not 4 numbers (slope, offset, power, saturation) or 10 (three slopes, three "
                              "offsets, three powers, saturation), separated by commas").arg(text);
        return false;
    }
    float v[10];
    for (int i = 0; i < parts.size(); ++i) {
        const QByteArray latin = parts[i].trimmed().toLatin1();
        NumScan::Cursor c{latin.constData(), latin.constData() + latin.size()};
        if (latin.isEmpty() || !NumScan::readFloat(c, v[i]) || c.p != c.end) {
            *why = QStringLiteral("'%1' in '%2' is not a number").arg(parts[i].trimmed(), text);
            return false;
        }
    }
    cdl.style = Ops::AscCdl::Fwd;
    const bool each = parts.size() == 10;
    for (int ch = 0; ch < 3; ++ch) {
        cdl.slope[ch] = v[each ? ch : 0];
        cdl.offset[ch] = v[each ? 3 + ch : 1];
        cdl.power[ch] = v[each ? 6 + ch : 2];
    }
    cdl.saturation = v[each ? 9 : 3];
    return check(cdl, why);
}

}

namespace {

using Form = Cdl::Document::Kind;

bool cdlRead(const QString &path, const LUTFILE_ST &, const Formats::Options &options, LutTransform &out, QString *why)
{
    Cdl::Document doc;
    if (!Cdl::parseFile(path, doc, why))
        return false;
    const int at = Cdl::pick(doc, options.cdlId, why);
    if (at < 0)
        return false;
    const Cdl::Correction &c = doc.corrections[std::size_t(at)];
    auto node = std::make_shared<Ops::AscCdl>(c.line);
    node->style = Ops::AscCdl::Fwd;
    std::copy(c.slope, c.slope + 3, node->slope);
    std::copy(c.offset, c.offset + 3, node->offset);
    std::copy(c.power, c.power + 3, node->power);
    node->saturation = c.saturation;
    out = LutTransform();
    if (c.hasId && !c.id.isEmpty())
        out.metadata.append({QStringLiteral("id"), c.id});
    if (doc.kind != Form::Single) {
        out.metadata.append({QStringLiteral("correction"), QStringLiteral("%1 of %2").arg(at + 1).arg(doc.corrections.size())});
        out.metadata.append({QStringLiteral("corrections"), idList(doc, 100)});
    }
    out.metadata += doc.metadata;
    out.metadata += c.metadata;
    out.addNode(node);
    return true;
}

bool readCdl(Read_LUTFile &lut, const QString &path, bool headerOnly, const Formats::Options &options)
{
    LutTransform t;
    QString why;
    if (!cdlRead(path, LUTFILE_ST(), options, t, &why))
        return lut.fail(why);
    return Formats::Meaning::fillModel(t, lut, headerOnly, options);
}

bool refuseTable(Write_LUTFile &writer, const QString &, Read_LUTFile &, const Formats::Options &)
{
    writer.errorString = QStringLiteral("an ASC CDL file holds one correction (slope, offset, power and saturation), not a table");
    return false;
}

const Ops::AscCdl *onlyCdl(const LutTransform &t)
{
    if (t.steps().size() != 1)
        return nullptr;
    const auto *c = dynamic_cast<const Ops::AscCdl *>(t.steps().front().node.get());
    return c && c->style == Ops::AscCdl::Fwd ? c : nullptr;
}

bool cdlHolds(const LutTransform &t, const Formats::Options &)
{
    return onlyCdl(t) != nullptr;
}

// The fewest decimals that read back as exactly this float, never in exponent form (the
// schema's numbers are decimals).
QString decimal(float v)
{
    for (int digits = 0; digits < 60; ++digits) {
        const QByteArray text = QByteArray::number(double(v), 'f', digits);
        NumScan::Cursor c{text.constData(), text.constData() + text.size()};
        float back;
        if (NumScan::readFloat(c, back) && back == v)
            return QString::fromLatin1(text);
    }
    return QString::number(double(v), 'g', 9);
}

QString decimals(const float *v)
{
    return QStringLiteral("%1 %2 %3").arg(decimal(v[0]), decimal(v[1]), decimal(v[2]));
}

template <Form form>
bool cdlWrite(Write_LUTFile &writer, const QString &path, const LutTransform &t, const Formats::Options &options)
{
    const Ops::AscCdl *c = onlyCdl(t);
    if (!c) {
        writer.errorString = QStringLiteral("an ASC CDL file holds one correction; this LUT is not one");
        return false;
    }
    QString id = QFileInfo(options.sourceName.isEmpty() ? path : options.sourceName).completeBaseName();
    for (const auto &entry : t.metadata)
        if (entry.first == QLatin1String("id"))
            id = entry.second;
    auto described = [&](const QString &key, const QString &indent) {
        QString text;
        for (const auto &entry : t.metadata)
            if (entry.first == key)
                text += QStringLiteral("%1<%2>%3</%2>\n").arg(indent, key.section(QLatin1Char('/'), -1), XmlText::escaped(entry.second));
        return text;
    };
    const QString in = form == Form::Single ? QString() : form == Form::Collection ? QStringLiteral("    ") : QStringLiteral("        ");
    QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    const char *ns = " xmlns=\"urn:ASC:CDL:v1.2\"";
    if (form == Form::Collection)
        text += QStringLiteral("<ColorCorrectionCollection%1>\n").arg(QLatin1String(ns));
    else if (form == Form::DecisionList)
        text += QStringLiteral("<ColorDecisionList%1>\n    <ColorDecision>\n").arg(QLatin1String(ns));
    text += QStringLiteral("%1<ColorCorrection id=\"%2\"%3>\n").arg(in, XmlText::escaped(id), form == Form::Single ? QLatin1String(ns) : QLatin1String(""));
    for (const char *key : {"Description", "InputDescription", "ViewingDescription"})
        text += described(QLatin1String(key), in + QStringLiteral("    "));
    text += QStringLiteral("%1    <SOPNode>\n").arg(in) + described(QStringLiteral("SOPNode/Description"), in + QStringLiteral("        "))
          + QStringLiteral("%1        <Slope>%2</Slope>\n%1        <Offset>%3</Offset>\n%1        <Power>%4</Power>\n%1    </SOPNode>\n")
                .arg(in, decimals(c->slope), decimals(c->offset), decimals(c->power))
          + QStringLiteral("%1    <SatNode>\n").arg(in) + described(QStringLiteral("SatNode/Description"), in + QStringLiteral("        "))
          + QStringLiteral("%1        <Saturation>%2</Saturation>\n%1    </SatNode>\n%1</ColorCorrection>\n").arg(in, decimal(c->saturation));
    if (form == Form::Collection)
        text += QStringLiteral("</ColorCorrectionCollection>\n");
    else if (form == Form::DecisionList)
        text += QStringLiteral("    </ColorDecision>\n</ColorDecisionList>\n");
    TextWriter out;
    if (!writer.openOutput(out, path))
        return false;
    out.putLines(text);
    return writer.finish(out);
}

}

namespace Formats {
// Read faithfully, a CDL file is the one correction asked for, as an ASC_CDL node of the Fwd
// style; written, such a node is the file.
const char cdlHoldsOnly[] = "one ASC CDL correction (slope, offset, power and saturation)";
const Faithful ccFaithful = {nullptr, cdlRead, cdlWrite<Form::Single>, cdlHolds, true, {true, true}, cdlHoldsOnly};
const Faithful cccFaithful = {nullptr, cdlRead, cdlWrite<Form::Collection>, cdlHolds, true, {true, true}, cdlHoldsOnly};
const Faithful cdlFaithful = {nullptr, cdlRead, cdlWrite<Form::DecisionList>, cdlHolds, true, {true, true}, cdlHoldsOnly};
extern const Format ccFormat = withFaithful({"cc", Id::None, ".cc ASC CDL correction", "cc", true, readCdl, refuseTable,
                                             false, {true, true}, {true, true}}, &ccFaithful);
extern const Format cccFormat = withFaithful({"ccc", Id::None, ".ccc ASC CDL collection", "ccc", true, readCdl, refuseTable,
                                              false, {true, true}, {true, true}}, &cccFaithful);
extern const Format cdlFormat = withFaithful({"cdl", Id::None, ".cdl ASC CDL decision list", "cdl", true, readCdl, refuseTable,
                                              false, {true, true}, {true, true}}, &cdlFaithful);
}
