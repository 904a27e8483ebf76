#ifndef STUDIO_FILELIST_H
#define STUDIO_FILELIST_H

#include <QAbstractTableModel>
#include <QSet>
#include <QTableView>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <vector>

#include "engine/lutio.h"
#include "studio/texts.h"

// What a file holds, in the words of the file table.
struct FileSummary {
    bool readable = false;
    QString format;       // the format's label
    QString dimension;    // "3D", "1D", "1D + 3D", or empty for a chain of steps
    int steps = 0;        // steps of a chain
    QString sizes;        // "3D 33", "1D 4096, 3D 17"
    QString domain;       // "0 – 1", or per channel
    QString range;        // the output values' range
    QString reason;       // why the file cannot be read (with its line where the reader knows it)
};

// Read `path` as the engine reads an input of a conversion, and sum it up.
FileSummary summarize(const QString &path, const CliFormats::Choice &forced, const LutIO::Orders &orders);

// One file of the list and how far it has come.
struct FileEntry {
    enum State { Reading, Ready, Unreadable, Waiting, Converting, Done, DoneWithWarning, Failed, NotConverted };

    QString path;
    QString folder;        // its folder within the folder it was found in; empty for a file added alone
    State state = Reading;
    FileSummary summary;
    QString outcome;       // why the conversion failed, or what it lost
    QString output;        // the file written
    QString outputShown;   // the same within the output folder
    QString outputFormat;  // in this format (its registry name)
    LutIO::Orders outputOrders;
    int generation = 0;    // of the reading that fills the summary
};

// The files the user added, one row each.
class FileListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Name, Format, Dimension, Sizes, Domain, Range, State, Details, ColumnCount };

    explicit FileListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void setLanguage(Texts::Language language);
    Texts::Language language() const { return language_; }

    // Files added at the end, each with its folder within the folder it was found in (empty for
    // a file added alone); the rows of those the list did not hold yet.
    std::vector<int> add(const QStringList &paths, const QStringList &folders);
    void remove(std::vector<int> rows);
    void clear();

    const FileEntry &entry(int row) const { return entries_[std::size_t(row)]; }
    // Change a row; the views hear of it.
    template <typename Change>
    void update(int row, Change change)
    {
        change(entries_[std::size_t(row)]);
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    }
    // The same change to many rows, which the views hear of at once.
    template <typename Change>
    void updateRows(const std::vector<int> &rows, Change change)
    {
        if (rows.empty())
            return;
        for (int row : rows)
            change(entries_[std::size_t(row)]);
        const auto [lo, hi] = std::minmax_element(rows.begin(), rows.end());
        emit dataChanged(index(*lo, 0), index(*hi, ColumnCount - 1));
    }

    // The text a row's state and details columns show.
    QString stateText(int row) const;
    QString detailsText(int row) const;

private:
    std::vector<FileEntry> entries_;
    QSet<QString> paths_;
    Texts::Language language_ = Texts::English;
};

// The file table, which says what to do while it is empty.
class FileTableView : public QTableView
{
public:
    using QTableView::QTableView;
    QString placeholderText;

protected:
    void paintEvent(QPaintEvent *event) override;
};

#endif
