#include "studio/commandline.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

#include "engine/cliformats.h"
#include "engine/devices.h"
#include "lut/lutlimits.h"
#include "studio/filelist.h"
#include "studio/outputpanel.h"
#include "studio/previewview.h"
#include "studio/studiowindow.h"

namespace {

// How long a picture waits for the preview's drawing before the window is taken as it is.
constexpr int drawingWait = 30000;

void say(const QString &text)
{
    std::fputs(qPrintable(QStringLiteral("lutwright-studio: %1\n").arg(text)), stderr);
    std::fflush(stderr);
}

const QCommandLineOption toOption(QStringLiteral("to"), QStringLiteral("Output format for this run, as lutwright-cli convert --to takes it."),
                                  QStringLiteral("FORMAT"));
const QCommandLineOption sizeOption(QStringLiteral("size"), QStringLiteral("Lattice size for this run."), QStringLiteral("N"));
const QCommandLineOption deviceOption(QStringLiteral("device"),
                                      QStringLiteral("Device preset for this run (see lutwright-cli devices)."), QStringLiteral("NAME"));
const QCommandLineOption rangeOption(QStringLiteral("range"),
                                     QStringLiteral("With --device: the range the inputs were made for, full or legal."),
                                     QStringLiteral("RANGE"));
const QCommandLineOption dirOption(QStringList{QStringLiteral("d"), QStringLiteral("dir")},
                                   QStringLiteral("Convert every file into DIR, then quit: exit status 0 when every file was "
                                                  "written, 1 when one was not."),
                                   QStringLiteral("DIR"));
const QCommandLineOption screenshotOption(QStringLiteral("screenshot"),
                                          QStringLiteral("Save a picture of the window as FILE (PNG) once the files are "
                                                         "read, or converted with --dir, then quit."),
                                          QStringLiteral("FILE"));

}

StudioCommandLine::StudioCommandLine()
{
    parser_.setApplicationDescription(
        QStringLiteral("Lutwright Studio: converts colour look-up tables between formats, shows what they do and "
                       "compares them.\nChoices given here are for this run; the saved ones stay as they are."));
    parser_.addHelpOption();
    parser_.addVersionOption();
    parser_.addPositionalArgument(QStringLiteral("paths"),
                                  QStringLiteral("LUT files, and folders searched for every readable format, to add to the list."),
                                  QStringLiteral("[FOLDER | FILE]..."));
    parser_.addOptions({toOption, sizeOption, deviceOption, rangeOption, dirOption, screenshotOption});
}

StudioCommandLine::Parsed StudioCommandLine::parse(const QStringList &arguments)
{
    if (!parser_.parse(arguments)) {
        error_ = parser_.errorText();
        return Wrong;
    }
    if (parser_.isSet(QStringLiteral("help")))
        return Help;
    if (parser_.isSet(QStringLiteral("version")))
        return Version;
    if (parser_.isSet(toOption) && !CliFormats::writable(CliFormats::named(parser_.value(toOption)))) {
        error_ = QStringLiteral("%1 files cannot be written (see 'lutwright-cli formats')").arg(parser_.value(toOption));
        return Wrong;
    }
    if (parser_.isSet(deviceOption) && !Devices::byName(parser_.value(deviceOption))) {
        error_ = QStringLiteral("unknown device '%1' (see 'lutwright-cli devices')").arg(parser_.value(deviceOption));
        return Wrong;
    }
    if (parser_.isSet(deviceOption) && parser_.isSet(toOption)) {
        error_ = QStringLiteral("--device %1 writes its own format; leave out --to").arg(parser_.value(deviceOption));
        return Wrong;
    }
    Devices::Range range;
    if (parser_.isSet(rangeOption) && (!parser_.isSet(deviceOption) || !Devices::parseRange(parser_.value(rangeOption), &range))) {
        error_ = QStringLiteral("--range goes with --device and is full or legal");
        return Wrong;
    }
    bool ok = true;
    const int size = parser_.value(sizeOption).toInt(&ok);
    if (parser_.isSet(sizeOption) && (!ok || size < 2 || size > LutLimits::max3DSize)) {
        error_ = QStringLiteral("--size must be a number from 2 to %1, not '%2'").arg(LutLimits::max3DSize).arg(parser_.value(sizeOption));
        return Wrong;
    }
    paths_ = parser_.positionalArguments();
    dir_ = parser_.value(dirOption);
    screenshot_ = parser_.value(screenshotOption);
    if (!dir_.isEmpty() && paths_.isEmpty()) {
        error_ = QStringLiteral("--dir converts the files and folders given; none is given");
        return Wrong;
    }
    return Run;
}

bool StudioCommandLine::start(StudioWindow &window)
{
    window_ = &window;
    OutputPanel *panel = window.panel;
    const bool choices = parser_.isSet(toOption) || parser_.isSet(sizeOption) || parser_.isSet(deviceOption)
        || parser_.isSet(rangeOption) || !dir_.isEmpty();
    if (choices)
        window.savesSettings = false;
    if (parser_.isSet(deviceOption))
        panel->setDevice(parser_.value(deviceOption));
    if (parser_.isSet(rangeOption))
        panel->rangeBox->setCurrentIndex(panel->rangeBox->findData(parser_.value(rangeOption).toLower()));
    if (parser_.isSet(toOption)) {
        const Formats::Format *f = CliFormats::writable(CliFormats::named(parser_.value(toOption)));
        panel->formatBox->setCurrentIndex(panel->formatBox->findData(QString::fromLatin1(f->name)));
    }
    if (parser_.isSet(sizeOption)) {
        const int size = parser_.value(sizeOption).toInt();
        const int at = panel->sizeBox->findData(size);
        if (at >= 0)
            panel->sizeBox->setCurrentIndex(at);
        else if (panel->sizeBox->isEditable())
            panel->sizeBox->setEditText(QString::number(size));
        if (at < 0 && !panel->sizeBox->isEditable()) {
            error_ = QStringLiteral("--size %1 is not a size %2 takes").arg(size).arg(panel->formatBox->currentText());
            return false;
        }
    }
    if (!dir_.isEmpty())
        panel->setFolder(QDir(dir_).absolutePath());
    Convert::Settings settings;
    if (choices && !panel->conversion(settings, &error_))
        return false;

    if (unattended()) {
        // Nothing may wait for an answer: what the window would ask ends the run.
        window.showMessage = [this](QWidget *, const QString &, const QString &text) {
            say(text);
            status_ = SomeFailed;
            QTimer::singleShot(0, this, &StudioCommandLine::end);
        };
        connect(&window, &StudioWindow::conversionFinished, this, &StudioCommandLine::converted);
        if (paths_.isEmpty())
            QTimer::singleShot(0, this, &StudioCommandLine::filesRead);
        else
            connect(&window, &StudioWindow::readingFinished, this, &StudioCommandLine::filesRead);
    }
    window.addPaths(paths_);
    return true;
}

void StudioCommandLine::filesRead()
{
    // Once: a later reading (of files added by hand) starts nothing.
    if (read_ || ended_)
        return;
    read_ = true;
    if (dir_.isEmpty()) {
        takePicture();
        return;
    }
    window_->actions.convert->trigger();
    if (!window_->isConverting() && !ended_) {
        status_ = SomeFailed;
        end();
    }
}

void StudioCommandLine::converted()
{
    if (ended_)
        return;
    const FileListModel *files = window_->files;
    for (int r = 0; r < files->rowCount(); ++r) {
        const FileEntry &e = files->entry(r);
        if (e.state == FileEntry::Done)
            continue;
        // What a written file lost is said as the command line says it.
        if (e.state == FileEntry::DoneWithWarning) {
            for (const QString &line : e.outcome.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                say(QStringLiteral("%1: warning: %2").arg(QDir::toNativeSeparators(e.output), line));
            continue;
        }
        status_ = SomeFailed;
        say(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(e.path), files->detailsText(r)));
    }
    takePicture();
}

void StudioCommandLine::takePicture()
{
    if (screenshot_.isEmpty()) {
        end();
        return;
    }
    auto grab = [this]() {
        if (ended_)
            return;
        QDir().mkpath(QFileInfo(screenshot_).absolutePath());
        if (!window_->grab().toImage().save(screenshot_, "PNG")) {
            say(QStringLiteral("%1: the picture cannot be saved").arg(QDir::toNativeSeparators(screenshot_)));
            status_ = SomeFailed;
        }
        end();
    };
    // The picture shows the current file's drawing once it is made.
    const QModelIndex current = window_->fileView->currentIndex();
    if (!current.isValid() || !window_->files->entry(current.row()).summary.readable) {
        grab();
        return;
    }
    connect(window_->preview, &PreviewView::drawn, this, grab);
    QTimer::singleShot(drawingWait, this, grab);
    window_->preview->redraw();
}

void StudioCommandLine::end()
{
    if (ended_)
        return;
    ended_ = true;
    emit finished(status_);
}
