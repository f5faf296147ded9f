// The editor's entry point: gridmoor [WORLD.raw]

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include "editor/Form_Main.h"
#include "platform/QSettingsStore.h"

namespace {

// The folder holding the bundled examples: next to an installed program, or the source tree of a
// build tree.
std::u16string ExamplesBase() {
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {appDir + "/../share/gridmoor", QStringLiteral(GM_SOURCE_DIR)};
    for (const QString& base : candidates) {
        if (QFileInfo(base + "/examples/units").isDir())
            return QDir::cleanPath(base).toStdU16String();
    }
    return QDir::currentPath().toStdU16String();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("kwr");
    QApplication::setApplicationName("SkyhaulGridmoor");
    // Numbers are written and read with "." whatever the user's locale says.
    QLocale::setDefault(QLocale::c());

    gm::QSettingsStore store;
    const auto defaults = gm::SettingsDefaults::ForPlatform(ExamplesBase());
    gm::TFormMain window(store, QDir::currentPath().toStdU16String(), defaults);
    window.showMaximized();
    window.activateWindow();
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) window.OpenAtStart(QFileInfo(args[1]).absoluteFilePath().toStdU16String());
    return QApplication::exec();
}
