// The sequence dialog with the window as its host: building the list,
// keeping it in a .morseq file, the preview of the joined sequence and the
// saved video, and the refusal of a bad sequence file.
#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/sequencedialog.h"
#include "controls/spinedit.h"
#include "core/projectfile.h"
#include "core/sequence.h"
#include "support/avi_decode.h"
#include "support/test_support.h"

using testing_support::MakeForm;
using Asked = TScriptedPrompter::Asked;

namespace {

raster::DibRecord Picture(int w, int h, int seed) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            raster::setpixel(dib, x, y,
                             static_cast<std::uint32_t>((x * 9 + seed * 70) & 0xFF) |
                                 static_cast<std::uint32_t>((y * 7 + seed * 50) & 0xFF) << 8);
    return dib;
}

// Three pictures and two projects a -> b, b -> c in a folder; the window
// at 1 second and 4 pictures per second.
struct SequencePage {
    testing_support::FormFixture f = MakeForm();
    TMainForm& w = *f.form;
    QString dir;
    std::unique_ptr<TSequenceHost> host;
    std::unique_ptr<TSequenceDialog> d;

    explicit SequencePage(const QString& name) : dir(testing_support::OutDir(name)) {
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(avi_decode::ToImage(Picture(16, 12, i))
                            .save(dir + QStringLiteral("/p%1.png").arg(i)));
        Project("ab.mor", "p0.png", "p1.png");
        Project("bc.mor", "p1.png", "p2.png");
        w.TimeEd->SetText(QStringLiteral("1"));
        w.PPSEd->SetText(QStringLiteral("4"));
        host = w.MakeSequenceHost();
        d = std::make_unique<TSequenceDialog>(*host, &w);
    }
    void Project(const QString& name, const std::string& a, const std::string& b) const {
        std::vector<std::uint8_t> bytes;
        EXPECT_TRUE(core::WriteProject({a, b, {{2, 2, 6, 6, 5, 4, 10, 9}}}, bytes));
        std::ofstream((dir + "/" + name).toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    QString Path(const QString& name) const { return dir + "/" + name; }
    QStringList Names() const {
        QStringList names;
        for (int r = 0; r < d->List->rowCount(); ++r) names << d->List->item(r, 0)->text();
        return names;
    }
};

}  // namespace

TEST(SequenceDialog, TheDocumentStripOpensIt) {
    SequencePage p(QStringLiteral("sequence_dialog_open"));
    ASSERT_NE(p.w.SequenceBtn, nullptr);
    EXPECT_EQ(p.w.SequenceBtn->text(), QStringLiteral("Sequence..."));
    QTest::mouseClick(p.w.SequenceBtn, Qt::LeftButton);
    ASSERT_FALSE(p.f.prompter->asked.empty());
    EXPECT_EQ(p.f.prompter->asked.back().kind, Asked::Kind::Modal);
    EXPECT_EQ(p.f.prompter->asked.back().text, QStringLiteral("Sequence"));
}

TEST(SequenceDialog, ListIsBuiltKeptInAFileAndReadBack) {
    SequencePage p(QStringLiteral("sequence_dialog_list"));
    TSequenceDialog& d = *p.d;
    // The window's project has no file yet: it is saved first; cancelled,
    // nothing is added.
    QTest::mouseClick(d.AddCurrentBtn, Qt::LeftButton);
    EXPECT_EQ(p.f.prompter->asked.back().text, QStringLiteral("SaveDialog3"));
    EXPECT_TRUE(d.Items().empty());
    // With a file it is added as it is.
    p.w.OpenFile(p.Path("bc.mor"));
    QTest::mouseClick(d.AddCurrentBtn, Qt::LeftButton);
    p.f.prompter->fileAnswers.push_back(p.Path("ab.mor"));
    QTest::mouseClick(d.AddBtn, Qt::LeftButton);
    EXPECT_EQ(p.Names(), (QStringList{"bc.mor", "ab.mor"}));
    QTest::mouseClick(d.UpBtn, Qt::LeftButton);
    EXPECT_EQ(p.Names(), (QStringList{"ab.mor", "bc.mor"}));
    EXPECT_EQ(d.CurrentRow(), 0);
    EXPECT_FALSE(d.UpBtn->isEnabled());

    // The second entry's own length and timing.
    d.SetCurrentRow(1);
    d.LengthEd->setValue(2);
    d.TimingBox->setCurrentIndex(2);  // "Ease in"
    EXPECT_EQ(d.Items()[1].settings.length, 2.0);
    EXPECT_EQ(d.Items()[1].settings.timing, core::TTiming::EaseIn);
    EXPECT_EQ(d.List->item(1, 1)->text(), QStringLiteral("8"));  // 2 s x 4 per second
    EXPECT_EQ(d.List->item(1, 3)->text(), QStringLiteral("Ease in"));
    EXPECT_EQ(d.List->item(0, 1)->text(), QStringLiteral("4"));

    p.f.prompter->fileAnswers.push_back(p.Path("faces"));
    QTest::mouseClick(d.SaveSeqBtn, Qt::LeftButton);
    std::ifstream in(p.Path("faces.morseq").toStdString());
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\nab.mor\nbc.mor length=2 timing=ease-in\n"), std::string::npos) << text;

    const std::vector<core::TSequenceItem> saved = d.Items();
    d.SetItems({});
    p.f.prompter->fileAnswers.push_back(p.Path("faces.morseq"));
    QTest::mouseClick(d.OpenSeqBtn, Qt::LeftButton);
    ASSERT_EQ(d.Items().size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(QFileInfo(QString::fromStdString(d.Items()[i].project)).canonicalFilePath(),
                  QFileInfo(QString::fromStdString(saved[i].project)).canonicalFilePath());
        EXPECT_EQ(d.Items()[i].settings, saved[i].settings);
    }

    QTest::mouseClick(d.RemoveBtn, Qt::LeftButton);
    EXPECT_EQ(p.Names(), (QStringList{"bc.mor"}));

    // A bad sequence file is refused with its line; the list stays.
    std::ofstream(p.Path("bad.morseq").toStdString()) << "ab.mor\nab.mor speed=2\n";
    p.f.prompter->fileAnswers.push_back(p.Path("bad.morseq"));
    QTest::mouseClick(d.OpenSeqBtn, Qt::LeftButton);
    ASSERT_FALSE(p.f.prompter->Messages().empty());
    EXPECT_TRUE(p.f.prompter->Messages().back().text.startsWith(
        QStringLiteral("bad.morseq, line 2: unknown key 'speed'")))
        << p.f.prompter->Messages().back().text.toStdString();
    EXPECT_EQ(p.Names(), (QStringList{"bc.mor"}));

    // "Edit" opens the entry in the window after the usual question.
    p.f.prompter->messageAnswers.push_back(true);
    QTest::mouseClick(d.EditBtn, Qt::LeftButton);
    EXPECT_EQ(QFileInfo(p.w.SavedFileName()).fileName(), QStringLiteral("bc.mor"));
}

TEST(SequenceDialog, PreviewPlaysAndSavesTheJoinedSequence) {
    SequencePage p(QStringLiteral("sequence_dialog_video"));
    TSequenceDialog& d = *p.d;
    d.SetItems(
        {{p.Path("ab.mor").toStdString(), {}, {}}, {p.Path("bc.mor").toStdString(), {}, {}}});
    QTest::mouseClick(d.PlayBtn, Qt::LeftButton);
    ASSERT_TRUE(d.Playing());
    // The shared p1.png is shown once: 4 + 3 pictures.
    EXPECT_EQ(d.Sequence().FrameCount(), 7);
    EXPECT_EQ(d.FrameSlider->maximum(), 6);
    for (int k = 0; k < 6; ++k) d.PlayTick();
    EXPECT_EQ(d.PreviewFrame(), 6);
    d.PlayTick();
    EXPECT_FALSE(d.Playing());
    core::TMorphSequence expected;
    core::TSequenceSettings common = p.host->CommonSettings();
    ASSERT_EQ(expected.Load(d.Items(), common), "");
    raster::DibRecord last;
    expected.RenderFrame(6, last);
    EXPECT_TRUE(std::ranges::equal(d.PreviewPicture().Bits(), last.Bits()));

    d.SaveVideoDialog.filterIndex = 2;  // uncompressed AVI
    p.f.prompter->fileAnswers.push_back(p.Path("joined"));
    QTest::mouseClick(d.SaveVideoBtn, Qt::LeftButton);
    EXPECT_TRUE(p.f.prompter->Messages().empty());
    EXPECT_EQ(p.f.prompter->progressPercents.back(), 100);
    const avi_decode::TVideo v = avi_decode::Read(p.Path("joined.AVI"));
    ASSERT_EQ(v.error, "");
    ASSERT_EQ(v.frames.size(), 7u);
    EXPECT_TRUE(v.frames[6] == avi_decode::ToImage(last));
}
