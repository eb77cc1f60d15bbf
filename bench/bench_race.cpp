#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>

#include "platform/Canvas.h"
#include "race/VantorScreen.h"

namespace {

constexpr int TRACK_1 = 0;
constexpr int TRACK_15 = 14;
constexpr int EASY = 0;
constexpr int RACE_LAPS = 5;
constexpr int COUNTDOWN_TIMEOUTS = 3;

// One race screen on its own canvas, driven by calling its tick slot as the race timer would.
class HeadlessRace {
  public:
    HeadlessRace() {
        QObject::connect(&screen, &VantorScreen::RaceOver, [this](bool, long) { over = true; });
    }
    void Start(int track, int laps) {
        over = false;
        screen.Initialize(track, EASY, laps);
        for (int i = 0; i < COUNTDOWN_TIMEOUTS; ++i) {
            Tick();
        }
    }
    void Tick() { QMetaObject::invokeMethod(&screen, "TimeEvent"); }
    bool Over() const { return over; }
    VantorScreen& Screen() { return screen; }

  private:
    Canvas canvas;
    VantorScreen screen{canvas, nullptr};
    bool over = false;
};

// One race tick in the middle of a race: the computer's car lapping, the player's car driving in
// circles at full speed (and now and then spinning off the road), the clock and the canvas. The
// race timer gives a tick 30 ms.
void BM_RaceTick(benchmark::State& state) {
    HeadlessRace race;
    race.Start(TRACK_1, 1000000);
    race.Tick();
    race.Screen().keyPressEvent(Qt::Key_Up);
    race.Screen().keyPressEvent(Qt::Key_Right);
    for (int i = 0; i < 300; ++i) {
        race.Tick();
    }
    for (auto _ : state) {
        race.Tick();
    }
}
BENCHMARK(BM_RaceTick);

// A whole headless race of 5 laps won by the computer's car: set-up, countdown, every race tick
// and the tear-down.
void BM_WholeRace(benchmark::State& state) {
    HeadlessRace race;
    const int track = int(state.range(0));
    long ticks = 0;
    for (auto _ : state) {
        race.Start(track, RACE_LAPS);
        while (!race.Over()) {
            race.Tick();
            ++ticks;
        }
    }
    state.counters["ticks_per_race"] =
        benchmark::Counter(double(ticks), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_WholeRace)->Arg(TRACK_1)->Arg(TRACK_15)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
