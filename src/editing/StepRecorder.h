#pragma once
// Turns a stream of input events that may edit the document (the 3D panel's mouse and keys) into
// undo steps: one per key or click that changed something, one per drag however many moves it
// took. For every event the window calls
//
//     recorder.Before(panel.Dragging(), true);   // false for a key or a button press
//     const PanelResult r = panel.MouseMove(m);          // or MouseDown, MouseUp, Key, ...
//     recorder.After(r.Modified, panel.Dragging(), "Move");
//
// Before an undo, a redo, a save or anything that replaces the document, call Flush so that a
// drag in progress becomes a step of its own first.

#include <cstdint>
#include <string>

#include "editing/UndoStack.h"

namespace gm {

class DocumentCommands;

class StepRecorder {
public:
    explicit StepRecorder(DocumentCommands& commands) : Commands_(commands) {}

    // dragging: whether a drag was under way before this event; dragInput: the event is a mouse
    // move or release, which carry a drag on. Anything else (a key, a button press) that comes
    // during a drag is a step of its own between the drag's part before it and the rest.
    void Before(bool dragging, bool dragInput);
    // modified: the event changed the document; dragging: a drag is under way after it; label
    // names the step in the Edit menu (the first label of a drag's changes is kept); sections:
    // the file parts the event may have changed (see UndoStack::Commit).
    void After(bool modified, bool dragging, const std::string& label,
               uint32_t sections = EditSections::All);
    // Ends an open step now: its changes become one undo step.
    void Flush();

private:
    DocumentCommands& Commands_;
    bool Open_ = false;    // a checkpoint is taken
    bool Pending_ = false; // the document changed since
    bool Apart_ = false;   // this event interrupts a drag: its step ends with it
    std::string Label_;
    uint32_t Sections_ = 0;
};

} // namespace gm
