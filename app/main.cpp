#include <QApplication>
#include <QLabel>

// Placeholder start-up until the main window lands: shows the program's name.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Lutwright"));
    label.resize(1000, 480);
    label.show();
    return app.exec();
}
