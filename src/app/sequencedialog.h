// The sequence dialog: a list of projects played one after another, kept in
// ".morseq" files, previewed and saved as one video. It reaches the window
// only through TSequenceHost.
#pragma once

#include <QDialog>

#include <optional>
#include <vector>

#include "app/prompter.h"
#include "core/sequence.h"
#include "core/sequencefile.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class QTableWidget;
class QTimer;

// What the dialog needs of the window.
class TSequenceHost {
public:
    virtual ~TSequenceHost() = default;
    virtual TPrompter& Prompter() = 0;
    // The project shown in the window as a file, saved first when it has
    // none (through the usual "Save as..."); none when that was cancelled.
    virtual std::optional<QString> CurrentProjectFile() = 0;
    // Opens the project in the window, after the usual question.
    virtual void EditProject(const QString& file) = 0;
    // The window's length, rate, timing, hold, mode and background.
    virtual core::TSequenceSettings CommonSettings() const = 0;
};

class TSequenceDialog : public QDialog {
    Q_OBJECT

public:
    explicit TSequenceDialog(TSequenceHost& host, QWidget* parent = nullptr);
    ~TSequenceDialog() override;

    const std::vector<core::TSequenceItem>& Items() const { return items_; }
    void SetItems(std::vector<core::TSequenceItem> items);
    int CurrentRow() const;
    void SetCurrentRow(int row);

    // The buttons' handlers.
    void AddCurrentClick();
    void AddClick();
    void RemoveClick();
    void UpClick();
    void DownClick();
    void OpenSequenceClick();
    void SaveSequenceClick();
    void EditClick();
    void PlayClick();
    void SaveVideoClick();

    // The joined sequence as the preview shows it; false (after saying why)
    // when it cannot be loaded.
    bool LoadSequence();
    const core::TMorphSequence& Sequence() const { return sequence_; }
    // The preview's frame (0-based) and the picture it shows.
    int PreviewFrame() const;
    void ShowFrame(int frame);
    const raster::DibRecord& PreviewPicture() const { return preview_; }
    // One step of playback: the next frame, or the end.
    void PlayTick();
    bool Playing() const;

    QTableWidget* List = nullptr;
    QSpinBox* LengthEd = nullptr;    // 0: the window's length
    QComboBox* TimingBox = nullptr;  // 0: the window's timing
    QPushButton* AddCurrentBtn = nullptr;
    QPushButton* AddBtn = nullptr;
    QPushButton* RemoveBtn = nullptr;
    QPushButton* UpBtn = nullptr;
    QPushButton* DownBtn = nullptr;
    QPushButton* OpenSeqBtn = nullptr;
    QPushButton* SaveSeqBtn = nullptr;
    QPushButton* EditBtn = nullptr;
    QPushButton* PlayBtn = nullptr;
    QPushButton* SaveVideoBtn = nullptr;
    QSlider* FrameSlider = nullptr;
    QLabel* PreviewLabel = nullptr;
    QTimer* PlayTimer = nullptr;

    TFileDialog AddDialog;
    TFileDialog OpenSeqDialog;
    TFileDialog SaveSeqDialog;
    TFileDialog SaveVideoDialog;

private:
    void Refill();
    void EntryEdited();
    void Changed();
    void ShowError(const QString& text);

    TSequenceHost& host_;
    std::vector<core::TSequenceItem> items_;
    core::TMorphSequence sequence_;
    bool loaded_ = false;
    raster::DibRecord preview_;
    bool filling_ = false;
};
