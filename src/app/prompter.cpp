#include "app/prompter.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>

#include <algorithm>

QString QtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        // A name that already shows its patterns ("AVI files (*.AVI)") is
        // complete as it is.
        if (parts[i].contains(QLatin1Char('(')) && parts[i].endsWith(QLatin1Char(')'))) {
            entries << parts[i];
            continue;
        }
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return entries.join(QStringLiteral(";;"));
}

QString WithDefaultExt(const QString& name, const QString& ext) {
    if (name.isEmpty() || ext.isEmpty()) return name;
    const QString file = QFileInfo(name).fileName();
    if (file.contains(QLatin1Char('.'))) return name;
    return name + QLatin1Char('.') + ext;
}

bool TQtPrompter::Message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                          Buttons buttons) {
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (icon) {
        case Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Icon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case Icon::None:
            break;
    }
    box.setStandardButtons(buttons == Buttons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                                        : QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

bool TQtPrompter::Execute(QWidget* parent, TFileDialog& dlg) {
    QFileDialog fd(parent, dlg.title);
    fd.setObjectName(dlg.objectName);
    fd.setAcceptMode(dlg.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Typed names need not exist: opening a missing file is reported by the
    // command itself, as for any file that cannot be read.
    fd.setFileMode(QFileDialog::AnyFile);
    if (!dlg.defaultExt.isEmpty()) fd.setDefaultSuffix(dlg.defaultExt);
    if (!dlg.overwritePrompt) fd.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters =
        QtFilter(dlg.filter).split(QStringLiteral(";;"), Qt::SkipEmptyParts);
    if (!filters.isEmpty()) {
        fd.setNameFilters(filters);
        fd.selectNameFilter(filters.value(std::max(0, dlg.filterIndex - 1)));
    }
    fd.setDirectory(dlg.fileName.isEmpty() ? dlg.initialDir
                                           : QFileInfo(dlg.fileName).absolutePath());
    if (!dlg.fileName.isEmpty()) fd.selectFile(QFileInfo(dlg.fileName).fileName());
    if (fd.exec() != QDialog::Accepted || fd.selectedFiles().isEmpty()) return false;
    dlg.fileName = fd.selectedFiles().constFirst();
    dlg.filterIndex = static_cast<int>(filters.indexOf(fd.selectedNameFilter())) + 1;
    return true;
}

std::optional<QColor> TQtPrompter::ChooseColor(QWidget* parent, QColor initial) {
    QColorDialog dialog(initial, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.selectedColor();
}

bool TQtPrompter::OpenUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

void TQtPrompter::ShowModal(QDialog& dialog) {
    dialog.exec();
}

namespace {

class TSilentProgress : public TProgress {
public:
    void SetPercent(int) override {}
    bool Cancelled() const override { return false; }
};

// A window-modal progress dialog: the window it belongs to keeps repainting
// but takes no input while the operation runs; Cancel and Esc cancel.
class TDialogProgress : public TProgress {
public:
    TDialogProgress(QWidget* parent, const QString& text, const QString& caption)
        : dialog_(text, QStringLiteral("Cancel"), 0, 100, parent) {
        dialog_.setWindowTitle(caption);
        // Wide enough for the whole title beside the window manager's buttons.
        dialog_.setMinimumWidth(
            std::max(dialog_.sizeHint().width(),
                     dialog_.fontMetrics().horizontalAdvance(caption) * 3 / 2 + 160));
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setMinimumDuration(0);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        dialog_.setValue(0);
    }
    void SetPercent(int percent) override { dialog_.setValue(std::clamp(percent, 0, 100)); }
    bool Cancelled() const override { return dialog_.wasCanceled(); }

private:
    QProgressDialog dialog_;
};

}  // namespace

std::unique_ptr<TProgress> TPrompter::BeginProgress(QWidget*, const QString&, const QString&) {
    return std::make_unique<TSilentProgress>();
}

std::unique_ptr<TProgress> TQtPrompter::BeginProgress(QWidget* parent, const QString& text,
                                                      const QString& caption) {
    return std::make_unique<TDialogProgress>(parent, text, caption);
}
