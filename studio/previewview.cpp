#include "studio/previewview.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QThread>
#include <QThreadPool>
#include <QUrl>

#include <algorithm>

#include "calc/transform.h"
#include "engine/imageapply.h"
#include "studio/background.h"

#if QT_VERSION < QT_VERSION_CHECK(5, 15, 0)
#error "The preview paints words off the window's thread, which needs Qt 5.15"
#endif

namespace {

// The smallest drawing whose words stay legible; a smaller view shows it scaled down.
const QSize smallest(640, 360);
const QSize largest(4096, 4096);

struct Grading {
    std::shared_ptr<const LutTransform> lut;
    int threads;
};

void gradePixels(ImageFiles::Pixels &pixels, const void *context)
{
    const auto *g = static_cast<const Grading *>(context);
    ImageApply::apply(pixels, *g->lut, g->threads);
}

void mapColours(const float *in, float *out, std::size_t count, const void *context)
{
    static_cast<const Grading *>(context)->lut->apply(in, out, count);
}

QImage draw(const std::shared_ptr<const LutTransform> &lut, const QString &title, const QString &details,
            const QImage &picture, const Preview::Texts &texts, const QSize &size)
{
    const Grading grading{lut, std::max(1, QThread::idealThreadCount())};
    ImageFiles::PreviewJob job;
    job.title = title;
    job.details = details;
    job.size = size;
    job.gradePixels = gradePixels;
    job.mapColours = mapColours;
    job.context = &grading;
    job.threads = grading.threads;
    return Preview::render(job, picture, texts);
}

}

PreviewView::PreviewView(QThreadPool &pool, QWidget *parent)
    : QWidget(parent), pool_(pool)
{
    setAcceptDrops(true);
    setMinimumSize(320, 180);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    resizeTimer_.setSingleShot(true);
    resizeTimer_.setInterval(40);
    connect(&resizeTimer_, &QTimer::timeout, this, &PreviewView::redraw);
}

void PreviewView::setLut(std::shared_ptr<const LutTransform> lut, const QString &title, const QString &details)
{
    lut_ = std::move(lut);
    title_ = title;
    details_ = details;
    ++generation_;
    redraw();
}

void PreviewView::clearLut()
{
    lut_.reset();
    drawing_ = QImage();
    ++generation_;
    update();
}

void PreviewView::setPicture(const QImage &picture)
{
    picture_ = picture;
    ++generation_;
    redraw();
}

void PreviewView::setTexts(const Preview::Texts &texts, const QString &emptyText)
{
    texts_ = texts;
    emptyText_ = emptyText;
    ++generation_;
    redraw();
    update();
}

void PreviewView::redraw()
{
    if (!lut_)
        return;
    asked_.start();
    if (drawingNow_) {
        again_ = true;
        return;
    }
    startDrawing();
}

void PreviewView::startDrawing()
{
    const qreal ratio = devicePixelRatioF();
    const QSize size = (QSizeF(this->size()) * ratio).toSize().expandedTo(smallest).boundedTo(largest);
    const int generation = generation_;
    auto lut = lut_;
    const QString title = title_, details = details_;
    const QImage picture = picture_;
    const Preview::Texts texts = texts_;
    auto done = [this, generation, ratio](QImage image) {
        drawingNow_ = false;
        if (generation == generation_ && !image.isNull()) {
            image.setDevicePixelRatio(ratio);
            drawing_ = image;
            update();
            emit drawn(asked_.elapsed());
        }
        if (again_ || generation != generation_) {
            again_ = false;
            if (lut_)
                startDrawing();
        }
    };
    drawingNow_ = true;
    // Painting words on an image off the window's thread is safe from Qt 5.15 on everywhere.
    Background::run<QImage>(pool_, this, [=]() { return draw(lut, title, details, picture, texts, size); }, done);
}

void PreviewView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (drawing_.isNull() || !lut_) {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, emptyText_);
        return;
    }
    const QSizeF shown = (QSizeF(drawing_.size()) / drawing_.devicePixelRatio()).scaled(QSizeF(size()), Qt::KeepAspectRatio);
    QRectF target(QPointF(0, 0), shown);
    target.moveCenter(QRectF(rect()).center());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, drawing_);
}

void PreviewView::resizeEvent(QResizeEvent *)
{
    if (lut_)
        resizeTimer_.start();
}

namespace {
QStringList localFiles(const QMimeData *mime)
{
    QStringList paths;
    if (mime && mime->hasUrls())
        for (const QUrl &url : mime->urls())
            if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
                paths << url.toLocalFile();
    return paths;
}
}

void PreviewView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void PreviewView::dropEvent(QDropEvent *event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    emit picturesDropped(paths);
}
