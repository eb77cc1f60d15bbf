// How far the race clock drifts from real time: runs whole races on the race timer with a real
// event loop and compares the wall-clock time of the race ticks with the race time they count.
//
//   QT_QPA_PLATFORM=offscreen clock_drift [track 1..15] [laps] [races]
//
// The race time is 30 ms a tick whatever the real time was, so a timer that wakes up late makes
// every race last longer than its clock says. Run it on a quiet machine: a busy one wakes any
// timer late.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "platform/Canvas.h"
#include "race/VantorScreen.h"

namespace {

constexpr int TICK_MS = 30;
constexpr int EASY = 0;

// Watches the race timer's timeouts: the race ticks are those that arrive while the race is on,
// and their interval starts with the timeout that showed "GO!".
class TickClock : public QObject {
  public:
    explicit TickClock(const VantorScreen& screen) : screen(screen) {}

    void Reset() {
        ticks = 0;
        lastTickNs = goNs = longestTickNs = 0;
    }
    long Ticks() const { return ticks; }
    // A wake-up later than a whole tick is lost to any timer: a busy machine shows here.
    double LongestTickMs() const { return double(longestTickNs) / 1e6; }
    double RealMs() const { return double(lastTickNs - goNs) / 1e6; }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Timer) {
            const qint64 now = wallClock.nsecsElapsed();
            if (screen.Phase() == Race::phaseShowOne) {
                goNs = lastTickNs = now;
            } else if (screen.Phase() == Race::phaseRacing) {
                ++ticks;
                longestTickNs = std::max(longestTickNs, now - lastTickNs);
                lastTickNs = now;
            }
        }
        return false;
    }

  private:
    const VantorScreen& screen;
    QElapsedTimer wallClock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    long ticks = 0;
    qint64 goNs = 0;
    qint64 lastTickNs = 0;
    qint64 longestTickNs = 0;
};

int ArgumentOr(int argc, char** argv, int index, int fallback) {
    return argc > index ? std::atoi(argv[index]) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const int track = ArgumentOr(argc, argv, 1, 1) - 1;
    const int laps = ArgumentOr(argc, argv, 2, 5);
    const int races = ArgumentOr(argc, argv, 3, 1);

    Canvas canvas;
    VantorScreen screen(canvas, nullptr);
    TickClock clock(screen);
    screen.findChild<QTimer*>()->installEventFilter(&clock);

    double totalRealMs = 0;
    long totalTicks = 0;
    for (int race = 1; race <= races; ++race) {
        clock.Reset();
        long reportedMs = 0;
        QObject::connect(&screen, &VantorScreen::RaceOver, &application, [&](bool, long elapsedMs) {
            reportedMs = elapsedMs;
            application.quit();
        });
        screen.Initialize(track, EASY, laps);
        application.exec();
        QObject::disconnect(&screen, &VantorScreen::RaceOver, &application, nullptr);

        // The tick after the deciding one is watched too: it is the one that ends the race.
        const double raceMs = double(clock.Ticks()) * TICK_MS;
        std::printf(
            "race %d: track %d, %d laps, race time %ld ms; %ld ticks watched, %.0f ms "
            "by the clock, %.1f ms real, drift %+.3f%%, longest tick %.1f ms\n",
            race, track + 1, laps, reportedMs, clock.Ticks(), raceMs, clock.RealMs(),
            100.0 * (clock.RealMs() - raceMs) / raceMs, clock.LongestTickMs());
        totalRealMs += clock.RealMs();
        totalTicks += clock.Ticks();
    }
    const double totalRaceMs = double(totalTicks) * TICK_MS;
    std::printf("all races: race time %.0f ms, real %.1f ms, drift %+.3f%%\n", totalRaceMs,
                totalRealMs, 100.0 * (totalRealMs - totalRaceMs) / totalRaceMs);
    return 0;
}
