// The running editor on a world: opens it in the main window, lets the frame loop run for a
// while, and prints what the frames-per-second label shows. Run it on a display (or under
// xvfb-run); the world's textures are looked for in START_DIR, as the editor does.
//
//   gridmoor-editorfps WORLD.raw UNIT_DIR START_DIR [SECONDS] [normal|maximized|maximized800]
//                      [outliner-hidden]
//
// maximized shows the window maximised, its panel filling what the pages leave; maximized800
// keeps the panel at 800 x 600 inside the maximised window (what the window costs around it).
// outliner-hidden closes the Outliner dock, to compare frames with and without it.
// At the end it prints how long the frame ticks took (events drained, lists updated, drawn and
// swapped), which the label's count, held at 50 by the 20 ms timer, cannot show, and the
// process's processor time per counted frame (all its threads: the software renderer's too).

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QScreen>
#include <QTimer>

#include "editing/FrameLoop.h"
#include "editing/Settings.h"
#include "editor/Form_Main.h"
#include "editor/OutlinerDock.h"
#include "editor/ProblemsDock.h"
#include "foundation/Codec.h"
#include "platform/Panel3DWidget.h"

namespace {

// Times every delivery of the frame timer (the window's only repeating 20 ms timer).
class TimingApplication : public QApplication {
public:
    using QApplication::QApplication;
    std::vector<double> TickMs;

    bool notify(QObject* receiver, QEvent* event) override {
        const auto* timer = qobject_cast<QTimer*>(receiver);
        if (Depth_ > 0 || event->type() != QEvent::Timer || !timer || timer->isSingleShot() ||
            timer->interval() != gm::FrameLoop::TimerIntervalMs)
            return QApplication::notify(receiver, event);
        ++Depth_;
        QElapsedTimer clock;
        clock.start();
        const bool done = QApplication::notify(receiver, event);
        TickMs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        --Depth_;
        return done;
    }

private:
    int Depth_ = 0;
};

void PrintTicks(std::vector<double> ms) {
    if (ms.empty()) return;
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) { return ms[static_cast<size_t>(q * double(ms.size() - 1))]; };
    double sum = 0;
    for (double v : ms)
        sum += v;
    std::printf("frame ticks: %zu, mean %.2f ms, median %.2f ms, 95th percentile %.2f ms\n",
                ms.size(), sum / double(ms.size()), at(0.5), at(0.95));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "Usage: gridmoor-editorfps WORLD.raw UNIT_DIR START_DIR [SECONDS]\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    TimingApplication app(argc, argv);
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
    const std::string mode = argc > 5 ? argv[5] : "";
    if (mode == "maximized800") window.Panel3D->setFixedSize(800, 600);
    const bool outlinerHidden = argc > 6 && std::string(argv[6]) == "outliner-hidden";
    if (outlinerHidden) window.DockOutliner->hide();
    window.show();
    // Xvfb has no window manager to maximise it: the window takes the whole screen itself.
    if (mode.rfind("maximized", 0) == 0) window.setGeometry(window.screen()->availableGeometry());
    window.activateWindow();
    QElapsedTimer opened;
    opened.start();
    window.OpenAtStart(gm::AnsiToWideQX(argv[1]));
    std::printf("opened in %lld ms\n", static_cast<long long>(opened.elapsed()));
    QTimer::singleShot(500, [&] {
        // What one outliner rebuild costs the window (it runs after edits, never per frame).
        QElapsedTimer outline;
        outline.start();
        window.DockOutliner->Refresh();
        std::printf("outliner rebuilt in %lld ms\n", static_cast<long long>(outline.elapsed()));
        std::printf("window %d x %d, panel %d x %d, outliner %s\n", window.width(), window.height(),
                    window.Panel3D->width(), window.Panel3D->height(),
                    window.DockOutliner->isVisible() ? "shown" : "hidden");
    });
    // Every second, the label and how long the event loop takes to answer a zero timer (the
    // window's responsiveness while it draws).
    int ticks = 0;
    long framesCounted = 0;
    std::clock_t cpuStart = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        // From the third second: the world is open and the device made.
        if (ticks == 2) cpuStart = std::clock();
        if (ticks >= 3) framesCounted += window.LabelFPS->text().toLong();
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
    const int result = QApplication::exec();
    PrintTicks(app.TickMs);
    if (framesCounted > 0)
        std::printf("processor time per frame: %.2f ms (%ld frames)\n",
                    1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC /
                        double(framesCounted),
                    framesCounted);
    return result;
}
