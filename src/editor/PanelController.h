#pragma once
// Joins the 3D panel widget, the application's keys and its activation to the panel interaction,
// and carries the interaction's answers to the window through a few hooks. Hooks left empty do
// nothing.

#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QPointer>
#include <QString>

#include "editing/PanelInteraction.h"
#include "editing/UndoStack.h"

class QWidget;

namespace gm {

class Panel3DWidget;
class PanelKeyFilter;

// An edit of the panel as the undo history names it: its label and the file parts it touches.
struct PanelEditName {
    std::string Label;
    uint32_t Sections = EditSections::All;
};

struct PanelHooks {
    std::function<void()> PanelRefresh;        // show the page of the selected object
    std::function<void()> MarkModified;        // the document changed
    std::function<void(ViewItem)> Toggle;      // toggle a View item as its menu item would
    std::function<void()> ViewChecks;          // set the View menu's check marks from the flags
    std::function<void(const QString&)> Coord; // the "Coord:" label's text
    std::function<void(const std::string&)> Message; // a failure to show
    // Around every event handed to the interaction, so that its edits become undo steps: before,
    // with whether a drag was under way and whether the event is a mouse move or release (which
    // carry a drag on); after (and before the other hooks), with whether the
    // event changed the document, whether a drag is under way now, and the edit's name.
    std::function<void(bool dragging, bool dragInput)> BeforeEvent;
    std::function<void(bool modified, bool dragging, const PanelEditName& edit)> AfterEvent;
};

// The window owns it and must destroy it (or call CancelAll) before its scene frees its objects.
class PanelController : public QObject {
    Q_OBJECT

public:
    PanelController(QWidget* window, Panel3DWidget* panel, WorldDoc& doc, Camera& camera,
                    ViewFlags& flags, PanelHooks hooks);
    ~PanelController() override;

    PanelInteraction& Interaction() noexcept { return Interaction_; }
    // Ends every drag and the selection rectangle: before the document is replaced or cleared
    // and before the scene frees its objects.
    void CancelAll();

protected:
    // The window losing activation (to another program or to a dialog) ends right-button drags.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs one event through the interaction between the undo hooks, then applies its result.
    // label names the edit when the event changed the document; dragInput as for BeforeEvent.
    void Run(const std::function<PanelResult()>& step, const std::function<PanelEditName()>& label,
             bool dragInput = false);
    void Apply(const PanelResult& r);
    // The Edit menu's name of the edit the last mouse event made / a key made.
    PanelEditName MouseEditLabel() const;
    PanelEditName KeyEditLabel(int code) const;
    static std::string UnitName(const TgmWorldUnit* unit);
    std::string ZoneName(const TgmZone* zone) const;

    QPointer<QWidget> Window_;
    QPointer<Panel3DWidget> Panel_;
    PanelHooks Hooks_;
    PanelInteraction Interaction_;
    const WorldDoc& Doc_;
    PanelKeyFilter* Keys_ = nullptr; // a child of this object
};

} // namespace gm
