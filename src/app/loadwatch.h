// A picture that takes long to load: after a moment a progress display with
// a Cancel button appears, and Cancel stops the loading at its next report.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <memory>

#include "app/prompter.h"

namespace raster {
class TProgressEvent;
}

class TLoadWatch {
public:
    // Loads shorter than delayMs show nothing.
    TLoadWatch(TPrompter& prompter, QWidget* parent, QString fileName, int delayMs = 400);
    TLoadWatch(const TLoadWatch&) = delete;
    TLoadWatch& operator=(const TLoadWatch&) = delete;

    // One progress report of the loader; cancels it when the user asked to.
    void Report(raster::TProgressEvent& event);

private:
    TPrompter& prompter_;
    QWidget* parent_;
    QString fileName_;
    int delayMs_;
    QElapsedTimer clock_;
    std::unique_ptr<TProgress> progress_;
};
