// Helpers shared by the tests of the window and its widgets.
#pragma once

#include <QDir>
#include <QImage>
#include <QString>

#include <memory>
#include <string>

#include "app/mainform.h"
#include "support/scripted_prompter.h"
#include "support/test_files.h"

namespace testing_support {

// A window with a scripted prompter; the prompter stays owned by the window.
struct FormFixture {
    TScriptedPrompter* prompter = nullptr;
    std::unique_ptr<TMainForm> form;
};
FormFixture MakeForm();

// Picture n of N as the renderer makes it from the window's document
// (pictures, areas in list order, background colour).
raster::DibRecord RenderedFromForm(TMainForm& form, int n, int N);

}  // namespace testing_support
