// Loading progress sent to the window while a picture file is read. The
// receiver may cancel the loading from its handler of the event.
#pragma once

#include <QEvent>

namespace raster {

class TProgressEvent : public QEvent {
public:
    static constexpr QEvent::Type kType = QEvent::User;
    explicit TProgressEvent(int percent) : QEvent(kType), percent_(percent) {}
    int Percent() const { return percent_; }

    // Asks OpenDib to stop; it then fails with kLoadCancelled.
    void Cancel() { cancelled_ = true; }
    bool Cancelled() const { return cancelled_; }

private:
    int percent_;
    bool cancelled_ = false;
};

}  // namespace raster
