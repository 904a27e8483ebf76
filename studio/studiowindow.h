#ifndef STUDIO_STUDIOWINDOW_H
#define STUDIO_STUDIOWINDOW_H

#include <QMainWindow>
#include <QStringList>
#include <QThreadPool>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "studio/texts.h"

class ComparePane;
class ConversionRun;
class FileListModel;
class FileTableView;
class LutTransform;
class OutputPanel;
class PreviewView;
class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTabWidget;
class QToolBar;
struct CompareSide;
struct FileSummary;
struct Comparison;

namespace Convert {
struct BatchResult;
struct Outcome;
}

// The studio's one window: the list of files on the left with the inspector below it, the
// input and output choices on the right, the conversion's progress at the bottom of those.
// Reading, converting, drawing and comparing run off the window's thread, so it never waits.
class StudioWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit StudioWindow(QWidget *parent = nullptr);
    ~StudioWindow() override;

    // How the window asks the user. They default to the toolkit's dialogs; a test may put its
    // own answers in their place. Arguments: parent, caption, start folder (and filter).
    std::function<QStringList(QWidget *, const QString &, const QString &, const QString &)> openFilesDialog;
    std::function<QString(QWidget *, const QString &, const QString &, const QString &)> openFileDialog;
    std::function<QString(QWidget *, const QString &, const QString &)> folderDialog;
    std::function<void(QWidget *, const QString &title, const QString &text)> showMessage;
    std::function<void(QWidget *, const QString &title, const QString &text)> showAbout;
    // False: the choices are this run's alone, and are not saved when the window goes.
    bool savesSettings = true;

    // Files, and folders searched for every readable format, added to the list.
    void addPaths(const QStringList &paths);
    void setLanguage(Texts::Language language);
    Texts::Language language() const { return language_; }
    bool isConverting() const { return run_ != nullptr; }
    bool isReading() const { return pendingReads_ > 0; }

    struct Actions {
        QAction *addFiles, *addFolder, *remove, *clear, *quit;
        QAction *convert, *cancel, *chooseFolder;
        QAction *compareWith, *compareOutput, *choosePicture, *useChart;
        QAction *english, *chinese, *about;
    } actions = {};

    FileListModel *files = nullptr;
    FileTableView *fileView = nullptr;
    OutputPanel *panel = nullptr;
    QTabWidget *inspector = nullptr;
    PreviewView *preview = nullptr;
    ComparePane *compare = nullptr;
    QPushButton *convertButton = nullptr;
    QPushButton *cancelButton = nullptr;
    QProgressBar *progress = nullptr;
    QComboBox *languageBox = nullptr;

signals:
    // Every file added so far has been read.
    void readingFinished();
    void conversionFinished();
    void comparisonShown();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void createCentre();
    void readSettings();
    void writeSettings();
    void retranslate();

    void addFiles();
    void addFolder();
    void removeSelected();
    void clearList();
    void addFound(const QStringList &paths, const QString &root);
    void readRows(const std::vector<int> &rows);
    void readAll();
    void readFinished(const QString &path, int generation, const FileSummary &summary);
    void readDone();

    void convertSelected();
    void cancelConversion();
    void fileStarted(int index);
    void fileFinished(int index, const Convert::Outcome &outcome);
    void runFinished(const Convert::BatchResult &result);
    void updateActions();

    int currentRow() const;
    std::vector<int> selectedRows() const;
    void inspectCurrent();
    void compareWithFile();
    void compareWithOutput();
    void startComparison(const CompareSide &a, const CompareSide &b);
    void choosePicture();
    void loadPicture(const QString &path);
    void about();
    QString lutFilter() const;
    QString t(Texts::Id id) const { return Texts::text(id, language_); }

    Texts::Language language_ = Texts::English;
    QThreadPool pool_;
    ConversionRun *run_ = nullptr;
    std::vector<int> runRows_;
    int runDone_ = 0;
    QString runFolder_;
    QTimer progressTimer_;
    int pendingReads_ = 0;
    int readGeneration_ = 0;
    int inspectGeneration_ = 0;
    bool closeWhenDone_ = false;
    QString lastFolder_;

    QMenu *fileMenu_ = nullptr, *convertMenu_ = nullptr, *inspectMenu_ = nullptr, *languageMenu_ = nullptr,
          *helpMenu_ = nullptr;
    QToolBar *toolBar_ = nullptr;
    QLabel *languageLabel_ = nullptr;
    QActionGroup *languageGroup_ = nullptr;
    QSplitter *mainSplitter_ = nullptr;
    QSplitter *leftSplitter_ = nullptr;
};

#endif
