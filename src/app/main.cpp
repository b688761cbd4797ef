#include <QApplication>

#include "app/mainform.h"
#include "core/process.h"

int main(int argc, char* argv[]) {
    core::PrepareProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellora 1.0"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vellora"));
    TMainForm form;
    form.show();
    return QApplication::exec();
}
