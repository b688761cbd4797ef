// What a desktop program is expected to do beyond the pages themselves: the
// notes on pictures a project is missing, standard keys, tooltips,
// remembered settings, files given on the command line or dropped.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <initializer_list>

#include "app/mainform.h"
#include "controls/bitbtnxp.h"
#include "controls/imagebtn.h"
#include "controls/spinedit.h"
#include "controls/tintacolorcombobox.h"
#include "controls/zoompane.h"
#include "core/printable.h"

namespace {

// A red note in the open-button strip of a picture part.
QLabel* MissingLabel(const QString& name, QWidget* strip) {
    auto* label = new QLabel(strip);
    label->setObjectName(name);
    label->setStyleSheet(QStringLiteral("color: #b00000;"));
    label->setGeometry(250, 8, 2000, 25);
    label->hide();
    return label;
}

// Keys that act on the window rather than on the focused control: Space
// plays and stops on the "Morphing" page, and the picture buttons of the
// bottom bar take Space and Enter like push buttons.
class TDesktopKeys : public QObject {
public:
    explicit TDesktopKeys(TMainForm& form) : QObject(&form), form_(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->window() != &form_ || key->modifiers() != Qt::NoModifier) return false;
        const bool activate = key->key() == Qt::Key_Space || key->key() == Qt::Key_Return ||
                              key->key() == Qt::Key_Enter;
        if (activate && (widget == form_.ueberbtn || widget == form_.endebtn)) {
            emit static_cast<TImageBtn*>(widget)->clicked();
            return true;
        }
        if (key->key() != Qt::Key_Space || form_.PageControl2->currentIndex() != 2 ||
            !form_.TabSheet3->isAncestorOf(widget))
            return false;
        // Typing and the colour list keep their Space; the other buttons of
        // the page take it as a press; everywhere else it plays or stops.
        if (qobject_cast<QComboBox*>(widget) || qobject_cast<QAbstractSpinBox*>(widget) ||
            qobject_cast<QAbstractSpinBox*>(widget->parentWidget()))
            return false;
        auto* button = qobject_cast<QAbstractButton*>(widget);
        if (button && button != form_.PlayBtn && button != form_.StopBtn) return false;
        if (key->isAutoRepeat()) return true;
        if (form_.Timer1->isActive())
            form_.StopBtnClick();
        else
            form_.PlayBtnClick();
        return true;
    }

private:
    TMainForm& form_;
};

void Chain(std::initializer_list<QWidget*> widgets) {
    QWidget* previous = nullptr;
    for (QWidget* w : widgets) {
        if (previous) QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

}  // namespace

void TMainForm::SetUpDesktop() {
    Missing1Label = MissingLabel(QStringLiteral("Missing1Label"), PicOpenBtn1->parentWidget());
    Missing2Label = MissingLabel(QStringLiteral("Missing2Label"), PicOpenBtn2->parentWidget());
    SetUpKeys();
}

void TMainForm::SetUpKeys() {
    // The document strip uses the Ctrl keys; Alt+N is "&Next object"'s.
    NewBtn->setText(QStringLiteral("New"));
    const auto shortcut = [this](QKeySequence keys, auto action) {
        auto* s = new QShortcut(keys, this);
        connect(s, &QShortcut::activated, this, action);
        return s;
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_N), [this] { NewBtnClick(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), [this] { OpenBtnClick(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_S), [this] { SaveBtnClick(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { SaveAsBtnClick(); });
    // Through the close request, so the quit question is asked.
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { EndeBtnClick(); });
    shortcut(QKeySequence(Qt::Key_F1), [this] { wwwBtnClick(); });
    qApp->installEventFilter(new TDesktopKeys(*this));

    // The hints of the strip and the bottom bar are kept as they are, with
    // the key added; the tool buttons already name theirs.
    const auto tip = [](QWidget* w, const QString& text) { w->setToolTip(text); };
    tip(NewBtn, QStringLiteral("Create new file (Ctrl+N)"));
    tip(OpenBtn, QStringLiteral("Open file... (Ctrl+O)"));
    tip(SaveBtn, QStringLiteral("Save file (Ctrl+S)"));
    tip(SaveAsBtn, QStringLiteral("Save file as... (Ctrl+Shift+S)"));
    tip(UndoBtn, QStringLiteral("Undo the last change of the areas (Ctrl+Z)"));
    tip(RedoBtn, QStringLiteral("Redo the change (Ctrl+Y, Ctrl+Shift+Z)"));
    tip(PicOpenBtn1, QStringLiteral("Load picture 1, the start picture, from a file"));
    tip(PicOpenBtn2, QStringLiteral("Load picture 2, the end picture, from a file"));
    for (TSpinEdit* zoom : {Zoom1Ed, Zoom2Ed, Zoom3Ed, Zoom4Ed, Zoom5Ed})
        tip(zoom, QStringLiteral("Zoom of the picture in percent, 10 to 300 (Up, Down)"));
    tip(DelObjBtn, QStringLiteral("Delete the current pair of areas (Alt+D, Del)"));
    tip(PrevBtn, QStringLiteral("Select the previous pair of areas (Alt+P)"));
    tip(NextBtn, QStringLiteral("Select the next pair of areas (Alt+N)"));
    tip(MatchBtn, QStringLiteral("Find the current area in the other picture (Alt+M, M)"));
    tip(TimeEd, QStringLiteral("Length of the sequence in seconds, 1 to 10000 (Up, Down)"));
    tip(PPSEd, QStringLiteral("Pictures per second, 1 to 100 (Up, Down)"));
    tip(PicEd, QStringLiteral("The picture shown, 1 to the number of pictures (Up, Down)"));
    tip(BkColor, QStringLiteral("Colour where neither picture lies"));
    tip(PlayBtn, QStringLiteral("Play the sequence (Space)"));
    tip(StopBtn, QStringLiteral("Stop playing; when stopped, go back to picture 1 (Space)"));
    tip(SavePicBtn, QStringLiteral("Save the picture shown as a file"));
    tip(SaveAVIBtn, QStringLiteral("Save the whole sequence as a video or as numbered pictures"));
    tip(wwwBtn, QStringLiteral("Open the user guide (F1)"));
    tip(ueberbtn, QStringLiteral("Information about the program"));
    tip(endebtn, QStringLiteral("Hereby you leave the program (Ctrl+Q)"));

    // Every control can be reached with Tab, page by page, then the bottom bar.
    for (QWidget* w : {static_cast<QWidget*>(ueberbtn), static_cast<QWidget*>(endebtn),
                       static_cast<QWidget*>(wwwBtn)})
        w->setFocusPolicy(Qt::StrongFocus);
    Chain({NewBtn,
           OpenBtn,
           SaveBtn,
           SaveAsBtn,
           UndoBtn,
           RedoBtn,
           PageControl2->tabBar(),
           PicOpenBtn1,
           Zoom1Ed,
           ScrollBox1,
           PicOpenBtn2,
           Zoom2Ed,
           ScrollBox2,
           SpeedPointer,
           SpeedZoom,
           SpeedHand,
           SpeedRect,
           Zoom3Ed,
           ScrollBox3,
           Zoom4Ed,
           ScrollBox4,
           DelObjBtn,
           PrevBtn,
           NextBtn,
           MatchBtn,
           TimeEd,
           PPSEd,
           PicEd,
           Zoom5Ed,
           BkColor,
           PlayBtn,
           StopBtn,
           SavePicBtn,
           SaveAVIBtn,
           ScrollBox5,
           wwwBtn,
           ueberbtn,
           endebtn});
}

void TMainForm::ShowMissingPictures() {
    if (!Missing1Label) return;
    const auto show = [](QLabel* label, const core::TMissingPicture& missing) {
        if (missing.storedName.empty()) {
            label->clear();
            label->hide();
            return;
        }
        const std::string full = core::ResolveStoredName(missing.project, missing.storedName);
        label->setText(QStringLiteral("Missing: ") +
                       QString::fromStdString(core::PrintableText(full)));
        label->setToolTip(
            QStringLiteral("The project names this picture, but it could not be "
                           "loaded. Save keeps its name; open the picture from its "
                           "new place to replace it."));
        label->show();
    };
    show(Missing1Label, Pic1Missing);
    show(Missing2Label, Pic2Missing);
}
