// The yardstick for the start-up benchmark: the least a Qt Widgets program
// does to show one window.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Trivial"));
    window.resize(222, 21);
    window.show();
    return app.exec();
}
