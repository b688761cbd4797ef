// An area editor's host with two real pictures at 100 %, for the editor's
// tests of what it finds in the pictures: it keeps the area list, the current
// area, the last status line and how often the areas changed.
#pragma once

#include <QString>

#include "editor/areaeditor.h"
#include "raster/dib.h"

namespace testing_support {

class TPictureHost : public TAreaEditorHost {
public:
    TDynaArray<TAreaPair>& AreaList() override { return list; }
    int CurrentArea() const override { return current; }
    void SetCurrentArea(int index) override { current = index; }
    QSize PictureSize(int pane) const override {
        return {picture[pane].Width(), picture[pane].Height()};
    }
    const raster::DibRecord& Picture(int pane) const override { return picture[pane]; }
    int Zoom(int) const override { return 100; }
    void ZoomAt(int, QPoint, int) override {}
    void ScrollBy(int, int, int) override {}
    void RepaintPane(int) override {}
    void ShowCursorSlot(int) override {}
    void ShowMousePoint(int, QPoint) override {}
    void AreasChanged() override { ++changes; }
    void ShowStatus(const QString& text) override { status = text; }

    TAreaPair* ptr = nullptr;
    TDynaArray<TAreaPair> list{&ptr};
    int current = -1;
    raster::DibRecord picture[2];
    QString status;
    int changes = 0;
};

}  // namespace testing_support
