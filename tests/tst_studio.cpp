// The studio driven as a user drives it, headless: adding folders, choosing the output,
// converting, cancelling, inspecting and comparing, switching the language, restarting.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>
#include <QUrl>

#include <memory>

#include "calc/transform.h"
#include "clitest.h"
#include "engine/convertjob.h"
#include "studio/commandline.h"
#include "studio/comparepane.h"
#include "studio/filelist.h"
#include "studio/outputpanel.h"
#include "studio/previewview.h"
#include "studio/studiowindow.h"

namespace {

constexpr int slow = 60000;   // ms a conversion of a folder may take on a loaded machine

// The lattice of a graded look: lifts values above 1 where a channel is bright.
void brightLook(float r, float g, float b, float *o)
{
    o[0] = r * 1.5f;
    o[1] = g * 0.9f + 0.05f;
    o[2] = b * b;
}

QStringList filesUnder(const QString &dir)
{
    QStringList found;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(dir).relativeFilePath(it.next());
    found.sort();
    return found;
}

void copyTree(const QString &from, const QString &to)
{
    for (const QString &rel : filesUnder(from)) {
        QDir().mkpath(QFileInfo(QDir(to).filePath(rel)).absolutePath());
        QFile::copy(QDir(from).filePath(rel), QDir(to).filePath(rel));
    }
}

void choose(QComboBox *box, const QVariant &data)
{
    const int at = box->findData(data);
    QVERIFY2(at >= 0, qPrintable(data.toString()));
    box->setCurrentIndex(at);
}

QString withoutMnemonic(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\(&.\\)|&(?=.)")));
}

// Every word the window shows: titles, captions, buttons, menus, items, headers, tool tips.
QStringList shownTexts(StudioWindow &w)
{
    QStringList texts = {w.windowTitle(), w.fileView->placeholderText, w.progress->format()};
    for (QAction *a : w.findChildren<QAction *>())
        texts << withoutMnemonic(a->text());
    for (QMenu *m : w.findChildren<QMenu *>())
        texts << withoutMnemonic(m->title());
    for (QToolBar *t : w.findChildren<QToolBar *>())
        texts << t->windowTitle();
    for (QLabel *l : w.findChildren<QLabel *>())
        texts << l->text() << l->toolTip();
    for (QAbstractButton *b : w.findChildren<QAbstractButton *>())
        texts << withoutMnemonic(b->text()) << b->toolTip();
    for (QGroupBox *g : w.findChildren<QGroupBox *>())
        texts << g->title();
    for (QLineEdit *e : w.findChildren<QLineEdit *>())
        texts << e->toolTip();
    for (QComboBox *c : w.findChildren<QComboBox *>())
        for (int i = 0; i < c->count(); ++i)
            texts << c->itemText(i);
    for (QTabWidget *t : w.findChildren<QTabWidget *>())
        for (int i = 0; i < t->count(); ++i)
            texts << t->tabText(i);
    for (QAbstractItemModel *m : {static_cast<QAbstractItemModel *>(w.files), w.compare->table->model()}) {
        for (int c = 0; c < m->columnCount(); ++c)
            texts << m->headerData(c, Qt::Horizontal).toString();
        for (int r = 0; r < m->rowCount(); ++r)
            for (int c = 0; c < m->columnCount(); ++c)
                texts << m->data(m->index(r, c)).toString();
    }
    texts.removeAll(QString());
    return texts;
}

// The English texts that differ in Chinese, as patterns ("%1" stands for anything).
std::vector<QRegularExpression> englishOnlyTexts()
{
    std::vector<QRegularExpression> patterns;
    for (int i = 0; i < int(Texts::Id::Count); ++i) {
        const QString en = withoutMnemonic(Texts::text(Texts::Id(i), Texts::English));
        if (en == withoutMnemonic(Texts::text(Texts::Id(i), Texts::Chinese)))
            continue;
        QString pattern = QRegularExpression::escape(en);
        pattern.replace(QRegularExpression(QStringLiteral("%\\d")), QStringLiteral(".*"));
        patterns.emplace_back(QStringLiteral("^") + pattern + QStringLiteral("$"));
    }
    return patterns;
}

}

class TestStudio : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void folderConvertsAsTheCommandLine();
    void devicePresetConvertsAsTheCommandLine_data();
    void devicePresetConvertsAsTheCommandLine();
    void lossWarningsAndStrict_data();
    void lossWarningsAndStrict();
    void cancelLeavesOnlyWholeFiles_data();
    void cancelLeavesOnlyWholeFiles();
    void optionsFollowTheFormat_data();
    void optionsFollowTheFormat();
    void patternNames_data();
    void patternNames();
    void inspectAndCompare_data();
    void inspectAndCompare();
    void dropsAddFilesAndPictures();
    void languageSwitchRelabelsEveryWidget();
    void everyActionInAMenu();
    void settingsSurviveARestart();
    void aboutShowsTheVersion();
    void screenshots_data();
    void screenshots();

private:
    QString path(const QString &name) const { return dir->filePath(name); }
    void startWindow();
    void addAndRead(const QStringList &paths);
    void convertInto(const QString &out, bool waitForEnd = true);
    int rowOf(const QString &name) const;
    QString cell(int row, int column) const { return w->files->data(w->files->index(row, column)).toString(); }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<StudioWindow> w;
};

void TestStudio::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("LutwrightTests"));
    QCoreApplication::setApplicationName(QStringLiteral("Lutwright Studio"));
    QSettings::setDefaultFormat(QSettings::IniFormat);
}

void TestStudio::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    // Every case starts from no saved choices.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path(QStringLiteral("settings")));
    startWindow();
}

void TestStudio::cleanup()
{
    w.reset();
    dir.reset();
}

void TestStudio::startWindow()
{
    w = std::make_unique<StudioWindow>();
    w->showMessage = [](QWidget *, const QString &, const QString &text) { QFAIL(qPrintable(text)); };
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
}

void TestStudio::addAndRead(const QStringList &paths)
{
    QSignalSpy read(w.get(), &StudioWindow::readingFinished);
    w->addPaths(paths);
    QTRY_VERIFY_WITH_TIMEOUT(!read.isEmpty(), slow);
}

void TestStudio::convertInto(const QString &out, bool waitForEnd)
{
    w->panel->setFolder(out);
    QSignalSpy finished(w.get(), &StudioWindow::conversionFinished);
    QTest::mouseClick(w->convertButton, Qt::LeftButton);
    QVERIFY(w->isConverting());
    if (waitForEnd)
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), slow);
}

int TestStudio::rowOf(const QString &name) const
{
    for (int r = 0; r < w->files->rowCount(); ++r)
        if (QFileInfo(w->files->entry(r).path).fileName() == name)
            return r;
    return -1;
}

// A folder of mixed formats, unreadable files among them, converted to .spi3d at 33 points:
// every output has the command line's bytes, every failure and warning its words.
void TestStudio::folderConvertsAsTheCommandLine()
{
    const QString in = path(QStringLiteral("in"));
    copyTree(QStringLiteral(LUTWRIGHT_CORPUS), in);
    TestUtil::writeFile(in + QStringLiteral("/broken.cube"), "LUT_3D_SIZE 2\n0 0 0\n1 x 0\n");
    w->folderDialog = [&](QWidget *, const QString &, const QString &) { return in; };
    QSignalSpy read(w.get(), &StudioWindow::readingFinished);
    w->actions.addFolder->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!read.isEmpty(), slow);

    QVERIFY(w->files->rowCount() > 20);
    QCOMPARE(rowOf(QStringLiteral("LICENSE")), -1);
    for (const char *name : {"broken.cube", "error_truncated_file.3dl"}) {
        const int row = rowOf(QLatin1String(name));
        QVERIFY2(row >= 0, name);
        QCOMPARE(w->files->entry(row).state, FileEntry::Unreadable);
        QVERIFY2(cell(row, FileListModel::Details).contains(QLatin1String("line ")), qPrintable(cell(row, FileListModel::Details)));
    }
    const int clf = rowOf(QStringLiteral("lut3d_17x17x17_10i_12i.clf"));
    QCOMPARE(cell(clf, FileListModel::Name), QDir::toNativeSeparators(QStringLiteral("clf/lut3d_17x17x17_10i_12i.clf")));
    QCOMPARE(cell(clf, FileListModel::Sizes), QStringLiteral("3D 17"));

    choose(w->panel->formatBox, QStringLiteral("spi3d"));
    choose(w->panel->sizeBox, 33);
    const QString studioOut = path(QStringLiteral("studio"));
    convertInto(studioOut);

    QStringList inputs;
    for (int r = 0; r < w->files->rowCount(); ++r)
        inputs << w->files->entry(r).path;
    const QString cliOut = path(QStringLiteral("cli"));
    const CliTest::Run cli = CliTest::run(QStringList{"convert"} + inputs + QStringList{"-d", cliOut, "--to", "spi3d", "--size", "33"});
    QCOMPARE(cli.code, 1);

    const QStringList written = filesUnder(studioOut);
    QCOMPARE(written, filesUnder(cliOut));
    for (const QString &name : written)
        QVERIFY2(TestUtil::readFile(QDir(studioOut).filePath(name)) == TestUtil::readFile(QDir(cliOut).filePath(name)),
                 qPrintable(name));

    int done = 0, warned = 0, failed = 0;
    for (int r = 0; r < w->files->rowCount(); ++r) {
        const FileEntry &e = w->files->entry(r);
        const QString shown = QDir::toNativeSeparators(e.path);
        switch (e.state) {
        case FileEntry::Done:
            ++done;
            QVERIFY(QFileInfo::exists(e.output));
            break;
        case FileEntry::DoneWithWarning:
            ++warned;
            QVERIFY2(cli.err.contains(QStringLiteral(": warning: ") + e.outcome), qPrintable(e.outcome));
            QVERIFY(e.outcome.contains(QLatin1String("the largest difference is")));
            break;
        case FileEntry::Failed:
            ++failed;
            // Refusals are worded for each front end; everything else in the engine's words.
            QVERIFY2(e.outcome.startsWith(QLatin1String("the output ")) || cli.err.contains(shown + QStringLiteral(": ") + e.outcome),
                     qPrintable(shown + QStringLiteral(": ") + e.outcome));
            break;
        default:
            QFAIL(qPrintable(shown + QStringLiteral(" ends as ") + cell(r, FileListModel::State)));
        }
    }
    QCOMPARE(done + warned, written.size());
    QVERIFY(warned > 0);
    QVERIFY(failed >= 2);
    QVERIFY(!w->isConverting());
    QVERIFY(w->convertButton->isEnabled());
}

void TestStudio::devicePresetConvertsAsTheCommandLine_data()
{
    QTest::addColumn<bool>("commandLine");
    QTest::newRow("chosen in the Output panel") << false;
    QTest::newRow("given on the studio's command line") << true;
}

// A legal-range 33-point LUT for a 17-point full-range device, under a name the device does not
// take: the command line's bytes, its warnings on the row, the renamed output; the preset fixes
// the format and its sizes, and comes back after a restart.
void TestStudio::devicePresetConvertsAsTheCommandLine()
{
    QFETCH(bool, commandLine);
    // Outputs within the legal range, so that the full-range LUT made of it clips nothing.
    const QString in = CliTest::writeCube(path(QStringLiteral("day look.cube")), 33, [](float r, float g, float b, float *o) {
        o[0] = 0.1f + 0.8f * r * r;
        o[1] = 0.1f + 0.8f * g;
        o[2] = 0.1f + 0.4f * (b + r);
    });
    const QString studioOut = path(QStringLiteral("studio"));
    if (commandLine) {
        StudioCommandLine line;
        QCOMPARE(line.parse({"lutwright-studio", in, "--device", "varicam", "--range", "legal", "-d", studioOut}),
                 StudioCommandLine::Run);
        QSignalSpy finished(&line, &StudioCommandLine::finished);
        QVERIFY2(line.start(*w), qPrintable(line.error()));
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), slow);
        QCOMPARE(finished.first().first().toInt(), int(StudioCommandLine::Ok));
    } else {
        addAndRead({in});
        choose(w->panel->deviceBox, QStringLiteral("varicam"));
        choose(w->panel->rangeBox, QStringLiteral("legal"));
        QCOMPARE(QString::fromLatin1(w->panel->format()->name), QStringLiteral("vlt"));
        QVERIFY(!w->panel->formatBox->isEnabled() && w->panel->formatBox->isVisible());
        QCOMPARE(w->panel->sizeBox->count(), 2);   // Keep, 17
        convertInto(studioOut);
    }
    QVERIFY(QDir().mkpath(path(QStringLiteral("cli"))));
    const QString cliOut = path(QStringLiteral("cli/day look.vlt"));
    const CliTest::Run cli = CliTest::run({"convert", in, "--device", "varicam", "--range", "legal", "-o", cliOut});
    QVERIFY2(cli.code == 0, qPrintable(cli.err));
    QStringList warnings;
    for (const QString &line : cli.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        warnings << line.section(QStringLiteral(": warning: "), 1);

    const FileEntry &e = w->files->entry(0);
    QCOMPARE(e.state, FileEntry::DoneWithWarning);
    QCOMPARE(e.outcome, warnings.join(QStringLiteral("; ")));
    for (const char *change : {"the file name is changed to day_look.vlt", "its 33-point lattice is written at 17 points",
                               "from legal range to the full range"})
        QVERIFY2(e.outcome.contains(QLatin1String(change)), qPrintable(e.outcome));
    QCOMPARE(e.output, QDir(studioOut).filePath(QStringLiteral("day_look.vlt")));
    QCOMPARE(w->files->data(w->files->index(0, FileListModel::Details), Qt::ToolTipRole).toString(),
             QDir::toNativeSeparators(e.output) + QStringLiteral("\nwarning: ") + e.outcome);
    QCOMPARE(TestUtil::readFile(e.output), TestUtil::readFile(path(QStringLiteral("cli/day_look.vlt"))));

    QVERIFY(w->close());
    w.reset();
    startWindow();
    // Choices given on the command line are that run's alone.
    QCOMPARE(w->panel->device() != nullptr, !commandLine);
    QCOMPARE(w->panel->rangeBox->currentIndex(), commandLine ? 0 : 1);
}

void TestStudio::lossWarningsAndStrict_data()
{
    QTest::addColumn<bool>("strict");
    QTest::addColumn<int>("state");
    QTest::newRow("lossy: written with the loss") << false << int(FileEntry::DoneWithWarning);
    QTest::newRow("strict: not written") << true << int(FileEntry::Failed);
}

// Values above 1 written as integer .3dl samples are clipped: the row says what and how much.
void TestStudio::lossWarningsAndStrict()
{
    QFETCH(bool, strict);
    QFETCH(int, state);
    const QString in = CliTest::writeCube(path(QStringLiteral("bright.cube")), 5, brightLook);
    addAndRead({in});
    choose(w->panel->formatBox, QStringLiteral("3dl"));
    w->panel->strictBox->setChecked(strict);
    convertInto(path(QStringLiteral("out")));

    const FileEntry &e = w->files->entry(0);
    QCOMPARE(int(e.state), state);
    QVERIFY2(e.outcome.contains(QLatin1String("values outside 0 to 1 are clipped; the largest difference is 0.5")),
             qPrintable(e.outcome));
    QCOMPARE(e.outcome.startsWith(QLatin1String("not written (strict): ")), strict);
    QCOMPARE(QFileInfo::exists(path(QStringLiteral("out/bright.3dl"))), !strict);
    QCOMPARE(cell(0, FileListModel::State), strict ? QStringLiteral("Failed") : QStringLiteral("Done with a warning"));
}

void TestStudio::cancelLeavesOnlyWholeFiles_data()
{
    QTest::addColumn<bool>("closing");
    QTest::newRow("Cancel") << false;
    QTest::newRow("closing the window") << true;
}

// Cancelled after the first file is written, or the window closed then: the files being written
// finish, none starts, every output there is whole, and a closed window goes once they are done.
void TestStudio::cancelLeavesOnlyWholeFiles()
{
    QFETCH(bool, closing);
    const QString in = path(QStringLiteral("in"));
    QDir().mkpath(in);
    const QString first = CliTest::writeCube(in + QStringLiteral("/look000.cube"), 2, CliTest::identity3D);
    for (int i = 1; i < 150; ++i)
        QFile::copy(first, in + QStringLiteral("/look%1.cube").arg(i, 3, 10, QLatin1Char('0')));
    addAndRead({in});
    choose(w->panel->formatBox, QStringLiteral("cube"));
    choose(w->panel->sizeBox, 65);

    bool stopped = false;
    connect(w->files, &QAbstractItemModel::dataChanged, this, [&](const QModelIndex &from) {
        if (stopped || w->files->entry(from.row()).state != FileEntry::Done)
            return;
        stopped = true;
        if (closing)
            QVERIFY(!w->close());
        else
            QTest::mouseClick(w->cancelButton, Qt::LeftButton);
    });
    const QString out = path(QStringLiteral("out"));
    convertInto(out);
    QCOMPARE(w->isVisible(), !closing);

    int done = 0, notConverted = 0;
    for (int r = 0; r < w->files->rowCount(); ++r) {
        const FileEntry::State s = w->files->entry(r).state;
        QVERIFY2(s == FileEntry::Done || s == FileEntry::NotConverted, qPrintable(cell(r, FileListModel::State)));
        (s == FileEntry::Done ? done : notConverted) += 1;
    }
    QVERIFY(done >= 1);
    QVERIFY(notConverted > 0);
    const QStringList written = filesUnder(out);
    QCOMPARE(written.size(), done);
    for (const QString &name : written) {
        QVERIFY2(!name.startsWith(QLatin1Char('.')), qPrintable(name));
        LutTransform lut;
        QString why;
        QVERIFY2(LutIO::read(QDir(out).filePath(name), {}, LutIO::Orders(), lut, nullptr, &why), qPrintable(why));
        QCOMPARE(lut.latticeSize(), 65);
    }
    QVERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("%1 not converted").arg(notConverted)));
}

void TestStudio::optionsFollowTheFormat_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("sizes");      // the size box's items; "editable" when any size may be typed
    QTest::addColumn<bool>("length");
    QTest::addColumn<QString>("bits");
    QTest::addColumn<bool>("headerless");
    QTest::newRow(".cube: any size") << "cube" << "editable" << false << "" << false;
    QTest::newRow(".3dl: Mesh sizes, bits, headerless") << "3dl" << "Keep 2 3 5 9 17 33 65 129" << false
                                                        << "Default (12) 8 9 10 11 12 13 14 15 16" << true;
    QTest::newRow("texture: three sizes, 8 or 16 bits") << "texture" << "Keep 16 64 256" << false << "Default (8) 8 16" << false;
    QTest::newRow(".spi1d: a length") << "spi1d" << "" << true << "" << false;
    QTest::newRow("1D .lut: a fixed length") << "lut1d" << "" << false << "" << false;
}

// Options a format does not take are disabled, never hidden; the size box offers what it holds.
void TestStudio::optionsFollowTheFormat()
{
    QFETCH(QString, format);
    QFETCH(QString, sizes);
    QFETCH(bool, length);
    QFETCH(QString, bits);
    QFETCH(bool, headerless);
    OutputPanel *p = w->panel;
    choose(p->formatBox, format);
    for (QWidget *option : std::initializer_list<QWidget *>{p->sizeBox, p->lengthBox, p->bitsBox, p->headerlessBox})
        QVERIFY(option->isVisible());
    QCOMPARE(p->sizeBox->isEnabled(), !sizes.isEmpty());
    if (sizes == QLatin1String("editable")) {
        QVERIFY(p->sizeBox->isEditable());
    } else if (!sizes.isEmpty()) {
        QStringList items;
        for (int i = 0; i < p->sizeBox->count(); ++i)
            items << p->sizeBox->itemText(i);
        QCOMPARE(items.join(QLatin1Char(' ')), sizes);
    }
    QCOMPARE(p->lengthBox->isEnabled(), length);
    QCOMPARE(p->bitsBox->isEnabled(), !bits.isEmpty());
    if (!bits.isEmpty()) {
        QStringList items;
        for (int i = 0; i < p->bitsBox->count(); ++i)
            items << p->bitsBox->itemText(i);
        QCOMPARE(items.join(QLatin1Char(' ')), bits);
    }
    QCOMPARE(p->headerlessBox->isEnabled(), headerless);
    if (format == QLatin1String("lut1d"))
        QCOMPARE(p->lengthBox->currentText(), QStringLiteral("Always 256"));
    if (headerless) {
        // Headerless, a .3dl holds every size from 4 on: any may be typed.
        p->headerlessBox->setChecked(true);
        QVERIFY(p->sizeBox->isEditable());
    }
}

void TestStudio::patternNames_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::newRow("the command line's") << "{name}" << "" << "grade.spi3d";
    QTest::newRow("every field") << "{folder}/{format}/{name}_{ext}" << "day1" << "day1/spi3d/grade_cube.spi3d";
    QTest::newRow("no folder") << "{folder}/{name}" << "" << "grade.spi3d";
    QTest::newRow("dots inside names kept") << "./v1.2/{name}" << "" << "v1.2/grade.spi3d";
    QTest::newRow("leaving the folder") << "../{name}" << "" << "";
    QTest::newRow("absolute") << "/tmp/{name}" << "" << "";
    QTest::newRow("empty") << "  " << "" << "";
}

void TestStudio::patternNames()
{
    QFETCH(QString, pattern);
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QCOMPARE(Convert::patternName(pattern, QStringLiteral("/shots/grade.cube"), folder, *Formats::byName(QStringLiteral("spi3d"))),
             name);
}

void TestStudio::inspectAndCompare_data()
{
    QTest::addColumn<bool>("withOutput");
    QTest::newRow("another LUT") << false;
    QTest::newRow("the converted output") << true;
}

// The selected file drawn before and after on the chart; compare's numbers against another
// file, or against the file converted from it.
void TestStudio::inspectAndCompare()
{
    QFETCH(bool, withOutput);
    const QString in = QStringLiteral(LUTWRIGHT_CORPUS "/lustre_33x33x33.3dl");
    QSignalSpy drawn(w->preview, &PreviewView::drawn);
    addAndRead({in});
    QTRY_VERIFY_WITH_TIMEOUT(!drawn.isEmpty(), slow);
    const QImage drawing = w->preview->drawing();
    const Preview::Layout l = Preview::layout(drawing.size());
    QVERIFY(drawing.width() >= 640 && drawing.height() >= 360);
    QVERIFY(drawing.copy(l.before) != drawing.copy(l.after));

    QString other = path(QStringLiteral("other.cube"));
    if (withOutput) {
        choose(w->panel->formatBox, QStringLiteral("cube"));
        choose(w->panel->sizeBox, 17);
        convertInto(path(QStringLiteral("out")));
        other = path(QStringLiteral("out/lustre_33x33x33.cube"));
    } else {
        CliTest::writeCube(other, 9, brightLook);
        w->openFileDialog = [&](QWidget *, const QString &, const QString &, const QString &) { return other; };
    }
    QSignalSpy shown(w.get(), &StudioWindow::comparisonShown);
    (withOutput ? w->actions.compareOutput : w->actions.compareWith)->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), slow);
    QCOMPARE(w->inspector->currentWidget(), w->compare);

    const CliTest::Run cli = CliTest::run({"compare", in, other});
    for (int c = 0; c < 3; ++c) {
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("%1  largest (\\S+) .*mean (\\S+), 99th percentile (\\S+)\\n   at input ([^:]+):")
                                                                 .arg(QLatin1Char("RGB"[c])))
                                              .match(cli.out);
        QVERIFY2(m.hasMatch(), qPrintable(cli.out));
        const QTableWidget *t = w->compare->table;
        QCOMPARE(t->item(c, 0)->text(), m.captured(1));
        QCOMPARE(t->item(c, 3)->text(), m.captured(2));
        QCOMPARE(t->item(c, 4)->text(), m.captured(3));
        QCOMPARE(t->item(c, 5)->text(), m.captured(4));
    }
}

// Files and folders dropped on the window join the list; a picture dropped on the preview is
// graded instead of the chart.
void TestStudio::dropsAddFilesAndPictures()
{
    auto drop = [](QWidget *target, const QString &file) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(file)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent event(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    };
    QSignalSpy read(w.get(), &StudioWindow::readingFinished);
    drop(w.get(), QStringLiteral(LUTWRIGHT_CORPUS "/clf"));
    QTRY_VERIFY_WITH_TIMEOUT(!read.isEmpty(), slow);
    QCOMPARE(w->files->rowCount(), 13);

    QImage picture(320, 200, QImage::Format_RGB32);
    picture.fill(QColor(200, 120, 60));
    const QString still = path(QStringLiteral("still.png"));
    QVERIFY(picture.save(still));
    // The middle of the "before" side shows the picture's colour, then the chart's again.
    auto beforeShows = [this](double aspect) {
        const QImage &d = w->preview->drawing();
        return d.isNull() ? QColor() : d.pixelColor(Preview::layout(d.size(), aspect).before.center());
    };
    drop(w->preview, still);
    QTRY_COMPARE_WITH_TIMEOUT(beforeShows(320.0 / 200.0), QColor(200, 120, 60), slow);
    w->actions.useChart->trigger();
    QVERIFY(!w->preview->hasPicture());
    QTRY_VERIFY_WITH_TIMEOUT(beforeShows(0.0).isValid() && beforeShows(0.0) != QColor(200, 120, 60), slow);
}

// Every word of the window follows the language, and comes back when switched back.
void TestStudio::languageSwitchRelabelsEveryWidget()
{
    addAndRead({QStringLiteral(LUTWRIGHT_CORPUS "/iridas_3d.cube")});
    const QStringList english = shownTexts(*w);
    const std::vector<QRegularExpression> englishOnly = englishOnlyTexts();
    int translatable = 0;
    for (const QString &text : english)
        translatable += std::any_of(englishOnly.begin(), englishOnly.end(), [&](const QRegularExpression &p) { return p.match(text).hasMatch(); });
    QVERIFY2(translatable > 50, qPrintable(QString::number(translatable)));

    w->languageBox->setCurrentIndex(1);
    for (const QString &text : shownTexts(*w))
        for (const QRegularExpression &p : englishOnly)
            QVERIFY2(!p.match(text).hasMatch(), qPrintable(text));
    QVERIFY(w->actions.chinese->isChecked());

    w->actions.english->trigger();
    QCOMPARE(shownTexts(*w), english);
    QCOMPARE(w->languageBox->currentIndex(), 0);
}

// Every action is in a menu, so that the keyboard reaches it through the menu bar.
void TestStudio::everyActionInAMenu()
{
    QSet<QAction *> inMenus;
    for (QMenu *m : w->menuBar()->findChildren<QMenu *>())
        for (QAction *a : m->actions())
            inMenus.insert(a);
    for (QAction *a : w->findChildren<QAction *>()) {
        if (a->isSeparator() || a->menu() || a->objectName().isEmpty())
            continue;
        QVERIFY2(inMenus.contains(a), qPrintable(a->objectName()));
    }
}

// The choices, the language and the window's layout come back after a restart.
void TestStudio::settingsSurviveARestart()
{
    auto snapshot = [this]() {
        OutputPanel *p = w->panel;
        QStringList s;
        for (QComboBox *box : {p->readAsBox, p->inDataBox, p->inTableBox, p->formatBox, p->sizeBox, p->lengthBox,
                               p->bitsBox, p->outDataBox, p->outTableBox, w->languageBox})
            s << box->currentText();
        s << QString::number(p->headerlessBox->isChecked()) << QString::number(p->strictBox->isChecked()) << p->folderEdit->text()
          << p->patternEdit->text();
        return s;
    };
    const QStringList defaults = snapshot();
    OutputPanel *p = w->panel;
    choose(p->readAsBox, QStringLiteral("cube"));
    choose(p->inDataBox, QStringLiteral("bgr"));
    choose(p->formatBox, QStringLiteral("3dl"));
    p->headerlessBox->setChecked(true);
    p->sizeBox->setEditText(QStringLiteral("48"));
    choose(p->bitsBox, 10);
    choose(p->outTableBox, QStringLiteral("bgr"));
    p->strictBox->setChecked(true);
    p->setFolder(path(QStringLiteral("deliver")));
    p->patternEdit->setText(QStringLiteral("{name}_graded"));
    w->languageBox->setCurrentIndex(1);
    const QStringList chosen = snapshot();
    QVERIFY(chosen != defaults);

    QVERIFY(w->close());
    w.reset();
    startWindow();
    QCOMPARE(snapshot(), chosen);
    QCOMPARE(w->language(), Texts::Chinese);
    Convert::Settings s;
    QString error;
    QVERIFY(w->panel->conversion(s, &error));
    QCOMPARE(s.shape.size3D, 48);
    QCOMPARE(s.options.bits, 10);
    QVERIFY(s.options.headerless && s.strict && s.outOrders.table.given && !s.outOrders.table.rgb);
}

void TestStudio::aboutShowsTheVersion()
{
    QString shown;
    w->showAbout = [&](QWidget *, const QString &, const QString &text) { shown = text; };
    w->actions.about->trigger();
    QVERIFY2(shown.contains(QStringLiteral("Lutwright Studio " LUTWRIGHT_VERSION)), qPrintable(shown));
}

void TestStudio::screenshots_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("file");
    QTest::newRow("English") << int(Texts::English) << "studio-en.png";
    QTest::newRow("Chinese") << int(Texts::Chinese) << "studio-zh.png";
}

// The corpus converted to .cube at 33 points, a LUT on the preview. With
// LUTWRIGHT_SCREENSHOT_DIR set the pictures are kept for the documentation.
void TestStudio::screenshots()
{
    QFETCH(int, language);
    QFETCH(QString, file);
    w->setLanguage(Texts::Language(language));
    w->resize(1600, 900);
    const QString in = path(QStringLiteral("corpus"));
    copyTree(QStringLiteral(LUTWRIGHT_CORPUS), in);
    addAndRead({in});
    choose(w->panel->formatBox, QStringLiteral("cube"));
    choose(w->panel->sizeBox, 33);
    convertInto(path(QStringLiteral("deliver/cube-33")));
    QSignalSpy drawn(w->preview, &PreviewView::drawn);
    w->fileView->selectRow(rowOf(QStringLiteral("lustre_33x33x33.3dl")));
    QTRY_VERIFY_WITH_TIMEOUT(!drawn.isEmpty(), slow);
    const QImage image = w->grab().toImage();
    QCOMPARE(image.size() / image.devicePixelRatio(), w->size());
    const QString out = qEnvironmentVariable("LUTWRIGHT_SCREENSHOT_DIR");
    if (!out.isEmpty())
        QVERIFY(image.save(QDir(out).filePath(file)));
}

#if defined(__SANITIZE_ADDRESS__)
// The offscreen platform plugin never frees its screen at exit; what hangs off the screen goes
// with it. The studio's own allocations stay reported.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n"
           "leak:QScreen::QScreen\n";
}
#endif

QTEST_MAIN(TestStudio)
#include "tst_studio.moc"
