// Every writer of the export layer (each picture format, each video codec)
// against every fault, and the window's save commands against the faults a
// test can inject: the old file stays byte-identical, nothing is left behind
// and the failure is reported with the system's reason, never as success.
#include <QBuffer>
#include <QDir>
#include <QTest>

#include <fcntl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "export/picturefile.h"
#include "export/videoexport.h"
#include "support/fault_injection.h"
#include "support/test_support.h"
#include "video/aviwriter.h"

namespace fs = std::filesystem;
using exporting::PictureFormat;
using testing_support::Fault;

namespace {

// Noise, so that no encoder gets the picture below the file-size limit.
raster::DibRecord Noise(int w, int h) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    std::uint32_t s = 12345;
    for (std::uint8_t& b : dib.Bits()) {
        s = s * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(s >> 16);
    }
    return dib;
}

struct TWriter {
    const char* name;
    const char* fileName;
    // Writes to a file through the writer's own entry point; "" when done.
    std::function<std::string(const raster::DibRecord&, const fs::path&)> save;
    // Writes into a replacement (for the full device).
    std::function<bool(const raster::DibRecord&, core::TReplacement&)> into;
};

TWriter PictureWriter(const char* name, const char* fileName, PictureFormat format) {
    return {name, fileName,
            [format](const raster::DibRecord& p, const fs::path& file) {
                return exporting::WritePictureFile(p, format, file).error;
            },
            [format](const raster::DibRecord& p, core::TReplacement& out) {
                return exporting::WritePictureInto(out, p, format);
            }};
}

TWriter VideoWriter(const char* name, const char* fileName, exporting::VideoCodec codec) {
    exporting::TVideoOptions options;
    options.codec = codec;
    options.fps = 5;
    options.last = 3;
    return {name, fileName,
            [options](const raster::DibRecord& p, const fs::path& file) {
                const exporting::ExportResult r =
                    avivideo::WriteVideo(QString::fromStdString(file.string()), options,
                                         [&p](int) -> const raster::DibRecord& { return p; });
                return r.status == exporting::ExportStatus::Done ? std::string()
                                                                 : r.message.toStdString();
            },
            [options](const raster::DibRecord& p, core::TReplacement& out) {
                return avivideo::WriteVideoInto(
                           out, options, [&p](int) -> const raster::DibRecord& { return p; }, {},
                           nullptr)
                    .isEmpty();
            }};
}

const std::vector<TWriter>& Writers() {
    static const std::vector<TWriter> writers = {
        PictureWriter("Bmp", "p.bmp", PictureFormat::Bmp),
        PictureWriter("Png", "p.png", PictureFormat::Png),
        PictureWriter("Jpeg", "p.jpg", PictureFormat::Jpeg),
        PictureWriter("Tiff", "p.tif", PictureFormat::Tiff),
        VideoWriter("AviMotionJpeg", "v.avi", exporting::VideoCodec::MotionJpeg),
        VideoWriter("AviUncompressed", "v.avi", exporting::VideoCodec::Uncompressed),
        VideoWriter("Mp4", "v.mp4", exporting::VideoCodec::H264),
        VideoWriter("WebM", "v.webm", exporting::VideoCodec::Vp9),
        VideoWriter("Gif", "v.gif", exporting::VideoCodec::Gif),
    };
    return writers;
}

}  // namespace

class WriterFaults : public ::testing::TestWithParam<std::tuple<std::size_t, Fault>> {};

TEST_P(WriterFaults, KeepTheOldFileAndReportTheSystemsReason) {
    const TWriter& writer = Writers()[std::get<0>(GetParam())];
    const Fault fault = std::get<1>(GetParam());
    if (fault == Fault::ReadOnlyFolder && !testing_support::PermissionsApply())
        GTEST_SKIP() << "running as root: permissions do not block writes";
    const fs::path dir = testing_support::OutDir(
                             QStringLiteral("writer_fault_%1_%2")
                                 .arg(QLatin1String(writer.name), QLatin1String(FaultName(fault))))
                             .toStdString();
    testing_support::TFaultScene scene(dir, fault, writer.fileName);
    const raster::DibRecord picture = Noise(64, 48);
    std::string error;
    if (fault == Fault::FullDevice) {
        core::TReplacement out(scene.Target());
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        ASSERT_GE(full, 0);
        ASSERT_GE(::dup2(full, out.Descriptor()), 0);
        ::close(full);
        const bool wrote = writer.into(picture, out);
        const core::TSaveResult r = out.Commit();
        EXPECT_FALSE(wrote && r.ok);
        error = out.Error();
    } else if (fault == Fault::FileSizeLimit) {
        testing_support::TFileSizeLimit limit(2000);
        ASSERT_TRUE(limit.Ok());
        error = writer.save(picture, scene.Target());
    } else {
        error = writer.save(picture, scene.Target());
    }
    EXPECT_NE(error.find(testing_support::FaultReason(fault)), std::string::npos) << error;
    EXPECT_TRUE(scene.Untouched()) << scene.Listing();
}

INSTANTIATE_TEST_SUITE_P(EveryWriterEveryFault, WriterFaults,
                         ::testing::Combine(::testing::Range<std::size_t>(0, Writers().size()),
                                            ::testing::ValuesIn(testing_support::AllFaults())),
                         [](const auto& info) {
                             return std::string(Writers()[std::get<0>(info.param)].name) + "_" +
                                    FaultName(std::get<1>(info.param));
                         });

namespace {

// A device that takes `room` bytes and then fails every write.
class TFailingDevice : public QIODevice {
public:
    explicit TFailingDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override {
        if (room_ >= len) {
            room_ -= len;
            return len;
        }
        setErrorString(QStringLiteral("Injected write failure"));
        return -1;
    }

private:
    qint64 room_;
};

}  // namespace

class EncodeOnFailingDevice : public ::testing::TestWithParam<PictureFormat> {};

TEST_P(EncodeOnFailingDevice, ReportsTheDevicesReasonNeverSuccess) {
    const raster::DibRecord picture = Noise(300, 200);
    // Qt's PNG writer leaks its row table when a write fails after the header
    // (the program never lets it see one: see TReplacementDevice).
    const std::vector<qint64> rooms = GetParam() == PictureFormat::Png
                                          ? std::vector<qint64>{0, 20}
                                          : std::vector<qint64>{0, 100, 5000};
    for (qint64 room : rooms) {
        TFailingDevice device(room);
        const QString error = exporting::EncodePicture(picture, GetParam(), device);
        EXPECT_EQ(error, QStringLiteral("Injected write failure")) << "room " << room;
    }
    // The same picture and format always encode to the same bytes.
    QByteArray a;
    QByteArray b;
    QBuffer da(&a);
    QBuffer db(&b);
    da.open(QIODevice::WriteOnly);
    db.open(QIODevice::WriteOnly);
    ASSERT_EQ(exporting::EncodePicture(picture, GetParam(), da), QString());
    ASSERT_EQ(exporting::EncodePicture(picture, GetParam(), db), QString());
    EXPECT_EQ(a, b);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, EncodeOnFailingDevice,
                         ::testing::Values(PictureFormat::Bmp, PictureFormat::Png,
                                           PictureFormat::Jpeg, PictureFormat::Tiff),
                         [](const auto& info) {
                             return exporting::ExtensionOf(info.param).mid(1).toStdString();
                         });

// ---- The window's commands ---------------------------------------------------

namespace {

enum class Command { SaveProject, SavePicture, SaveVideo };

struct TCommandCase {
    const char* name;
    Command command;
    const char* fileName;
};

const std::vector<TCommandCase>& Commands() {
    static const std::vector<TCommandCase> commands = {
        {"Project", Command::SaveProject, "p.mor"}, {"Bmp", Command::SavePicture, "p.bmp"},
        {"Png", Command::SavePicture, "p.png"},     {"Jpeg", Command::SavePicture, "p.jpg"},
        {"Tiff", Command::SavePicture, "p.tif"},    {"Video", Command::SaveVideo, "v.avi"},
    };
    return commands;
}

// The faults a whole window command can meet (the full device needs a hook
// into the writer and is covered above).
const std::vector<Fault>& WindowFaults() {
    static const std::vector<Fault> faults = {Fault::FileSizeLimit, Fault::ReadOnlyFolder,
                                              Fault::FolderInPlace, Fault::MissingFolder};
    return faults;
}

}  // namespace

class WindowSaveFaults : public ::testing::TestWithParam<std::tuple<std::size_t, Fault>> {};

TEST_P(WindowSaveFaults, ShowAnErrorAndKeepTheOldFile) {
    const TCommandCase& c = Commands()[std::get<0>(GetParam())];
    const Fault fault = std::get<1>(GetParam());
    if (fault == Fault::ReadOnlyFolder && !testing_support::PermissionsApply())
        GTEST_SKIP() << "running as root: permissions do not block writes";
    const fs::path dir =
        testing_support::OutDir(QStringLiteral("window_fault_%1_%2")
                                    .arg(QLatin1String(c.name), QLatin1String(FaultName(fault))))
            .toStdString();
    testing_support::TFaultScene scene(dir, fault, c.fileName);

    testing_support::FormFixture f = testing_support::MakeForm();
    TMainForm& w = *f.form;
    w.SetPictures(Noise(200, 150), Noise(150, 200));
    // Enough areas that the project file passes the size limit.
    std::vector<TAreaPair> areas;
    for (int i = 0; i < 100; ++i) areas.push_back(TAreaPair{i, i, i + 9, i + 9, 1, 2, 30, 40});
    w.SetAreas(areas);
    w.TimeEd->SetText(QStringLiteral("1"));
    w.PPSEd->SetText(QStringLiteral("3"));
    const QString target = QString::fromStdString(scene.Target().string());
    const QString savedBefore = w.SavedFileName();
    {
        testing_support::TFileSizeLimit limit(fault == Fault::FileSizeLimit ? 2000 : RLIM_INFINITY);
        ASSERT_TRUE(limit.Ok());
        switch (c.command) {
            case Command::SaveProject:
                w.SaveFile(target);
                break;
            case Command::SavePicture:
                f.prompter->fileAnswers.push_back(target);
                QTest::mouseClick(w.SavePicBtn, Qt::LeftButton);
                break;
            case Command::SaveVideo:
                f.prompter->fileAnswers.push_back(target);
                QTest::mouseClick(w.SaveAVIBtn, Qt::LeftButton);
                break;
        }
    }
    ASSERT_EQ(f.prompter->Messages().size(), 1u);
    const TScriptedPrompter::Asked message = f.prompter->Messages()[0];
    EXPECT_EQ(message.icon, TPrompter::Icon::Error);
    const QString shown = QFileInfo(target).fileName();
    if (c.command == Command::SaveProject) {
        // The project file's message is the program's own, fixed text.
        EXPECT_EQ(message.text, QStringLiteral("Save file: Could not save file %1 !").arg(shown));
        EXPECT_EQ(w.SavedFileName(), savedBefore);
    } else {
        EXPECT_TRUE(message.text.contains(QLatin1String(testing_support::FaultReason(fault))))
            << message.text.toStdString();
        EXPECT_TRUE(message.text.contains(shown)) << message.text.toStdString();
    }
    EXPECT_TRUE(scene.Untouched()) << scene.Listing();
}

INSTANTIATE_TEST_SUITE_P(EveryCommandEveryFault, WindowSaveFaults,
                         ::testing::Combine(::testing::Range<std::size_t>(0, Commands().size()),
                                            ::testing::ValuesIn(WindowFaults())),
                         [](const auto& info) {
                             return std::string(Commands()[std::get<0>(info.param)].name) + "_" +
                                    FaultName(std::get<1>(info.param));
                         });
