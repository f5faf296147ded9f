// Bodies of the blockpar, key_load and unit_desc targets.

#include <algorithm>
#include <cmath>

#include "foundation/Codec.h"
#include "foundation/QX_BlockPar.h"
#include "foundation/QX_Error.h"
#include "harness/FuzzChecks.h"
#include "world/UnitLoad.h"
#include "world/WorldDoc.h"

namespace gm::fuzz {

namespace {

std::string FileName(std::size_t part) {
    return part == 0 ? std::string("main.txt") : std::string(IncludeNames[part - 1]);
}

// The same text as UTF-16 with a byte-order mark, each byte one code unit.
std::string Widened(std::string_view bytes) {
    std::string wide = "\xFF\xFE";
    for (char c : bytes) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

std::string Saved(const TBlockParQX& block) {
    TBufQX buf;
    // Includes can merge a thousand files into one tree: grow in big steps, as big writers do,
    // or every step copies the whole text again.
    buf.Grow = 1 << 20;
    block.SaveToBuf(buf);
    return std::string(reinterpret_cast<const char*>(buf.Data), static_cast<std::size_t>(buf.Len));
}

struct BlockParOutcome {
    std::string Error; // empty when the load succeeded
    std::string Text;  // what was loaded (up to the failure), as the writer writes it
};

BlockParOutcome LoadBlockPar(const std::string& file) {
    BlockParOutcome out;
    TBlockParQX block;
    try {
        block.LoadFromFile(file);
    } catch (const ErrorQX& e) {
        out.Error = e.Message();
        Require(!out.Error.empty(), "a failed load says why");
    }
    out.Text = Saved(block);
    return out;
}

// Whether loading file reads more text than the context's budget allows (see TextBudget).
bool OverTextBudget(const FuzzContext& ctx, const std::string& file) {
    if (ctx.TextBudget >= BlockParLimits{}.Bytes) return false;
    try {
        TBlockParQX().LoadFromFile(file,
                                   {.Files = BlockParLimits{}.Files, .Bytes = ctx.TextBudget});
    } catch (const ErrorQX& e) {
        return e.Message().rfind("TBlockParQX.LoadFromFile. bytes>", 0) == 0;
    }
    return false;
}

bool IsAsciiText(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// What a key needs from its unit, set per case.
class KeyUnit : public IKeyUnit {
public:
    KeyUnit(int32_t offset, int32_t length, int32_t type, int32_t group)
        : Offset_(offset), Length_(length), Type_(type), Group_(group) {}
    int32_t KeyTimeOffset() const override { return Offset_; }
    int32_t KeyTimeLength() const override { return Length_; }
    int32_t KeyUnitType() const override { return Type_; }
    bool KeyVisible() const override { return true; }
    int32_t KeyGroupIndex() const override { return Group_; }

private:
    int32_t Offset_, Length_, Type_, Group_;
};

struct KeyCase {
    std::vector<std::u16string> Groups;
    int32_t Offset, Length, Type, Group;
};

std::string LoadError(TKeyGM& key, const std::u16string& text) {
    try {
        key.Load(text);
        return {};
    } catch (const ErrorQX& e) {
        return e.Message();
    }
}

// Blobs are sampled only while they stay small (16384 samples), to keep each input fast; the
// export refuses big ones before sampling, and its own target samples those it keeps.
constexpr int64_t SampledBlobLimit = 1 << 16;

void KeyCaseOne(const KeyCase& c, const std::u16string& text) {
    KeyStore store;
    KeyUnit unit(c.Offset, c.Length, c.Type, c.Group);
    TKeyGroupList* list = store.KeyGroupListAdd(&unit);
    for (const std::u16string& name : c.Groups)
        list->GroupInsert(list->GroupCount())->Name = name;
    list->CurrentGroup = c.Group;

    // A key of three keys first, as a key loaded twice is: the outcome must not depend on it.
    std::u16string three = u"3,10,20,30";
    for (std::size_t k = 0; k < 3 * c.Groups.size(); ++k)
        three += u",01 02 03 04";
    KeyPtr grown = store.KeyNew(list);
    Require(LoadError(*grown, three).empty(), "a key of three keys loads");

    KeyPtr key = store.KeyNew(list);
    const std::string error = LoadError(*key, text);
    Require(LoadError(*grown, text) == error, "a key text loads alike into any key");
    if (!error.empty()) {
        Require(error == "TKeyGM.Load" || error == "TKeyGM.KeyDelete",
                "a key text that does not fit fails with the key's message, not \"" + error + "\"");
        return;
    }
    Require(key->Count() >= 1, "a loaded key has at least one key");
    Require(key->Rows() == list->GroupCount(), "a loaded key has a row of values per group");
    const std::u16string saved = key->Save();
    Require(grown->Save() == saved, "a key text loads alike into any key");

    KeyPtr again = store.KeyNew(list);
    Require(LoadError(*again, saved).empty(), "a saved key loads again");
    Require(again->Save() == saved, "a saved key reads back the same");

    for (const float t : {0.0f, 19.0f, 1000.0f, -1.0f, 2147483520.0f, -2147483648.0f, 1e30f}) {
        const TKeyCalc r = key->Calc(t);
        Require(r.Index >= 0 && r.Index < key->Count() && r.Next >= 0 && r.Next < key->Count() &&
                    std::isfinite(r.Fraction),
                "evaluating a key gives keys it has");
        key->Update(static_cast<int32_t>(t > 2e9f ? 2000000000 : t < -2e9f ? -2000000000 : t));
    }

    const int64_t size = key->KeyBlobSize();
    if (size > SampledBlobLimit) return;
    TBufQX scratch;
    KeyPool pool;
    Require(key->KeyBlobAdd(scratch, pool) == 0, "the first blob starts the pool");
    Require(scratch.Len == size, "a key blob is as long as its size said");
    Require(list->CurrentGroup == c.Group, "sampling puts the current group back");
    Require(again->KeyBlobAdd(scratch, pool) == 0, "equal keys share one blob");
    TBufQX sampled;
    again->KeyBlobBuild(sampled);
    Require(sampled.Len == scratch.Len &&
                std::equal(sampled.Data, sampled.Data + sampled.Len, scratch.Data),
            "the shared blob is the one the second key samples to");
}

} // namespace

void BlockParOne(FuzzContext& ctx, std::string_view input) {
    const std::vector<std::string_view> files = SplitFiles(input);
    const std::string main = ctx.File(FileName(0));
    const auto writeNarrow = [&] {
        for (std::size_t i = 0; i < files.size(); ++i)
            ctx.Write(FileName(i), files[i]);
    };
    // Widened, text that was no include header in 8 bits can become one.
    const auto writeWide = [&] {
        for (std::size_t i = 0; i < files.size(); ++i)
            ctx.Write(FileName(i), Widened(files[i]));
    };
    writeWide();
    if (OverTextBudget(ctx, main)) return;
    writeNarrow();
    if (OverTextBudget(ctx, main)) return;
    const BlockParOutcome narrow = LoadBlockPar(main);

    // ASCII text says the same in UTF-16 (a text of two bytes or fewer is empty only in 8 bits).
    writeWide();
    const BlockParOutcome wide = LoadBlockPar(main);
    const bool comparable = std::all_of(files.begin(), files.end(), [](std::string_view f) {
        return f.size() > 2 && IsAsciiText(f);
    });
    // The byte limit counts bytes, and UTF-16 text has twice as many: past half the limit the
    // two loads stop at different places.
    const auto overVolume = [](const BlockParOutcome& o) {
        return o.Error.rfind("TBlockParQX.LoadFromFile. bytes>", 0) == 0;
    };
    if (comparable && !overVolume(wide)) {
        Require(wide.Error == narrow.Error, "UTF-16 text fails as its 8-bit text does");
        Require(wide.Text == narrow.Text, "UTF-16 text reads as its 8-bit text does");
    }

    // Written and read again, a tree keeps its names and values (one text when both are alike).
    std::vector<const BlockParOutcome*> written = {&narrow};
    if (wide.Text != narrow.Text) written.push_back(&wide);
    for (const BlockParOutcome* o : written) {
        TBufQX buf;
        buf.AddStr(o->Text);
        buf.PointerSet(0);
        TBlockParQX again;
        try {
            again.LoadFromBuf(buf);
        } catch (const ErrorQX& e) {
            throw HarnessFailure("written parameter blocks read again, but: " + e.Message());
        }
        Require(Saved(again) == o->Text, "written parameter blocks read back the same");
    }
}

void KeyLoadOne(FuzzContext&, std::string_view input) {
    const std::u16string text = AnsiToWideQX(input);
    const KeyCase cases[] = {
        {{}, 0, 0, 0, 0},
        {{u"0"}, 0, 0, 0, 0},
        {{u"1", u"2", u"x"}, -30, 200, 2, 1},
    };
    for (const KeyCase& c : cases)
        KeyCaseOne(c, text);
}

void UnitDescOne(FuzzContext& ctx, std::string_view input) {
    const std::vector<std::string_view> files = SplitFiles(input);
    for (std::size_t i = 0; i < files.size(); ++i)
        ctx.Write(i == 0 ? "unit.txt" : FileName(i), files[i]);
    if (OverTextBudget(ctx, ctx.File("unit.txt"))) return;
    const std::u16string folder = AnsiToWideQX(ctx.Path().string());

    WorldDoc doc;
    const TSpherePick pick{true, 45.0f, 60.0f};
    const UnitLoadResult r =
        UnitLoadAtPick(doc.Units, folder, AnsiToWideQX(ctx.File("unit.txt")), pick);
    if (r.Status == UnitLoadResult::Outcome::Failed) {
        Require(!r.Reason.empty(), "a refused description says why");
        Require(!r.Unit && WorldIsEmpty(doc), "a refused description leaves the world unchanged");
        return;
    }
    Require(r.Status == UnitLoadResult::Outcome::Placed && r.Unit, "a loaded unit is placed");
    TgmWorldUnit* first = r.Unit;
    Require(doc.Units.UnitCount() == 1 && doc.Units.UnitCurrent() == first,
            "the new unit is the one current unit");
    Require(doc.Points.PointsOfUnitCount(first) >= 1, "a unit has a point");
    for (const TPointGM* p : doc.Points.List())
        Require(p->Number == -1, "a placed unit's points have no number");

    // A second one beside it, joined through their ports as the designer would.
    std::string reason;
    TgmWorldUnit* second = doc.Units.UnitCreateAt(r.DescPath, 46.0f, 60.0f, &reason);
    Require(second != nullptr, "a description that loaded once loads again: " + reason);
    doc.Units.PortAutoLink(second);
    DrawFrames(doc);
    Require(doc.Units.UnitReload(first), "an unchanged description reloads");
    Require(doc.Units.UnitCount() == 2, "a reload replaces the unit");
    RequireRoundTrip(doc);

    doc.Units.UnitClearAll();
    Require(WorldIsEmpty(doc), "deleting the units leaves nothing of them");
}

} // namespace gm::fuzz
