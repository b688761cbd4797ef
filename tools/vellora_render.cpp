// vellora-render: renders one picture of a morphing project, or the
// sequence as a video or as numbered pictures, without the window, for batch
// work and scripts. Several projects, or sequence files (.morseq), render one
// after another into one sequence (core/sequence.h).
//
//   vellora-render PROJECT.mor|SEQUENCE.morseq ... -o OUTPUT [--length SECONDS]
//                  [--rate PPS] [--timing T] [--hold K] [--mode M]
//                  [--picture n] [--frames A-B] [--background #RRGGBB]
//                  [--quality Q] [--uncompressed] [--quiet]
//   vellora-render PROJECT.mor --match K|all -o NEW.mor   (match_command.h)
//   vellora-render PROJECT.mor --find-pairs -o NEW.mor
//
// Exit codes: 0 done, 1 an input or output failure, 2 a usage error, 128 +
// the signal's number when SIGINT, SIGTERM, SIGHUP or SIGQUIT ended it
// (interruption.h). On any failure one line goes to stderr and OUTPUT is not
// touched.
#include <QCoreApplication>
#include <QElapsedTimer>
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

#include "core/printable.h"
#include "core/process.h"
#include "core/projectfile.h"
#include "core/renderer.h"
#include "core/sequence.h"
#include "core/sequencefile.h"
#include "export/morphframes.h"
#include "export/picturefile.h"
#include "export/pictureseries.h"
#include "export/videoexport.h"
#include "interruption.h"
#include "match_command.h"
#include "raster/dib.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "Usage: vellora-render PROJECT.mor [PROJECT.mor|SEQUENCE.morseq ...] -o OUTPUT [options]\n"
    "\n"
    "Renders picture n of a morphing project's sequence of N = trunc(length x rate)\n"
    "pictures and writes it to OUTPUT, a 24-bit picture whose format follows the\n"
    "extension: .bmp, .png, .jpg or .jpeg (quality 95), .tif or .tiff.\n"
    "Several projects play one after another, N pictures each; where a project's\n"
    "picture 2 and the next one's picture 1 are the same file or the same pixels,\n"
    "that picture is written once (the next project's first picture is left out).\n"
    "Pictures of different sizes are centred on the largest in the background\n"
    "colour. A sequence file .morseq lists projects, one per line, relative to the\n"
    "file, with optional length=SECONDS, timing=T and hold=K after the name; #\n"
    "starts a comment.\n"
    "A video OUTPUT gets pictures 1 to N (or --frames) at the rate:\n"
    "  .avi   Motion JPEG at high quality, or uncompressed with --uncompressed\n"
    "  .mp4   H.264, 4:2:0, plays in browsers, on phones and in presentations\n"
    "  .webm  VP9, 4:2:0\n"
    "  .gif   animated, looping, one palette of 256 colours for the sequence, dithered\n"
    "H.264 and VP9 need an even size: an odd width or height gets one more column at\n"
    "the right or row at the bottom, in the background colour.\n"
    "An OUTPUT with one number field, such as frames/m_%04d.png, writes one picture\n"
    "per file, named by its number (the folder must exist). The project's picture\n"
    "names are resolved against the project's folder.\n"
    "\n"
    "Options:\n"
    "  -o OUTPUT                  the file to write (required)\n"
    "  --length SECONDS           length of the sequence in seconds (default 5)\n"
    "                             --length, --timing and --hold also take a list, one\n"
    "                             value per project named: --length 4,2,3\n"
    "  --rate PICTURES_PER_SECOND pictures per second (default 5)\n"
    "  --timing T                 linear (default), ease-in, ease-out or ease-in-out:\n"
    "                             picture n shows the morph at t x t, 1 - (1 - t)^2 or\n"
    "                             3t^2 - 2t^3 of the way, t = n / N\n"
    "  --hold K                   repeat the first picture K times before and the last\n"
    "                             K times after each morph, 0..100 (default 0)\n"
    "  --mode M                   morph (default); warp: the areas travel, the colours\n"
    "                             stay picture 1's; warp2: the same from picture 2's\n"
    "                             side; dissolve: no area travels, the colours blend\n"
    "  --picture n                the picture to render, 1..N (default 1), counted with\n"
    "                             the held pictures and over the whole sequence\n"
    "  --frames A-B               videos and numbered pictures: pictures A to B only\n"
    "                             (default 1-N)\n"
    "  --background #RRGGBB       colour where no picture covers the result (default #000000)\n"
    "  --quality Q                .mp4: constant rate factor 0..51 (default 18); .webm:\n"
    "                             0..63 (default 24); lower is better, the defaults are\n"
    "                             visually lossless\n"
    "  --uncompressed             .avi: write uncompressed frames, exactly the rendered pictures\n"
    "  --quiet                    no progress on the terminal\n"
    "  --help                     show this text\n"
    "\n"
    "Exit status: 0 done, 1 the project, a picture or the output could not be read or\n"
    "written, 2 the arguments are wrong, 128 + the signal's number when a signal\n"
    "(Ctrl-C, SIGTERM, SIGHUP, SIGQUIT) ended it. Nothing is written when it fails.\n";

// A failure with its exit code; the message is printed as one line.
struct TFailure {
    int code;
    std::string message;
};

struct TOptions {
    std::vector<std::string> projects;
    std::string output;
    // --match: the pair to match ("all" or a number from 1); empty renders.
    std::string matchPair;
    bool match = false;
    bool findPairs = false;  // --find-pairs
    // The first option given that only rendering takes, for --match's message.
    std::string renderOption;
    double length = 5;
    double rate = 5;
    std::int64_t picture = 1;
    std::uint32_t background = 0;  // red in the lowest byte
    core::TTiming timing = core::TTiming::Linear;
    std::int64_t hold = 0;
    core::TMorphMode mode = core::TMorphMode::Morph;
    // --length, --timing and --hold with one value per project named, in
    // order ("4,2,3"); empty when one value is common to all.
    std::vector<double> lengths;
    std::vector<core::TTiming> timings;
    std::vector<std::int64_t> holds;
    bool uncompressed = false;
    bool quiet = false;
    bool haveFrames = false;
    std::int64_t firstFrame = 1;
    std::int64_t lastFrame = 0;  // 0: N
    int quality = -1;
    // What OUTPUT names.
    enum class Kind { Picture, Video, Series } kind = Kind::Picture;
    exporting::PictureFormat pictureFormat = exporting::PictureFormat::Bmp;
    exporting::VideoCodec codec = exporting::VideoCodec::MotionJpeg;
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

// "4,2,3": the values of a list, one value for text without a comma.
std::vector<std::string> SplitList(std::string_view text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        items.emplace_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos) return items;
        start = comma + 1;
    }
}

// "A-B" or "A", whole numbers.
bool ParseFrames(std::string_view text, std::int64_t& first, std::int64_t& last) {
    const std::size_t dash = text.find('-', 1);
    if (dash == std::string_view::npos) {
        if (!ParseInteger(text, first)) return false;
        last = first;
        return true;
    }
    return ParseInteger(text.substr(0, dash), first) && ParseInteger(text.substr(dash + 1), last);
}

std::optional<exporting::VideoCodec> VideoCodecOf(const std::string& file) {
    return exporting::VideoCodecForName(QString::fromLocal8Bit(file.c_str()));
}

// The picture format the output's extension names, as the window reads it.
std::optional<exporting::PictureFormat> PictureFormatOf(const std::string& file) {
    return exporting::FormatForName(QString::fromLocal8Bit(file.c_str()));
}

std::string RateText(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", rate);
    return text;
}

// Either the options or a usage failure; --help is reported as exit 0.
std::optional<TFailure> ParseArguments(const std::vector<std::string>& args, TOptions& options) {
    auto usage = [](std::string text) { return TFailure{kExitUsage, std::move(text)}; };
    bool haveOutput = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") return TFailure{kExitOk, {}};
        const bool isOption = a.size() > 1 && a[0] == '-';
        if (isOption && a != "-o" && a != "--match" && a != "--find-pairs" &&
            options.renderOption.empty())
            options.renderOption = a;
        if (a == "--find-pairs") {
            if (options.findPairs) return usage("--find-pairs is given twice");
            options.findPairs = true;
            continue;
        }
        if (a == "--uncompressed") {
            options.uncompressed = true;
            continue;
        }
        if (a == "--quiet" || a == "-q") {
            options.quiet = true;
            continue;
        }
        const bool takesValue = a == "-o" || a == "--length" || a == "--rate" || a == "--picture" ||
                                a == "--background" || a == "--frames" || a == "--quality" ||
                                a == "--match" || a == "--timing" || a == "--hold" || a == "--mode";
        if (takesValue) {
            if (i + 1 >= args.size()) return usage(a + " needs a value");
            const std::string& v = args[++i];
            if (a == "-o") {
                if (haveOutput) return usage("-o is given twice");
                options.output = v;
                haveOutput = true;
            } else if (a == "--match") {
                if (options.match) return usage("--match is given twice");
                options.match = true;
                options.matchPair = v;
            } else if (a == "--length") {
                for (const std::string& item : SplitList(v)) {
                    if (!ParseNumber(item, options.length) || options.length <= 0)
                        return usage("--length must be a number above 0, not '" + Shown(item) +
                                     "'");
                    options.lengths.push_back(options.length);
                }
            } else if (a == "--rate") {
                if (!ParseNumber(v, options.rate) || options.rate <= 0)
                    return usage("--rate must be a number above 0, not '" + Shown(v) + "'");
            } else if (a == "--timing") {
                for (const std::string& item : SplitList(v)) {
                    const auto timing = core::TimingFromName(item);
                    if (!timing)
                        return usage(
                            "--timing must be linear, ease-in, ease-out or ease-in-out, not '" +
                            Shown(item) + "'");
                    options.timing = *timing;
                    options.timings.push_back(*timing);
                }
            } else if (a == "--hold") {
                for (const std::string& item : SplitList(v)) {
                    if (!ParseInteger(item, options.hold) || options.hold < 0 ||
                        options.hold > core::kMaxHold)
                        return usage("--hold must be a whole number from 0 to 100, not '" +
                                     Shown(item) + "'");
                    options.holds.push_back(options.hold);
                }
            } else if (a == "--mode") {
                const auto mode = core::ModeFromName(v);
                if (!mode)
                    return usage("--mode must be morph, warp, warp2 or dissolve, not '" + Shown(v) +
                                 "'");
                options.mode = *mode;
            } else if (a == "--picture") {
                if (!ParseInteger(v, options.picture))
                    return usage("--picture must be a whole number, not '" + Shown(v) + "'");
            } else if (a == "--frames") {
                if (!ParseFrames(v, options.firstFrame, options.lastFrame))
                    return usage("--frames must be A-B, two picture numbers, not '" + Shown(v) +
                                 "'");
                options.haveFrames = true;
            } else if (a == "--quality") {
                std::int64_t q = 0;
                if (!ParseInteger(v, q) || q < 0 || q > 1000)
                    return usage("--quality must be a whole number, not '" + Shown(v) + "'");
                options.quality = static_cast<int>(q);
            } else if (!ParseColor(v, options.background)) {
                return usage("--background must be a colour #RRGGBB, not '" + Shown(v) + "'");
            }
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option " + Shown(a));
        } else {
            options.projects.push_back(a);
        }
    }
    if (options.projects.empty()) return usage("no project file given");
    // A list gives each project named its own value; one value is common.
    const std::size_t named = options.projects.size();
    for (const auto& [name, count] :
         {std::pair<const char*, std::size_t>{"--length", options.lengths.size()},
          {"--timing", options.timings.size()},
          {"--hold", options.holds.size()}}) {
        if (count > 1 && count != named)
            return usage(std::string(name) + " gives " + std::to_string(count) + " values for " +
                         std::to_string(named) + (named == 1 ? " project" : " projects"));
    }
    if (options.lengths.size() <= 1) options.lengths.clear();
    if (options.timings.size() <= 1) options.timings.clear();
    if (options.holds.size() <= 1) options.holds.clear();
    if (options.match && options.findPairs)
        return usage("--match and --find-pairs are separate runs");
    if (options.match || options.findPairs) {
        const std::string name = options.match ? "--match" : "--find-pairs";
        if (options.projects.size() > 1)
            return usage(name + " takes one project, not " + Shown(options.projects[1]));
        if (!options.renderOption.empty())
            return usage(name + " takes only the project and -o, not " +
                         Shown(options.renderOption));
        if (!haveOutput || options.output.empty())
            return usage("no output file given (-o NEW.mor)");
        return std::nullopt;
    }
    if (!haveOutput || options.output.empty()) return usage("no output file given (-o OUTPUT)");
    using Kind = TOptions::Kind;
    const std::string& out = options.output;
    if (exporting::IsNumberPattern(std::filesystem::path(out).filename().string())) {
        const int fields = exporting::NumberFieldCount(out);
        if (fields != 1)
            return usage(
                "a numbered OUTPUT needs exactly one number field such as %04d (and %% "
                "for a percent sign), not " +
                Shown(out));
        if (!PictureFormatOf(out))
            return usage("numbered pictures must end in .bmp, .png, .jpg, .jpeg, .tif or .tiff: " +
                         Shown(out));
        options.kind = Kind::Series;
        options.pictureFormat = *PictureFormatOf(out);
    } else if (const auto codec = VideoCodecOf(out)) {
        options.kind = Kind::Video;
        options.codec = *codec;
    } else if (const auto format = PictureFormatOf(out)) {
        options.kind = Kind::Picture;
        options.pictureFormat = *format;
    } else {
        return usage(
            "the output must end in .bmp, .png, .jpg, .jpeg, .tif, .tiff, .avi, .mp4, .webm or "
            ".gif: " +
            Shown(out));
    }
    if (options.uncompressed &&
        (options.kind != Kind::Video || options.codec != exporting::VideoCodec::MotionJpeg))
        return usage("--uncompressed applies to .avi output only");
    if (options.uncompressed) options.codec = exporting::VideoCodec::Uncompressed;
    if (options.haveFrames && options.kind == Kind::Picture)
        return usage("--frames applies to videos and numbered pictures; a picture takes --picture");
    if (options.quality >= 0) {
        const auto range =
            options.kind == Kind::Video ? exporting::QualityRangeOf(options.codec) : std::nullopt;
        if (!range) return usage("--quality applies to .mp4 and .webm output only");
        if (options.quality < range->best || options.quality > range->worst)
            return usage("--quality must be between " + std::to_string(range->best) + " and " +
                         std::to_string(range->worst) + " for this output, not " +
                         std::to_string(options.quality));
    }
    if (options.kind == Kind::Video) {
        if (options.codec == exporting::VideoCodec::Gif && options.rate > 50)
            return usage("a GIF shows at most 50 pictures per second, not --rate " +
                         RateText(options.rate));
        if (options.rate != std::trunc(options.rate) || options.rate > 1000) {
            return usage(
                "a video needs a whole number of pictures per second up to 1000, not --rate " +
                RateText(options.rate));
        }
    }
    return std::nullopt;
}

// The same encoder and the same bytes as the window's "Save picture...". A
// signal stops it at its next write.
std::optional<TFailure> WritePicture(const std::string& output, exporting::PictureFormat format,
                                     const raster::DibRecord& picture) {
    const core::TSaveResult saved = core::ReplaceFile(
        output,
        [&](core::TReplacement& out) {
            interruption::Hold("write");
            return exporting::WritePictureInto(out, picture, format);
        },
        &interruption::Flag());
    if (!saved.ok)
        return TFailure{kExitFailure, "cannot write " + Shown(output) + ": " + saved.error};
    return std::nullopt;
}

// Qt's image plugins report their own write errors (libpng, libtiff) as
// warnings; the failure is reported once, as one line, by the caller.
void DropQtMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

// Percentage, pictures per second and the time left, on one line that
// rewrites itself; only on a terminal.
class TProgressLine {
public:
    explicit TProgressLine(bool show) : show_(show) { clock_.start(); }
    ~TProgressLine() {
        if (shown_) std::fputc('\n', stderr);
    }
    TProgressLine(const TProgressLine&) = delete;
    TProgressLine& operator=(const TProgressLine&) = delete;

    void Report(int written, int total) {
        if (!show_ || total < 1) return;
        const qint64 ms = clock_.elapsed();
        // At most a few updates a second, and always the last one.
        if (written != total && written != 0 && ms - lastMs_ < 250) return;
        lastMs_ = ms;
        const double seconds = static_cast<double>(ms) / 1000.0;
        const double rate = seconds > 0 ? written / seconds : 0;
        const int percent = static_cast<int>(static_cast<std::int64_t>(written) * 100 / total);
        char left[32] = "--:--";
        if (rate > 0) {
            const auto s = static_cast<std::int64_t>((total - written) / rate + 0.5);
            std::snprintf(left, sizeof left, "%lld:%02lld", static_cast<long long>(s / 60),
                          static_cast<long long>(s % 60));
        }
        std::fprintf(stderr,
                     "\rvellora-render: %3d %%  picture %d of %d  %.1f pictures/s  %s left ",
                     percent, written, total, rate, left);
        std::fflush(stderr);
        shown_ = true;
    }

private:
    bool show_;
    bool shown_ = false;
    qint64 lastMs_ = 0;
    QElapsedTimer clock_;
};

// Renders pictures A to B and writes them as a video or as numbered
// pictures. A signal stops it cleanly: the partly written video is removed
// and OUTPUT stays untouched; of numbered pictures, those the run created
// are removed and the old ones it replaced are told.
std::optional<TFailure> WriteSequence(const TOptions& options, core::TMorphSequence& sequence) {
    const std::int64_t N = sequence.FrameCount();
    if (N > INT_MAX)
        return TFailure{kExitUsage,
                        "N = " + std::to_string(N) + " pictures are too many for a sequence"};
    const std::int64_t first = options.haveFrames ? options.firstFrame : 1;
    const std::int64_t last = options.haveFrames ? options.lastFrame : N;
    if (first < 1 || last > N || first > last)
        return TFailure{kExitUsage,
                        "--frames must be A-B with 1 <= A <= B <= N = " + std::to_string(N) +
                            ", not " + std::to_string(first) + "-" + std::to_string(last)};
    std::optional<TProgressLine> line;
    line.emplace(!options.quiet && ::isatty(STDERR_FILENO) != 0);
    auto progress = [&](int written, int total) {
        line->Report(written, total);
        if (written == 1) interruption::Hold("frame");
        return !interruption::Requested();
    };
    exporting::TSequenceJob job;
    job.series = options.kind == TOptions::Kind::Series;
    job.pattern = options.output;
    job.format = options.pictureFormat;
    job.video = QString::fromLocal8Bit(options.output.c_str());
    job.options.codec = options.codec;
    job.options.fps = static_cast<int>(options.rate);
    job.options.first = static_cast<int>(first);
    job.options.last = static_cast<int>(last);
    job.options.quality = options.quality;
    job.options.background = options.background;
    exporting::ExportResult result;
    if (sequence.Segments().size() == 1) {
        // One project: the same road as the window's "Save AVI video...".
        job.hold = sequence.Segments().front().hold;
        result = exporting::WriteMorphSequence(job, sequence.Input(0, 1), progress,
                                               &interruption::Flag());
    } else {
        const bool secondThread = options.kind == TOptions::Kind::Series ||
                                  !exporting::EncoderFillsTheCores(options.codec);
        raster::DibRecord frame;
        auto render = [&](int n) -> const raster::DibRecord& {
            sequence.RenderFrame(n - 1, frame, secondThread);
            return frame;
        };
        result = exporting::WriteSequenceFrames(job, render, progress, &interruption::Flag());
    }
    line.reset();
    if (result.status == exporting::ExportStatus::Done) return std::nullopt;
    if (interruption::Requested()) {
        if (options.kind != TOptions::Kind::Series)
            return TFailure{interruption::ExitCode(),
                            interruption::Message("no video was written")};
        return TFailure{interruption::ExitCode(),
                        interruption::Message(result.replaced.isEmpty()
                                                  ? "no picture was kept"
                                                  : Shown(result.replaced.toStdString()))};
    }
    return TFailure{kExitFailure, Shown(result.message.toStdString())};
}

// The failure of a run a signal ended: nothing was written.
TFailure Interrupted() {
    return TFailure{interruption::ExitCode(), interruption::Message("nothing was written")};
}

// Renders and writes OUTPUT in the format its extension names.
std::optional<TFailure> WriteOutput(const TOptions& options, core::TMorphSequence& sequence) {
    if (options.kind != TOptions::Kind::Picture) return WriteSequence(options, sequence);
    raster::DibRecord picture;
    sequence.RenderFrame(options.picture - 1, picture);
    if (interruption::Requested()) return Interrupted();
    if (!picture.HasPixels())
        return TFailure{kExitFailure, "not enough memory to render the picture"};
    return WritePicture(options.output, options.pictureFormat, picture);
}

// The projects named on the command line, sequence files read into theirs.
std::optional<TFailure> SequenceItems(const TOptions& options,
                                      std::vector<core::TSequenceItem>& items) {
    for (std::size_t i = 0; i < options.projects.size(); ++i) {
        const std::string& name = options.projects[i];
        // This project's own values from the lists; a sequence file's lines
        // keep what they set themselves.
        core::TSequenceOverrides own;
        if (!options.lengths.empty()) own.length = options.lengths[i];
        if (!options.timings.empty()) own.timing = options.timings[i];
        if (!options.holds.empty()) own.hold = options.holds[i];
        if (!core::IsSequenceFileName(name)) {
            items.push_back({name, own, {}});
            continue;
        }
        const core::TSequenceRead read = core::ReadSequenceFile(name);
        if (!read.ok()) return TFailure{kExitFailure, read.error};
        for (core::TSequenceItem item : read.items) {
            if (!item.settings.length) item.settings.length = own.length;
            if (!item.settings.timing) item.settings.timing = own.timing;
            if (!item.settings.hold) item.settings.hold = own.hold;
            items.push_back(std::move(item));
        }
    }
    return std::nullopt;
}

std::optional<TFailure> Run(const TOptions& options) {
    std::vector<core::TSequenceItem> items;
    if (auto f = SequenceItems(options, items)) return f;
    // N as the window computes it from its fields: truncated toward zero.
    const bool commonLength = std::any_of(items.begin(), items.end(), [](const auto& item) {
        return !item.settings.length.has_value();
    });
    if (commonLength && std::trunc(options.length * options.rate) < 1)
        return TFailure{kExitUsage, "length x rate gives no picture (N < 1)"};

    core::TSequenceSettings common;
    common.length = options.length;
    common.rate = options.rate;
    common.timing = options.timing;
    common.hold = options.hold;
    common.mode = options.mode;
    common.background = options.background;
    core::TMorphSequence sequence;
    bool held = false;
    const std::string problem = sequence.Load(items, common, [&] {
        if (!held) interruption::Hold("load");
        held = true;
        return !interruption::Requested();
    });
    if (problem == core::TMorphSequence::kStopped) return Interrupted();
    if (!problem.empty()) return TFailure{kExitFailure, problem};
    if (interruption::Requested()) return Interrupted();

    const std::int64_t N = sequence.FrameCount();
    if (options.picture < 1 || options.picture > N)
        return TFailure{kExitUsage, "--picture must be between 1 and N = " + std::to_string(N) +
                                        ", not " + std::to_string(options.picture)};
    return WriteOutput(options, sequence);
}

}  // namespace

int main(int argc, char** argv) {
    core::PrepareProcess();
    // For the whole run, matching included: every step checks the flag.
    interruption::Install();
    // Picture decoders may be plugins, which need the application object;
    // no display is needed.
    qInstallMessageHandler(DropQtMessages);
    QCoreApplication app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    TOptions options;
    std::optional<TFailure> failure = ParseArguments(args, options);
    if (failure && failure->code == kExitOk) {
        std::fputs(kUsage, stdout);
        std::fputs(matchcommand::kUsage, stdout);
        return kExitOk;
    }
    if (!failure && options.match)
        return matchcommand::Run(options.projects.front(), options.output, options.matchPair);
    if (!failure && options.findPairs)
        return matchcommand::RunFindPairs(options.projects.front(), options.output);
    if (!failure) {
        // Loading, rendering and encoding a huge picture may each run out of
        // memory; whatever was being written is removed on the way out.
        try {
            failure = Run(options);
        } catch (const std::bad_alloc&) {
            failure = TFailure{kExitFailure, "not enough memory; nothing was written"};
        }
        // A step that failed because of the signal (a write it stopped).
        if (failure && failure->code != kExitUsage && interruption::Requested() &&
            failure->code != interruption::ExitCode())
            failure = Interrupted();
    }
    if (!failure) return kExitOk;
    std::fprintf(stderr, "vellora-render: %s\n", failure->message.c_str());
    return failure->code;
}
