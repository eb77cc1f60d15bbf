// What the game's sound costs and how closely it follows a key:
//
//   QT_QPA_PLATFORM=offscreen bench_sound [seconds of race per measure, default 10]
//
// 1. Start-up: how long GameSound::Open takes (SDL's audio, the sound files, the device), with
//    SDL's dummy and disk drivers and with the machine's own device where there is one.
// 2. From a key to its sound: the time from Play to the end of the mix of the buffer that
//    carries the sound's first frame, plus that buffer's length, which the device then plays out.
//    Measured with SDL's disk driver, which takes buffers in real time as a sound card does.
// 3. CPU on the start menu left alone, with the sound device open and once it has closed.
// 4. CPU: the process's CPU time against real time while the main widget runs a race in real
//    time with the player's car circling: without sound, with sound, and with sound while this
//    program also runs both engines and an effect every half second (what a race with all its
//    sounds asks of the mixer at most).
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include "app/Vantor.h"
#include "platform/GameSound.h"
#include "platform/SdlAudio.h"
#include "platform/SdlAudioOutput.h"
#include "tests/support/DiskAudio.h"

namespace {

constexpr int PRESSES = 40;
constexpr int LONGEST_LAPS = 25;
constexpr int COUNTDOWN_MS = 3100;
constexpr int TICK_MS = 30;
constexpr int EFFECT_EVERY_MS = 500;
const double BUFFER_MS = 1000.0 * SdlAudioOutput::BUFFER_FRAMES / SOUND_SAMPLE_RATE;

double Milliseconds(std::chrono::steady_clock::duration span) {
    return std::chrono::duration<double, std::milli>(span).count();
}

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void StartUp(const char* driver) {
    if (driver != nullptr) {
        qputenv("SDL_AUDIODRIVER", driver);
        // The disk driver's output is not listened to here: none left in the working folder.
        qputenv("SDL_DISKAUDIOFILE", "/dev/null");
    } else {
        qunsetenv("SDL_AUDIODRIVER");
    }
    const auto started = std::chrono::steady_clock::now();
    GameSound sound;
    const bool heard = sound.Open(QStringLiteral(VANTOR_SOUNDS), std::make_unique<SdlAudio>());
    std::printf("start-up, %-16s %6.1f ms%s\n", driver != nullptr ? driver : "machine's own",
                Milliseconds(std::chrono::steady_clock::now() - started),
                heard ? "" : " (no device: silent)");
}

struct Press {
    std::chrono::steady_clock::time_point asked;
    std::int64_t framesAtAsk;
    // When the device had been given how many frames, watched closely after the press.
    std::vector<std::pair<std::chrono::steady_clock::time_point, std::int64_t>> progress;
};

void KeyToSound() {
    std::vector<Press> presses;
    bool opened = false;
    const AudioFrames output = DiskAudio([&] {
        GameSound sound;
        opened = sound.Open(QStringLiteral(VANTOR_SOUNDS), std::make_unique<SdlAudio>());
        for (int i = 0; opened && i < PRESSES; ++i) {
            // Apart, so that each tick ends before the next, and at no fixed point of a buffer.
            std::this_thread::sleep_for(std::chrono::microseconds(97'000 + 1'300 * i));
            Press press{std::chrono::steady_clock::now(), sound.FramesMixed(), {}};
            sound.Play(SoundEffect::MenuMove);
            const std::int64_t until = press.framesAtAsk + 4 * SdlAudioOutput::BUFFER_FRAMES;
            while (sound.FramesMixed() < until) {
                press.progress.emplace_back(std::chrono::steady_clock::now(), sound.FramesMixed());
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            }
            presses.push_back(std::move(press));
        }
    });
    if (!opened) {
        return;
    }
    std::vector<double> mixed;
    for (const Press& press : presses) {
        const std::int64_t onset = FirstSoundAt(output, press.framesAtAsk);
        for (const auto& [when, frames] : press.progress) {
            if (onset >= 0 && frames > onset) {
                mixed.push_back(Milliseconds(when - press.asked));
                break;
            }
        }
    }
    if (mixed.empty()) {
        std::printf("key to sound: no sound found in the output\n");
        return;
    }
    std::sort(mixed.begin(), mixed.end());
    std::printf(
        "key to sound, %zu presses: mixed after %.1f ms (median), %.1f ms (longest); with the "
        "%.1f ms buffer played out: %.1f ms, %.1f ms\n",
        mixed.size(), mixed[mixed.size() / 2], mixed.back(), BUFFER_MS,
        mixed[mixed.size() / 2] + BUFFER_MS, mixed.back() + BUFFER_MS);
}

void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU of the process on the start menu, as it sits: with the sound device open after a menu sound,
// and again once the device has closed for want of sound.
void MenuIdleCpu(int seconds) {
    Vantor game(QStringLiteral(VANTOR_PICTURES));
    game.Start();
    game.StartLateServices();
    game.Sound().Play(SoundEffect::MenuMove);
    const auto measure = [seconds] {
        const double cpuBefore = ProcessCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        RunFor(seconds * 1000);
        return (ProcessCpuSeconds() - cpuBefore) / (double(wall.nsecsElapsed()) / 1e9);
    };
    const bool openWhileMeasured = game.Sound().DeviceOpen();
    const double open = measure();
    RunFor(GameSound::QUIET_CLOSE_MS);
    std::printf("menu idle, device %s: CPU %5.2f %% of one core; once closed (%s): %5.2f %%\n",
                openWhileMeasured ? "open" : "never opened", 100.0 * open,
                game.Sound().DeviceOpen() ? "still open" : "closed", 100.0 * measure());
}

enum class SoundUse { Off, On, AllSounds };

void SendKey(QWidget& game, QEvent::Type type, int key) {
    QKeyEvent event(type, key, Qt::NoModifier);
    QApplication::sendEvent(&game, &event);
}

double RaceCpuShare(SoundUse use, int seconds) {
    Vantor game(QStringLiteral(VANTOR_PICTURES));
    game.Start();
    if (use != SoundUse::Off) {
        game.StartLateServices();
    }
    game.RaceLength(LONGEST_LAPS);
    game.RaceStart();
    RunFor(COUNTDOWN_MS);
    SendKey(game, QEvent::KeyPress, Qt::Key_Up);
    SendKey(game, QEvent::KeyPress, Qt::Key_Right);
    QTimer allSounds;
    int tick = 0;
    if (use == SoundUse::AllSounds) {
        QObject::connect(&allSounds, &QTimer::timeout, [&game, &tick] {
            ++tick;
            game.Sound().SetEngine(GameSound::PLAYER_CAR, tick / 20 % 6);
            game.Sound().SetEngine(GameSound::COMPUTER_CAR, tick / 30 % 6);
            if (tick % (EFFECT_EVERY_MS / TICK_MS) == 0) {
                game.Sound().Play(SoundEffect::LapPlayer);
            }
        });
        allSounds.start(TICK_MS);
    }
    const double cpuBefore = ProcessCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    RunFor(seconds * 1000);
    const double share = (ProcessCpuSeconds() - cpuBefore) / (double(wall.nsecsElapsed()) / 1e9);
    SendKey(game, QEvent::KeyPress, Qt::Key_Escape);
    return share;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const QByteArray driver = qgetenv("SDL_AUDIODRIVER");

    StartUp("dummy");
    StartUp("disk");
    StartUp(nullptr);
    KeyToSound();

    // The race runs with the driver asked for, or SDL's dummy one where the machine has none.
    qputenv("SDL_AUDIODRIVER", driver.isEmpty() ? QByteArray("dummy") : driver);
    const struct {
        SoundUse use;
        const char* name;
    } measures[] = {{SoundUse::Off, "sound off"},
                    {SoundUse::On, "sound on"},
                    {SoundUse::AllSounds, "sound on, engines and effects"}};
    MenuIdleCpu(std::min(seconds, 5));
    for (const auto& measure : measures) {
        std::printf("race, %-30s CPU %5.2f %% of one core over %d s\n", measure.name,
                    100.0 * RaceCpuShare(measure.use, seconds), seconds);
    }
    return 0;
}
