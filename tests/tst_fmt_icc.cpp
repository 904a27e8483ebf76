// ICC profiles: the checks a profile passes before Little CMS reads it, display profiles read
// as OpenColorIO reads them, device links written that Little CMS applies as the LUT, and
// links and abstract profiles that Little CMS made, read as Little CMS evaluates them.

#include <QtTest>

#include <random>

#include "calc/lutcalc.h"
#include "formats/faithful.h"
#include "formats/icc.h"
#include "formats/registry.h"
#include "testutil.h"

#ifdef LUTWRIGHT_HAVE_LCMS
#include <lcms2.h>
#endif

namespace {

const Formats::Format &icc()
{
    return *Formats::byName(QStringLiteral("icc"));
}

bool readIcc(const QString &path, LutTransform &t, QString *why)
{
    return Formats::readTransform(icc(), TestUtil::side(Formats::Id::None, path), Formats::Options(), t, why);
}

#ifdef LUTWRIGHT_HAVE_LCMS

// The tables of `model` written exactly, as a conversion writes what the format holds.
bool writeLink(const QString &path, const LutTransform &t, QString *why)
{
    if (!icc().faithful->holds(t, Formats::Options())) {
        *why = QStringLiteral("not held");
        return false;
    }
    Write_LUTFile writer;
    const bool ok = icc().faithful->write(writer, path, t, Formats::Options());
    *why = writer.errorString;
    return ok;
}

QByteArray saved(cmsHPROFILE h)
{
    cmsUInt32Number size = 0;
    QByteArray bytes;
    if (h && cmsSaveProfileToMem(h, nullptr, &size)) {
        bytes.resize(int(size));
        cmsSaveProfileToMem(h, bytes.data(), &size);
    }
    if (h)
        cmsCloseProfile(h);
    return bytes;
}

// A version 4 device link from sRGB to Display P3 primaries, as Little CMS makes one.
QByteArray lcmsLink()
{
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    const cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE p3 = {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    cmsToneCurve *gamma = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve *curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE display = cmsCreateRGBProfile(&d65, &p3, curves);
    cmsHTRANSFORM t = cmsCreateTransform(srgb, TYPE_RGB_16, display, TYPE_RGB_16, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsHPROFILE link = cmsTransform2DeviceLink(t, 4.3, 0);
    cmsDeleteTransform(t);
    cmsCloseProfile(srgb);
    cmsCloseProfile(display);
    cmsFreeToneCurve(gamma);
    return saved(link);
}

// Where a tag's data starts in a profile.
int tagOffset(const QByteArray &bytes, const char *signature)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const int count = int(qFromBigEndian<quint32>(p + 128));
    for (int i = 0; i < count; ++i)
        if (bytes.mid(132 + i * 12, 4) == signature)
            return int(qFromBigEndian<quint32>(p + 132 + i * 12 + 4));
    return -1;
}

void put32(QByteArray &bytes, int at, quint32 v)
{
    qToBigEndian(v, reinterpret_cast<uchar *>(bytes.data()) + at);
}

// Little CMS applying a profile file to RGB floats: a link alone, or from it to `to`.
struct LcmsTransform {
    cmsHPROFILE from = nullptr, to = nullptr;
    cmsHTRANSFORM t = nullptr;
    LcmsTransform(const QString &path, cmsUInt32Number outFormat = TYPE_RGB_FLT, cmsHPROFILE target = nullptr,
                  cmsUInt32Number intent = INTENT_PERCEPTUAL)
        : from(cmsOpenProfileFromFile(QFile::encodeName(path).constData(), "r")), to(target)
    {
        if (from)
            t = cmsCreateTransform(from, TYPE_RGB_FLT, to, outFormat, intent, cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE);
    }
    ~LcmsTransform()
    {
        if (t)
            cmsDeleteTransform(t);
        for (cmsHPROFILE h : {from, to})
            if (h)
                cmsCloseProfile(h);
    }
    void apply(const float *in, void *out) const { cmsDoTransform(t, in, out, 1); }
};

// Points in the unit cube, the same every run.
std::vector<std::array<float, 3>> samples(int count)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(0.0f, 1.0f);
    std::vector<std::array<float, 3>> out{std::size_t(count)};
    for (auto &s : out)
        s = {d(rng), d(rng), d(rng)};
    return out;
}

// Empty when `a` and `b` agree within `tol` at every sample of [lo, 1]^3; else the first place
// they do not.
QString agreement(const std::function<void(const float *, float *)> &a, const std::function<void(const float *, float *)> &b,
                  float tol, float lo = 0.0f)
{
    for (auto s : samples(400)) {
        for (float &v : s)
            v = lo + (1.0f - lo) * v;
        float x[3], y[3];
        a(s.data(), x);
        b(s.data(), y);
        for (int c = 0; c < 3; ++c)
            if (!(std::fabs(x[c] - y[c]) <= tol))
                return QStringLiteral("at %1 %2 %3 channel %4: %5 and %6").arg(s[0]).arg(s[1]).arg(s[2]).arg(c).arg(x[c]).arg(y[c]);
    }
    return QString();
}

std::function<void(const float *, float *)> ours(const LutTransform &t)
{
    return [&t](const float *in, float *out) { t.apply(in, out, 1); };
}

#endif

}

class TestFmtIcc : public QObject
{
    Q_OBJECT
private slots:
    void endless();
#ifdef LUTWRIGHT_HAVE_LCMS
    void damaged_data();
    void damaged();
    void displayProfiles_data();
    void displayProfiles();
    void linkWritten_data();
    void linkWritten();
    void madeByLcms_data();
    void madeByLcms();
    void pair();
#else
    void refusedWithoutLittleCms();
#endif

private:
    QTemporaryDir dir_;
};

// An input without end is refused once it passes the largest profile, before Little CMS.
void TestFmtIcc::endless()
{
    SKIP_ON_WINDOWS("no /dev/zero");
    LutTransform t;
    QString why;
    QVERIFY(!readIcc(QStringLiteral("/dev/zero"), t, &why));
    QVERIFY2(why.contains(QLatin1String("is too large to be an ICC profile")), qPrintable(why));
}

#ifdef LUTWRIGHT_HAVE_LCMS

using Damage = std::function<void(QByteArray &)>;
Q_DECLARE_METATYPE(Damage)

// A device link, damaged in one place: each damage is refused before Little CMS reads the
// profile, with the reason.
void TestFmtIcc::damaged_data()
{
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QString>("reason");
    auto clut = [](QByteArray &b) { return tagOffset(b, "A2B0") + int(qFromBigEndian<quint32>(b.constData() + tagOffset(b, "A2B0") + 24)); };
    QTest::newRow("cut within its header") << Damage([](QByteArray &b) { b.truncate(100); }) << "no profile header";
    QTest::newRow("a size beyond the file") << Damage([](QByteArray &b) { put32(b, 0, quint32(b.size() + 1)); })
                                            << "the header gives a profile of";
    QTest::newRow("version 5") << Damage([](QByteArray &b) { b[8] = 5; }) << "versions 2 and 4 are read";
    QTest::newRow("a million tags") << Damage([](QByteArray &b) { put32(b, 128, 1000000); })
                                    << "the tag table lists 1000000 tags";
    QTest::newRow("a tag past the end") << Damage([](QByteArray &b) { put32(b, 132 + 8, 0x7fffffff); })
                                        << "lies outside the profile";
    QTest::newRow("an empty tag at the very end") << Damage([](QByteArray &b) {
        put32(b, 132 + 4, quint32(b.size()));
        put32(b, 132 + 8, 0);
    }) << "0 bytes, too few for a tag";
    QTest::newRow("a lattice of 255 points in a small tag") << Damage([clut](QByteArray &b) {
        const int at = clut(b);
        b[at] = b[at + 1] = b[at + 2] = char(255);
    }) << "does not fit";
    QTest::newRow("a lattice element outside its tag") << Damage([](QByteArray &b) {
        put32(b, tagOffset(b, "A2B0") + 24, 0x10000000);
    }) << "outside its";
    QTest::newRow("a curve of 2^31 entries") << Damage([](QByteArray &b) {
        const int a2b0 = tagOffset(b, "A2B0");
        put32(b, a2b0 + int(qFromBigEndian<quint32>(b.constData() + a2b0 + 28)) + 8, 0x80000000u);
    }) << "a curve of";
    QTest::newRow("multi-process elements") << Damage([](QByteArray &b) { b.replace(tagOffset(b, "A2B0"), 4, "mpet"); })
                                            << "multi-process elements are not read";
}

void TestFmtIcc::damaged()
{
    QFETCH(Damage, damage);
    QFETCH(QString, reason);
    // Our own link, whose A curves are a sampled shaper.
    auto model = std::make_shared<Read_LUTFile>();
    TestUtil::fillRandomLattice(*model, 5, 3);
    TestUtil::fill1D(*model, 16);
    QString why;
    const QString good = dir_.filePath(QStringLiteral("good.icc"));
    QVERIFY2(writeLink(good, LutTransform::ofTables(model), &why), qPrintable(why));
    QByteArray bytes = TestUtil::readFile(good);
    QVERIFY2(Icc::check(bytes, &why), qPrintable(why));

    damage(bytes);
    const QString path = TestUtil::writeTemp(dir_, QStringLiteral("damaged.icc"), bytes);
    LutTransform t;
    QVERIFY(!readIcc(path, t, &why));
    QVERIFY2(why.contains(reason), qPrintable(why));
}

// The corpus's display profiles (matrix and tone curves): to the numbers OpenColorIO 2.1 gives
// where it reads the file, and back to the input through Little CMS's own forward transform
// (device RGB to D50 XYZ) for every file, including the parametric curves OpenColorIO refuses.
void TestFmtIcc::displayProfiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QVector<float>>("ocio");   // XYZ 0.5 0.5 0.5 and 0.2 0.4 0.6 to RGB, or none
    QTest::newRow("gamma 2.2 curves") << "icc-test-1.icc"
        << QVector<float>{0.7719312f, 0.7122498f, 0.6991121f, 0.0f, 0.7815000f, 0.7710090f};
    QTest::newRow("parametric power, version 4") << "icc-test-2.pf"
        << QVector<float>{0.7817949f, 0.7082689f, 0.6959794f, 0.0f, 0.7857854f, 0.7664516f};
    QTest::newRow("sampled curves") << "icc-test-3.icm"
        << QVector<float>{0.7991520f, 0.7181023f, 0.7043297f, 0.0f, 0.7867041f, 0.7757559f};
    for (const char *f : {"icc-test-pc1.icc", "icc-test-pc2.icc", "icc-test-pc3.icc", "icc-test-pc4.icc"})
        QTest::newRow(f) << f << QVector<float>();
}

void TestFmtIcc::displayProfiles()
{
    QFETCH(QString, file);
    QFETCH(QVector<float>, ocio);
    const QString path = QStringLiteral(LUTWRIGHT_CORPUS "/") + file;
    LutTransform t;
    QString why;
    QVERIFY2(readIcc(path, t, &why), qPrintable(why));
    const float inputs[2][3] = {{0.5f, 0.5f, 0.5f}, {0.2f, 0.4f, 0.6f}};
    for (int i = 0; i < ocio.size() / 3; ++i) {
        float rgb[3];
        t.apply(inputs[i], rgb, 1);
        for (int c = 0; c < 3; ++c)
            QVERIFY2(std::fabs(rgb[c] - ocio[i * 3 + c]) < 2e-6f, qPrintable(QStringLiteral("input %1 channel %2: %3, OpenColorIO %4")
                                                                                 .arg(i).arg(c).arg(rgb[c]).arg(ocio[i * 3 + c])));
    }
    // D50 XYZ back to D65 by the inverse of the Bradford matrix OpenColorIO applies.
    const double toD65[3][3] = {{0.955509475, -0.023074829, 0.063312393}, {-0.028327239, 1.009944655, 0.021055592},
                                {0.012329273, -0.02053621, 1.330729986}};
    // Relative colorimetric: Little CMS scales the black of version 4 profiles in perceptual.
    LcmsTransform forward(path, TYPE_XYZ_DBL, cmsCreateXYZProfile(), INTENT_RELATIVE_COLORIMETRIC);
    QVERIFY(forward.t);
    // Above the level start of the curves of types 1 and 2, which has no inverse.
    for (const auto &s : samples(200)) {
        const float device[3] = {0.15f + 0.8f * s[0], 0.15f + 0.8f * s[1], 0.15f + 0.8f * s[2]};
        cmsCIEXYZ d50;
        forward.apply(device, &d50);
        const double v[3] = {d50.X, d50.Y, d50.Z};
        float xyz[3], back[3];
        for (int r = 0; r < 3; ++r)
            xyz[r] = float(toD65[r][0] * v[0] + toD65[r][1] * v[1] + toD65[r][2] * v[2]);
        t.apply(xyz, back, 1);
        for (int c = 0; c < 3; ++c)
            QVERIFY2(std::fabs(back[c] - device[c]) < 2e-4f, qPrintable(QStringLiteral("device %1 %2 %3 channel %4 reads back as %5")
                                                                            .arg(device[0]).arg(device[1]).arg(device[2]).arg(c).arg(back[c])));
    }
}

// A LUT written as a device link: version 4.3, RGB to RGB, titled; Little CMS applies it as the
// LUT within its 16-bit quantisation, and it reads back as the same tables.
void TestFmtIcc::linkWritten_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("shaper");   // entries, 0 for none
    QTest::newRow("17 points") << 17 << 0;
    QTest::newRow("33 points") << 33 << 0;
    QTest::newRow("9 points behind a 256-entry shaper") << 9 << 256;
}

void TestFmtIcc::linkWritten()
{
    QFETCH(int, size);
    QFETCH(int, shaper);
    // Smooth tables, as LUTs are: Little CMS quantises a lattice's input to 16 bits, which
    // shows in proportion to the lattice's slope.
    auto model = std::make_shared<Read_LUTFile>();
    model->setSize3D(size, false);
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b) {
                const float x[3] = {r / float(size - 1), g / float(size - 1), b / float(size - 1)};
                for (int c = 0; c < 3; ++c)
                    model->lut3D[r][g][b][c] = std::pow(0.8f * x[c] + 0.1f * x[(c + 1) % 3] + 0.1f * x[(c + 2) % 3], 0.8f);
            }
    if (shaper > 0) {
        model->setSize1D(shaper, false);
        for (int i = 0; i < shaper; ++i)
            for (int c = 0; c < 3; ++c)
                model->lut1D[i][c] = i / float(shaper - 1) * (1.5f + 0.2f * c - (0.5f + 0.2f * c) * i / float(shaper - 1));
    }
    LutTransform source = LutTransform::ofTables(model);
    source.metadata.append({QStringLiteral("TITLE"), QStringLiteral("night look")});
    QString why;
    const QString path = dir_.filePath(QStringLiteral("link%1.icc").arg(size));
    QVERIFY2(writeLink(path, source, &why), qPrintable(why));

    LcmsTransform link(path);
    QVERIFY(link.t);
    QCOMPARE(cmsGetDeviceClass(link.from), cmsSigLinkClass);
    QCOMPARE(cmsGetColorSpace(link.from), cmsSigRgbData);
    QCOMPARE(cmsGetPCS(link.from), cmsSigRgbData);
    QCOMPARE(cmsGetEncodedICCversion(link.from), 0x04300000u);
    char title[64] = {};
    cmsGetProfileInfoASCII(link.from, cmsInfoDescription, "en", "US", title, sizeof title);
    QCOMPARE(QString::fromLatin1(title), QStringLiteral("night look"));
    // Nodes quantised to 16 bits and Little CMS's 16-bit lattice input: within 1.5 codes.
    const std::function<void(const float *, float *)> lcms = [&](const float *in, float *out) { link.apply(in, out); };
    QCOMPARE(agreement(ours(source), lcms, 1.5f / 65535.0f), QString());

    LutTransform back;
    QVERIFY2(readIcc(path, back, &why), qPrintable(why));
    QVERIFY(back.tables() && back.hasLattice() && back.hasShaper() == (shaper > 0));
    QCOMPARE(TestUtil::latticeDifferences(*back.tables(), *model, false, false, 0.5f / 65535.0f + 1e-7f), QString());
}

// Profiles Little CMS made read as Little CMS evaluates them; those that are no RGB LUT are
// refused with the reason.
void TestFmtIcc::madeByLcms_data()
{
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<bool>("reads");
    QTest::addColumn<QString>("expected");    // the steps read, or the reason of a refusal
    cmsToneCurve *gamma = cmsBuildGamma(nullptr, 2.2);
    QTest::newRow("device link sRGB to P3") << lcmsLink() << true << "3D";
    QTest::newRow("abstract Lab profile") << saved(cmsCreateBCHSWabstractProfile(9, 10, 1.2, 15, 0.9, 0, 0)) << true << "3D";
    QTest::newRow("CMYK ink-limiting link")
        << saved(cmsCreateInkLimitingDeviceLink(cmsSigCmykData, 250)) << false << "its table takes 4 channels to 4";
    QTest::newRow("grey display profile") << saved(cmsCreateGrayProfile(cmsD50_xyY(), gamma)) << false
                                          << "a mntr profile of GRAY data without colorants";
    cmsFreeToneCurve(gamma);
}

void TestFmtIcc::madeByLcms()
{
    QFETCH(QByteArray, profile);
    QFETCH(bool, reads);
    QFETCH(QString, expected);
    const QString path = TestUtil::writeTemp(dir_, QStringLiteral("made.icc"), profile);
    LutTransform t;
    QString why;
    QCOMPARE(readIcc(path, t, &why), reads);
    if (!reads) {
        QVERIFY2(why.contains(expected), qPrintable(why));
        return;
    }
    QStringList kinds;
    for (const LutTransform::Step &s : t.steps())
        kinds << (s.node ? QString::fromLatin1(s.node->kind()) : s.shaper && s.lattice ? QStringLiteral("1D and 3D") : s.lattice ? QStringLiteral("3D") : QStringLiteral("1D"));
    QCOMPARE(kinds.join(QStringLiteral(", ")), expected);
    // Little CMS's own evaluation of the profile's AToB0 table, in its encoding.
    cmsHPROFILE h = cmsOpenProfileFromFile(QFile::encodeName(path).constData(), "r");
    const auto *pipeline = static_cast<const cmsPipeline *>(cmsReadTag(h, cmsSigAToB0Tag));
    QVERIFY(pipeline);
    const std::function<void(const float *, float *)> lcms = [&](const float *in, float *out) { cmsPipelineEvalFloat(in, out, pipeline); };
    QCOMPARE(agreement(ours(t), lcms, 2e-5f), QString());
    cmsCloseProfile(h);
}

// A profile pair is Little CMS's transform: from a profile to itself nothing changes, there
// and back again neither; a name that is neither a file nor a built-in is refused.
void TestFmtIcc::pair()
{
    LutTransform same, there, back;
    QString why;
    QVERIFY2(Icc::pair(QStringLiteral("sRGB"), QStringLiteral("srgb"), IccProfiles::Intent::Relative, same, &why), qPrintable(why));
    const std::function<void(const float *, float *)> identity = [](const float *in, float *out) { std::copy(in, in + 3, out); };
    QCOMPARE(agreement(ours(same), identity, 1e-4f), QString());

    const QString display = QStringLiteral(LUTWRIGHT_CORPUS "/icc-test-1.icc");
    QVERIFY2(Icc::pair(QStringLiteral("Rec.709"), display, IccProfiles::Intent::Relative, there, &why), qPrintable(why));
    QVERIFY2(Icc::pair(display, QStringLiteral("Rec.709"), IccProfiles::Intent::Relative, back, &why), qPrintable(why));
    LutTransform round = there;
    round.append(back);
    // Little CMS inverts an output profile's curves through tables, coarse near black.
    QCOMPARE(agreement(ours(round), identity, 1e-4f, 0.05f), QString());

    QVERIFY(!Icc::pair(QStringLiteral("ProPhoto"), display, IccProfiles::Intent::Relative, same, &why));
    QVERIFY2(why.contains(QLatin1String("ProPhoto is no built-in profile")), qPrintable(why));
}

#else

// A build without Little CMS refuses ICC files with the reason.
void TestFmtIcc::refusedWithoutLittleCms()
{
    LutTransform t;
    QString why;
    QVERIFY(!readIcc(QStringLiteral(LUTWRIGHT_CORPUS "/icc-test-1.icc"), t, &why));
    QVERIFY2(why.contains(QLatin1String("made without Little CMS")), qPrintable(why));
}

#endif

QTEST_GUILESS_MAIN(TestFmtIcc)
#include "tst_fmt_icc.moc"
