// Every question, message box and file or colour dialog of the window goes
// through this interface; tests install one that answers from a script.
#pragma once

#include <QColor>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class QDialog;
class QWidget;

// What a file dialog is set up with and what it remembers between uses.
struct TFileDialog {
    QString objectName;
    bool save = false;
    QString title;        // empty: the platform's default title
    QString filter;       // "Name|*.a;*.b|Name|*.c" pairs
    int filterIndex = 1;  // 1-based, as chosen last
    QString defaultExt;   // added to a typed name without extension
    QString initialDir;
    QString fileName;  // the name chosen last
    bool overwritePrompt = false;
};

// The display of a long operation: how far it is and whether the user asked
// to cancel it.
class TProgress {
public:
    virtual ~TProgress() = default;
    virtual void SetPercent(int percent) = 0;
    virtual bool Cancelled() const = 0;
};

class TPrompter {
public:
    enum class Icon { None, Information, Warning, Error, Question };
    enum class Buttons { Ok, OkCancel };

    virtual ~TPrompter() = default;

    // True when the answer is OK.
    virtual bool Message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                         Buttons buttons) = 0;
    // Shows the dialog; on a choice stores the name and filter index in dlg
    // and returns true.
    virtual bool Execute(QWidget* parent, TFileDialog& dlg) = 0;
    virtual std::optional<QColor> ChooseColor(QWidget* parent, QColor initial) = 0;
    // False when no program could be started to show it.
    virtual bool OpenUrl(const QUrl& url) = 0;
    virtual void ShowModal(QDialog& dialog) = 0;
    // Shows the progress of a long operation, with a way to cancel it, until
    // the returned object is destroyed. The base shows nothing and never
    // cancels.
    virtual std::unique_ptr<TProgress> BeginProgress(QWidget* parent, const QString& text,
                                                     const QString& caption);
};

// The real dialogs: QMessageBox, QFileDialog, QColorDialog, QDesktopServices.
class TQtPrompter : public TPrompter {
public:
    bool Message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                 Buttons buttons) override;
    bool Execute(QWidget* parent, TFileDialog& dlg) override;
    std::optional<QColor> ChooseColor(QWidget* parent, QColor initial) override;
    bool OpenUrl(const QUrl& url) override;
    void ShowModal(QDialog& dialog) override;
    std::unique_ptr<TProgress> BeginProgress(QWidget* parent, const QString& text,
                                             const QString& caption) override;
};

// The filter in Qt's form: "Name (*.a *.b);;Name (*.c)".
QString QtFilter(const QString& filter);
// Adds ".ext" to a name whose file part has no extension.
QString WithDefaultExt(const QString& name, const QString& ext);
