#ifndef STUDIO_COMPAREPANE_H
#define STUDIO_COMPAREPANE_H

#include <QWidget>

#include "calc/lutcompare.h"
#include "engine/lutio.h"
#include "studio/texts.h"

class QLabel;
class QTableWidget;

// Two LUT files compared as the command line's compare compares them.
struct Comparison {
    QString error;          // a file that cannot be read, or why nothing was compared
    QString paths[2];
    QString formats[2];
    QString tables[2];
    LutCompare::Result result;
};

// A file to compare and how it is read.
struct CompareSide {
    QString path;
    CliFormats::Choice forced;
    LutIO::Orders orders;
};

Comparison compareFiles(const CompareSide &a, const CompareSide &b);

// The numbers of a comparison: per output channel the largest difference (also in 10-bit and
// 12-bit codes), the mean, the 99th percentile, and where the largest lies.
class ComparePane : public QWidget
{
    Q_OBJECT
public:
    explicit ComparePane(QWidget *parent = nullptr);

    void retranslate(Texts::Language language);
    void showBusy();
    void showComparison(const Comparison &comparison);
    void clear();

    QLabel *summary = nullptr;
    QTableWidget *table = nullptr;

private:
    void fill();

    Texts::Language language_ = Texts::English;
    enum { Empty, Busy, Shown } state_ = Empty;
    Comparison shown_;
};

#endif
