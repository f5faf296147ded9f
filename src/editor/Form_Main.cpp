#include "editor/Form_Main.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "editing/FrameRender.h"
#include "editor/Form_Options.h"
#include "editor/PanelController.h"
#include "foundation/Codec.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_Str.h"
#include "platform/Panel3DWidget.h"
#include "platform/image/QImageDecoder.h"
#include "render/Scene.h"
#include "render/gm_Obj3D.h"

namespace gm {

namespace {
constexpr int PanelWidth = 800;
constexpr int PanelHeight = 600;
} // namespace

TFormMain::TFormMain(ISettingsStore& store, std::u16string startDir,
                     const SettingsDefaults& defaults, QWidget* parent)
    : QMainWindow(parent), Store_(store), StartDir_(std::move(startDir)) {
    setObjectName("FormMain");
    Clock_.start();
    Opts.Load(Store_, defaults);
    Decoder_ = std::make_unique<QImageDecoder>();
    Scene_ = std::make_unique<Scene>(*Decoder_, SystemTexFileNaming(WideToAnsiQX(StartDir_)));
    Doc.SetScene(Scene_.get());

    BuildMenus();
    BuildPanels();
    FormOptions_ = new TFormOptions(Opts, Store_, this);
    connect(FormOptions_, &TFormOptions::WorldLineRebuild, this, [this] {
        if (Flags.WorldLine) WorldGridBuild();
    });

    Cam.CamLongitude = 45;
    Cam.CamPolar = 45;
    Cam.CamRoll = 0;
    Cam.SetPanelSize(PanelWidth, PanelHeight);
    Cam.CameraUpdate(Doc.WorldRadius);

    connect(Panel3D, &Panel3DWidget::deviceCreated, this, [this] {
        Scene_->SetDevice(&Panel3D->GetDevice());
        ShowTextureFailures();
    });
    connect(Panel3D, &Panel3DWidget::deviceFailed, this,
            [this](const QString& message) { ShowMessage(message.toStdString()); });
    Panel3D->SetPaintCallback([this](Device& device) { PaintPanel(device); });
    ConnectPanel();

    if (Flags.WorldLine) WorldGridBuild();
    BackgroundObj_ =
        BackgroundObjNew(*Scene_, StartDir_, Flags.Background, PanelWidth, PanelHeight);
    CaptionRefresh();

    Timer_.setTimerType(Qt::PreciseTimer);
    connect(&Timer_, &QTimer::timeout, this, [this] {
        try {
            Loop_.OnTimer();
        } catch (const ErrorQX& e) {
            ShowMessage(e.Message());
        }
    });
    Timer_.start(FrameLoop::TimerIntervalMs);
}

TFormMain::~TFormMain() {
    Timer_.stop();
    Panel_.reset(); // its selection rectangle lives on the scene
    // Scene objects and textures go before the device that holds them.
    Doc.WorldClear();
    Scene_->Obj3DFreeAll();
    Scene_->SetDevice(nullptr);
}

void TFormMain::BuildMenus() {
    QMenu* file = menuBar()->addMenu("File");
    Exit1 = file->addAction("Exit", this, &QWidget::close);
    Exit1->setObjectName("Exit1");

    QMenu* view = menuBar()->addMenu("View");
    MM_View_WorldLine = view->addAction("WorldLine         (Ctrl-W)");
    MM_View_WorldLine->setObjectName("MM_View_WorldLine");
    MM_View_WorldLine->setCheckable(true);
    MM_View_WorldLine->setChecked(Flags.WorldLine);
    connect(MM_View_WorldLine, &QAction::triggered, this, [this] { MM_View_WorldLineClick(); });
    MM_View_Background = view->addAction("Background      (Ctrl-B)");
    MM_View_Background->setObjectName("MM_View_Background");
    MM_View_Background->setCheckable(true);
    MM_View_Background->setChecked(Flags.Background);
    connect(MM_View_Background, &QAction::triggered, this, [this] { MM_View_BackgroundClick(); });

    QMenu* options = menuBar()->addMenu("Options");
    MM_Options_Options = options->addAction("Options...");
    MM_Options_Options->setObjectName("MM_Options_Options");
    connect(MM_Options_Options, &QAction::triggered, this, [this] { MM_Options_OptionsClick(); });
}

void TFormMain::BuildPanels() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* top = new QHBoxLayout;
    top->setSpacing(0);
    auto* panel3 = new QWidget(central);
    panel3->setObjectName("Panel3");
    panel3->setAutoFillBackground(true);
    QPalette grey = panel3->palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    panel3->setPalette(grey);
    Panel3D = new Panel3DWidget(panel3);
    Panel3D->setObjectName("Panel3D");
    // The panel never changes size: everything in it is laid out in these pixels.
    Panel3D->setFixedSize(PanelWidth, PanelHeight);
    Panel3D->move(0, 0);
    panel3->setMinimumSize(PanelWidth, PanelHeight);
    top->addWidget(panel3, 1);

    auto* panel1 = new QWidget(central);
    panel1->setObjectName("Panel1");
    panel1->setFixedWidth(178);
    auto* panel1Layout = new QVBoxLayout(panel1);
    panel1Layout->setContentsMargins(2, 2, 2, 2);
    NotebookAction = new QStackedWidget(panel1);
    NotebookAction->setObjectName("NotebookAction");
    for (const char* name : {"Main", "Unit", "Zone", "ZoneLink"}) {
        auto* page = new QWidget(NotebookAction);
        page->setObjectName(name);
        NotebookAction->addWidget(page);
    }
    auto* mainPage = NotebookAction->widget(0);
    auto* mainLayout = new QVBoxLayout(mainPage);
    mainLayout->addWidget(new QLabel("World radius:", mainPage));
    EditMainWorldRadius = new QLineEdit(mainPage);
    EditMainWorldRadius->setObjectName("EditMainWorldRadius");
    mainLayout->addWidget(EditMainWorldRadius);
    Button1 = new QPushButton("Correct point", mainPage);
    Button1->setObjectName("Button1");
    mainLayout->addWidget(Button1);
    mainLayout->addStretch(1);
    EditMainWorldRadius->setText(QString::number(qRound(Doc.WorldRadius)));
    panel1Layout->addWidget(NotebookAction);
    top->addWidget(panel1);
    outer->addLayout(top, 1);

    auto* panel2 = new QWidget(central);
    panel2->setObjectName("Panel2");
    panel2->setFixedHeight(26);
    auto* bar = new QHBoxLayout(panel2);
    bar->setContentsMargins(6, 2, 6, 2);
    bar->addWidget(new QLabel("FPS:", panel2));
    LabelFPS = new QLabel("0", panel2);
    LabelFPS->setObjectName("LabelFPS");
    LabelFPS->setMinimumWidth(40);
    bar->addWidget(LabelFPS);
    bar->addWidget(new QLabel("Coord:", panel2));
    LabelCoord = new QLabel(panel2);
    LabelCoord->setObjectName("LabelCoord");
    bar->addWidget(LabelCoord, 1);
    outer->addWidget(panel2);

    setCentralWidget(central);
}

void TFormMain::CaptionRefresh() {
    std::u16string caption = u"Skyhaul Gridmoor v0." + IntToWideQX(WorldDoc::WorldVersion);
    if (!Doc.WorldFileName.empty()) caption += u" [" + FileBaseNameQX(Doc.WorldFileName) + u"]";
    setWindowTitle(QString::fromStdU16String(caption));
}

void TFormMain::WorldGridBuild() {
    Doc.WorldLines.WorldGridBuild(Doc.WorldRadius, Opts.WLCount, Opts.WLFront, Opts.WLBack);
}

void TFormMain::WorldGridFree() {
    Doc.WorldLines.WorldGridFree();
}

void TFormMain::OpenAtStart(const std::u16string& fileName) {
    Panel_->CancelAll();
    const std::string error = Doc.WorldOpen(fileName);
    Cam.Reset(Doc.WorldRadius);
    if (Flags.WorldLine) WorldGridBuild();
    if (!error.empty()) ShowMessage(error);
    CaptionRefresh();
    EditMainWorldRadius->setText(QString::number(qRound(Doc.WorldRadius)));
}

void TFormMain::MM_View_WorldLineClick() {
    Flags.WorldLine = MM_View_WorldLine->isChecked();
    if (Flags.WorldLine)
        WorldGridBuild();
    else
        WorldGridFree();
}

void TFormMain::MM_View_BackgroundClick() {
    Flags.Background = MM_View_Background->isChecked();
    if (BackgroundObj_) BackgroundObj_->Visible = Flags.Background;
}

void TFormMain::MM_Options_OptionsClick() {
    FormOptions_->exec();
}

void TFormMain::ShowMessage(const std::string& text) {
    if (Sink_) {
        Sink_(text);
        return;
    }
    QMessageBox::critical(this, windowTitle(), QString::fromStdString(text));
}

void TFormMain::ShowTextureFailures() {
    for (const std::string& failure : Scene_->Textures.TakeFailures())
        ShowMessage(failure);
}

void TFormMain::PaintPanel(Device& device) {
    try {
        FrameDraw(device, *Scene_);
        Loop_.CountFrame();
    } catch (const ErrorQX& e) {
        PaintError_ = e.Message(); // raised again in the tick, which reports it once
    }
}

uint64_t TFormMain::NowMs() {
    return static_cast<uint64_t>(Clock_.elapsed());
}

bool TFormMain::ApplicationActive() {
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

void TFormMain::ProcessPendingEvents() {
    QCoreApplication::processEvents();
}

void TFormMain::RunFrame(uint64_t animClock) {
    FrameTick(Doc, animClock);
    FrameUpdateLists(Doc, *Scene_, Cam, Flags);
    PaintError_.clear();
    Panel3D->repaint();
    ShowTextureFailures();
    if (!PaintError_.empty()) RaiseQX(PaintError_);
}

void TFormMain::ReportFrameError(const std::string& message) {
    ShowMessage(message);
}

void TFormMain::ShowFps(int frames) {
    LabelFPS->setText(QString::number(frames));
}

} // namespace gm
