// find_pairs_bench: "Find pairs" measured: its speed on two pictures of 1920 x 1080 and of
// 3840 x 2160, and its accuracy on portraits with hand-marked truth, each
// shifted, scaled and mirrored, and on pictures without a face. Goes through
// the vision module as the program does.
//
//   find_pairs_bench speed PORTRAIT [RUNS]
//   find_pairs_bench accuracy TRUTH.txt PHOTO_FOLDER [NO_FACE_PICTURE...]
//   find_pairs_bench cats PHOTO_FOLDER NAME...
//
// TRUTH.txt (bench/find_pairs_truth.txt): one portrait a line, "name leftEyeX
// leftEyeY rightEyeX rightEyeY noseX noseY mouthX mouthY faceLeft faceTop
// faceRight faceBottom", left and right as the picture shows them. The name
// may end in "^90", "^180" or "^270" (the photo turned clockwise by that much)
// and then in "@x,y,w,h" (that part of the turned photo, to keep one person of
// a group); the truth is in pixels of the turned, uncropped photo.
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "opencv_pictures.h"
#include "raster/dib.h"
#include "raster/opendib.h"
#include "vision/facepairs.h"
#include "vision/vision.h"

namespace {

using bench_support::ToDib;
using bench_support::ToMat;

const vision::TVisionModule& Module() {
    const vision::TLoaded& loaded = vision::Load();
    if (!loaded.module) {
        std::fprintf(stderr, "find_pairs_bench: %s\n", loaded.message.c_str());
        std::exit(1);
    }
    return *loaded.module;
}

vision::TFaceFound Find(const raster::DibRecord& picture) {
    std::string error;
    const vision::TFaceFound found = Module().findFace(picture, vision::kCascadeFolder, error);
    if (!error.empty()) {
        std::fprintf(stderr, "find_pairs_bench: %s\n", error.c_str());
        std::exit(1);
    }
    return found;
}

cv::Mat Photo(const std::string& file) {
    const raster::DibRecord dib = raster::OpenDib(file);
    if (!dib.HasPixels()) {
        std::fprintf(stderr, "find_pairs_bench: cannot load %s\n", file.c_str());
        std::exit(1);
    }
    return ToMat(dib);
}

// The portrait scaled to fill `fill` of the height, on a grey canvas.
cv::Mat OnCanvas(const cv::Mat& photo, int width, int height, double fill, int dx) {
    cv::Mat canvas(height, width, CV_8UC3, cv::Scalar(128, 128, 128));
    const double s = fill * height / photo.rows;
    cv::Mat scaled;
    cv::resize(photo, scaled, cv::Size(), s, s, cv::INTER_AREA);
    const cv::Rect at((width - scaled.cols) / 2 + dx, (height - scaled.rows) / 2, scaled.cols,
                      scaled.rows);
    scaled.copyTo(canvas(at));
    return canvas;
}

int Speed(const std::string& portrait, int runs) {
    const cv::Mat photo = Photo(portrait);
    std::printf(
        "== find_pairs speed (two pictures, median of %d; the first call reads the "
        "cascades)\n",
        runs);
    for (const auto& size : {cv::Size(1920, 1080), cv::Size(3840, 2160)}) {
        const raster::DibRecord one = ToDib(OnCanvas(photo, size.width, size.height, 0.9, -100));
        const raster::DibRecord two = ToDib(OnCanvas(photo, size.width, size.height, 0.7, 150));
        std::vector<double> times;
        std::size_t pairs = 0;
        for (int i = 0; i <= runs; ++i) {
            const auto start = std::chrono::steady_clock::now();
            const vision::TFaceFound a = Find(one);
            const vision::TFaceFound b = Find(two);
            pairs = vision::NewPairs(vision::PlaceFeatures(a), vision::PlaceFeatures(b), {}).size();
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            if (i == 0)
                std::printf("%dx%d first call %.1f ms\n", size.width, size.height, ms);
            else
                times.push_back(ms);
        }
        std::sort(times.begin(), times.end());
        std::printf("%dx%d  %.1f ms  (%zu pairs)\n", size.width, size.height,
                    times[times.size() / 2], pairs);
    }
    return 0;
}

// A photo's name with its turn ("^90") and part ("@x,y,w,h").
struct TNamed {
    std::string file;
    int turn = 0;
    cv::Rect part;  // empty: the whole photo
};

TNamed Named(const std::string& name) {
    TNamed n;
    n.file = name;
    if (const auto at = n.file.find('@'); at != std::string::npos) {
        char comma;
        std::istringstream(n.file.substr(at + 1)) >> n.part.x >> comma >> n.part.y >> comma >>
            n.part.width >> comma >> n.part.height;
        n.file.erase(at);
    }
    if (const auto hat = n.file.find('^'); hat != std::string::npos) {
        n.turn = std::atoi(n.file.c_str() + hat + 1);
        n.file.erase(hat);
    }
    return n;
}

cv::Mat NamedPhoto(const std::string& folder, const TNamed& n) {
    cv::Mat photo = Photo(folder + "/" + n.file);
    if (n.turn == 90) cv::rotate(photo, photo, cv::ROTATE_90_CLOCKWISE);
    if (n.turn == 180) cv::rotate(photo, photo, cv::ROTATE_180);
    if (n.turn == 270) cv::rotate(photo, photo, cv::ROTATE_90_COUNTERCLOCKWISE);
    if (!n.part.empty()) photo = photo(n.part & cv::Rect(0, 0, photo.cols, photo.rows)).clone();
    return photo;
}

struct TTruth {
    std::string name;  // as written, with its turn and part
    TNamed photo;
    cv::Point2d eye[2], nose, mouth;
    cv::Rect2d face;
};

// The truth after the photo is scaled by (sx, sy), moved by (tx, ty) and,
// when mirrored, flipped left to right within `width` (the eyes swap).
TTruth Moved(const TTruth& t, double sx, double sy, double tx, double ty, bool mirror,
             double width) {
    auto p = [&](cv::Point2d q) {
        cv::Point2d r(q.x * sx + tx, q.y * sy + ty);
        if (mirror) r.x = width - 1 - r.x;
        return r;
    };
    TTruth m = t;
    m.eye[0] = p(t.eye[mirror ? 1 : 0]);
    m.eye[1] = p(t.eye[mirror ? 0 : 1]);
    m.nose = p(t.nose);
    m.mouth = p(t.mouth);
    const cv::Point2d a = p(t.face.tl());
    const cv::Point2d b = p(t.face.br());
    m.face = cv::Rect2d(std::min(a.x, b.x), a.y, std::abs(b.x - a.x), b.y - a.y);
    return m;
}

int Accuracy(const std::string& truthFile, const std::string& folder,
             const std::vector<std::string>& noFace) {
    std::vector<TTruth> truths;
    std::ifstream in(truthFile);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream s(line);
        TTruth t;
        double l, tp, r, b;
        s >> t.name >> t.eye[0].x >> t.eye[0].y >> t.eye[1].x >> t.eye[1].y >> t.nose.x >>
            t.nose.y >> t.mouth.x >> t.mouth.y >> l >> tp >> r >> b;
        t.face = cv::Rect2d(l, tp, r - l + 1, b - tp + 1);
        t.photo = Named(t.name);
        if (!t.photo.part.empty()) {
            const cv::Point2d o(t.photo.part.x, t.photo.part.y);
            t.eye[0] -= o, t.eye[1] -= o, t.nose -= o, t.mouth -= o;
            t.face.x -= o.x, t.face.y -= o.y;
        }
        truths.push_back(t);
    }
    // Shifts, scales per axis and mirroring of each portrait.
    const struct {
        double sx, sy;
        int tx, ty;
        bool mirror;
    } variants[] = {{1, 1, 0, 0, false},       {1, 1, 0, 0, true},
                    {0.8, 0.8, 40, 10, false}, {1.3, 1.3, -30, 20, false},
                    {1.2, 1.0, 10, 0, true},   {1.0, 1.2, 0, -20, false},
                    {0.6, 0.6, 90, 60, true},  {1.6, 1.6, -120, -40, false}};
    int features = 0, featureHits = 0, faces = 0, faceHits = 0, found = 0, pictures = 0,
        leftOut = 0;
    const char* names[] = {"face", "left eye", "right eye", "nose", "mouth"};
    std::vector<std::array<int, 4>> perPortrait;  // feature hits, features, face hits, faces
    for (const TTruth& t : truths) {
        perPortrait.push_back({featureHits, features, faceHits, faces});
        const cv::Mat photo = NamedPhoto(folder, t.photo);
        for (const auto& v : variants) {
            cv::Mat scaled;
            cv::resize(photo, scaled, cv::Size(), v.sx, v.sy, cv::INTER_AREA);
            cv::Mat picture(scaled.rows, scaled.cols, CV_8UC3);
            const cv::Mat shift = (cv::Mat_<double>(2, 3) << 1, 0, v.tx, 0, 1, v.ty);
            cv::warpAffine(scaled, picture, shift, picture.size(), cv::INTER_NEAREST,
                           cv::BORDER_REPLICATE);
            if (v.mirror) cv::flip(picture, picture, 1);
            const TTruth m = Moved(t, v.sx, v.sy, v.tx, v.ty, v.mirror, picture.cols);
            // A face pushed partly out of a small picture by the shift is no portrait.
            if ((m.face & cv::Rect2d(0, 0, picture.cols, picture.rows)).area() <
                m.face.area() - 1) {
                ++leftOut;
                std::printf(
                    "%-30s x%.1f,%.1f %+4d,%+4d %s  left out: the face leaves the picture\n",
                    t.name.c_str(), v.sx, v.sy, v.tx, v.ty, v.mirror ? "mirrored" : "        ");
                continue;
            }
            ++pictures;
            const vision::TFaceFound f = Find(ToDib(picture));
            const vision::TFeatureHalves h = vision::PlaceFeatures(f);
            if (f.kind == vision::TFaceFound::Kind::Person) ++found;
            const double d = cv::norm(m.eye[1] - m.eye[0]);
            const cv::Point2d truth[5] = {{}, m.eye[0], m.eye[1], m.nose, m.mouth};
            std::string misses;
            for (int i = 1; i < 5; ++i) {
                ++features;
                if (!h[i]) {
                    misses += std::string(" ") + names[i] + " (no face)";
                    continue;
                }
                const cv::Point2d c((h[i]->left + h[i]->right) / 2.0,
                                    (h[i]->top + h[i]->bottom) / 2.0);
                const double off = cv::norm(c - truth[i]) / d;
                if (off <= 0.15)
                    ++featureHits;
                else {
                    char text[64];
                    std::snprintf(text, sizeof text, " %s %.2f", names[i], off);
                    misses += text;
                }
            }
            ++faces;
            double iou = 0;
            if (h[0])
                iou = vision::IoU(*h[0], {int(std::lround(m.face.x)), int(std::lround(m.face.y)),
                                          int(std::lround(m.face.x + m.face.width)) - 1,
                                          int(std::lround(m.face.y + m.face.height)) - 1});
            if (iou >= 0.7) ++faceHits;
            const vision::TRect half = h[0].value_or(vision::TRect{});
            std::printf(
                "%-30s x%.1f,%.1f %+4d,%+4d %s  face IoU %.2f (half %d,%d-%d,%d; "
                "truth %.0f,%.0f-%.0f,%.0f)%s%s\n",
                t.name.c_str(), v.sx, v.sy, v.tx, v.ty, v.mirror ? "mirrored" : "        ", iou,
                half.left, half.top, half.right, half.bottom, m.face.x, m.face.y,
                m.face.x + m.face.width - 1, m.face.y + m.face.height - 1,
                misses.empty() ? "" : "  off (of the eye distance):", misses.c_str());
        }
    }
    for (std::size_t i = 0; i < truths.size(); ++i) {
        const std::array<int, 4> end =
            i + 1 < truths.size() ? perPortrait[i + 1]
                                  : std::array<int, 4>{featureHits, features, faceHits, faces};
        std::printf("%-30s features %2d of %2d, faces %d of %d\n", truths[i].name.c_str(),
                    end[0] - perPortrait[i][0], end[1] - perPortrait[i][1],
                    end[2] - perPortrait[i][2], end[3] - perPortrait[i][3]);
    }
    // Find pairs between each picture without a face and the first portrait.
    vision::TFeatureHalves portrait;
    if (!truths.empty())
        portrait = vision::PlaceFeatures(Find(ToDib(NamedPhoto(folder, truths[0].photo))));
    int falseFaces = 0;
    std::size_t falsePairs = 0;
    for (const std::string& file : noFace) {
        const vision::TFaceFound f = Find(ToDib(Photo(file)));
        falsePairs += vision::NewPairs(vision::PlaceFeatures(f), portrait, {}).size();
        if (f.kind != vision::TFaceFound::Kind::None) {
            ++falseFaces;
            std::printf("no-face picture %s: a %s face found at %d,%d-%d,%d\n", file.c_str(),
                        f.kind == vision::TFaceFound::Kind::Cat ? "cat's" : "person's", f.face.left,
                        f.face.top, f.face.right, f.face.bottom);
        }
    }
    std::printf(
        "== find_pairs accuracy: %zu portraits, %d pictures (%d with the face found; %d left "
        "out)\n",
        truths.size(), pictures, found, leftOut);
    std::printf("features within 0.15 eye distance: %d of %d (%.0f %%)\n", featureHits, features,
                100.0 * featureHits / std::max(1, features));
    std::printf("face halves with IoU >= 0.7: %d of %d (%.0f %%)\n", faceHits, faces,
                100.0 * faceHits / std::max(1, faces));
    std::printf("pictures without a face in which one was found: %d of %zu\n", falseFaces,
                noFace.size());
    std::printf("pairs made between them and %s: %zu\n",
                truths.empty() ? "-" : truths[0].name.c_str(), falsePairs);
    return 0;
}

// Cats' faces: which of the pictures a cat's face is found in, and the pairs
// made between the first and each of the others (a face and two eyes).
int Cats(const std::string& folder, const std::vector<std::string>& names) {
    std::vector<vision::TFeatureHalves> halves;
    int found = 0;
    for (const std::string& name : names) {
        const vision::TFaceFound f = Find(ToDib(NamedPhoto(folder, Named(name))));
        halves.push_back(vision::PlaceFeatures(f));
        const bool cat = f.kind == vision::TFaceFound::Kind::Cat;
        found += cat;
        std::printf("%-32s %s", name.c_str(),
                    cat                                          ? "a cat's face"
                    : f.kind == vision::TFaceFound::Kind::Person ? "a person's face (wrong)"
                                                                 : "no face found");
        if (cat)
            std::printf(" at %d,%d-%d,%d", f.face.left, f.face.top, f.face.right, f.face.bottom);
        if (halves.size() > 1)
            std::printf(", %zu pairs with the first",
                        vision::NewPairs(halves.front(), halves.back(), {}).size());
        std::printf("\n");
    }
    std::printf("== find_pairs cats: a cat's face found in %d of %zu pictures\n", found,
                names.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "speed" && argc >= 3) return Speed(argv[2], argc > 3 ? std::atoi(argv[3]) : 9);
    if (mode == "accuracy" && argc >= 4)
        return Accuracy(argv[2], argv[3], std::vector<std::string>(argv + 4, argv + argc));
    if (mode == "cats" && argc >= 4)
        return Cats(argv[2], std::vector<std::string>(argv + 3, argv + argc));
    std::fprintf(stderr,
                 "usage: find_pairs_bench speed PORTRAIT [RUNS]\n"
                 "       find_pairs_bench cats PHOTO_FOLDER NAME...\n"
                 "       find_pairs_bench accuracy TRUTH.txt PHOTO_FOLDER [NO_FACE_PICTURE...]\n");
    return 2;
}
