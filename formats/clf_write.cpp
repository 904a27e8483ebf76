// The faithful writer of the Common LUT Format (formats/clf.cpp): a transform written as a
// ProcessList of one node per step, read back as the very same transform.
//
//   tables       LUT1D (shaper) and LUT3D (tetrahedral), each behind a Range (or, when the
//                channels differ, a scale-and-offset Matrix) that maps its domain onto 0 to 1
//   nodes        Matrix, Range, ASC_CDL, Log, Exponent, LUT1D (halfDomain, rawHalfs), LUT3D
//                (trilinear), each with its parameters
//
// Bit depths chain as the format asks, each node's inBitDepth the outBitDepth of the one
// before: a Matrix or Range keeps its own depths, which its numbers are given in; the nodes
// whose numbers do not depend on them (ASC_CDL, Log, Exponent, a LUT's input) take their
// neighbours'; a LUT's output takes the next node's depth, its entries multiplied by that
// depth's full scale (the nearest number that divides back to the very entry), or written as
// raw halfs (16f) when every entry is a half float. Where two fixed depths meet, the later
// node's numbers are restated for the earlier one's depth.

#include "formats/clf.h"

#include <QFileInfo>
#include <QUuid>

#include <cmath>
#include <cstring>
#include <functional>

#include "calc/transform.h"
#include "formats/faithful.h"
#include "lut/numformat.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"

namespace Formats {
extern const Format clfFormat;
}

namespace {

// One element of the document.
struct Element {
    std::shared_ptr<const Ops::Node> node;     // a node, or the domain of a table made here
    const Read_LUTFile *tables = nullptr;      // else a table of a tables step
    bool lattice = false;                      // which of its tables
    QString inDepth, outDepth;
};

// What one side of an element asks of its bit depth.
struct Side {
    enum Kind { Free, Float, Half, Scaled, Values } kind = Free;
    float scale = 1.0f;    // Scaled: the full scale its numbers are given in
    bool halfs = false;    // Values: every entry is a half float
};

const char *depthName(float scale)
{
    if (scale == 255.0f)
        return "8i";
    if (scale == 1023.0f)
        return "10i";
    if (scale == 4095.0f)
        return "12i";
    if (scale == 65535.0f)
        return "16i";
    return "32f";
}

float scaleOf(const QString &depth)
{
    Ops::BitDepth d;
    return Ops::parseBitDepth(depth, &d) ? Ops::bitDepthScale(d) : 1.0f;
}

// The bit pattern of the half float that is exactly `v`; false when there is none.
bool halfOf(float v, quint16 *bits)
{
    quint32 f;
    std::memcpy(&f, &v, sizeof f);
    const quint16 sign = quint16((f >> 16) & 0x8000);
    const float a = std::fabs(v);
    quint16 h;
    if (std::isnan(v)) {
        h = sign | 0x7e00;
    } else if (std::isinf(v)) {
        h = sign | 0x7c00;
    } else if (a < 6.103515625e-05f) {   // zero and the subnormal halves: multiples of 2^-24
        const float steps = a * 16777216.0f;
        if (steps != std::floor(steps))
            return false;
        h = sign | quint16(steps);
    } else if (a <= 65504.0f) {
        int exponent;
        const float mantissa = std::frexp(a, &exponent) * 2048.0f - 1024.0f;   // a = (1 + m / 1024) 2^(exponent - 1)
        if (mantissa != std::floor(mantissa))
            return false;
        h = quint16(sign | ((exponent + 14) << 10) | quint16(mantissa));
    } else {
        return false;
    }
    const float back = Ops::halfToFloat(h);
    *bits = h;
    return std::memcmp(&back, &v, sizeof v) == 0;
}

bool allHalfs(const std::vector<float> &values)
{
    quint16 bits;
    for (float v : values)
        if (!halfOf(v, &bits))
            return false;
    return !values.empty();
}

Side inSide(const Element &e)
{
    Side s;
    if (const auto *m = dynamic_cast<const Ops::Matrix *>(e.node.get())) {
        s.kind = m->inScale == 1.0f ? Side::Float : Side::Scaled;
        s.scale = m->inScale;
    } else if (const auto *r = dynamic_cast<const Ops::Range *>(e.node.get())) {
        s.kind = r->inScale == 1.0f ? Side::Float : Side::Scaled;
        s.scale = r->inScale;
    } else if (const auto *t = dynamic_cast<const Ops::Lut1D *>(e.node.get())) {
        s.kind = t->halfDomain ? Side::Half : Side::Free;
    }
    return s;
}

Side outSide(const Element &e)
{
    Side s;
    if (e.tables || dynamic_cast<const Ops::Lut3D *>(e.node.get())) {
        s.kind = Side::Values;
    } else if (const auto *t = dynamic_cast<const Ops::Lut1D *>(e.node.get())) {
        s.kind = Side::Values;
        s.halfs = allHalfs(t->values);
    } else if (const auto *m = dynamic_cast<const Ops::Matrix *>(e.node.get())) {
        s.kind = m->outScale == 1.0f ? Side::Float : Side::Scaled;
        s.scale = m->outScale;
    } else if (const auto *r = dynamic_cast<const Ops::Range *>(e.node.get())) {
        s.kind = r->outScale == 1.0f ? Side::Float : Side::Scaled;
        s.scale = r->outScale;
    }
    return s;
}

QString naturalDepth(const Side &s)
{
    switch (s.kind) {
    case Side::Scaled: return QLatin1String(depthName(s.scale));
    case Side::Half: return QStringLiteral("16f");
    case Side::Values: return s.halfs ? QStringLiteral("16f") : QStringLiteral("32f");
    default: return QStringLiteral("32f");
    }
}

// A Matrix or Range restated for other bit depths: the same transform, its numbers scaled.
std::shared_ptr<const Ops::Node> restated(const Ops::Node &node, float inScale, float outScale)
{
    if (const auto *m = dynamic_cast<const Ops::Matrix *>(&node)) {
        auto n = std::make_shared<Ops::Matrix>(*m);
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col)
                n->m[row][col] = float(double(m->m[row][col]) * m->inScale / inScale * outScale / m->outScale);
            n->m[row][3] = float(double(m->m[row][3]) * outScale / m->outScale);
        }
        n->inScale = inScale;
        n->outScale = outScale;
        return n;
    }
    const auto &r = dynamic_cast<const Ops::Range &>(node);
    auto n = std::make_shared<Ops::Range>(r);
    n->minIn = float(double(r.minIn) * inScale / r.inScale);
    n->maxIn = float(double(r.maxIn) * inScale / r.inScale);
    n->minOut = float(double(r.minOut) * outScale / r.outScale);
    n->maxOut = float(double(r.maxOut) * outScale / r.outScale);
    n->inScale = inScale;
    n->outScale = outScale;
    return n;
}

// The depth where `left` hands its values to `right`; a node whose fixed depth cannot be met
// is restated.
QString meet(Element &left, Element &right)
{
    const Side l = outSide(left), r = inSide(right);
    if (l.kind == Side::Free)
        return naturalDepth(r);
    if (r.kind == Side::Free)
        return naturalDepth(l);
    if (l.kind == Side::Values) {
        if (r.kind == Side::Scaled)
            return QLatin1String(depthName(r.scale));
        return r.kind == Side::Half || l.halfs ? QStringLiteral("16f") : QStringLiteral("32f");
    }
    // `left` is a Matrix or Range.
    if (r.kind == Side::Scaled && l.kind == Side::Scaled && l.scale == r.scale)
        return QLatin1String(depthName(l.scale));
    if (l.kind == Side::Float && r.kind != Side::Scaled)
        return r.kind == Side::Half ? QStringLiteral("16f") : QStringLiteral("32f");
    if (r.kind == Side::Scaled) {
        right.node = restated(*right.node, l.scale, outSide(right).scale);
        return naturalDepth(l);
    }
    left.node = restated(*left.node, inSide(left).scale, 1.0f);
    return r.kind == Side::Half ? QStringLiteral("16f") : QStringLiteral("32f");
}

// The domain of a table: a Range when it is alike for all channels, else a Matrix.
std::shared_ptr<const Ops::Node> domainNode(const float *min, const float *max)
{
    if (min[0] == min[1] && min[1] == min[2] && max[0] == max[1] && max[1] == max[2]) {
        auto r = std::make_shared<Ops::Range>(0);
        r->hasMin = r->hasMax = true;
        r->minIn = min[0];
        r->maxIn = max[0];
        return r;
    }
    auto m = std::make_shared<Ops::Matrix>(0);
    for (int ch = 0; ch < 3; ++ch)
        Clf::Text::exactScaleOffset(min[ch], max[ch], m->m[ch][ch], m->m[ch][3]);
    return m;
}

std::vector<Element> elementsOf(const LutTransform &t)
{
    std::vector<Element> out;
    for (const LutTransform::Step &s : t.steps()) {
        if (s.node) {
            out.push_back({s.node, nullptr, false, {}, {}});
            continue;
        }
        const Read_LUTFile &m = *s.tables;
        for (const bool lattice : {false, true}) {
            if (!(lattice ? s.lattice : s.shaper))
                continue;
            const float *min = lattice ? m.domainMin3D : m.domainMin1D, *max = lattice ? m.domainMax3D : m.domainMax1D;
            if (!Formats::unitDomain(min, max))
                out.push_back({domainNode(min, max), nullptr, false, {}, {}});
            out.push_back({nullptr, &m, lattice, {}, {}});
        }
    }
    for (std::size_t i = 0; i + 1 < out.size(); ++i)
        out[i].outDepth = out[i + 1].inDepth = meet(out[i], out[i + 1]);
    if (!out.empty()) {
        out.front().inDepth = naturalDepth(inSide(out.front()));
        out.back().outDepth = naturalDepth(outSide(out.back()));
    }
    return out;
}

QString shortest(float v)
{
    char buf[32];
    return QString::fromLatin1(buf, int(NumFormat::shortest(buf, v) - buf));
}

// An entry of a table whose output depth has this full scale: the number nearest entry *
// scale that the reader's division by the scale gives back as the very entry.
float scaled(float v, float scale)
{
    if (scale == 1.0f || !std::isfinite(v))
        return v * scale;
    const float x = float(double(v) * scale);
    float c = x;
    for (int i = 0; i < 4; ++i)
        c = std::nextafter(c, -INFINITY);
    for (int i = 0; i <= 8; ++i, c = std::nextafter(c, INFINITY))
        if (c / scale == v)
            return c;
    return x;
}

// One table entry (1 or 3 numbers) in the element's output depth.
void putEntry(TextWriter &out, const float *v, int count, const QString &depth, bool rawHalfs)
{
    const float scale = scaleOf(depth);
    char buf[32];
    for (int c = 0; c < count; ++c) {
        if (c > 0)
            out.put(' ');
        quint16 bits;
        if (rawHalfs && halfOf(v[c], &bits))
            out.putInt(bits);
        else
            out.put(buf, int(NumFormat::shortest(buf, scaled(v[c], scale)) - buf));
    }
    out.endLine();
}

QString opening(const char *element, int id, const Element &e, const QString &more = QString())
{
    return QStringLiteral("    <%1 id=\"n%2\" inBitDepth=\"%3\" outBitDepth=\"%4\"%5>\n")
        .arg(QLatin1String(element)).arg(id).arg(e.inDepth, e.outDepth, more);
}

// Parameter elements, one for all three channels when they are alike, else one per channel
// (channels without parameters left out). `attributes` gives those of channel ch, empty for a
// channel without any.
void putParams(TextWriter &out, const char *element, const std::function<QString(int)> &attributes)
{
    const QString r = attributes(0);
    if (!r.isEmpty() && r == attributes(1) && r == attributes(2)) {
        out.putLines(QStringLiteral("        <%1%2/>\n").arg(QLatin1String(element), r));
        return;
    }
    for (int ch = 0; ch < 3; ++ch)
        if (!attributes(ch).isEmpty())
            out.putLines(QStringLiteral("        <%1 channel=\"%2\"%3/>\n").arg(QLatin1String(element)).arg(QLatin1Char("RGB"[ch])).arg(attributes(ch)));
}

QString attribute(const char *name, float value)
{
    return QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name), shortest(value));
}

void putLog(TextWriter &out, const Ops::Log &l, const Element &e, int id)
{
    static const char *const styles[] = {"log10", "antiLog10", "log2", "antiLog2", "linToLog", "logToLin", "cameraLinToLog", "cameraLogToLin"};
    out.putLines(opening("Log", id, e, QStringLiteral(" style=\"%1\"").arg(QLatin1String(styles[l.style]))));
    // The base-10 and base-2 styles take no parameters; a linear slope the file did not give is
    // worked out again when read.
    if (l.style >= Ops::Log::LinToLog)
        putParams(out, "LogParams", [&](int ch) {
            const Ops::LogParams &p = l.params[std::size_t(ch)];
            return attribute("base", p.base) + attribute("logSideSlope", p.logSideSlope) + attribute("logSideOffset", p.logSideOffset)
                 + attribute("linSideSlope", p.linSideSlope) + attribute("linSideOffset", p.linSideOffset)
                 + (p.hasLinSideBreak ? attribute("linSideBreak", p.linSideBreak) : QString())
                 + (p.hasLinearSlope ? attribute("linearSlope", p.linearSlope) : QString());
        });
    out.putLines("    </Log>\n");
}

void putExponent(TextWriter &out, const Ops::Exponent &x, const Element &e, int id)
{
    static const char *const styles[] = {"basicFwd", "basicRev", "basicMirrorFwd", "basicMirrorRev", "basicPassThruFwd",
                                         "basicPassThruRev", "monCurveFwd", "monCurveRev", "monCurveMirrorFwd", "monCurveMirrorRev"};
    out.putLines(opening("Exponent", id, e, QStringLiteral(" style=\"%1\"").arg(QLatin1String(styles[x.style]))));
    putParams(out, "ExponentParams", [&](int ch) {
        const Ops::ExponentParams &p = x.params[std::size_t(ch)];
        if (p.identity)
            return QString();
        return attribute("exponent", p.exponent) + (x.isMonCurve() ? attribute("offset", p.offset) : QString());
    });
    out.putLines("    </Exponent>\n");
}

void putMatrix(TextWriter &out, const Ops::Matrix &m, const Element &e, int id)
{
    out.putLines(opening("Matrix", id, e) + QStringLiteral("        <Array dim=\"3 4\">\n"));
    for (const auto &row : m.m)
        Clf::Text::putNumbers(out, row, 4);
    out.putLines("        </Array>\n    </Matrix>\n");
}

void putRange(TextWriter &out, const Ops::Range &r, const Element &e, int id)
{
    QString body;
    const float values[4] = {r.minIn, r.maxIn, r.minOut, r.maxOut};
    static const char *const names[4] = {"minInValue", "maxInValue", "minOutValue", "maxOutValue"};
    for (int i = 0; i < 4; ++i)
        if (i % 2 == 0 ? r.hasMin : r.hasMax)
            body += QStringLiteral("        <%1>%2</%1>\n").arg(QLatin1String(names[i]), shortest(values[i]));
    out.putLines(opening("Range", id, e, r.clamp ? QString() : QStringLiteral(" style=\"noClamp\"")) + body
                 + QStringLiteral("    </Range>\n"));
}

void putCdl(TextWriter &out, const Ops::AscCdl &c, const Element &e, int id)
{
    static const char *const styles[] = {"Fwd", "Rev", "FwdNoClamp", "RevNoClamp"};
    auto three = [](const float *v) { return QStringLiteral("%1 %2 %3").arg(shortest(v[0]), shortest(v[1]), shortest(v[2])); };
    out.putLines(opening("ASC_CDL", id, e, QStringLiteral(" style=\"%1\"").arg(QLatin1String(styles[c.style])))
                 + QStringLiteral("        <SOPNode>\n            <Slope>%1</Slope>\n            <Offset>%2</Offset>\n"
                                  "            <Power>%3</Power>\n        </SOPNode>\n"
                                  "        <SatNode>\n            <Saturation>%4</Saturation>\n        </SatNode>\n"
                                  "    </ASC_CDL>\n")
                       .arg(three(c.slope), three(c.offset), three(c.power), shortest(c.saturation)));
}

// A LUT1D node: one column when its channels agree, raw halfs where its output is 16f and
// every entry a half.
void putLut1D(TextWriter &out, const Ops::Lut1D &t, const Element &e, int id)
{
    bool oneColumn = true;
    for (std::size_t i = 0; i + 2 < t.values.size() && oneColumn; i += 3)
        oneColumn = std::memcmp(&t.values[i], &t.values[i + 1], sizeof(float)) == 0
                 && std::memcmp(&t.values[i], &t.values[i + 2], sizeof(float)) == 0;
    const bool rawHalfs = e.outDepth == QLatin1String("16f") && allHalfs(t.values);
    out.putLines(opening("LUT1D", id, e, QLatin1String(t.halfDomain ? " halfDomain=\"true\"" : "") + QLatin1String(rawHalfs ? " rawHalfs=\"true\"" : ""))
                 + QStringLiteral("        <Array dim=\"%1 %2\">\n").arg(t.size).arg(oneColumn ? 1 : 3));
    for (int i = 0; i < t.size; ++i)
        putEntry(out, t.values.data() + std::size_t(i) * 3, oneColumn ? 1 : 3, e.outDepth, rawHalfs);
    out.putLines("        </Array>\n    </LUT1D>\n");
}

void putLut3D(TextWriter &out, const Ops::Lut3D &t, const Element &e, int id)
{
    out.putLines(opening("LUT3D", id, e, QStringLiteral(" interpolation=\"%1\"").arg(QLatin1String(t.tetrahedral ? "tetrahedral" : "trilinear")))
                 + QStringLiteral("        <Array dim=\"%1 %1 %1 3\">\n").arg(t.size));
    for (std::size_t i = 0; i + 2 < t.values.size(); i += 3)
        putEntry(out, t.values.data() + i, 3, e.outDepth, false);
    out.putLines("        </Array>\n    </LUT3D>\n");
}

// A table of a tables step, laid out by the writer's orders.
void putTable(TextWriter &out, const Write_LUTFile &writer, const Element &e, int id)
{
    const Read_LUTFile &lut = *e.tables;
    float v[3];
    if (!e.lattice) {
        const int n = lut.allocated1DSize();
        out.putLines(opening("LUT1D", id, e) + QStringLiteral("        <Array dim=\"%1 3\">\n").arg(n));
        const bool straight = writer.dataOrderRGB == writer.tableOrderRGB;
        for (int i = 0; i < n; ++i) {
            v[0] = lut.lut1D[i][straight ? 0 : 2];
            v[1] = lut.lut1D[i][1];
            v[2] = lut.lut1D[i][straight ? 2 : 0];
            putEntry(out, v, 3, e.outDepth, false);
        }
        out.putLines("        </Array>\n    </LUT1D>\n");
        return;
    }
    const int n = lut.allocated3DSize();
    out.putLines(opening("LUT3D", id, e, QStringLiteral(" interpolation=\"tetrahedral\""))
                 + QStringLiteral("        <Array dim=\"%1 %1 %1 3\">\n").arg(n));
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                const float *node = writer.tableOrderRGB ? lut.lut3D.node(r, g, b) : lut.lut3D.node(b, g, r);
                v[0] = node[writer.dataOrderRGB ? 0 : 2];
                v[1] = node[1];
                v[2] = node[writer.dataOrderRGB ? 2 : 0];
                putEntry(out, v, 3, e.outDepth, false);
            }
    out.putLines("        </Array>\n    </LUT3D>\n");
}

void putElement(TextWriter &out, const Write_LUTFile &writer, const Element &e, int id)
{
    const Ops::Node *n = e.node.get();
    if (e.tables)
        putTable(out, writer, e, id);
    else if (const auto *m = dynamic_cast<const Ops::Matrix *>(n))
        putMatrix(out, *m, e, id);
    else if (const auto *r = dynamic_cast<const Ops::Range *>(n))
        putRange(out, *r, e, id);
    else if (const auto *c = dynamic_cast<const Ops::AscCdl *>(n))
        putCdl(out, *c, e, id);
    else if (const auto *l = dynamic_cast<const Ops::Log *>(n))
        putLog(out, *l, e, id);
    else if (const auto *x = dynamic_cast<const Ops::Exponent *>(n))
        putExponent(out, *x, e, id);
    else if (const auto *t = dynamic_cast<const Ops::Lut1D *>(n))
        putLut1D(out, *t, e, id);
    else if (const auto *t = dynamic_cast<const Ops::Lut3D *>(n))
        putLut3D(out, *t, e, id);
}

bool writable(const Ops::Node &n)
{
    return dynamic_cast<const Ops::Matrix *>(&n) || dynamic_cast<const Ops::Range *>(&n) || dynamic_cast<const Ops::AscCdl *>(&n)
        || dynamic_cast<const Ops::Log *>(&n) || dynamic_cast<const Ops::Exponent *>(&n) || dynamic_cast<const Ops::Lut1D *>(&n)
        || dynamic_cast<const Ops::Lut3D *>(&n);
}

}

namespace Clf {

bool holdsTransform(const LutTransform &t, const Formats::Options &)
{
    for (const LutTransform::Step &s : t.steps())
        if (s.node && !writable(*s.node))
            return false;
    return !t.isEmpty();
}

bool writeTransform(Write_LUTFile &writer, const QString &path, const LutTransform &t, const Formats::Options &options)
{
    if (!holdsTransform(t, options)) {
        writer.errorString = QStringLiteral("a step of this transform has no Common LUT Format node");
        return false;
    }
    writer.applyDefaultOrder(Formats::clfFormat.writeOrder);
    TextWriter out;
    if (!writer.openOutput(out, path))
        return false;
    const QString name = QFileInfo(options.sourceName.isEmpty() ? path : options.sourceName).completeBaseName();
    // The id follows the content: the first table's numbers, or the file's name.
    QString id = QUuid::createUuidV5(QUuid(), name).toString(QUuid::WithoutBraces);
    for (const LutTransform::Step &s : t.steps())
        if (s.tables) {
            id = s.lattice ? Text::contentId(s.tables->lut3D.data(), s.tables->lut3D.floatCount())
                           : Text::contentId(s.tables->lut1D.data(), std::size_t(s.tables->allocated1DSize()) * 3);
            break;
        }
    Text::putHeader(out, id, name, t.metadata, options);
    int count = 0;
    for (const Element &e : elementsOf(t))
        putElement(out, writer, e, ++count);
    out.putLines("</ProcessList>\n");
    return writer.finish(out);
}

}
