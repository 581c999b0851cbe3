// A stand-in chat window for the end-to-end tests: one text box whose text
// is written to a file (the first argument) whenever it changes, so a test
// reads what was typed or pasted into it. The second argument is the title.
#include <QApplication>
#include <QLineEdit>
#include <QSaveFile>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString file = QString::fromLocal8Bit(argv[1]);
    const auto save = [file](const QString& text) {
        QSaveFile out(file);
        if (out.open(QIODevice::WriteOnly)) {
            out.write(text.toUtf8());
            out.commit();
        }
    };
    QWidget window;
    window.setWindowTitle(QString::fromLocal8Bit(argv[2]));
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit(&window);
    layout->addWidget(edit);
    QObject::connect(edit, &QLineEdit::textChanged, save);
    save(QString());
    window.resize(400, 60);
    window.show();
    return app.exec();
}
