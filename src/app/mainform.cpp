// The main window: layout, start-up, shut-down, status bar and splitters.
#include "app/mainform.h"
#include "app/settings.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/aboutbox.h"
#include "app/areapagehost.h"
#include "app/artwork.h"
#include "app/loadwatch.h"
#include "app/startfolder.h"
#include "app/statuspanel.h"
#include "controls/aspectpicture.h"
#include "controls/bitbtnxp.h"
#include "controls/imagebtn.h"
#include "controls/spinedit.h"
#include "controls/tintacolorcombobox.h"
#include "controls/zoompane.h"
#include "raster/progress_event.h"

const char* const kWebAddressCaption = "User guide (docs)";

QUrl UserGuideUrl() {
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        appDir + QStringLiteral("/../share/doc/vellora/index.html"),
        QStringLiteral(VELLORA_SOURCE_DIR "/docs/index.html"),
    };
    for (const QString& c : candidates) {
        if (QFileInfo::exists(c)) return QUrl::fromLocalFile(QFileInfo(c).canonicalFilePath());
    }
    return QUrl::fromLocalFile(candidates.back());
}

namespace {

QWidget* Header(const QString& text, QColor color) {
    auto* strip = new QLabel(text);
    QFont f = strip->font();
    f.setBold(true);
    strip->setFont(f);
    strip->setFixedHeight(33);
    strip->setIndent(8);
    strip->setAutoFillBackground(true);
    QPalette pal = strip->palette();
    pal.setColor(QPalette::Window, color);
    pal.setColor(QPalette::WindowText, Qt::black);
    strip->setPalette(pal);
    return strip;
}

QWidget* DecorativeColumn(const QString& name, const QString& imageName, const QString& words,
                          int page) {
    auto* column = new QWidget;
    column->setObjectName(name);
    column->setFixedWidth(209);
    column->setAutoFillBackground(true);
    QPalette pal = column->palette();
    pal.setColor(QPalette::Window, QColor(192, 220, 192));
    column->setPalette(pal);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    // Grows with the window but keeps the drawing's proportions.
    auto* image = new TAspectPicture(artwork::DecorativePicture(page));
    image->setObjectName(imageName);
    layout->addWidget(image, 1);
    auto* caption = new QLabel(words);
    QFont f(QStringLiteral("Arial Black"));
    f.setPixelSize(19);
    caption->setFont(f);
    caption->setWordWrap(true);
    caption->setAlignment(Qt::AlignCenter);
    QPalette cp = caption->palette();
    cp.setColor(QPalette::WindowText, QColor(128, 0, 0));
    caption->setPalette(cp);
    layout->addWidget(caption);
    return column;
}

TSpinEdit* NumberField(const QString& name, int min, int max, int step, int value) {
    auto* edit = new TSpinEdit;
    edit->setObjectName(name);
    edit->SetMinValue(min);
    edit->SetMaxValue(max);
    edit->SetIncrement(step);
    edit->SetText(QString::number(value));
    return edit;
}

TBitBtnXP* GlyphButton(const QString& name, const QString& caption, artwork::Glyph glyph) {
    auto* b = new TBitBtnXP(caption);
    b->setObjectName(name);
    b->SetGlyph(artwork::GlyphPixmap(glyph));
    return b;
}

QToolButton* ToolbarButton(const QString& name, const QString& caption, const QString& hint,
                           artwork::Glyph glyph) {
    auto* b = new QToolButton;
    b->setObjectName(name);
    b->setText(caption);
    b->setToolTip(hint);
    b->setIcon(QIcon(artwork::GlyphPixmap(glyph)));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setAutoRaise(true);
    return b;
}

// The picture-1 or picture-2 part of the first page: the open button, the
// zoom field, the pane.
QWidget* PicturePart(const QString& panel, TBitBtnXP* openBtn, TSpinEdit* zoom, TZoomPane* pane) {
    auto* part = new QWidget;
    part->setObjectName(panel);
    auto* v = new QVBoxLayout(part);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    auto* strip = new QWidget;
    strip->setFixedHeight(41);
    openBtn->setParent(strip);
    openBtn->setGeometry(8, 8, 121, 25);
    auto* label = new QLabel(QStringLiteral("Zoom:"), strip);
    label->move(136, 12);
    zoom->setParent(strip);
    zoom->setGeometry(176, 8, 65, 25);
    v->addWidget(strip);
    v->addWidget(pane, 1);
    return part;
}

}  // namespace

TMainForm::TMainForm(std::unique_ptr<TPrompter> prompter, QWidget* parent)
    : QMainWindow(parent),
      prompter_(prompter ? std::move(prompter) : std::make_unique<TQtPrompter>()) {
    setObjectName(QStringLiteral("MainForm"));
    monotonic_.start();
    tickSource_ = [this] { return static_cast<std::uint32_t>(monotonic_.elapsed()); };
    BuildLayout();
    WirePictures();
    WireAreas();
    WireMorph();
    WireDocument();
    WireZoom();
    WireLive();
    FormCreate();
    // Centred on the screen at the size its pages need (at least 638 x 512),
    // unless the settings place it where it was left.
    resize(size().expandedTo(minimumSizeHint()));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    SetUpDesktop();
    // Every pane shows its picture from the start.
    RepaintPanes();
}

TMainForm::~TMainForm() {
    FormDestroy();
    // Hiding the destroyed window stores nothing.
    delete desktopWatch_;
    desktopWatch_ = nullptr;
    settings_.reset();
}

void TMainForm::BuildLayout() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    setFont(font);
    resize(638, 512);

    OuterPanel = new QWidget;
    OuterPanel->setObjectName(QStringLiteral("OuterPanel"));
    auto* outer = new QVBoxLayout(OuterPanel);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    Panel34 = new QWidget;
    Panel34->setObjectName(QStringLiteral("Panel34"));
    Panel34->setFixedHeight(27);
    auto* tools = new QHBoxLayout(Panel34);
    tools->setContentsMargins(2, 0, 2, 0);
    tools->setSpacing(2);
    NewBtn = ToolbarButton(QStringLiteral("NewBtn"), QStringLiteral("&New"),
                           QStringLiteral("Create new file"), artwork::Glyph::New);
    OpenBtn = ToolbarButton(QStringLiteral("OpenBtn"), QStringLiteral("Open..."),
                            QStringLiteral("Open file..."), artwork::Glyph::OpenProject);
    SaveBtn = ToolbarButton(QStringLiteral("SaveBtn"), QStringLiteral("Save"),
                            QStringLiteral("Save file"), artwork::Glyph::Save);
    SaveAsBtn = ToolbarButton(QStringLiteral("SaveAsBtn"), QStringLiteral("Save as..."),
                              QStringLiteral("Save file as..."), artwork::Glyph::SaveAs);
    UndoBtn =
        ToolbarButton(QStringLiteral("UndoBtn"), QStringLiteral("Undo"),
                      QStringLiteral("Undo the last change of the areas"), artwork::Glyph::Undo);
    RedoBtn = ToolbarButton(QStringLiteral("RedoBtn"), QStringLiteral("Redo"),
                            QStringLiteral("Redo the change"), artwork::Glyph::Redo);
    for (QToolButton* b : {NewBtn, OpenBtn, SaveBtn, SaveAsBtn, UndoBtn, RedoBtn})
        tools->addWidget(b);
    tools->addWidget(BuildSequenceButton());
    tools->addStretch(1);
    outer->addWidget(Panel34);

    PageControl2 = new QTabWidget;
    PageControl2->setObjectName(QStringLiteral("PageControl2"));
    TabSheet1 = BuildPicturesPage();
    TabSheet2 = BuildAreasPage();
    TabSheet3 = BuildMorphPage();
    PageControl2->addTab(TabSheet1, QIcon(artwork::TabIcon(0)), QStringLiteral("Open pictures"));
    PageControl2->addTab(TabSheet2, QIcon(artwork::TabIcon(1)), QStringLiteral("Similar areas"));
    PageControl2->addTab(TabSheet3, QIcon(artwork::TabIcon(2)), QStringLiteral("Morphing"));
    PageControl2->setCurrentIndex(0);
    outer->addWidget(PageControl2, 1);

    auto* panel7 = new QWidget;
    panel7->setObjectName(QStringLiteral("Panel7"));
    panel7->setFixedHeight(41);
    auto* bottom = new QHBoxLayout(panel7);
    bottom->setContentsMargins(4, 4, 4, 4);
    wwwBtn = new QPushButton(QString::fromLatin1(kWebAddressCaption));
    wwwBtn->setObjectName(QStringLiteral("wwwBtn"));
    wwwBtn->setFlat(true);
    wwwBtn->setFixedSize(137, 33);
    wwwBtn->setCursor(Qt::PointingHandCursor);
    bottom->addWidget(wwwBtn);
    bottom->addStretch(1);
    auto* panel8 = new QWidget;
    panel8->setObjectName(QStringLiteral("Panel8"));
    panel8->setFixedSize(214, 33);
    ueberbtn = new TImageBtn(panel8);
    ueberbtn->setObjectName(QStringLiteral("ueberbtn"));
    ueberbtn->SetPicture(artwork::InfoButton(false));
    ueberbtn->SetPicture2(artwork::InfoButton(true));
    ueberbtn->setToolTip(QStringLiteral("Information about the program"));
    ueberbtn->move(0, 0);
    endebtn = new TImageBtn(panel8);
    endebtn->setObjectName(QStringLiteral("endebtn"));
    endebtn->SetPicture(artwork::ExitButton(false));
    endebtn->SetPicture2(artwork::ExitButton(true));
    endebtn->setToolTip(QStringLiteral("Hereby you leave the program"));
    endebtn->move(104, 0);
    bottom->addWidget(panel8);
    outer->addWidget(panel7);

    setCentralWidget(OuterPanel);

    StatusBar1 = new QStatusBar;
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel;
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(250);
    StatusPanel1 = new TStatusPanel(this);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setFixedWidth(50);
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1);
    setStatusBar(StatusBar1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    connect(PageControl2, &QTabWidget::currentChanged, this, [this] { PageControl2Change(); });
    connect(endebtn, &TImageBtn::clicked, this, [this] { EndeBtnClick(); });
    connect(ueberbtn, &TImageBtn::clicked, this, [this] { ueberbtnClick(); });
    connect(wwwBtn, &QPushButton::clicked, this, [this] { wwwBtnClick(); });
    connect(Splitter1, &QSplitter::splitterMoved, this, [this] { Splitter1Moved(); });
    connect(Splitter2, &QSplitter::splitterMoved, this, [this] { Splitter2Moved(); });
}

QWidget* TMainForm::BuildPicturesPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet1"));
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    auto* header =
        Header(QStringLiteral("Open pictures - click on the open buttons to load the pictures"),
               QColor(240, 202, 166));
    header->setObjectName(QStringLiteral("Panel5"));
    v->addWidget(header);
    auto* body = new QHBoxLayout;
    body->setSpacing(0);
    body->addWidget(DecorativeColumn(QStringLiteral("Panel21"), QStringLiteral("Image1"),
                                     QStringLiteral("Pictures for morphing..."), 0));

    PicOpenBtn1 = GlyphButton(QStringLiteral("PicOpenBtn1"), QStringLiteral("Open picture 1..."),
                              artwork::Glyph::Open);
    PicOpenBtn2 = GlyphButton(QStringLiteral("PicOpenBtn2"), QStringLiteral("Open picture 2..."),
                              artwork::Glyph::Open);
    Zoom1Ed = NumberField(QStringLiteral("Zoom1Ed"), 10, 300, 10, 100);
    Zoom2Ed = NumberField(QStringLiteral("Zoom2Ed"), 10, 300, 10, 100);
    ScrollBox1 = new TZoomPane(QStringLiteral("ScrollBox1"), QStringLiteral("PaintBox1"));
    ScrollBox2 = new TZoomPane(QStringLiteral("ScrollBox2"), QStringLiteral("PaintBox2"));
    PaintBox1 = ScrollBox1->PaintBox();
    PaintBox2 = ScrollBox2->PaintBox();

    Panel1 = new QWidget;
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto* p1 = new QVBoxLayout(Panel1);
    p1->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Vertical);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    Panel33 = PicturePart(QStringLiteral("Panel33"), PicOpenBtn1, Zoom1Ed, ScrollBox1);
    Panel30 = PicturePart(QStringLiteral("Panel30"), PicOpenBtn2, Zoom2Ed, ScrollBox2);
    Panel33->setMinimumHeight(100);
    Panel30->setMinimumHeight(100);
    Splitter1->addWidget(Panel33);
    Splitter1->addWidget(Panel30);
    p1->addWidget(Splitter1);
    body->addWidget(Panel1, 1);
    v->addLayout(body, 1);
    return page;
}

QWidget* TMainForm::BuildAreasPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet2"));
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    auto* header = Header(
        QStringLiteral("Choose similar areas - Select sticking areas like eyes, mouth, nose etc."),
        QColor(240, 202, 166));
    v->addWidget(header);
    auto* body = new QHBoxLayout;
    body->setSpacing(0);

    auto* panel3 = new QWidget;
    panel3->setObjectName(QStringLiteral("Panel3"));
    panel3->setFixedWidth(52);
    auto* toolsLayout = new QVBoxLayout(panel3);
    toolsLayout->setContentsMargins(1, 1, 1, 1);
    toolsLayout->setSpacing(0);
    auto* group = new QButtonGroup(panel3);
    group->setExclusive(true);
    auto tool = [&](const QString& name, const QString& caption, artwork::Glyph glyph) {
        auto* b = new QToolButton;
        b->setObjectName(name);
        b->setText(caption);
        b->setIcon(QIcon(artwork::GlyphPixmap(glyph, 24)));
        b->setIconSize(QSize(24, 24));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setFixedSize(50, 54);
        group->addButton(b);
        toolsLayout->addWidget(b);
        return b;
    };
    SpeedPointer =
        tool(QStringLiteral("SpeedPointer"), QStringLiteral("Pointer"), artwork::Glyph::Pointer);
    SpeedZoom = tool(QStringLiteral("SpeedZoom"), QStringLiteral("Zoom"), artwork::Glyph::Zoom);
    SpeedHand = tool(QStringLiteral("SpeedHand"), QStringLiteral("Hand"), artwork::Glyph::Hand);
    SpeedRect = tool(QStringLiteral("SpeedRect"), QStringLiteral("Area"), artwork::Glyph::Area);
    SpeedRect->setChecked(true);
    toolsLayout->addStretch(1);
    body->addWidget(panel3);

    Zoom3Ed = NumberField(QStringLiteral("Zoom3Ed"), 10, 300, 10, 100);
    Zoom4Ed = NumberField(QStringLiteral("Zoom4Ed"), 10, 300, 10, 100);
    ScrollBox3 = new TZoomPane(QStringLiteral("ScrollBox3"), QStringLiteral("PaintBox3"));
    ScrollBox4 = new TZoomPane(QStringLiteral("ScrollBox4"), QStringLiteral("PaintBox4"));
    PaintBox3 = ScrollBox3->PaintBox();
    PaintBox4 = ScrollBox4->PaintBox();
    auto areaPart = [](const QString& name, TSpinEdit* zoom, TZoomPane* pane) {
        auto* part = new QWidget;
        part->setObjectName(name);
        auto* pv = new QVBoxLayout(part);
        pv->setContentsMargins(0, 0, 0, 0);
        pv->setSpacing(2);
        auto* strip = new QHBoxLayout;
        strip->setContentsMargins(4, 4, 4, 0);
        strip->addWidget(new QLabel(QStringLiteral("Zoom:")));
        zoom->setFixedWidth(65);
        strip->addWidget(zoom);
        strip->addStretch(1);
        pv->addLayout(strip);
        pv->addWidget(pane, 1);
        return part;
    };
    Panel6 = new QWidget;
    Panel6->setObjectName(QStringLiteral("Panel6"));
    auto* p6 = new QVBoxLayout(Panel6);
    p6->setContentsMargins(0, 0, 0, 0);
    p6->setSpacing(0);
    Splitter2 = new QSplitter(Qt::Horizontal);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setHandleWidth(3);
    Splitter2->setChildrenCollapsible(false);
    Panel35 = areaPart(QStringLiteral("Panel35"), Zoom3Ed, ScrollBox3);
    Panel37 = areaPart(QStringLiteral("Panel37"), Zoom4Ed, ScrollBox4);
    Splitter2->addWidget(Panel35);
    Splitter2->addWidget(Panel37);
    p6->addWidget(Splitter2, 1);

    auto* panel39 = new QWidget;
    panel39->setObjectName(QStringLiteral("Panel39"));
    auto* rows = new QVBoxLayout(panel39);
    rows->setContentsMargins(4, 4, 4, 2);
    auto* objs = new QHBoxLayout;
    objs->setContentsMargins(0, 0, 0, 0);
    rows->addLayout(objs);
    DelObjBtn = GlyphButton(QStringLiteral("DelObjBtn"), QStringLiteral("&Delete object"),
                            artwork::Glyph::Delete);
    PrevBtn = GlyphButton(QStringLiteral("PrevBtn"), QStringLiteral("&Previous object"),
                          artwork::Glyph::Previous);
    NextBtn = GlyphButton(QStringLiteral("NextBtn"), QStringLiteral("&Next object"),
                          artwork::Glyph::Next);
    MatchBtn = GlyphButton(QStringLiteral("MatchBtn"), QStringLiteral("&Match object"),
                           artwork::Glyph::Match);
    MatchBtn->setToolTip(QStringLiteral("Find the current area in the other picture"));
    FindPairsBtn = GlyphButton(QStringLiteral("FindPairsBtn"), QStringLiteral("&Find pairs"),
                               artwork::Glyph::Match);
    FindPairsBtn->setToolTip(
        QStringLiteral("Place area pairs for the faces found in both pictures"));
    for (TBitBtnXP* b : {DelObjBtn, PrevBtn, NextBtn, MatchBtn, FindPairsBtn}) objs->addWidget(b);
    objs->addStretch(1);
    PosLabel = new QLabel;
    PosLabel->setObjectName(QStringLiteral("PosLabel"));
    PosLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // It changes with every mouse move: plain text, and a width of its own so
    // that a new text never lays out the strip again.
    PosLabel->setTextFormat(Qt::PlainText);
    PosLabel->setMinimumWidth(PosLabel->fontMetrics().horizontalAdvance(QStringLiteral(
        "x -0000, y -0000     1: -0000,-0000--0000,-0000   2: -0000,-0000--0000,-0000")));
    PosLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    objs->addWidget(PosLabel);
    // A line of its own below: the position label leaves no room beside the
    // buttons at the window's first size.
    StatusLabel = new QLabel;
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    StatusLabel->setTextFormat(Qt::PlainText);
    StatusLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    StatusLabel->setFixedHeight(StatusLabel->fontMetrics().height());
    rows->addWidget(StatusLabel);
    p6->addWidget(panel39);
    body->addWidget(Panel6, 1);
    v->addLayout(body, 1);
    return page;
}

QWidget* TMainForm::BuildMorphPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet3"));
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    v->addWidget(
        Header(QStringLiteral("Render morphing - show morphing and save as image or video"),
               QColor(240, 202, 166)));
    auto* body = new QHBoxLayout;
    body->setSpacing(0);
    body->addWidget(DecorativeColumn(QStringLiteral("Panel41"), QStringLiteral("Image3"),
                                     QStringLiteral("Render morphing"), 2));
    auto* right = new QVBoxLayout;
    right->setSpacing(0);

    auto* panel40 = new QWidget;
    panel40->setObjectName(QStringLiteral("Panel40"));
    panel40->setFixedHeight(105);
    TimeEd = NumberField(QStringLiteral("TimeEd"), 1, 10000, 1, 5);
    PPSEd = NumberField(QStringLiteral("PPSEd"), 1, 100, 1, 5);
    PicEd = NumberField(QStringLiteral("PicEd"), 1, 1000000, 1, 1);
    Zoom5Ed = NumberField(QStringLiteral("Zoom5Ed"), 10, 300, 10, 100);
    BkColor = new TTintaColorComboBox;
    BkColor->setObjectName(QStringLiteral("BkColor"));
    PlayBtn = GlyphButton(QStringLiteral("PlayBtn"), QStringLiteral("Play"), artwork::Glyph::Play);
    StopBtn = GlyphButton(QStringLiteral("StopBtn"), QStringLiteral("Stop"), artwork::Glyph::Stop);
    SavePicBtn = GlyphButton(QStringLiteral("SavePicBtn"), QStringLiteral("Save picture..."),
                             artwork::Glyph::SavePicture);
    SaveAVIBtn = GlyphButton(QStringLiteral("SaveAVIBtn"), QStringLiteral("Save AVI video..."),
                             artwork::Glyph::SaveVideo);
    // Labels above their fields, the buttons in a column of their own; a grid
    // keeps everything visible at the window's size of 638 x 512.
    auto* grid = new QGridLayout(panel40);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(0);
    auto labelled = [grid](QWidget* field, const QString& label, int row, int column) {
        grid->addWidget(new QLabel(label), row, column);
        grid->addWidget(field, row + 1, column);
    };
    labelled(TimeEd, QStringLiteral("Length in seconds:"), 0, 0);
    labelled(PPSEd, QStringLiteral("Pictures per second:"), 0, 1);
    labelled(PicEd, QStringLiteral("Actual picture:"), 0, 2);
    labelled(Zoom5Ed, QStringLiteral("Zoom:"), 2, 0);
    labelled(BkColor, QStringLiteral("Background:"), 2, 1);
    grid->addWidget(PlayBtn, 1, 3);
    grid->addWidget(StopBtn, 3, 3);
    auto* saves = new QHBoxLayout;
    saves->setContentsMargins(0, 2, 0, 0);
    saves->addWidget(SavePicBtn);
    saves->addWidget(SaveAVIBtn);
    saves->addStretch(1);
    grid->addLayout(saves, 4, 0, 1, 4);
    grid->setColumnStretch(4, 1);
    BuildTimingControls(grid);
    right->addWidget(panel40);

    ScrollBox5 = new TZoomPane(QStringLiteral("ScrollBox5"), QStringLiteral("PaintBox5"));
    PaintBox5 = ScrollBox5->PaintBox();
    right->addWidget(ScrollBox5, 1);
    body->addLayout(right, 1);
    v->addLayout(body, 1);
    return page;
}

void TMainForm::FormCreate() {
    // 1. Program folder, ending in exactly one separator.
    ProgramDir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    if (!ProgramDir.endsWith(QDir::separator())) ProgramDir += QDir::separator();
    // 3. Area list with no current area.
    ObjList = std::make_unique<TDynaArray<TAreaPair>>(&ObjPtr);
    CurObj = -1;
    EnableObjButtons();
    // 4. Picture filter.
    OpenDialog1.objectName = QStringLiteral("OpenDialog1");
    OpenDialog1.filter = QStringLiteral(
        "All pictures|*.BMP;*.DIB;*.GIF;*.IFF;*.JIF;*.JPG;*.LBM;*.PCX;*.RLE;*.TGA;*.TIF;*.PNG|"
        "BMP - Windows, OS/2 Bitmap|*.BMP|DIB - Windows, OS/2 DIB|*.DIB|"
        "GIF - CompuServe Graphics Interchange|*.GIF|IFF - Amiga|*.IFF|"
        "JIF - JPEG - JFIF Compilant|*.JIF|JPG - JPEG - JFIF Compilant|*.JPG|LBM - Deluxe "
        "Paint|*.LBM|"
        "PCX - ZSoft Paintbrush|*.PCX|RLE - Windows RLE|*.RLE|TGA - Truevision Targa|*.TGA|"
        "TIF - Tagged image file Format|*.TIF|PNG - Portable Graphics Network|*.PNG|All files "
        "(*.*)|*.*");
    OpenDialog1.filterIndex = 1;
    // 5. Split percentages.
    Split1Percent = 50;
    Split2Percent = 50;
    // 6. No picture files yet.
    Pic1FileName.clear();
    Pic2FileName.clear();
    // 7. Three white pictures.
    Pic1Dib = MakeBlankPicture();
    Pic2Dib = MakeBlankPicture();
    ResultDib = MakeBlankPicture();
    // 8. Picture-number limits from length and rate (renders picture 1).
    TimeEdChange();
    // 9. Cursor table.
    Cursors[1] = QCursor(Qt::SizeFDiagCursor);
    Cursors[2] = QCursor(Qt::SizeBDiagCursor);
    Cursors[3] = QCursor(Qt::SizeBDiagCursor);
    Cursors[4] = QCursor(Qt::SizeFDiagCursor);
    Cursors[5] = QCursor(Qt::SizeVerCursor);
    Cursors[6] = QCursor(Qt::SizeVerCursor);
    Cursors[7] = QCursor(Qt::SizeHorCursor);
    Cursors[8] = QCursor(Qt::SizeHorCursor);
    Cursors[9] = artwork::DragCursor();
    Cursors[10] = QCursor(Qt::ArrowCursor);
    Cursors[11] = artwork::LupeCursor();
    Cursors[12] = artwork::Cursor32763();
    Cursors[13] = artwork::GeoselCursor();
    // 10. Caption of a document without a file.
    Setsavedfilename(QString());
    // 11. Initial folders of the five dialogs: the program folder where it
    // is the user's (a build or a portable copy), not an installed /usr/bin.
    const QString startFolder = StartFolder(ProgramDir);
    for (TFileDialog* d : {&OpenDialog1, &OpenDialog3, &SaveDialog1, &SaveDialog2, &SaveDialog3}) {
        d->initialDir = startFolder;
    }
}

void TMainForm::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    Timer1->stop();
    ObjList.reset();
    ObjPtr = nullptr;
    raster::deldib(Pic1Dib);
    raster::deldib(Pic2Dib);
    raster::deldib(ResultDib);
}

void TMainForm::FormResize() {
    const int top = Panel1->height() * Split1Percent / 100;
    Splitter1->setSizes({top, Panel1->height() - top - Splitter1->handleWidth()});
    const int left = Panel6->width() * Split2Percent / 100;
    Splitter2->setSizes({left, Panel6->width() - left - Splitter2->handleWidth()});
}

void TMainForm::Splitter1Moved() {
    if (Panel1->height() <= 0) return;
    Split1Percent = std::clamp(Panel33->height() * 100 / Panel1->height(), 10, 90);
}

void TMainForm::Splitter2Moved() {
    if (Panel6->width() <= 0) return;
    Split2Percent = std::clamp(Panel35->width() * 100 / Panel6->width(), 10, 90);
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // The layout settles the panels' sizes first; then the stored
    // proportions are applied to them.
    if (auto* l = centralWidget()->layout()) l->activate();
    FormResize();
}

void TMainForm::StatusBar1DrawPanel(QPainter& canvas, const QRect& rect) {
    const QColor navy(0, 0, 128);
    canvas.setPen(navy);
    canvas.setBrush(navy);
    const int right = rect.left() + rect.width() * ProgressPercent / 100;
    canvas.fillRect(QRect(QPoint(rect.left(), rect.top()), QPoint(right - 1, rect.bottom())), navy);
    ProgressRect = rect;
}

void TMainForm::SBarPaintMore() {
    StatusPanel1->repaint();
}

void TMainForm::SetProStatus(int percent) {
    if (percent < ProgressPercent) {
        ProgressPercent = percent;
        StatusBar1->repaint();
        StatusPanel1->repaint();
    } else {
        ProgressPercent = percent;
        SBarPaintMore();
    }
}

void TMainForm::WMUser(int percent) {
    SetProStatus(percent);
}

bool TMainForm::event(QEvent* event) {
    if (event->type() == raster::TProgressEvent::kType) {
        auto* progress = static_cast<raster::TProgressEvent*>(event);
        WMUser(progress->Percent());
        if (loadWatch_ != nullptr) loadWatch_->Report(*progress);
        return true;
    }
    return QMainWindow::event(event);
}

bool TMainForm::FormCloseQuery() {
    return AskOkCancel(
        QStringLiteral("Hereby you quit the program! All data not saved will be lost!"),
        QStringLiteral("Quit program"));
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // A video being written is cancelled from its progress dialog first.
    if (Exporting) {
        event->ignore();
        return;
    }
    if (FormCloseQuery()) {
        Timer1->stop();
        event->accept();
    } else {
        event->ignore();
    }
}

void TMainForm::EndeBtnClick() {
    close();
}

void TMainForm::ueberbtnClick() {
    TAboutBox about(this, [this] { wwwBtnClick(); });
    Prompter().ShowModal(about);
}

void TMainForm::wwwBtnClick() {
    const QUrl guide = UserGuideUrl();
    if (Prompter().OpenUrl(guide)) return;
    // No program to show web pages: say where the guide is instead of
    // doing nothing.
    Prompter().Message(this,
                       QStringLiteral("No program was found to show the user guide. Open it in "
                                      "your web browser:\n") +
                           QDir::toNativeSeparators(guide.toLocalFile()),
                       QString::fromLatin1(kWebAddressCaption), TPrompter::Icon::Information,
                       TPrompter::Buttons::Ok);
}

void TMainForm::PageControl2Change() {
    if (PageControl2->currentIndex() == 2) RenderPic();
}

std::optional<QString> TMainForm::RunFileDialog(TFileDialog& dialog) {
    if (!Prompter().Execute(this, dialog)) return std::nullopt;
    dialog.fileName = WithDefaultExt(dialog.fileName, dialog.defaultExt);
    return dialog.fileName;
}

void TMainForm::ShowError(const QString& text, const QString& caption) {
    Prompter().Message(this, text, caption, TPrompter::Icon::Error, TPrompter::Buttons::Ok);
}

bool TMainForm::AskOkCancel(const QString& text, const QString& caption) {
    return Prompter().Message(this, text, caption, TPrompter::Icon::Information,
                              TPrompter::Buttons::OkCancel);
}
