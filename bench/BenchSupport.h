#pragma once
// What the benchmark suite and the world tool share: the benchmark world on disk, and a decoder
// that gives every texture file the same small picture (the core has no image decoder, and the
// frame's cost must not depend on which pictures happen to exist).

#include <cstdint>
#include <string>

#include "BenchWorld.h"
#include "render/ImageDecoder.h"

namespace gm::bench {

class PatternDecoder : public ImageDecoder {
public:
    static constexpr int Side = 64;
    bool ReadStart(const std::string& fileName, int& width, int& height) override;
    bool Read(void* dest, int pitch, std::uint32_t redMask, std::uint32_t greenMask,
              std::uint32_t blueMask, std::uint32_t alphaMask, int bytesPerPixel) override;

private:
    bool Open_ = false;
};

struct BenchWorldFiles {
    std::string Folder;     // holds units/ and world.raw
    std::string UnitFolder; // the descriptions
    std::string WorldFile;  // the world as saved
    BenchWorldCounts Counts;
    double BuildSeconds = 0; // writing the descriptions and building the world
};

// Writes the descriptions into folder/units, builds the world and saves it as folder/world.raw.
BenchWorldFiles BenchWorldGenerate(const std::string& folder, const BenchWorldOptions& options);

std::string CountsText(const BenchWorldCounts& c);

} // namespace gm::bench
