#include "editing/UndoStack.h"

#include <algorithm>
#include <cstring>
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

std::size_t StateBytes(std::size_t bytes, std::size_t extras) {
    return bytes + extras * (sizeof(TBBCorner) * 4 + 16);
}

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
    Reset(true);
}

std::vector<uint8_t> UndoStack::Serialize() {
    TBufQX buf;
    Doc_.WorldWrite(buf);
    return std::vector<uint8_t>(buf.Data, buf.Data + buf.Len);
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

void UndoStack::Reset(bool saved) {
    States_.clear();
    State base;
    base.Bytes = Serialize();
    base.Extras = ExtrasTake();
    base.SelAfter = SelectionTake(Doc_);
    base.SelBefore = base.SelAfter;
    Used_ = StateBytes(base.Bytes.size(), base.Extras.size());
    States_.push_back(std::move(base));
    Current_ = 0;
    Saved_ = 0;
    SavedValid_ = saved;
    Sealed_ = true;
    HaveCheckpoint_ = false;
    ++Generation_;
}

void UndoStack::Checkpoint() {
    Checkpoint_ = SelectionTake(Doc_);
    HaveCheckpoint_ = true;
}

bool UndoStack::Commit(const std::string& label, const std::string& mergeKey) {
    const SelectionMark before = HaveCheckpoint_ ? Checkpoint_ : SelectionTake(Doc_);
    HaveCheckpoint_ = false;
    std::vector<uint8_t> bytes = Serialize();
    State& top = States_[Current_];
    if (bytes == top.Bytes) {
        // Nothing the file holds changed; a selection change alone is not a step, but it ends
        // a burst.
        if (before != top.SelAfter) Sealed_ = true;
        return false;
    }
    const bool merge = !mergeKey.empty() && !Sealed_ && Current_ > 0 && !CanRedo() &&
                       top.MergeKey == mergeKey && !AtSaved() && before == top.SelAfter;
    ++Generation_;
    if (merge) {
        if (bytes == States_[Current_ - 1].Bytes) {
            // The burst has come back to where it started: no step is left to undo.
            Used_ -= StateBytes(top.Bytes.size(), top.Extras.size());
            States_.pop_back();
            --Current_;
            Sealed_ = true;
            return true;
        }
        Used_ -= StateBytes(top.Bytes.size(), top.Extras.size());
        top.Bytes = std::move(bytes);
        top.Extras = ExtrasTake();
        top.SelAfter = SelectionTake(Doc_);
        Used_ += StateBytes(top.Bytes.size(), top.Extras.size());
        Trim();
        return true;
    }
    DropRedo();
    State step;
    step.Bytes = std::move(bytes);
    step.Extras = ExtrasTake();
    step.SelBefore = before;
    step.SelAfter = SelectionTake(Doc_);
    step.Label = label;
    step.MergeKey = mergeKey;
    Used_ += StateBytes(step.Bytes.size(), step.Extras.size());
    States_.push_back(std::move(step));
    Current_ = States_.size() - 1;
    Sealed_ = mergeKey.empty();
    Trim();
    return true;
}

void UndoStack::DropRedo() {
    while (CanRedo())
        DropNewest();
}

void UndoStack::DropNewest() {
    const State& last = States_.back();
    Used_ -= StateBytes(last.Bytes.size(), last.Extras.size());
    States_.pop_back();
    if (SavedValid_ && Saved_ >= States_.size()) SavedValid_ = false;
}

void UndoStack::DropOldest() {
    const State& first = States_.front();
    Used_ -= StateBytes(first.Bytes.size(), first.Extras.size());
    States_.pop_front();
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
    while (Used_ > Budget_ && Current_ > 0)
        DropOldest();
    while (Used_ > Budget_ && CanRedo())
        DropNewest();
}

void UndoStack::SetBudget(std::size_t bytes) {
    Budget_ = bytes;
    Trim();
}

std::string UndoStack::UndoLabel() const {
    return CanUndo() ? States_[Current_].Label : std::string();
}

std::string UndoStack::RedoLabel() const {
    return CanRedo() ? States_[Current_ + 1].Label : std::string();
}

bool UndoStack::Restore(const State& target, const SelectionMark& selection, const State& fallback,
                        std::string* error) {
    // "BB calc" may have run after these states were recorded: what the document holds now is
    // the newest result for every unit whose shape is unchanged.
    const std::vector<UnitExtra> live = ExtrasTake();
    auto read = [this, &live](const State& s) {
        Doc_.WorldClear();
        TBufQX buf;
        if (!s.Bytes.empty()) {
            buf.LenSet(static_cast<int32_t>(s.Bytes.size()));
            std::memcpy(buf.Data, s.Bytes.data(), s.Bytes.size());
        }
        Doc_.WorldRead(buf);
        ExtrasApply(s.Extras, live);
    };
    try {
        read(target);
        SelectionApply(Doc_, selection);
        return true;
    } catch (const ErrorQX& e) {
        if (error) *error = "Undo failed: " + e.Message();
    }
    // The state left behind was read from the same writer a moment ago.
    try {
        read(fallback);
        SelectionApply(Doc_, fallback.SelAfter);
    } catch (const ErrorQX&) {
        Doc_.WorldClear();
    }
    return false;
}

void UndoStack::RefreshExtras(State& state) {
    Used_ -= StateBytes(state.Bytes.size(), state.Extras.size());
    state.Extras = ExtrasTake();
    Used_ += StateBytes(state.Bytes.size(), state.Extras.size());
}

bool UndoStack::Undo(std::string* error) {
    if (!CanUndo()) return false;
    State& here = States_[Current_];
    RefreshExtras(here);
    if (!Restore(States_[Current_ - 1], here.SelBefore, here, error)) return false;
    --Current_;
    Sealed_ = true;
    HaveCheckpoint_ = false;
    ++Generation_;
    return true;
}

bool UndoStack::Redo(std::string* error) {
    if (!CanRedo()) return false;
    State& here = States_[Current_];
    RefreshExtras(here);
    const State& next = States_[Current_ + 1];
    if (!Restore(next, next.SelAfter, here, error)) return false;
    ++Current_;
    Sealed_ = true;
    HaveCheckpoint_ = false;
    ++Generation_;
    return true;
}

void UndoStack::MarkSaved() noexcept {
    Saved_ = Current_;
    SavedValid_ = true;
    Sealed_ = true;
}

} // namespace gm
