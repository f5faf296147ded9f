// Undo and redo of every kind of document change on the demo world: the world saved after an undo
// is the file saved before the change, byte for byte, and the selection comes back with it.

#include "editing/UndoStack.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editing/PropertyPages.h"
#include "editing/UnitPathList.h"
#include "foundation/Codec.h"
#include "foundation/QX_Str.h"
#include "support/TempDir.h"
#include "world/ViewFlags.h"
#include "world/WorldDoc.h"
#include "zones/ZoneEdit.h"

namespace gm {
namespace {

const std::string Examples = GM_SOURCE_DIR "/examples";

std::vector<uint8_t> Bytes(WorldDoc& doc) {
    TBufQX buf;
    doc.WorldWrite(buf);
    return std::vector<uint8_t>(buf.Data, buf.Data + buf.Len);
}

TgmWorldUnit* UnitAt(WorldDoc& doc, int index) {
    int i = 0;
    for (TgmWorldUnit* u : doc.Units.List())
        if (i++ == index) return u;
    return nullptr;
}

TPointGM* FreePointOf(WorldDoc& doc, const TgmWorldUnit* u, int skip = 0) {
    for (TPointGM* p : doc.Points.PointsOfUnit(u))
        if (!p->Master && skip-- == 0) return p;
    return nullptr;
}

// What the 3D panel does when it drags a unit: every point of it moves the same way.
void MoveUnit(WorldDoc& doc, TgmWorldUnit* u, float dLongitude, float dPolar) {
    for (TPointGM* p : doc.Points.PointsOfUnit(u)) {
        if (p->Master) continue;
        doc.Points.SetAngles(p, p->Longitude + dLongitude, p->Polar + dPolar);
        doc.Units.UnitsRecentre(p);
    }
}

TgmZone* AddZone(WorldDoc& doc, float longitude, float polar) {
    ViewFlags flags;
    return ZoneCreateAt(doc, flags, longitude, polar);
}

class UndoStackTest : public test::TempDirTest {
protected:
    void SetUp() override {
        ASSERT_EQ(Doc.WorldOpen(AnsiToWideQX(Examples + "/worlds/demo.raw")), "");
        Doc.Units.UnitPath = Examples + "/units";
        ASSERT_GE(Doc.Units.UnitCount(), 3);
    }
    std::string Saved(const std::string& name) {
        Doc.WorldSaveAs(AnsiToWideQX(Dir.File(name)));
        return test::TempDir::Read(Dir.File(name));
    }

    WorldDoc Doc;
};

struct ChangeCase {
    const char* Name;
    std::function<void(WorldDoc&)> Prepare; // the selection and state the change starts from
    std::function<void(WorldDoc&)> Change;
    uint32_t Sections = EditSections::All; // the parts the commit names, as the editor's do
};

const std::vector<ChangeCase>& ChangeCases() {
    static const std::vector<ChangeCase> cases = {
        {"move unit", [](WorldDoc& d) { d.Units.SetCurrentUnit(UnitAt(d, 1)); },
         [](WorldDoc& d) { MoveUnit(d, d.Units.UnitCurrent(), 7.5f, -3.25f); },
         EditSections::Points},
        {"move points",
         [](WorldDoc& d) {
             d.Points.SetCurrent(FreePointOf(d, UnitAt(d, 0)), true);
             d.Points.SetCurrent(FreePointOf(d, UnitAt(d, 2)), true);
         },
         [](WorldDoc& d) {
             for (TPointGM* p : d.Points.List())
                 if (p->Current) d.Points.SetAngles(p, p->Longitude + 2, p->Polar + 1);
         },
         EditSections::Points},
        {"delete unit", [](WorldDoc& d) { d.Units.SetCurrentUnit(UnitAt(d, 1)); },
         [](WorldDoc& d) { DeleteCurrent(d); }},
        {"create unit", [](WorldDoc& d) { d.Units.SetCurrentUnit(UnitAt(d, 0)); },
         [](WorldDoc& d) { ASSERT_NE(d.Units.UnitCreateAt(u"pad.txt", 200, 60), nullptr); }},
        {"create zone", [](WorldDoc& d) { d.Units.SetCurrentUnit(UnitAt(d, 2)); },
         [](WorldDoc& d) { AddZone(d, 100, 100); }, EditSections::Zones},
        {"move zone",
         [](WorldDoc& d) {
             AddZone(d, 10, 20);
             AddZone(d, 30, 40);
         },
         [](WorldDoc& d) {
             TgmZone* z = d.Zones.ZoneCurrent();
             z->Longitude += 12;
             d.Zones.ZoneUpdate(z);
         },
         EditSections::Zones},
        {"delete zone with its link",
         [](WorldDoc& d) {
             TgmZone* a = AddZone(d, 10, 20);
             TgmZone* b = AddZone(d, 30, 40);
             d.Zones.ZoneLinkMake(a, b);
             d.Zones.SetZoneCurrent(a);
         },
         [](WorldDoc& d) { DeleteCurrent(d); }, EditSections::Zones},
        {"link zones",
         [](WorldDoc& d) {
             AddZone(d, 10, 20);
             AddZone(d, 30, 40);
         },
         [](WorldDoc& d) {
             TgmZone* b = d.Zones.ZoneCurrent();
             d.Zones.ZoneLinkMake(b, d.Zones.Zones().First());
         },
         EditSections::Zones},
        {"link points",
         [](WorldDoc& d) { d.Points.SetCurrent(FreePointOf(d, UnitAt(d, 0)), true); },
         [](WorldDoc& d) {
             d.Points.PointLink(FreePointOf(d, UnitAt(d, 0)), FreePointOf(d, UnitAt(d, 1), 1));
         }},
        {"unit property", [](WorldDoc& d) { d.Units.SetCurrentUnit(UnitAt(d, 0)); },
         [](WorldDoc& d) {
             UnitTimeOffsetChange(d, u"-250");
             UnitTypeChange(d, 2);
         }},
        {"zone property", [](WorldDoc& d) { AddZone(d, 50, 60); },
         [](WorldDoc& d) {
             ZoneRadiusChange(d, u"120");
             ZoneItemChange(d, 31, true);
         },
         EditSections::Zones},
        {"world radius", [](WorldDoc& d) { AddZone(d, 50, 60); },
         [](WorldDoc& d) { d.WorldRadiusSet(u"1750"); }},
        {"unit path rename", [](WorldDoc&) {},
         [](WorldDoc& d) {
             UnitPathList rows;
             rows.Take(d.Units);
             rows.SetNewPath(0, u"renamed\\first.txt");
             ASSERT_GT(rows.Apply(d.Units), 0);
         }},
        {"correct point",
         [](WorldDoc& d) {
             TPointGM* p = FreePointOf(d, UnitAt(d, 0));
             d.Points.SetMaster(p, p); // as a damaged file leaves it
         },
         [](WorldDoc& d) { d.Points.PointCorrect(); }},
    };
    return cases;
}

TEST_F(UndoStackTest, EveryKindOfChangeUndoesToTheSameFileAndSelection) {
    for (const ChangeCase& c : ChangeCases()) {
        SCOPED_TRACE(c.Name);
        SetUp();
        c.Prepare(Doc);
        UndoStack stack(Doc);
        const SelectionMark selBefore = SelectionTake(Doc);
        const std::string fileBefore = Saved("before.raw");

        const std::size_t held = stack.MemoryUsed();
        stack.Checkpoint();
        c.Change(Doc);
        ASSERT_TRUE(stack.Commit(c.Name, {}, c.Sections));
        const SelectionMark selAfter = SelectionTake(Doc);
        const std::string fileAfter = Saved("after.raw");
        ASSERT_NE(fileAfter, fileBefore);
        // A small edit holds what it changed, not another world.
        if (c.Sections != EditSections::All) {
            EXPECT_LT(stack.MemoryUsed() - held, fileAfter.size() / 4);
        }

        ASSERT_TRUE(stack.Undo());
        EXPECT_EQ(Saved("undone.raw"), fileBefore);
        EXPECT_EQ(SelectionTake(Doc), selBefore);
        ASSERT_TRUE(stack.Redo());
        EXPECT_EQ(Saved("redone.raw"), fileAfter);
        EXPECT_EQ(SelectionTake(Doc), selAfter);
    }
}

TEST_F(UndoStackTest, AReloadFromAChangedDescriptionUndoes) {
    // The pad's description in a folder of our own, with a key group renamed since the world
    // was built.
    namespace fs = std::filesystem;
    fs::create_directories(Dir.Path() / "units");
    std::string text = test::TempDir::Read(Examples + "/units/pad.txt");
    const std::size_t at = text.find("Name=landing");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 12, "Name=arrival");
    Dir.Write("units/pad.txt", text);
    Doc.Units.UnitPath = Dir.File("units");
    TgmWorldUnit* pad = nullptr;
    for (TgmWorldUnit* u : Doc.Units.List())
        if (u->DescPath == u"pad.txt") pad = u;
    ASSERT_NE(pad, nullptr);
    Doc.Units.SetCurrentUnit(pad);

    UndoStack stack(Doc);
    const std::string before = Saved("before.raw");
    const SelectionMark selBefore = SelectionTake(Doc);
    stack.Checkpoint();
    std::string reason;
    ASSERT_TRUE(Doc.Units.UnitReload(pad, &reason)) << reason;
    Doc.Units.SetCurrentUnit(nullptr);
    ASSERT_TRUE(stack.Commit("Reload"));
    const std::string after = Saved("after.raw");
    ASSERT_NE(after.find("a\0r\0r\0i\0v\0a\0l"), std::string::npos - 1); // sanity below
    ASSERT_NE(after, before);

    ASSERT_TRUE(stack.Undo());
    EXPECT_EQ(Saved("undone.raw"), before);
    EXPECT_EQ(SelectionTake(Doc), selBefore);
    ASSERT_TRUE(stack.Redo());
    EXPECT_EQ(Saved("redone.raw"), after);
}

TEST_F(UndoStackTest, ACommitNamingTooFewPartsIsCaughtInDebugBuilds) {
    UndoStack stack(Doc);
    MoveUnit(Doc, UnitAt(Doc, 0), 5, 5);
    EXPECT_DEBUG_DEATH(stack.Commit("move", {}, EditSections::Zones), "did not name");
}

TEST_F(UndoStackTest, SelectionComesBackByPositionInFileOrder) {
    AddZone(Doc, 10, 10);
    TgmZone* second = AddZone(Doc, 20, 20);
    Doc.Zones.ZoneLinkMake(Doc.Zones.Zones().First(), second);
    Doc.Zones.SetZoneLinkCurrent(Doc.Zones.Links().First());
    Doc.Units.SetCurrentUnit(UnitAt(Doc, 2));
    TPointGM* p = FreePointOf(Doc, UnitAt(Doc, 1));
    Doc.Points.SetCurrent(p, true);
    const SelectionMark mark = SelectionTake(Doc);
    EXPECT_EQ(mark.Unit, 2);
    EXPECT_EQ(mark.Zone, 1);
    EXPECT_EQ(mark.Link, 0);
    ASSERT_EQ(mark.Points.size(), 1u);

    // Read back into fresh objects, the same places are current again.
    const std::vector<uint8_t> bytes = Bytes(Doc);
    Doc.WorldClear();
    TBufQX buf;
    buf.LenSet(static_cast<int32_t>(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), buf.Data);
    Doc.WorldRead(buf);
    EXPECT_EQ(SelectionTake(Doc), SelectionMark{});
    SelectionApply(Doc, mark);
    EXPECT_EQ(SelectionTake(Doc), mark);
    EXPECT_EQ(Doc.Units.UnitCurrent(), UnitAt(Doc, 2));

    // Places that no longer exist select nothing.
    SelectionApply(Doc, SelectionMark{99, 99, 99, {100000}});
    EXPECT_EQ(SelectionTake(Doc), SelectionMark{});
}

TEST_F(UndoStackTest, StepsUndoAndRedoInOrderAndANewChangeDropsTheRedoSteps) {
    UndoStack stack(Doc);
    const std::vector<uint8_t> s0 = Bytes(Doc);
    Doc.Units.SetCurrentUnit(UnitAt(Doc, 0));
    UnitTimeOffsetChange(Doc, u"1");
    ASSERT_TRUE(stack.Commit("first"));
    const std::vector<uint8_t> s1 = Bytes(Doc);
    UnitTimeLengthChange(Doc, u"2");
    ASSERT_TRUE(stack.Commit("second"));
    const std::vector<uint8_t> s2 = Bytes(Doc);

    EXPECT_EQ(stack.UndoLabel(), "second");
    EXPECT_EQ(stack.RedoLabel(), "");
    ASSERT_TRUE(stack.Undo());
    ASSERT_TRUE(stack.Undo());
    EXPECT_FALSE(stack.Undo());
    EXPECT_EQ(Bytes(Doc), s0);
    EXPECT_EQ(stack.RedoLabel(), "first");
    ASSERT_TRUE(stack.Redo());
    EXPECT_EQ(Bytes(Doc), s1);

    UnitTypeChange(Doc, 3);
    ASSERT_TRUE(stack.Commit("third"));
    EXPECT_FALSE(stack.CanRedo());
    EXPECT_EQ(stack.UndoCount(), 2u);
    ASSERT_TRUE(stack.Undo());
    EXPECT_EQ(Bytes(Doc), s1);
    EXPECT_NE(Bytes(Doc), s2);
}

// A snapshot read on another thread keeps the state it was taken in while editing, undo and redo
// go on, the changed parts included; a snapshot of the current state reads as the document.
TEST_F(UndoStackTest, SnapshotsKeepTheirStateWhileTheStackMovesOn) {
    UndoStack stack(Doc);
    const std::vector<uint8_t> s0 = Bytes(Doc);
    const WorldSnapshot first = stack.Snapshot();
    MoveUnit(Doc, UnitAt(Doc, 1), 7.5f, -3.25f);
    ASSERT_TRUE(stack.Commit("move", {}, EditSections::Points));
    const std::vector<uint8_t> s1 = Bytes(Doc);
    const WorldSnapshot second = stack.Snapshot();
    ASSERT_TRUE(stack.Undo());
    for (const auto& [snapshot, bytes] : {std::pair{&first, &s0}, std::pair{&second, &s1}}) {
        WorldDoc read;
        WorldSnapshotRead(*snapshot, read);
        EXPECT_EQ(Bytes(read), *bytes);
    }
    EXPECT_NE(first.Generation, second.Generation);
}

TEST_F(UndoStackTest, ACommitWithoutAChangeIsNoStep) {
    UndoStack stack(Doc);
    const uint64_t generation = stack.Generation();
    Doc.Units.SetCurrentUnit(UnitAt(Doc, 1)); // selection alone
    EXPECT_FALSE(stack.Commit("select"));
    UnitTimeOffsetChange(Doc, u"0"); // stores the value it already has
    EXPECT_FALSE(stack.Commit("same"));
    EXPECT_FALSE(stack.CanUndo());
    EXPECT_EQ(stack.Generation(), generation);
}

TEST_F(UndoStackTest, ABurstInOneFieldIsOneStep) {
    UndoStack stack(Doc);
    Doc.Units.SetCurrentUnit(UnitAt(Doc, 0));
    const int32_t original = UnitAt(Doc, 0)->TimeOffset;
    for (const char16_t* text : {u"1", u"12", u"125"}) {
        ASSERT_TRUE(UnitTimeOffsetChange(Doc, text));
        ASSERT_TRUE(stack.Commit("Time offset", "EditUnitTimeOffset"));
    }
    EXPECT_EQ(stack.UndoCount(), 1u);

    // Another field, a sealed burst and another selected unit each start a new step.
    UnitTimeLengthChange(Doc, u"9");
    stack.Commit("Time length", "EditUnitTimeLength");
    UnitTimeOffsetChange(Doc, u"1250");
    stack.Commit("Time offset", "EditUnitTimeOffset");
    stack.SealBurst();
    UnitTimeOffsetChange(Doc, u"12500");
    stack.Commit("Time offset", "EditUnitTimeOffset");
    Doc.Units.SetCurrentUnit(UnitAt(Doc, 1));
    UnitTimeOffsetChange(Doc, u"3");
    stack.Commit("Time offset", "EditUnitTimeOffset");
    EXPECT_EQ(stack.UndoCount(), 5u);

    while (stack.CanUndo())
        ASSERT_TRUE(stack.Undo());
    EXPECT_EQ(UnitAt(Doc, 0)->TimeOffset, original);
    ASSERT_TRUE(stack.Redo());
    EXPECT_EQ(UnitAt(Doc, 0)->TimeOffset, 125);
}

TEST_F(UndoStackTest, ABurstThatComesBackToItsStartLeavesNoStep) {
    UndoStack stack(Doc);
    Doc.Units.SetCurrentUnit(UnitAt(Doc, 0));
    const std::u16string start = IntToWideQX(UnitAt(Doc, 0)->TimeOffset);
    UnitTimeOffsetChange(Doc, start + u"4");
    stack.Commit("Time offset", "EditUnitTimeOffset");
    UnitTimeOffsetChange(Doc, start); // the typed digit erased again
    EXPECT_TRUE(stack.Commit("Time offset", "EditUnitTimeOffset"));
    EXPECT_FALSE(stack.CanUndo());
    EXPECT_TRUE(stack.AtSaved());
}

TEST_F(UndoStackTest, TheSavedStateIsKnownAcrossUndoRedoAndNewSteps) {
    UndoStack stack(Doc);
    EXPECT_TRUE(stack.AtSaved());
    Doc.Units.SetCurrentUnit(UnitAt(Doc, 0));
    UnitTypeChange(Doc, 1);
    stack.Commit("a");
    EXPECT_FALSE(stack.AtSaved());
    stack.Undo();
    EXPECT_TRUE(stack.AtSaved());
    stack.Redo();
    stack.MarkSaved(); // saved after "a"
    UnitTypeChange(Doc, 2);
    stack.Commit("b");
    stack.Undo();
    EXPECT_TRUE(stack.AtSaved());
    stack.Undo();
    EXPECT_FALSE(stack.AtSaved());
    // A new step from here replaces the saved state's branch: it can no longer be reached.
    UnitTypeChange(Doc, 3);
    stack.Commit("c");
    stack.Undo();
    EXPECT_FALSE(stack.AtSaved());

    UndoStack unsaved(Doc);
    unsaved.Reset(false); // a recovered backup: nothing here is saved
    EXPECT_FALSE(unsaved.AtSaved());
}

TEST_F(UndoStackTest, TheBudgetDropsTheOldestStepsFirst) {
    Doc.Units.SetCurrentUnit(UnitAt(Doc, 0));
    std::size_t stateSize = 0, stepSize = 0;
    {
        UndoStack probe(Doc);
        stateSize = probe.MemoryUsed();
        EXPECT_GE(stateSize, Bytes(Doc).size());
        UnitTimeLengthChange(Doc, u"50");
        ASSERT_TRUE(probe.Commit("length"));
        stepSize = probe.MemoryUsed() - stateSize;
        EXPECT_LT(stepSize, 1024u); // a step holds what it changed, not the world
    }
    UndoStack stack(Doc, stateSize + stepSize * 3 + stepSize / 2); // room for three steps
    std::vector<std::vector<uint8_t>> states{Bytes(Doc)};
    for (int i = 1; i <= 6; ++i) {
        UnitTimeLengthChange(Doc, IntToWideQX(i * 100));
        ASSERT_TRUE(stack.Commit("length"));
        states.push_back(Bytes(Doc));
        EXPECT_LE(stack.MemoryUsed(), stack.Budget());
    }
    EXPECT_EQ(stack.UndoCount(), 3u);
    EXPECT_FALSE(stack.AtSaved()); // the opened state is gone
    while (stack.CanUndo())
        ASSERT_TRUE(stack.Undo());
    EXPECT_EQ(Bytes(Doc), states[3]);
    EXPECT_FALSE(stack.AtSaved());

    // A budget below one state keeps the document's own state and nothing else.
    ASSERT_TRUE(stack.CanRedo());
    stack.SetBudget(1);
    EXPECT_FALSE(stack.CanUndo());
    EXPECT_FALSE(stack.CanRedo());
    EXPECT_EQ(Bytes(Doc), states[3]);
}

TEST_F(UndoStackTest, BoundingBoxesSurviveUndo) {
    UndoStack stack(Doc);
    TgmWorldUnit* u = UnitAt(Doc, 0);
    Doc.Units.CalcBB(u);
    ASSERT_NE(u->BBState, 0);
    const auto corners = u->BBCorner;
    Doc.Units.SetCurrentUnit(UnitAt(Doc, 1));
    UnitTypeChange(Doc, 2);
    stack.Commit("type");
    ASSERT_TRUE(stack.Undo());
    u = UnitAt(Doc, 0);
    EXPECT_NE(u->BBState, 0);
    EXPECT_EQ(u->BBCorner[2].Longitude, corners[2].Longitude);
    EXPECT_EQ(u->BBCorner[2].Polar, corners[2].Polar);

    // A box computed for a unit's new place does not follow it back to the old one.
    TgmWorldUnit* moved = UnitAt(Doc, 1);
    Doc.Units.SetCurrentUnit(moved);
    stack.Checkpoint();
    MoveUnit(Doc, moved, 10, 5);
    stack.Commit("move");
    Doc.Units.CalcBB(moved);
    ASSERT_NE(moved->BBState, 0);
    ASSERT_TRUE(stack.Undo());
    EXPECT_EQ(UnitAt(Doc, 1)->BBState, 0);
    EXPECT_NE(UnitAt(Doc, 0)->BBState, 0);
    ASSERT_TRUE(stack.Redo());
    EXPECT_NE(UnitAt(Doc, 1)->BBState, 0);
}

} // namespace
} // namespace gm
