#include "match/facefinder.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "match/grey.h"

namespace match {

namespace {

// Faces are looked for on a copy whose longer side is this (a smaller
// picture enlarged at most kEnlarge times): a face that fills a tenth of it
// is still 51 pixels, well above the cascades' 20-24 pixel windows, and the
// search takes a fraction of the time.
constexpr int kDetectSide = 512;
constexpr double kEnlarge = 2.0;
// Eyes and smiles are looked for in the face cut out at this width.
constexpr int kFaceWidth = 180;
// How far from where the mouth was placed its lips' line is looked for, in
// eye distances.
constexpr double kLipReach = 0.3;
// Where the chin's lower edge is looked for below the mouth, in eye distances.
constexpr double kChinNear = 0.35;
constexpr double kChinFar = 1.2;
// How far a pixel's colour may be from the skin's and still be skin, in
// chroma levels.
constexpr double kSkinTolerance = 12.0;

struct TDetectors {
    cv::CascadeClassifier face;
    cv::CascadeClassifier faceDefault;
    cv::CascadeClassifier profile;
    cv::CascadeClassifier faceLbp;
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
        {&d->faceDefault, "haarcascade_frontalface_default.xml"},
        {&d->profile, "haarcascade_profileface.xml"},
        {&d->faceLbp, "../lbpcascades/lbpcascade_frontalface_improved.xml"},
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

// The faces of a second-choice detector that have an eye in their upper half:
// without it, they are as often a patterned wall as a face.
std::vector<cv::Rect> ConfirmedByEyes(const std::vector<cv::Rect>& faces, const cv::Mat& grey,
                                      cv::CascadeClassifier& eye) {
    std::vector<cv::Rect> confirmed;
    for (const cv::Rect& f : faces) {
        const cv::Rect upper =
            cv::Rect(f.x, f.y, f.width, f.height * 6 / 10) & cv::Rect(0, 0, grey.cols, grey.rows);
        if (upper.width < 20 || upper.height < 12) continue;
        std::vector<cv::Rect> eyes;
        eye.detectMultiScale(grey(upper), eyes, 1.1, 3, 0, cv::Size(f.width / 10, f.width / 10),
                             cv::Size(f.width / 3, f.width / 3));
        if (!eyes.empty()) confirmed.push_back(f);
    }
    return confirmed;
}

// The faces of a head tilted by about `degrees` (counter-clockwise): found in
// the picture turned upright, confirmed by an eye there, and put back, each
// box centred where the face is in `grey`.
std::vector<cv::Rect> TiltedFaces(const cv::Mat& grey, double degrees, int minSide, TDetectors& d) {
    const cv::Mat turn =
        cv::getRotationMatrix2D(cv::Point2f(grey.cols / 2.0f, grey.rows / 2.0f), degrees, 1.0);
    cv::Mat turned;
    cv::warpAffine(grey, turned, turn, grey.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    std::vector<cv::Rect> found;
    d.face.detectMultiScale(turned, found, 1.15, 5, 0, cv::Size(minSide, minSide));
    cv::Mat back;
    cv::invertAffineTransform(turn, back);
    std::vector<cv::Rect> faces;
    for (const cv::Rect& f : ConfirmedByEyes(found, turned, d.eye)) {
        const cv::Point2d c(f.x + f.width / 2.0, f.y + f.height / 2.0);
        const double x =
            back.at<double>(0, 0) * c.x + back.at<double>(0, 1) * c.y + back.at<double>(0, 2);
        const double y =
            back.at<double>(1, 0) * c.x + back.at<double>(1, 1) * c.y + back.at<double>(1, 2);
        const cv::Rect box =
            cv::Rect(static_cast<int>(std::lround(x - f.width / 2.0)),
                     static_cast<int>(std::lround(y - f.height / 2.0)), f.width, f.height) &
            cv::Rect(0, 0, grey.cols, grey.rows);
        if (!box.empty()) faces.push_back(box);
    }
    return faces;
}

cv::Point2d Centre(const vision::TRect& r) {
    return {(r.left + r.right) / 2.0, (r.top + r.bottom) / 2.0};
}

// From the halves placed so far: the eyes' middle and distance, and the
// centre of one feature's half; none without both eyes and that feature.
struct TPlaced {
    cv::Point2d eyes;
    double d;
    cv::Point2d at;
};
std::optional<TPlaced> Placed(const vision::TFeatureHalves& halves, vision::TFeature feature) {
    using vision::TFeature;
    const auto& le = halves[static_cast<int>(TFeature::LeftEye)];
    const auto& re = halves[static_cast<int>(TFeature::RightEye)];
    const auto& half = halves[static_cast<int>(feature)];
    if (!le || !re || !half) return std::nullopt;
    return TPlaced{(Centre(*le) + Centre(*re)) / 2, cv::norm(Centre(*re) - Centre(*le)),
                   Centre(*half)};
}

}  // namespace

// Where the skin ends left and right of the nose, at the height of the
// cheeks and ears: the face's sides, also when it is turned. The skin's
// colour is taken from the nose; a grey picture has no skin colour to follow.
std::optional<vision::TFaceFound::TSides> SkinSides(const raster::DibRecord& picture,
                                                    const vision::TFeatureHalves& halves) {
    const std::optional<TPlaced> placed = Placed(halves, vision::TFeature::Nose);
    if (!placed || placed->d < 8) return std::nullopt;
    const auto& no = halves[static_cast<int>(vision::TFeature::Nose)];
    const cv::Point2d mid = placed->eyes;
    const cv::Point2d nose = placed->at;
    const double d = placed->d;
    const int width = raster::DibWidth(picture);
    const int height = raster::DibHeight(picture);
    // About 24 samples per eye distance.
    const double step = std::max(1.0, d / 24);
    auto yCrCb = [&](double x, double y) {
        const int px = std::clamp(static_cast<int>(x), 0, width - 1);
        const int py = std::clamp(static_cast<int>(y), 0, height - 1);
        const std::uint32_t c = raster::PixelColor(picture, px, py);
        const double r = c & 0xff, g = (c >> 8) & 0xff, b = (c >> 16) & 0xff;
        const double luma = 0.299 * r + 0.587 * g + 0.114 * b;
        return cv::Vec3d(luma, 0.713 * (r - luma), 0.564 * (b - luma));
    };
    // The skin: the middle of the nose half.
    cv::Vec3d sum, sum2;
    int n = 0;
    for (double y = no->top + 0.2 * (no->bottom - no->top); y <= no->bottom; y += step)
        for (double x = no->left + 0.25 * (no->right - no->left);
             x <= no->right - 0.25 * (no->right - no->left); x += step) {
            const cv::Vec3d v = yCrCb(x, y);
            sum += v;
            sum2 += v.mul(v);
            ++n;
        }
    if (n < 4) return std::nullopt;
    const cv::Vec3d mean = sum / n;
    const cv::Vec3d var = sum2 / n - mean.mul(mean);
    // Skin has colour: near-grey is a grey picture or a bad light.
    if (std::hypot(mean[1], mean[2]) < 4) return std::nullopt;
    const double tolCr = std::max(kSkinTolerance, 2.5 * std::sqrt(std::max(0.0, var[1])));
    const double tolCb = std::max(kSkinTolerance, 2.5 * std::sqrt(std::max(0.0, var[2])));
    auto skin = [&](double x, double y) {
        const cv::Vec3d v = yCrCb(x, y);
        return v[0] > 0.25 * mean[0] && std::abs(v[1] - mean[1]) <= tolCr &&
               std::abs(v[2] - mean[2]) <= tolCb;
    };
    const int gap = std::max(2, static_cast<int>(std::lround(0.1 * d / step)));
    std::vector<double> lefts, rights;
    for (double y = mid.y + 0.1 * d; y <= mid.y + 0.7 * d; y += step) {
        if (y < 0 || y >= height) continue;
        for (const int dir : {-1, 1}) {
            double edge = nose.x;
            int misses = 0;
            for (double x = nose.x; x >= 0 && x < width && std::abs(x - mid.x) < 2.4 * d;
                 x += dir * step) {
                if (skin(x, y)) {
                    edge = x;
                    misses = 0;
                } else if (++misses >= gap) {
                    break;
                }
            }
            (dir < 0 ? lefts : rights).push_back(edge);
        }
    }
    if (lefts.size() < 3) return std::nullopt;
    auto median = [](std::vector<double>& v) {
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return v[v.size() / 2];
    };
    return vision::TFaceFound::TSides{static_cast<std::int32_t>(std::lround(median(lefts))),
                                      static_cast<std::int32_t>(std::lround(median(rights)))};
}

// The picture's grey levels in `part` (clipped to the picture) averaged
// across each row and lightly smoothed down the rows; empty when too little
// of it lies in the picture.
cv::Mat RowProfile(const raster::DibRecord& picture, cv::Rect& part) {
    part &= cv::Rect(0, 0, raster::DibWidth(picture), raster::DibHeight(picture));
    if (part.width < 4 || part.height < 8) return {};
    cv::Mat rows;
    cv::reduce(GreyPart(picture, part), rows, 1, cv::REDUCE_AVG, CV_32F);
    cv::GaussianBlur(rows, rows, cv::Size(1, 5), 0);
    return rows;
}

// The line between the lips: the darkest row across the middle of the mouth
// within a third of the eyes' distance of where the mouth was placed.
std::optional<vision::TRect> LipLine(const raster::DibRecord& picture,
                                     const vision::TFeatureHalves& halves) {
    const std::optional<TPlaced> placed = Placed(halves, vision::TFeature::Mouth);
    if (!placed) return std::nullopt;
    const auto& mo = halves[static_cast<int>(vision::TFeature::Mouth)];
    const double d = placed->d;
    const double cx = placed->at.x;
    const double cy = placed->at.y;
    cv::Rect around(
        cv::Point(static_cast<int>(cx - 0.25 * d), static_cast<int>(cy - kLipReach * d)),
        cv::Point(static_cast<int>(cx + 0.25 * d) + 1, static_cast<int>(cy + kLipReach * d) + 1));
    const cv::Mat rows = RowProfile(picture, around);
    if (rows.empty()) return std::nullopt;
    cv::Point darkest;
    cv::minMaxLoc(rows, nullptr, nullptr, &darkest, nullptr);
    const int y = around.y + darkest.y;
    const int half = static_cast<int>(0.1 * d);
    return vision::TRect{mo->left, y - half, mo->right, y + half};
}

// The chin's lower edge: across the mouth's middle, the row below the mouth
// where the picture turns darkest fastest, from the lit chin into the
// shadow it casts on the neck.
std::optional<std::int32_t> ChinLine(const raster::DibRecord& picture,
                                     const vision::TFeatureHalves& halves) {
    const std::optional<TPlaced> placed = Placed(halves, vision::TFeature::Mouth);
    if (!placed) return std::nullopt;
    const double d = placed->d;
    const cv::Point2d mouth = placed->at;
    cv::Rect band(
        cv::Point(static_cast<int>(mouth.x - 0.3 * d), static_cast<int>(mouth.y + kChinNear * d)),
        cv::Point(static_cast<int>(mouth.x + 0.3 * d) + 1,
                  static_cast<int>(mouth.y + kChinFar * d) + 1));
    const cv::Mat rows = RowProfile(picture, band);
    if (rows.empty()) return std::nullopt;
    int best = -1;
    float fall = 0;
    for (int y = 2; y + 2 < rows.rows; ++y) {
        const float f = rows.at<float>(y - 2) - rows.at<float>(y + 2);
        if (f > fall) {
            fall = f;
            best = y;
        }
    }
    if (best < 0) return std::nullopt;  // no row darker than the one above it
    return band.y + best;
}

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

    // Small pictures are enlarged (up to twice) so that a face a tenth of
    // them still fills the cascades' windows.
    const double shrink = std::min(kEnlarge, double(kDetectSide) / std::max(width, height));
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
        else if (shrink > 1.0)
            cv::resize(grey, small, cv::Size(), shrink, shrink, cv::INTER_LINEAR);
        else
            small = grey;
    }
    cv::equalizeHist(small, small);
    const int minSide = std::max(24, std::min(small.cols, small.rows) / 10);
    cv::Mat mirrored;  // made when first needed
    // The cascades are not quite symmetric: a face turned a little one way is
    // found in the mirrored picture when it is missed in the picture itself.
    auto detect = [&](cv::CascadeClassifier& cascade, int neighbours) {
        std::vector<cv::Rect> found;
        cascade.detectMultiScale(small, found, 1.15, neighbours, 0, cv::Size(minSide, minSide));
        if (found.empty()) {
            if (mirrored.empty()) cv::flip(small, mirrored, 1);
            cascade.detectMultiScale(mirrored, found, 1.15, neighbours, 0,
                                     cv::Size(minSide, minSide));
            for (cv::Rect& r : found) r.x = small.cols - r.x - r.width;
        }
        return found;
    };
    std::vector<cv::Rect> faces = detect(d.face, 5);
    found.kind = vision::TFaceFound::Kind::Person;
    if (faces.empty()) faces = ConfirmedByEyes(detect(d.faceDefault, 8), small, d.eye);
    if (faces.empty()) faces = ConfirmedByEyes(detect(d.profile, 5), small, d.eye);
    if (faces.empty()) faces = ConfirmedByEyes(detect(d.faceLbp, 5), small, d.eye);
    // Last, the first cascade again with less evidence, an eye confirming.
    if (faces.empty()) faces = ConfirmedByEyes(detect(d.face, 3), small, d.eye);
    // A head tilted further than the cascades allow (about 20 degrees): the
    // picture turned by 15 degrees either way.
    for (const double degrees : {15.0, -15.0})
        if (faces.empty()) faces = TiltedFaces(small, degrees, minSide, d);
    if (faces.empty()) {
        faces = detect(d.cat, 5);
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
    std::vector<vision::TRect> weakBoxes;
    {
        // Again with less evidence, for an eye whose partner is in shadow,
        // behind glasses or turned away.
        std::vector<cv::Rect> weak;
        d.eye.detectMultiScale(cut(upper), weak, 1.05, 1, 0, cv::Size(cut.cols / 12, cut.cols / 12),
                               cv::Size(cut.cols / 3, cut.cols / 3));
        for (const cv::Rect& e : weak) weakBoxes.push_back(toPicture(e));
    }
    vision::SortEyes(found.face, eyeBoxes, found, weakBoxes);

    const cv::Rect lower(0, cut.rows * 6 / 10, cut.cols, cut.rows - cut.rows * 6 / 10);
    std::vector<cv::Rect> smiles;
    d.smile.detectMultiScale(cut(lower), smiles, 1.15, 20, 0,
                             cv::Size(cut.cols / 5, cut.cols / 10));
    if (!smiles.empty()) {
        cv::Rect s = Largest(smiles);
        s.y += lower.y;
        found.mouth = toPicture(s);
    }
    const vision::TFeatureHalves placed = vision::PlaceFeatures(found);
    found.sides = SkinSides(picture, placed);
    // A smile found is the mouth; else the lips' line near where it was placed.
    if (!found.mouth)
        if (const auto lips = LipLine(picture, placed)) found.mouth = lips;
    found.chin = ChinLine(picture, vision::PlaceFeatures(found));
    return found;
}

}  // namespace match
