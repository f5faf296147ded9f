#pragma once
// Where the editor and the command-line tool find their bundled data (the background picture, the
// example units and game folder), which folder is the start folder, and the folders used on a
// first start. Works the same from a build tree, an install and any current folder.

#include <optional>
#include <string>

#include "editing/Settings.h"

namespace gm {

// The folder of the running executable; empty when the system cannot tell.
std::u16string ExecutableFolder();

// The bundled data next to an executable in exeFolder: "../share/gridmoor" in an install, the
// "gridmoor-data" link the build puts beside it in a build tree. A candidate counts when it holds a
// "units" folder. Absolute and without "." or "..".
std::optional<std::u16string> BundledDataFolder(const std::u16string& exeFolder);

// The bundled example units of the running program as 8-bit text; raises ErrorQX when the
// program has no bundled data beside it.
std::string BundledUnitFolder();

// The start folder where "bg.jpg" and texture names are looked up. In order: the folder given
// for this run, the stored one, the current folder when it holds "bg.jpg", the bundled data, and
// at last the current folder.
struct StartFolderChoice {
    std::u16string ForRun;  // --start-dir; empty when not given
    std::u16string Stored;  // the setting; empty for automatic
    std::u16string Current; // the process's current folder
    std::optional<std::u16string> Bundled;
};
std::u16string StartFolderAutomatic(const StartFolderChoice& choice);
std::u16string StartFolderChoose(const StartFolderChoice& choice);

// Unit folder and game folder when none is stored: the bundled example units, and the user's own
// copy of the example game folder (userData + "/game"), so that a test export never writes into
// the install or the source tree. Without bundled data: the platform's old defaults.
SettingsDefaults FirstStartDefaults(const std::optional<std::u16string>& bundled,
                                    const std::u16string& userData);

// Copies the bundled example game folder to gameFolder when gameFolder does not exist yet and it
// is the first-start default. Returns an error text for the user, empty when nothing failed.
std::string UserGameFolderEnsure(const std::optional<std::u16string>& bundled,
                                 const std::u16string& gameFolder);

} // namespace gm
