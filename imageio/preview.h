#ifndef IMAGEIO_PREVIEW_H
#define IMAGEIO_PREVIEW_H

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include "formats/imagefiles.h"

// A picture of what a LUT does: a test chart (or the user's image) before and after it, side
// by side, beside the curves of the LUT along the grey axis and each primary axis.
namespace Preview {

struct Layout {
    QRect header;
    QRect beforeLabel, afterLabel;
    QRect before, after;   // the same size: the picture and its graded copy
    QRect plots[4];        // curves along the grey, red, green and blue axes
    QRect legend;
};

// Where the parts of a preview of `size` go, for a picture of width / height `aspect` (0 for
// the chart, which fills what it is given).
Layout layout(const QSize &size, double aspect = 0.0);

struct ChartBands {
    QRect grey;            // black to white
    QRect ramps[6];        // black to full red, yellow, green, cyan, blue, magenta
    QRect hues[3];         // hue sweeps at saturation 1, 0.6 and 0.3
    QRect patches;         // skin tones, then skies
    QRect field;           // hue across; white through the full hue to black down
};

// The bands of the test chart at `size`; the dark lines between them belong to none.
ChartBands chartBands(const QSize &size);
QImage chart(const QSize &size);

// The words drawn on a preview.
struct Texts {
    QString before = QStringLiteral("Before");
    QString after = QStringLiteral("After");
    QString axes[4] = {QStringLiteral("Grey axis"), QStringLiteral("Red axis"), QStringLiteral("Green axis"),
                       QStringLiteral("Blue axis")};
    QString legend[4] = {QStringLiteral("R out"), QStringLiteral("G out"), QStringLiteral("B out"),
                         QStringLiteral("output = input")};
    QString note = QStringLiteral("Each plot: the LUT's output as its input runs from 0 to 1 along that axis.");
};

// The whole preview; a null image with `why` when the user's image cannot be read.
QImage render(const ImageFiles::PreviewJob &job, QString *why);
// The same for a picture already decoded (job.imagePath is not read; a null picture shows the
// chart), in the given words.
QImage render(const ImageFiles::PreviewJob &job, QImage picture, const Texts &texts);

}

#endif
