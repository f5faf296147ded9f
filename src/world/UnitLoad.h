#pragma once
// Unit > Load: a description file chosen by the designer becomes a new current unit at the sphere
// point seen at the panel centre. Shared by the main window and the command-line tool, so both can
// tell the designer why a file was refused.

#include <string>

namespace gm {

class TgmWorldUnit;
class UnitStore;

// The sphere point under a panel pixel; Found is false when the view ray misses the sphere.
struct TSpherePick {
    bool Found = false;
    float Longitude = 0;
    float Polar = 0;
};

// The name a unit stores for the description file fileName: relative to unitPath, lower case,
// "\" separated ("..\" steps for a file outside the folder). A file name that cannot be put
// relative to the folder (no folder, another drive) keeps its absolute form, lower-cased. Relative
// names (of the file or the folder) count from the process's current directory.
std::u16string UnitDescPathFromFile(const std::u16string& fileName, const std::u16string& unitPath);

struct UnitLoadResult {
    enum class Outcome {
        Placed, // Unit is the new current unit
        Missed, // the pick found no sphere point: nothing happened
        Failed, // the description could not be loaded; Reason says why, the world is unchanged
    };
    Outcome Status = Outcome::Missed;
    TgmWorldUnit* Unit = nullptr;
    std::u16string DescPath; // the stored name the file was given (empty when Missed)
    std::string Reason;      // the load's error message when Failed
};

// Places a unit of the description fileName at the pick. The store's UnitPath becomes unitPath,
// so that the stored name resolves (now and on reload) against the folder it was made relative to.
UnitLoadResult UnitLoadAtPick(UnitStore& units, const std::u16string& unitPath,
                              const std::u16string& fileName, const TSpherePick& pick);

} // namespace gm
