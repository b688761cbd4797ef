// The window's "Save AVI video..." against vellora-render on the same
// project: 50 pictures of 1920 x 1080 with 8 area pairs, as MP4 (H.264) and as
// numbered PNG pictures. Both go through exporting::WriteMorphSequence; the
// window adds its progress display and event processing. Prints the wall
// times, their ratio (goal: the window within 1.1 x), and the time of the
// PNG writer for one 1920 x 1080 picture (goal: at most 0.15 s).
//
//   build/bench/window_export_bench [repeats]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/mainform.h"
#include "controls/spinedit.h"
#include "core/process.h"
#include "core/projectfile.h"
#include "core/renderer.h"
#include "export/picturefile.h"
#include "export_scene.h"

namespace {

constexpr int kW = export_scene::kWidth;
constexpr int kH = export_scene::kHeight;
using export_scene::EightPairs;

QImage Picture(int seed) {
    QImage image(kW, kH, QImage::Format_RGB888);
    for (int y = 0; y < kH; ++y) export_scene::FillRow(image.scanLine(y), y, seed);
    return image;
}

// Answers the save dialog with the next name; no other questions.
class TBenchPrompter : public TPrompter {
public:
    QString next;
    bool Message(QWidget*, const QString&, const QString&, Icon, Buttons) override { return true; }
    bool Execute(QWidget*, TFileDialog& dlg) override {
        dlg.fileName = next;
        return true;
    }
    std::optional<QColor> ChooseColor(QWidget*, QColor) override { return std::nullopt; }
    bool OpenUrl(const QUrl&) override { return true; }
    void ShowModal(QDialog&) override {}
};

void Clear(const QString& dir) {
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
}

double Seconds(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir scratch;
    // The window's remembered folders go to this run's scratch folder.
    qputenv("XDG_CONFIG_HOME", (scratch.path() + QStringLiteral("/config")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    core::PrepareProcess();
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;

    const QString dir = scratch.path();
    Picture(1).save(dir + QStringLiteral("/one.png"));
    Picture(2).save(dir + QStringLiteral("/two.png"));
    std::vector<std::uint8_t> bytes;
    core::WriteProject({"one.png", "two.png", EightPairs()}, bytes);
    {
        QFile f(dir + QStringLiteral("/p.mor"));
        f.open(QIODevice::WriteOnly);
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    }

    auto* prompter = new TBenchPrompter;
    TMainForm w{std::unique_ptr<TPrompter>(prompter)};
    w.OpenFile(dir + QStringLiteral("/p.mor"));
    w.TimeEd->SetText(QStringLiteral("10"));
    w.PPSEd->SetText(QStringLiteral("5"));  // N = 50
    w.show();
    QApplication::processEvents();

    const QString out = dir + QStringLiteral("/out");
    struct TKind {
        const char* name;
        QString windowName;  // as typed into the dialog
        QString renderOutput;
    } kinds[] = {
        {"MP4 (H.264)", out + QStringLiteral("/w.mp4"), out + QStringLiteral("/r.mp4")},
        {"numbered PNG", out + QStringLiteral("/w.png"), out + QStringLiteral("/r_%04d.png")},
    };
    std::printf("50 pictures of %d x %d, 8 area pairs, best of %d runs\n", kW, kH, repeats);
    std::printf("%-14s %10s %15s %7s\n", "kind", "window s", "vellora-render s", "ratio");
    for (const TKind& kind : kinds) {
        double window = 1e9, render = 1e9;
        for (int i = 0; i < repeats; ++i) {
            Clear(out);
            prompter->next = kind.windowName;
            QElapsedTimer t;
            t.start();
            w.SaveAVIBtnClick();
            window = std::min(window, Seconds(t));

            Clear(out);
            t.start();
            const int code = QProcess::execute(
                QStringLiteral(VELLORA_RENDER_BIN),
                {dir + QStringLiteral("/p.mor"), QStringLiteral("-o"), kind.renderOutput,
                 QStringLiteral("--length"), QStringLiteral("10"), QStringLiteral("--rate"),
                 QStringLiteral("5"), QStringLiteral("--quiet")});
            render = std::min(render, Seconds(t));
            if (code != 0) std::printf("vellora-render failed with %d\n", code);
        }
        std::printf("%-14s %10.2f %15.2f %7.2f\n", kind.name, window, render, window / render);
    }

    // The PNG writer alone on the picture the window shows (1920 x 1080).
    Clear(out);
    constexpr int kWrites = 10;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kWrites; ++i)
        exporting::WritePictureFile(w.Result(), exporting::PictureFormat::Png,
                                    (out + QStringLiteral("/one.png")).toStdString());
    std::printf("PNG writer: %.3f s per %d x %d picture (%lld bytes)\n", Seconds(t) / kWrites,
                w.Result().Width(), w.Result().Height(),
                static_cast<long long>(QFileInfo(out + QStringLiteral("/one.png")).size()));
    return 0;
}
