// The zoom keys of the window: Ctrl+plus and Ctrl+minus step the zoom of the
// pane that last had the mouse, Ctrl+0 sets it to 100 %, each keeping the
// picture point in the middle of the pane where it is.
#pragma once

#include <QObject>

#include <vector>

class QWidget;
class TZoomPane;

class TZoomActions : public QObject {
    Q_OBJECT

public:
    explicit TZoomActions(QObject* parent = nullptr) : QObject(parent) {}

    // The panes the keys can act on; the first is the one until the mouse
    // has been over any.
    void Add(TZoomPane* pane);
    // Ctrl+plus (also Ctrl+= and Ctrl+Shift+= for keyboards without a plus
    // key of its own), Ctrl+minus and Ctrl+0, anywhere in the window.
    void InstallKeys(QWidget* window);

    // The pane the keys act on: the one that last had the mouse while it is
    // shown, otherwise the first one shown.
    TZoomPane* Target() const;
    void ZoomIn();
    void ZoomOut();
    void ZoomReset();

private:
    std::vector<TZoomPane*> panes_;
    TZoomPane* last_ = nullptr;
};
