// Test entry: a QApplication on the offscreen platform, C locale.
#include <QApplication>

#include <gtest/gtest.h>

#include <clocale>

#include "controls/tintacolorcombobox.h"
#include "core/renderer.h"
#include "support/test_support.h"

namespace testing_support {

FormFixture MakeForm() {
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

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    std::setlocale(LC_ALL, "C");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellora 1.0"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
