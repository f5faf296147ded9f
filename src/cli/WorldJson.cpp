#include "cli/WorldJson.h"

#include <unordered_map>

#include "foundation/Codec.h"
#include "world/WorldDoc.h"

namespace gm {

namespace {

// Position of every object of a list, so that references print as indices in one pass.
template <typename T> std::unordered_map<const T*, int64_t> IndexOf(const ListQX<T>& list) {
    std::unordered_map<const T*, int64_t> index;
    int64_t n = 0;
    for (const T* item : list)
        index.emplace(item, n++);
    return index;
}

template <typename T>
WorldJson RefOf(const std::unordered_map<const T*, int64_t>& index, const T* item) {
    if (!item) return nullptr;
    const auto it = index.find(item);
    return it == index.end() ? WorldJson(nullptr) : WorldJson(it->second);
}

std::string Text(const std::u16string& s) {
    return WideToUtf8QX(s);
}

WorldJson Vec(const TVec3& v) {
    return WorldJson::array({v.x, v.y, v.z});
}

std::string KeyText(const KeyPtr& key) {
    return key ? Text(key->Save()) : std::string();
}

} // namespace

void WorldJsonWrite(const WorldDoc& doc, int32_t version, WorldJsonSink& sink) {
    const auto units = IndexOf(doc.Units.List());
    const auto lists = IndexOf(doc.Keys.Lists());
    const auto points = IndexOf(doc.Points.List());
    // Lists refer to their owner through the key interface; map that back to the unit.
    std::unordered_map<const IKeyUnit*, const TgmWorldUnit*> unitOfKeyUnit;
    for (const TgmWorldUnit* u : doc.Units.List())
        unitOfKeyUnit.emplace(u, u);

    sink.Value("version", version);
    sink.Value("radius", doc.WorldRadius);

    sink.BeginArray("units");
    for (const TgmWorldUnit* u : doc.Units.List()) {
        sink.Item({{"descPath", Text(u->DescPath)},
                   {"unitType", u->UnitType},
                   {"timeOffset", u->TimeOffset},
                   {"keyGroup", u->KeyGroup},
                   {"timeLength", u->TimeLength},
                   {"centre", Vec(u->Centre)}});
    }

    sink.BeginArray("keyGroupLists");
    for (const TKeyGroupList* list : doc.Keys.Lists()) {
        const auto owner = unitOfKeyUnit.find(list->Unit);
        WorldJson groups = WorldJson::array();
        for (const auto& g : list->Groups)
            groups.push_back(Text(g->Name));
        sink.Item({{"unit", owner == unitOfKeyUnit.end() ? WorldJson(nullptr)
                                                         : RefOf(units, owner->second)},
                   {"groups", std::move(groups)}});
    }

    sink.BeginArray("points");
    for (const TPointGM* p : doc.Points.List()) {
        WorldJson pointUnits = WorldJson::array();
        for (const TgmWorldUnit* u : p->Units)
            pointUnits.push_back(RefOf(units, u));
        sink.Item({{"id", Text(p->Id)},
                   {"longitude", p->Longitude},
                   {"polar", p->Polar},
                   {"radius", p->Radius},
                   {"pos", Vec(p->Pos)},
                   {"master", RefOf(points, static_cast<const TPointGM*>(p->Master))},
                   {"portId", Text(p->PortId)},
                   {"portType", Text(p->PortType)},
                   {"portLink", Text(p->PortLink)},
                   {"savedPortId", Text(p->SavedPortId)},
                   {"savedPortType", Text(p->SavedPortType)},
                   {"savedPortLink", Text(p->SavedPortLink)},
                   {"units", std::move(pointUnits)}});
    }

    // A triangle's or line's keys are made on its key group list.
    auto listOf = [&lists](const KeyPtr& key) {
        return key ? RefOf(lists, static_cast<const TKeyGroupList*>(key->List))
                   : WorldJson(nullptr);
    };

    sink.BeginArray("triangles");
    for (const TTriangleGM* t : doc.Triangles.List()) {
        WorldJson corners = WorldJson::array();
        for (const TTriangleCorner& c : t->Corner)
            corners.push_back({{"point", RefOf(points, static_cast<const TPointGM*>(c.Point))},
                               {"u", c.U},
                               {"v", c.V},
                               {"key", KeyText(c.Key)}});
        sink.Item({{"unit", RefOf(units, static_cast<const TgmWorldUnit*>(t->Unit))},
                   {"keyGroupList", listOf(t->Corner[0].Key)},
                   {"texture", Text(t->Texture)},
                   {"backFace", t->BackFace},
                   {"corners", std::move(corners)}});
    }

    sink.BeginArray("lines");
    for (const TLineGM* l : doc.Lines.List()) {
        sink.Item({{"unit", RefOf(units, static_cast<const TgmWorldUnit*>(l->Unit))},
                   {"keyGroupList", listOf(l->KeyStart)},
                   {"pointStart", RefOf(points, static_cast<const TPointGM*>(l->PointStart))},
                   {"pointEnd", RefOf(points, static_cast<const TPointGM*>(l->PointEnd))},
                   {"keyStart", KeyText(l->KeyStart)},
                   {"keyEnd", KeyText(l->KeyEnd)},
                   {"visible", l->Visible},
                   {"stop", l->Stop}});
    }

    const auto zones = IndexOf(doc.Zones.Zones());
    sink.BeginArray("zones");
    for (const TgmZone* z : doc.Zones.Zones()) {
        sink.Item({{"longitude", z->Longitude},
                   {"polar", z->Polar},
                   {"radiusAngle", z->RadiusAngle},
                   {"radiusLen", z->RadiusLen},
                   {"type", z->ZoneType},
                   {"graph", Text(z->Graph)},
                   {"hitpoints", z->Hitpoints},
                   {"mass", z->Mass},
                   {"damage", z->Damage},
                   {"itemFlags", z->ItemFlags},
                   {"itemFreq", z->ItemFreq}});
    }
    sink.BeginArray("zoneLinks");
    for (const TgmZoneLink* l : doc.Zones.Links()) {
        sink.Item({{"zoneA", RefOf(zones, static_cast<const TgmZone*>(l->ZoneA))},
                   {"zoneB", RefOf(zones, static_cast<const TgmZone*>(l->ZoneB))},
                   {"linkType", l->LinkType}});
    }
    sink.End();
}

namespace {

// Builds the whole tree, for callers that want the document as one value.
class TreeSink final : public WorldJsonSink {
public:
    WorldJson Out = WorldJson::object();
    void Value(const char* key, WorldJson value) override { Out[key] = std::move(value); }
    void BeginArray(const char* key) override { Array_ = &(Out[key] = WorldJson::array()); }
    void Item(WorldJson item) override { Array_->push_back(std::move(item)); }
    void End() override {}

private:
    WorldJson* Array_ = nullptr;
};

// Writes each entry as soon as it is made, in the layout of dump(2), so a big world never has
// its whole JSON tree or text in memory at once.
class StreamSink final : public WorldJsonSink {
public:
    explicit StreamSink(std::ostream& out) : Out_(out) { Out_ << '{'; }
    void Value(const char* key, WorldJson value) override {
        CloseArray();
        Key(key);
        Out_ << Dump(value);
    }
    void BeginArray(const char* key) override {
        CloseArray();
        Key(key);
        Out_ << '[';
        InArray_ = true;
        Items_ = 0;
    }
    void Item(WorldJson item) override {
        Out_ << (Items_++ ? ",\n" : "\n");
        // Entries sit two levels deep: every line of their own layout moves four spaces in.
        const std::string text = Dump(item);
        std::size_t from = 0;
        for (;;) {
            const std::size_t nl = text.find('\n', from);
            Out_ << "    "
                 << std::string_view(text).substr(from, nl == std::string::npos ? nl : nl - from);
            if (nl == std::string::npos) break;
            Out_ << '\n';
            from = nl + 1;
        }
    }
    void End() override {
        CloseArray();
        Out_ << "\n}";
    }

private:
    static std::string Dump(const WorldJson& v) {
        return v.dump(2, ' ', false, WorldJson::error_handler_t::replace);
    }
    void Key(const char* key) { Out_ << (Keys_++ ? ",\n" : "\n") << "  \"" << key << "\": "; }
    void CloseArray() {
        if (!InArray_) return;
        if (Items_) Out_ << "\n  ";
        Out_ << ']';
        InArray_ = false;
    }
    std::ostream& Out_;
    int Keys_ = 0;
    bool InArray_ = false;
    std::size_t Items_ = 0;
};

} // namespace

WorldJson WorldToJson(const WorldDoc& doc, int32_t version) {
    TreeSink sink;
    WorldJsonWrite(doc, version, sink);
    return std::move(sink.Out);
}

void WorldJsonStream(const WorldDoc& doc, int32_t version, std::ostream& out) {
    StreamSink sink(out);
    WorldJsonWrite(doc, version, sink);
}

} // namespace gm
