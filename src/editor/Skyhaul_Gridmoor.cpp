// The editor's entry point: gridmoor [--unit-path DIR] [--start-dir DIR] [WORLD.raw]

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLocale>
#include <QStandardPaths>

#include "editing/DataFolders.h"
#include "editor/Form_Main.h"
#include "foundation/Codec.h"
#include "platform/QSettingsStore.h"

namespace {

std::u16string AbsoluteNative(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdU16String();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("kwr");
    QApplication::setApplicationName("SkyhaulGridmoor");
    QApplication::setWindowIcon(QIcon(":/gridmoor/gridmoor.png"));
    // Numbers are written and read with "." whatever the user's locale says.
    QLocale::setDefault(QLocale::c());

    QCommandLineParser parser;
    parser.addHelpOption();
    // For one run (such as the bundled examples) without touching the stored setting.
    const QCommandLineOption unitPathOption(
        "unit-path", "Take unit descriptions from DIR for this run instead of the stored setting.",
        "DIR");
    const QCommandLineOption startDirOption(
        "start-dir",
        "Look up bg.jpg and texture names in DIR for this run instead of the start folder.", "DIR");
    parser.addOption(unitPathOption);
    parser.addOption(startDirOption);
    parser.addPositionalArgument("world", "World file to open.", "[WORLD.raw]");
    parser.process(app);

    gm::QSettingsStore store;
    const std::optional<std::u16string> bundled = gm::BundledDataFolder(gm::ExecutableFolder());
    const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const gm::SettingsDefaults defaults =
        gm::FirstStartDefaults(bundled, QDir::toNativeSeparators(appData).toStdU16String());

    gm::StartFolderChoice start;
    if (parser.isSet(startDirOption)) start.ForRun = AbsoluteNative(parser.value(startDirOption));
    start.Stored = store.ReadStr(gm::SettingStartDir).value_or(u"");
    start.Current = QDir::toNativeSeparators(QDir::currentPath()).toStdU16String();
    start.Bundled = bundled;

    // A first start exports into the user's own copy of the example game folder.
    std::string gameError;
    if (!store.ReadStr(gm::SettingSkyhaulPath))
        gameError = gm::UserGameFolderEnsure(bundled, defaults.SkyhaulPath);

    gm::TFormMain window(store, gm::StartFolderChoose(start), defaults);
    if (!gameError.empty()) window.QueueMessage(gameError);
    window.SetStartDirAutomatic(gm::StartFolderAutomatic(start));
    if (parser.isSet(unitPathOption))
        window.Opts.UnitPath = AbsoluteNative(parser.value(unitPathOption));
    window.Doc.Units.UnitPath = gm::WideToAnsiQX(window.Opts.UnitPath);
    // Backups of unsaved work, per user; a run that did not end cleanly left one to offer.
    if (!appData.isEmpty()) window.StartSession((appData + "/backups").toStdU16String());
    window.showMaximized();
    window.activateWindow();
    const bool recovered = window.OfferRecovery();
    const QStringList args = parser.positionalArguments();
    if (!recovered && !args.isEmpty())
        window.OpenAtStart(QFileInfo(args[0]).absoluteFilePath().toStdU16String());
    return QApplication::exec();
}
