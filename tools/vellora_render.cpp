// vellora-render: renders one picture of a morphing project, or the whole
// sequence as an AVI video, without the window, for batch work and scripts.
//
//   vellora-render PROJECT.mor -o OUTPUT [--length SECONDS] [--rate PPS]
//                  [--picture n] [--background #RRGGBB] [--uncompressed]
//   vellora-render PROJECT.mor --match K|all -o NEW.mor   (match_command.h)
//
// Exit codes: 0 done, 1 an input or output failure, 2 a usage error. On any
// failure one line goes to stderr and OUTPUT is not touched.
#include <QCoreApplication>
#include <QString>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/export/picturefile.h"
#include "app/export/videoexport.h"
#include "core/printable.h"
#include "core/projectfile.h"
#include "core/renderer.h"
#include "match_command.h"
#include "raster/dib.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "Usage: vellora-render PROJECT.mor -o OUTPUT [options]\n"
    "\n"
    "Renders picture n of a morphing project's sequence of N = trunc(length x rate)\n"
    "pictures and writes it to OUTPUT, a 24-bit picture whose format follows the\n"
    "extension: .bmp, .png, .jpg or .jpeg (quality 95), .tif or .tiff. With an\n"
    "OUTPUT ending in .avi, renders pictures 1 to N\n"
    "and writes them as an AVI video at the rate (Motion JPEG at high quality, or\n"
    "uncompressed with --uncompressed). The project's picture names are resolved\n"
    "against the project's folder.\n"
    "\n"
    "Options:\n"
    "  -o OUTPUT                  the file to write (required)\n"
    "  --length SECONDS           length of the sequence in seconds (default 5)\n"
    "  --rate PICTURES_PER_SECOND pictures per second (default 5)\n"
    "  --picture n                the picture to render, 1..N (default 1)\n"
    "  --background #RRGGBB       colour where no picture covers the result (default #000000)\n"
    "  --uncompressed             .avi: write uncompressed frames, exactly the rendered pictures\n"
    "  --help                     show this text\n"
    "\n"
    "Exit status: 0 done, 1 the project, a picture or the output could not be read or\n"
    "written, 2 the arguments are wrong. Nothing is written when it fails.\n";

// A failure with its exit code; the message is printed as one line.
struct TFailure {
    int code;
    std::string message;
};

struct TOptions {
    std::string project;
    std::string output;
    double length = 5;
    double rate = 5;
    std::int64_t picture = 1;
    std::uint32_t background = 0;  // red in the lowest byte
    bool uncompressed = false;
};

bool ParseNumber(std::string_view text, double& value) {
    const std::string s(text);
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(s.c_str(), &end);
    return errno == 0 && end == s.c_str() + s.size() && std::isfinite(value);
}

bool ParseInteger(std::string_view text, std::int64_t& value) {
    const std::string s(text);
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(s.c_str(), &end, 10);
    return errno == 0 && end == s.c_str() + s.size();
}

bool ParseColor(std::string_view text, std::uint32_t& value) {
    if (text.size() != 7 || text[0] != '#') return false;
    std::uint32_t rgb = 0;
    for (char c : text.substr(1)) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        rgb = rgb * 16 + static_cast<std::uint32_t>(digit);
    }
    // #RRGGBB to the renderer's order, red in the lowest byte.
    value = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    return true;
}

// A name for messages: no byte of it reaches the terminal raw.
std::string Shown(std::string_view name) {
    return core::PrintableText(name);
}

bool IsVideo(const std::string& file) {
    std::string ext = std::filesystem::path(file).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".avi";
}

// The picture format the output's extension names, as the window reads it.
std::optional<appexport::PictureFormat> PictureFormatOf(const std::string& file) {
    return appexport::FormatForName(QString::fromLocal8Bit(file.c_str()));
}

// Either the options or a usage failure; --help is reported as exit 0.
std::optional<TFailure> ParseArguments(const std::vector<std::string>& args, TOptions& options) {
    auto usage = [](std::string text) { return TFailure{kExitUsage, std::move(text)}; };
    bool haveOutput = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") return TFailure{kExitOk, {}};
        if (a == "--uncompressed") {
            options.uncompressed = true;
            continue;
        }
        const bool takesValue = a == "-o" || a == "--length" || a == "--rate" || a == "--picture" ||
                                a == "--background";
        if (takesValue) {
            if (i + 1 >= args.size()) return usage(a + " needs a value");
            const std::string& v = args[++i];
            if (a == "-o") {
                if (haveOutput) return usage("-o is given twice");
                options.output = v;
                haveOutput = true;
            } else if (a == "--length") {
                if (!ParseNumber(v, options.length) || options.length <= 0)
                    return usage("--length must be a number above 0, not '" + Shown(v) + "'");
            } else if (a == "--rate") {
                if (!ParseNumber(v, options.rate) || options.rate <= 0)
                    return usage("--rate must be a number above 0, not '" + Shown(v) + "'");
            } else if (a == "--picture") {
                if (!ParseInteger(v, options.picture))
                    return usage("--picture must be a whole number, not '" + Shown(v) + "'");
            } else if (!ParseColor(v, options.background)) {
                return usage("--background must be a colour #RRGGBB, not '" + Shown(v) + "'");
            }
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option " + Shown(a));
        } else {
            if (!options.project.empty()) return usage("more than one project given: " + Shown(a));
            options.project = a;
        }
    }
    if (options.project.empty()) return usage("no project file given");
    if (!haveOutput || options.output.empty()) return usage("no output file given (-o OUTPUT)");
    if (!IsVideo(options.output) && !PictureFormatOf(options.output))
        return usage("the output must end in .bmp, .png, .jpg, .jpeg, .tif, .tiff or .avi: " +
                     Shown(options.output));
    if (IsVideo(options.output)) {
        if (options.rate != std::trunc(options.rate) || options.rate > 1000) {
            char rate[32];
            std::snprintf(rate, sizeof rate, "%g", options.rate);
            return usage(
                std::string(
                    "a video needs a whole number of pictures per second up to 1000, not --rate ") +
                rate);
        }
    } else if (options.uncompressed) {
        return usage("--uncompressed applies to .avi output only");
    }
    return std::nullopt;
}

raster::DibRecord BlankPicture() {
    // What a slot holds without a picture file: white, 320 x 200.
    raster::DibRecord dib = raster::newdib(320, 200, 24);
    std::fill(dib.Bits().begin(), dib.Bits().end(), std::uint8_t{255});
    return dib;
}

std::optional<TFailure> LoadPicture(const std::string& project, const std::string& stored,
                                    int number, raster::DibRecord& dib) {
    if (stored.empty()) {
        dib = BlankPicture();
        return std::nullopt;
    }
    dib = raster::OpenDib(core::ResolveStoredName(project, stored));
    if (dib.HasPixels()) return std::nullopt;
    return TFailure{kExitFailure, "picture " + std::to_string(number) + " (" + Shown(stored) +
                                      ") cannot be loaded: " + Shown(dib.ErrorText())};
}

// The same writer and the same bytes as the window's "Save picture...".
std::optional<TFailure> WritePicture(const std::string& output, appexport::PictureFormat format,
                                     const raster::DibRecord& picture) {
    const core::TSaveResult saved = appexport::WritePictureFile(picture, format, output);
    if (!saved.ok)
        return TFailure{kExitFailure, "cannot write " + Shown(output) + ": " + saved.error};
    return std::nullopt;
}

// Qt's image plugins report their own write errors (libpng, libtiff) as
// warnings; the failure is reported once, as one line, by the caller.
void DropQtMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) {
    gInterrupted = 1;
}

// Renders pictures 1 to N and writes them as an AVI video. Ctrl-C stops
// cleanly: the partly written video is removed, OUTPUT stays untouched.
std::optional<TFailure> WriteVideo(const TOptions& options, core::TMorphInput input) {
    if (input.N > INT_MAX)
        return TFailure{kExitUsage,
                        "N = " + std::to_string(input.N) + " pictures are too many for a video"};
    const int count = static_cast<int>(input.N);
    const bool showProgress = ::isatty(STDERR_FILENO) != 0;
    raster::DibRecord frame;
    auto render = [&](int n) -> const raster::DibRecord& {
        input.n = n;
        frame = core::RenderMorph(input);
        return frame;
    };
    int lastPercent = -1;
    auto progress = [&](int written, int total) {
        const int percent = static_cast<int>(static_cast<std::int64_t>(written) * 100 / total);
        if (showProgress && percent != lastPercent) {
            std::fprintf(stderr, "\rvellora-render: picture %d of %d (%d %%)", written, total,
                         percent);
            std::fflush(stderr);
        }
        lastPercent = percent;
        return gInterrupted == 0;
    };
    gInterrupted = 0;
    auto oldInt = std::signal(SIGINT, OnInterrupt);
    auto oldTerm = std::signal(SIGTERM, OnInterrupt);
    const appexport::ExportResult result = appexport::WriteAviSequence(
        QString::fromLocal8Bit(options.output.c_str()), count, static_cast<int>(options.rate),
        options.uncompressed ? appexport::VideoCodec::Uncompressed
                             : appexport::VideoCodec::MotionJpeg,
        render, progress);
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
    if (showProgress) std::fputc('\n', stderr);
    switch (result.status) {
        case appexport::ExportStatus::Done:
            return std::nullopt;
        case appexport::ExportStatus::Cancelled:
            return TFailure{kExitFailure, "interrupted; no video was written"};
        case appexport::ExportStatus::Failed:
            break;
    }
    return TFailure{kExitFailure, Shown(result.message.toStdString())};
}

// Renders and writes OUTPUT in the format its extension names.
std::optional<TFailure> WriteOutput(const TOptions& options, const core::TMorphInput& input) {
    if (IsVideo(options.output)) return WriteVideo(options, input);
    const std::optional<appexport::PictureFormat> format = PictureFormatOf(options.output);
    if (!format) return TFailure{kExitUsage, "unsupported output format: " + Shown(options.output)};
    const raster::DibRecord picture = core::RenderMorph(input);
    if (!picture.HasPixels())
        return TFailure{kExitFailure, "not enough memory to render the picture"};
    return WritePicture(options.output, *format, picture);
}

std::optional<TFailure> Run(const TOptions& options) {
    const core::TProjectReadResult read = core::ReadProjectFile(options.project);
    if (read.status != core::TProjectStatus::Ok) {
        return TFailure{kExitFailure, "cannot use project " + Shown(options.project) + ": " +
                                          core::DescribeProjectStatus(read.status, read.announced)};
    }
    // N as the window computes it from its fields: truncated toward zero.
    const double product = std::trunc(options.length * options.rate);
    if (product < 1) return TFailure{kExitUsage, "length x rate gives no picture (N < 1)"};
    const std::int64_t N = product >= 9.0e18 ? INT64_MAX : static_cast<std::int64_t>(product);
    if (options.picture < 1 || options.picture > N)
        return TFailure{kExitUsage, "--picture must be between 1 and N = " + std::to_string(N) +
                                        ", not " + std::to_string(options.picture)};

    raster::DibRecord pic1;
    raster::DibRecord pic2;
    if (auto f = LoadPicture(options.project, read.data.pic1Name, 1, pic1)) return f;
    if (auto f = LoadPicture(options.project, read.data.pic2Name, 2, pic2)) return f;

    core::TMorphInput input;
    input.pic1 = &pic1;
    input.pic2 = &pic2;
    input.areas = read.data.areas;
    input.N = N;
    input.n = options.picture;
    input.background = options.background;
    return WriteOutput(options, input);
}

}  // namespace

int main(int argc, char** argv) {
    // Past a file-size limit a write then fails with "File too large", which
    // is reported and cleaned up, instead of the signal ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    // Picture decoders may be plugins, which need the application object;
    // no display is needed.
    qInstallMessageHandler(DropQtMessages);
    QCoreApplication app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (matchcommand::Wanted(args)) return matchcommand::Run(args, kUsage);
    TOptions options;
    std::optional<TFailure> failure = ParseArguments(args, options);
    if (failure && failure->code == kExitOk) {
        std::fputs(kUsage, stdout);
        std::fputs(matchcommand::kUsage, stdout);
        return kExitOk;
    }
    if (!failure) {
        // Loading, rendering and encoding a huge picture may each run out of
        // memory; whatever was being written is removed on the way out.
        try {
            failure = Run(options);
        } catch (const std::bad_alloc&) {
            failure = TFailure{kExitFailure, "not enough memory; nothing was written"};
        }
    }
    if (!failure) return kExitOk;
    std::fprintf(stderr, "vellora-render: %s\n", failure->message.c_str());
    return failure->code;
}
