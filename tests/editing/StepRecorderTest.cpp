#include "editing/StepRecorder.h"

#include <gtest/gtest.h>

#include "editing/DocumentCommands.h"
#include "editing/Settings.h"
#include "foundation/Codec.h"
#include "render/Camera.h"
#include "world/WorldDoc.h"

namespace gm {
namespace {

class QuietHost : public CommandHost {
public:
    std::optional<std::u16string> AskOpenFile(FileKind) override { return std::nullopt; }
    std::optional<std::u16string> AskSaveFile(FileKind) override { return std::nullopt; }
    SaveChoice AskSaveChanges() override { return SaveChoice::Cancel; }
    void ShowError(const std::string& text) override { ADD_FAILURE() << text; }
    void PanelRefresh() override {}
    void CaptionRefresh() override {}
};

class StepRecorderTest : public ::testing::Test {
protected:
    StepRecorderTest() {
        Opts.UnitPath = AnsiToWideQX(GM_TEST_DATA "/units");
        Commands.UnitPathFromSettings();
        EXPECT_TRUE(Commands.UnitLoadFile(Opts.UnitPath + u"/Sub/Pair.TXT", 10, 90));
        EXPECT_TRUE(Commands.UnitLoadFile(Opts.UnitPath + u"/Sub/Pair.TXT", 60, 90));
        Commands.History().Reset(true);
        State.MarkClean();
    }
    // One move step of a unit drag.
    void Nudge() {
        for (TPointGM* p : Doc.Points.PointsOfUnit(Doc.Units.UnitCurrent()))
            if (!p->Master) Doc.Points.SetAngles(p, p->Longitude + 1, p->Polar);
    }
    std::string Bytes() {
        TBufQX buf;
        Doc.WorldWrite(buf);
        return std::string(reinterpret_cast<const char*>(buf.Data),
                           static_cast<std::size_t>(buf.Len));
    }

    WorldDoc Doc;
    Camera Cam;
    ViewFlags Flags;
    Settings Opts;
    DocumentState State;
    QuietHost Host;
    DocumentCommands Commands{Doc, Cam, Flags, Opts, State, Host};
    StepRecorder Recorder{Commands};
};

TEST_F(StepRecorderTest, ADragIsOneStepWithTheSelectionItStartedFrom) {
    const std::string before = Bytes();
    TgmWorldUnit* first = Doc.Units.List().First();
    Doc.Units.SetCurrentUnit(first);

    Recorder.Before(false, true); // right button down on the unit: the drag starts
    Recorder.After(false, true, "Move unit");
    for (int i = 0; i < 3; ++i) {
        Recorder.Before(true, true);
        Nudge();
        Recorder.After(true, true, "Move unit");
    }
    EXPECT_FALSE(Commands.History().CanUndo()); // nothing recorded mid-drag
    Recorder.Before(true, true);                // released
    Recorder.After(false, false, "Release");

    EXPECT_EQ(Commands.History().UndoCount(), 1u);
    EXPECT_EQ(Commands.History().UndoLabel(), "Move unit");
    EXPECT_TRUE(State.Modified());
    Doc.Units.SetCurrentUnit(nullptr);
    ASSERT_TRUE(Commands.EditUndo());
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(Doc.Units.UnitCurrent(), Doc.Units.List().First());
    EXPECT_FALSE(State.Modified());
}

TEST_F(StepRecorderTest, EventsThatChangeNothingMakeNoStep) {
    const uint64_t generation = Commands.History().Generation();
    for (int i = 0; i < 50; ++i) { // the cursor crossing the panel
        Recorder.Before(false, true);
        Recorder.After(false, false, "");
    }
    Recorder.Before(false, true); // a camera drag
    for (int i = 0; i < 5; ++i) {
        Recorder.After(false, true, "");
        Recorder.Before(true, true);
    }
    Recorder.After(false, false, "");
    EXPECT_FALSE(Commands.History().CanUndo());
    EXPECT_EQ(Commands.History().Generation(), generation);
    EXPECT_FALSE(State.Modified());
}

TEST_F(StepRecorderTest, KeysAreAStepEachAndFlushEndsADragEarly) {
    Doc.Units.SetCurrentUnit(Doc.Units.List().First());
    Recorder.Before(false, true);
    Doc.Units.UnitDelete(Doc.Units.UnitCurrent());
    Recorder.After(true, false, "Delete");
    Doc.Units.SetCurrentUnit(Doc.Units.List().First());
    Recorder.Before(false, true);
    Nudge();
    Recorder.After(true, true, "Move unit");
    Recorder.Flush(); // an undo asked for mid-drag
    EXPECT_EQ(Commands.History().UndoCount(), 2u);
    EXPECT_EQ(Commands.History().UndoLabel(), "Move unit");
    Recorder.Before(true, true); // the drag goes on: its further moves are a step of their own
    Nudge();
    Recorder.After(true, false, "Move unit");
    EXPECT_EQ(Commands.History().UndoCount(), 3u);
}

TEST_F(StepRecorderTest, AKeyOrClickDuringADragIsAStepOfItsOwn) {
    const std::string start = Bytes();
    Doc.Units.SetCurrentUnit(Doc.Units.List().First());
    Recorder.Before(false, false); // right button down: the drag starts
    Recorder.After(false, true, "");
    Recorder.Before(true, true);
    Nudge();
    Recorder.After(true, true, "Move unit");
    const std::string movedOnce = Bytes();
    Recorder.Before(true, false); // Z held with the drag: a zone appears
    Doc.Zones.ZoneAdd();
    Recorder.After(true, true, "Create zone");
    const std::string withZone = Bytes();
    Recorder.Before(true, true);
    Nudge();
    Recorder.After(true, true, "Move unit");
    Recorder.Before(true, true); // released
    Recorder.After(false, false, "");

    EXPECT_EQ(Commands.History().UndoCount(), 3u);
    const std::string labels[] = {"Move unit", "Create zone", "Move unit"};
    const std::string states[] = {withZone, movedOnce, start};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Commands.History().UndoLabel(), labels[i]);
        ASSERT_TRUE(Commands.EditUndo());
        EXPECT_EQ(Bytes(), states[i]) << "after undo " << i + 1;
    }
}

} // namespace
} // namespace gm
