// The window as the tests build and read it.
#include "support/test_support.h"

#include <QFile>

#include "app/settings.h"
#include "controls/tintacolorcombobox.h"
#include "core/renderer.h"

namespace testing_support {

FormFixture MakeForm() {
    // Every window starts without remembered settings.
    QFile::remove(TDesktopSettings::DefaultFile());
    auto prompter = std::make_unique<TScriptedPrompter>();
    FormFixture f;
    f.prompter = prompter.get();
    f.form = std::make_unique<TMainForm>(std::move(prompter));
    return f;
}

std::vector<TAreaPair> AreasOf(const TMainForm& form) {
    const TDynaArray<TAreaPair>& list = form.Areas();
    return std::vector<TAreaPair>(list.Data(), list.Data() + list.Count());
}

void AddArea(TMainForm& form, const TAreaPair& area) {
    std::vector<TAreaPair> areas = AreasOf(form);
    areas.push_back(area);
    form.SetAreas(areas);
}

raster::DibRecord RenderedFromForm(TMainForm& form, int n, int N) {
    const std::vector<TAreaPair> areas = AreasOf(form);
    core::TMorphInput in;
    in.pic1 = &form.Picture1();
    in.pic2 = &form.Picture2();
    in.areas = areas;
    in.n = n;
    in.N = N;
    in.background = form.BkColor->ColorValue();
    return core::RenderMorph(in);
}

}  // namespace testing_support
