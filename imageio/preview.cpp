#include "imageio/preview.h"

#include <QFont>
#include <QFontMetrics>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace Preview {

namespace {

// A dark neutral surround, so that neither half is judged against a coloured page.
const QColor pageColour(30, 31, 34);
const QColor plotColour(40, 42, 46);
const QColor inkColour(232, 232, 232);
const QColor quietColour(150, 154, 160);
const QColor gridColour(62, 65, 71);
const QColor identityColour(128, 128, 128);
const QColor curveColours[3] = {QColor(255, 92, 92), QColor(84, 214, 104), QColor(88, 150, 255)};
const QRgb chartLineColour = qRgb(18, 18, 18);

struct Rgb {
    float r, g, b;
};

// Hue h in turns (0 and 1 are red).
Rgb hsv(float h, float s, float v)
{
    const float h6 = (h - std::floor(h)) * 6.0f;
    const int sector = int(h6) % 6;
    const float f = h6 - std::floor(h6);
    const float p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    switch (sector) {
    case 0: return {v, t, p};
    case 1: return {q, v, p};
    case 2: return {p, v, t};
    case 3: return {p, q, v};
    case 4: return {t, p, v};
    default: return {v, p, q};
    }
}

Rgb mix(const Rgb &a, const Rgb &b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

QRgb toPixel(const Rgb &c)
{
    auto code = [](float v) { return int(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
    return qRgb(code(c.r), code(c.g), code(c.b));
}

// Fills `band` with colourAt(x, y), x and y running 0..1 across and down the band.
template <typename ColourAt>
void fillBand(QImage &image, const QRect &band, ColourAt colourAt)
{
    const QRect r = band & image.rect();
    const float w = float(std::max(1, band.width() - 1)), h = float(std::max(1, band.height() - 1));
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        const float fy = float(y - band.top()) / h;
        for (int x = r.left(); x <= r.right(); ++x)
            row[x] = toPixel(colourAt(float(x - band.left()) / w, fy));
    }
}

// Skin tones from pale to deep, then a blue sky, a clear sky and a hazy horizon.
const Rgb patchColours[] = {
    {0.96f, 0.82f, 0.73f}, {0.87f, 0.67f, 0.55f}, {0.76f, 0.57f, 0.45f}, {0.55f, 0.38f, 0.28f},
    {0.34f, 0.22f, 0.16f}, {0.38f, 0.48f, 0.61f}, {0.53f, 0.71f, 0.90f}, {0.80f, 0.87f, 0.95f},
};
constexpr int patchCount = int(sizeof(patchColours) / sizeof(patchColours[0]));

QFont font(int pixels, bool bold = false)
{
    QFont f;
    f.setPixelSize(std::max(8, pixels));
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QImage readImage(const QString &path, QString *why)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        *why = QStringLiteral("cannot read the image %1: %2").arg(path, reader.errorString());
        return QImage();
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage graded(const QImage &picture, const ImageFiles::PreviewJob &job)
{
    QImage after = picture.copy();
    ImageFiles::Pixels pixels;
    pixels.bits = after.bits();
    pixels.bytesPerLine = after.bytesPerLine();
    pixels.width = after.width();
    pixels.height = after.height();
    pixels.layout = ImageFiles::Layout::Rgb32;
    job.gradePixels(pixels, job.context);
    return after;
}

void drawHeader(QPainter &p, const Layout &l, const ImageFiles::PreviewJob &job)
{
    const QFont titleFont = font(int(l.header.height() * 0.5), true);
    const QFont detailFont = font(int(l.header.height() * 0.3));
    const QString title = QFontMetrics(titleFont).elidedText(job.title, Qt::ElideMiddle, l.header.width() * 2 / 3);
    p.setFont(titleFont);
    p.setPen(inkColour);
    QRect used;
    p.drawText(l.header, Qt::AlignLeft | Qt::AlignVCenter, title, &used);
    p.setFont(detailFont);
    p.setPen(quietColour);
    const QRect rest(used.right() + l.header.height() / 2, l.header.top(), l.header.right() - used.right(),
                     l.header.height());
    p.drawText(rest, Qt::AlignLeft | Qt::AlignVCenter, job.details);
}

void drawPicture(QPainter &p, const QRect &label, const QRect &area, const QString &name, const QImage &image)
{
    p.setFont(font(int(label.height() * 0.55), true));
    p.setPen(inkColour);
    p.drawText(label, Qt::AlignHCenter | Qt::AlignVCenter, name);
    QRect target(QPoint(0, 0), image.size());
    target.moveCenter(area.center());
    p.drawImage(target.topLeft(), image);
}

// Ticks every step from lo to hi: a step of 1, 2 or 5 times a power of ten, or a quarter,
// that gives at most five intervals.
double tickStep(double range)
{
    if (range <= 1.0)
        return 0.25;
    double step = std::pow(10.0, std::floor(std::log10(range / 5.0)));
    for (double k : {1.0, 2.0, 5.0, 10.0})
        if (range / (step * k) <= 5.0)
            return step * k;
    return step * 10.0;
}

QString tickText(double v)
{
    // The C locale's notation whatever the user's, as everywhere in the program's output.
    return QString::number(v, 'g', 4);
}

struct Curves {
    int samples;
    std::vector<float> out;   // 4 axes x samples x RGB

    const float *at(int axis, int i) const { return &out[(std::size_t(axis) * std::size_t(samples) + std::size_t(i)) * 3]; }
};

// Output R, G, B along the grey axis and the red, green and blue axes, from 0 to 1.
Curves curvesOf(const ImageFiles::PreviewJob &job, int samples)
{
    Curves c{samples, {}};
    std::vector<float> in(std::size_t(4 * samples) * 3, 0.0f);
    for (int axis = 0; axis < 4; ++axis)
        for (int i = 0; i < samples; ++i) {
            const float t = float(i) / float(samples - 1);
            float *v = &in[(std::size_t(axis) * std::size_t(samples) + std::size_t(i)) * 3];
            for (int ch = 0; ch < 3; ++ch)
                v[ch] = axis == 0 || axis == ch + 1 ? t : 0.0f;
        }
    c.out.resize(in.size());
    job.mapColours(in.data(), c.out.data(), std::size_t(4 * samples), job.context);
    return c;
}

void drawPlot(QPainter &p, const QRect &rect, const QString &title, const Curves &curves, int axis, int textPixels)
{
    const QFont titleFont = font(textPixels, true), tickFont = font(int(textPixels * 0.85));
    const QFontMetrics tickMetrics(tickFont);
    double lo = 0.0, hi = 1.0;
    for (int i = 0; i < curves.samples; ++i)
        for (int ch = 0; ch < 3; ++ch) {
            const double v = double(curves.at(axis, i)[ch]);
            if (std::isfinite(v))
                lo = std::min(lo, v), hi = std::max(hi, v);
        }
    const double step = tickStep(hi - lo);
    lo = std::floor(lo / step) * step;
    hi = std::ceil(hi / step) * step;

    const int titleH = QFontMetrics(titleFont).height() * 3 / 2;
    int labelW = 0;
    for (double v = lo; v <= hi + step / 2; v += step)
        labelW = std::max(labelW, tickMetrics.horizontalAdvance(tickText(v)));
    const int pad = textPixels / 2;
    const QRect area(rect.left() + labelW + pad, rect.top() + titleH, rect.width() - labelW - 2 * pad,
                     rect.height() - titleH - tickMetrics.height() - pad);
    auto px = [&](double x) { return area.left() + x * area.width(); };
    auto py = [&](double y) { return area.bottom() - (y - lo) / (hi - lo) * area.height(); };

    p.setFont(titleFont);
    p.setPen(inkColour);
    p.drawText(QRect(area.left(), rect.top(), area.width(), titleH), Qt::AlignHCenter | Qt::AlignVCenter, title);
    p.fillRect(area, plotColour);

    p.setFont(tickFont);
    for (double v = lo; v <= hi + step / 2; v += step) {
        p.setPen(QPen(gridColour, 1));
        p.drawLine(QPointF(area.left(), py(v)), QPointF(area.right(), py(v)));
        p.setPen(quietColour);
        p.drawText(QRectF(rect.left(), py(v) - textPixels, labelW, 2 * textPixels), Qt::AlignRight | Qt::AlignVCenter,
                   tickText(v));
    }
    for (double x : {0.0, 0.25, 0.5, 0.75, 1.0}) {
        p.setPen(QPen(gridColour, 1));
        p.drawLine(QPointF(px(x), area.top()), QPointF(px(x), area.bottom()));
        if (x == 0.25 || x == 0.75)
            continue;
        p.setPen(quietColour);
        p.drawText(QRectF(px(x) - 3 * textPixels, area.bottom() + pad / 2, 6 * textPixels, tickMetrics.height()),
                   Qt::AlignHCenter | Qt::AlignTop, tickText(x));
    }

    p.save();
    p.setClipRect(area);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal width = std::max(1.5, textPixels / 7.0);
    p.setPen(QPen(identityColour, width * 0.7, Qt::DashLine));
    p.drawLine(QPointF(px(0), py(0)), QPointF(px(1), py(1)));
    for (int ch = 0; ch < 3; ++ch) {
        QPainterPath path;
        bool drawing = false;
        for (int i = 0; i < curves.samples; ++i) {
            const double v = double(curves.at(axis, i)[ch]);
            if (!std::isfinite(v)) {
                drawing = false;
                continue;
            }
            const QPointF point(px(double(i) / (curves.samples - 1)), py(v));
            drawing ? path.lineTo(point) : path.moveTo(point);
            drawing = true;
        }
        p.setPen(QPen(curveColours[ch], width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    }
    p.restore();
}

void drawLegend(QPainter &p, const QRect &rect, int textPixels, const Texts &texts)
{
    const QFont itemFont = font(textPixels);
    const QFontMetrics metrics(itemFont);
    const QString *names = texts.legend;
    const int line = textPixels * 2, gap = textPixels / 2, spacing = textPixels * 3 / 2, rowH = metrics.height() * 4 / 3;
    auto itemWidth = [&](int i) { return line + gap + metrics.horizontalAdvance(names[i]); };

    // The items in rows as wide as the legend allows, each row centred.
    std::vector<std::vector<int>> rows(1);
    int rowWidth = 0;
    for (int i = 0; i < 4; ++i) {
        const int needed = (rows.back().empty() ? 0 : rowWidth + spacing) + itemWidth(i);
        if (!rows.back().empty() && needed > rect.width()) {
            rows.emplace_back();
            rowWidth = itemWidth(i);
        } else {
            rowWidth = needed;
        }
        rows.back().push_back(i);
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(itemFont);
    const qreal width = std::max(1.5, textPixels / 7.0);
    int y = rect.top() + rowH / 2;
    for (const std::vector<int> &row : rows) {
        int total = -spacing;
        for (int i : row)
            total += itemWidth(i) + spacing;
        int x = rect.left() + std::max(0, (rect.width() - total) / 2);
        for (int i : row) {
            p.setPen(i < 3 ? QPen(curveColours[i], width * 1.5) : QPen(identityColour, width, Qt::DashLine));
            p.drawLine(QPointF(x, y), QPointF(x + line, y));
            p.setPen(inkColour);
            p.drawText(QRect(x + line + gap, y - rowH / 2, itemWidth(i), rowH), Qt::AlignLeft | Qt::AlignVCenter, names[i]);
            x += itemWidth(i) + spacing;
        }
        y += rowH;
    }
    p.restore();
    p.setFont(font(int(textPixels * 0.85)));
    p.setPen(quietColour);
    p.drawText(QRect(rect.left(), y - rowH / 2 + gap, rect.width(), rect.bottom() - y), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
               texts.note);
}

}

Layout layout(const QSize &size, double aspect)
{
    const int w = size.width(), h = size.height();
    const int m = std::max(8, int(std::lround(std::min(w, h) * 0.022)));
    const int headerH = std::max(24, int(std::lround(h * 0.07)));
    const int labelH = std::max(16, int(std::lround(h * 0.045)));
    Layout l;
    l.header = QRect(m, m / 2, w - 2 * m, headerH);
    const int top = l.header.bottom() + 1 + m / 2;
    const int leftW = int(std::lround((w - 3 * m) * 0.64)), leftH = h - m - top;

    // Side by side, unless a wide picture would show larger one above the other.
    const QSize beside((leftW - m) / 2, leftH - labelH), stacked(leftW, (leftH - 2 * labelH - m / 2) / 2);
    auto scaleIn = [aspect](const QSize &cell) { return std::min(double(cell.width()) / aspect, double(cell.height())); };
    if (aspect > 0 && scaleIn(stacked) > scaleIn(beside)) {
        l.beforeLabel = QRect(m, top, leftW, labelH);
        l.before = QRect(QPoint(m, l.beforeLabel.bottom() + 1), stacked);
        l.afterLabel = QRect(m, l.before.bottom() + 1 + m / 2, leftW, labelH);
        l.after = QRect(QPoint(m, l.afterLabel.bottom() + 1), stacked);
    } else {
        l.beforeLabel = QRect(m, top, beside.width(), labelH);
        l.afterLabel = QRect(2 * m + beside.width(), top, beside.width(), labelH);
        l.before = QRect(QPoint(m, top + labelH), beside);
        l.after = QRect(QPoint(l.afterLabel.left(), top + labelH), beside);
    }

    const int rightX = m + leftW + m, rightW = w - m - rightX;
    const int legendH = std::max(40, int(std::lround(h * 0.09)));
    l.legend = QRect(rightX, h - m - legendH, rightW, legendH);
    const int gap = m / 2;
    const int plotW = (rightW - gap) / 2, plotH = (l.legend.top() - gap - top - gap) / 2;
    for (int i = 0; i < 4; ++i)
        l.plots[i] = QRect(rightX + (i % 2) * (plotW + gap), top + (i / 2) * (plotH + gap), plotW, plotH);
    return l;
}

ChartBands chartBands(const QSize &size)
{
    const int w = size.width(), h = size.height();
    const int gap = std::max(1, h / 150);
    int y = 0;
    auto band = [&](double fraction) {
        const QRect r(0, y, w, std::max(1, int(std::lround(fraction * h))));
        y += r.height() + gap;
        return r;
    };
    ChartBands b;
    b.grey = band(0.07);
    for (QRect &r : b.ramps)
        r = band(0.04);
    for (QRect &r : b.hues)
        r = band(0.045);
    b.patches = band(0.1);
    b.field = QRect(0, y, w, std::max(1, h - y));
    return b;
}

QImage chart(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(chartLineColour);
    const ChartBands b = chartBands(size);
    fillBand(image, b.grey, [](float x, float) { return Rgb{x, x, x}; });
    const Rgb full[6] = {{1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}, {1, 0, 1}};
    for (int i = 0; i < 6; ++i)
        fillBand(image, b.ramps[i], [&](float x, float) { return mix(Rgb{0, 0, 0}, full[i], x); });
    const float saturations[3] = {1.0f, 0.6f, 0.3f};
    for (int i = 0; i < 3; ++i)
        fillBand(image, b.hues[i], [&](float x, float) { return hsv(x, saturations[i], 1.0f); });
    const int gap = std::max(1, size.height() / 150);
    for (int i = 0; i < patchCount; ++i) {
        const int left = b.patches.width() * i / patchCount, right = b.patches.width() * (i + 1) / patchCount - gap;
        fillBand(image, QRect(left, b.patches.top(), right - left, b.patches.height()),
                 [&](float, float) { return patchColours[i]; });
    }
    fillBand(image, b.field, [](float x, float y) {
        const Rgb hue = hsv(x, 1.0f, 1.0f);
        return y < 0.5f ? mix(Rgb{1, 1, 1}, hue, y * 2.0f) : mix(hue, Rgb{0, 0, 0}, (y - 0.5f) * 2.0f);
    });
    return image;
}

QImage render(const ImageFiles::PreviewJob &job, QString *why)
{
    QImage picture;
    if (!job.imagePath.isEmpty()) {
        picture = readImage(job.imagePath, why);
        if (picture.isNull())
            return QImage();
    }
    return render(job, std::move(picture), Texts());
}

QImage render(const ImageFiles::PreviewJob &job, QImage picture, const Texts &texts)
{
    const Layout l = layout(job.size, picture.isNull() ? 0.0 : double(picture.width()) / picture.height());
    const QImage before = picture.isNull() ? chart(l.before.size())
                                           : picture.scaled(l.before.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                                 .convertToFormat(QImage::Format_RGB32);
    picture = QImage();
    const QImage after = graded(before, job);

    QImage page(job.size, QImage::Format_RGB32);
    page.fill(pageColour);
    QPainter p(&page);
    drawHeader(p, l, job);
    drawPicture(p, l.beforeLabel, l.before, texts.before, before);
    drawPicture(p, l.afterLabel, l.after, texts.after, after);
    const int textPixels = std::max(9, int(std::lround(std::min(job.size.height() * 0.019, job.size.width() * 0.0105))));
    const Curves curves = curvesOf(job, std::clamp(l.plots[0].width(), 64, 512));
    for (int axis = 0; axis < 4; ++axis)
        drawPlot(p, l.plots[axis], texts.axes[axis], curves, axis, textPixels);
    drawLegend(p, l.legend, textPixels, texts);
    p.end();
    return page;
}

}
