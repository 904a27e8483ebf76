#include "calc/imagesampling.h"

#include <QDebug>
#include <QElapsedTimer>

#include "formats/rgbimage.h"

namespace {

// Each image is decoded whole, at up to four bytes a pixel: 256 MB apiece at most (a 64
// megapixel photograph), so that a header claiming a vast image is refused before decoding.
constexpr qint64 maxPairPixels = qint64(256) * 1024 * 1024 / 4;

// The first pixel of each source colour decides its target colour.
void pairPixels(const RgbImage &source, const RgbImage &target, ImagePairSamples &samples)
{
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
}

void listSamples(ImagePairSamples &samples)
{
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
}

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
    pairPixels(source, target, samples);
    if (!calloc3DIndex(0, samples.count, samples.list))
        return refuse(QStringLiteral("not enough memory for %1 samples").arg(samples.count));
    listSamples(samples);
    qDebug() << "sampled" << samples.count << "colours from" << source.width() << "x" << source.height()
             << "pixels in" << timer.elapsed() << "ms";
    return true;
}
