// Helpers shared by the tests of the window and its widgets.
#pragma once

#include <QDir>
#include <QImage>
#include <QString>

#include <memory>
#include <string>
#include <vector>

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

// The window's areas in list order.
std::vector<TAreaPair> AreasOf(const TMainForm& form);
// Appends an area to the window's list. Like any replacement of the list it
// leaves no area current and starts the undo history again.
void AddArea(TMainForm& form, const TAreaPair& area = {});

// Picture n of N as the renderer makes it from the window's document
// (pictures, areas in list order, background colour).
raster::DibRecord RenderedFromForm(TMainForm& form, int n, int N);

}  // namespace testing_support
