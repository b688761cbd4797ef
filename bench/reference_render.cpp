// The literal reference program: loads the two pictures of a project,
// renders one picture with the literal reference renderer of the tests and
// writes it, the whole run as vellora-render does it. The end-to-end
// benchmark (render_end_to_end.sh) times vellora-render against it.
//
//   reference_render PROJECT.mor OUTPUT.bmp N n
//   reference_render --make-scene FOLDER [SCALE]
//       writes a project of 1920 x 1080 pictures with 8 pairs, every side
//       multiplied by SCALE (1 by default; 4 gives 7680 x 4320)
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/projectfile.h"
#include "core/renderer_oracle.h"
#include "export/picturefile.h"
#include "raster/opendib.h"

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;

// The pattern of the full HD scene, drawn at SCALE times its size.
raster::DibRecord Picture(int seed, int scale) {
    raster::DibRecord dib = raster::newdib(kW * scale, kH * scale, 24);
    for (int y = 0; y < kH * scale; ++y) {
        std::uint8_t* row = dib.Row(y);
        const int sy = y / scale;
        for (int x = 0; x < kW * scale; ++x) {
            const int sx = x / scale;
            row[3 * x] = static_cast<std::uint8_t>(sx / 8 + seed * 50);
            row[3 * x + 1] = static_cast<std::uint8_t>(sy / 5 + ((sx / 64 + sy / 64) & 1) * 60);
            row[3 * x + 2] = static_cast<std::uint8_t>((sx + sy) / 12 + seed * 90);
        }
    }
    return dib;
}

int MakeScene(const std::string& folder, int scale) {
    core::TProjectData project{"one.bmp", "two.bmp", {}};
    for (int i = 0; i < 8; ++i) {
        const int x = 100 + (i % 4) * 430;
        const int y = 150 + (i / 4) * 450;
        const int s = scale;
        project.areas.push_back({s * x, s * y, s * (x + 300), s * (y + 280), s * (x + 40 - i * 10),
                                 s * (y + 30), s * (x + 360 - i * 5), s * (y + 330)});
    }
    std::vector<std::uint8_t> bytes;
    core::WriteProject(project, bytes);
    const bool ok = exporting::WritePictureFile(Picture(1, scale), exporting::PictureFormat::Bmp,
                                                folder + "/one.bmp")
                        .ok &&
                    exporting::WritePictureFile(Picture(2, scale), exporting::PictureFormat::Bmp,
                                                folder + "/two.bmp")
                        .ok &&
                    core::ReplaceFile(folder + "/scene.mor", bytes).ok;
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if ((argc == 3 || argc == 4) && std::string(argv[1]) == "--make-scene") {
        const int scale = argc == 4 ? std::atoi(argv[3]) : 1;
        if (scale < 1 || scale > 8) {
            std::fputs("reference_render: SCALE must be 1 to 8\n", stderr);
            return 2;
        }
        return MakeScene(argv[2], scale);
    }
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
    return exporting::WritePictureFile(result, exporting::PictureFormat::Bmp, argv[2]).ok ? 0 : 1;
}
