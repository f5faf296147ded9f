// The editor's entry point: gridmoor [--unit-path DIR] [WORLD.raw]

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

#include "editor/Form_Main.h"
#include "foundation/Codec.h"
#include "foundation/QX_File.h"
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
    gm::IgnoreFileSizeSignalQX();
    QApplication app(argc, argv);
    QApplication::setOrganizationName("kwr");
    QApplication::setApplicationName("SkyhaulGridmoor");
    // Numbers are written and read with "." whatever the user's locale says.
    QLocale::setDefault(QLocale::c());

    QCommandLineParser parser;
    parser.addHelpOption();
    // For one run (such as the bundled examples) without touching the stored setting.
    const QCommandLineOption unitPathOption(
        "unit-path", "Take unit descriptions from DIR for this run instead of the stored setting.",
        "DIR");
    parser.addOption(unitPathOption);
    parser.addPositionalArgument("world", "World file to open.", "[WORLD.raw]");
    parser.process(app);

    gm::QSettingsStore store;
    const auto defaults = gm::SettingsDefaults::ForPlatform(ExamplesBase());
    gm::TFormMain window(store, QDir::currentPath().toStdU16String(), defaults);
    if (parser.isSet(unitPathOption))
        window.Opts.UnitPath =
            QDir::toNativeSeparators(QFileInfo(parser.value(unitPathOption)).absoluteFilePath())
                .toStdU16String();
    window.Doc.Units.UnitPath = gm::WideToAnsiQX(window.Opts.UnitPath);
    // Backups of unsaved work, per user; a run that did not end cleanly left one to offer.
    const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!appData.isEmpty()) window.StartSession((appData + "/backups").toStdU16String());
    window.showMaximized();
    window.activateWindow();
    const bool recovered = window.OfferRecovery();
    const QStringList args = parser.positionalArguments();
    if (!recovered && !args.isEmpty())
        window.OpenAtStart(QFileInfo(args[0]).absoluteFilePath().toStdU16String());
    return QApplication::exec();
}
