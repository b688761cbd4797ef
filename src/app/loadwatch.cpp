#include "app/loadwatch.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "raster/progress_event.h"

TLoadWatch::TLoadWatch(TPrompter& prompter, QWidget* parent, QString fileName, int delayMs)
    : prompter_(prompter), parent_(parent), fileName_(std::move(fileName)), delayMs_(delayMs) {
    clock_.start();
}

void TLoadWatch::Report(raster::TProgressEvent& event) {
    if (!progress_) {
        if (clock_.elapsed() < delayMs_) return;
        progress_ = prompter_.BeginProgress(
            parent_, QStringLiteral("Loading %1...").arg(QFileInfo(fileName_).fileName()),
            QStringLiteral("Loading the picture"));
    }
    progress_->SetPercent(event.Percent());
    // Lets the display paint and take the click on Cancel.
    QCoreApplication::processEvents();
    if (progress_->Cancelled()) event.Cancel();
}
