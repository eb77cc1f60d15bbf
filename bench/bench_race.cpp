// The race's cost: one tick of each level and of a time trial against a ghost, against the floor
// of a bare Graphics View step that moves two car sprites over a track; whole races without a view,
// against the real time they stand for; and keeping a race's replays when it ends.
//
//   QT_QPA_PLATFORM=offscreen bench_race
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "platform/Canvas.h"
#include "race/RaceRun.h"
#include "race/ReplayFile.h"
#include "race/TrackLoader.h"
#include "records/ReplayStore.h"

namespace {

constexpr int TRACK_1 = 0;
constexpr int TRACK_15 = 14;
constexpr int EASY = 0;
constexpr int RACE_LAPS = 5;
constexpr int ENDLESS = 1000000;
constexpr int WARM_UP_TICKS = 300;

void Press(RaceRun& run, RaceKey key) {
    run.KeyEvent(RaceInput{blueSeat, key, true});
}

// A race in full swing: past the countdown, the computer's car lapping and the player's car
// driving in circles at full speed (now and then spinning off the road, and on Hard into the
// computer's car).
void StartCircling(RaceRun& run, const RaceSettings& settings,
                   std::optional<GhostRun> ghost = std::nullopt) {
    run.Start(settings, std::move(ghost));
    for (int i = 0; i < 4; ++i) {
        run.TimeEvent();
    }
    Press(run, RaceKey::Up);
    Press(run, RaceKey::Right);
    for (int i = 0; i < WARM_UP_TICKS; ++i) {
        run.TimeEvent();
    }
}

// The floor: a scene holding a track and two car sprites, moved by Graphics View's own advance.
void BM_BareSceneStep(benchmark::State& state) {
    Canvas canvas;
    std::vector<std::unique_ptr<GridSection>> sections;
    LoadTrackLayout(TRACK_1, &canvas, sections);
    const RaceCarImage images(RaceCarImage::BLUE);
    std::vector<std::unique_ptr<Sprite>> cars;
    for (int car = 0; car < 2; ++car) {
        cars.push_back(std::make_unique<Sprite>(
            SpriteFrames{images.carFrames, images.originHotSpots}, &canvas));
        cars.back()->setPos(40 + 20 * car, 135);
        cars.back()->setAnimated(true);
        cars.back()->show();
    }
    long step = 0;
    for (auto _ : state) {
        // Back and forth along the start straight, so that the cars stay on the canvas.
        const double vy = (step++ / 50) % 2 == 0 ? -1.0 : 1.0;
        for (const auto& car : cars) {
            car->setVelocity(0, vy);
        }
        canvas.advance();
    }
}
BENCHMARK(BM_BareSceneStep);

void BM_RaceTick(benchmark::State& state) {
    Canvas canvas;
    RaceRun run(canvas);
    StartCircling(run,
                  RaceSettings{TRACK_1, int(state.range(0)), ENDLESS, RaceMode::againstComputer});
    for (auto _ : state) {
        run.TimeEvent();
    }
}
BENCHMARK(BM_RaceTick)->ArgName("level")->DenseRange(0, 2);

// The player's race and the ghost's, which is the computer's car of an endless race.
void BM_TimeTrialTick(benchmark::State& state) {
    Canvas canvas;
    RaceRun run(canvas);
    const GhostRun ghost{RaceSettings{TRACK_1, EASY, ENDLESS, RaceMode::againstComputer},
                         yellowSeat,
                         ReplayFile::MAX_TICKS,
                         {}};
    StartCircling(run, RaceSettings{TRACK_1, EASY, ENDLESS, RaceMode::timeTrial}, ghost);
    for (auto _ : state) {
        run.TimeEvent();
    }
}
BENCHMARK(BM_TimeTrialTick);

// A whole race of 5 laps won by the computer's car, without a view: set-up, countdown, every tick
// and the tear-down. Real time is 30 ms a tick.
void BM_WholeRace(benchmark::State& state) {
    Canvas canvas;
    RaceRun run(canvas);
    const int track = int(state.range(0));
    long ticks = 0;
    for (auto _ : state) {
        run.Start(RaceSettings{track, EASY, RACE_LAPS, RaceMode::againstComputer});
        while (run.MainRace().Phase() != Race::phaseIdle) {
            run.TimeEvent();
            ++ticks;
        }
    }
    state.counters["ticks_per_race"] =
        benchmark::Counter(double(ticks), benchmark::Counter::kAvgIterations);
    state.counters["times_real_time"] =
        benchmark::Counter(double(ticks) * Race::TICK_MS / 1000.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WholeRace)->Arg(TRACK_1)->Arg(TRACK_15)->Unit(benchmark::kMillisecond);

// What the end of a race adds: the replay written as text and kept twice, as the last race and as
// the record race.
void BM_KeepReplays(benchmark::State& state) {
    Canvas canvas;
    RaceRun run(canvas);
    run.Start(RaceSettings{TRACK_1, EASY, int(state.range(0)), RaceMode::againstComputer});
    Press(run, RaceKey::Up);
    while (run.MainRace().Phase() != Race::phaseIdle) {
        run.TimeEvent();
    }
    const Replay replay = run.Recorded();
    QTemporaryDir folder;
    ReplayStore store(folder.path());
    for (auto _ : state) {
        const QByteArray text = ReplayFile::Write(replay);
        store.Write(ReplayStore::LAST_RACE, text);
        store.Write(ReplayStore::RecordName(TRACK_1, replay.settings.laps), text,
                    [](const QByteArray&) { return false; });
    }
    state.counters["replay_bytes"] = double(ReplayFile::Write(replay).size());
}
BENCHMARK(BM_KeepReplays)->ArgName("laps")->Arg(5)->Arg(25)->Unit(benchmark::kMicrosecond);

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
