// The real file dialogs on a real X server: a name typed into the dialog and
// confirmed with Enter is taken, also after the completion list has opened.
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/mainform.h"
#include "app/prompter.h"
#include "support/test_support.h"

namespace {

QString Touch(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    return path;
}

struct Typed {
    bool popupSeen = false;
    bool found = false;
};

// Real key presses through the X server (xdotool), so the completion list,
// which takes the keyboard while it is open, sees them as a user's would.
void XType(const QString& text) {
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"),
                                                  QStringLiteral("15"), text});
}
void XKey(const QString& key) {
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), key});
}

// Types `text` into the file dialog that is about to open, waits for the
// completion list when one is expected, then presses Enter.
void TypeIntoNextDialog(const QString& text, bool waitForPopup, Typed& typed) {
    QTimer::singleShot(0, [=, &typed] {
        QFileDialog* fd = nullptr;
        for (int i = 0; i < 200 && fd == nullptr; ++i) {
            fd = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (fd == nullptr) QTest::qWait(10);
        }
        if (fd == nullptr) return;
        typed.found = true;
        auto* edit = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (edit == nullptr || !QTest::qWaitForWindowActive(fd)) {
            fd->reject();
            return;
        }
        edit->setFocus();
        edit->clear();
        XType(text);
        if (waitForPopup && edit->completer() != nullptr) {
            for (int i = 0; i < 100 && !edit->completer()->popup()->isVisible(); ++i)
                QTest::qWait(10);
            typed.popupSeen = edit->completer()->popup()->isVisible();
        }
        QTest::qWait(100);
        XKey(QStringLiteral("Return"));
        // Nothing happened: close the dialog so the test goes on and fails.
        QTimer::singleShot(2000, fd, [fd] {
            if (fd->isVisible()) fd->reject();
        });
    });
}

// The five dialogs exactly as the window sets them up.
using DialogOf = TFileDialog TMainForm::*;
struct DialogCase {
    const char* name;
    DialogOf dialog;
    const char* ext;  // of the files the dialog lists
};

class FileDialogs : public ::testing::TestWithParam<DialogCase> {};

TEST_P(FileDialogs, AFullPathTypedAndEnterIsTakenWithTheCompletionListOpen) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    const DialogCase& c = GetParam();
    const QString dir = testing_support::OutDir(QStringLiteral("dialog_") + c.name);
    // Two names sharing a prefix, so the completion list opens while typing.
    Touch(dir + "/picture-one." + c.ext);
    const QString wanted = Touch(dir + "/picture-two." + c.ext);
    auto form = testing_support::MakeForm();
    TFileDialog& dlg = (*form.form).*(c.dialog);
    dlg.overwritePrompt = false;  // the names exist; no question in between
    TQtPrompter prompter;
    Typed typed;
    TypeIntoNextDialog(wanted, true, typed);
    const bool chosen = prompter.Execute(nullptr, dlg);
    ASSERT_TRUE(typed.found);
    EXPECT_TRUE(typed.popupSeen) << "the completion list did not open; the case tests nothing";
    ASSERT_TRUE(chosen);
    EXPECT_EQ(dlg.fileName, wanted);

    // A bare name typed in the folder the dialog shows.
    Typed again;
    TypeIntoNextDialog(QStringLiteral("picture-one.") + c.ext, false, again);
    ASSERT_TRUE(prompter.Execute(nullptr, dlg));
    EXPECT_EQ(dlg.fileName, dir + "/picture-one." + c.ext);
}

INSTANTIATE_TEST_SUITE_P(
    AllFive, FileDialogs,
    ::testing::Values(DialogCase{"OpenDialog1", &TMainForm::OpenDialog1, "PNG"},
                      DialogCase{"OpenDialog3", &TMainForm::OpenDialog3, "mor"},
                      DialogCase{"SaveDialog1", &TMainForm::SaveDialog1, "bmp"},
                      DialogCase{"SaveDialog2", &TMainForm::SaveDialog2, "avi"},
                      DialogCase{"SaveDialog3", &TMainForm::SaveDialog3, "mor"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
