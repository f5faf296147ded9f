#include "editor/Form_Main.h"

#include "editing/PanelPick.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QSignalBlocker>

#include "editing/CameraFrame.h"
#include "editing/FrameRender.h"
#include "editing/Outline.h"
#include "editing/ProblemSelect.h"
#include "editor/Form_About.h"
#include "editor/Form_Options.h"
#include "editor/Form_SaveEnd.h"
#include "editor/Form_UnitPath.h"
#include "editor/OutlinerDock.h"
#include "editor/PanelController.h"
#include "editor/ProblemsDock.h"
#include "foundation/Codec.h"
#include "foundation/QX_Error.h"
#include "platform/Panel3DWidget.h"
#include "platform/image/QImageDecoder.h"
#include "render/GR_DirectX.h"
#include "render/Scene.h"
#include "render/VOper.h"
#include "render/gm_Obj3D.h"
#include "zones/WorldZone.h"

namespace gm {

TFormMain::TFormMain(ISettingsStore& store, std::u16string startDir,
                     const SettingsDefaults& defaults, QWidget* parent)
    : QMainWindow(parent), Store_(store), StartDir_(std::move(startDir)), StartDirAuto_(StartDir_),
      Commands_(Doc, Cam, Flags, Opts, DocState, *this) {
    setObjectName("FormMain");
    Clock_.start();
    Opts.Load(Store_, defaults);
    Commands_.UnitPathFromSettings();
    Decoder_ = std::make_unique<QImageDecoder>();
    Scene_ = std::make_unique<Scene>(*Decoder_, SystemTexFileNaming(WideToAnsiQX(StartDir_)));
    Doc.SetScene(Scene_.get());
    DocState.OnChange = [this] { CaptionRefresh(); };
    Recent_.Load(Store_);
    setAcceptDrops(true);

    BuildMenus();
    BuildPanels();
    LoadZoneGraphs();
    FormOptions_ = new TFormOptions(Opts, Store_, this);
    connect(FormOptions_, &TFormOptions::WorldLineRebuild, this, [this] {
        Commands_.UnitPathFromSettings();
        Commands_.WorldGridRebuild();
    });
    connect(FormOptions_, &TFormOptions::StartDirChosen, this,
            [this] { StartDirSet(Opts.StartDir.empty() ? StartDirAuto_ : Opts.StartDir); });
    FormSaveEnd_ = new TFormSaveEnd(Doc, Cam, Opts, this);
    FormSaveEnd_->SetMessageSink([this](const std::string& text) { ShowMessage(text); });
    FormSaveEnd_->SetProblemCheck([this] { return WorldCheck(Doc, ProblemCheckOptions()); });
    DockProblems = new TProblemsDock(
        [this]() -> TProblemsDock::CheckJob {
            return [snapshot = Commands_.History().Snapshot(), options = ProblemCheckOptions()] {
                return WorldCheckSnapshot(snapshot, options);
            };
        },
        [this](const CheckObject& object) {
            if (!ProblemObjectSelect(Doc, Cam, object)) return;
            PanelRefresh();
            // A unit, zone or link is zoomed to as well; a point stays centred only.
            if (!FrameSelection()) RedrawNow();
        },
        this);
    addDockWidget(Qt::BottomDockWidgetArea, DockProblems);
    // The list is short most of the time: the panel gets the height.
    resizeDocks({DockProblems}, {120}, Qt::Vertical);
    DockOutliner =
        new TOutlinerDock(Doc,
                          {[this](const std::vector<OutlineObject>& objects) {
                               OutlineSelect(Doc, objects);
                               PanelRefresh();
                               RedrawNow();
                           },
                           [this](const OutlineObject& object) {
                               if (const auto* unit = std::get_if<TgmWorldUnit*>(&object)) {
                                   FrameObject(**unit);
                               } else if (const auto* zone = std::get_if<TgmZone*>(&object)) {
                                   FrameObject(**zone);
                               } else {
                                   OutlineSelect(Doc, {object});
                                   PanelRefresh();
                                   FrameSelection();
                               }
                           }},
                          this);
    addDockWidget(Qt::RightDockWidgetArea, DockOutliner);
    connect(FormSaveEnd_, &TFormSaveEnd::Exported, this, &TFormMain::SetStatus);
    StatusTimer_.setSingleShot(true);
    connect(&StatusTimer_, &QTimer::timeout, this, [this] { StatusClear(); });
    FormAbout_ = new TFormAbout(this);
    FormUnitPath_ = new TFormUnitPath(Doc.Units, Opts, this);
    FormUnitPath_->SetFileAsker([this] { return AskOpenFile(FileKind::Unit); });
    connect(FormUnitPath_, &TFormUnitPath::UnitsRenamed, this,
            [this] { Edited(true, "Unit path"); });

    Cam.CamLongitude = StartLongitude;
    Cam.CamPolar = StartPolar;
    Cam.CamRoll = 0;
    Cam.SetPanelSize(Panel3DWidget::PanelWidth, Panel3DWidget::PanelHeight);
    Cam.CameraUpdate(Doc.WorldRadius);

    connect(Panel3D, &Panel3DWidget::deviceCreated, this, [this] {
        Scene_->SetDevice(&Panel3D->GetDevice());
        ShowTextureFailures();
    });
    connect(Panel3D, &Panel3DWidget::deviceFailed, this,
            [this](const QString& message) { QueueMessage(message.toStdString()); });
    Panel3D->SetPaintCallback([this](Device& device) { PaintPanel(device); });
    connect(Panel3D, &Panel3DWidget::panelResized, this, &TFormMain::PanelResized);
    ConnectPanel();

    Commands_.WorldGridRebuild();
    BackgroundMake();
    PanelRefresh();
    CaptionRefresh();
    // A new window gives the panel the size it always had (its size hint); the designer may
    // change it. Shown windows are corrected once laid out (showEvent).
    resize(sizeHint());

    Timer_.setTimerType(Qt::PreciseTimer);
    connect(&Timer_, &QTimer::timeout, this, [this] {
        try {
            Loop_.OnTimer();
        } catch (const ErrorQX& e) {
            QueueMessage(e.Message());
        }
    });
    Timer_.start(FrameLoop::TimerIntervalMs);
    // Polls for a due backup once StartSession has named the folder.
    connect(&AutosaveTimer_, &QTimer::timeout, this, [this] { AutosaveTick(); });
}

TFormMain::~TFormMain() {
    Timer_.stop();
    AutosaveTimer_.stop();
    EndSession();
    Panel_.reset(); // its selection rectangle lives on the scene
    // Scene objects and textures go before the device that holds them.
    Doc.WorldClear();
    Scene_->Obj3DFreeAll();
    Scene_->SetDevice(nullptr);
}

void TFormMain::CaptionRefresh() {
    setWindowTitle(QString::fromStdU16String(CaptionText(Doc, DocState.Modified())));
}

void TFormMain::OpenAtStart(const std::u16string& fileName) {
    Panel_->CancelAll();
    Commands_.OpenFile(fileName);
}

CheckOptions TFormMain::ProblemCheckOptions() const {
    CheckOptions options;
    if (!Doc.Units.UnitPath.empty()) options.UnitFolder = Doc.Units.UnitPath;
    if (!StartDir_.empty()) options.TextureFolder = WideToAnsiQX(StartDir_);
    return options;
}

TSpherePick TFormMain::PanelCentrePick() {
    Cam.CameraUpdate(Doc.WorldRadius);
    return PanelPick(Cam, Doc.WorldRadius, Cam.ScreenCentreX, Cam.ScreenCentreY);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (Commands_.ConfirmClose()) {
        event->accept();
        EndSession();
    } else {
        event->ignore();
    }
}

void TFormMain::Edited(bool changed, const char* label, const char* mergeKey, uint32_t sections) {
    if (changed) Commands_.AfterChange(label, mergeKey, sections);
}

int TFormMain::RunDialog(QDialog& dialog) {
    return RunDialog_ ? RunDialog_(dialog) : dialog.exec();
}

std::optional<std::u16string> TFormMain::AskOpenFile(FileKind kind) {
    return AskFile(kind, false);
}

std::optional<std::u16string> TFormMain::AskSaveFile(FileKind kind) {
    return AskFile(kind, true);
}

std::optional<std::u16string> TFormMain::AskFile(FileKind kind, bool save) {
    if (FileAsker_) return FileAsker_(kind, save);
    const bool world = kind == FileKind::World;
    QFileDialog dialog(this);
    dialog.setNameFilter(world ? "*.raw (*.raw)" : "*.txt (*.txt)");
    dialog.setDefaultSuffix(world ? "raw" : "txt");
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // A world is looked for where the designer's worlds are, not among the unit descriptions.
    const std::u16string folder =
        world ? WorldDialogFolder(Doc.WorldFileName, Recent_) : Opts.UnitPath;
    if (!folder.empty()) dialog.setDirectory(QString::fromStdU16String(folder));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdU16String();
}

SaveChoice TFormMain::AskSaveChanges() {
    if (SavePrompt_) return SavePrompt_();
    // The title bar may cut the caption short: the box names the world in full.
    QMessageBox box(QMessageBox::Question, windowTitle(), "Save changes?",
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    box.setInformativeText(Doc.WorldFileName.empty()
                               ? QString("Untitled world")
                               : QString::fromStdU16String(Doc.WorldFileName));
    const auto answer = box.exec();
    if (answer == QMessageBox::Save) return SaveChoice::Save;
    if (answer == QMessageBox::Discard) return SaveChoice::Discard;
    return SaveChoice::Cancel;
}

void TFormMain::MM_View_BackgroundClick() {
    Flags.Background = MM_View_Background->isChecked();
    if (BackgroundObj_) BackgroundObj_->Visible = Flags.Background;
}

void TFormMain::MM_Options_OptionsClick() {
    const std::u16string game = Opts.SkyhaulPath;
    FormOptions_->ShowStartDir(StartDir_);
    RunDialog(*FormOptions_);
    // A game folder given only now has its graph names read now, not at the next start.
    if (Opts.SkyhaulPath != game) LoadZoneGraphs();
}

void TFormMain::LoadZoneGraphs() {
    const ZoneGraphList graphs =
        ZoneGraphsLoad(WideToAnsiQX(Opts.SkyhaulPath), WideToAnsiQX(Opts.LegacyCodePage));
    // Refilling the list must not pass for an edit of the current zone's graph.
    const QSignalBlocker quiet(ComboBoxZoneGraph);
    const QString text = ComboBoxZoneGraph->currentText();
    ComboBoxZoneGraph->clear();
    for (const std::u16string& name : graphs.Names)
        ComboBoxZoneGraph->addItem(QString::fromStdU16String(name));
    ComboBoxZoneGraph->setEditText(text);
    if (!graphs.Error.empty()) {
        QueueMessage(graphs.Error);
    }
}

void TFormMain::SetStatus(const QString& text) {
    StatusText_ = text;
    StatusTimer_.start(StatusTimeoutMs);
    StatusRefresh();
}

void TFormMain::StatusClear() {
    StatusText_.clear();
    StatusTimer_.stop();
    StatusRefresh();
}

void TFormMain::StatusRefresh() {
    if (!StatusText_.isEmpty())
        LabelStatus->setText(StatusText_);
    else if (ZonesHiddenByKey_ && !Flags.Zone)
        LabelStatus->setText(ZonesHiddenNote);
    else
        LabelStatus->clear();
}

void TFormMain::ShowMessage(const std::string& text) {
    // A success the status bar still shows must not stand next to this failure.
    StatusClear();
    if (Sink_) {
        Sink_(text);
        return;
    }
    QMessageBox::critical(this, windowTitle(), QString::fromStdString(text));
}

void TFormMain::QueueMessage(const std::string& text) {
    if (std::find(PendingMessages_.begin(), PendingMessages_.end(), text) == PendingMessages_.end())
        PendingMessages_.push_back(text);
    if (FlushPosted_) return;
    FlushPosted_ = true;
    // A moment's wait gathers what one start or command raises (the background at device
    // creation, the textures at the first frame) into one box.
    QTimer::singleShot(MessageGatherMs, this, [this] { FlushMessages(); });
}

void TFormMain::FlushMessages() {
    FlushPosted_ = false;
    if (PendingMessages_.empty()) return;
    // Not yet on screen, or inside a frame (whose tick lets input through): a little later.
    if (!isVisible() || Loop_.TickBusy()) {
        FlushPosted_ = true;
        QTimer::singleShot(FrameLoop::TimerIntervalMs, this, [this] { FlushMessages(); });
        return;
    }
    std::string text;
    for (const std::string& message : std::exchange(PendingMessages_, {}))
        text += (text.empty() ? "" : "\n\n") + message;
    ShowMessage(text);
}

void TFormMain::ShowTextureFailures() {
    for (const std::string& failure : Scene_->Textures.TakeFailures())
        QueueMessage(failure);
}

void TFormMain::BackgroundMake() {
    if (BackgroundObj_) Scene_->Obj3DFree(BackgroundObj_);
    BackgroundObj_ =
        BackgroundObjNew(*Scene_, StartDir_, Flags.Background, static_cast<float>(Cam.PanelWidth),
                         static_cast<float>(Cam.PanelHeight));
}

void TFormMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (PanelFitted_) return;
    PanelFitted_ = true;
    // A maximised window keeps the screen's size; the panel takes what it leaves.
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) return;
    FitPanel(QSize(Panel3DWidget::PanelWidth, Panel3DWidget::PanelHeight));
}

void TFormMain::FitPanel(const QSize& size) {
    // The docks and pages keep their sizes: the window grows or shrinks by the panel's lack.
    if (QLayout* l = layout()) l->activate();
    QSize wanted = this->size() + size - Panel3D->size();
    // Never past the screen: the panel shrinks instead.
    if (const QScreen* screen = this->screen())
        wanted = wanted.boundedTo(screen->availableGeometry().size());
    resize(wanted);
    if (QLayout* l = layout()) l->activate();
}

void TFormMain::PanelResized(int width, int height) {
    Cam.SetPanelSize(width, height);
    Cam.CameraUpdate(Doc.WorldRadius);
    if (BackgroundObj_)
        BackgroundObjSize(*BackgroundObj_, static_cast<float>(width), static_cast<float>(height));
    // Screen positions were worked out for the old size: the next paint must not show them.
    try {
        FrameUpdateLists(Doc, *Scene_, Cam, Flags);
    } catch (const ErrorQX& e) {
        QueueMessage(e.Message());
    }
}

void TFormMain::StartDirSet(const std::u16string& dir) {
    if (dir == StartDir_) return;
    StartDir_ = dir;
    Scene_->Textures.SetBaseFolder(WideToAnsiQX(StartDir_));
    BackgroundMake();
    ShowTextureFailures();
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
    Panel3D->DrawFrame();
    ShowTextureFailures();
    if (!PaintError_.empty()) RaiseQX(PaintError_);
}

void TFormMain::ReportFrameError(const std::string& message) {
    QueueMessage(message);
}

void TFormMain::ShowFps(int frames) {
    LabelFPS->setText(QString::number(frames));
}

} // namespace gm
