// The benchmark world outside the suite:
//   gridmoor-benchworld generate DIR [UNITS]   writes DIR/units/*.txt and DIR/world.raw
//   gridmoor-benchworld open FILE              opens a world file and prints what it holds
// `open` is the memory probe of `./dev bench`: a document holding the world, nothing else.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchSupport.h"
#include "foundation/Codec.h"
#include "foundation/QX_Error.h"
#include "world/WorldDoc.h"

namespace {

int Usage() {
    std::fprintf(stderr, "Usage: gridmoor-benchworld generate DIR [UNITS]\n"
                         "       gridmoor-benchworld open FILE\n");
    return 2;
}

int Run(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "generate") == 0 && argc <= 4) {
        gm::BenchWorldOptions options;
        if (argc == 4) options.Units = std::stoi(argv[3]);
        const gm::bench::BenchWorldFiles files = gm::bench::BenchWorldGenerate(argv[2], options);
        std::printf("%s: %s (%.1f s)\n", files.WorldFile.c_str(),
                    gm::bench::CountsText(files.Counts).c_str(), files.BuildSeconds);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "open") == 0) {
        gm::WorldDoc doc;
        const auto start = std::chrono::steady_clock::now();
        const std::string error = doc.WorldOpen(gm::AnsiToWideQX(argv[2]));
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (!error.empty()) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        std::printf("%d units, %d points, %d triangles, %d lines, %zu keys, %d zones, %d zone "
                    "links; opened in %.1f ms\n",
                    doc.Units.UnitCount(), doc.Points.PointCount(), doc.Triangles.TriangleCount(),
                    doc.Lines.LineCount(), doc.Keys.Keys().Size(), doc.Zones.ZoneCount(),
                    doc.Zones.ZoneLinkCount(), ms);
        return 0;
    }
    return Usage();
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const gm::ErrorQX& e) {
        std::fprintf(stderr, "gridmoor-benchworld: %s\n", e.Message().c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gridmoor-benchworld: %s\n", e.what());
        return 1;
    }
}
