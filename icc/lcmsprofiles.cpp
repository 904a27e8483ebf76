// ICC profiles through Little CMS 2: reading what a profile holds, transforms between two
// profiles, and version 4 device links. Every call works in a context of its own, whose error
// handler collects Little CMS's messages for the reason of a failure, so that calls on several
// threads never share state.
#include "icc/lcmsprofiles.h"

#include <lcms2.h>
#include <lcms2_plugin.h>

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <string>

#include "calc/ops.h"

namespace {

using IccProfiles::Curve;
using IccProfiles::Profile;
using IccProfiles::Stage;

// Little CMS's messages of one call.
struct Messages {
    QStringList lines;
};

extern "C" void collect(cmsContext context, cmsUInt32Number, const char *text)
{
    if (auto *m = static_cast<Messages *>(cmsGetContextUserData(context)))
        m->lines << QString::fromLatin1(text);
}

// A context, its messages and the profiles opened in it, released together.
class Session
{
public:
    Session() : context_(cmsCreateContext(nullptr, &messages_))
    {
        if (context_)
            cmsSetLogErrorHandlerTHR(context_, collect);
    }
    ~Session()
    {
        for (cmsHPROFILE p : profiles_)
            cmsCloseProfile(p);
        if (context_)
            cmsDeleteContext(context_);
    }
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    cmsContext context() const { return context_; }
    cmsHPROFILE keep(cmsHPROFILE p)
    {
        if (p)
            profiles_.push_back(p);
        return p;
    }
    // "what: Little CMS's first message", or `what` alone.
    QString reason(const QString &what) const
    {
        return messages_.lines.isEmpty() ? what : QStringLiteral("%1: %2").arg(what, messages_.lines.front());
    }
    // The context, handed to an object that outlives the session.
    cmsContext release()
    {
        cmsSetLogErrorHandlerTHR(context_, nullptr);
        cmsContext c = context_;
        context_ = nullptr;
        return c;
    }

private:
    Messages messages_;
    cmsContext context_;
    std::vector<cmsHPROFILE> profiles_;
};

QString signature(cmsUInt32Number sig)
{
    char text[5] = {char(sig >> 24), char(sig >> 16), char(sig >> 8), char(sig), 0};
    for (int i = 0; i < 4; ++i)
        if (text[i] < 0x20 || text[i] > 0x7e)
            text[i] = '?';
    return QString::fromLatin1(text);
}

QString info(cmsHPROFILE h, cmsInfoType what)
{
    const cmsUInt32Number bytes = cmsGetProfileInfo(h, what, "en", "US", nullptr, 0);
    if (bytes < sizeof(wchar_t))
        return QString();
    std::vector<wchar_t> buf(bytes / sizeof(wchar_t) + 1, 0);
    cmsGetProfileInfo(h, what, "en", "US", buf.data(), cmsUInt32Number(buf.size() * sizeof(wchar_t)));
    buf.back() = 0;
    return QString::fromWCharArray(buf.data()).trimmed();
}

// Single-precision values with no NaN, which Little CMS's quantisers do not expect.
inline void sanitise(const float *in, float *out)
{
    for (int c = 0; c < 3; ++c)
        out[c] = std::isnan(in[c]) ? 0.0f : in[c];
}

// A table-based transform evaluated by Little CMS: its pipeline, as the profile's AToB0 holds it.
class PipelineNode : public Ops::Node
{
public:
    PipelineNode(cmsContext context, cmsPipeline *pipeline) : Node(0), context_(context), pipeline_(pipeline) {}
    ~PipelineNode() override
    {
        cmsPipelineFree(pipeline_);
        cmsDeleteContext(context_);
    }
    void apply(float *rgb) const override
    {
        float in[3];
        sanitise(rgb, in);
        cmsPipelineEvalFloat(in, rgb, pipeline_);
    }
    const char *kind() const override { return "ICC"; }

private:
    cmsContext context_;
    cmsPipeline *pipeline_;
};

// A transform from one profile to another, single precision in and out.
class TransformNode : public Ops::Node
{
public:
    TransformNode(cmsContext context, cmsHTRANSFORM transform) : Node(0), context_(context), transform_(transform) {}
    ~TransformNode() override
    {
        cmsDeleteTransform(transform_);
        cmsDeleteContext(context_);
    }
    void apply(float *rgb) const override
    {
        float in[3];
        sanitise(rgb, in);
        cmsDoTransform(transform_, in, rgb, 1);
    }
    const char *kind() const override { return "ICC"; }

private:
    cmsContext context_;
    cmsHTRANSFORM transform_;
};

bool readCurve(const cmsToneCurve *t, Curve &out)
{
    const cmsInt32Number type = cmsGetToneCurveParametricType(t);
    if (type == 1) {
        out.kind = Curve::Gamma;
        out.gamma = cmsGetToneCurveParams(t)[0];
        return true;
    }
    if (type >= 2 && type <= 5) {
        // Little CMS numbers the ICC function types from 1.
        static const int counts[] = {1, 3, 4, 5, 7};
        out.kind = Curve::Parametric;
        out.type = type - 1;
        const cmsFloat64Number *p = cmsGetToneCurveParams(t);
        std::copy(p, p + counts[out.type], out.params);
        return true;
    }
    if (type != 0)
        return false;
    const cmsUInt32Number n = cmsGetToneCurveEstimatedTableEntries(t);
    const cmsUInt16Number *v = cmsGetToneCurveEstimatedTable(t);
    if (n < 2 || !v)
        return false;
    out.kind = Curve::Table;
    out.table.resize(n);
    for (cmsUInt32Number i = 0; i < n; ++i)
        out.table[i] = float(v[i]) / 65535.0f;
    return true;
}

bool readMatrixShaper(cmsHPROFILE h, Profile &p, QString *why)
{
    const cmsTagSignature colorants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (int c = 0; c < 3; ++c) {
        const auto *xyz = static_cast<const cmsCIEXYZ *>(cmsReadTag(h, colorants[c]));
        const auto *trc = static_cast<const cmsToneCurve *>(cmsReadTag(h, curves[c]));
        if (!xyz || !trc) {
            *why = QStringLiteral("its %1 colorant or tone curve cannot be read").arg(QLatin1String(c == 0 ? "red" : c == 1 ? "green" : "blue"));
            return false;
        }
        p.colorants[0][c] = xyz->X;
        p.colorants[1][c] = xyz->Y;
        p.colorants[2][c] = xyz->Z;
        if (!readCurve(trc, p.trc[c])) {
            *why = QStringLiteral("its %1 tone curve is of a kind that is not read").arg(QLatin1String(c == 0 ? "red" : c == 1 ? "green" : "blue"));
            return false;
        }
    }
    p.matrixShaper = true;
    return true;
}

// The pipeline's steps as plain tables, when each is one of the kinds a LUT holds exactly: a
// set of tabulated curves of one length, a lattice of one size on every axis, or a matrix.
// Identity curves are left out. False when any step is of another kind.
bool stagesOf(const cmsPipeline *pipeline, std::vector<Stage> &out)
{
    for (cmsStage *s = cmsPipelineGetPtrToFirstStage(pipeline); s; s = cmsStageNext(s)) {
        if (cmsStageInputChannels(s) != 3 || cmsStageOutputChannels(s) != 3)
            return false;
        switch (cmsStageType(s)) {
        case cmsSigIdentityElemType:
            break;
        case cmsSigCurveSetElemType: {
            const auto *data = static_cast<const _cmsStageToneCurvesData *>(cmsStageData(s));
            bool linear = true;
            for (cmsUInt32Number c = 0; c < data->nCurves; ++c)
                linear = linear && cmsIsToneCurveLinear(data->TheCurves[c]);
            if (linear)
                break;
            Stage stage;
            stage.kind = Stage::Curves;
            for (int c = 0; c < 3; ++c) {
                const cmsToneCurve *t = data->TheCurves[c];
                const cmsUInt32Number n = cmsGetToneCurveEstimatedTableEntries(t);
                if (cmsGetToneCurveParametricType(t) != 0 || n < 2 || (c > 0 && int(n) != stage.size))
                    return false;
                stage.size = int(n);
                stage.values.resize(std::size_t(n) * 3);
                const cmsUInt16Number *v = cmsGetToneCurveEstimatedTable(t);
                for (cmsUInt32Number i = 0; i < n; ++i)
                    stage.values[i * 3 + std::size_t(c)] = float(v[i]) / 65535.0f;
            }
            out.push_back(std::move(stage));
            break;
        }
        case cmsSigCLutElemType: {
            const auto *data = static_cast<const _cmsStageCLutData *>(cmsStageData(s));
            const cmsUInt32Number *grid = data->Params->nSamples;
            if (grid[0] != grid[1] || grid[1] != grid[2] || grid[0] < 2)
                return false;
            Stage stage;
            stage.kind = Stage::Lattice;
            stage.size = int(grid[0]);
            const std::size_t count = std::size_t(grid[0]) * grid[0] * grid[0] * 3;
            if (data->nEntries != count)
                return false;
            stage.values.resize(count);
            // The first input changes slowest in Little CMS's tables, as red does in ours.
            for (std::size_t i = 0; i < count; ++i)
                stage.values[i] = data->HasFloatValues ? data->Tab.TFloat[i] : float(data->Tab.T[i]) / 65535.0f;
            out.push_back(std::move(stage));
            break;
        }
        case cmsSigMatrixElemType: {
            const auto *data = static_cast<const _cmsStageMatrixData *>(cmsStageData(s));
            Stage stage;
            stage.kind = Stage::Matrix;
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c)
                    stage.matrix[r][c] = data->Double[r * 3 + c];
                stage.matrix[r][3] = data->Offset ? data->Offset[r] : 0.0;
            }
            out.push_back(stage);
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

bool readTables(Session &session, cmsHPROFILE h, Profile &p, QString *why)
{
    const auto *pipeline = static_cast<const cmsPipeline *>(cmsReadTag(h, cmsSigAToB0Tag));
    if (!pipeline) {
        *why = session.reason(QStringLiteral("its AToB0 table cannot be read"));
        return false;
    }
    const cmsUInt32Number in = cmsPipelineInputChannels(pipeline), out = cmsPipelineOutputChannels(pipeline);
    if (in != 3 || out != 3) {
        *why = QStringLiteral("its table takes %1 channels to %2; a LUT takes 3 to 3").arg(in).arg(out);
        return false;
    }
    if (!stagesOf(pipeline, p.stages))
        p.stages.clear();
    // The evaluator keeps a copy of the pipeline, and the context it lives in.
    cmsPipeline *copy = cmsPipelineDup(pipeline);
    if (!copy) {
        *why = QStringLiteral("out of memory");
        return false;
    }
    p.evaluator = std::make_shared<PipelineNode>(session.release(), copy);
    return true;
}

bool readProfile(const QByteArray &bytes, Profile *out, QString *why)
{
    Session session;
    cmsHPROFILE h = session.keep(cmsOpenProfileFromMemTHR(session.context(), bytes.constData(), cmsUInt32Number(bytes.size())));
    if (!h) {
        *why = session.reason(QStringLiteral("Little CMS cannot open the profile"));
        return false;
    }
    Profile p;
    p.deviceClass = signature(cmsGetDeviceClass(h));
    p.colourSpace = signature(cmsGetColorSpace(h));
    p.connection = signature(cmsGetPCS(h));
    p.version = cmsGetProfileVersion(h);
    p.description = info(h, cmsInfoDescription);
    p.copyright = info(h, cmsInfoCopyright);
    const cmsProfileClassSignature cls = cmsGetDeviceClass(h);
    bool ok;
    if (cls == cmsSigLinkClass || cls == cmsSigAbstractClass) {
        ok = readTables(session, h, p, why);
    } else if (cmsGetColorSpace(h) == cmsSigRgbData && cmsIsMatrixShaper(h)) {
        ok = readMatrixShaper(h, p, why);
    } else {
        *why = QStringLiteral("a %1 profile of %2 data without colorants and tone curves is not read as a LUT; "
                              "use it with --from-profile or --to-profile")
                   .arg(p.deviceClass.trimmed(), p.colourSpace.trimmed());
        ok = false;
    }
    if (ok)
        *out = std::move(p);
    return ok;
}

// Built-in profiles. Rec.709 is the display of BT.709 and BT.1886 (a 2.4 power, black at 0);
// Display P3 has the P3 primaries, D65 and the sRGB curve.
const char *const builtInNames[] = {"sRGB", "Rec.709", "Display P3", nullptr};

QString key(const QString &name)
{
    QString k;
    for (const QChar c : name)
        if (c.isLetterOrNumber())
            k += c.toLower();
    return k;
}

cmsHPROFILE builtIn(cmsContext context, const QString &name)
{
    const QString k = key(name);
    if (k == QLatin1String("srgb"))
        return cmsCreate_sRGBProfileTHR(context);
    const cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
    cmsCIExyYTRIPLE primaries;
    cmsToneCurve *curve = nullptr;
    if (k == QLatin1String("rec709") || k == QLatin1String("bt709")) {
        primaries = {{0.640, 0.330, 1.0}, {0.300, 0.600, 1.0}, {0.150, 0.060, 1.0}};
        curve = cmsBuildGamma(context, 2.4);
    } else if (k == QLatin1String("displayp3") || k == QLatin1String("p3")) {
        primaries = {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
        const cmsFloat64Number srgb[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
        curve = cmsBuildParametricToneCurve(context, 4, srgb);
    } else {
        return nullptr;
    }
    if (!curve)
        return nullptr;
    cmsToneCurve *curves[3] = {curve, curve, curve};
    cmsHPROFILE h = cmsCreateRGBProfileTHR(context, &d65, &primaries, curves);
    cmsFreeToneCurve(curve);
    return h;
}

cmsHPROFILE open(Session &session, const IccProfiles::Source &s, QString *why)
{
    cmsHPROFILE h = s.bytes.isEmpty() ? builtIn(session.context(), s.builtIn)
                                      : cmsOpenProfileFromMemTHR(session.context(), s.bytes.constData(), cmsUInt32Number(s.bytes.size()));
    if (!session.keep(h)) {
        *why = s.bytes.isEmpty() ? QStringLiteral("%1 is no built-in profile (%2 are)").arg(s.name, QStringLiteral("sRGB, Rec.709, Display P3"))
                                 : session.reason(QStringLiteral("%1: Little CMS cannot open the profile").arg(s.name));
        return nullptr;
    }
    if (cmsGetColorSpace(h) != cmsSigRgbData) {
        *why = QStringLiteral("%1 is a profile of %2 data, not RGB").arg(s.name, signature(cmsGetColorSpace(h)).trimmed());
        return nullptr;
    }
    return h;
}

std::shared_ptr<const Ops::Node> pair(const IccProfiles::Source &from, const IccProfiles::Source &to,
                                      IccProfiles::Intent intent, QString *why)
{
    Session session;
    cmsHPROFILE a = open(session, from, why);
    cmsHPROFILE b = a ? open(session, to, why) : nullptr;
    if (!b)
        return nullptr;
    // No precalculated tables and no cache: the transform is evaluated as the profiles define
    // it, and may be used from several threads at once.
    cmsHTRANSFORM t = cmsCreateTransformTHR(session.context(), a, TYPE_RGB_FLT, b, TYPE_RGB_FLT, cmsUInt32Number(intent),
                                            cmsFLAGS_NOCACHE | cmsFLAGS_NOOPTIMIZE);
    if (!t) {
        *why = session.reason(QStringLiteral("no transform from %1 to %2").arg(from.name, to.name));
        return nullptr;
    }
    return std::make_shared<TransformNode>(session.release(), t);
}

cmsUInt16Number code(float v)
{
    const float c = v > 1.0f ? 1.0f : v > 0.0f ? v : 0.0f;   // NaN goes to 0
    return cmsUInt16Number(std::lround(double(c) * 65535.0));
}

cmsMLU *text(cmsContext context, const QString &s)
{
    cmsMLU *mlu = cmsMLUalloc(context, 1);
    const std::wstring w = s.toStdWString();
    if (mlu)
        cmsMLUsetWide(mlu, "en", "US", w.c_str());
    return mlu;
}

// The curve stage of a link: `values` (n R G B triples) per channel, or the identity.
cmsStage *curveStage(cmsContext context, int n, const float *values)
{
    cmsToneCurve *curves[3] = {nullptr, nullptr, nullptr};
    std::vector<cmsUInt16Number> table(values ? std::size_t(n) : 0);
    for (int c = 0; c < 3; ++c) {
        if (values) {
            for (int i = 0; i < n; ++i)
                table[std::size_t(i)] = code(values[std::size_t(i) * 3 + std::size_t(c)]);
            curves[c] = cmsBuildTabulatedToneCurve16(context, cmsUInt32Number(n), table.data());
        } else {
            curves[c] = cmsBuildGamma(context, 1.0);
        }
    }
    cmsStage *stage = curves[0] && curves[1] && curves[2] ? cmsStageAllocToneCurves(context, 3, curves) : nullptr;
    cmsFreeToneCurveTriple(curves);
    return stage;
}

bool writeLink(const IccProfiles::Link &link, QByteArray *out, QString *why)
{
    Session session;
    cmsContext ctx = session.context();
    cmsHPROFILE h = session.keep(cmsCreateProfilePlaceholder(ctx));
    if (!h) {
        *why = session.reason(QStringLiteral("cannot make a profile"));
        return false;
    }
    cmsSetProfileVersion(h, 4.3);
    cmsSetDeviceClass(h, cmsSigLinkClass);
    cmsSetColorSpace(h, cmsSigRgbData);
    cmsSetPCS(h, cmsSigRgbData);
    cmsSetHeaderRenderingIntent(h, INTENT_PERCEPTUAL);

    // A lutAToBType holds A curves, a lattice and B curves; the B curves are the identity.
    const int n = link.size;
    std::vector<cmsUInt16Number> table(std::size_t(n) * n * n * 3);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = code(link.lattice[i]);
    cmsPipeline *pipeline = cmsPipelineAlloc(ctx, 3, 3);
    cmsStage *a = curveStage(ctx, link.shaperSize, link.shaperSize > 0 ? link.shaper : nullptr);
    cmsStage *clut = cmsStageAllocCLut16bit(ctx, cmsUInt32Number(n), 3, 3, table.data());
    cmsStage *b = curveStage(ctx, 0, nullptr);
    bool ok = pipeline && a && clut && b;
    ok = ok && cmsPipelineInsertStage(pipeline, cmsAT_END, a);
    if (ok)
        a = nullptr;
    ok = ok && cmsPipelineInsertStage(pipeline, cmsAT_END, clut);
    if (ok)
        clut = nullptr;
    ok = ok && cmsPipelineInsertStage(pipeline, cmsAT_END, b);
    if (ok)
        b = nullptr;
    for (cmsStage *s : {a, clut, b})
        if (s)
            cmsStageFree(s);
    ok = ok && cmsWriteTag(h, cmsSigAToB0Tag, pipeline);
    if (pipeline)
        cmsPipelineFree(pipeline);

    cmsMLU *description = text(ctx, link.description);
    cmsMLU *copyright = text(ctx, link.copyright);
    ok = ok && description && copyright && cmsWriteTag(h, cmsSigProfileDescriptionTag, description)
        && cmsWriteTag(h, cmsSigCopyrightTag, copyright);
    // A device link names the profiles it was made from; this one was made from a LUT.
    cmsSEQ *sequence = cmsAllocProfileSequenceDescription(ctx, 1);
    if (sequence) {
        sequence->seq[0].Manufacturer = text(ctx, QString());
        sequence->seq[0].Model = text(ctx, QString());
        sequence->seq[0].Description = description ? cmsMLUdup(description) : nullptr;
        ok = ok && cmsWriteTag(h, cmsSigProfileSequenceDescTag, sequence);
        cmsFreeProfileSequenceDescription(sequence);
    }
    for (cmsMLU *m : {description, copyright})
        if (m)
            cmsMLUfree(m);
    ok = ok && cmsMD5computeID(h);

    cmsUInt32Number size = 0;
    ok = ok && cmsSaveProfileToMem(h, nullptr, &size) && size > 0;
    if (ok) {
        out->resize(int(size));
        ok = cmsSaveProfileToMem(h, out->data(), &size);
        out->resize(int(size));
    }
    if (!ok)
        *why = session.reason(QStringLiteral("the device link cannot be made"));
    return ok;
}

}

const IccProfiles::Backend &LcmsProfiles::backend()
{
    static const IccProfiles::Backend b = {readProfile, pair, writeLink, builtInNames};
    return b;
}
