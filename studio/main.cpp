#include <QApplication>
#include <QLoggingCategory>

#include <cstdio>

#include "studio/commandline.h"
#include "studio/studiowindow.h"

int main(int argc, char *argv[])
{
    // Sizes follow the screen's scale, and pictures are drawn at its full resolution.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Lutwright"));
    QApplication::setOrganizationDomain(QStringLiteral("lutwright.org"));
    QApplication::setApplicationName(QStringLiteral("Lutwright Studio"));
    QApplication::setApplicationVersion(QStringLiteral(LUTWRIGHT_VERSION));
    // The readers' diagnostic output is for developers.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    StudioCommandLine line;
    switch (line.parse(QApplication::arguments())) {
    case StudioCommandLine::Help:
        line.parser().showHelp(StudioCommandLine::Ok);
    case StudioCommandLine::Version:
        line.parser().showVersion();
    case StudioCommandLine::Wrong:
        std::fprintf(stderr, "lutwright-studio: %s (see --help)\n", qPrintable(line.error()));
        return StudioCommandLine::Usage;
    case StudioCommandLine::Run:
        break;
    }
    StudioWindow window;
    window.show();
    // Files and folders named on the command line are added, as a drop would add them.
    QObject::connect(&line, &StudioCommandLine::finished, &app, [](int status) { QApplication::exit(status); });
    if (!line.start(window)) {
        std::fprintf(stderr, "lutwright-studio: %s (see --help)\n", qPrintable(line.error()));
        return StudioCommandLine::Usage;
    }
    return app.exec();
}
