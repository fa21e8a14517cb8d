// Starts the editor: one main window, and the WAV file named on the command
// line, if any, opened into the document.

#include "doc/COndrelDoc.h"
#include "frame/CCurrentFormat.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QString>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ondrel"));

    CCurrentFormat format;
    COndrelDoc doc(format);
    QMainWindow window;
    window.resize(800, 500);
    QString name = QStringLiteral("無題");

    const QStringList args = QApplication::arguments();
    if (args.size() > 1) {
        const std::string path = args[1].toStdString();
        if (doc.OnOpenDocument(path)) {
            doc.SetPathName(path);
            name = QString::fromStdString(doc.GetTitle());
        } else {
            QMessageBox::warning(&window, QStringLiteral("Ondrel"),
                                 QStringLiteral("ﾄﾞｷｭﾒﾝﾄを開くことに失敗しました。\n") +
                                     QString::fromStdString(doc.GetError()));
        }
    }
    window.setWindowTitle(QStringLiteral("Ondrel - ") + name);
    window.show();
    return app.exec();
}
