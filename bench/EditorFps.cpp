// The running editor on a world: opens it in the main window, lets the frame loop run for a
// while, and prints what the frames-per-second label shows. Run it on a display (or under
// xvfb-run); the world's textures are looked for in START_DIR, as the editor does.
//
//   gridmoor-editorfps WORLD.raw UNIT_DIR START_DIR [SECONDS]

#include <cstdio>
#include <string>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QTimer>

#include "editing/Settings.h"
#include "editor/Form_Main.h"
#include "editor/ProblemsDock.h"
#include "foundation/Codec.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "Usage: gridmoor-editorfps WORLD.raw UNIT_DIR START_DIR [SECONDS]\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    const int seconds = argc > 4 ? std::stoi(argv[4]) : 10;
    gm::MemorySettingsStore store;
    const std::u16string startDir = QFileInfo(argv[3]).absoluteFilePath().toStdU16String();
    const auto defaults = gm::SettingsDefaults::ForPlatform(startDir);
    gm::TFormMain window(store, startDir, defaults);
    // Messages are printed, not shown in boxes that would wait for a click.
    window.SetMessageSink(
        [](const std::string& text) { std::printf("message: %s\n", text.c_str()); });
    window.Opts.UnitPath = gm::AnsiToWideQX(argv[2]);
    window.Doc.Units.UnitPath = argv[2];
    window.show();
    window.activateWindow();
    QElapsedTimer opened;
    opened.start();
    window.OpenAtStart(gm::AnsiToWideQX(argv[1]));
    std::printf("opened in %lld ms\n", static_cast<long long>(opened.elapsed()));
    // Every second, the label and how long the event loop takes to answer a zero timer (the
    // window's responsiveness while it draws).
    int ticks = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        QElapsedTimer answer;
        answer.start();
        QTimer::singleShot(0, [&, answer] {
            std::printf("%2d s: FPS label %s, event answered in %lld ms\n", ticks,
                        window.LabelFPS->text().toStdString().c_str(),
                        static_cast<long long>(answer.elapsed()));
            std::fflush(stdout);
        });
        if (++ticks > seconds) app.quit();
    });
    sampler.start(1000);
    // Halfway, the Problems dock checks the world: how long the window waits for it (the rest
    // runs beside the frames) and when the list is there.
    QElapsedTimer checking;
    QTimer::singleShot(seconds * 500, [&] {
        checking.start();
        window.DockProblems->CheckNow();
        std::printf("check started: the window waited %lld ms\n",
                    static_cast<long long>(checking.elapsed()));
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!checking.isValid() || window.DockProblems->Checking()) return;
        std::printf("check done after %lld ms: %zu problems\n",
                    static_cast<long long>(checking.elapsed()),
                    window.DockProblems->Problems().size());
        poll.stop();
    });
    poll.start(5);
    return QApplication::exec();
}
