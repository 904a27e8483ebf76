#include "studio/studiowindow.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSet>
#include <QSettings>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include "calc/transform.h"
#include "engine/convertjob.h"
#include "engine/lutsummary.h"
#include "formats/registry.h"
#include "studio/background.h"
#include "studio/comparepane.h"
#include "studio/conversionrun.h"
#include "studio/filelist.h"
#include "studio/outputpanel.h"
#include "studio/previewview.h"

namespace {

using Texts::Id;

// Pictures are shown no larger than this a side: the preview draws them far smaller, and
// grading a smaller copy keeps every redraw quick.
constexpr int pictureSide = 2048;

QStringList lutExtensions()
{
    QSet<QString> seen;
    QStringList patterns;
    for (const Formats::Format *f : Formats::all()) {
        if (!f->read || f->namedOnly)
            continue;
        for (const QString &e : Formats::extensionsOf(*f))
            if (!seen.contains(e)) {
                seen.insert(e);
                patterns << QStringLiteral("*.") + e;
            }
    }
    return patterns;
}

// Every file under `root` whose extension a readable format has, in name order.
QStringList scanFolder(const QString &root)
{
    QStringList found;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!Formats::byExtension(QFileInfo(path).suffix()).empty())
            found << path;
    }
    std::sort(found.begin(), found.end());
    return found;
}

QStringList localPaths(const QMimeData *mime)
{
    QStringList paths;
    if (mime && mime->hasUrls())
        for (const QUrl &url : mime->urls())
            if (url.isLocalFile())
                paths << url.toLocalFile();
    return paths;
}

QImage readPicture(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        return image;
    if (image.width() > pictureSide || image.height() > pictureSide)
        image = image.scaled(pictureSide, pictureSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(QImage::Format_RGB32);
}

QString withoutMnemonic(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\(&.\\)|&(?=.)")));
}

struct Loaded {
    std::shared_ptr<const LutTransform> lut;
    QString details;
};

}

StudioWindow::StudioWindow(QWidget *parent)
    : QMainWindow(parent)
{
    openFilesDialog = [](QWidget *p, const QString &caption, const QString &dir, const QString &filter) {
        return QFileDialog::getOpenFileNames(p, caption, dir, filter);
    };
    openFileDialog = [](QWidget *p, const QString &caption, const QString &dir, const QString &filter) {
        return QFileDialog::getOpenFileName(p, caption, dir, filter);
    };
    folderDialog = [](QWidget *p, const QString &caption, const QString &dir) {
        return QFileDialog::getExistingDirectory(p, caption, dir);
    };
    showMessage = [](QWidget *p, const QString &title, const QString &text) { QMessageBox::warning(p, title, text); };
    showAbout = [](QWidget *p, const QString &title, const QString &text) { QMessageBox::about(p, title, text); };

    setAcceptDrops(true);
    progressTimer_.setInterval(100);
    connect(&progressTimer_, &QTimer::timeout, this, [this] { progress->setValue(runDone_); });
    createActions();
    createMenus();
    createToolBar();
    createCentre();
    statusBar();
    readSettings();
    retranslate();
    updateActions();
}

StudioWindow::~StudioWindow()
{
    writeSettings();
    // The files being written finish; nothing running may outlive the widgets it reports to.
    delete run_;
    run_ = nullptr;
    pool_.clear();
    pool_.waitForDone();
}

void StudioWindow::createActions()
{
    auto make = [this](const char *name, const QKeySequence &keys) {
        auto *a = new QAction(this);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(keys);
        return a;
    };
    actions.addFiles = make("addFiles", QKeySequence::Open);
    actions.addFolder = make("addFolder", QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_O));
    actions.remove = make("remove", QKeySequence::Delete);
    actions.clear = make("clear", QKeySequence());
    actions.quit = make("quit", QKeySequence::Quit);
    actions.convert = make("convert", QKeySequence(Qt::CTRL + Qt::Key_Return));
    actions.cancel = make("cancel", QKeySequence(Qt::Key_Escape));
    actions.chooseFolder = make("chooseFolder", QKeySequence(Qt::CTRL + Qt::Key_D));
    actions.compareWith = make("compareWith", QKeySequence(Qt::CTRL + Qt::Key_K));
    actions.compareOutput = make("compareOutput", QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_K));
    actions.choosePicture = make("choosePicture", QKeySequence(Qt::CTRL + Qt::Key_P));
    actions.useChart = make("useChart", QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_P));
    actions.english = make("english", QKeySequence());
    actions.chinese = make("chinese", QKeySequence());
    actions.about = make("about", QKeySequence::HelpContents);
    connect(actions.addFiles, &QAction::triggered, this, &StudioWindow::addFiles);
    connect(actions.addFolder, &QAction::triggered, this, &StudioWindow::addFolder);
    connect(actions.remove, &QAction::triggered, this, &StudioWindow::removeSelected);
    connect(actions.clear, &QAction::triggered, this, &StudioWindow::clearList);
    connect(actions.quit, &QAction::triggered, this, &QWidget::close);
    connect(actions.convert, &QAction::triggered, this, &StudioWindow::convertSelected);
    connect(actions.cancel, &QAction::triggered, this, &StudioWindow::cancelConversion);
    connect(actions.compareWith, &QAction::triggered, this, &StudioWindow::compareWithFile);
    connect(actions.compareOutput, &QAction::triggered, this, &StudioWindow::compareWithOutput);
    connect(actions.choosePicture, &QAction::triggered, this, &StudioWindow::choosePicture);
    connect(actions.useChart, &QAction::triggered, this, [this] { preview->setPicture(QImage()); });
    connect(actions.about, &QAction::triggered, this, &StudioWindow::about);

    languageGroup_ = new QActionGroup(this);
    for (QAction *a : {actions.english, actions.chinese}) {
        a->setCheckable(true);
        languageGroup_->addAction(a);
    }
    actions.english->setText(QStringLiteral("English"));
    actions.chinese->setText(QStringLiteral("简体中文"));
    connect(actions.english, &QAction::triggered, this, [this] { setLanguage(Texts::English); });
    connect(actions.chinese, &QAction::triggered, this, [this] { setLanguage(Texts::Chinese); });
}

void StudioWindow::createMenus()
{
    fileMenu_ = menuBar()->addMenu(QString());
    fileMenu_->addActions({actions.addFiles, actions.addFolder});
    fileMenu_->addSeparator();
    fileMenu_->addActions({actions.remove, actions.clear});
    fileMenu_->addSeparator();
    fileMenu_->addAction(actions.quit);
    convertMenu_ = menuBar()->addMenu(QString());
    convertMenu_->addActions({actions.convert, actions.cancel});
    convertMenu_->addSeparator();
    convertMenu_->addAction(actions.chooseFolder);
    inspectMenu_ = menuBar()->addMenu(QString());
    inspectMenu_->addActions({actions.compareWith, actions.compareOutput});
    inspectMenu_->addSeparator();
    inspectMenu_->addActions({actions.choosePicture, actions.useChart});
    languageMenu_ = menuBar()->addMenu(QString());
    languageMenu_->addActions({actions.english, actions.chinese});
    helpMenu_ = menuBar()->addMenu(QString());
    helpMenu_->addAction(actions.about);
}

void StudioWindow::createToolBar()
{
    toolBar_ = addToolBar(QString());
    toolBar_->setObjectName(QStringLiteral("mainToolBar"));
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    toolBar_->addActions({actions.addFiles, actions.addFolder});
    toolBar_->addSeparator();
    toolBar_->addActions({actions.convert, actions.cancel});
    toolBar_->addSeparator();
    toolBar_->addActions({actions.compareWith, actions.compareOutput});
    auto *spacer = new QWidget(toolBar_);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar_->addWidget(spacer);
    languageLabel_ = new QLabel(toolBar_);
    languageBox = new QComboBox(toolBar_);
    languageBox->setObjectName(QStringLiteral("language"));
    languageBox->addItems({QStringLiteral("English"), QStringLiteral("简体中文")});
    languageLabel_->setBuddy(languageBox);
    toolBar_->addWidget(languageLabel_);
    toolBar_->addWidget(languageBox);
    connect(languageBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { setLanguage(index == 1 ? Texts::Chinese : Texts::English); });
}

void StudioWindow::createCentre()
{
    files = new FileListModel(this);
    fileView = new FileTableView(this);
    fileView->setObjectName(QStringLiteral("files"));
    fileView->setModel(files);
    fileView->setSelectionBehavior(QAbstractItemView::SelectRows);
    fileView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileView->setWordWrap(false);
    fileView->verticalHeader()->hide();
    fileView->horizontalHeader()->setStretchLastSection(true);
    fileView->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    const int widths[FileListModel::Details] = {190, 110, 100, 80, 130, 130, 150};
    for (int c = 0; c < FileListModel::Details; ++c)
        fileView->setColumnWidth(c, widths[c]);
    connect(fileView->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &StudioWindow::inspectCurrent);
    connect(fileView->selectionModel(), &QItemSelectionModel::selectionChanged, this, &StudioWindow::updateActions);

    preview = new PreviewView(pool_, this);
    preview->setObjectName(QStringLiteral("preview"));
    connect(preview, &PreviewView::picturesDropped, this, [this](const QStringList &paths) { loadPicture(paths.first()); });
    compare = new ComparePane(this);
    inspector = new QTabWidget(this);
    inspector->setObjectName(QStringLiteral("inspector"));
    inspector->addTab(preview, QString());
    inspector->addTab(compare, QString());

    leftSplitter_ = new QSplitter(Qt::Vertical, this);
    leftSplitter_->setObjectName(QStringLiteral("leftSplitter"));
    leftSplitter_->addWidget(fileView);
    leftSplitter_->addWidget(inspector);
    leftSplitter_->setStretchFactor(0, 2);
    leftSplitter_->setStretchFactor(1, 3);

    panel = new OutputPanel(this);
    panel->chooseFolder = [this](QWidget *p, const QString &start) {
        return folderDialog(p, t(Id::OutputFolderTitle), start.isEmpty() ? lastFolder_ : start);
    };
    connect(panel, &OutputPanel::inputChanged, this, &StudioWindow::readAll);
    connect(actions.chooseFolder, &QAction::triggered, panel->browseButton, &QPushButton::click);
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(panel);

    convertButton = new QPushButton(this);
    convertButton->setObjectName(QStringLiteral("convertButton"));
    convertButton->setDefault(true);
    cancelButton = new QPushButton(this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    connect(convertButton, &QPushButton::clicked, actions.convert, &QAction::trigger);
    connect(cancelButton, &QPushButton::clicked, actions.cancel, &QAction::trigger);
    progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("progress"));
    progress->setRange(0, 1);
    progress->setValue(0);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(convertButton);
    buttons->addWidget(cancelButton);

    auto *right = new QWidget(this);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(scroll, 1);
    rightLayout->addWidget(progress);
    rightLayout->addLayout(buttons);

    mainSplitter_ = new QSplitter(Qt::Horizontal, this);
    mainSplitter_->setObjectName(QStringLiteral("mainSplitter"));
    mainSplitter_->addWidget(leftSplitter_);
    mainSplitter_->addWidget(right);
    mainSplitter_->setStretchFactor(0, 3);
    mainSplitter_->setStretchFactor(1, 1);
    setCentralWidget(mainSplitter_);
    resize(1280, 800);
    mainSplitter_->setSizes({860, 420});
    leftSplitter_->setSizes({300, 500});
}

void StudioWindow::readSettings()
{
    QSettings s;
    panel->load(s);
    lastFolder_ = s.value(QStringLiteral("window/lastFolder")).toString();
    restoreGeometry(s.value(QStringLiteral("window/geometry")).toByteArray());
    mainSplitter_->restoreState(s.value(QStringLiteral("window/mainSplitter")).toByteArray());
    leftSplitter_->restoreState(s.value(QStringLiteral("window/leftSplitter")).toByteArray());
    language_ = s.value(QStringLiteral("language"), 0).toInt() == 1 ? Texts::Chinese : Texts::English;
}

void StudioWindow::writeSettings()
{
    if (!savesSettings)
        return;
    QSettings s;
    panel->save(s);
    s.setValue(QStringLiteral("window/lastFolder"), lastFolder_);
    s.setValue(QStringLiteral("window/geometry"), saveGeometry());
    s.setValue(QStringLiteral("window/mainSplitter"), mainSplitter_->saveState());
    s.setValue(QStringLiteral("window/leftSplitter"), leftSplitter_->saveState());
    s.setValue(QStringLiteral("language"), int(language_));
}

void StudioWindow::setLanguage(Texts::Language language)
{
    if (language == language_)
        return;
    language_ = language;
    retranslate();
}

void StudioWindow::retranslate()
{
    setWindowTitle(t(Id::AppName));
    fileMenu_->setTitle(t(Id::MenuFile));
    convertMenu_->setTitle(t(Id::MenuConvert));
    inspectMenu_->setTitle(t(Id::MenuInspect));
    languageMenu_->setTitle(t(Id::MenuLanguage));
    helpMenu_->setTitle(t(Id::MenuHelp));
    const std::pair<QAction *, Id> named[] = {
        {actions.addFiles, Id::AddFiles},         {actions.addFolder, Id::AddFolder},
        {actions.remove, Id::RemoveFiles},        {actions.clear, Id::ClearList},
        {actions.quit, Id::Quit},
        {actions.cancel, Id::CancelAction},       {actions.chooseFolder, Id::ChooseFolder},
        {actions.compareWith, Id::CompareWith},   {actions.compareOutput, Id::CompareOutput},
        {actions.choosePicture, Id::ChoosePicture}, {actions.useChart, Id::UseChart},
        {actions.about, Id::About},
    };
    for (const auto &n : named)
        n.first->setText(t(n.second));
    // Tool buttons show the words alone, without the menus' keys and dots.
    for (QAction *a : toolBar_->actions()) {
        QString shown = withoutMnemonic(a->text());
        if (shown.endsWith(QChar(0x2026)))
            shown.chop(1);
        if (!shown.isEmpty())
            a->setIconText(shown);
    }
    toolBar_->setWindowTitle(t(Id::ToolBar));
    languageLabel_->setText(t(Id::LanguageCaption));
    {
        const QSignalBlocker block(languageBox);
        languageBox->setCurrentIndex(int(language_));
    }
    (language_ == Texts::Chinese ? actions.chinese : actions.english)->setChecked(true);
    files->setLanguage(language_);
    fileView->placeholderText = t(Id::DropHint);
    fileView->viewport()->update();
    panel->retranslate(language_);
    inspector->setTabText(0, t(Id::PreviewTab));
    inspector->setTabText(1, t(Id::CompareTab));
    compare->retranslate(language_);
    Preview::Texts words;
    words.before = t(Id::Before);
    words.after = t(Id::After);
    const Id axes[4] = {Id::GreyAxis, Id::RedAxis, Id::GreenAxis, Id::BlueAxis};
    const Id legend[4] = {Id::ROut, Id::GOut, Id::BOut, Id::Identity};
    for (int i = 0; i < 4; ++i) {
        words.axes[i] = t(axes[i]);
        words.legend[i] = t(legend[i]);
    }
    words.note = t(Id::PlotNote);
    preview->setTexts(words, t(Id::PreviewEmpty));
    cancelButton->setText(t(Id::CancelButton));
    progress->setFormat(t(Id::Progress));
    updateActions();
}

QString StudioWindow::lutFilter() const
{
    return t(Id::LutFilter).arg(lutExtensions().join(QLatin1Char(' '))) + QStringLiteral(";;") + t(Id::AllFilter);
}

// Adding files.

void StudioWindow::addFiles()
{
    const QStringList chosen = openFilesDialog(this, t(Id::AddFilesTitle), lastFolder_, lutFilter());
    if (chosen.isEmpty())
        return;
    lastFolder_ = QFileInfo(chosen.first()).absolutePath();
    addPaths(chosen);
}

void StudioWindow::addFolder()
{
    const QString chosen = folderDialog(this, t(Id::AddFolderTitle), lastFolder_);
    if (chosen.isEmpty())
        return;
    lastFolder_ = chosen;
    addPaths({chosen});
}

void StudioWindow::addPaths(const QStringList &paths)
{
    if (isConverting())
        return;
    QStringList alone;
    for (const QString &path : paths) {
        if (!QFileInfo(path).isDir()) {
            alone << path;
            continue;
        }
        ++pendingReads_;
        Background::run<QStringList>(pool_, this, [path]() { return scanFolder(path); },
                                     [this, path](QStringList found) {
                                         addFound(found, path);
                                         readDone();
                                     });
    }
    if (!alone.isEmpty())
        addFound(alone, QString());
}

void StudioWindow::addFound(const QStringList &paths, const QString &root)
{
    QStringList folders;
    for (const QString &path : paths) {
        QString folder;
        if (!root.isEmpty()) {
            folder = QDir(root).relativeFilePath(QFileInfo(path).absolutePath());
            if (folder == QLatin1String("."))
                folder.clear();
        }
        folders << folder;
    }
    readRows(files->add(paths, folders));
    // The first file is shown, without selecting it: Convert then takes every file.
    if (currentRow() < 0 && files->rowCount() > 0)
        fileView->selectionModel()->setCurrentIndex(files->index(0, 0), QItemSelectionModel::NoUpdate);
    updateActions();
}

void StudioWindow::readRows(const std::vector<int> &rows)
{
    const CliFormats::Choice forced = panel->inputFormat();
    const LutIO::Orders orders = panel->inputOrders();
    files->updateRows(rows, [this](FileEntry &e) {
        e.generation = ++readGeneration_;
        e.state = FileEntry::Reading;
        e.outcome.clear();
        e.output.clear();
    });
    for (int row : rows) {
        const QString path = files->entry(row).path;
        const int generation = files->entry(row).generation;
        ++pendingReads_;
        Background::run<FileSummary>(pool_, this, [=]() { return summarize(path, forced, orders); },
                                     [this, path, generation](FileSummary summary) { readFinished(path, generation, summary); });
    }
}

void StudioWindow::readFinished(const QString &path, int generation, const FileSummary &summary)
{
    for (int r = 0; r < files->rowCount(); ++r) {
        if (files->entry(r).path != path)
            continue;
        if (files->entry(r).generation == generation) {
            // A row a conversion took meanwhile keeps the conversion's state.
            files->update(r, [&](FileEntry &e) {
                e.summary = summary;
                if (e.state == FileEntry::Reading)
                    e.state = summary.readable ? FileEntry::Ready : FileEntry::Unreadable;
            });
            if (r == currentRow())
                inspectCurrent();
        }
        break;
    }
    readDone();
}

void StudioWindow::readAll()
{
    if (isConverting())
        return;
    std::vector<int> rows;
    for (int r = 0; r < files->rowCount(); ++r)
        rows.push_back(r);
    readRows(rows);
}

void StudioWindow::readDone()
{
    if (--pendingReads_ == 0)
        emit readingFinished();
    updateActions();
}

void StudioWindow::removeSelected()
{
    if (isConverting())
        return;
    files->remove(selectedRows());
    inspectCurrent();
    updateActions();
}

void StudioWindow::clearList()
{
    if (isConverting())
        return;
    files->clear();
    inspectCurrent();
    updateActions();
}

void StudioWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!localPaths(event->mimeData()).isEmpty() && !isConverting())
        event->acceptProposedAction();
}

void StudioWindow::dropEvent(QDropEvent *event)
{
    const QStringList paths = localPaths(event->mimeData());
    if (paths.isEmpty() || isConverting())
        return;
    event->acceptProposedAction();
    addPaths(paths);
}

// Converting.

int StudioWindow::currentRow() const
{
    const QModelIndex current = fileView->selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

std::vector<int> StudioWindow::selectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex &i : fileView->selectionModel()->selectedRows())
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void StudioWindow::convertSelected()
{
    if (isConverting())
        return;
    std::vector<int> rows = selectedRows();
    if (rows.empty())
        for (int r = 0; r < files->rowCount(); ++r)
            rows.push_back(r);
    if (rows.empty()) {
        showMessage(this, t(Id::AppName), t(Id::NoFiles));
        return;
    }
    const Formats::Format *format = panel->format();
    Convert::Settings settings;
    QString badSize;
    if (!format || !panel->conversion(settings, &badSize)) {
        showMessage(this, t(Id::AppName), badSize);
        return;
    }
    const QString folder = panel->folder();
    if (folder.isEmpty()) {
        showMessage(this, t(Id::AppName), t(Id::NeedFolder));
        return;
    }
    const QString pattern = panel->pattern();
    if (Convert::patternName(pattern, QStringLiteral("a.cube"), QStringLiteral("a"), *format).isEmpty()) {
        showMessage(this, t(Id::AppName), t(Id::BadPattern));
        return;
    }

    QStringList inputs;
    QHash<QString, QString> folders;
    for (int r : rows) {
        inputs << files->entry(r).path;
        folders.insert(files->entry(r).path, files->entry(r).folder);
    }
    std::vector<Convert::Request> requests = Convert::plan(inputs, [&](const QString &in) {
        return QDir(folder).filePath(Convert::patternName(pattern, in, folders.value(in), *format));
    }, settings.device);

    // Each output's folder is made first; a file whose folder cannot be made fails at once.
    std::vector<Convert::Request> runnable;
    runRows_.clear();
    QHash<QString, bool> made;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const int row = rows[i];
        const QString dir = QFileInfo(requests[i].output).absolutePath();
        if (!made.contains(dir))
            made.insert(dir, QDir().mkpath(dir));
        if (!made.value(dir)) {
            files->update(row, [&](FileEntry &e) {
                e.state = FileEntry::Failed;
                e.outcome = t(Id::CannotCreate).arg(QDir::toNativeSeparators(dir));
                e.output.clear();
            });
            continue;
        }
        runnable.push_back(requests[i]);
        runRows_.push_back(row);
    }
    files->updateRows(runRows_, [](FileEntry &e) {
        e.state = FileEntry::Waiting;
        e.outcome.clear();
        e.output.clear();
    });

    runDone_ = 0;
    runFolder_ = folder;
    progress->setRange(0, std::max<int>(1, int(runnable.size())));
    progress->setValue(0);
    run_ = new ConversionRun(std::move(runnable), *format, settings, std::max(1, QThread::idealThreadCount()), this);
    connect(run_, &ConversionRun::fileStarted, this, &StudioWindow::fileStarted);
    connect(run_, &ConversionRun::fileFinished, this, &StudioWindow::fileFinished);
    connect(run_, &ConversionRun::finished, this, &StudioWindow::runFinished);
    statusBar()->showMessage(t(Id::Running).arg(runRows_.size()));
    updateActions();
    // The bar follows at its own pace: painting it for every file would hold up the window.
    progressTimer_.start();
    run_->start();
}

void StudioWindow::cancelConversion()
{
    if (!run_ || run_->isCancelled())
        return;
    run_->cancel();
    statusBar()->showMessage(t(Id::Cancelling));
    updateActions();
}

void StudioWindow::fileStarted(int index)
{
    files->update(runRows_[std::size_t(index)], [](FileEntry &e) { e.state = FileEntry::Converting; });
}

void StudioWindow::fileFinished(int index, const Convert::Outcome &o)
{
    const Convert::Request &r = run_->requests()[std::size_t(index)];
    QString outcome;
    FileEntry::State state = FileEntry::Failed;
    switch (o.kind) {
    case Convert::Outcome::Written: {
        // What was changed for the device, then what was lost, as the command line says them.
        QStringList lost = o.deviceChanges;
        if (o.loss.any())
            lost << o.loss.text();
        if (!o.writeWarning.isEmpty())
            lost << o.writeWarning;
        state = lost.isEmpty() ? FileEntry::Done : FileEntry::DoneWithWarning;
        outcome = lost.join(QStringLiteral("; "));
        break;
    }
    case Convert::Outcome::StrictRefused:
        outcome = t(Id::StrictFailure).arg(o.loss.text());
        break;
    case Convert::Outcome::Refused:
        outcome = r.refusal == Convert::Refusal::ReplacesItself
                      ? t(Id::ReplacesItself)
                      : t(r.refusal == Convert::Refusal::ReplacesInput ? Id::ReplacesInput : Id::AlreadyMade)
                            .arg(QDir::toNativeSeparators(r.output), QDir::toNativeSeparators(r.other));
        break;
    case Convert::Outcome::Failed:
        outcome = o.failure.isEmpty() ? t(Id::FailedReason) : o.failure;
        break;
    }
    const int row = runRows_[std::size_t(index)];
    files->update(row, [&](FileEntry &e) {
        e.state = state;
        e.outcome = outcome;
        // A device may have renamed the output.
        const QString written = o.output.isEmpty() ? r.output : o.output;
        e.output = o.written() ? written : QString();
        e.outputShown = o.written() ? QDir(runFolder_).relativeFilePath(written) : QString();
        e.outputFormat = QString::fromLatin1(run_->format().name);
        e.outputOrders = run_->settings().outOrders;
    });
    ++runDone_;
    if (row == currentRow())
        updateActions();
}

void StudioWindow::runFinished(const Convert::BatchResult &result)
{
    std::vector<int> left;
    int warnings = 0;
    for (int row : runRows_) {
        if (files->entry(row).state == FileEntry::Waiting)
            left.push_back(row);
        if (files->entry(row).state == FileEntry::DoneWithWarning)
            ++warnings;
    }
    files->updateRows(left, [](FileEntry &e) { e.state = FileEntry::NotConverted; });
    statusBar()->showMessage(t(Id::Finished)
                                 .arg(result.total - result.failed - result.notRun)
                                 .arg(warnings)
                                 .arg(result.failed)
                                 .arg(result.notRun));
    progressTimer_.stop();
    progress->setValue(runDone_);
    run_->deleteLater();
    run_ = nullptr;
    updateActions();
    emit conversionFinished();
    if (closeWhenDone_)
        close();
}

void StudioWindow::updateActions()
{
    const bool running = isConverting();
    for (QAction *a : {actions.addFiles, actions.addFolder, actions.clear})
        a->setEnabled(!running);
    actions.remove->setEnabled(!running && !selectedRows().empty());
    actions.convert->setEnabled(!running && files->rowCount() > 0);
    actions.cancel->setEnabled(running && !run_->isCancelled());
    actions.convert->setText(t(selectedRows().empty() ? Id::ConvertAll : Id::ConvertSelected));
    actions.convert->setIconText(withoutMnemonic(actions.convert->text()));
    convertButton->setText(withoutMnemonic(actions.convert->text()));
    convertButton->setEnabled(actions.convert->isEnabled());
    cancelButton->setEnabled(actions.cancel->isEnabled());
    panel->setEnabled(!running);
    const int row = currentRow();
    const bool readable = row >= 0 && files->entry(row).summary.readable;
    actions.compareWith->setEnabled(readable);
    actions.compareOutput->setEnabled(readable && !files->entry(row).output.isEmpty());
}

void StudioWindow::closeEvent(QCloseEvent *event)
{
    if (run_) {
        // The files being written finish first; the window closes once they have.
        closeWhenDone_ = true;
        cancelConversion();
        event->ignore();
        return;
    }
    writeSettings();
    event->accept();
}

// Inspecting.

void StudioWindow::inspectCurrent()
{
    updateActions();
    const int row = currentRow();
    const int generation = ++inspectGeneration_;
    if (row < 0 || !files->entry(row).summary.readable) {
        preview->clearLut();
        return;
    }
    const QString path = files->entry(row).path;
    const CliFormats::Choice forced = panel->inputFormat();
    const LutIO::Orders orders = panel->inputOrders();
    Background::run<Loaded>(pool_, this,
                            [=]() {
                                Loaded l;
                                auto lut = std::make_shared<LutTransform>();
                                const Formats::Format *format = nullptr;
                                QString why;
                                if (LutIO::read(path, forced, orders, *lut, &format, &why) && !lut->isEmpty()) {
                                    l.details = QStringLiteral("%1, %2").arg(Formats::labelOf(*format), LutSummary::table(*lut));
                                    l.lut = lut;
                                }
                                return l;
                            },
                            [this, generation, path](Loaded l) {
                                if (generation != inspectGeneration_)
                                    return;
                                if (l.lut)
                                    preview->setLut(l.lut, QFileInfo(path).fileName(), l.details);
                                else
                                    preview->clearLut();
                            });
}

void StudioWindow::compareWithFile()
{
    const int row = currentRow();
    if (row < 0)
        return;
    const QString other = openFileDialog(this, t(Id::CompareTitle), lastFolder_, lutFilter());
    if (other.isEmpty())
        return;
    // The other file is read as the inputs are.
    startComparison({files->entry(row).path, panel->inputFormat(), panel->inputOrders()},
                    {other, panel->inputFormat(), panel->inputOrders()});
}

void StudioWindow::compareWithOutput()
{
    const int row = currentRow();
    if (row < 0 || files->entry(row).output.isEmpty())
        return;
    // The output is read as it was written: in its format and orders.
    const FileEntry &e = files->entry(row);
    CliFormats::Choice written;
    if (const Formats::Format *f = Formats::byName(e.outputFormat))
        written.push_back(f);
    startComparison({e.path, panel->inputFormat(), panel->inputOrders()}, {e.output, written, e.outputOrders});
}

void StudioWindow::startComparison(const CompareSide &a, const CompareSide &b)
{
    inspector->setCurrentWidget(compare);
    compare->showBusy();
    Background::run<Comparison>(pool_, this, [=]() { return compareFiles(a, b); }, [this](Comparison c) {
        compare->showComparison(c);
        emit comparisonShown();
    });
}

void StudioWindow::choosePicture()
{
    QStringList patterns;
    for (const QByteArray &f : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(f);
    const QString path = openFileDialog(this, t(Id::PictureTitle), lastFolder_,
                                        t(Id::ImageFilter).arg(patterns.join(QLatin1Char(' '))) + QStringLiteral(";;")
                                            + t(Id::AllFilter));
    if (!path.isEmpty())
        loadPicture(path);
}

void StudioWindow::loadPicture(const QString &path)
{
    inspector->setCurrentWidget(preview);
    Background::run<QImage>(pool_, this, [path]() { return readPicture(path); }, [this, path](QImage image) {
        if (image.isNull()) {
            QImageReader reader(path);
            showMessage(this, t(Id::AppName), QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reader.errorString()));
            return;
        }
        preview->setPicture(image);
    });
}

void StudioWindow::about()
{
    showAbout(this, t(Id::AboutTitle), t(Id::AboutText).arg(QStringLiteral(LUTWRIGHT_VERSION)));
}
