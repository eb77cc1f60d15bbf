// The game's sound as it leaves the sound device: SDL's disk driver takes the real output, and
// the tests find the sounds in it by their frames, pitch and loudness.
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <numeric>

#include "app/Vantor.h"
#include "platform/GameSound.h"
#include "platform/SdlAudio.h"
#include "platform/SdlAudioOutput.h"
#include "records/SoundSettings.h"
#include "tests/support/CompareCase.h"
#include "tests/support/DiskAudio.h"
#include "tests/support/GameFixture.h"
#include "tests/support/NodeState.h"
#include "tests/support/StderrCapture.h"

namespace {

const QString SOUNDS = QStringLiteral(VANTOR_SOUNDS);
const QStringList SOUND_FILES = QDir(SOUNDS).entryList(QDir::Files);
constexpr std::int64_t MS = SOUND_SAMPLE_RATE / 1000;
// A sound asked for between two buffers is heard from the next one; one asked for while a buffer
// is being mixed, from the one after; its attack then takes a few milliseconds to be audible.
constexpr std::int64_t LATEST_START = 2 * SdlAudioOutput::BUFFER_FRAMES + 5 * MS;

// Lets the device take `frames` more frames, in real time; the frame it has reached.
std::int64_t Advance(const GameSound& sound, std::int64_t frames) {
    const std::int64_t target = sound.FramesMixed() + frames;
    for (QDeadlineTimer deadline(10000); sound.FramesMixed() < target && !deadline.hasExpired();)
        QTest::qSleep(1);
    return sound.FramesMixed();
}

// Empty when a sound heard from frame `onset` began in the time it may take, asked for at `asked`.
QString Late(std::int64_t onset, std::int64_t asked) {
    return onset >= asked && onset <= asked + LATEST_START
               ? QString()
               : QStringLiteral("heard at frame %1, asked for at %2").arg(onset).arg(asked);
}

// A failure's text: `text` with its %1, %2... filled in.
template <typename... Values>
QByteArray Said(QString text, Values... values) {
    ((text = text.arg(values)), ...);
    return text.toUtf8();
}

void CopySounds(const QString& folder) {
    QDir().mkpath(folder);
    for (const QString& name : SOUND_FILES) QFile::copy(SOUNDS + '/' + name, folder + '/' + name);
}

// A time trial against the clock on the first track, played through the game at the keys: the
// menu's keys, then the countdown, then Up held to full speed, then Right held until the car spins
// on the grass; at last M, and every sound stopped. Each timeout is given the real time its sounds
// need.
struct HeardRace {
    QList<int> moves;  // the menu's moves after each key
    // Where the first move, the start, M and the stop were asked for.
    std::int64_t menuMoveAt = 0, startAt = 0, mAt = 0, stopAt = 0;
    // Timeout by timeout: the frame at which the sound heard of it, and the car's speed, whether
    // it spins and where it is.
    QVector<std::int64_t> frames;
    QVector<int> speeds;
    QVector<bool> spinning;
    QVector<QPointF> positions;
    AudioFrames output;

    explicit HeardRace(const QString& pictures) {
        output = DiskAudio([&] {
            Vantor game(pictures);
            game.Start();
            game.StartLateServices();
            const GameScreens screens(game);
            QSignalSpy moved(screens.start, &StartScreen::MenuMoved);
            for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right,
                                      Qt::Key_Right, Qt::Key_Right, Qt::Key_Up, Qt::Key_Right,
                                      Qt::Key_Left, Qt::Key_Down, Qt::Key_Down, Qt::Key_Left,
                                      Qt::Key_Left, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}) {
                QTest::keyClick(&game, key);
                moves << int(moved.count());
                if (moves.size() == 1)  // Up, on the top row already: the sound of Down follows
                    menuMoveAt = Advance(game.Sound(), 200 * MS);
            }
            // The menu is left on its last row; the race it starts is set behind its back.
            game.RaceLevel(0);
            game.RaceLength(5);
            game.RaceChoice(StartScreen::raceRecord);
            startAt = Advance(game.Sound(), 200 * MS);
            QTest::keyClick(&game, Qt::Key_Return);
            const Race& race = screens.race->CurrentRace();
            Advance(game.Sound(), 300 * MS);
            while (race.Timeouts() < 3 + 90) {
                if (race.Timeouts() == 4)
                    QTest::keyPress(&game, Qt::Key_Up);
                if (race.Timeouts() == 3 + 45)
                    QTest::keyPress(&game, Qt::Key_Right);
                QMetaObject::invokeMethod(screens.race, "TimeEvent");
                const RaceCar& car = *race.Car(userControl);
                frames << game.Sound().FramesMixed();
                speeds << car.speed;
                spinning << (car.crashCount > 1);
                positions << car.pos();
                Advance(game.Sound(), (race.Phase() == Race::phaseRacing ? 30 : 300) * MS);
            }
            mAt = game.Sound().FramesMixed();
            QTest::keyClick(&game, Qt::Key_M);
            stopAt = Advance(game.Sound(), 300 * MS);
            game.Sound().StopAll();
            Advance(game.Sound(), 300 * MS);
        });
    }
};

}  // namespace

class TestSound : public QObject {
    Q_OBJECT

    TemporaryConfigHome configHome;
    const PreviewDirectory pictures;

  private slots:
    void initTestCase() { CopySounds(pictures.Path() + SOUND_FOLDER); }

    // Each sound file short, below full scale, centred on zero, and without a click where it
    // starts, ends or loops: round the engine's loop, the last sample runs on into the first as
    // any two neighbours do; an effect starts and ends at 0. Then straight on the mixer: the
    // engine's pitch climbs with the speed, and the computer's engine is quieter than the
    // player's; stopped, all falls silent; each effect is heard once. Every change of the mix
    // made in the middle of a sound: a click is a jump larger than that sound's own and the
    // loudest mix's. All at once, held under full scale.
    void soundsAndTheirMix() {
        QStringList problems;
        SoundBank sounds = GameSound::LoadSounds(SOUNDS, problems);
        QCOMPARE(problems, QStringList());
        for (std::size_t effect = 0; effect <= SOUND_EFFECT_COUNT; ++effect) {
            const bool loop = effect == SOUND_EFFECT_COUNT;
            const AudioFrames& sound = loop ? sounds.engineLoop : sounds.effects[effect];
            const double seconds = double(sound.size()) / SOUND_SAMPLE_RATE;
            const double mean = std::accumulate(sound.begin(), sound.end(), 0.0) / sound.size();
            const float seam = loop ? std::abs(sound.front() - sound.back())
                                    : std::max(std::abs(sound.front()), std::abs(sound.back()));
            const float seamAllowed = loop ? Peak(Steps(sound)) : 0.0f;
            COMPARE_CASE(seconds >= 0.03 && seconds <= 1.2 && Peak(sound) < 0.9f &&
                             std::abs(mean) < 0.005 && seam <= seamAllowed,
                         true,
                         Said("%1: %2 s, peak %3, mean %4, seam %5 against %6",
                              loop ? ENGINE_SOUND_FILE : SOUND_EFFECT_FILES[effect], seconds,
                              Peak(sound), mean, seam, seamAllowed));
        }
        SoundMixer mixer(std::move(sounds), false);
        constexpr int PLAYER = GameSound::PLAYER_CAR, COMPUTER = GameSound::COMPUTER_CAR;
        AudioFrames output;
        // Mixes `frames` more; where they begin.
        const auto render = [&](std::int64_t frames) {
            std::vector<std::int16_t> block(static_cast<std::size_t>(frames));
            mixer.Render(block.data(), int(frames));
            const AudioFrames more = Frames(block.data(), block.size());
            output.insert(output.end(), more.begin(), more.end());
            return std::int64_t(output.size()) - frames;
        };
        // Held long enough for the pitch to settle: the settled part.
        const auto settled = [&] { return Span(output, render(400 * MS) + 250 * MS, 150 * MS); };
        double standing = 0, lastPitch = 0;
        AudioFrames fullSpeed;
        for (int speed = 0; speed <= SoundMixer::TOP_SPEED; ++speed) {
            mixer.SetEngine(PLAYER, speed);
            fullSpeed = settled();
            const double pitch = PitchHz(fullSpeed, 30, 400);
            COMPARE_CASE(pitch > lastPitch * 1.1, true,
                         Said("speed %1: %2 Hz after %3 Hz", speed, pitch, lastPitch));
            standing = speed == 0 ? pitch : standing;
            lastPitch = pitch;
        }
        QCOMPARE_GT(lastPitch, 2 * standing);
        mixer.SetEngine(PLAYER, GameSound::ENGINE_OFF);
        mixer.SetEngine(COMPUTER, SoundMixer::TOP_SPEED);
        const double computer = Rms(settled());
        QCOMPARE_GT(computer, 0.01);
        QCOMPARE_GT(Rms(fullSpeed), 1.8 * computer);
        mixer.StopAll();
        // Silent once the fade is over.
        QCOMPARE(Peak(Span(output, render(300 * MS) + 150 * MS, 150 * MS)), 0.0f);

        // The beep, "GO!", then both laps together: two cars crossing the line in the same tick.
        const auto effectsAt = std::int64_t(output.size());
        mixer.Play(SoundEffect::CountdownBeep);
        render(300 * MS);
        mixer.Play(SoundEffect::CountdownGo);
        render(600 * MS);
        mixer.Play(SoundEffect::LapPlayer);
        mixer.Play(SoundEffect::LapComputer);
        const AudioFrames effects = Span(output, effectsAt, render(400 * MS) + 400 * MS);
        const std::vector<std::int64_t> onsets = Onsets(effects, 50 * MS);
        QCOMPARE(onsets.size(), std::size_t(3));
        // The beep is the one tone of A; "GO!" sounds another note.
        const double beep = PitchHz(Span(effects, onsets[0] + 10 * MS, 60 * MS), 200, 3000);
        const double go = PitchHz(Span(effects, onsets[1] + 10 * MS, 60 * MS), 200, 3000);
        QCOMPARE_LT(std::abs(beep - 880), 10.0);
        QCOMPARE_GT(std::abs(go - beep), 50.0);
        QCOMPARE_GT(Peak(Span(effects, onsets[2], 300 * MS)),
                    Peak(Span(effects, onsets[0], 100 * MS)) / 2);

        mixer.SetEngine(PLAYER, 5);
        mixer.SetEngine(COMPUTER, 5);
        const float loudEngines = Peak(Steps(Span(output, render(400 * MS) + 200 * MS, 200 * MS)));
        // Each change made in the middle of a sound, which `first` starts where it is given.
        const std::tuple<const char*, std::function<void()>, std::function<void()>> changes[] = {
            {"both engines off", {}, [&] { mixer.StopAll(); }},
            {"engine started at full speed", {}, [&] { mixer.SetEngine(PLAYER, 5); }},
            {"full speed to standing", {}, [&] { mixer.SetEngine(PLAYER, 0); }},
            {"standing to full speed", {}, [&] { mixer.SetEngine(PLAYER, 5); }},
            {"muted", {}, [&] { mixer.SetMuted(true); }},
            {"unmuted", {}, [&] { mixer.SetMuted(false); }},
            {"engine off", {}, [&] { mixer.SetEngine(PLAYER, GameSound::ENGINE_OFF); }},
            {"race won stopped", [&] { mixer.Play(SoundEffect::RaceWon); },
             [&] { mixer.StopAll(); }},
        };
        for (const auto& [change, first, make] : changes) {
            if (first)
                first();
            const std::int64_t madeAt = render(300 * MS) + 300 * MS;
            const float before =
                std::max(loudEngines, Peak(Steps(Span(output, madeAt - 100 * MS, 100 * MS))));
            make();
            // From the last sample before the change on: a jump may come right at it.
            const float step = Peak(Steps(Span(output, render(200 * MS) - 1, 200 * MS + 1)));
            COMPARE_CASE(step <= before * 1.2f, true,
                         Said("%1: step %2, the sound's own before %3", change, step, before));
        }
        mixer.SetEngine(PLAYER, 5);
        mixer.SetEngine(COMPUTER, 5);
        for (int effect = 0; effect < SOUND_EFFECT_COUNT; ++effect) mixer.Play(SoundEffect(effect));
        const float loudest = Peak(Span(output, render(1200 * MS), 1200 * MS));
        QCOMPARE_LT(loudest, 0.96f);
        QCOMPARE_GT(loudest, 0.9f);
    }

    // A device left open mixes silence on its own thread for ever: a game idle on its menu closes
    // it, and the next sound opens it again.
    void deviceRestsWhenQuiet() {
        GameSound sound;
        QVERIFY(sound.Open(SOUNDS, std::make_unique<SdlAudio>()));
        sound.SetEngine(GameSound::PLAYER_CAR, 2);
        QTest::qWait(GameSound::QUIET_CLOSE_MS + 300);
        QCOMPARE(sound.DeviceOpen(), true);  // an engine is running
        sound.SetEngine(GameSound::PLAYER_CAR, GameSound::ENGINE_OFF);
        QTest::qWait(GameSound::QUIET_CLOSE_MS - 1000);
        sound.Play(SoundEffect::MenuMove);
        QTest::qWait(GameSound::QUIET_CLOSE_MS - 1500);
        QCOMPARE(sound.DeviceOpen(), true);  // the quiet counts from the last sound
        QTest::qWait(2000);
        QCOMPARE(sound.DeviceOpen(), false);
        const std::int64_t closedAt = sound.FramesMixed();
        QTest::qWait(100);
        QCOMPARE(sound.FramesMixed(), closedAt);
        sound.Play(SoundEffect::MenuMove);
        QCOMPARE(sound.DeviceOpen(), true);
        QVERIFY(Advance(sound, 50 * MS) > closedAt);
        // Muted, a running engine is not heard and does not keep the device open.
        sound.SetEngine(GameSound::COMPUTER_CAR, 3);
        sound.SetMuted(true);
        QTest::qWait(GameSound::QUIET_CLOSE_MS + 300);
        QCOMPARE(sound.DeviceOpen(), false);
        sound.SetMuted(false);
        QCOMPARE(sound.DeviceOpen(), true);
    }

    // No device or no files: the game plays on silently and says so in one line, however often
    // it asks for sounds.
    void withoutDeviceOrFiles() {
        const QString someSilent = "^Vantor: some sounds stay silent.*contact.*engine";
        // Whether the sound is heard all the same, and what is said, as a pattern.
        const std::tuple<const char*, QByteArray, QStringList, QString, bool, QString> cases[] = {
            {"dummy driver", "dummy", {}, {}, true, {}},
            {"no such driver", "no_such_driver", {}, {}, false, "^Vantor: no sound device"},
            // ALSA would say more than a dozen lines of its own about a device it cannot find.
            {"ALSA without its device", "alsa", {}, {}, false, "^Vantor: no sound device"},
            {"no sound files", "dummy", SOUND_FILES, {}, false, "^Vantor: no sound files in"},
            {"one missing, one damaged", "dummy", {"contact.wav"}, "engine.wav", true, someSilent},
        };
        for (const auto& [name, driver, missing, damaged, heard, said] : cases) {
            QTemporaryDir folder;
            CopySounds(folder.path());
            for (const QString& file : missing) QFile::remove(folder.filePath(file));
            if (!damaged.isEmpty())
                QVERIFY(QFile::resize(folder.filePath(damaged), 16));  // cut short in its header
            qputenv("SDL_AUDIODRIVER", driver);
            qputenv("AUDIODEV", "vantor_no_such_device");
            QList<bool> heardAs;  // opened, heard, opened again, taking frames
            const QStringList lines = StderrLines([&, heard = heard] {
                GameSound sound;
                heardAs << sound.Open(folder.path(), std::make_unique<SdlAudio>()) << sound.Heard();
                sound.SetEngine(GameSound::PLAYER_CAR, 4);
                sound.Play(SoundEffect::Contact);
                sound.SetMuted(false);
                sound.StopAll();
                heardAs << sound.Open(folder.path(), std::make_unique<SdlAudio>());
                // A device that plays keeps taking frames; a silent game has none.
                heardAs << ((heard ? Advance(sound, 50 * MS) : sound.FramesMixed()) > 0);
            });
            qputenv("SDL_AUDIODRIVER", "dummy");
            qunsetenv("AUDIODEV");
            COMPARE_CASE(heardAs, QList<bool>(4, heard), name);
            const QString text = lines.join(QStringLiteral(" | "));
            COMPARE_CASE(lines.size() == (said.isEmpty() ? 0 : 1) &&
                             QRegularExpression(said).match(text).hasMatch(),
                         true, Said("%1: %2", name, text));
        }
    }

    // Heard through the sound device, the game sounds as it goes: a key that moves the menu is
    // heard, one that changes nothing is not; starting the race is; a beep at each of "3", "2" and
    // "1" and "GO!" at its own timeout, the engine rising with the car's speed, the rush of the
    // spin when the car leaves the road; M silences it. Muted from the start, the same race is
    // silence, whatever it asks for, until M brings back the engine, which stops when all does;
    // heard or not, it is the same race.
    void aRaceIsHeard() {
        const HeardRace heard(pictures.Path());
        QVERIFY(SoundSettings::WriteMuted(true));
        const HeardRace silent(pictures.Path());
        const AudioFrames& output = heard.output;
        QCOMPARE(heard.moves, QList<int>({0, 1, 1, 2, 3, 3, 4, 5, 6, 7, 8, 9, 9, 10, 11, 11}));
        QCOMPARE(Late(FirstSoundAt(output, 0), heard.menuMoveAt), QString());
        const std::int64_t startHeard = FirstSoundAt(output, heard.startAt);
        QCOMPARE(Late(startHeard, heard.startAt), QString());
        // The start of a race is not a menu move: a rising sweep, longer than a tick.
        QCOMPARE_GT(Rms(Span(output, startHeard + 100 * MS, 50 * MS)), 0.05);

        QCOMPARE(silent.positions, heard.positions);
        // M silences the heard race; the muted one is silence until M, then heard until all stops.
        QCOMPARE(Peak(Span(output, heard.mAt + LATEST_START + 50 * MS, 200 * MS)), 0.0f);
        QCOMPARE(Peak(Span(silent.output, 0, silent.mAt)), 0.0f);
        QCOMPARE(Late(FirstSoundAt(silent.output, silent.mAt), silent.mAt), QString());
        QCOMPARE_GT(Rms(Span(silent.output, silent.mAt + 100 * MS, 150 * MS)), 0.05);
        QCOMPARE(Peak(Span(silent.output, silent.stopAt + LATEST_START + 150 * MS, 100 * MS)),
                 0.0f);

        // The race screen's first three timeouts bring "2", "1" and "GO!"; "3" came with the
        // start, after the menu's own sound.
        const std::vector<std::int64_t> onsets = Onsets(output, 100 * MS);
        for (int timeout = 1; timeout <= 3; ++timeout) {
            const std::int64_t asked = heard.frames[timeout - 1];
            const auto onset = std::lower_bound(onsets.begin(), onsets.end(), asked);
            COMPARE_CASE(Late(onset != onsets.end() ? *onset : -1, asked), QString(),
                         Said("countdown timeout %1", timeout));
        }
        // "GO!" is its own note (E6, over the octave below), far above the engine starting with it.
        const double go = PitchHz(Span(output, heard.frames[2] + 20 * MS, 60 * MS), 500, 3000);
        QCOMPARE_LT(std::min(std::abs(go - 1318.5), std::abs(go - 659.25)), 15.0);
        // The engine's pitch at each speed the car held for a while, rising with it.
        double lastPitch = 0;
        for (int speed = 1; speed <= 5; ++speed) {
            const qsizetype at = heard.speeds.indexOf(speed);
            QVERIFY(at >= 0);
            // Past the glide to the new pitch.
            const double pitch =
                PitchHz(Span(output, heard.frames[at] + 100 * MS, 60 * MS), 30, 400);
            COMPARE_CASE(pitch > lastPitch * 1.1, true,
                         Said("speed %1: %2 Hz after %3 Hz", speed, pitch, lastPitch));
            lastPitch = pitch;
        }
        // The spin: a rush of noise over the engine's hum, which has hardly any highs.
        const qsizetype spin = heard.spinning.indexOf(true);
        QVERIFY(spin >= 0);
        QCOMPARE_GT(Rms(Steps(Span(output, heard.frames[spin] + LATEST_START, 100 * MS))),
                    3 * Rms(Steps(Span(output, heard.frames[spin] - 150 * MS, 100 * MS))));
    }

    // M mutes on every screen and is kept for the next run, in a settings file of its own beside
    // the records; a file the game cannot read as settings is neither believed nor overwritten;
    // where the choice cannot be kept, M still works, and the player is told once. Last, as it
    // leaves the choice behind.
    void muteChoiceIsKept() {
        const QString settings = SoundSettings::FileName();
        QCOMPARE(settings, configHome.path() + "/VantorSettings.ini");
        QVERIFY(SoundSettings::WriteMuted(false));
        QVERIFY(!QFile::exists(configHome.RecordsFile()));
        {
            Vantor game(pictures.Path());
            game.Start();
            const GameScreens screens(game);
            QSignalSpy moved(screens.start, &StartScreen::MenuMoved);
            QSignalSpy returned(screens.end, &EndScreen::ReturnToStart);
            // M, then a held M, which does not flicker the sound.
            const auto pressM = [&](bool muted, const char* screen) {
                QTest::keyClick(&game, Qt::Key_M);
                COMPARE_CASE(game.Sound().Muted(), muted, screen);
                COMPARE_CASE(SoundSettings::ReadMuted(), muted, screen);
                QKeyEvent repeat(QEvent::KeyPress, Qt::Key_M, Qt::NoModifier, QString(), true);
                QApplication::sendEvent(&game, &repeat);
                COMPARE_CASE(game.Sound().Muted(), muted, screen);
            };
            pressM(true, "start");
            game.RaceStart();
            pressM(false, "race");
            game.RaceFinished(true, 30000);
            pressM(true, "end");
            // M reached no screen: the menu did not move, the end screen is still up.
            QCOMPARE(moved.count() + returned.count(), 0);
        }
        QCOMPARE(Vantor(pictures.Path()).Sound().Muted(), true);

        const QByteArray notes("The player's own notes, not settings\n");
        QFile foreign(settings);
        QVERIFY(foreign.open(QIODevice::WriteOnly) && foreign.write(notes) == notes.size());
        foreign.close();
        QCOMPARE(SoundSettings::ReadMuted(), false);
        QCOMPARE(SoundSettings::WriteMuted(true), false);
        QCOMPARE(Contents(settings), notes);

        QVERIFY(QFile::remove(settings) && QDir().mkpath(settings));
        Vantor unsaved(pictures.Path());
        QString mutedInTurn;
        const QStringList lines = StderrLines([&] {
            for (int press = 0; press < 3; ++press) {
                QTest::keyClick(&unsaved, Qt::Key_M);
                mutedInTurn += unsaved.Sound().Muted() ? 'M' : '-';
            }
        });
        QCOMPARE(mutedInTurn, QStringLiteral("M-M"));
        QVERIFY2(lines.size() == 1 && lines.front().contains(QStringLiteral("could not be saved")),
                 qPrintable(lines.join(QStringLiteral(" | "))));
        QVERIFY(QFileInfo(settings).isDir());
    }
};

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
