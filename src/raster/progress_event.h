// Loading progress sent to the window while a picture file is read.
#pragma once

#include <QEvent>

namespace raster {

class TProgressEvent : public QEvent {
public:
    static constexpr QEvent::Type kType = QEvent::User;
    explicit TProgressEvent(int percent) : QEvent(kType), percent_(percent) {}
    int Percent() const { return percent_; }

private:
    int percent_;
};

}  // namespace raster
