#pragma once
// Undo and redo of document changes. Every state of the document is held whole, in the world-file
// format (WorldWrite/WorldRead), with the selection beside it; undo reads the earlier state back,
// so a world saved after an undo is byte for byte the world saved before the change.
//
// How callers record a change (the menus, the property pages and the 3D panel alike):
//
//     stack.Checkpoint();          // before: remembers the selection the change starts from
//     ... change the document ...
//     stack.Commit("Move unit");   // after: one step, unless the document bytes did not change
//
// A drag is one step: Checkpoint at the button press, change the document on every move, Commit
// once at the release. Commit without a Checkpoint takes the selection at that moment as the
// one before (right for edits that leave the selection alone, such as property fields).
// A burst of edits of one field is one step: Commit with the same merge key (for instance the
// field's name) extends the last step while nothing else happened in between (no other commit,
// undo, redo, save, selection change or SealBurst).
// Every change must be committed before the next Checkpoint; an uncommitted change would be
// folded into the next step.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "world/WorldUnit.h"

namespace gm {

class WorldDoc;

// The selection by position in file order: the current unit, zone and zone link (-1 for none)
// and the current points, ascending.
struct SelectionMark {
    int32_t Unit = -1;
    int32_t Zone = -1;
    int32_t Link = -1;
    std::vector<int32_t> Points;

    bool operator==(const SelectionMark&) const = default;
};

SelectionMark SelectionTake(const WorldDoc& doc);
// Makes exactly the marked objects current; indices beyond the lists are ignored.
void SelectionApply(WorldDoc& doc, const SelectionMark& mark);

class UndoStack {
public:
    static constexpr std::size_t DefaultBudget = std::size_t{256} << 20;

    explicit UndoStack(WorldDoc& doc, std::size_t budgetBytes = DefaultBudget);

    // Forgets every step and starts from the document as it is now (start-up, Open, Clear,
    // recovery). saved: the document is what its file holds.
    void Reset(bool saved);

    void Checkpoint();
    // Forgets the checkpoint of a change that did not happen.
    void DropCheckpoint() noexcept { HaveCheckpoint_ = false; }
    // Records the document as a new step (or extends the last one, see mergeKey). False when the
    // document bytes equal the current state's: nothing to undo then. A new step drops the redo
    // steps; the oldest steps go while the states together exceed the budget.
    bool Commit(const std::string& label, const std::string& mergeKey = {});
    // The next Commit starts a new step whatever its merge key.
    void SealBurst() noexcept { Sealed_ = true; }

    bool CanUndo() const noexcept { return Current_ > 0; }
    bool CanRedo() const noexcept { return Current_ + 1 < States_.size(); }
    // Labels of the steps Undo and Redo would take back or do again; empty when there are none.
    std::string UndoLabel() const;
    std::string RedoLabel() const;
    // Restore the document and the selection of the state before / after a step. False when
    // there is no such step, or when the stored state could not be read (then the document stays
    // as it was and *error says why).
    bool Undo(std::string* error = nullptr);
    bool Redo(std::string* error = nullptr);

    // The current state is what the file now holds.
    void MarkSaved() noexcept;
    // Whether the document is in the state last saved (or opened); false once that state was
    // dropped from the history or replaced.
    bool AtSaved() const noexcept { return SavedValid_ && Saved_ == Current_; }

    std::size_t UndoCount() const noexcept { return Current_; }
    std::size_t RedoCount() const noexcept { return States_.size() - Current_ - 1; }
    // Bytes held by all states.
    std::size_t MemoryUsed() const noexcept { return Used_; }
    std::size_t Budget() const noexcept { return Budget_; }
    void SetBudget(std::size_t bytes);
    // Changes whenever the document changes through the stack (commit, undo, redo, reset), so a
    // backup writer can tell whether anything happened since its last copy.
    uint64_t Generation() const noexcept { return Generation_; }

private:
    // What a unit holds beyond the world file: its "BB calc" result, which the end-file export
    // needs. Found again after a restore by the unit's shape (its description and the places of
    // its points), since the objects themselves are new.
    struct UnitExtra {
        uint64_t Shape = 0;
        int32_t BBState = 0;
        std::array<TBBCorner, 4> BBCorner{};
    };
    struct State {
        std::vector<uint8_t> Bytes;
        std::vector<UnitExtra> Extras;
        SelectionMark SelBefore; // selection before the step that made this state
        SelectionMark SelAfter;  // selection right after it
        std::string Label;
        std::string MergeKey;
    };

    std::vector<uint8_t> Serialize();
    std::vector<UnitExtra> ExtrasTake() const;
    // The state is the document's: its extras become the document's now.
    void RefreshExtras(State& state);
    // Gives every unit of the document the extras of a unit of the same shape; later lists win.
    void ExtrasApply(const std::vector<UnitExtra>& older, const std::vector<UnitExtra>& newer);
    // Replaces the document by the state's bytes; on failure puts back `fallback`.
    bool Restore(const State& target, const SelectionMark& selection, const State& fallback,
                 std::string* error);
    void DropRedo();
    void DropNewest();
    void DropOldest();
    void Trim();

    WorldDoc& Doc_;
    std::size_t Budget_;
    std::deque<State> States_; // [0] the oldest state kept; every later one is a step's result
    std::size_t Current_ = 0;
    std::size_t Saved_ = 0;
    bool SavedValid_ = true;
    std::size_t Used_ = 0;
    bool Sealed_ = true;
    bool HaveCheckpoint_ = false;
    SelectionMark Checkpoint_;
    uint64_t Generation_ = 0;
};

} // namespace gm
