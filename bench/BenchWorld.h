#pragma once
// A large, deterministic world for measuring the editor: unit descriptions of a fixed shape are
// written into a folder, then placed over the whole sphere in rings, neighbours in a ring joined
// through their ports, with zones and zone links scattered between them. The same options always
// give the same files and the same world.

#include <cstdint>
#include <string>

namespace gm {

class WorldDoc;

struct BenchWorldOptions {
    // Every unit has this shape: a 5 x 4 grid of points whose outer columns are ports, the grid's
    // 24 triangles plus 6 two-sided ones, 10 lines along the edge, three key groups.
    static constexpr int32_t PointsPerUnit = 20;
    static constexpr int32_t TrianglesPerUnit = 30;
    static constexpr int32_t LinesPerUnit = 10;
    static constexpr int32_t GroupsPerUnit = 3;

    int32_t Units = 2000;
    int32_t Kinds = 8; // description files, used in turn
    int32_t Zones = 200;
    int32_t ZoneLinks = 300;
    // Every triangle shows this texture (one atlas, so that a frame batches well), named as the
    // editor names textures: relative to its start folder.
    std::u16string Texture = u"units\\textures\\planks.png";
    uint32_t Seed = 1;
};

struct BenchWorldCounts {
    int32_t Units = 0;
    int32_t Points = 0;
    int32_t LinkedPoints = 0; // points that joined a neighbour's group
    int32_t Triangles = 0;
    int32_t Lines = 0;
    int32_t Keys = 0;
    int32_t Zones = 0;
    int32_t ZoneLinks = 0;
};

// The stored name (relative to the unit folder) of description `kind`.
std::u16string BenchWorldUnitName(int32_t kind);

// Writes the options' description files into unitFolder (which must exist). Raises ErrorQX when
// a file cannot be written.
void BenchWorldWriteUnits(const std::string& unitFolder, const BenchWorldOptions& options);

// Clears doc and builds the world from the descriptions in unitFolder (written by
// BenchWorldWriteUnits with the same options); doc's unit folder becomes unitFolder. The world
// radius is left as it is. Raises ErrorQX when a description cannot be loaded or the options are
// out of range (no units or kinds, negative counts).
BenchWorldCounts BenchWorldBuild(WorldDoc& doc, const std::string& unitFolder,
                                 const BenchWorldOptions& options);

} // namespace gm
