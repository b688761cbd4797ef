#include <QApplication>

#include <csignal>

#include "app/mainform.h"

int main(int argc, char* argv[]) {
    // Past a file-size limit a save then fails with "File too large" and is
    // reported, instead of the signal ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellora 1.0"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vellora"));
    TMainForm form;
    form.show();
    return QApplication::exec();
}
