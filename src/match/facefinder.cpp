#include "match/facefinder.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>

#include "match/grey.h"

namespace match {

namespace {

// Faces are looked for on a copy whose longer side is at most this: a face
// that fills a tenth of it is still 64 pixels, well above the cascades'
// 20-24 pixel windows, and the search takes a fraction of the time.
constexpr int kDetectSide = 512;
// Eyes and smiles are looked for in the face cut out at this width.
constexpr int kFaceWidth = 180;

struct TDetectors {
    cv::CascadeClassifier face;
    cv::CascadeClassifier cat;
    cv::CascadeClassifier eye;
    cv::CascadeClassifier smile;
    std::string error;
};

TDetectors& DetectorsIn(const std::string& folder) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<TDetectors>> loaded;
    const std::lock_guard lock(mutex);
    std::unique_ptr<TDetectors>& d = loaded[folder];
    if (d) return *d;
    d = std::make_unique<TDetectors>();
    const std::pair<cv::CascadeClassifier*, const char*> files[] = {
        {&d->face, "haarcascade_frontalface_alt2.xml"},
        {&d->cat, "haarcascade_frontalcatface.xml"},
        {&d->eye, "haarcascade_eye.xml"},
        {&d->smile, "haarcascade_smile.xml"}};
    for (const auto& [cascade, name] : files) {
        const std::string path = folder + "/" + name;
        bool ok = false;
        try {
            ok = cascade->load(path) && !cascade->empty();
        } catch (const cv::Exception&) {
            ok = false;  // a damaged file
        }
        if (!ok) {
            d->error = "the face detector cannot read " + path;
            break;
        }
    }
    return *d;
}

cv::Rect Largest(const std::vector<cv::Rect>& found) {
    return *std::max_element(found.begin(), found.end(), [](const cv::Rect& a, const cv::Rect& b) {
        return a.area() < b.area();
    });
}

vision::TRect ToPicture(const cv::Rect& r, double scale, cv::Point offset = {}) {
    auto at = [&](double v) { return static_cast<std::int32_t>(std::lround(v)); };
    return {at((offset.x + r.x) * scale), at((offset.y + r.y) * scale),
            at((offset.x + r.x + r.width) * scale) - 1,
            at((offset.y + r.y + r.height) * scale) - 1};
}

}  // namespace

vision::TFaceFound FindFace(const raster::DibRecord& picture, const std::string& folder,
                            std::string& error) {
    vision::TFaceFound found;
    TDetectors& d = DetectorsIn(folder);
    if (!d.error.empty()) {
        error = d.error;
        return found;
    }
    const int width = raster::DibWidth(picture);
    const int height = raster::DibHeight(picture);
    if (width < 48 || height < 48) return found;

    const double shrink = std::min(1.0, double(kDetectSide) / std::max(width, height));
    cv::Mat small;
    if (picture.BitCount() == 24 && shrink < 1.0) {
        // Shrunk straight from the stored rows (bottom-up), then turned
        // upright: the whole picture is never converted.
        const cv::Mat stored(height, width, CV_8UC3,
                             const_cast<std::uint8_t*>(picture.StoredRow(0)),
                             static_cast<std::size_t>(picture.BytesPerRow()));
        cv::Mat colour;
        cv::resize(stored, colour, cv::Size(), shrink, shrink, cv::INTER_AREA);
        cv::cvtColor(colour, small, cv::COLOR_BGR2GRAY);
        cv::flip(small, small, 0);
    } else {
        const cv::Mat grey = GreyPart(picture, cv::Rect(0, 0, width, height));
        if (shrink < 1.0)
            cv::resize(grey, small, cv::Size(), shrink, shrink, cv::INTER_AREA);
        else
            small = grey;
    }
    cv::equalizeHist(small, small);
    const int minSide = std::max(24, std::min(small.cols, small.rows) / 10);
    std::vector<cv::Rect> faces;
    d.face.detectMultiScale(small, faces, 1.15, 5, 0, cv::Size(minSide, minSide));
    found.kind = vision::TFaceFound::Kind::Person;
    if (faces.empty()) {
        d.cat.detectMultiScale(small, faces, 1.15, 5, 0, cv::Size(minSide, minSide));
        found.kind = vision::TFaceFound::Kind::Cat;
    }
    if (faces.empty()) {
        found.kind = vision::TFaceFound::Kind::None;
        return found;
    }
    const cv::Rect face = Largest(faces);
    found.face = ToPicture(face, 1.0 / shrink);
    if (found.kind == vision::TFaceFound::Kind::Cat) return found;

    // The face at a fixed width, from the full picture, for its eyes and mouth.
    const cv::Rect inPicture =
        cv::Rect(found.face.left, found.face.top, found.face.right - found.face.left + 1,
                 found.face.bottom - found.face.top + 1) &
        cv::Rect(0, 0, width, height);
    if (inPicture.width < 8 || inPicture.height < 8) return found;
    const double zoom = double(kFaceWidth) / inPicture.width;
    cv::Mat cut;
    cv::resize(GreyPart(picture, inPicture), cut, cv::Size(), zoom, zoom,
               zoom < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
    cv::equalizeHist(cut, cut);
    const double back = 1.0 / zoom;
    const cv::Point origin(inPicture.x, inPicture.y);
    auto toPicture = [&](const cv::Rect& r) {
        auto at = [](double v) { return static_cast<std::int32_t>(std::lround(v)); };
        return vision::TRect{at(origin.x + r.x * back), at(origin.y + r.y * back),
                             at(origin.x + (r.x + r.width) * back) - 1,
                             at(origin.y + (r.y + r.height) * back) - 1};
    };

    const cv::Rect upper(0, 0, cut.cols, cut.rows * 6 / 10);
    std::vector<cv::Rect> eyes;
    d.eye.detectMultiScale(cut(upper), eyes, 1.1, 3, 0, cv::Size(cut.cols / 10, cut.cols / 10),
                           cv::Size(cut.cols / 3, cut.cols / 3));
    std::vector<vision::TRect> eyeBoxes;
    for (const cv::Rect& e : eyes) eyeBoxes.push_back(toPicture(e));
    vision::SortEyes(found.face, eyeBoxes, found);

    const cv::Rect lower(0, cut.rows * 6 / 10, cut.cols, cut.rows - cut.rows * 6 / 10);
    std::vector<cv::Rect> smiles;
    d.smile.detectMultiScale(cut(lower), smiles, 1.15, 20, 0,
                             cv::Size(cut.cols / 5, cut.cols / 10));
    if (!smiles.empty()) {
        cv::Rect s = Largest(smiles);
        s.y += lower.y;
        found.mouth = toPicture(s);
    }
    return found;
}

}  // namespace match
