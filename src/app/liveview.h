// The live result on the "Similar areas" page: a third view below the two
// panes showing the in-between picture at the position the slider under it
// picks, rendered afresh whenever the areas change. The rendering is the
// live renderer's, off the user-interface thread; this class holds the
// view's widgets, says what to render and shows what comes back.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <vector>

#include "core/areapair.h"
#include "core/liverenderer.h"
#include "raster/dib.h"

class QLabel;
class QSlider;
class QSplitter;
class QToolButton;
class QWidget;
class TSpinEdit;
class TZoomPane;
class TPaintBox;

class TLiveView : public QObject {
    Q_OBJECT

public:
    // What the view renders: the document's pictures (0 and 1), its areas
    // in list order and the background colour of the "Morphing" page.
    struct TSources {
        std::function<const raster::DibRecord&(int)> picture;
        std::function<std::vector<TAreaPair>()> areas;
        std::function<std::uint32_t()> background;
    };

    explicit TLiveView(TSources sources, QObject* parent = nullptr);
    ~TLiveView() override;

    // Renders the current state when the view is shown; a hidden view
    // renders when it is shown again.
    void Update();
    // The pictures were replaced: they are copied for the renderer again.
    void PicturesChanged();
    // Shown or hidden by its button and V; remembered while the program runs.
    void SetShown(bool shown);
    bool Shown() const { return shown_; }
    void Toggle() { SetShown(!shown_); }
    // The view's own zoom follows the view's size until the user zooms it.
    void Fit();

    // The slider's position in percent and the picture it shows of
    // core::kLivePictures.
    int Percent() const;
    std::int64_t PictureNumber() const;
    // The picture shown now, and the renderer (tests wait for it).
    const raster::DibRecord& Picture() const { return shown_picture_; }
    core::TLiveRenderer& Renderer() { return *renderer_; }
    // Takes and shows the newest finished picture; true when there was one.
    bool TakeResult();
    // How many pictures the view has shown so far.
    std::uint64_t ShownCount() const { return shownCount_; }

    QSplitter* LiveSplitter = nullptr;  // the panes above, the view below
    QWidget* LivePanel = nullptr;
    QToolButton* LiveBtn = nullptr;  // "Live result", beside the object buttons
    QSlider* LiveSlider = nullptr;
    QLabel* LiveLabel = nullptr;  // "50 %"
    TSpinEdit* Zoom6Ed = nullptr;
    QToolButton* FitBtn6 = nullptr;
    TZoomPane* ScrollBox6 = nullptr;
    TPaintBox* PaintBox6 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Request();

    TSources sources_;
    core::TSharedPicture pics_[2];
    bool picturesStale_ = true;
    bool dirty_ = true;
    bool shown_ = true;
    bool fitMode_ = true;
    bool fitting_ = false;
    std::uint64_t shownCount_ = 0;
    raster::DibRecord shown_picture_;
    std::unique_ptr<core::TLiveRenderer> renderer_;
};
