#include "app/sequencedialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

#include "core/replacefile.h"
#include "export/picturefile.h"
#include "export/pictureseries.h"
#include "export/videoexport.h"

namespace {

const QString kCaption = QStringLiteral("Sequence");
constexpr const char* kTimingEntries[] = {"Linear", "Ease in", "Ease out", "Ease in and out"};
// The save dialog's entries, as "Save AVI video..." offers them.
constexpr int kUncompressedEntry = 2;
constexpr int kSeriesEntry = 6;
constexpr exporting::VideoCodec kEntryCodecs[] = {
    exporting::VideoCodec::MotionJpeg, exporting::VideoCodec::Uncompressed,
    exporting::VideoCodec::H264, exporting::VideoCodec::Vp9, exporting::VideoCodec::Gif};
constexpr const char* kEntryExtensions[] = {"AVI", "AVI", "mp4", "webm", "gif"};

std::string Local(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

QString FromLocal(const std::string& name) {
    return QFile::decodeName(QByteArray::fromStdString(name));
}

QPushButton* Button(const QString& name, const QString& caption) {
    auto* b = new QPushButton(caption);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QImage ToImage(const raster::DibRecord& dib) {
    if (!dib.HasPixels() || dib.BitCount() != 24) return {};
    QImage image(dib.Width(), dib.Height(), QImage::Format_BGR888);
    for (int y = 0; y < dib.Height(); ++y)
        std::memcpy(image.scanLine(y), dib.Row(y), 3 * static_cast<std::size_t>(dib.Width()));
    return image;
}

}  // namespace

TSequenceDialog::TSequenceDialog(TSequenceHost& host, QWidget* parent)
    : QDialog(parent), host_(host) {
    setObjectName(QStringLiteral("SequenceDialog"));
    setWindowTitle(kCaption);
    auto* outer = new QVBoxLayout(this);

    List = new QTableWidget(0, 4);
    List->setObjectName(QStringLiteral("SequenceList"));
    List->setHorizontalHeaderLabels({QStringLiteral("Project"), QStringLiteral("Pictures"),
                                     QStringLiteral("Length"), QStringLiteral("Timing")});
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    List->verticalHeader()->hide();

    AddCurrentBtn = Button(QStringLiteral("AddCurrentBtn"), QStringLiteral("Add current project"));
    AddBtn = Button(QStringLiteral("AddBtn"), QStringLiteral("Add..."));
    RemoveBtn = Button(QStringLiteral("RemoveBtn"), QStringLiteral("Remove"));
    UpBtn = Button(QStringLiteral("UpBtn"), QStringLiteral("Up"));
    DownBtn = Button(QStringLiteral("DownBtn"), QStringLiteral("Down"));
    EditBtn = Button(QStringLiteral("EditBtn"), QStringLiteral("Edit"));
    OpenSeqBtn = Button(QStringLiteral("OpenSeqBtn"), QStringLiteral("Open sequence..."));
    SaveSeqBtn = Button(QStringLiteral("SaveSeqBtn"), QStringLiteral("Save sequence..."));
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b :
         {AddCurrentBtn, AddBtn, RemoveBtn, UpBtn, DownBtn, EditBtn, OpenSeqBtn, SaveSeqBtn})
        buttons->addWidget(b);
    buttons->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(List, 1);
    top->addLayout(buttons);
    outer->addLayout(top, 1);

    // The selected entry's own length and timing; 0 and the first entry
    // take the window's.
    LengthEd = new QSpinBox;
    LengthEd->setObjectName(QStringLiteral("LengthEd"));
    LengthEd->setRange(0, 10000);
    LengthEd->setSpecialValueText(QStringLiteral("as the window"));
    TimingBox = new QComboBox;
    TimingBox->setObjectName(QStringLiteral("EntryTimingBox"));
    TimingBox->addItem(QStringLiteral("as the window"));
    for (const char* entry : kTimingEntries) TimingBox->addItem(QString::fromLatin1(entry));
    auto* entry = new QHBoxLayout;
    entry->addWidget(new QLabel(QStringLiteral("Length in seconds:")));
    entry->addWidget(LengthEd);
    entry->addWidget(new QLabel(QStringLiteral("Timing:")));
    entry->addWidget(TimingBox);
    entry->addStretch(1);
    outer->addLayout(entry);

    PreviewLabel = new QLabel;
    PreviewLabel->setObjectName(QStringLiteral("SequencePreview"));
    PreviewLabel->setFixedSize(320, 240);
    PreviewLabel->setAlignment(Qt::AlignCenter);
    FrameSlider = new QSlider(Qt::Horizontal);
    FrameSlider->setObjectName(QStringLiteral("FrameSlider"));
    FrameSlider->setRange(0, 0);
    PlayBtn = Button(QStringLiteral("SeqPlayBtn"), QStringLiteral("Play"));
    SaveVideoBtn =
        Button(QStringLiteral("SaveSeqVideoBtn"), QStringLiteral("Save sequence video..."));
    auto* close = Button(QStringLiteral("CloseBtn"), QStringLiteral("Close"));
    auto* preview = new QGridLayout;
    preview->addWidget(PreviewLabel, 0, 0, 1, 3);
    preview->addWidget(FrameSlider, 1, 0, 1, 3);
    preview->addWidget(PlayBtn, 2, 0);
    preview->addWidget(SaveVideoBtn, 2, 1);
    preview->addWidget(close, 2, 2);
    outer->addLayout(preview);
    PlayTimer = new QTimer(this);

    AddDialog.objectName = QStringLiteral("SequenceAddDialog");
    AddDialog.filter = QStringLiteral("Morphing projects (*.MOR)|*.MOR|All files (*.*)|*.*");
    OpenSeqDialog.objectName = QStringLiteral("SequenceOpenDialog");
    OpenSeqDialog.filter = QStringLiteral("Sequences (*.MORSEQ)|*.MORSEQ");
    SaveSeqDialog.objectName = QStringLiteral("SequenceSaveDialog");
    SaveSeqDialog.save = true;
    SaveSeqDialog.overwritePrompt = true;
    SaveSeqDialog.filter = OpenSeqDialog.filter;
    SaveSeqDialog.defaultExt = QStringLiteral("morseq");
    SaveVideoDialog.objectName = QStringLiteral("SequenceVideoDialog");
    SaveVideoDialog.save = true;
    SaveVideoDialog.overwritePrompt = true;
    SaveVideoDialog.filter = QStringLiteral(
        "AVI files (*.AVI)|*.AVI|AVI files, uncompressed (*.AVI)|*.AVI|"
        "MP4 video, H.264 (*.MP4)|*.MP4|WebM video, VP9 (*.WEBM)|*.WEBM|"
        "Animated GIF (*.GIF)|*.GIF|"
        "Numbered pictures, name_0001.png ... (*.PNG;*.BMP;*.JPG;*.TIF)|*.PNG;*.BMP;*.JPG;*.TIF");
    SaveVideoDialog.defaultExt = QStringLiteral("AVI");

    connect(AddCurrentBtn, &QPushButton::clicked, this, [this] { AddCurrentClick(); });
    connect(AddBtn, &QPushButton::clicked, this, [this] { AddClick(); });
    connect(RemoveBtn, &QPushButton::clicked, this, [this] { RemoveClick(); });
    connect(UpBtn, &QPushButton::clicked, this, [this] { UpClick(); });
    connect(DownBtn, &QPushButton::clicked, this, [this] { DownClick(); });
    connect(EditBtn, &QPushButton::clicked, this, [this] { EditClick(); });
    connect(OpenSeqBtn, &QPushButton::clicked, this, [this] { OpenSequenceClick(); });
    connect(SaveSeqBtn, &QPushButton::clicked, this, [this] { SaveSequenceClick(); });
    connect(PlayBtn, &QPushButton::clicked, this, [this] { PlayClick(); });
    connect(SaveVideoBtn, &QPushButton::clicked, this, [this] { SaveVideoClick(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(PlayTimer, &QTimer::timeout, this, [this] { PlayTick(); });
    connect(FrameSlider, &QSlider::valueChanged, this, [this](int v) { ShowFrame(v); });
    connect(LengthEd, &QSpinBox::valueChanged, this, [this] { EntryEdited(); });
    connect(TimingBox, &QComboBox::currentIndexChanged, this, [this] { EntryEdited(); });
    connect(List, &QTableWidget::currentCellChanged, this, [this] { Refill(); });
    Refill();
}

TSequenceDialog::~TSequenceDialog() = default;

void TSequenceDialog::SetItems(std::vector<core::TSequenceItem> items) {
    items_ = std::move(items);
    Changed();
    SetCurrentRow(items_.empty() ? -1 : 0);
}

int TSequenceDialog::CurrentRow() const {
    return List->currentRow();
}

void TSequenceDialog::SetCurrentRow(int row) {
    List->setCurrentCell(row, 0);
    Refill();
}

void TSequenceDialog::ShowError(const QString& text) {
    host_.Prompter().Message(this, text, kCaption, TPrompter::Icon::Error, TPrompter::Buttons::Ok);
}

// The list's rows from the entries, and the entry fields from the selection.
void TSequenceDialog::Refill() {
    if (filling_) return;
    filling_ = true;
    const int row = List->currentRow();
    const core::TSequenceSettings common = host_.CommonSettings();
    List->setRowCount(static_cast<int>(items_.size()));
    for (int r = 0; r < static_cast<int>(items_.size()); ++r) {
        const core::TSequenceItem& item = items_[static_cast<std::size_t>(r)];
        const double length = item.settings.length.value_or(common.length);
        const core::TTiming timing = item.settings.timing.value_or(common.timing);
        const QString texts[] = {
            QFileInfo(FromLocal(item.project)).fileName(),
            QString::number(
                static_cast<qlonglong>(std::max(0.0, std::trunc(length * common.rate)))),
            QString::number(length), QString::fromLatin1(kTimingEntries[static_cast<int>(timing)])};
        for (int c = 0; c < 4; ++c) {
            QTableWidgetItem* cell = List->item(r, c);
            if (!cell) {
                cell = new QTableWidgetItem;
                List->setItem(r, c, cell);
            }
            cell->setText(texts[c]);
        }
    }
    if (row >= static_cast<int>(items_.size()))
        List->setCurrentCell(static_cast<int>(items_.size()) - 1, 0);
    const int current = List->currentRow();
    const bool selected = current >= 0 && current < static_cast<int>(items_.size());
    for (QWidget* w : std::initializer_list<QWidget*>{RemoveBtn, EditBtn, LengthEd, TimingBox})
        w->setEnabled(selected);
    UpBtn->setEnabled(selected && current > 0);
    DownBtn->setEnabled(selected && current + 1 < static_cast<int>(items_.size()));
    for (QWidget* w : std::initializer_list<QWidget*>{SaveSeqBtn, PlayBtn, SaveVideoBtn})
        w->setEnabled(!items_.empty());
    if (selected) {
        const core::TSequenceItem& item = items_[static_cast<std::size_t>(current)];
        LengthEd->setValue(item.settings.length ? static_cast<int>(*item.settings.length) : 0);
        TimingBox->setCurrentIndex(
            item.settings.timing ? static_cast<int>(*item.settings.timing) + 1 : 0);
    }
    filling_ = false;
}

void TSequenceDialog::EntryEdited() {
    if (filling_) return;
    const int row = CurrentRow();
    if (row < 0 || row >= static_cast<int>(items_.size())) return;
    core::TSequenceOverrides& s = items_[static_cast<std::size_t>(row)].settings;
    s.length = LengthEd->value() > 0 ? std::optional<double>(LengthEd->value()) : std::nullopt;
    s.timing = TimingBox->currentIndex() > 0
                   ? std::optional<core::TTiming>(
                         static_cast<core::TTiming>(TimingBox->currentIndex() - 1))
                   : std::nullopt;
    Changed();
}

// The list changed: the preview is loaded again when next asked for.
void TSequenceDialog::Changed() {
    PlayTimer->stop();
    loaded_ = false;
    Refill();
}

void TSequenceDialog::AddCurrentClick() {
    const std::optional<QString> file = host_.CurrentProjectFile();
    if (!file) return;
    items_.push_back({Local(*file), {}, {}});
    Changed();
    SetCurrentRow(static_cast<int>(items_.size()) - 1);
}

void TSequenceDialog::AddClick() {
    if (!host_.Prompter().Execute(this, AddDialog)) return;
    const QString name = QFileInfo(AddDialog.fileName).absoluteFilePath();
    if (core::IsSequenceFileName(Local(name))) {
        const core::TSequenceRead read = core::ReadSequenceFile(Local(name));
        if (!read.ok()) return ShowError(FromLocal(read.error));
        items_.insert(items_.end(), read.items.begin(), read.items.end());
    } else {
        items_.push_back({Local(name), {}, {}});
    }
    Changed();
    SetCurrentRow(static_cast<int>(items_.size()) - 1);
}

void TSequenceDialog::RemoveClick() {
    const int row = CurrentRow();
    if (row < 0 || row >= static_cast<int>(items_.size())) return;
    items_.erase(items_.begin() + row);
    Changed();
    SetCurrentRow(std::min(row, static_cast<int>(items_.size()) - 1));
}

void TSequenceDialog::UpClick() {
    const int row = CurrentRow();
    if (row < 1 || row >= static_cast<int>(items_.size())) return;
    std::swap(items_[static_cast<std::size_t>(row)], items_[static_cast<std::size_t>(row - 1)]);
    Changed();
    SetCurrentRow(row - 1);
}

void TSequenceDialog::DownClick() {
    const int row = CurrentRow();
    if (row < 0 || row + 1 >= static_cast<int>(items_.size())) return;
    std::swap(items_[static_cast<std::size_t>(row)], items_[static_cast<std::size_t>(row + 1)]);
    Changed();
    SetCurrentRow(row + 1);
}

void TSequenceDialog::OpenSequenceClick() {
    if (!host_.Prompter().Execute(this, OpenSeqDialog)) return;
    const core::TSequenceRead read =
        core::ReadSequenceFile(Local(QFileInfo(OpenSeqDialog.fileName).absoluteFilePath()));
    if (!read.ok()) return ShowError(FromLocal(read.error));
    SetItems(read.items);
}

void TSequenceDialog::SaveSequenceClick() {
    if (items_.empty() || !host_.Prompter().Execute(this, SaveSeqDialog)) return;
    const QString name = QFileInfo(WithDefaultExt(SaveSeqDialog.fileName, SaveSeqDialog.defaultExt))
                             .absoluteFilePath();
    const std::string text = core::SequenceFileText(items_, Local(name));
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    const core::TSaveResult saved = core::ReplaceFile(Local(name), bytes);
    if (!saved.ok)
        ShowError(QStringLiteral("The sequence cannot be saved as \"%1\": %2.")
                      .arg(QFileInfo(name).fileName(), QString::fromStdString(saved.error)));
}

void TSequenceDialog::EditClick() {
    const int row = CurrentRow();
    if (row < 0 || row >= static_cast<int>(items_.size())) return;
    // The dialog closes, so that the project can be worked on in the window.
    PlayTimer->stop();
    host_.EditProject(FromLocal(items_[static_cast<std::size_t>(row)].project));
    accept();
}

bool TSequenceDialog::LoadSequence() {
    if (loaded_) return true;
    std::string problem;
    try {
        problem = sequence_.Load(items_, host_.CommonSettings());
    } catch (const std::bad_alloc&) {
        problem = "not enough memory";
    }
    if (!problem.empty()) {
        ShowError(QStringLiteral("The sequence cannot be shown: %1.").arg(FromLocal(problem)));
        return false;
    }
    loaded_ = true;
    const std::int64_t frames = std::min<std::int64_t>(sequence_.FrameCount(), INT_MAX);
    {
        const QSignalBlocker quiet(FrameSlider);
        FrameSlider->setRange(0, static_cast<int>(frames - 1));
        FrameSlider->setValue(0);
    }
    ShowFrame(0);
    return true;
}

int TSequenceDialog::PreviewFrame() const {
    return FrameSlider->value();
}

void TSequenceDialog::ShowFrame(int frame) {
    if (!loaded_) return;
    if (FrameSlider->value() != frame) {
        const QSignalBlocker quiet(FrameSlider);
        FrameSlider->setValue(frame);
    }
    try {
        sequence_.RenderFrame(frame, preview_);
    } catch (const std::bad_alloc&) {
        preview_ = raster::DibRecord();
    }
    const QImage image = ToImage(preview_);
    PreviewLabel->setPixmap(image.isNull() ? QPixmap()
                                           : QPixmap::fromImage(image.scaled(PreviewLabel->size(),
                                                                             Qt::KeepAspectRatio)));
}

void TSequenceDialog::PlayClick() {
    if (!LoadSequence()) return;
    if (FrameSlider->value() >= FrameSlider->maximum()) ShowFrame(0);
    const double rate = std::max(1.0, host_.CommonSettings().rate);
    PlayTimer->setInterval(std::max(1, static_cast<int>(1000 / rate)));
    PlayTimer->start();
}

void TSequenceDialog::PlayTick() {
    if (!loaded_ || FrameSlider->value() >= FrameSlider->maximum()) {
        PlayTimer->stop();
        return;
    }
    ShowFrame(FrameSlider->value() + 1);
}

bool TSequenceDialog::Playing() const {
    return PlayTimer->isActive();
}

void TSequenceDialog::SaveVideoClick() {
    PlayTimer->stop();
    if (!LoadSequence()) return;
    if (!host_.Prompter().Execute(this, SaveVideoDialog)) return;
    const std::int64_t frames = sequence_.FrameCount();
    if (frames > INT_MAX) return ShowError(QStringLiteral("The sequence has too many pictures."));
    const int count = static_cast<int>(frames);
    QString name = SaveVideoDialog.fileName;
    const int entry = SaveVideoDialog.filterIndex;
    const bool series =
        entry == kSeriesEntry || exporting::IsNumberPattern(Local(QFileInfo(name).fileName()));
    exporting::VideoCodec codec = exporting::VideoCodec::MotionJpeg;
    exporting::PictureFormat format = exporting::PictureFormat::Png;
    if (series) {
        if (!exporting::FormatForName(name)) name += QStringLiteral(".png");
        format = *exporting::FormatForName(name);
        if (!exporting::IsNumberPattern(Local(QFileInfo(name).fileName()))) {
            const int digits = std::max(4, static_cast<int>(QString::number(count).size()));
            name.insert(static_cast<int>(name.lastIndexOf(QLatin1Char('.'))),
                        QStringLiteral("_%0") + QString::number(digits) + QLatin1Char('d'));
        }
    } else if (const auto named = exporting::VideoCodecForName(name)) {
        codec = *named;
        if (codec == exporting::VideoCodec::MotionJpeg && entry == kUncompressedEntry)
            codec = exporting::VideoCodec::Uncompressed;
    } else {
        const int k = std::clamp(entry, 1, 5) - 1;
        codec = kEntryCodecs[k];
        name = WithDefaultExt(name, QString::fromLatin1(kEntryExtensions[k]));
    }

    raster::DibRecord frame;
    auto render = [&](int n) -> const raster::DibRecord& {
        sequence_.RenderFrame(n - 1, frame, true);
        return frame;
    };
    std::unique_ptr<TProgress> progress =
        host_.Prompter().BeginProgress(this,
                                       (series ? QStringLiteral("Writing the pictures \"%1\"...")
                                               : QStringLiteral("Writing the video \"%1\"..."))
                                           .arg(QFileInfo(name).fileName()),
                                       QStringLiteral("Save sequence video"));
    auto report = [&](int written, int total) {
        progress->SetPercent(static_cast<int>(static_cast<std::int64_t>(written) * 100 / total));
        QCoreApplication::processEvents();
        return !progress->Cancelled();
    };
    exporting::ExportResult result;
    if (series) {
        result = exporting::WritePictureSeries(Local(name), format, 1, count, render, report);
    } else {
        exporting::TVideoOptions options;
        options.codec = codec;
        options.fps = std::max(1, static_cast<int>(host_.CommonSettings().rate));
        options.last = count;
        options.background = host_.CommonSettings().background;
        result = exporting::WriteVideo(name, options, render, report);
    }
    progress.reset();
    if (result.status == exporting::ExportStatus::Cancelled)
        host_.Prompter().Message(this, result.message, kCaption, TPrompter::Icon::Information,
                                 TPrompter::Buttons::Ok);
    else if (result.status == exporting::ExportStatus::Failed)
        ShowError(result.message);
}
