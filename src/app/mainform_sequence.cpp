// "Sequence..." in the document strip: the sequence dialog, with the window
// as its host.
#include <QFileInfo>
#include <QToolButton>

#include <cmath>

#include "app/mainform.h"
#include "app/sequencedialog.h"
#include "controls/spinedit.h"
#include "controls/tintacolorcombobox.h"

namespace {

class TWindowSequenceHost : public TSequenceHost {
public:
    explicit TWindowSequenceHost(TMainForm& form) : form_(form) {}
    TPrompter& Prompter() override { return form_.Prompter(); }
    std::optional<QString> CurrentProjectFile() override {
        if (form_.SavedFileName().isEmpty()) form_.SaveAsBtnClick();
        if (form_.SavedFileName().isEmpty()) return std::nullopt;
        return QFileInfo(form_.SavedFileName()).absoluteFilePath();
    }
    void EditProject(const QString& file) override { form_.OpenProjectAsked(file); }
    core::TSequenceSettings CommonSettings() const override {
        core::TSequenceSettings s;
        s.length = std::max(1, form_.TimeEd->Value());
        s.rate = std::max(1, form_.PPSEd->Value());
        s.timing = form_.MorphTiming();
        s.hold = form_.HoldPictures();
        s.mode = form_.MorphMode();
        s.background = form_.BkColor->ColorValue();
        return s;
    }

private:
    TMainForm& form_;
};

}  // namespace

QToolButton* TMainForm::BuildSequenceButton() {
    SequenceBtn = new QToolButton;
    SequenceBtn->setObjectName(QStringLiteral("SequenceBtn"));
    SequenceBtn->setText(QStringLiteral("Sequence..."));
    SequenceBtn->setToolTip(QStringLiteral("Several projects one after another"));
    SequenceBtn->setAutoRaise(true);
    connect(SequenceBtn, &QToolButton::clicked, this, [this] { SequenceBtnClick(); });
    return SequenceBtn;
}

std::unique_ptr<TSequenceHost> TMainForm::MakeSequenceHost() {
    return std::make_unique<TWindowSequenceHost>(*this);
}

void TMainForm::SequenceBtnClick() {
    Timer1->stop();
    const std::unique_ptr<TSequenceHost> host = MakeSequenceHost();
    TSequenceDialog dialog(*host, this);
    dialog.SetItems(sequenceItems_);
    Prompter().ShowModal(dialog);
    // The list stays for the next opening while the program runs.
    sequenceItems_ = dialog.Items();
}
