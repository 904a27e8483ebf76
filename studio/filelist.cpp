#include "studio/filelist.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QStyle>

#include <algorithm>

#include "calc/transform.h"
#include "engine/lutinfo.h"
#include "formats/registry.h"

namespace {

QString number(float v)
{
    return QString::number(double(v), 'g', 6);
}

// "0 – 1" when every channel spans the same, else "R 0 – 1, G 0 – 2, B 0 – 1".
QString spanText(const float *lo, const float *hi, const bool *present = nullptr)
{
    auto span = [&](int c) {
        return present && !present[c] ? QStringLiteral("–") : QStringLiteral("%1 – %2").arg(number(lo[c]), number(hi[c]));
    };
    if (span(0) == span(1) && span(1) == span(2))
        return span(0);
    QStringList parts;
    for (int c = 0; c < 3; ++c)
        parts << QStringLiteral("%1 %2").arg(QLatin1Char("RGB"[c])).arg(span(c));
    return parts.join(QStringLiteral(", "));
}

// The range of what the transform gives: its last table's values, or for a chain that ends in
// another step, what it gives at the nodes of a 17-point lattice over its domain.
LutInfo::Ranges outputRanges(const LutTransform &lut, const std::vector<LutInfo::Table> &tables)
{
    if (!tables.empty() && lut.steps().back().tables)
        return tables.back().ranges;
    constexpr int n = 17;
    float min[3], max[3];
    lut.domain(min, max);
    std::vector<float> rgb;
    rgb.reserve(std::size_t(n * n * n * 3));
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                const int at[3] = {r, g, b};
                for (int c = 0; c < 3; ++c)
                    rgb.push_back(min[c] + (max[c] - min[c]) * (float(at[c]) / float(n - 1)));
            }
    lut.apply(rgb.data(), rgb.data(), rgb.size() / 3);
    return LutInfo::channelRanges(rgb.data(), rgb.size() / 3);
}

}

FileSummary summarize(const QString &path, const CliFormats::Choice &forced, const LutIO::Orders &orders)
{
    FileSummary s;
    if (forced.empty() && Formats::byExtension(QFileInfo(path).suffix()).empty()) {
        s.reason = QStringLiteral("cannot tell the format from the name; choose it under \"Read as\"");
        return s;
    }
    LutTransform lut;
    const Formats::Format *format = nullptr;
    if (!LutIO::read(path, forced, orders, lut, &format, &s.reason))
        return s;
    if (lut.isEmpty()) {
        s.reason = QStringLiteral("holds no LUT data");
        return s;
    }
    s.readable = true;
    s.format = Formats::labelOf(*format);
    const std::vector<LutInfo::Table> tables = LutInfo::tablesOf(lut);
    const QString dimension = LutInfo::dimensionText(lut, tables);
    if (dimension == QLatin1String("chain"))
        s.steps = int(lut.steps().size());
    else
        s.dimension = dimension == QLatin1String("1D and 3D") ? QStringLiteral("1D + 3D") : dimension;
    QStringList sizes;
    for (const LutInfo::Table &t : tables)
        sizes << QStringLiteral("%1 %2").arg(QLatin1String(t.name)).arg(t.size);
    s.sizes = sizes.join(QStringLiteral(", "));
    float min[3], max[3];
    lut.domain(min, max);
    s.domain = spanText(min, max);
    const LutInfo::Ranges r = outputRanges(lut, tables);
    const bool present[3] = {r.any(0), r.any(1), r.any(2)};
    s.range = spanText(r.lo, r.hi, present);
    return s;
}

FileListModel::FileListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(entries_.size());
}

int FileListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString FileListModel::stateText(int row) const
{
    using Texts::Id;
    static const Id ids[] = {Id::StateReading, Id::StateReady,      Id::StateUnreadable, Id::StateWaiting,     Id::StateConverting,
                             Id::StateDone,    Id::StateWarning,    Id::StateFailed,     Id::StateNotConverted};
    return Texts::text(ids[entry(row).state], language_);
}

QString FileListModel::detailsText(int row) const
{
    const FileEntry &e = entry(row);
    switch (e.state) {
    case FileEntry::Unreadable:
        return e.summary.reason;
    case FileEntry::Failed:
        return e.outcome;
    case FileEntry::DoneWithWarning:
        return Texts::text(Texts::Id::LossWarning, language_).arg(e.outcome);
    case FileEntry::Done:
        return QDir::toNativeSeparators(e.outputShown);
    default:
        return QString();
    }
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const FileEntry &e = entry(index.row());
    const FileSummary &s = e.summary;
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case Name:
            return e.folder.isEmpty() ? QFileInfo(e.path).fileName()
                                      : QDir::toNativeSeparators(e.folder + QLatin1Char('/') + QFileInfo(e.path).fileName());
        case Format: return s.format;
        case Dimension:
            return s.readable && s.dimension.isEmpty() ? Texts::text(Texts::Id::Chain, language_) : s.dimension;
        case Sizes: {
            if (s.steps == 0)
                return s.sizes;
            const QString steps = s.steps == 1 ? Texts::text(Texts::Id::OneStep, language_)
                                               : Texts::text(Texts::Id::Steps, language_).arg(s.steps);
            return s.sizes.isEmpty() ? steps : steps + QStringLiteral(": ") + s.sizes;
        }
        case Domain: return s.domain;
        case Range: return s.range;
        case State: return stateText(index.row());
        case Details: return detailsText(index.row());
        default: return QVariant();
        }
    }
    if (role == Qt::ToolTipRole) {
        if (index.column() == Name)
            return QDir::toNativeSeparators(e.path);
        if (index.column() == State || index.column() == Details) {
            // A written file's tip names it (a device may have renamed it), then its warning.
            switch (e.state) {
            case FileEntry::Done: return QDir::toNativeSeparators(e.output);
            case FileEntry::DoneWithWarning:
                return QDir::toNativeSeparators(e.output) + QLatin1Char('\n') + detailsText(index.row());
            default: return detailsText(index.row());
            }
        }
        // Cells too narrow for their text show it whole on hovering.
        return data(index, Qt::DisplayRole);
    }
    if (role == Qt::DecorationRole && index.column() == State) {
        QStyle *style = QApplication::style();
        switch (e.state) {
        case FileEntry::Unreadable:
        case FileEntry::Failed: return style->standardIcon(QStyle::SP_MessageBoxCritical);
        case FileEntry::DoneWithWarning: return style->standardIcon(QStyle::SP_MessageBoxWarning);
        case FileEntry::Done: return style->standardIcon(QStyle::SP_DialogApplyButton);
        default: return QVariant();
        }
    }
    return QVariant();
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    using Texts::Id;
    static const Id ids[ColumnCount] = {Id::ColumnName,   Id::ColumnFormat, Id::ColumnDimension, Id::ColumnSizes,
                                        Id::ColumnDomain, Id::ColumnRange,  Id::ColumnState,     Id::ColumnDetails};
    return section >= 0 && section < ColumnCount ? Texts::text(ids[section], language_) : QVariant();
}

void FileListModel::setLanguage(Texts::Language language)
{
    language_ = language;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!entries_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

std::vector<int> FileListModel::add(const QStringList &paths, const QStringList &folders)
{
    std::vector<FileEntry> fresh;
    for (int i = 0; i < paths.size(); ++i) {
        FileEntry e;
        e.path = QDir::cleanPath(QFileInfo(paths[i]).absoluteFilePath());
        e.folder = folders.value(i);
        if (paths_.contains(e.path))
            continue;
        paths_.insert(e.path);
        fresh.push_back(e);
    }
    std::vector<int> rows;
    if (fresh.empty())
        return rows;
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + int(fresh.size()) - 1);
    for (FileEntry &e : fresh) {
        rows.push_back(int(entries_.size()));
        entries_.push_back(std::move(e));
    }
    endInsertRows();
    return rows;
}

void FileListModel::remove(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (*it < 0 || *it >= rowCount())
            continue;
        beginRemoveRows(QModelIndex(), *it, *it);
        paths_.remove(entries_[std::size_t(*it)].path);
        entries_.erase(entries_.begin() + *it);
        endRemoveRows();
    }
}

void FileListModel::clear()
{
    beginResetModel();
    entries_.clear();
    paths_.clear();
    endResetModel();
}

void FileTableView::paintEvent(QPaintEvent *event)
{
    QTableView::paintEvent(event);
    if (model() && model()->rowCount() > 0)
        return;
    QPainter p(viewport());
    p.setPen(palette().color(QPalette::PlaceholderText));
    p.drawText(viewport()->rect().adjusted(16, 16, -16, -16), Qt::AlignCenter | Qt::TextWordWrap, placeholderText);
}
