#pragma once
// Undo and redo of document changes. The document is held once, in the world-file format
// (WorldWrite/WorldRead) cut into its parts, with the selection beside it; a step keeps only the
// bytes it changed, before and after. Undo puts the earlier bytes back and reads the document
// from them, so a world saved after an undo is byte for byte the world saved before the change.
//
// How callers record a change (the menus, the property pages and the 3D panel alike):
//
//     stack.Checkpoint();          // before: remembers the selection the change starts from
//     ... change the document ...
//     stack.Commit("Move unit", {}, EditSections::Points);   // after: one step, unless the
//                                  // document bytes did not change
//
// The last argument names the file parts the change may touch; only those are written again,
// which keeps a step of a large world quick. Leave it out (every part) when unsure.
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
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "foundation/QX_Buf.h"
#include "world/WorldDoc.h"
#include "world/WorldUnit.h"

namespace gm {

// Which parts of the world file an edit may change, as a mask for UndoStack::Commit.
namespace EditSections {
constexpr uint32_t Of(WorldDoc::Section s) {
    return 1u << s;
}
constexpr uint32_t All = (1u << WorldDoc::SectionCount) - 1;
// Moving or turning units and points changes the points' places only.
constexpr uint32_t Points = Of(WorldDoc::PointSection);
// Zones and their links.
constexpr uint32_t Zones = Of(WorldDoc::ZoneSection);
} // namespace EditSections

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

// The current state's file parts, shared with the stack until it changes them: another thread may
// read a snapshot (for instance to check the world in the background) while editing goes on.
struct WorldSnapshot {
    std::array<std::shared_ptr<const std::vector<uint8_t>>, WorldDoc::SectionCount> Parts;
    uint64_t Generation = 0; // the stack's Generation() when it was taken
};

// Reads a snapshot into doc (cleared first); raises as WorldRead does.
void WorldSnapshotRead(const WorldSnapshot& snapshot, WorldDoc& doc);

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
    // sections: the file parts the change may have touched (EditSections); parts outside it must
    // be as they were.
    bool Commit(const std::string& label, const std::string& mergeKey = {},
                uint32_t sections = EditSections::All);
    // The next Commit starts a new step whatever its merge key.
    void SealBurst() noexcept { Sealed_ = true; }

    bool CanUndo() const noexcept { return Current_ > 0; }
    bool CanRedo() const noexcept { return Current_ < Steps_.size(); }
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
    std::size_t RedoCount() const noexcept { return Steps_.size() - Current_; }
    // Bytes held: the document's own state and every step.
    std::size_t MemoryUsed() const noexcept { return Used_; }
    std::size_t Budget() const noexcept { return Budget_; }
    void SetBudget(std::size_t bytes);
    // Changes whenever the document changes through the stack (commit, undo, redo, reset), so a
    // backup writer can tell whether anything happened since its last copy.
    uint64_t Generation() const noexcept { return Generation_; }
    // The state as the last commit, undo, redo or reset left it; costs no copy.
    WorldSnapshot Snapshot() const;

private:
    // What a unit holds beyond the world file: its "BB calc" result, which the end-file export
    // needs. Found again after a restore by the unit's shape (its description and the places of
    // its points), since the objects themselves are new.
    struct UnitExtra {
        uint64_t Shape = 0;
        int32_t BBState = 0;
        std::array<TBBCorner, 4> BBCorner{};
    };
    using Bytes = std::vector<uint8_t>;
    // One file part as a step changed it: the runs of bytes that differ (same length), or the
    // whole part before and after.
    struct Run {
        uint32_t Offset = 0;
        Bytes Old, New;
    };
    struct PartChange {
        int Section = 0;
        bool Whole = false;
        Bytes Old, New;        // Whole
        std::vector<Run> Runs; // otherwise
    };
    struct Step {
        std::vector<PartChange> Changes;
        std::vector<UnitExtra> ExtrasAfter;
        SelectionMark SelBefore; // selection before the step
        SelectionMark SelAfter;  // selection right after it
        std::string Label;
        std::string MergeKey;
        std::size_t Size = 0; // bytes held, for the budget
    };

    // Writes the masked parts of the document into Scratch_.
    void WriteParts(uint32_t mask);
    static PartChange Diff(int section, const Bytes& before, std::span<const uint8_t> after);
    static void Apply(Bytes& part, const PartChange& change, bool forward);
    static std::size_t SizeOf(const Step& step);
    std::vector<UnitExtra> ExtrasTake() const;
    std::vector<UnitExtra>& ExtrasOfCurrent();
    // Gives every unit of the document the extras of a unit of the same shape; later lists win.
    void ExtrasApply(const std::vector<UnitExtra>& older, const std::vector<UnitExtra>& newer);
    // Moves the held state across a step (forward: redo) and reads the document from it; on
    // failure moves it back and reads that.
    bool Restore(const Step& step, bool forward, const std::vector<UnitExtra>& extras,
                 const SelectionMark& selection, std::string* error);
    void ReadDocument();
    void ReleaseScratch();
    // In debug builds: stops when the held parts differ from the document's.
    void CheckParts();
    void Recount();
    const SelectionMark& CurrentSel() const;
    void DropNewest();
    void DropOldest();
    void Trim();

    WorldDoc& Doc_;
    std::size_t Budget_;
    const Bytes& Part(int s) const { return *Parts_[s]; }
    Bytes& PartMut(int s); // copies a part a snapshot still shares before it changes

    std::array<std::shared_ptr<Bytes>, WorldDoc::SectionCount> Parts_; // the current state
    std::vector<UnitExtra> BaseExtras_; // extras of the oldest state kept
    std::deque<Step> Steps_;
    std::size_t Current_ = 0; // steps done: the state after Steps_[Current_ - 1]
    std::size_t Saved_ = 0;
    bool SavedValid_ = true;
    std::size_t Used_ = 0;
    bool Sealed_ = true;
    bool HaveCheckpoint_ = false;
    SelectionMark Checkpoint_;
    SelectionMark BaseSel_; // the selection recorded with the oldest state kept
    uint64_t Generation_ = 0;
    std::array<TBufQX, WorldDoc::SectionCount> Scratch_; // kept for their storage
};

} // namespace gm
