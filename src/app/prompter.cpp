#include "app/prompter.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

QString QtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
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
        case Icon::Information: box.setIcon(QMessageBox::Information); break;
        case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
        case Icon::Error: box.setIcon(QMessageBox::Critical); break;
        case Icon::Question: box.setIcon(QMessageBox::Question); break;
        case Icon::None: break;
    }
    box.setStandardButtons(buttons == Buttons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                                        : QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

bool TQtPrompter::Execute(QWidget* parent, TFileDialog& dlg) {
    QFileDialog fd(parent, dlg.title);
    fd.setObjectName(dlg.objectName);
    fd.setAcceptMode(dlg.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    fd.setFileMode(dlg.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!dlg.overwritePrompt) fd.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = QtFilter(dlg.filter).split(QStringLiteral(";;"), Qt::SkipEmptyParts);
    if (!filters.isEmpty()) {
        fd.setNameFilters(filters);
        fd.selectNameFilter(filters.value(std::max(0, dlg.filterIndex - 1)));
    }
    fd.setDirectory(dlg.fileName.isEmpty() ? dlg.initialDir : QFileInfo(dlg.fileName).absolutePath());
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

void TQtPrompter::OpenUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

void TQtPrompter::ShowModal(QDialog& dialog) { dialog.exec(); }
