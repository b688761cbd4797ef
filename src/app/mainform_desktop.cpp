// What a desktop program is expected to do beyond the pages themselves: the
// notes on pictures a project is missing, standard keys, tooltips,
// remembered settings, files given on the command line or dropped.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <initializer_list>

#include "app/liveview.h"
#include "app/mainform.h"
#include "app/outsidefiles.h"
#include "app/settings.h"
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

// Hands every question and dialog to the prompter it wraps; the file dialogs
// all start in the folder the user chose something in last, and remember it
// for the next one and the next run.
class TFolderPrompter : public TPrompter {
public:
    TFolderPrompter(std::unique_ptr<TPrompter> inner, TDesktopSettings& settings)
        : inner_(std::move(inner)), settings_(settings) {}

    bool Message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                 Buttons buttons) override {
        return inner_->Message(parent, text, caption, icon, buttons);
    }
    bool Execute(QWidget* parent, TFileDialog& dlg) override {
        const QString last = settings_.LastFolder();
        if (!last.isEmpty()) {
            dlg.initialDir = last;
            // A save dialog offers its last name again, in that folder.
            if (!dlg.fileName.isEmpty() &&
                QFileInfo(dlg.fileName).absolutePath() != QDir(last).absolutePath())
                dlg.fileName =
                    dlg.save ? QDir(last).filePath(QFileInfo(dlg.fileName).fileName()) : QString();
        }
        if (!inner_->Execute(parent, dlg)) return false;
        settings_.SetLastFolder(QFileInfo(dlg.fileName).absolutePath());
        settings_.Sync();
        return true;
    }
    std::optional<QColor> ChooseColor(QWidget* parent, QColor initial) override {
        return inner_->ChooseColor(parent, initial);
    }
    bool OpenUrl(const QUrl& url) override { return inner_->OpenUrl(url); }
    void ShowModal(QDialog& dialog) override { inner_->ShowModal(dialog); }
    std::unique_ptr<TProgress> BeginProgress(QWidget* parent, const QString& text,
                                             const QString& caption) override {
        return inner_->BeginProgress(parent, text, caption);
    }

private:
    std::unique_ptr<TPrompter> inner_;
    TDesktopSettings& settings_;
};

// Stores the window's state when it is hidden (closed), and takes the files
// dropped on it: a project, one picture on a picture pane, or two pictures.
class THideWatch : public QObject {
public:
    explicit THideWatch(TMainForm& form) : QObject(&form), form_(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &form_) return false;
        switch (event->type()) {
            case QEvent::Hide:
                form_.StoreWindowState();
                return false;
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* drag = static_cast<QDropEvent*>(event);
                const TOutsideFiles files = SortOutsideFiles(LocalFiles(drag->mimeData()->urls()));
                if (files.project.isEmpty() && files.pictures.isEmpty()) return false;
                drag->acceptProposedAction();
                return true;
            }
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                const QStringList files = LocalFiles(drop->mimeData()->urls());
                drop->acceptProposedAction();
                // Opened once the drop has ended, so the dragging program is
                // not kept waiting by a question or a load.
                const QPoint at = drop->position().toPoint();
                QMetaObject::invokeMethod(
                    &form_,
                    [form = &form_, files, slot = PaneAt(at)] {
                        form->OpenOutsideFiles(files, true, slot);
                    },
                    Qt::QueuedConnection);
                return true;
            }
            default:
                return false;
        }
    }

    // 1 or 2 over the visible pane of that picture, 0 elsewhere.
    int PaneAt(QPoint at) const {
        const std::pair<QWidget*, int> panes[] = {{form_.ScrollBox1, 1},
                                                  {form_.ScrollBox2, 2},
                                                  {form_.ScrollBox3, 1},
                                                  {form_.ScrollBox4, 2}};
        for (const auto& [pane, which] : panes) {
            if (pane->isVisible() && pane->rect().contains(pane->mapFrom(&form_, at))) return which;
        }
        return 0;
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
    SetUpSettings();

    LoopBox = new QCheckBox(QStringLiteral("Loop"));
    LoopBox->setObjectName(QStringLiteral("LoopBox"));
    LoopBox->setToolTip(QStringLiteral("Play starts again from picture 1 after the last picture"));
    BackForthBox = new QCheckBox(QStringLiteral("Back and forth"));
    BackForthBox->setObjectName(QStringLiteral("BackForthBox"));
    BackForthBox->setToolTip(
        QStringLiteral("Looping plays from picture 1 to the last and back to picture 1"));
    BackForthBox->setEnabled(false);
    connect(LoopBox, &QCheckBox::toggled, BackForthBox, &QWidget::setEnabled);
    auto* grid = static_cast<QGridLayout*>(PlayBtn->parentWidget()->layout());
    grid->addWidget(LoopBox, 1, 4);
    grid->addWidget(BackForthBox, 3, 4);
    SetUpKeys();
}

core::TPlayMode TMainForm::PlayMode() const {
    if (!LoopBox || !LoopBox->isChecked()) return core::TPlayMode::Once;
    return BackForthBox->isChecked() ? core::TPlayMode::BackAndForth : core::TPlayMode::Loop;
}

void TMainForm::SetUpSettings() {
    settings_ = std::make_unique<TDesktopSettings>();
    prompter_ = std::make_unique<TFolderPrompter>(std::move(prompter_), *settings_);

    RecentBtn = new QToolButton;
    RecentBtn->setObjectName(QStringLiteral("RecentBtn"));
    RecentBtn->setText(QStringLiteral("Recent projects"));
    RecentBtn->setToolTip(QStringLiteral("Open one of the projects opened or saved last"));
    RecentBtn->setAutoRaise(true);
    RecentBtn->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(RecentBtn);
    menu->setObjectName(QStringLiteral("RecentMenu"));
    RecentBtn->setMenu(menu);
    auto* strip = static_cast<QHBoxLayout*>(Panel34->layout());
    strip->insertWidget(strip->indexOf(OpenBtn) + 1, RecentBtn);
    // Built when it opens: projects that are gone since are shown greyed.
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        menu->clear();
        const QStringList recent = settings_->RecentProjects();
        if (recent.isEmpty())
            menu->addAction(QStringLiteral("No recent projects"))->setEnabled(false);
        int n = 0;
        for (const QString& file : recent) {
            const QFileInfo info(file);
            QAction* action = menu->addAction(
                QStringLiteral("&%1 %2   (%3)")
                    .arg(++n)
                    .arg(info.fileName(), QDir::toNativeSeparators(info.absolutePath())));
            action->setData(file);
            action->setEnabled(info.isFile());
            connect(action, &QAction::triggered, this, [this, file] { OpenRecentProject(file); });
        }
    });

    // The window as it was left, within the screens there are now.
    if (const std::optional<TDesktopSettings::TWindowState> state = settings_->WindowState()) {
        QList<QRect> screens;
        for (const QScreen* screen : QGuiApplication::screens())
            screens << screen->availableGeometry();
        setGeometry(FitOnScreens(state->geometry, screens));
        Split1Percent = state->split1;
        Split2Percent = state->split2;
        if (state->maximised) setWindowState(windowState() | Qt::WindowMaximized);
    }
    desktopWatch_ = new THideWatch(*this);
    installEventFilter(desktopWatch_);
    setAcceptDrops(true);
}

void TMainForm::OpenOutsideFiles(const QStringList& files, bool askFirst, int slot) {
    const TOutsideFiles sorted = SortOutsideFiles(files);
    if (!sorted.project.isEmpty()) {
        if (askFirst && !AskOkCancel(QStringLiteral("You will lost all not saved information!"),
                                     QStringLiteral("File/Open")))
            return;
        OpenFile(sorted.project);
        return;
    }
    if (sorted.pictures.size() == 1 && slot != 0) {
        LoadNamedPicture(slot, sorted.pictures[0]);
        return;
    }
    for (int i = 0; i < sorted.pictures.size(); ++i) LoadNamedPicture(i + 1, sorted.pictures[i]);
}

void TMainForm::StoreWindowState() {
    if (!settings_) return;
    TDesktopSettings::TWindowState state;
    state.geometry = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
    state.maximised = isMaximized();
    state.split1 = Split1Percent;
    state.split2 = Split2Percent;
    settings_->SetWindowState(state);
    settings_->Sync();
}

void TMainForm::RememberProject(const QString& name) {
    if (!settings_) return;
    settings_->AddRecentProject(QFileInfo(name).absoluteFilePath());
    settings_->Sync();
}

void TMainForm::OpenRecentProject(const QString& name) {
    if (!AskOkCancel(QStringLiteral("You will lost all not saved information!"),
                     QStringLiteral("File/Open")))
        return;
    OpenFile(QFileInfo(name).absoluteFilePath());
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
    for (TSpinEdit* zoom : {Zoom1Ed, Zoom2Ed, Zoom3Ed, Zoom4Ed, Zoom5Ed, LiveView().Zoom6Ed})
        tip(zoom, QStringLiteral("Zoom of the picture in percent, 10 to 300 (Up, Down)"));
    tip(HoldEd,
        QStringLiteral("Pictures the first and the last picture are held in playback and videos, "
                       "0 to 100 (Up, Down)"));
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
    // The Fit and Live buttons take no focus from a click (the keys stay the
    // page's), but Tab reaches them.
    TLiveView& live = LiveView();
    for (QWidget* w : std::initializer_list<QWidget*>{FitBtn1, FitBtn2, FitBtn3, FitBtn4, FitBtn5,
                                                      live.FitBtn6, live.LiveBtn})
        w->setFocusPolicy(Qt::TabFocus);
    Chain({NewBtn,          OpenBtn,      RecentBtn,
           SaveBtn,         SaveAsBtn,    UndoBtn,
           RedoBtn,         SequenceBtn,  PageControl2->tabBar(),
           PicOpenBtn1,     Zoom1Ed,      FitBtn1,
           ScrollBox1,      PicOpenBtn2,  Zoom2Ed,
           FitBtn2,         ScrollBox2,   SpeedPointer,
           SpeedZoom,       SpeedHand,    SpeedRect,
           Zoom3Ed,         FitBtn3,      ScrollBox3,
           Zoom4Ed,         FitBtn4,      ScrollBox4,
           DelObjBtn,       PrevBtn,      NextBtn,
           MatchBtn,        FindPairsBtn, live.LiveBtn,
           live.LiveSlider, live.Zoom6Ed, live.FitBtn6,
           TimeEd,          PPSEd,        PicEd,
           Zoom5Ed,         FitBtn5,      BkColor,
           TimingBox,       HoldEd,       ModeBox,
           PlayBtn,         StopBtn,      LoopBox,
           BackForthBox,    SavePicBtn,   SaveAVIBtn,
           ScrollBox5,      wwwBtn,       ueberbtn,
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
