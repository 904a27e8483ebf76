#include "calc/imagepair.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTextStream>

#include <algorithm>
#include <cstdlib>
#include <new>

#include "formats/rgbimage.h"

// ---------------------------------------------------------------------------------------------
// Sample map and list.

bool SampleMap::allocate()
{
    release();
    const std::size_t count = std::size_t(codes) * codes * codes * 4;
    cells_ = static_cast<float *>(std::calloc(count, sizeof(float)));
    return cells_ != nullptr;
}

void SampleMap::release()
{
    std::free(cells_);
    cells_ = nullptr;
}

bool calloc3DIndex(quint64 have, quint64 want, SampleList &list)
{
    if (have != list.size() || want < have)
        return false;
    if (want == have)
        return true;
    const quint64 grow = want - have;
    if (grow > quint64(std::size_t(-1) / sizeof(SampleRecord)))
        return false;
    // One zero-filled block per growth, each slot pointing into it.
    std::unique_ptr<SampleRecord[]> block(new (std::nothrow) SampleRecord[std::size_t(grow)]());
    if (!block)
        return false;
    try {
        list.pointers_.reserve(std::size_t(want));
        list.blocks_.reserve(list.blocks_.size() + 1);
    } catch (const std::bad_alloc &) {
        return false;
    }
    for (quint64 i = 0; i < grow; ++i)
        list.pointers_.push_back(&block[std::size_t(i)]);
    list.blocks_.push_back(std::move(block));
    return true;
}

int compmin(const void *a, const void *b)
{
    // Sums of three byte codes: the difference cannot overflow.
    const SampleRecord *sa = *static_cast<const SampleRecord *const *>(a);
    const SampleRecord *sb = *static_cast<const SampleRecord *const *>(b);
    return sb->codeSum - sa->codeSum;
}

int compmax(const void *a, const void *b)
{
    const SampleRecord *sa = *static_cast<const SampleRecord *const *>(a);
    const SampleRecord *sb = *static_cast<const SampleRecord *const *>(b);
    return sa->codeSum - sb->codeSum;
}

// ---------------------------------------------------------------------------------------------
// Sample tree.

void calloc3DST_Z(DATA_3D_Y_ST &entry)
{
    entry.zs.emplace_back();
    entry.zCount = qint32(entry.zs.size());
}

void calloc3DST_Y(DATA_3D_X_ST &entry)
{
    entry.ys.emplace_back();
    entry.yCount = qint32(entry.ys.size());
    calloc3DST_Z(entry.ys.back());
}

void calloc3DST_X(DATA_3D_ST &tree)
{
    tree.xs.emplace_back();
    tree.xCount = qint32(tree.xs.size());
    calloc3DST_Y(tree.xs.back());
}

namespace {

template <typename Entry, typename Key>
int positionOf(const std::vector<Entry> &list, Key key, int Entry::*field)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].*field == key)
            return int(i);
    }
    return -1;
}

// Moves the entry just appended at the end in front of the first other entry whose key is
// greater; returns its new position.
template <typename Entry>
int sortInLast(std::vector<Entry> &list, int key, int Entry::*field)
{
    const std::size_t last = list.size() - 1;
    std::size_t at = 0;
    while (at < last && !(list[at].*field > key))
        ++at;
    std::rotate(list.begin() + std::ptrdiff_t(at), list.begin() + std::ptrdiff_t(last), list.end());
    return int(at);
}

}

void insert3DST(int x, int y, int z, float red, float green, float blue, DATA_3D_ST &tree)
{
    int xi = positionOf(tree.xs, x, &DATA_3D_X_ST::x);
    int yi = 0;
    int zi = 0;
    if (xi < 0) {
        calloc3DST_X(tree);
        xi = sortInLast(tree.xs, x, &DATA_3D_X_ST::x);
    } else {
        DATA_3D_X_ST &xe = tree.xs[std::size_t(xi)];
        yi = positionOf(xe.ys, y, &DATA_3D_Y_ST::y);
        if (yi < 0) {
            calloc3DST_Y(xe);
            yi = sortInLast(xe.ys, y, &DATA_3D_Y_ST::y);
        } else {
            DATA_3D_Y_ST &ye = xe.ys[std::size_t(yi)];
            if (positionOf(ye.zs, z, &DATA_3D_Z_ST::z) >= 0)
                return;
            calloc3DST_Z(ye);
            zi = sortInLast(ye.zs, z, &DATA_3D_Z_ST::z);
        }
    }
    DATA_3D_X_ST &xe = tree.xs[std::size_t(xi)];
    xe.x = x;
    DATA_3D_Y_ST &ye = xe.ys[std::size_t(yi)];
    ye.y = y;
    DATA_3D_Z_ST &ze = ye.zs[std::size_t(zi)];
    ze.z = z;
    ze.red = red;
    ze.green = green;
    ze.blue = blue;
    ze.codeSum = x + y + z;
}

bool find3DST_Q(int z, const DATA_3D_ST &tree, int xi, int yi, int *zi)
{
    *zi = -1;
    if (xi < 0 || xi >= int(tree.xs.size()))
        return false;
    const DATA_3D_X_ST &xe = tree.xs[std::size_t(xi)];
    if (yi < 0 || yi >= int(xe.ys.size()))
        return false;
    *zi = positionOf(xe.ys[std::size_t(yi)].zs, z, &DATA_3D_Z_ST::z);
    return *zi >= 0;
}

bool find3DST_S(int y, int z, const DATA_3D_ST &tree, int xi, int *yi, int *zi)
{
    *yi = -1;
    *zi = -1;
    if (xi < 0 || xi >= int(tree.xs.size()))
        return false;
    *yi = positionOf(tree.xs[std::size_t(xi)].ys, y, &DATA_3D_Y_ST::y);
    if (*yi < 0)
        return false;
    return find3DST_Q(z, tree, xi, *yi, zi);
}

bool find3DST(int x, int y, int z, const DATA_3D_ST &tree, int *xi, int *yi, int *zi)
{
    *yi = -1;
    *zi = -1;
    *xi = positionOf(tree.xs, x, &DATA_3D_X_ST::x);
    if (*xi < 0)
        return false;
    return find3DST_S(y, z, tree, *xi, yi, zi);
}

void print3DST(const DATA_3D_ST &tree, QTextStream *out)
{
    QString text;
    QTextStream local(&text);
    QTextStream &s = out ? *out : local;
    for (const DATA_3D_X_ST &xe : tree.xs) {
        for (const DATA_3D_Y_ST &ye : xe.ys) {
            for (const DATA_3D_Z_ST &ze : ye.zs) {
                s << xe.x << ' ' << ye.y << ' ' << ze.z << ": " << ze.red << ' ' << ze.green << ' '
                  << ze.blue << ' ' << ze.codeSum << '\n';
            }
        }
    }
    s << "----\n";
    if (!out) {
        s.flush();
        qDebug().noquote() << text;
    }
}

// ---------------------------------------------------------------------------------------------
// Tetrahedral estimate inside a box of sampled colours.

namespace {

// Corners are numbered by the high ends they take: 4 = red, 2 = green, 1 = blue. The path
// runs from corner 0 through `second` and `third` to corner 7.
struct Tetrahedron {
    int second;
    int third;
    float w[4];
};

// Ties go to the earlier row: fr = fg = fb takes the path green, red, blue.
Tetrahedron chooseTetrahedron(float fr, float fg, float fb)
{
    if (!(fr > fg)) {
        if (!(fb > fg)) {
            if (!(fb > fr))
                return {2, 6, {1.0f - fg, fg - fr, fr - fb, fb}};
            return {2, 3, {1.0f - fg, fg - fb, fb - fr, fr}};
        }
        return {1, 3, {1.0f - fb, fb - fg, fg - fr, fr}};
    }
    if (!(fg > fb)) {
        if (!(fr > fb))
            return {1, 5, {1.0f - fb, fb - fr, fr - fg, fg}};
        return {4, 5, {1.0f - fr, fr - fb, fb - fg, fg}};
    }
    return {4, 6, {1.0f - fr, fr - fg, fg - fb, fb}};
}

void cornerCodes(int corner, const int *low, const int *high, int *codes)
{
    codes[0] = (corner & 4) ? high[0] : low[0];
    codes[1] = (corner & 2) ? high[1] : low[1];
    codes[2] = (corner & 1) ? high[2] : low[2];
}

void weightedSum(const Tetrahedron &t, const float *const p[4], float *out)
{
    for (int k = 0; k < 3; ++k)
        out[k] = t.w[0] * p[0][k] + t.w[1] * p[1][k] + t.w[2] * p[2][k] + t.w[3] * p[3][k];
}

bool treeSample(const DATA_3D_ST &tree, const int *codes, float *colour)
{
    int xi, yi, zi;
    if (!find3DST(codes[0], codes[1], codes[2], tree, &xi, &yi, &zi))
        return false;
    const DATA_3D_Z_ST &ze = tree.xs[std::size_t(xi)].ys[std::size_t(yi)].zs[std::size_t(zi)];
    colour[0] = ze.red;
    colour[1] = ze.green;
    colour[2] = ze.blue;
    return true;
}

bool validCodes(const SampleRecord &s)
{
    return s.red >= 0 && s.red < SampleMap::codes && s.green >= 0 && s.green < SampleMap::codes
           && s.blue >= 0 && s.blue < SampleMap::codes;
}

void writeCodes(QTextStream &s, const int *c)
{
    s << c[0] << ' ' << c[1] << ' ' << c[2];
}

}

bool find3DST_8p(float fr, float fg, float fb, const int low[3], const int high[3], const DATA_3D_ST &tree, float out[3])
{
    const Tetrahedron t = chooseTetrahedron(fr, fg, fb);
    const int corners[4] = {0, t.second, t.third, 7};
    float colours[4][3];
    for (int i = 0; i < 4; ++i) {
        int codes[3];
        cornerCodes(corners[i], low, high, codes);
        if (!treeSample(tree, codes, colours[i]))
            return false;
    }
    const float *p[4] = {colours[0], colours[1], colours[2], colours[3]};
    weightedSum(t, p, out);
    return true;
}

FindXResult LutCalc::FindX(const int target[3], int *, int *, SampleRecord *const *samples, quint64 count,
                           const SampleMap &map, QTextStream *report, quint64 maxPairs)
{
    FindXResult result;
    std::copy(target, target + 3, result.target);
    result.sampleCount = count;
    if (report) {
        *report << "target ";
        writeCodes(*report, target);
        *report << '\n';
    }

    std::vector<SampleRecord> lower;
    std::vector<SampleRecord> upper;
    for (quint64 i = 0; i < count; ++i) {
        const SampleRecord &s = *samples[i];
        if (!validCodes(s) || !map.sampled(s.red, s.green, s.blue))
            continue;
        if (s.red == target[0] && s.green == target[1] && s.blue == target[2]) {
            result.exact = true;
            std::copy(map.cell(s.red, s.green, s.blue), map.cell(s.red, s.green, s.blue) + 3, result.exactColour);
            if (report) {
                *report << "exact match ";
                writeCodes(*report, target);
                *report << ": " << result.exactColour[0] << ' ' << result.exactColour[1] << ' '
                        << result.exactColour[2] << '\n';
            }
            return result;
        }
        SampleRecord copy = {s.red, s.green, s.blue, s.codeSum, {0, 0, 0}};
        if (s.red <= target[0] && s.green <= target[1] && s.blue <= target[2])
            lower.push_back(copy);
        if (s.red >= target[0] && s.green >= target[1] && s.blue >= target[2])
            upper.push_back(copy);
    }

    std::vector<SampleRecord *> lowerOrder;
    std::vector<SampleRecord *> upperOrder;
    for (SampleRecord &s : lower)
        lowerOrder.push_back(&s);
    for (SampleRecord &s : upper)
        upperOrder.push_back(&s);
    if (!lowerOrder.empty())
        std::qsort(lowerOrder.data(), lowerOrder.size(), sizeof(SampleRecord *), compmin);
    if (!upperOrder.empty())
        std::qsort(upperOrder.data(), upperOrder.size(), sizeof(SampleRecord *), compmax);
    result.lowerCount = lower.size();
    result.upperCount = upper.size();
    if (report)
        *report << "samples " << count << ", below " << lower.size() << ", above " << upper.size() << '\n';

    bool stop = false;
    for (const SampleRecord *L : lowerOrder) {
        const int low[3] = {L->red, L->green, L->blue};
        for (const SampleRecord *U : upperOrder) {
            if (maxPairs && result.pairs == maxPairs) {
                stop = true;
                break;
            }
            ++result.pairs;
            const int high[3] = {U->red, U->green, U->blue};
            float f[3];
            for (int ch = 0; ch < 3; ++ch)
                f[ch] = low[ch] < high[ch] ? float(target[ch] - low[ch]) / float(high[ch] - low[ch]) : 0.0f;
            const Tetrahedron t = chooseTetrahedron(f[0], f[1], f[2]);
            const int corners[4] = {0, t.second, t.third, 7};
            const float *p[4];
            bool complete = true;
            for (int i = 0; i < 4 && complete; ++i) {
                int c[3];
                cornerCodes(corners[i], low, high, c);
                complete = map.sampled(c[0], c[1], c[2]);
                p[i] = map.cell(c[0], c[1], c[2]);
            }
            if (!complete)
                continue;
            FindXEstimate e;
            e.pair = result.pairs;
            std::copy(low, low + 3, e.lower);
            std::copy(high, high + 3, e.upper);
            weightedSum(t, p, e.colour);
            result.estimates.push_back(e);
            if (report) {
                *report << "pair " << e.pair << ": ";
                writeCodes(*report, e.lower);
                *report << " - ";
                writeCodes(*report, e.upper);
                *report << " -> " << e.colour[0] << ' ' << e.colour[1] << ' ' << e.colour[2] << '\n';
            }
        }
        if (stop)
            break;
    }
    if (report)
        *report << "pairs examined " << result.pairs << '\n';
    return result;
}

// ---------------------------------------------------------------------------------------------
// Sampling a pair of images.

namespace {

// Each image is decoded whole, at up to four bytes a pixel: 256 MB apiece at most (a 64
// megapixel photograph), so that a header claiming a vast image is refused before decoding.
constexpr qint64 maxPairPixels = qint64(256) * 1024 * 1024 / 4;

}

bool sampleImagePair(const QString &sourcePath, const QString &targetPath, ImagePairSamples &samples, QString *error)
{
    auto refuse = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    RgbImage source;
    RgbImage target;
    if (!source.probe(sourcePath))
        return refuse(QStringLiteral("source image %1").arg(source.errorString()));
    if (!target.probe(targetPath))
        return refuse(QStringLiteral("target image %1").arg(target.errorString()));
    if (source.width() <= 0 || source.height() <= 0)
        return refuse(QStringLiteral("the source image has no pixels"));
    if (qint64(source.width()) * source.height() > maxPairPixels)
        return refuse(QStringLiteral("the source image has %1 x %2 pixels, more than the %3 that can be paired")
                          .arg(source.width()).arg(source.height()).arg(maxPairPixels));
    // Pixels are paired by position: a target of another size is another framing of the scene.
    if (target.size() != source.size())
        return refuse(QStringLiteral("the target image is %1 x %2 pixels, the source %3 x %4; they must be the same size")
                          .arg(target.width()).arg(target.height()).arg(source.width()).arg(source.height()));
    if (!source.load(sourcePath))
        return refuse(QStringLiteral("source image %1").arg(source.errorString()));
    if (!target.load(targetPath))
        return refuse(QStringLiteral("target image %1").arg(target.errorString()));

    samples.tree = DATA_3D_ST();
    samples.list = SampleList();
    samples.count = 0;
    samples.size = source.size();
    if (!samples.map.allocate())
        return refuse(QStringLiteral("not enough memory for the sample map"));

    QElapsedTimer timer;
    timer.start();
    for (int y = 0; y < source.height(); ++y) {
        const uchar *srcRow = source.row(y);
        const uchar *dstRow = target.row(y);
        for (int x = 0; x < source.width(); ++x) {
            uchar sr, sg, sb, tr, tg, tb;
            source.rgb(srcRow, x, sr, sg, sb);
            if (samples.map.sampled(sr, sg, sb))
                continue;
            target.rgb(dstRow, x, tr, tg, tb);
            float *cell = samples.map.cell(sr, sg, sb);
            cell[0] = float(tr / 255.0);
            cell[1] = float(tg / 255.0);
            cell[2] = float(tb / 255.0);
            cell[3] = 1.0f;
            ++samples.count;
            insert3DST(sr, sg, sb, cell[0], cell[1], cell[2], samples.tree);
        }
    }

    if (!calloc3DIndex(0, samples.count, samples.list))
        return refuse(QStringLiteral("not enough memory for %1 samples").arg(samples.count));
    // The tree holds every sampled colour once, sorted red, then green, then blue: the order
    // of a walk over the map with the red code slowest.
    quint64 i = 0;
    for (const DATA_3D_X_ST &xe : samples.tree.xs) {
        for (const DATA_3D_Y_ST &ye : xe.ys) {
            for (const DATA_3D_Z_ST &ze : ye.zs) {
                SampleRecord *s = samples.list[i++];
                s->red = xe.x;
                s->green = ye.y;
                s->blue = ze.z;
                s->codeSum = ze.codeSum;
            }
        }
    }
    qDebug() << "sampled" << samples.count << "colours from" << source.width() << "x" << source.height()
             << "pixels in" << timer.elapsed() << "ms";
    return true;
}

namespace {

QString diagnosticsFolder(const QString &requested)
{
    if (!requested.isEmpty())
        return requested;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation)).filePath(QStringLiteral("lutwright-imagepair"));
}

bool writeDump(const QString &path, const ImagePairSamples &samples)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out.setRealNumberNotation(QTextStream::FixedNotation);
    for (quint64 i = 0; i < samples.list.size(); ++i) {
        const SampleRecord *s = samples.list[i];
        const float *c = samples.map.cell(s->red, s->green, s->blue);
        out << s->red << ' ' << s->green << ' ' << s->blue << ' ' << c[0] << ' ' << c[1] << ' ' << c[2] << '\n';
    }
    out.flush();
    return out.status() == QTextStream::Ok && file.error() == QFileDevice::NoError;
}

}

ImagePairResult LutCalc::JPG_to_lut3d(const QString &sourcePath, const QString &targetPath,
                                      const QString &diagnosticsDir, quint64 maxPairs)
{
    ImagePairResult result;
    ImagePairSamples samples;
    if (!sampleImagePair(sourcePath, targetPath, samples, &result.errorString))
        return result;
    result.ok = true;
    result.sampleCount = samples.count;

    // The dump and the report are diagnostics: the estimates are returned whether or not they
    // can be written.
    const QString folder = diagnosticsFolder(diagnosticsDir);
    const bool haveFolder = QDir().mkpath(folder);
    const QString dumpPath = QDir(folder).filePath(QStringLiteral("samples.txt"));
    if (haveFolder && writeDump(dumpPath, samples))
        result.dumpPath = dumpPath;
    else
        qWarning() << "cannot write the sample dump to" << dumpPath;

    const QString reportPath = QDir(folder).filePath(QStringLiteral("report.txt"));
    QFile reportFile(reportPath);
    const bool reportOpen = haveFolder && reportFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
    QTextStream report(&reportFile);
    if (!reportOpen)
        qWarning() << "cannot write the report to" << reportPath;

    static const int greys[] = {128, 32, 64};
    for (int grey : greys) {
        const int target[3] = {grey, grey, grey};
        result.estimates.push_back(FindX(target, nullptr, nullptr, samples.list.data(), samples.list.size(),
                                         samples.map, reportOpen ? &report : nullptr, maxPairs));
    }
    if (reportOpen) {
        report.flush();
        if (report.status() == QTextStream::Ok && reportFile.error() == QFileDevice::NoError)
            result.reportPath = reportPath;
    }
    return result;
}
