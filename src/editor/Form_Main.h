#pragma once
// The editor's only document window: the 3D panel, the property pages on the right, the status
// bar with the frame rate and cursor coordinates, and the main menu.

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <memory>
#include <string>

#include "editing/FrameLoop.h"
#include "editing/Settings.h"
#include "render/Camera.h"
#include "world/ViewFlags.h"
#include "world/WorldDoc.h"

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QWidget;

namespace gm {

class Device;
class Panel3DWidget;
class PanelController;
class QImageDecoder;
class Scene;
class TFormOptions;
class TgmObj3D;

class TFormMain : public QMainWindow, private FrameHost {
    Q_OBJECT

public:
    // store keeps the settings; startDir is where "bg.jpg" is looked for; defaults name the
    // folders used when no setting is stored.
    TFormMain(ISettingsStore& store, std::u16string startDir, const SettingsDefaults& defaults,
              QWidget* parent = nullptr);
    ~TFormMain() override;

    // The document and view state the commands act on.
    WorldDoc Doc;
    Camera Cam;
    ViewFlags Flags;
    Settings Opts;

    // Controls, named as the rest of the editor refers to them.
    Panel3DWidget* Panel3D = nullptr;
    QStackedWidget* NotebookAction = nullptr;
    QLabel* LabelFPS = nullptr;
    QLabel* LabelCoord = nullptr;
    QLineEdit* EditMainWorldRadius = nullptr;
    QPushButton* Button1 = nullptr;
    QAction* MM_View_WorldLine = nullptr;
    QAction* MM_View_Background = nullptr;
    QAction* MM_Options_Options = nullptr;
    QAction* Exit1 = nullptr;

    Scene& GetScene() { return *Scene_; }
    FrameLoop& Loop() { return Loop_; }

    // "Skyhaul Gridmoor v0.3" and, for a named world, " [" + its base name + "]".
    void CaptionRefresh();
    void WorldGridBuild();
    void WorldGridFree();
    // Opens a world named on the command line; failures are shown like File > Open's.
    void OpenAtStart(const std::u16string& fileName);

    // Messages shown to the user go through here, so tests can collect them instead of boxes.
    void SetMessageSink(std::function<void(const std::string&)> sink) { Sink_ = std::move(sink); }

private:
    void BuildMenus();
    void BuildPanels();
    void ShowMessage(const std::string& text);
    void ShowTextureFailures();
    void MM_View_WorldLineClick();
    void MM_View_BackgroundClick();
    void MM_Options_OptionsClick();
    void PaintPanel(Device& device);
    // Mouse and keyboard work in the 3D panel (Form_MainPanel.cpp).
    void ConnectPanel();

    // FrameHost
    uint64_t NowMs() override;
    bool ApplicationActive() override;
    void ProcessPendingEvents() override;
    void RunFrame(uint64_t animClock) override;
    void ReportFrameError(const std::string& message) override;
    void ShowFps(int frames) override;

    ISettingsStore& Store_;
    std::u16string StartDir_;
    std::unique_ptr<QImageDecoder> Decoder_;
    std::unique_ptr<Scene> Scene_;
    TFormOptions* FormOptions_ = nullptr;
    TgmObj3D* BackgroundObj_ = nullptr;
    std::unique_ptr<PanelController> Panel_; // before the scene frees its objects
    FrameLoop Loop_{*this};
    QElapsedTimer Clock_;
    QTimer Timer_;
    std::string PaintError_;
    std::function<void(const std::string&)> Sink_;
};

} // namespace gm
