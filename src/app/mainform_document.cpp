// The document commands: New, Open..., Save, Save as..., and the project file.
#include <QFileInfo>

#include "app/mainform.h"
#include "controls/zoompane.h"

void TMainForm::WireDocument() {}

void TMainForm::Setsavedfilename(const QString& name) {
    savedfilename = name;
    const QString shown = name.isEmpty() ? QStringLiteral("noname.mor") : QFileInfo(name).fileName();
    setWindowTitle(QStringLiteral("Vellora 1.0 - [") + shown + QStringLiteral("]"));
}

void TMainForm::NewBtnClick() {}
void TMainForm::OpenBtnClick() {}
void TMainForm::SaveBtnClick() {}
void TMainForm::SaveAsBtnClick() {}
void TMainForm::SaveFile(const QString&) {}
void TMainForm::OpenFile(const QString&) {}
void TMainForm::DelAll() {}
