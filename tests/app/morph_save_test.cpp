// "Save picture..." and "Save AVI video..." through the window: the dialogs,
// the files they write, progress, cancel and failure.
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "controls/tintacolorcombobox.h"
#include "core/renderer.h"
#include "support/avi_decode.h"
#include "support/test_support.h"

using testing_support::MakeForm;
using Asked = TScriptedPrompter::Asked;

namespace {

raster::DibRecord Gradient(int w, int h, bool flip) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t r = static_cast<std::uint32_t>(x * 255 / (w - 1));
            const std::uint32_t g = static_cast<std::uint32_t>(y * 255 / (h - 1));
            raster::setpixel(dib, x, y,
                             flip ? (g | (r << 8) | (200u << 16)) : (r | (g << 8) | (40u << 16)));
        }
    }
    return dib;
}

// A window with two odd-sized pictures, one area pair, a 4-picture sequence
// at 4 pictures per second and picture 3 shown.
struct SavePage {
    testing_support::FormFixture f = MakeForm();
    TMainForm& w = *f.form;
    QString dir;

    explicit SavePage(const QString& name) : dir(testing_support::OutDir(name)) {
        w.SetPictures(Gradient(21, 13, false), Gradient(19, 11, true));
        testing_support::AddArea(w, TAreaPair{2, 2, 8, 6, 10, 4, 17, 9});
        w.TimeEd->SetText(QStringLiteral("1"));
        w.PPSEd->SetText(QStringLiteral("4"));
        w.PicEd->SetText(QStringLiteral("3"));
    }
    QString Path(const QString& name) const { return dir + QLatin1Char('/') + name; }
    QStringList Files() const { return QDir(dir).entryList(QDir::Files); }
};

}  // namespace

TEST(SavePicture, WritesTheShownPictureInTheFormatOfTheName) {
    SavePage p(QStringLiteral("save_picture"));
    TMainForm& w = p.w;
    const QImage shown = avi_decode::ToImage(w.Result());

    p.f.prompter->fileAnswers.push_back(p.Path(QStringLiteral("a.png")));
    QTest::mouseClick(w.SavePicBtn, Qt::LeftButton);
    ASSERT_EQ(p.f.prompter->dialogsShown.size(), 1u);
    const TFileDialog& dlg = p.f.prompter->dialogsShown.back();
    EXPECT_EQ(dlg.objectName, QStringLiteral("SaveDialog1"));
    EXPECT_TRUE(dlg.save);
    EXPECT_TRUE(dlg.overwritePrompt);
    EXPECT_EQ(QImageReader(p.Path(QStringLiteral("a.png"))).format(), "png");
    EXPECT_TRUE(QImage(p.Path(QStringLiteral("a.png"))).convertToFormat(QImage::Format_RGB888) ==
                shown);

    // No known extension: BMP with ".bmp" added, or the chosen entry's format.
    p.f.prompter->fileAnswers.push_back(p.Path(QStringLiteral("b")));
    QTest::mouseClick(w.SavePicBtn, Qt::LeftButton);
    const raster::DibRecord b = raster::OpenDib(p.Path(QStringLiteral("b.bmp")).toStdString());
    ASSERT_TRUE(b.HasPixels());
    EXPECT_TRUE(std::ranges::equal(b.Bits(), w.Result().Bits()));
    w.SaveDialog1.filterIndex = 5;  // TIFF
    p.f.prompter->fileAnswers.push_back(p.Path(QStringLiteral("c")));
    QTest::mouseClick(w.SavePicBtn, Qt::LeftButton);
    EXPECT_EQ(QImageReader(p.Path(QStringLiteral("c.tif"))).format(), "tiff");
    EXPECT_TRUE(QImage(p.Path(QStringLiteral("c.tif"))).convertToFormat(QImage::Format_RGB888) ==
                shown);
    w.SaveDialog1.filterIndex = 1;
    EXPECT_TRUE(p.f.prompter->Messages().empty());

    // An extension no picture writer knows is refused, nothing is written.
    const QStringList known = p.Files();
    p.f.prompter->fileAnswers.push_back(p.Path(QStringLiteral("e.webp")));
    QTest::mouseClick(w.SavePicBtn, Qt::LeftButton);
    EXPECT_EQ(p.Files(), known);
    ASSERT_EQ(p.f.prompter->Messages().size(), 1u);
    EXPECT_EQ(p.f.prompter->Messages()[0].text,
              QStringLiteral("Pictures cannot be saved as .webp files. Choose a name ending in "
                             ".png, .bmp, .jpg or .tif."));
    p.f.prompter->asked.clear();

    // "b" again: the dialog asked about "b", not about "b.bmp", so the
    // window asks; declining keeps the old file.
    w.PicEd->SetValue(1);
    p.f.prompter->messageAnswers.push_back(false);
    p.f.prompter->fileAnswers.push_back(p.Path(QStringLiteral("b")));
    QTest::mouseClick(w.SavePicBtn, Qt::LeftButton);
    ASSERT_EQ(p.f.prompter->Messages().size(), 1u);
    EXPECT_TRUE(p.f.prompter->Messages()[0].text.contains(QStringLiteral("b.bmp")));
    EXPECT_TRUE(std::ranges::equal(
        raster::OpenDib(p.Path(QStringLiteral("b.bmp")).toStdString()).Bits(), b.Bits()));

    // Cancelling the dialog writes nothing; a folder that is missing says so.
    const QStringList before = p.Files();
    QTest::mouseClick(w.SavePicBtn, Qt::LeftButton);
    p.f.prompter->fileAnswers.push_back(p.Path(QStringLiteral("missing/d.png")));
    QTest::mouseClick(w.SavePicBtn, Qt::LeftButton);
    EXPECT_EQ(p.Files(), before);
    ASSERT_EQ(p.f.prompter->Messages().size(), 2u);
    EXPECT_EQ(p.f.prompter->Messages()[1].icon, TPrompter::Icon::Error);
    EXPECT_TRUE(p.f.prompter->Messages()[1].text.contains(QStringLiteral("d.png")));
}

TEST(SaveVideo, NumberedPicturesHoldEveryPictureOfTheSequence) {
    SavePage p(QStringLiteral("save_video_raw"));
    TMainForm& w = p.w;
    const int rendersBefore = w.Renders();
    w.SaveDialog2.filterIndex = 5;
    p.f.prompter->fileAnswers.push_back(p.Path(QStringLiteral("m")));
    QTest::mouseClick(w.SaveAVIBtn, Qt::LeftButton);

    const TFileDialog& dlg = p.f.prompter->dialogsShown.back();
    EXPECT_EQ(dlg.objectName, QStringLiteral("SaveDialog2"));
    EXPECT_EQ(dlg.title, QStringLiteral("Save video"));
    EXPECT_EQ(QtFilter(dlg.filter),
              QStringLiteral("AVI video (*.avi);;MP4 video, H.264 (*.mp4);;"
                             "WebM video, VP9 (*.webm);;Animated GIF (*.gif);;"
                             "Numbered pictures (*.png *.bmp *.jpg *.tif)"));
    EXPECT_TRUE(dlg.defaultExt.isEmpty());
    EXPECT_TRUE(dlg.overwritePrompt);
    EXPECT_TRUE(p.f.prompter->Messages().empty());
    ASSERT_EQ(p.Files(), (QStringList{"m_0001.png", "m_0002.png", "m_0003.png", "m_0004.png"}));
    for (int n = 1; n <= 4; ++n) {
        const QImage frame = QImage(p.Path(QStringLiteral("m_000%1.png").arg(n)))
                                 .convertToFormat(QImage::Format_RGB888);
        const QImage expected = avi_decode::ToImage(testing_support::RenderedFromForm(w, n, 4));
        EXPECT_TRUE(frame == expected)
            << "picture " << n << ", saved in "
            << testing_support::SaveFailure(QStringLiteral("series-picture-%1").arg(n), frame,
                                            expected)
                   .toStdString();
    }

    // Progress went to 100 and is cleared; picture 3 is shown again.
    EXPECT_EQ(p.f.prompter->progressShown.size(), 1u);
    EXPECT_EQ(p.f.prompter->progressPercents.back(), 100);
    EXPECT_EQ(w.Progress(), 0);
    EXPECT_EQ(w.PicEd->Text(), QStringLiteral("3"));
    EXPECT_EQ(w.Renders(), rendersBefore) << "the export renders beside the shown picture";
    EXPECT_TRUE(
        std::ranges::equal(w.Result().Bits(), testing_support::RenderedFromForm(w, 3, 4).Bits()));
}

TEST(SaveVideo, TheTypedVideoExtensionWinsOverTheNumberedType) {
    SavePage p(QStringLiteral("save_video_typed"));
    TMainForm& w = p.w;
    w.SaveDialog2.filterIndex = 5;
    p.f.prompter->fileAnswers.push_back(p.Path(QStringLiteral("clip.webm")));
    QTest::mouseClick(w.SaveAVIBtn, Qt::LeftButton);
    EXPECT_EQ(p.Files(), QStringList{QStringLiteral("clip.webm")});
    const avi_decode::TVideo v = avi_decode::Read(p.Path(QStringLiteral("clip.webm")));
    ASSERT_EQ(v.error, "");
    EXPECT_EQ(v.codec, "vp9");
    EXPECT_EQ(v.frames.size(), 4u);
}

TEST(SaveVideo, MotionJpegIsCloseToEveryPicture) {
    SavePage p(QStringLiteral("save_video_mjpeg"));
    TMainForm& w = p.w;
    QTest::mouseClick(w.PlayBtn, Qt::LeftButton);  // the export stops playback
    p.f.prompter->fileAnswers.push_back(p.Path(QStringLiteral("movie.avi")));
    QTest::mouseClick(w.SaveAVIBtn, Qt::LeftButton);
    EXPECT_FALSE(w.Timer1->isActive());
    const avi_decode::TVideo v = avi_decode::Read(p.Path(QStringLiteral("movie.avi")));
    ASSERT_EQ(v.error, "");
    EXPECT_EQ(v.codec, "mjpeg");
    ASSERT_EQ(v.frames.size(), 4u);
    for (int n = 1; n <= 4; ++n)
        EXPECT_GT(avi_decode::Psnr(v.frames[n - 1],
                                   avi_decode::ToImage(testing_support::RenderedFromForm(w, n, 4))),
                  35.0)
            << n;
}

// Each kind by its entry, its extension added to a typed name without one;
// a typed picture extension writes numbered pictures whatever the entry.
struct TDialogEntry {
    int filterIndex;
    const char* typed;
    const char* written;
    const char* codec;  // empty: numbered pictures
};

class SaveVideoEntries : public ::testing::TestWithParam<TDialogEntry> {};

TEST_P(SaveVideoEntries, WriteTheirKindOfEveryPicture) {
    const TDialogEntry& entry = GetParam();
    SavePage p(QStringLiteral("save_video_entry_%1").arg(entry.filterIndex));
    TMainForm& w = p.w;
    w.SaveDialog2.filterIndex = entry.filterIndex;
    p.f.prompter->fileAnswers.push_back(p.Path(QLatin1String(entry.typed)));
    QTest::mouseClick(w.SaveAVIBtn, Qt::LeftButton);
    EXPECT_TRUE(p.f.prompter->Messages().empty());
    EXPECT_EQ(p.f.prompter->progressPercents.back(), 100);
    EXPECT_EQ(w.PicEd->Text(), QStringLiteral("3"));
    if (*entry.codec == 0) {
        EXPECT_EQ(p.Files(), (QStringList{"m_0001.png", "m_0002.png", "m_0003.png", "m_0004.png"}));
        for (int n = 1; n <= 4; ++n)
            EXPECT_TRUE(QImage(p.Path(QStringLiteral("m_000%1.png").arg(n)))
                            .convertToFormat(QImage::Format_RGB888) ==
                        avi_decode::ToImage(testing_support::RenderedFromForm(w, n, 4)))
                << n;
        return;
    }
    EXPECT_EQ(p.Files(), QStringList{QLatin1String(entry.written)});
    const avi_decode::TVideo v = avi_decode::Read(p.Path(QLatin1String(entry.written)));
    ASSERT_EQ(v.error, "");
    EXPECT_EQ(v.codec, entry.codec);
    EXPECT_EQ(v.frames.size(), 4u);
    EXPECT_EQ(v.frameRate.num, 4 * v.frameRate.den);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, SaveVideoEntries,
                         ::testing::Values(TDialogEntry{2, "movie", "movie.mp4", "h264"},
                                           TDialogEntry{3, "movie", "movie.webm", "vp9"},
                                           TDialogEntry{4, "movie", "movie.gif", "gif"},
                                           TDialogEntry{1, "movie", "movie.avi", "mjpeg"},
                                           TDialogEntry{2, "m.png", "", ""}),
                         [](const auto& info) {
                             return "Entry" + std::to_string(info.param.filterIndex) + "_" +
                                    (*info.param.codec ? info.param.codec : "numbered");
                         });

TEST(SaveVideo, CancelAndFailureLeaveNoFileAndSaySo) {
    SavePage p(QStringLiteral("save_video_cancel"));
    TMainForm& w = p.w;
    p.f.prompter->cancelProgressAt = 50;
    p.f.prompter->fileAnswers.push_back(p.Path(QStringLiteral("movie.avi")));
    QTest::mouseClick(w.SaveAVIBtn, Qt::LeftButton);
    EXPECT_TRUE(p.Files().isEmpty()) << p.Files().join(' ').toStdString();
    ASSERT_EQ(p.f.prompter->Messages().size(), 1u);
    EXPECT_EQ(p.f.prompter->Messages()[0].icon, TPrompter::Icon::Information);
    EXPECT_TRUE(p.f.prompter->Messages()[0].text.contains(QStringLiteral("cancelled")));
    EXPECT_EQ(p.f.prompter->progressPercents.back(), 50);
    EXPECT_EQ(w.Progress(), 0);
    EXPECT_EQ(w.PicEd->Text(), QStringLiteral("3"));

    p.f.prompter->cancelProgressAt.reset();
    p.f.prompter->fileAnswers.push_back(p.Path(QStringLiteral("missing/movie.avi")));
    QTest::mouseClick(w.SaveAVIBtn, Qt::LeftButton);
    ASSERT_EQ(p.f.prompter->Messages().size(), 2u);
    EXPECT_EQ(p.f.prompter->Messages()[1].icon, TPrompter::Icon::Error);
    EXPECT_TRUE(
        p.f.prompter->Messages()[1].text.contains(QStringLiteral("No such file or directory")));
    EXPECT_TRUE(p.Files().isEmpty());
    EXPECT_EQ(w.PicEd->Text(), QStringLiteral("3"));
}

TEST(SaveVideo, TheWindowsProgressDialogShowsThePercentageAndCancels) {
    QWidget parent;
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    TQtPrompter prompter;
    std::unique_ptr<TProgress> progress = prompter.BeginProgress(&parent, QStringLiteral("Writing"),
                                                                 QStringLiteral("Save AVI video"));
    progress->SetPercent(40);
    auto* dialog = parent.findChild<QProgressDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->value(), 40);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    EXPECT_FALSE(progress->Cancelled());
    auto* cancel = dialog->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_TRUE(progress->Cancelled());
    progress.reset();
    EXPECT_EQ(parent.findChild<QProgressDialog*>(), nullptr);
}

// A result past the program's picture limit (65535 x 5462 pixels of 24 bits
// take just over 1 GB) is no lack of memory: both save commands say what it
// is, at once, before a file name is asked for.
TEST(SaveVideo, AResultTooLargeToHoldIsSaidAtOnce) {
    testing_support::FormFixture f = MakeForm();
    TMainForm& w = *f.form;
    w.SetPictures(raster::newdib(65535, 1, 24), raster::newdib(1, 5462, 24));
    w.TimeEd->SetText(QStringLiteral("1"));
    EXPECT_FALSE(w.Result().HasPixels());
    const QString dir = testing_support::OutDir(QStringLiteral("save_too_large"));
    f.prompter->fileAnswers.push_back(dir + QStringLiteral("/p.png"));
    f.prompter->fileAnswers.push_back(dir + QStringLiteral("/v.avi"));
    QTest::mouseClick(w.SavePicBtn, Qt::LeftButton);
    QTest::mouseClick(w.SaveAVIBtn, Qt::LeftButton);
    EXPECT_TRUE(f.prompter->dialogsShown.empty());
    const std::string reason =
        core::ResultSizeProblem(core::TResultSize{65535, 5462, raster::RowBytes(65535, 24) * 5462});
    EXPECT_NE(reason.find("too large: 65535 x 5462 pixels take 1025 MB, the limit is 1024 MB"),
              std::string::npos)
        << reason;
    ASSERT_EQ(f.prompter->Messages().size(), 2u);
    EXPECT_EQ(
        f.prompter->Messages()[0].text,
        QStringLiteral("The picture cannot be saved: %1.").arg(QString::fromStdString(reason)));
    EXPECT_EQ(
        f.prompter->Messages()[1].text,
        QStringLiteral("The sequence cannot be saved: %1.").arg(QString::fromStdString(reason)));
    EXPECT_EQ(f.prompter->Messages()[1].icon, TPrompter::Icon::Error);
    EXPECT_TRUE(QDir(dir).isEmpty());
}
