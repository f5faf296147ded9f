#include "editing/UndoStack.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <span>
#include <unordered_map>

#include "foundation/QX_Buf.h"
#include "foundation/QX_Error.h"
#include "world/WorldDoc.h"

namespace gm {

namespace {

template <typename T> int32_t IndexOf(const ListQX<T>& list, const T* item) {
    if (!item) return -1;
    int32_t i = 0;
    for (const T* x : list) {
        if (x == item) return i;
        ++i;
    }
    return -1;
}

template <typename T> T* AtIndex(const ListQX<T>& list, int32_t index) {
    if (index < 0) return nullptr;
    int32_t i = 0;
    for (T* x : list) {
        if (i == index) return x;
        ++i;
    }
    return nullptr;
}

// Runs of changed bytes closer than this are kept as one.
constexpr std::size_t RunGap = 32;

} // namespace

SelectionMark SelectionTake(const WorldDoc& doc) {
    SelectionMark mark;
    mark.Unit = IndexOf(doc.Units.List(), doc.Units.UnitCurrent());
    mark.Zone = IndexOf(doc.Zones.Zones(), doc.Zones.ZoneCurrent());
    mark.Link = IndexOf(doc.Zones.Links(), doc.Zones.ZoneLinkCurrent());
    int32_t i = 0;
    for (const TPointGM* p : doc.Points.List()) {
        if (p->Current) mark.Points.push_back(i);
        ++i;
    }
    return mark;
}

void SelectionApply(WorldDoc& doc, const SelectionMark& mark) {
    doc.Units.SetCurrentUnit(AtIndex(doc.Units.List(), mark.Unit));
    doc.Zones.SetZoneCurrent(AtIndex(doc.Zones.Zones(), mark.Zone));
    doc.Zones.SetZoneLinkCurrent(AtIndex(doc.Zones.Links(), mark.Link));
    auto next = mark.Points.begin();
    int32_t i = 0;
    for (TPointGM* p : doc.Points.List()) {
        while (next != mark.Points.end() && *next < i)
            ++next;
        const bool on = next != mark.Points.end() && *next == i;
        if (p->Current != on) doc.Points.SetCurrent(p, on);
        ++i;
    }
}

UndoStack::UndoStack(WorldDoc& doc, std::size_t budgetBytes) : Doc_(doc), Budget_(budgetBytes) {
    for (auto& part : Parts_)
        part = std::make_shared<Bytes>();
    Reset(true);
}

void UndoStack::WriteParts(uint32_t mask) {
    TBufQX* bufs[WorldDoc::SectionCount];
    for (int s = 0; s < WorldDoc::SectionCount; ++s) {
        Scratch_[s].Len = 0;
        Scratch_[s].Pointer = 0;
        bufs[s] = &Scratch_[s];
    }
    Doc_.SectionsWrite(mask, bufs);
}

UndoStack::PartChange UndoStack::Diff(int section, const Bytes& before,
                                      std::span<const uint8_t> after) {
    PartChange change;
    change.Section = section;
    auto whole = [&] {
        change.Whole = true;
        change.Runs.clear();
        change.Old = before;
        change.New.assign(after.begin(), after.end());
        return change;
    };
    if (before.size() != after.size()) return whole();
    const std::size_t n = before.size();
    std::size_t kept = 0;
    std::size_t i = 0;
    while (i < n) {
        constexpr std::size_t Block = 64;
        while (i + Block <= n && std::memcmp(&before[i], &after[i], Block) == 0)
            i += Block;
        while (i < n && before[i] == after[i])
            ++i;
        if (i >= n) break;
        std::size_t last = i;
        for (std::size_t j = i + 1; j < n && j - last <= RunGap; ++j)
            if (before[j] != after[j]) last = j;
        Run run;
        run.Offset = static_cast<uint32_t>(i);
        run.Old.assign(before.begin() + i, before.begin() + last + 1);
        run.New.assign(after.begin() + i, after.begin() + last + 1);
        kept += run.Old.size();
        // Beyond half the part, runs would hold about as much as the part itself.
        if (kept * 2 > n) return whole();
        change.Runs.push_back(std::move(run));
        i = last + 1;
    }
    return change;
}

void UndoStack::Apply(Bytes& part, const PartChange& change, bool forward) {
    if (change.Whole) {
        part = forward ? change.New : change.Old;
        return;
    }
    for (const Run& run : change.Runs) {
        const Bytes& bytes = forward ? run.New : run.Old;
        std::memcpy(part.data() + run.Offset, bytes.data(), bytes.size());
    }
}

std::size_t UndoStack::SizeOf(const Step& step) {
    std::size_t n = sizeof(Step) + step.Label.size() + step.MergeKey.size() +
                    (step.SelBefore.Points.size() + step.SelAfter.Points.size()) * 4 +
                    step.ExtrasAfter.size() * sizeof(UnitExtra);
    for (const PartChange& c : step.Changes) {
        n += sizeof(PartChange) + c.Old.size() + c.New.size();
        for (const Run& run : c.Runs)
            n += sizeof(Run) + run.Old.size() + run.New.size();
    }
    return n;
}

namespace {

// A hash of each unit's description and of its points' stored places, in list order.
std::unordered_map<const TgmWorldUnit*, uint64_t> UnitShapes(const WorldDoc& doc) {
    auto mix = [](uint64_t h, const void* data, std::size_t n) {
        const auto* b = static_cast<const uint8_t*>(data);
        for (std::size_t i = 0; i < n; ++i)
            h = (h ^ b[i]) * 1099511628211ull;
        return h;
    };
    std::unordered_map<const TgmWorldUnit*, uint64_t> shapes;
    for (const TgmWorldUnit* u : doc.Units.List())
        shapes[u] = mix(14695981039346656037ull, u->DescPath.data(), u->DescPath.size() * 2);
    // One pass over the points: a scan per unit would grow with units times points.
    for (const TPointGM* p : doc.Points.List()) {
        const float place[3] = {p->Longitude, p->Polar, p->Radius};
        for (const TgmWorldUnit* u : p->Units) {
            auto it = shapes.find(u);
            if (it != shapes.end()) it->second = mix(it->second, place, sizeof place);
        }
    }
    return shapes;
}

} // namespace

std::vector<UndoStack::UnitExtra> UndoStack::ExtrasTake() const {
    std::vector<UnitExtra> extras;
    bool any = false;
    for (const TgmWorldUnit* u : Doc_.Units.List())
        any = any || u->BBState != 0;
    if (!any) return extras;
    const auto shapes = UnitShapes(Doc_);
    for (const TgmWorldUnit* u : Doc_.Units.List())
        if (u->BBState != 0) extras.push_back(UnitExtra{shapes.at(u), u->BBState, u->BBCorner});
    return extras;
}

void UndoStack::ExtrasApply(const std::vector<UnitExtra>& older,
                            const std::vector<UnitExtra>& newer) {
    if (older.empty() && newer.empty()) return;
    std::unordered_map<uint64_t, const UnitExtra*> byShape;
    for (const std::vector<UnitExtra>* list : {&older, &newer})
        for (const UnitExtra& e : *list)
            byShape[e.Shape] = &e;
    const auto shapes = UnitShapes(Doc_);
    for (TgmWorldUnit* u : Doc_.Units.List()) {
        const auto it = byShape.find(shapes.at(u));
        if (it == byShape.end()) continue;
        u->BBState = it->second->BBState;
        u->BBCorner = it->second->BBCorner;
    }
}

void UndoStack::Recount() {
    std::size_t n = BaseExtras_.size() * sizeof(UnitExtra);
    for (const auto& part : Parts_)
        n += part->size();
    for (const Step& step : Steps_)
        n += step.Size;
    Used_ = n;
}

void UndoStack::Reset(bool saved) {
    Steps_.clear();
    WriteParts(EditSections::All);
    for (int s = 0; s < WorldDoc::SectionCount; ++s)
        PartMut(s).assign(Scratch_[s].Data, Scratch_[s].Data + Scratch_[s].Len);
    ReleaseScratch();
    BaseExtras_ = ExtrasTake();
    BaseSel_ = SelectionTake(Doc_);
    Current_ = 0;
    Saved_ = 0;
    SavedValid_ = saved;
    Sealed_ = true;
    HaveCheckpoint_ = false;
    Recount();
    ++Generation_;
}

void UndoStack::ReleaseScratch() {
    // Storage for the parts an edit rewrites often (points, zones) stays; a whole world's worth
    // does not.
    for (TBufQX& buf : Scratch_)
        if (buf.Capacity > (16 << 20)) buf.Clear();
}

void UndoStack::Checkpoint() {
    Checkpoint_ = SelectionTake(Doc_);
    HaveCheckpoint_ = true;
}

const SelectionMark& UndoStack::CurrentSel() const {
    return Current_ > 0 ? Steps_[Current_ - 1].SelAfter : BaseSel_;
}

std::vector<UndoStack::UnitExtra>& UndoStack::ExtrasOfCurrent() {
    return Current_ > 0 ? Steps_[Current_ - 1].ExtrasAfter : BaseExtras_;
}

bool UndoStack::Commit(const std::string& label, const std::string& mergeKey, uint32_t sections) {
    // Without a checkpoint the selection before is the one now (and after).
    const SelectionMark before = HaveCheckpoint_ ? Checkpoint_ : SelectionTake(Doc_);
    const bool selectionKept = !HaveCheckpoint_;
    HaveCheckpoint_ = false;
    // The head holds the radius; it costs twelve bytes to check.
    const uint32_t mask = (sections & EditSections::All) | EditSections::Of(WorldDoc::Head);
    WriteParts(mask);
    auto written = [this](int s) {
        return std::span<const uint8_t>(Scratch_[s].Data, std::size_t(Scratch_[s].Len));
    };
    // Each rewritten part against the held one: equal parts give no change.
    std::vector<PartChange> diffs;
    uint32_t changed = 0;
    for (int s = 0; s < WorldDoc::SectionCount; ++s) {
        if (!(mask >> s & 1u)) continue;
        PartChange change = Diff(s, Part(s), written(s));
        if (!change.Whole && change.Runs.empty()) continue;
        changed |= 1u << s;
        diffs.push_back(std::move(change));
    }
    if (changed == 0) {
        ReleaseScratch();
        CheckParts();
        // Nothing the file holds changed; a selection change alone is not a step, but it ends
        // a burst.
        if (before != CurrentSel()) Sealed_ = true;
        return false;
    }
    const bool merge = !mergeKey.empty() && !Sealed_ && Current_ > 0 && !CanRedo() &&
                       Steps_.back().MergeKey == mergeKey && !AtSaved() && before == CurrentSel();
    ++Generation_;
    if (merge) {
        // The step now leads from the state before the burst to this one.
        Step& top = Steps_.back();
        uint32_t touched = changed;
        for (const PartChange& c : top.Changes)
            touched |= 1u << c.Section;
        std::vector<PartChange> changes;
        for (int s = 0; s < WorldDoc::SectionCount; ++s) {
            if (!(touched >> s & 1u)) continue;
            Bytes start = Part(s);
            for (const PartChange& c : top.Changes)
                if (c.Section == s) Apply(start, c, false);
            if (changed >> s & 1u) PartMut(s).assign(written(s).begin(), written(s).end());
            if (start != Part(s)) changes.push_back(Diff(s, start, Part(s)));
        }
        ReleaseScratch();
        if (changes.empty()) {
            // The burst has come back to where it started: no step is left to undo.
            Steps_.pop_back();
            --Current_;
            Sealed_ = true;
            Recount();
            return true;
        }
        top.Changes = std::move(changes);
        top.ExtrasAfter = ExtrasTake();
        top.SelAfter = selectionKept ? before : SelectionTake(Doc_);
        top.Size = SizeOf(top);
        CheckParts();
        Trim();
        return true;
    }
    while (CanRedo())
        DropNewest();
    Step step;
    step.Changes = std::move(diffs);
    for (const PartChange& c : step.Changes)
        Apply(PartMut(c.Section), c, true);
    ReleaseScratch();
    step.ExtrasAfter = ExtrasTake();
    step.SelBefore = before;
    step.SelAfter = selectionKept ? before : SelectionTake(Doc_);
    step.Label = label;
    step.MergeKey = mergeKey;
    step.Size = SizeOf(step);
    Steps_.push_back(std::move(step));
    Current_ = Steps_.size();
    Sealed_ = mergeKey.empty();
    CheckParts();
    Trim();
    return true;
}

void UndoStack::CheckParts() {
#ifndef NDEBUG
    // A caller that named too few parts would leave a history that restores the wrong world.
    TBufQX whole;
    Doc_.WorldWrite(whole);
    Bytes joined;
    for (const auto& part : Parts_)
        joined.insert(joined.end(), part->begin(), part->end());
    assert(joined.size() == std::size_t(whole.Len) &&
           std::equal(joined.begin(), joined.end(), whole.Data) &&
           "an edit changed a part of the world its commit did not name");
#endif
}

void UndoStack::DropNewest() {
    Steps_.pop_back();
    if (SavedValid_ && Saved_ > Steps_.size()) SavedValid_ = false;
}

void UndoStack::DropOldest() {
    Step& first = Steps_.front();
    BaseExtras_ = std::move(first.ExtrasAfter);
    BaseSel_ = std::move(first.SelAfter);
    Steps_.pop_front();
    --Current_;
    if (SavedValid_) {
        if (Saved_ == 0)
            SavedValid_ = false;
        else
            --Saved_;
    }
}

void UndoStack::Trim() {
    // The current state always stays, even alone beyond the budget: it is the document. Redo
    // steps go only once every older step has gone.
    Recount();
    while (Used_ > Budget_ && Current_ > 0) {
        DropOldest();
        Recount();
    }
    while (Used_ > Budget_ && CanRedo()) {
        DropNewest();
        Recount();
    }
}

void UndoStack::SetBudget(std::size_t bytes) {
    Budget_ = bytes;
    Trim();
}

std::string UndoStack::UndoLabel() const {
    return CanUndo() ? Steps_[Current_ - 1].Label : std::string();
}

std::string UndoStack::RedoLabel() const {
    return CanRedo() ? Steps_[Current_].Label : std::string();
}

void UndoStack::ReadDocument() {
    WorldSnapshotRead(Snapshot(), Doc_);
}

WorldSnapshot UndoStack::Snapshot() const {
    WorldSnapshot snapshot;
    for (int s = 0; s < WorldDoc::SectionCount; ++s)
        snapshot.Parts[s] = Parts_[s];
    snapshot.Generation = Generation_;
    return snapshot;
}

UndoStack::Bytes& UndoStack::PartMut(int s) {
    // A snapshot being read elsewhere keeps the bytes it was given.
    if (Parts_[s].use_count() > 1) Parts_[s] = std::make_shared<Bytes>(*Parts_[s]);
    return *Parts_[s];
}

void WorldSnapshotRead(const WorldSnapshot& snapshot, WorldDoc& doc) {
    doc.WorldClear();
    std::size_t total = 0;
    for (const auto& part : snapshot.Parts)
        total += part ? part->size() : 0;
    TBufQX buf;
    if (total > 0) {
        buf.LenSet(static_cast<int32_t>(total));
        std::size_t at = 0;
        for (const auto& part : snapshot.Parts) {
            if (!part || part->empty()) continue;
            std::memcpy(buf.Data + at, part->data(), part->size());
            at += part->size();
        }
    }
    doc.WorldRead(buf);
}

bool UndoStack::Restore(const Step& step, bool forward, const std::vector<UnitExtra>& extras,
                        const SelectionMark& selection, std::string* error) {
    // "BB calc" may have run after these states were recorded: what the document holds now is
    // the newest result for every unit whose shape is unchanged.
    std::vector<UnitExtra> live = ExtrasTake();
    ExtrasOfCurrent() = live;
    for (const PartChange& c : step.Changes)
        Apply(PartMut(c.Section), c, forward);
    try {
        ReadDocument();
        ExtrasApply(extras, live);
        SelectionApply(Doc_, selection);
        return true;
    } catch (const ErrorQX& e) {
        if (error) *error = "Undo failed: " + e.Message();
    }
    // The state left behind was read from the same writer a moment ago.
    for (const PartChange& c : step.Changes)
        Apply(PartMut(c.Section), c, !forward);
    try {
        ReadDocument();
        ExtrasApply(live, {});
        SelectionApply(Doc_, CurrentSel());
    } catch (const ErrorQX&) {
        Doc_.WorldClear();
    }
    return false;
}

bool UndoStack::Undo(std::string* error) {
    if (!CanUndo()) return false;
    const Step& step = Steps_[Current_ - 1];
    const std::vector<UnitExtra>& earlier =
        Current_ > 1 ? Steps_[Current_ - 2].ExtrasAfter : BaseExtras_;
    if (!Restore(step, false, earlier, step.SelBefore, error)) return false;
    --Current_;
    Sealed_ = true;
    HaveCheckpoint_ = false;
    Recount();
    ++Generation_;
    return true;
}

bool UndoStack::Redo(std::string* error) {
    if (!CanRedo()) return false;
    const Step& step = Steps_[Current_];
    if (!Restore(step, true, step.ExtrasAfter, step.SelAfter, error)) return false;
    ++Current_;
    Sealed_ = true;
    HaveCheckpoint_ = false;
    Recount();
    ++Generation_;
    return true;
}

void UndoStack::MarkSaved() noexcept {
    Saved_ = Current_;
    SavedValid_ = true;
    Sealed_ = true;
}

} // namespace gm
