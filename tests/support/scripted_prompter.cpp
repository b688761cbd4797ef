#include "support/scripted_prompter.h"

#include <QDialog>

bool TScriptedPrompter::Message(QWidget*, const QString& text, const QString& caption, Icon icon,
                                Buttons buttons) {
    asked.push_back({Asked::Kind::Message, text, caption, icon, buttons});
    if (messageAnswers.empty()) return true;
    const bool answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

bool TScriptedPrompter::Execute(QWidget*, TFileDialog& dlg) {
    asked.push_back({Asked::Kind::FileDialog, dlg.objectName, dlg.filter});
    dialogsShown.push_back(dlg);
    if (fileAnswers.empty()) return false;
    const std::optional<QString> answer = fileAnswers.front();
    fileAnswers.pop_front();
    if (!answer) return false;
    dlg.fileName = *answer;
    return true;
}

std::optional<QColor> TScriptedPrompter::ChooseColor(QWidget*, QColor initial) {
    asked.push_back({Asked::Kind::Color, initial.name(), {}});
    lastInitialColor = initial;
    if (colorAnswers.empty()) return std::nullopt;
    const std::optional<QColor> answer = colorAnswers.front();
    colorAnswers.pop_front();
    return answer;
}

bool TScriptedPrompter::OpenUrl(const QUrl& url) {
    asked.push_back({Asked::Kind::Url, url.toString(), {}});
    return urlOpens;
}

void TScriptedPrompter::ShowModal(QDialog& dialog) {
    asked.push_back({Asked::Kind::Modal, dialog.windowTitle(), dialog.objectName()});
}

std::vector<TScriptedPrompter::Asked> TScriptedPrompter::Messages() const {
    std::vector<Asked> out;
    for (const Asked& a : asked)
        if (a.kind == Asked::Kind::Message) out.push_back(a);
    return out;
}

namespace {

class TScriptedProgress : public TProgress {
public:
    explicit TScriptedProgress(TScriptedPrompter& owner) : owner_(owner) {}
    void SetPercent(int percent) override {
        owner_.progressPercents.push_back(percent);
        if (owner_.cancelProgressAt && percent >= *owner_.cancelProgressAt) cancelled_ = true;
    }
    bool Cancelled() const override { return cancelled_; }

private:
    TScriptedPrompter& owner_;
    bool cancelled_ = false;
};

}  // namespace

std::unique_ptr<TProgress> TScriptedPrompter::BeginProgress(QWidget*, const QString&,
                                                            const QString& caption) {
    progressShown.push_back(caption);
    return std::make_unique<TScriptedProgress>(*this);
}
