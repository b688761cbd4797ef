// A prompter for tests: answers from a script and records what was asked.
#pragma once

#include <QString>

#include <deque>
#include <optional>
#include <vector>

#include "app/prompter.h"

class TScriptedPrompter : public TPrompter {
public:
    struct Asked {
        enum class Kind { Message, FileDialog, Color, Url, Modal } kind;
        QString text;     // message text, dialog object name, url
        QString caption;  // message caption, dialog filter
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };

    // Answers, consumed in order. Missing answers: OK for messages, cancel
    // for dialogs.
    std::deque<bool> messageAnswers;
    std::deque<std::optional<QString>> fileAnswers;
    std::deque<std::optional<QColor>> colorAnswers;

    std::vector<Asked> asked;

    bool Message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                 Buttons buttons) override;
    bool Execute(QWidget* parent, TFileDialog& dlg) override;
    std::optional<QColor> ChooseColor(QWidget* parent, QColor initial) override;
    bool OpenUrl(const QUrl& url) override;
    // What OpenUrl answers: whether a program to show the address was found.
    bool urlOpens = true;
    void ShowModal(QDialog& dialog) override;
    std::unique_ptr<TProgress> BeginProgress(QWidget* parent, const QString& text,
                                             const QString& caption) override;

    // The messages asked so far, in order.
    std::vector<Asked> Messages() const;
    std::optional<QColor> lastInitialColor;
    std::vector<TFileDialog> dialogsShown;

    // Progress displays: the captions of those shown, every percentage set,
    // and a scripted cancel once a percentage at or above cancelProgressAt
    // has been shown.
    std::vector<QString> progressShown;
    std::vector<int> progressPercents;
    std::optional<int> cancelProgressAt;
};
