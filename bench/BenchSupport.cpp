#include "BenchSupport.h"

#include <chrono>
#include <filesystem>

#include "foundation/Codec.h"
#include "world/WorldDoc.h"

namespace gm::bench {

bool PatternDecoder::ReadStart(const std::string&, int& width, int& height) {
    width = Side;
    height = Side;
    Open_ = true;
    return true;
}

bool PatternDecoder::Read(void* dest, int pitch, std::uint32_t redMask, std::uint32_t greenMask,
                          std::uint32_t blueMask, std::uint32_t alphaMask, int bytesPerPixel) {
    if (!Open_ || bytesPerPixel != 4) return false;
    Open_ = false;
    auto* rows = static_cast<std::uint8_t*>(dest);
    for (int y = 0; y < Side; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(rows + static_cast<std::ptrdiff_t>(y) * pitch);
        for (int x = 0; x < Side; ++x) {
            const bool light = ((x / 8) + (y / 8)) % 2 == 0;
            const std::uint32_t c = light ? 0xC0 : 0x60;
            row[x] = (redMask & (c << 16)) | (greenMask & (c << 8)) | (blueMask & c) | alphaMask;
        }
    }
    return true;
}

BenchWorldFiles BenchWorldGenerate(const std::string& folder, const BenchWorldOptions& options) {
    namespace fs = std::filesystem;
    BenchWorldFiles files;
    files.Folder = folder;
    files.UnitFolder = (fs::path(folder) / "units").string();
    files.WorldFile = (fs::path(folder) / "world.raw").string();
    fs::create_directories(files.UnitFolder);
    const auto start = std::chrono::steady_clock::now();
    BenchWorldWriteUnits(files.UnitFolder, options);
    WorldDoc doc;
    files.Counts = BenchWorldBuild(doc, files.UnitFolder, options);
    doc.WorldSaveAs(AnsiToWideQX(files.WorldFile));
    files.BuildSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return files;
}

std::string CountsText(const BenchWorldCounts& c) {
    return std::to_string(c.Units) + " units, " + std::to_string(c.Points) + " points (" +
           std::to_string(c.LinkedPoints) + " linked), " + std::to_string(c.Triangles) +
           " triangles, " + std::to_string(c.Lines) + " lines, " + std::to_string(c.Keys) +
           " keys, " + std::to_string(c.Zones) + " zones, " + std::to_string(c.ZoneLinks) +
           " zone links";
}

} // namespace gm::bench
