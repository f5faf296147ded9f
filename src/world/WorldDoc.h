#pragma once
// The one world document: the document-wide values, every object list of the world model, and
// the binary world file (*.raw) that keeps them. Object kinds plug their sections into the fixed
// slots of WorldWrite/WorldRead.

#include <cstdint>
#include <string>

#include "foundation/QX_Buf.h"
#include "world/GMKey.h"
#include "world/GMLine.h"
#include "world/GMPoint.h"
#include "world/GMTriangle.h"
#include "world/WorldLine.h"
#include "world/WorldUnit.h"
#include "zones/WorldZone.h"

namespace gm {

class Scene;

class WorldDoc {
public:
    static constexpr int32_t WorldVersion = 3;        // written, and the highest read
    static constexpr int32_t WorldMagic = 0x5A564B48; // "HKVZ"
    static constexpr float DefaultRadius = 1000.0f;
    static constexpr float MinRadius = 500.0f; // floor of WorldRadiusSet

    float WorldRadius = DefaultRadius; // not reset by WorldClear
    std::u16string WorldFileName;      // empty means untitled
    int32_t LoadVersion = 0;           // meaningful only while a file is read

    KeyStore Keys; // before the lists whose keys it holds
    PointStore Points;
    TriangleStore Triangles{Keys};
    LineStore Lines{Keys};
    UnitStore Units{Keys, Points, Triangles, Lines, WorldRadius};
    WorldLineStore WorldLines; // the grid and every other world line
    ZoneStore Zones{WorldRadius};

    WorldDoc() = default;
    WorldDoc(const WorldDoc&) = delete;
    WorldDoc& operator=(const WorldDoc&) = delete;

    // The scene that the lists draw into, so that clearing the world releases their scene
    // objects. Null (a document without a view) is allowed; objects left then are released by
    // the lists' next drawing.
    void SetScene(Scene* scene) noexcept;
    Scene* GetScene() const noexcept { return Scene_; }

    // Replaces the document with the file's content. On failure the document is empty and
    // untitled and the result is the text to show ("Error : " + message); on success it is empty.
    std::string WorldOpen(const std::u16string& fileName);

    // Writes the document to WorldFileName (which must not be empty). Failures raise ErrorQX with
    // the file layer's message; the file on disk is then untouched.
    void WorldSave();
    // Adopts fileName at once (before writing, as the caller's caption relies on), then saves.
    void WorldSaveAs(const std::u16string& fileName);

    // Deletes every object of the world in dependency order. Radius and file name stay.
    void WorldClear();

    // The Main page's radius field: Max(500, the digits of text). Returns new - old, which the
    // caller adds to the camera distance.
    float WorldRadiusSet(const std::u16string& text);

    // The whole file in memory; used by Save and by the tests.
    void WorldWrite(TBufQX& buf);
    // Reads a whole file from buf into the (cleared) document; raises ErrorQX on any fault.
    void WorldRead(TBufQX& buf);

    // The world file's parts in file order; the file is their bytes one after the other. An
    // undo history rewrites only the parts an edit touched.
    enum Section : int {
        Head,
        UnitSection,
        KeyGroupSection,
        PointSection,
        TriangleSection,
        LineSection,
        ZoneSection,
        SectionCount
    };
    // Writes the parts whose bits ((1 << Section) each) are set in mask, each into its buffer
    // (appending), exactly as WorldWrite writes them.
    void SectionsWrite(uint32_t mask, TBufQX* const (&bufs)[SectionCount]);

private:
    Scene* Scene_ = nullptr;

    TgmWorldUnit* UnitOf(uint32_t n); // null when the file names no such unit
    void UnitsWrite(TBufQX& buf);
    void KeyGroupsWrite(TBufQX& buf);
    void PointsWrite(TBufQX& buf);
    void TrianglesWrite(TBufQX& buf);
    void LinesWrite(TBufQX& buf);
    void ZonesWrite(TBufQX& buf);

    void UnitsRead(TBufQX& buf);
    void KeyGroupsRead(TBufQX& buf);
    void PointsRead(TBufQX& buf);
    void TrianglesRead(TBufQX& buf);
    void LinesRead(TBufQX& buf);
    void ZonesRead(TBufQX& buf);
};

} // namespace gm
