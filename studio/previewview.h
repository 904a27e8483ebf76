#ifndef STUDIO_PREVIEWVIEW_H
#define STUDIO_PREVIEWVIEW_H

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <memory>

#include "imageio/preview.h"

class LutTransform;
class QThreadPool;

// What a LUT does, drawn as the command line's preview draws it: the built-in chart (or a
// picture the user drops here) before and after the LUT, beside its curves along the grey and
// primary axes. The drawing is made on a pool thread at the widget's size in device pixels.
class PreviewView : public QWidget
{
    Q_OBJECT
public:
    PreviewView(QThreadPool &pool, QWidget *parent = nullptr);

    void setLut(std::shared_ptr<const LutTransform> lut, const QString &title, const QString &details);
    void clearLut();
    bool hasLut() const { return lut_ != nullptr; }
    // A picture to show instead of the chart; a null image brings the chart back.
    void setPicture(const QImage &picture);
    bool hasPicture() const { return !picture_.isNull(); }
    void setTexts(const Preview::Texts &texts, const QString &emptyText);
    // The last drawing, at device pixels.
    const QImage &drawing() const { return drawing_; }
    // Draw again, at once.
    void redraw();

signals:
    // A drawing is shown, `milliseconds` after it was asked for.
    void drawn(qint64 milliseconds);
    // Image files dropped onto the view.
    void picturesDropped(const QStringList &paths);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void startDrawing();

    QThreadPool &pool_;
    std::shared_ptr<const LutTransform> lut_;
    QString title_, details_;
    QImage picture_;
    Preview::Texts texts_;
    QString emptyText_;
    QImage drawing_;
    QTimer resizeTimer_;
    QElapsedTimer asked_;
    bool drawingNow_ = false;   // a drawing is being made
    bool again_ = false;        // and another is wanted once it is done
    int generation_ = 0;        // of the LUT and picture, so that a drawing of old ones is dropped
};

#endif
