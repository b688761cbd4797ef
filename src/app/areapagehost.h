// The window as the area editor sees it: the area list and the current area,
// the two panes of the "Similar areas" page and their pictures.
#pragma once

#include "editor/areaeditor.h"

class TMainForm;

class TAreaPageHost : public TAreaEditorHost {
public:
    explicit TAreaPageHost(TMainForm& f) : f_(f) {}

    TDynaArray<TAreaPair>& AreaList() override;
    int CurrentArea() const override;
    void SetCurrentArea(int index) override;
    QSize PictureSize(int pane) const override;
    const raster::DibRecord& Picture(int pane) const override;
    int Zoom(int pane) const override;
    void ZoomAt(int pane, QPoint at, int step) override;
    void ScrollBy(int pane, int dx, int dy) override;
    void RepaintPane(int pane) override;
    void RepaintPaneRegion(int pane, const QRegion& region) override;
    void ShowCursorSlot(int slot) override;
    void ShowMousePoint(int pane, QPoint point) override;
    void AreasChanged() override;
    void ToolChanged(TAreaTool tool) override;
    void ShowStatus(const QString& text) override;
    void Busy(bool busy) override;
    void FitPanes() override;
    void AreasMoving() override;
    void ToggleLiveView() override;

private:
    TMainForm& f_;
};
