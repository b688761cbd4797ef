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
    // vellora PROJECT.mor opens the project, vellora PICTURE1 PICTURE2 loads
    // the pictures (a file manager passes what the user opened with it).
    const QStringList files = QApplication::arguments().mid(1);
    if (!files.isEmpty()) form.OpenOutsideFiles(files, false);
    return QApplication::exec();
}
