// The module loader: a module is used only when its file loads and its table
// is of this build's version; every refusal says why.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "core/module.h"
#include "support/test_files.h"

namespace {

struct TFixtureTable {
    int version;
    int (*answer)();
};

}  // namespace

TEST(Module, LoadsOnlyAModuleOfThisVersionAndSaysWhyNot) {
    std::string why;
    const auto* table =
        core::LoadModuleTable<TFixtureTable>(VELLORA_FIXTURE_MODULE, "fixture_module", 3, why);
    ASSERT_NE(table, nullptr) << why;
    EXPECT_TRUE(why.empty());
    EXPECT_EQ(table->answer(), 42);

    EXPECT_EQ(core::LoadModule(VELLORA_FIXTURE_MODULE, "fixture_module", 4).table, nullptr);
    EXPECT_EQ(core::LoadModule(VELLORA_FIXTURE_MODULE, "fixture_module", 4).error,
              std::string(VELLORA_FIXTURE_MODULE) + " is of another version");
    EXPECT_NE(core::LoadModule(VELLORA_FIXTURE_MODULE, "no_such_entry", 3)
                  .error.find("is not a module of this program (no no_such_entry)"),
              std::string::npos);

    const std::string dir = testing_support::OutDir(QStringLiteral("module")).toStdString();
    const core::TModuleLoad missing = core::LoadModule(dir + "/absent.so", "fixture_module", 3);
    EXPECT_EQ(missing.table, nullptr);
    EXPECT_EQ(missing.error, dir + "/absent.so is missing");

    // The system's reason is passed on.
    const std::string damaged = dir + "/damaged.so";
    std::ofstream(damaged) << std::string(256, 'x');
    const core::TModuleLoad bad = core::LoadModule(damaged, "fixture_module", 3);
    EXPECT_EQ(bad.table, nullptr);
    EXPECT_NE(bad.error.find(damaged), std::string::npos) << bad.error;
    EXPECT_NE(bad.error.find("header"), std::string::npos) << bad.error;
}

TEST(Module, PathIsTheBuildsUnlessInstalledBesideTheProgram) {
    // The test program is not installed: no bin/../lib/vellora beside it.
    EXPECT_EQ(core::ModulePath("vellora-video.so", "/build/src/video/vellora-video.so"),
              "/build/src/video/vellora-video.so");
}
