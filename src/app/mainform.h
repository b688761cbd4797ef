// The main window: owns the document (the three picture slots, the picture
// file names, the area list and the current area, the document file name)
// and every control the user works with. Handlers are kept small; they hand
// the work to the renderer, the project file module, the zoom panes and the
// area tools.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPixmap>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "app/prompter.h"
#include "core/areapair.h"
#include "core/dynaarray.h"
#include "core/morphtiming.h"
#include "core/playback.h"
#include "core/projectfile.h"
#include "core/sequencefile.h"
#include "raster/dib.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QToolButton;
class QWidget;
class QFrame;
class QComboBox;
class QGridLayout;
class TBitBtnXP;
class TImageBtn;
class TPaintBox;
class TSpinEdit;
class TTintaColorComboBox;
class TZoomPane;
class TStatusPanel;
class TAreaEditor;
class TAreaPageHost;
class TLoadWatch;
class TZoomActions;
class TLiveView;
class TSequenceHost;
class TDesktopSettings;

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    // The clock playback reads, in milliseconds; tests install their own.
    using TickSource = std::function<std::uint32_t()>;

    explicit TMainForm(std::unique_ptr<TPrompter> prompter = nullptr, QWidget* parent = nullptr);
    ~TMainForm() override;

    TPrompter& Prompter() { return *prompter_; }
    TDesktopSettings& Settings() { return *settings_; }
    // Remembers the window's place, size and splitters for the next run.
    void StoreWindowState();
    // Opens a project as "Open..." does after its dialog, the question first.
    void OpenRecentProject(const QString& name);
    // Files from outside (the command line, a drop): a project is opened
    // (after the question when askFirst), pictures are loaded, into the slot
    // of `slot` (1 or 2) for one picture dropped on a pane, otherwise into
    // picture 1 and picture 2 in turn.
    void OpenOutsideFiles(const QStringList& files, bool askFirst, int slot = 0);
    // Loads a picture file into slot 1 or 2 as "Open picture 1..." does
    // after its dialog.
    void LoadNamedPicture(int slot, const QString& name);
    void SetTickSource(TickSource source) { tickSource_ = std::move(source); }

    // ---- The document and the window's state, as others see it ---------------
    const raster::DibRecord& Picture1() const { return Pic1Dib; }
    const raster::DibRecord& Picture2() const { return Pic2Dib; }
    const raster::DibRecord& Result() const { return ResultDib; }
    // Puts two pictures in their slots and shows them in their panes, as
    // loading does; the picture file names stay as they are.
    void SetPictures(raster::DibRecord pic1, raster::DibRecord pic2);
    const QString& Picture1FileName() const { return Pic1FileName; }
    // How long a picture may load before its progress display appears.
    void SetLoadProgressDelay(int ms) { loadProgressDelayMs_ = ms; }
    const QString& Picture2FileName() const { return Pic2FileName; }
    // The stored name of a picture an opened project could not load, kept
    // for Save; empty when the slot holds a loaded or blank picture.
    const core::TMissingPicture& MissingPicture(int slot) const {
        return slot == 1 ? Pic1Missing : Pic2Missing;
    }
    // The document's file name; empty for a document never saved or opened.
    const QString& SavedFileName() const { return savedfilename; }
    const TDynaArray<TAreaPair>& Areas() const { return *ObjList; }
    // Replaces the area list as opening a document does: no area is current
    // afterwards and the undo history starts again. The panes are not
    // repainted.
    void SetAreas(std::span<const TAreaPair> areas);
    // The index of the current area, -1 for none.
    int CurrentArea() const { return CurObj; }
    // Also enables or disables the object buttons.
    void SetCurrentArea(int index);
    // The progress shown in the status bar, in percent, and where it was
    // last drawn.
    int Progress() const { return ProgressPercent; }
    QRect ProgressBarRect() const { return ProgressRect; }
    // The splitters' positions in percent of their panels.
    int Splitter1Percent() const { return Split1Percent; }
    int Splitter2Percent() const { return Split2Percent; }
    // The program's folder, ending in a separator.
    const QString& ProgramFolder() const { return ProgramDir; }
    // Entry 1 to 13 of the cursor table.
    const QCursor& Cursor(int slot) const { return Cursors[static_cast<std::size_t>(slot)]; }
    // The picture and the clock reading playback started from.
    int PlayStartPicture() const { return PlayStartPic; }
    std::uint32_t PlayStartTime() const { return PlayStartTick; }
    // Number of RenderPic calls so far.
    int Renders() const { return RenderCount; }

    // ---- Start-up, shut-down, status bar, splitters -------------------------
    void FormCreate();
    void FormDestroy();
    void FormResize();
    void Splitter1Moved();
    void Splitter2Moved();
    void StatusBar1DrawPanel(QPainter& canvas, const QRect& rect);
    void SBarPaintMore();
    void SetProStatus(int percent);
    void WMUser(int percent);
    void EndeBtnClick();
    void ueberbtnClick();
    void wwwBtnClick();
    void PageControl2Change();
    bool FormCloseQuery();

    // ---- Pictures ------------------------------------------------------------
    static raster::DibRecord MakeBlankPicture();
    void LoadPictureIntoSlot(raster::DibRecord& slot, QString& fileName, TZoomPane& pane);
    // OpenDib with this window as the progress receiver; running out of
    // memory comes back as a failed record, like any other load failure.
    raster::DibRecord LoadPictureFile(const std::string& fileName);
    // The load-error message box, with the name shown printably.
    void ShowLoadError(const raster::DibRecord& failed, std::string_view name);
    void PicOpenBtn1Click();
    void PicOpenBtn2Click();
    void PaintBox1Paint();
    void PaintBox2Paint();
    void Zoom1EdChange();
    void Zoom2EdChange();

    // ---- Areas ---------------------------------------------------------------
    void EnableObjButtons();
    void PrevBtnClick();
    void NextBtnClick();
    void DelObjBtnClick();
    void MatchBtnClick();
    void FindPairsBtnClick();
    void PaintBox3Paint();
    void PaintBox4Paint();
    void Zoom3EdChange();
    void Zoom4EdChange();
    // The panes' mouse handlers, the cursor choice and the move/resize belong
    // to the area editor; the window only forwards.
    void PaintBox3MouseDown(Qt::MouseButton button, int x, int y);
    void PaintBox3MouseMove(int x, int y);
    void PaintBox3MouseUp(Qt::MouseButton button, int x, int y);
    void PaintBox4MouseDown(Qt::MouseButton button, int x, int y);
    void PaintBox4MouseMove(int x, int y);
    void PaintBox4MouseUp(Qt::MouseButton button, int x, int y);
    void SetCursors(int x, int y, int pane);
    void dragit(int x, int y, int pane);
    void UndoBtnClick();
    void RedoBtnClick();
    TAreaEditor& Editor() { return *editor_; }
    // The texts of the position label: the mouse point and the current area.
    QString MousePointText() const;
    QString CurrentAreaText() const;

    // ---- Morphing ------------------------------------------------------------
    void RenderPic();
    void TimeEdChange();
    void PPSEdChange();
    void PicEdChange();
    void Zoom5EdChange();
    void BkColorChange();
    void PaintBox5Paint();
    void PlayBtnClick();
    void StopBtnClick();
    void Timer1Timer();
    void SavePicBtnClick();
    void SaveAVIBtnClick();
    // Once, or as the Loop and Back and forth boxes say.
    core::TPlayMode PlayMode() const;

    // ---- Zoom ----------------------------------------------------------------
    // "Fit" beside each zoom field; F on "Similar areas" fits both its panes.
    void FitAreaPanes();
    // A picture just loaded into slot 0 (picture 1) or 1: the panes showing
    // it are fitted where it is larger than they are, the live result shows it.
    void PictureLoaded(int picture);
    TZoomActions& ZoomKeys() { return *zoomActions_; }
    // The live result below the panes of "Similar areas".
    TLiveView& LiveView() { return *live_; }
    // ---- Timing of the morph (mainform_timing.cpp) ------------------------------
    core::TTiming MorphTiming() const;
    core::TMorphMode MorphMode() const;
    // "Hold (pictures):", within 0..100.
    int HoldPictures() const;
    void TimingBoxChange();
    void ModeBoxChange();
    // Frames of playback and of the saved sequence: N and the held pictures;
    // the picture number of frame 1..HeldFrames().
    int HeldFrames() const;
    int HeldPicture(int frame) const;

    // ---- Document ------------------------------------------------------------
    void NewBtnClick();
    void OpenBtnClick();
    void SaveBtnClick();
    void SaveAsBtnClick();
    void SaveFile(const QString& name);
    void OpenFile(const QString& name);
    void DelAll();
    void Setsavedfilename(const QString& name);
    // Repaints the five picture panes, PaintBox1 to PaintBox5, in turn.
    void RepaintPanes();
    // Opens a project after the usual question about unsaved work.
    void OpenProjectAsked(const QString& name);

    // ---- Sequences (mainform_sequence.cpp) --------------------------------------
    void SequenceBtnClick();
    // The window as the sequence dialog sees it.
    std::unique_ptr<TSequenceHost> MakeSequenceHost();

    // ---- Controls -------------------------------------------------------------
    QWidget* OuterPanel = nullptr;
    QWidget* Panel34 = nullptr;
    QToolButton* NewBtn = nullptr;
    QToolButton* OpenBtn = nullptr;
    QToolButton* SaveBtn = nullptr;
    QToolButton* SaveAsBtn = nullptr;
    // Beside "Open...": the projects opened or saved last.
    QToolButton* RecentBtn = nullptr;
    QToolButton* UndoBtn = nullptr;
    QToolButton* RedoBtn = nullptr;
    QToolButton* SequenceBtn = nullptr;
    QTabWidget* PageControl2 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;

    QWidget* Panel1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QWidget* Panel33 = nullptr;
    QWidget* Panel30 = nullptr;
    TBitBtnXP* PicOpenBtn1 = nullptr;
    TBitBtnXP* PicOpenBtn2 = nullptr;
    TSpinEdit* Zoom1Ed = nullptr;
    TSpinEdit* Zoom2Ed = nullptr;
    TZoomPane* ScrollBox1 = nullptr;
    TZoomPane* ScrollBox2 = nullptr;
    TPaintBox* PaintBox1 = nullptr;
    TPaintBox* PaintBox2 = nullptr;

    QToolButton* SpeedPointer = nullptr;
    QToolButton* SpeedZoom = nullptr;
    QToolButton* SpeedHand = nullptr;
    QToolButton* SpeedRect = nullptr;
    QWidget* Panel6 = nullptr;
    QSplitter* Splitter2 = nullptr;
    QWidget* Panel35 = nullptr;
    QWidget* Panel37 = nullptr;
    TSpinEdit* Zoom3Ed = nullptr;
    TSpinEdit* Zoom4Ed = nullptr;
    TZoomPane* ScrollBox3 = nullptr;
    TZoomPane* ScrollBox4 = nullptr;
    TPaintBox* PaintBox3 = nullptr;
    TPaintBox* PaintBox4 = nullptr;
    TBitBtnXP* DelObjBtn = nullptr;
    TBitBtnXP* PrevBtn = nullptr;
    TBitBtnXP* NextBtn = nullptr;
    TBitBtnXP* MatchBtn = nullptr;
    TBitBtnXP* FindPairsBtn = nullptr;  // always enabled
    // At the right of the object buttons: the picture point under the mouse
    // and the current area's two halves.
    QLabel* PosLabel = nullptr;
    // Below the object buttons: what "Match object" found, or why not.
    QLabel* StatusLabel = nullptr;
    // Beside the zoom fields of the first page: the file a picture of the
    // opened project is missing.
    QLabel* Missing1Label = nullptr;
    QLabel* Missing2Label = nullptr;

    TSpinEdit* TimeEd = nullptr;
    TSpinEdit* PPSEd = nullptr;
    TSpinEdit* PicEd = nullptr;
    TSpinEdit* Zoom5Ed = nullptr;
    TTintaColorComboBox* BkColor = nullptr;
    TBitBtnXP* PlayBtn = nullptr;
    TBitBtnXP* StopBtn = nullptr;
    TBitBtnXP* SavePicBtn = nullptr;
    TBitBtnXP* SaveAVIBtn = nullptr;
    QComboBox* TimingBox = nullptr;
    TSpinEdit* HoldEd = nullptr;
    QComboBox* ModeBox = nullptr;
    // Beside "Play": playback starts again after the last picture, or turns
    // there and goes back to picture 1.
    QCheckBox* LoopBox = nullptr;
    QCheckBox* BackForthBox = nullptr;
    TZoomPane* ScrollBox5 = nullptr;
    TPaintBox* PaintBox5 = nullptr;
    QTimer* Timer1 = nullptr;
    // "Fit" beside Zoom1Ed to Zoom5Ed.
    QToolButton* FitBtn1 = nullptr;
    QToolButton* FitBtn2 = nullptr;
    QToolButton* FitBtn3 = nullptr;
    QToolButton* FitBtn4 = nullptr;
    QToolButton* FitBtn5 = nullptr;

    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel0 = nullptr;
    TStatusPanel* StatusPanel1 = nullptr;
    QPushButton* wwwBtn = nullptr;
    TImageBtn* ueberbtn = nullptr;
    TImageBtn* endebtn = nullptr;

    TFileDialog OpenDialog1;
    TFileDialog OpenDialog3;
    TFileDialog SaveDialog1;
    TFileDialog SaveDialog2;
    TFileDialog SaveDialog3;

    // Shows a file dialog and returns the chosen name with the dialog's
    // default extension added where the name has none.
    std::optional<QString> RunFileDialog(TFileDialog& dialog);
    // Message box shortcuts through the prompter.
    void ShowError(const QString& text, const QString& caption);
    // False, after saying why, when the last render gave no picture: "what"
    // ("The picture") cannot be saved.
    bool ResultCanBeSaved(const QString& what, const QString& caption);
    bool AskOkCancel(const QString& text, const QString& caption);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TAreaPageHost;
    void BuildLayout();
    QWidget* BuildPicturesPage();
    QWidget* BuildAreasPage();
    QWidget* BuildMorphPage();
    // Connect the controls of one area of work to their handlers; each is
    // defined beside those handlers.
    void WirePictures();
    void WireAreas();
    void WireMorph();
    void WireDocument();
    void WireZoom();
    void WireLive();
    void BuildTimingControls(QGridLayout* grid);
    QToolButton* BuildSequenceButton();
    void WireTiming();
    // Playback over the held frames; the tick is false (and does nothing)
    // without held pictures, where playback runs on the picture numbers.
    void StartHeldPlayback();
    bool HeldPlaybackTick();
    // The keys of the "Similar areas" page; true when the key was one.
    bool AreaPageKey(QKeyEvent* event);
    void ShowPosition();
    // The desktop's habits: keys, tooltips, remembered settings, dropped
    // files, the missing-picture notes (mainform_desktop.cpp).
    void SetUpDesktop();
    void SetUpKeys();
    void SetUpSettings();
    // After a project was opened or saved under name.
    void RememberProject(const QString& name);
    void ShowMissingPictures();
    void LoadNamedPictureInto(raster::DibRecord& slot, QString& fileName, TZoomPane& pane,
                              const QString& name);

    // The document and the window's state.
    int ProgressPercent = 0;
    QRect ProgressRect;
    int Split2Percent = 0;
    int Split1Percent = 0;
    QString ProgramDir;
    raster::DibRecord Pic1Dib;
    raster::DibRecord Pic2Dib;
    raster::DibRecord ResultDib;
    // Why the last RenderPic gave no picture ("the result would be too
    // large: ..."); empty when it gave one.
    QString ResultProblem;
    TAreaPair* ObjPtr = nullptr;
    std::unique_ptr<TDynaArray<TAreaPair>> ObjList;
    int CurObj = 0;
    std::uint32_t PlayStartTick = 0;
    int PlayStartPic = 0;
    // Playback with held pictures: the frame it started from and the last set.
    std::int64_t PlayStartFrame = 0;
    std::int64_t PlayFrame = 0;
    // The sequence dialog's list, kept between its openings.
    std::vector<core::TSequenceItem> sequenceItems_;
    // True while "Save AVI video..." writes the sequence.
    bool Exporting = false;
    QString savedfilename;
    QString Pic1FileName;
    QString Pic2FileName;
    core::TMissingPicture Pic1Missing;
    core::TMissingPicture Pic2Missing;
    // Cursor table, entries 1 to 13 (entry 0 unused).
    std::array<QCursor, 14> Cursors;
    // Number of RenderPic calls so far.
    int RenderCount = 0;

    std::unique_ptr<TPrompter> prompter_;
    std::unique_ptr<TDesktopSettings> settings_;
    // Stores the window's state when it is hidden and takes dropped files;
    // removed first when the window is destroyed, since hiding a window being
    // destroyed must not reach it.
    QObject* desktopWatch_ = nullptr;
    TickSource tickSource_;
    QElapsedTimer monotonic_;
    bool destroyed_ = false;
    std::unique_ptr<TAreaPageHost> areaHost_;
    // Set while a picture file loads.
    TLoadWatch* loadWatch_ = nullptr;
    int loadProgressDelayMs_ = 400;
    std::unique_ptr<TAreaEditor> editor_;
    TZoomActions* zoomActions_ = nullptr;
    TLiveView* live_ = nullptr;
    // The last picture point shown, with its pane; pane -1 before any.
    int mousePane_ = -1;
    QPoint mousePoint_;
};

// The address the web-link button and the information dialog open: the user
// guide shipped with the program.
QUrl UserGuideUrl();
extern const char* const kWebAddressCaption;
