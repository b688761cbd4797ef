// What a desktop program is expected to do beyond the pages themselves: the
// notes on pictures a project is missing, standard keys, tooltips,
// remembered settings, files given on the command line or dropped.
#include <QLabel>

#include "app/mainform.h"
#include "controls/bitbtnxp.h"
#include "core/printable.h"

namespace {

// A red note in the open-button strip of a picture part.
QLabel* MissingLabel(const QString& name, QWidget* strip) {
    auto* label = new QLabel(strip);
    label->setObjectName(name);
    label->setStyleSheet(QStringLiteral("color: #b00000;"));
    label->setGeometry(250, 8, 2000, 25);
    label->hide();
    return label;
}

}  // namespace

void TMainForm::SetUpDesktop() {
    Missing1Label = MissingLabel(QStringLiteral("Missing1Label"), PicOpenBtn1->parentWidget());
    Missing2Label = MissingLabel(QStringLiteral("Missing2Label"), PicOpenBtn2->parentWidget());
}

void TMainForm::ShowMissingPictures() {
    if (!Missing1Label) return;
    const auto show = [](QLabel* label, const core::TMissingPicture& missing) {
        if (missing.storedName.empty()) {
            label->clear();
            label->hide();
            return;
        }
        const std::string full = core::ResolveStoredName(missing.project, missing.storedName);
        label->setText(QStringLiteral("Missing: ") +
                       QString::fromStdString(core::PrintableText(full)));
        label->setToolTip(
            QStringLiteral("The project names this picture, but it could not be "
                           "loaded. Save keeps its name; open the picture from its "
                           "new place to replace it."));
        label->show();
    };
    show(Missing1Label, Pic1Missing);
    show(Missing2Label, Pic2Missing);
}
