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
    void StepZoom(int pane, int delta) override;
    QSize ViewSize(int pane) const override;
    QSize ScrollRange(int pane) const override;
    QPoint ScrollPosition(int pane) const override;
    void SetScrollPosition(int pane, QPoint pos) override;
    void RepaintPane(int pane) override;
    void RepaintPaneRegion(int pane, const QRegion& region) override;
    void ShowCursorSlot(int slot) override;
    void ShowMousePoint(int pane, QPoint point) override;
    void AreasChanged() override;

private:
    TMainForm& f_;
};
