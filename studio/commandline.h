#ifndef STUDIO_COMMANDLINE_H
#define STUDIO_COMMANDLINE_H

#include <QCommandLineParser>
#include <QObject>
#include <QStringList>

class StudioWindow;

// What the studio's command line asks for: files and folders to add, output choices for this
// run, and an unattended run that converts every file into a folder, keeps a picture of the
// window, and quits with the outcome as its exit status.
class StudioCommandLine : public QObject
{
    Q_OBJECT
public:
    enum Status {
        Ok = 0,          // every file was written (or nothing was asked but pictures)
        SomeFailed = 1,  // a file was not written, or the picture could not be saved
        Usage = 2,       // the command line is wrong
    };
    enum Parsed { Run, Help, Version, Wrong };

    StudioCommandLine();

    // The program's arguments, the program's name first.
    Parsed parse(const QStringList &arguments);
    QString error() const { return error_; }
    QCommandLineParser &parser() { return parser_; }

    // Add the files and apply the choices to `window` (which then does not save them: they are
    // for this run). False with error() when a choice is not one the window offers. With
    // --dir or --screenshot, finished() follows once the run is over.
    bool start(StudioWindow &window);
    bool unattended() const { return !dir_.isEmpty() || !screenshot_.isEmpty(); }

signals:
    void finished(int status);

private:
    void filesRead();
    void converted();
    void takePicture();
    void end();

    QCommandLineParser parser_;
    QString error_;
    QStringList paths_;
    QString dir_;
    QString screenshot_;
    StudioWindow *window_ = nullptr;
    int status_ = Ok;
    bool read_ = false;
    bool ended_ = false;
};

#endif
