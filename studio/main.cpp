#include <QApplication>
#include <QLoggingCategory>

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
    StudioWindow window;
    window.show();
    // Files and folders named on the command line are added, as a drop would add them.
    window.addPaths(QApplication::arguments().mid(1));
    return app.exec();
}
