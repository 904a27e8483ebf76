#include "studio/comparepane.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "calc/transform.h"
#include "engine/lutsummary.h"
#include "formats/registry.h"
#include "lut/numformat.h"

namespace {

using Texts::Id;

QString general(double v)
{
    char buffer[NumFormat::maxLength];
    return QString::fromLatin1(buffer, int(NumFormat::general6(buffer, v) - buffer));
}

QString colour(const float *v)
{
    QStringList parts;
    for (int c = 0; c < 3; ++c) {
        char buffer[NumFormat::maxLength];
        parts << QString::fromLatin1(buffer, int(NumFormat::fixed6(buffer, double(v[c])) - buffer));
    }
    return parts.join(QLatin1Char(' '));
}

const Id columns[] = {Id::Largest, Id::Codes10, Id::Codes12, Id::Mean, Id::Percentile99, Id::AtInput, Id::AGives, Id::BGives};
constexpr int columnCount = int(sizeof(columns) / sizeof(columns[0]));

}

Comparison compareFiles(const CompareSide &a, const CompareSide &b)
{
    Comparison c;
    LutTransform luts[2];
    const CompareSide *sides[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        const Formats::Format *format = nullptr;
        QString why;
        c.paths[i] = sides[i]->path;
        if (!LutIO::read(c.paths[i], sides[i]->forced, sides[i]->orders, luts[i], &format, &why)) {
            c.error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(c.paths[i]), why);
            return c;
        }
        c.formats[i] = Formats::labelOf(*format);
        c.tables[i] = LutSummary::table(luts[i]);
    }
    c.result = LutCompare::compare(luts[0], luts[1], LutCompare::defaultLatticeSize(luts[0], luts[1]));
    c.error = c.result.error;
    return c;
}

ComparePane::ComparePane(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    summary = new QLabel(this);
    summary->setObjectName(QStringLiteral("compareSummary"));
    summary->setWordWrap(true);
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    table = new QTableWidget(3, columnCount, this);
    table->setObjectName(QStringLiteral("compareTable"));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setVerticalHeaderLabels({QStringLiteral("R"), QStringLiteral("G"), QStringLiteral("B")});
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(summary);
    layout->addWidget(table, 1);
    retranslate(language_);
}

void ComparePane::retranslate(Texts::Language language)
{
    language_ = language;
    QStringList headers;
    for (Id id : columns)
        headers << Texts::text(id, language);
    table->setHorizontalHeaderLabels(headers);
    fill();
}

void ComparePane::showBusy()
{
    state_ = Busy;
    fill();
}

void ComparePane::showComparison(const Comparison &comparison)
{
    shown_ = comparison;
    state_ = Shown;
    fill();
}

void ComparePane::clear()
{
    state_ = Empty;
    fill();
}

void ComparePane::fill()
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < columnCount; ++c)
            table->setItem(r, c, new QTableWidgetItem);
    if (state_ != Shown || !shown_.error.isEmpty()) {
        summary->setText(state_ == Empty  ? Texts::text(Id::CompareEmpty, language_)
                         : state_ == Busy ? Texts::text(Id::Comparing, language_)
                                          : shown_.error);
        return;
    }
    const Comparison &s = shown_;
    summary->setText(Texts::text(Id::CompareSides, language_)
                         .arg(QDir::toNativeSeparators(s.paths[0]), s.formats[0], s.tables[0],
                              QDir::toNativeSeparators(s.paths[1]), s.formats[1], s.tables[1])
                     + QStringLiteral("\n")
                     + Texts::text(Id::ComparedAt, language_).arg(s.result.colours).arg(s.result.latticeSize));
    for (int r = 0; r < 3; ++r) {
        const LutCompare::Channel &ch = s.result.channel[r];
        const QString cells[columnCount] = {
            general(double(ch.largest)), general(LutCompare::inCodes(ch.largest, 10)),
            general(LutCompare::inCodes(ch.largest, 12)), general(ch.mean), general(double(ch.percentile99)),
            // Where nothing differs there is nowhere to point at.
            ch.largest > 0.0f ? colour(ch.at) : QString(), ch.largest > 0.0f ? colour(ch.a) : QString(),
            ch.largest > 0.0f ? colour(ch.b) : QString()};
        for (int c = 0; c < columnCount; ++c)
            table->item(r, c)->setText(cells[c]);
    }
}
