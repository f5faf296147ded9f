#pragma once
// Mouse and keyboard work in the 3D panel: picking and cycling through the objects under the
// cursor, dragging units, points and zones over the sphere, turning units, the selection
// rectangle, zone linking, the camera drag, and the panel's keys. Input arrives as plain data;
// every call answers with what the window has to do (see PanelResult).
//
// No world object is remembered from one event to the next (a drag looks up the current unit,
// zone or points at every step), so a drag cannot outlive what it drags. The one scene object
// held here, the selection rectangle, lives on the document's scene: call CancelAll before that
// scene frees its objects.

#include <cstdint>

#include "editing/PanelInput.h"

namespace gm {

class Camera;
class Scene;
class TgmObj3D;
class WorldDoc;
struct ViewFlags;

class PanelInteraction {
public:
    // Steps of the keyboard and mouse camera controls.
    static constexpr double KeyStep = 1;
    static constexpr double KeyStepFast = 5; // with Shift or Ctrl
    static constexpr float ZoomStep = 100;
    static constexpr double DragDegreesPerPixel = 0.2;
    static constexpr double TurnDegreesPerPixel = 0.5;

    PanelInteraction(WorldDoc& doc, Camera& camera, ViewFlags& flags);
    ~PanelInteraction();
    PanelInteraction(const PanelInteraction&) = delete;
    PanelInteraction& operator=(const PanelInteraction&) = delete;

    PanelResult MouseDown(const PanelMouse& m);
    PanelResult MouseMove(const PanelMouse& m);
    PanelResult MouseUp(const PanelMouse& m);
    // The application lost activation: right-button drags end, a rectangle stays.
    PanelResult Deactivated();
    // A key that passed the window's filter.
    PanelResult Key(const PanelKey& k);
    // Turns of the mouse wheel, positive away from the user: each notch zooms in (out when
    // negative) as Page Up (Page Down) does.
    PanelResult Wheel(int notches);

    // Ends every drag and the rectangle and releases the rectangle's scene object. The window
    // calls it before the document is replaced or cleared and before the scene frees its
    // objects.
    PanelResult CancelAll();

    // The state, for the window and the tests.
    bool DragMove() const noexcept { return DragMove_; }
    bool DragCamera() const noexcept { return DragCamera_; }
    bool DragRotated() const noexcept { return DragRotated_; }
    int32_t DragZone() const noexcept { return DragZone_; }
    bool RubberBand() const noexcept { return RubberBand_; }
    // The rectangle grew beyond its threshold (its scene object exists when there is a scene).
    bool RubberShown() const noexcept { return RubberShown_; }
    const TgmObj3D* RubberObj() const noexcept { return RubberObj_; }
    bool Dragging() const noexcept { return DragMove_ || DragCamera_ || DragZone_ != 0; }

private:
    // Mouse-down step 2: chooses and anchors the drag under the cursor.
    void StartRightDrag(const PanelMouse& m, PanelResult& r);
    void RubberUpdate(int x, int y);
    // Selects the points inside the rectangle; false when it never grew (then it is a click).
    bool RubberSelect(bool ctrl);
    void RubberRelease() noexcept;
    void Click(const PanelMouse& m, PanelResult& r);
    // Ends the right-button drags.
    bool EndDrags() noexcept;

    // Groups of units and zones (PanelInteractionGroup.cpp).
    // Shift+click: the unit or zone under the cursor joins or leaves the group; false when
    // there is none there.
    bool GroupClick(const PanelMouse& m);
    // Shift+rectangle: the units and zones whose centres lie inside join the group.
    void RubberGroup();
    // A right-button press on a unit or zone of the group makes it current, so that the drag
    // takes the whole group along from there.
    void GroupGrab(const PanelMouse& m);
    // One step of a drag of the current unit or zone; false when it is in no group.
    bool GroupDrag(float longitude, float polar);
    bool GroupDelete();
    // C with the current unit in a group; false when it is in none.
    bool GroupCopy(const PanelKey& k, PanelResult& r);

    void KeyDelete(PanelResult& r);
    void KeySpace(PanelResult& r);
    void KeyCopy(const PanelKey& k, PanelResult& r);
    void KeyZone(const PanelKey& k, PanelResult& r);

    WorldDoc& Doc_;
    Camera& Camera_;
    ViewFlags& Flags_;

    bool DragMove_ = false;
    bool DragCamera_ = false;
    int32_t LastMouseX_ = 0;
    int32_t LastMouseY_ = 0;
    bool DragRotated_ = false;
    float AnchorLongitude_ = 0;
    float AnchorPolar_ = 0;
    int32_t DragZone_ = 0; // 1 the zone follows the cursor, 2 its radius does
    bool RubberBand_ = false;
    int32_t RubberLeft_ = 0;
    int32_t RubberTop_ = 0;
    int32_t RubberRight_ = 0;
    int32_t RubberBottom_ = 0;
    bool RubberShown_ = false;
    Scene* RubberScene_ = nullptr; // the scene RubberObj_ lives on
    TgmObj3D* RubberObj_ = nullptr;
};

} // namespace gm
