// The document commands: New, Open..., Save, Save as..., and the project file.
#include <QFileInfo>
#include <QLabel>
#include <QToolButton>

#include <filesystem>
#include <vector>

#include "app/liveview.h"
#include "app/mainform.h"
#include "controls/zoompane.h"
#include "core/projectfile.h"
#include "editor/areaeditor.h"

namespace {

const QString kLoseQuestion = QStringLiteral("You will lost all not saved information!");
const QString kErrorCaption = QStringLiteral("Error");

std::filesystem::path ToPath(const QString& name) {
    return std::filesystem::path(name.toStdString());
}

QString FileNameOnly(const QString& name) {
    return QFileInfo(name).fileName();
}

// The system's reason on a line of its own under the message, when known.
QString SystemReasonLine(int error) {
    if (error == 0) return {};
    return QStringLiteral("\n") + QString::fromStdString(core::SystemReason(error)) +
           QStringLiteral(".");
}

}  // namespace

void TMainForm::WireDocument() {
    const QString filter = QStringLiteral("Morphing files (*.mor)|*.mor");
    OpenDialog3.objectName = QStringLiteral("OpenDialog3");
    OpenDialog3.filter = filter;
    OpenDialog3.defaultExt = QStringLiteral("mor");
    SaveDialog3.objectName = QStringLiteral("SaveDialog3");
    SaveDialog3.save = true;
    SaveDialog3.filter = filter;
    SaveDialog3.defaultExt = QStringLiteral("mor");
    SaveDialog3.overwritePrompt = true;
    connect(NewBtn, &QToolButton::clicked, this, [this] { NewBtnClick(); });
    connect(OpenBtn, &QToolButton::clicked, this, [this] { OpenBtnClick(); });
    connect(SaveBtn, &QToolButton::clicked, this, [this] { SaveBtnClick(); });
    connect(SaveAsBtn, &QToolButton::clicked, this, [this] { SaveAsBtnClick(); });
}

void TMainForm::Setsavedfilename(const QString& name) {
    savedfilename = name;
    const QString shown =
        name.isEmpty() ? QStringLiteral("noname.mor") : QFileInfo(name).fileName();
    setWindowTitle(QStringLiteral("Vellora 1.0 - [") + shown + QStringLiteral("]"));
    if (!name.isEmpty()) RememberProject(name);
}

void TMainForm::RepaintPanes() {
    PaintBox1Paint();
    PaintBox2Paint();
    PaintBox3Paint();
    PaintBox4Paint();
    PaintBox5Paint();
    // The document may have new pictures (New, Open): the live result too.
    live_->PicturesChanged();
}

void TMainForm::NewBtnClick() {
    if (!AskOkCancel(kLoseQuestion, QStringLiteral("File/New"))) return;
    DelAll();
    RenderPic();
    RepaintPanes();
    Setsavedfilename(QString());
}

void TMainForm::OpenBtnClick() {
    if (!AskOkCancel(kLoseQuestion, QStringLiteral("File/Open"))) return;
    const std::optional<QString> chosen = RunFileDialog(OpenDialog3);
    if (!chosen) return;
    OpenFile(QFileInfo(*chosen).absoluteFilePath());
}

void TMainForm::OpenProjectAsked(const QString& name) {
    if (!AskOkCancel(kLoseQuestion, QStringLiteral("File/Open"))) return;
    OpenFile(QFileInfo(name).absoluteFilePath());
}

void TMainForm::SaveBtnClick() {
    if (savedfilename.isEmpty()) {
        SaveAsBtnClick();
        return;
    }
    SaveFile(savedfilename);
}

void TMainForm::SaveAsBtnClick() {
    const std::optional<QString> chosen = RunFileDialog(SaveDialog3);
    if (!chosen) return;
    SaveFile(QFileInfo(*chosen).absoluteFilePath());
}

void TMainForm::SaveFile(const QString& name) {
    const std::filesystem::path file = ToPath(name);
    core::TProjectData data;
    // A picture the project could not load keeps the name it was stored under.
    data.pic1Name = core::KeptStoredName(file, Pic1FileName.toStdString(), Pic1Missing);
    data.pic2Name = core::KeptStoredName(file, Pic2FileName.toStdString(), Pic2Missing);
    data.areas.reserve(ObjList->Count());
    ObjList->First();
    while (ObjList->Next()) data.areas.push_back(*ObjPtr);

    // A name the length byte cannot hold would be cut and name another file;
    // the save is refused before anything is written.
    for (const std::string* stored : {&data.pic1Name, &data.pic2Name}) {
        if (stored->size() > core::kMaxShortStr) {
            ShowError(QStringLiteral("Save file: The picture name ") +
                          QString::fromStdString(*stored) +
                          QStringLiteral(" is too long for a project file (more than 255 bytes) !"),
                      kErrorCaption);
            return;
        }
    }
    std::vector<std::uint8_t> bytes;
    core::WriteProject(data, bytes);
    // The previous file is replaced only once the new one is completely on disk.
    if (!core::ReplaceFile(file, bytes).ok) {
        ShowError(QStringLiteral("Save file: Could not save file ") + FileNameOnly(name) +
                      QStringLiteral(" !"),
                  kErrorCaption);
        return;
    }
    // A missing picture's name is now the one stored in this file.
    if (!Pic1Missing.storedName.empty()) Pic1Missing = {data.pic1Name, file};
    if (!Pic2Missing.storedName.empty()) Pic2Missing = {data.pic2Name, file};
    Setsavedfilename(name);
}

void TMainForm::OpenFile(const QString& name) {
    const std::filesystem::path file = ToPath(name);
    // The whole file is read and checked first: a refused file leaves the
    // document exactly as it was.
    const core::TProjectReadResult read = core::ReadProjectFile(file);
    switch (read.status) {
        case core::TProjectStatus::Ok:
            break;
        case core::TProjectStatus::CannotOpen:
            ShowError(QStringLiteral("Open file: Could not open the file ") + FileNameOnly(name) +
                          QStringLiteral(" !") + SystemReasonLine(read.systemError),
                      kErrorCaption);
            return;
        case core::TProjectStatus::NotProject:
            ShowError(QStringLiteral("This is not a file morphing file!"), kErrorCaption);
            return;
        case core::TProjectStatus::ReadFailed:
            ShowError(QStringLiteral("Open file: Could not read the file ") + FileNameOnly(name) +
                          QStringLiteral(" !") + SystemReasonLine(read.systemError),
                      kErrorCaption);
            return;
        default:
            ShowError(QStringLiteral("Open file: The file ") + FileNameOnly(name) +
                          QStringLiteral(" is damaged: ") +
                          QString::fromStdString(
                              core::DescribeProjectStatus(read.status, read.announced)) +
                          QStringLiteral(" !"),
                      kErrorCaption);
            return;
    }

    DelAll();
    // Names are held as full paths, resolved against the project's folder, so
    // they stay right whatever the current directory and wherever the project
    // is saved next.
    struct Slot {
        const std::string& stored;
        raster::DibRecord& dib;
        QString& fileName;
        core::TMissingPicture& missing;
    };
    for (Slot slot : {Slot{read.data.pic1Name, Pic1Dib, Pic1FileName, Pic1Missing},
                      Slot{read.data.pic2Name, Pic2Dib, Pic2FileName, Pic2Missing}}) {
        const std::string full = core::ResolveStoredName(file, slot.stored);
        raster::DibRecord loaded = LoadPictureFile(full);
        if (loaded.HasPixels()) {
            slot.dib = std::move(loaded);
            slot.fileName = QString::fromStdString(full);
        } else {
            // The slot stays white; the project keeps the name, and the
            // message says where the picture was looked for.
            ShowLoadError(loaded, full.empty() ? slot.stored : full);
            slot.fileName.clear();
            if (!slot.stored.empty()) slot.missing = {slot.stored, file};
        }
    }
    // No area is current after an open.
    SetAreas(read.data.areas);

    ShowMissingPictures();
    Setsavedfilename(name);
    RenderPic();
    RepaintPanes();
    PictureLoaded(0);
    PictureLoaded(1);
}

void TMainForm::DelAll() {
    raster::deldib(Pic1Dib);
    raster::deldib(Pic2Dib);
    raster::deldib(ResultDib);
    Pic1FileName.clear();
    Pic2FileName.clear();
    Pic1Missing = {};
    Pic2Missing = {};
    ShowMissingPictures();
    Pic1Dib = MakeBlankPicture();
    Pic2Dib = MakeBlankPicture();
    ResultDib = MakeBlankPicture();
    ObjList->Clear();
    CurObj = -1;
    EnableObjButtons();
    // A new document starts without history.
    Editor().Reset();
    if (StatusLabel) {
        StatusLabel->clear();
        StatusLabel->setToolTip({});
    }
}
