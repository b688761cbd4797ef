// The literal reference program: loads the two pictures of a project,
// renders one picture with the literal reference renderer of the tests and
// writes it, the whole run as vellora-render does it. The end-to-end
// benchmark (render_end_to_end.sh) times vellora-render against it.
//
//   reference_render PROJECT.mor OUTPUT.bmp N n
//   reference_render --make-scene FOLDER   writes a 1920 x 1080 project with 8 pairs
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/export/picturefile.h"
#include "core/projectfile.h"
#include "core/renderer_oracle.h"
#include "raster/opendib.h"

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;

raster::DibRecord Picture(int seed) {
    raster::DibRecord dib = raster::newdib(kW, kH, 24);
    for (int y = 0; y < kH; ++y) {
        std::uint8_t* row = dib.Row(y);
        for (int x = 0; x < kW; ++x) {
            row[3 * x] = static_cast<std::uint8_t>(x / 8 + seed * 50);
            row[3 * x + 1] = static_cast<std::uint8_t>(y / 5 + ((x / 64 + y / 64) & 1) * 60);
            row[3 * x + 2] = static_cast<std::uint8_t>((x + y) / 12 + seed * 90);
        }
    }
    return dib;
}

int MakeScene(const std::string& folder) {
    core::TProjectData project{"one.bmp", "two.bmp", {}};
    for (int i = 0; i < 8; ++i) {
        const int x = 100 + (i % 4) * 430;
        const int y = 150 + (i / 4) * 450;
        project.areas.push_back(
            {x, y, x + 300, y + 280, x + 40 - i * 10, y + 30, x + 360 - i * 5, y + 330});
    }
    std::vector<std::uint8_t> bytes;
    core::WriteProject(project, bytes);
    const bool ok =
        appexport::WritePictureFile(Picture(1), appexport::PictureFormat::Bmp, folder + "/one.bmp")
            .ok &&
        appexport::WritePictureFile(Picture(2), appexport::PictureFormat::Bmp, folder + "/two.bmp")
            .ok &&
        core::ReplaceFile(folder + "/scene.mor", bytes).ok;
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--make-scene") return MakeScene(argv[2]);
    if (argc != 5) {
        std::fputs("usage: reference_render PROJECT.mor OUTPUT.bmp N n\n", stderr);
        return 2;
    }
    const std::string project = argv[1];
    const core::TProjectReadResult read = core::ReadProjectFile(project);
    if (read.status != core::TProjectStatus::Ok) return 1;
    const raster::DibRecord pic1 =
        raster::OpenDib(core::ResolveStoredName(project, read.data.pic1Name));
    const raster::DibRecord pic2 =
        raster::OpenDib(core::ResolveStoredName(project, read.data.pic2Name));
    if (!pic1.HasPixels() || !pic2.HasPixels()) return 1;
    core::TMorphInput input;
    input.pic1 = &pic1;
    input.pic2 = &pic2;
    input.areas = read.data.areas;
    input.N = std::atoll(argv[3]);
    input.n = std::atoll(argv[4]);
    const raster::DibRecord result = oracle::RenderLiteral(input);
    return appexport::WritePictureFile(result, appexport::PictureFormat::Bmp, argv[2]).ok ? 0 : 1;
}
