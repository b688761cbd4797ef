// Helpers shared by the tests.
#pragma once

#include <QDir>
#include <QImage>
#include <QString>

#include <memory>
#include <string>

#include "app/mainform.h"
#include "support/scripted_prompter.h"

namespace testing_support {

inline QString DataPath(const QString& name) {
    return QStringLiteral(VELLORA_TEST_DATA "/") + name;
}

// A fresh folder under the build tree for files a test writes.
QString OutDir(const QString& testName);

// A window with a scripted prompter; the prompter stays owned by the window.
struct FormFixture {
    TScriptedPrompter* prompter = nullptr;
    std::unique_ptr<TMainForm> form;
};
FormFixture MakeForm();

// Picture n of N as the renderer makes it from the window's document
// (pictures, areas in list order, background colour).
raster::DibRecord RenderedFromForm(TMainForm& form, int n, int N);

// Writes actual (and expected, when given) next to each other for a failed
// pixel comparison and returns where.
QString SaveFailure(const QString& name, const QImage& actual, const QImage& expected = {});

}  // namespace testing_support
