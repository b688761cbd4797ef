#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWindow>

#include <cstdlib>
#include <cstring>

#include "app/mainform.h"
#include "core/process.h"

namespace {

// VELLORA_EXIT_WHEN_SHOWN=1 ends the program as soon as its window is first
// on the screen, so that bench/startup_time.sh can time the start-up.
class TExitWhenShown : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = qobject_cast<QWindow*>(watched);
        if (event->type() == QEvent::Expose && window && window->isExposed())
            // After this expose has been painted.
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        return false;
    }
};

}  // namespace

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
    const char* exitWhenShown = std::getenv("VELLORA_EXIT_WHEN_SHOWN");
    TExitWhenShown watch;
    if (exitWhenShown && std::strcmp(exitWhenShown, "1") == 0 && form.windowHandle()) {
        if (form.windowHandle()->isExposed())
            QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
        else
            form.windowHandle()->installEventFilter(&watch);
    }
    return QApplication::exec();
}
