// The game's sound as it leaves the sound device: SDL's disk driver takes the real output, and
// the tests find the sounds in it by their frames, pitch and loudness.
#include <QSignalSpy>
#include <QtTest>

#include <chrono>
#include <thread>

#include "app/Vantor.h"
#include "platform/GameSound.h"
#include "platform/SdlAudio.h"
#include "platform/SdlAudioOutput.h"
#include "platform/WaveFile.h"
#include "records/SoundSettings.h"
#include "tests/support/CompareCase.h"
#include "tests/support/DiskAudio.h"
#include "tests/support/GameFixture.h"
#include "tests/support/StderrCapture.h"

namespace {

const QString SOUNDS = QStringLiteral(VANTOR_SOUNDS);
constexpr std::int64_t MS = SOUND_SAMPLE_RATE / 1000;
// A sound asked for between two buffers is heard from the next one; one asked for while a buffer
// is being mixed, from the one after; its attack then takes a few milliseconds to be audible.
constexpr std::int64_t LATEST_START = 2 * SdlAudioOutput::BUFFER_FRAMES + 5 * MS;

// Lets the device take `frames` more frames, in real time; the frame it has reached.
std::int64_t Advance(const GameSound& sound, std::int64_t frames) {
    const std::int64_t target = sound.FramesMixed() + frames;
    QDeadlineTimer deadline(10000);
    while (sound.FramesMixed() < target && !deadline.hasExpired()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return sound.FramesMixed();
}

// The frame at which the sound asked for at `asked` begins, against the frames it may take.
bool StartsInTime(std::int64_t onset, std::int64_t asked) {
    return onset >= asked && onset <= asked + LATEST_START;
}

QString SpanText(std::int64_t onset, std::int64_t asked) {
    return QStringLiteral("heard at frame %1, asked for at %2").arg(onset).arg(asked);
}

void CopySounds(const QString& folder) {
    QDir().mkpath(folder);
    for (const QString& name : QDir(SOUNDS).entryList(QDir::Files)) {
        QFile::copy(SOUNDS + '/' + name, folder + '/' + name);
    }
}

// How loud the highs are: the RMS of the change from sample to sample, which the engine's low hum
// hardly has and a rush of noise has plenty of.
double HighsRms(const AudioFrames& span) {
    AudioFrames changes;
    for (std::size_t i = 1; i < span.size(); ++i) {
        changes.push_back(span[i] - span[i - 1]);
    }
    return Rms(changes);
}

// A time trial against the clock on the first track, played through the game at the keys: the
// countdown, then Up held to full speed, then Right held until the car spins on the grass.
// Each timeout is given the real time its sounds need; what the race did and the frame at which
// the sound heard of it, timeout by timeout.
struct HeardRace {
    struct Moment {
        std::int64_t frame;
        int speed;
        int timeouts;
        bool spinning;
        QPointF position;
    };
    QVector<Moment> moments;

    HeardRace(const QString& pictures, bool muted) {
        Vantor game(pictures);
        game.Start();
        game.StartLateServices();
        game.Sound().SetMuted(muted);
        const GameScreens screens(game);
        game.RaceLength(5);
        game.RaceChoice(StartScreen::raceRecord);
        game.RaceStart();
        const Race& race = screens.race->CurrentRace();
        Advance(game.Sound(), 300 * MS);
        while (race.Timeouts() < 3 + 90) {
            if (race.Timeouts() == 4)
                QTest::keyPress(&game, Qt::Key_Up);
            if (race.Timeouts() == 3 + 45)
                QTest::keyPress(&game, Qt::Key_Right);
            QMetaObject::invokeMethod(screens.race, "TimeEvent");
            const RaceCar& car = *race.Car(userControl);
            moments << Moment{game.Sound().FramesMixed(), car.speed, race.Timeouts(),
                              car.crashCount > 1, car.pos()};
            Advance(game.Sound(), (race.Phase() == Race::phaseRacing ? 30 : 300) * MS);
        }
    }
};

}  // namespace

class TestSound : public QObject {
    Q_OBJECT

    TemporaryConfigHome configHome;

  private slots:
    void soundFilesAreClean_data();
    void soundFilesAreClean();
    void effectsStartWhenAsked();
    void enginePitchFollowsSpeed();
    void mutedOutputIsSilent();
    void mixerNeitherClicksNorClips();
    void deviceRestsWhenQuiet();
    void withoutDeviceOrFiles_data();
    void withoutDeviceOrFiles();
    void muteChoiceIsKept();
    void mKeyMutesEveryScreen();
    void menuMovesAreHeard();
    void aRaceIsHeard();
};

void TestSound::soundFilesAreClean_data() {
    QTest::addColumn<QString>("name");
    for (const char* name : SOUND_EFFECT_FILES) {
        QTest::newRow(name) << QString::fromLatin1(name);
    }
    QTest::newRow(ENGINE_SOUND_FILE) << QString::fromLatin1(ENGINE_SOUND_FILE);
}

// Short, below full scale, centred on zero, and without a click where it starts, ends or loops.
void TestSound::soundFilesAreClean() {
    QFETCH(QString, name);
    QString error;
    const Wave wave = WaveFile::Read(SOUNDS + '/' + name, error);
    QCOMPARE(error, QString());
    QCOMPARE(wave.sampleRate, SOUND_SAMPLE_RATE);
    AudioFrames sound;
    double sum = 0;
    for (const std::int16_t sample : wave.samples) {
        sound.push_back(float(sample) / 32768.0f);
        sum += sound.back();
    }
    const double seconds = double(sound.size()) / SOUND_SAMPLE_RATE;
    QVERIFY2(seconds >= 0.03 && seconds <= 1.2, qPrintable(QString::number(seconds) + " s"));
    QVERIFY2(Peak(sound) < 0.9f, qPrintable(QStringLiteral("peak %1").arg(Peak(sound))));
    QVERIFY2(std::abs(sum / double(sound.size())) < 0.005,
             qPrintable(QStringLiteral("mean %1").arg(sum / double(sound.size()))));
    if (name == QLatin1String(ENGINE_SOUND_FILE)) {
        // Round the loop, the last sample runs on into the first as any two neighbours do.
        const float seam = std::abs(sound.front() - sound.back());
        QVERIFY2(seam <= LargestStep(sound),
                 qPrintable(
                     QStringLiteral("seam %1, largest step %2").arg(seam).arg(LargestStep(sound))));
    } else {
        QCOMPARE(wave.samples.front(), std::int16_t(0));
        QCOMPARE(wave.samples.back(), std::int16_t(0));
    }
}

void TestSound::effectsStartWhenAsked() {
    DiskAudio disk;
    std::int64_t beepAsked = 0, goAsked = 0, lapsAsked = 0;
    {
        GameSound sound;
        QVERIFY(sound.Open(SOUNDS, std::make_unique<SdlAudio>()));
        Advance(sound, 100 * MS);
        beepAsked = sound.FramesMixed();
        sound.Play(SoundEffect::CountdownBeep);
        Advance(sound, 300 * MS);
        goAsked = sound.FramesMixed();
        sound.Play(SoundEffect::CountdownGo);
        Advance(sound, 600 * MS);
        lapsAsked = sound.FramesMixed();
        sound.Play(SoundEffect::LapPlayer);
        sound.Play(SoundEffect::LapComputer);
        Advance(sound, 400 * MS);
    }
    const AudioFrames output = disk.Output();
    const std::vector<std::int64_t> onsets = Onsets(output, 50 * MS);
    QCOMPARE(onsets.size(), std::size_t(3));
    QVERIFY2(StartsInTime(onsets[0], beepAsked), qPrintable(SpanText(onsets[0], beepAsked)));
    QVERIFY2(StartsInTime(onsets[1], goAsked), qPrintable(SpanText(onsets[1], goAsked)));
    QVERIFY2(StartsInTime(onsets[2], lapsAsked), qPrintable(SpanText(onsets[2], lapsAsked)));
    // The beep is the one tone of A; "GO!" sounds another note.
    const double beep = PitchHz(Span(output, onsets[0] + 10 * MS, 60 * MS), 200, 3000);
    const double go = PitchHz(Span(output, onsets[1] + 10 * MS, 60 * MS), 200, 3000);
    QVERIFY2(std::abs(beep - 880) < 10, qPrintable(QStringLiteral("beep at %1 Hz").arg(beep)));
    QVERIFY2(std::abs(go - beep) > 50, qPrintable(QStringLiteral("GO! at %1 Hz").arg(go)));
    // Both laps together: two cars crossing the line in the same tick are both heard.
    QVERIFY(Peak(Span(output, onsets[2], 300 * MS)) > Peak(Span(output, onsets[0], 100 * MS)) / 2);
}

// Each speed held long enough for the pitch to settle; the pitch in the settled part of each.
void TestSound::enginePitchFollowsSpeed() {
    DiskAudio disk;
    constexpr std::int64_t HOLD = 400 * MS;
    constexpr std::int64_t SETTLED = 250 * MS;
    std::vector<std::int64_t> speedAt;
    std::int64_t playerAt = 0, computerAt = 0, offAt = 0;
    {
        GameSound sound;
        QVERIFY(sound.Open(SOUNDS, std::make_unique<SdlAudio>()));
        for (int speed = 0; speed <= SoundMixer::TOP_SPEED; ++speed) {
            speedAt.push_back(sound.FramesMixed());
            sound.SetEngine(GameSound::PLAYER_CAR, speed);
            Advance(sound, HOLD);
        }
        sound.SetEngine(GameSound::PLAYER_CAR, 3);
        playerAt = Advance(sound, HOLD) - HOLD;
        sound.SetEngine(GameSound::PLAYER_CAR, GameSound::ENGINE_OFF);
        Advance(sound, 200 * MS);
        computerAt = sound.FramesMixed();
        sound.SetEngine(GameSound::COMPUTER_CAR, 3);
        Advance(sound, HOLD);
        sound.StopAll();
        offAt = sound.FramesMixed();
        Advance(sound, 300 * MS);
    }
    const AudioFrames output = disk.Output();
    std::vector<double> pitches;
    for (std::size_t speed = 0; speed < speedAt.size(); ++speed) {
        pitches.push_back(PitchHz(Span(output, speedAt[speed] + SETTLED, HOLD - SETTLED), 30, 400));
        if (speed > 0) {
            COMPARE_CASE(pitches[speed] > pitches[speed - 1] * 1.1, true,
                         QStringLiteral("speed %1 at %2 Hz, speed %3 at %4 Hz")
                             .arg(speed)
                             .arg(pitches[speed])
                             .arg(speed - 1)
                             .arg(pitches[speed - 1])
                             .toUtf8());
        }
    }
    QVERIFY2(pitches.back() > 2 * pitches.front(),
             qPrintable(QStringLiteral("%1 Hz at full speed, %2 Hz standing")
                            .arg(pitches.back())
                            .arg(pitches.front())));
    const double player = Rms(Span(output, playerAt + SETTLED, HOLD - SETTLED));
    const double computer = Rms(Span(output, computerAt + SETTLED, HOLD - SETTLED));
    QVERIFY2(
        computer > 0.01 && player > 1.8 * computer,
        qPrintable(QStringLiteral("player RMS %1, computer RMS %2").arg(player).arg(computer)));
    // Stopped, the output falls silent once the fade is over.
    QCOMPARE(Peak(Span(output, offAt + LATEST_START + 150 * MS, 100 * MS)), 0.0f);
}

void TestSound::mutedOutputIsSilent() {
    DiskAudio disk;
    std::int64_t unmutedAt = 0, mutedAgainAt = 0, endAt = 0;
    {
        GameSound sound(true);
        QVERIFY(sound.Open(SOUNDS, std::make_unique<SdlAudio>()));
        sound.SetEngine(GameSound::PLAYER_CAR, 5);
        sound.Play(SoundEffect::CountdownGo);
        Advance(sound, 300 * MS);
        sound.Play(SoundEffect::CrashSpin);
        unmutedAt = Advance(sound, 200 * MS);
        sound.SetMuted(false);
        Advance(sound, 300 * MS);
        mutedAgainAt = sound.FramesMixed();
        sound.SetMuted(true);
        sound.Play(SoundEffect::RaceWon);
        endAt = Advance(sound, 300 * MS);
    }
    const AudioFrames output = disk.Output();
    QCOMPARE(Peak(Span(output, 0, unmutedAt)), 0.0f);
    // Unmuted, the engine that was set while muted is heard; nothing asked for while muted is.
    QVERIFY2(StartsInTime(FirstSoundAt(output, unmutedAt), unmutedAt),
             qPrintable(SpanText(FirstSoundAt(output, unmutedAt), unmutedAt)));
    QVERIFY(Rms(Span(output, unmutedAt + 100 * MS, 150 * MS)) > 0.05);
    const std::int64_t silentFrom = mutedAgainAt + LATEST_START + 50 * MS;
    QCOMPARE(Peak(Span(output, silentFrom, endAt - silentFrom)), 0.0f);
}

// Every change of the mix, straight on the mixer: a click is a jump larger than the loudest mix
// makes on its own, and a clip a sample at full scale.
void TestSound::mixerNeitherClicksNorClips() {
    QStringList problems;
    SoundMixer mixer(GameSound::LoadSounds(SOUNDS, problems), false);
    QCOMPARE(problems, QStringList());
    AudioFrames output;
    const auto render = [&](std::int64_t frames) {
        std::vector<std::int16_t> block(static_cast<std::size_t>(frames));
        mixer.Render(block.data(), int(frames));
        const auto start = std::int64_t(output.size());
        for (const std::int16_t sample : block) {
            output.push_back(float(sample) / 32768.0f);
        }
        return start;
    };
    mixer.SetEngine(GameSound::PLAYER_CAR, 5);
    mixer.SetEngine(GameSound::COMPUTER_CAR, 5);
    const float loudEngines = LargestStep(Span(output, render(400 * MS) + 200 * MS, 200 * MS));
    // Each change made in the middle of a sound, against that sound's own largest step.
    const auto nothing = [] {};
    const struct {
        const char* change;
        std::function<void()> prepare;
        std::function<void()> make;
    } changes[] = {
        {"both engines off", nothing, [&] { mixer.StopAll(); }},
        {"engine started at full speed", nothing,
         [&] { mixer.SetEngine(GameSound::PLAYER_CAR, 5); }},
        {"full speed to standing", nothing, [&] { mixer.SetEngine(GameSound::PLAYER_CAR, 0); }},
        {"standing to full speed", nothing, [&] { mixer.SetEngine(GameSound::PLAYER_CAR, 5); }},
        {"muted", nothing, [&] { mixer.SetMuted(true); }},
        {"unmuted", nothing, [&] { mixer.SetMuted(false); }},
        {"engine off", nothing,
         [&] { mixer.SetEngine(GameSound::PLAYER_CAR, GameSound::ENGINE_OFF); }},
        {"race won stopped", [&] { mixer.Play(SoundEffect::RaceWon); }, [&] { mixer.StopAll(); }},
    };
    for (const auto& change : changes) {
        change.prepare();
        const std::int64_t madeAt = render(300 * MS) + 300 * MS;
        const float before =
            std::max(loudEngines, LargestStep(Span(output, madeAt - 100 * MS, 100 * MS)));
        change.make();
        // From the last sample before the change on: a jump may come right at it.
        const float step = LargestStep(Span(output, render(200 * MS) - 1, 200 * MS + 1));
        COMPARE_CASE(step <= before * 1.2f, true,
                     QStringLiteral("%1: step %2, the sound's own before %3")
                         .arg(change.change)
                         .arg(step)
                         .arg(before)
                         .toUtf8());
    }
    // Everything at once, as no race can: held under full scale.
    mixer.SetEngine(GameSound::PLAYER_CAR, 5);
    mixer.SetEngine(GameSound::COMPUTER_CAR, 5);
    for (int effect = 0; effect < SOUND_EFFECT_COUNT; ++effect) {
        mixer.Play(SoundEffect(effect));
    }
    const AudioFrames loudest = Span(output, render(1200 * MS), 1200 * MS);
    QVERIFY2(Peak(loudest) < 0.96f, qPrintable(QStringLiteral("peak %1").arg(Peak(loudest))));
    QVERIFY(Peak(loudest) > 0.9f);
}

// A device left open mixes silence on its own thread for ever: a game idle on its menu closes it,
// and the next sound opens it again.
void TestSound::deviceRestsWhenQuiet() {
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

void TestSound::withoutDeviceOrFiles_data() {
    QTest::addColumn<QByteArray>("driver");
    QTest::addColumn<QStringList>("missing");
    QTest::addColumn<QStringList>("damaged");
    QTest::addColumn<bool>("heard");
    QTest::addColumn<QString>("said");
    const QStringList none;
    QStringList everyFile{QString::fromLatin1(ENGINE_SOUND_FILE)};
    for (const char* name : SOUND_EFFECT_FILES) {
        everyFile << QString::fromLatin1(name);
    }
    QTest::newRow("dummy driver") << QByteArray("dummy") << none << none << true << QString();
    QTest::newRow("no such driver")
        << QByteArray("no_such_driver") << none << none << false << "Vantor: no sound device";
    // ALSA would say more than a dozen lines of its own about a device it cannot find.
    QTest::newRow("ALSA without its device")
        << QByteArray("alsa") << none << none << false << "Vantor: no sound device";
    QTest::newRow("no sound files")
        << QByteArray("dummy") << everyFile << none << false << "Vantor: no sound files in";
    QTest::newRow("one missing, one damaged")
        << QByteArray("dummy") << QStringList{"contact.wav"} << QStringList{"engine.wav"} << true
        << "Vantor: some sounds stay silent";
}

// No device or no files: the game plays on silently and says so in one line, however often it
// asks for sounds.
void TestSound::withoutDeviceOrFiles() {
    QFETCH(QByteArray, driver);
    QFETCH(QStringList, missing);
    QFETCH(QStringList, damaged);
    QFETCH(bool, heard);
    QFETCH(QString, said);
    QTemporaryDir folder;
    CopySounds(folder.path());
    for (const QString& name : missing) {
        QFile::remove(folder.filePath(name));
    }
    for (const QString& name : damaged) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("RIFF\x10\0\0\0WAVEjunk", 16);
    }
    qputenv("SDL_AUDIODRIVER", driver);
    qputenv("AUDIODEV", "vantor_no_such_device");
    StderrCapture stderrLines;
    {
        GameSound sound;
        QCOMPARE(sound.Open(folder.path(), std::make_unique<SdlAudio>()), heard);
        QCOMPARE(sound.Heard(), heard);
        sound.SetEngine(GameSound::PLAYER_CAR, 4);
        sound.Play(SoundEffect::Contact);
        sound.SetMuted(true);
        sound.SetMuted(false);
        sound.StopAll();
        QCOMPARE(sound.Open(folder.path(), std::make_unique<SdlAudio>()), heard);
        // A device that plays keeps taking frames; a silent game has none.
        if (heard) {
            QVERIFY(Advance(sound, 50 * MS) > 0);
        } else {
            QCOMPARE(sound.FramesMixed(), std::int64_t(0));
        }
    }
    qputenv("SDL_AUDIODRIVER", "dummy");
    qunsetenv("AUDIODEV");
    const QStringList lines = stderrLines.Lines();
    QVERIFY2(lines.size() == (said.isEmpty() ? 0 : 1),
             qPrintable(lines.join(QStringLiteral(" | "))));
    if (!said.isEmpty()) {
        QVERIFY2(lines.front().startsWith(said), qPrintable(lines.front()));
        for (const QString& name : missing + damaged) {
            QVERIFY2(missing.size() > 1 || lines.front().contains(name), qPrintable(lines.front()));
        }
    }
}

void TestSound::muteChoiceIsKept() {
    const QString settings = SoundSettings::FileName();
    QCOMPARE(QFileInfo(settings).fileName(), QStringLiteral("VantorSettings.ini"));
    QCOMPARE(QFileInfo(settings).path(), configHome.path());
    QFile::remove(settings);
    QCOMPARE(SoundSettings::ReadMuted(), false);
    QVERIFY(SoundSettings::WriteMuted(true));
    QCOMPARE(SoundSettings::ReadMuted(), true);
    QVERIFY(SoundSettings::WriteMuted(false));
    QCOMPARE(SoundSettings::ReadMuted(), false);
    // Beside the records, never in their file.
    QVERIFY(!QFile::exists(configHome.RecordsFile()));
    // A file the game cannot read as settings is neither believed nor overwritten.
    QFile::remove(settings);
    QFile foreign(settings);
    QVERIFY(foreign.open(QIODevice::WriteOnly));
    foreign.write("The player's own notes, not settings\n");
    foreign.close();
    QCOMPARE(SoundSettings::ReadMuted(), false);
    QCOMPARE(SoundSettings::WriteMuted(true), false);
    QVERIFY(foreign.open(QIODevice::ReadOnly));
    QCOMPARE(foreign.readAll(), QByteArray("The player's own notes, not settings\n"));
    foreign.close();
    QFile::remove(settings);
}

void TestSound::mKeyMutesEveryScreen() {
    QFile::remove(SoundSettings::FileName());
    const PreviewDirectory pictures;
    {
        Vantor game(pictures.Path());
        game.Start();
        const GameScreens screens(game);
        QSignalSpy moved(screens.start, &StartScreen::MenuMoved);
        QSignalSpy raceAsked(screens.start, &StartScreen::StartTheRace);
        QSignalSpy returned(screens.end, &EndScreen::ReturnToStart);
        QCOMPARE(game.Sound().Muted(), false);

        const struct {
            const char* screen;
            std::function<void()> enter;
        } screensInTurn[] = {
            {"start", [] {}},
            {"race", [&] { game.RaceStart(); }},
            {"end", [&] { game.RaceFinished(true, 30000); }},
        };
        bool muted = false;
        for (const auto& screen : screensInTurn) {
            screen.enter();
            QTest::keyClick(&game, Qt::Key_M);
            muted = !muted;
            COMPARE_CASE(game.Sound().Muted(), muted, screen.screen);
            COMPARE_CASE(SoundSettings::ReadMuted(), muted, screen.screen);
            // A held M does not flicker the sound.
            QKeyEvent repeat(QEvent::KeyPress, Qt::Key_M, Qt::NoModifier, QString(), true);
            QApplication::sendEvent(&game, &repeat);
            COMPARE_CASE(game.Sound().Muted(), muted, screen.screen);
        }
        // M reached no screen: the menu did not move, the end screen is still up.
        QCOMPARE(moved.count(), 0);
        QCOMPARE(raceAsked.count(), 0);
        QCOMPARE(returned.count(), 0);
        QTest::keyClick(&game, Qt::Key_Space);
        QCOMPARE(returned.count(), 1);
    }
    {
        Vantor nextRun(pictures.Path());
        QCOMPARE(nextRun.Sound().Muted(), true);
    }
    // Where the choice cannot be kept, M still works, and the player is told once.
    QFile::remove(SoundSettings::FileName());
    QVERIFY(QDir().mkpath(SoundSettings::FileName()));
    Vantor unsaved(pictures.Path());
    StderrCapture stderrLines;
    for (const bool muted : {true, false, true}) {
        QTest::keyClick(&unsaved, Qt::Key_M);
        QCOMPARE(unsaved.Sound().Muted(), muted);
    }
    const QStringList lines = stderrLines.Lines();
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.front().contains(QStringLiteral("could not be saved")),
             qPrintable(lines.front()));
    QVERIFY(QFileInfo(SoundSettings::FileName()).isDir());
    QDir(SoundSettings::FileName()).removeRecursively();
}

// A key that moves the menu is heard, one that changes nothing is not; starting the race is.
void TestSound::menuMovesAreHeard() {
    QFile::remove(SoundSettings::FileName());
    const PreviewDirectory pictures;
    CopySounds(pictures.Path() + SOUND_FOLDER);
    DiskAudio disk;
    std::int64_t upAt = 0, downAt = 0, startAt = 0;
    {
        Vantor game(pictures.Path());
        game.Start();
        game.StartLateServices();
        QVERIFY(game.Sound().Heard());
        const GameScreens screens(game);
        QSignalSpy moved(screens.start, &StartScreen::MenuMoved);
        upAt = Advance(game.Sound(), 100 * MS);
        QTest::keyClick(&game, Qt::Key_Up);  // already on the top row
        downAt = Advance(game.Sound(), 200 * MS);
        QTest::keyClick(&game, Qt::Key_Down);
        Advance(game.Sound(), 200 * MS);
        // The rest of the menu by its signal: which keys change something.
        const struct {
            Qt::Key key;
            int moves;
        } presses[] = {
            {Qt::Key_Left, 0}, {Qt::Key_Right, 1}, {Qt::Key_Right, 1}, {Qt::Key_Right, 0},
            {Qt::Key_Up, 1},   {Qt::Key_Right, 1}, {Qt::Key_Left, 1},  {Qt::Key_Down, 1},
            {Qt::Key_Down, 1}, {Qt::Key_Left, 1},  {Qt::Key_Left, 0},  {Qt::Key_Down, 1},
            {Qt::Key_Down, 1}, {Qt::Key_Down, 0},
        };
        int expected = 1;
        for (std::size_t i = 0; i < std::size(presses); ++i) {
            QTest::keyClick(&game, presses[i].key);
            expected += presses[i].moves;
            COMPARE_CASE(int(moved.count()), expected, QByteArray::number(int(i)));
        }
        Advance(game.Sound(), 200 * MS);
        startAt = game.Sound().FramesMixed();
        QTest::keyClick(&game, Qt::Key_Return);
        Advance(game.Sound(), 300 * MS);
    }
    const AudioFrames output = disk.Output();
    QVERIFY2(StartsInTime(FirstSoundAt(output, 0), downAt),
             qPrintable(SpanText(FirstSoundAt(output, 0), downAt)));
    QVERIFY(upAt < downAt);
    QVERIFY2(StartsInTime(FirstSoundAt(output, startAt), startAt),
             qPrintable(SpanText(FirstSoundAt(output, startAt), startAt)));
    // The start of a race is not a menu move: a rising sweep, longer than a tick.
    QVERIFY(Rms(Span(output, FirstSoundAt(output, startAt) + 100 * MS, 50 * MS)) > 0.05);
}

QTEST_MAIN(TestSound)
#include "tst_sound.moc"

// Heard through the sound device, a race sounds as it goes: a beep at each of "3", "2" and "1"
// and "GO!" at its own timeout, the engine rising with the car's speed, the rush of the spin when
// the car leaves the road. Muted, the same race is silence; heard or not, it is the same race.
void TestSound::aRaceIsHeard() {
    QFile::remove(SoundSettings::FileName());
    const PreviewDirectory pictures;
    CopySounds(pictures.Path() + SOUND_FOLDER);
    AudioFrames output, mutedOutput;
    QVector<HeardRace::Moment> heard, silent;
    {
        DiskAudio disk;
        heard = HeardRace(pictures.Path(), false).moments;
        output = disk.Output();
    }
    {
        DiskAudio disk;
        silent = HeardRace(pictures.Path(), true).moments;
        mutedOutput = disk.Output();
    }
    QCOMPARE(silent.size(), heard.size());
    for (int i = 0; i < heard.size(); ++i) {
        COMPARE_CASE(silent[i].position, heard[i].position, "timeout " + QByteArray::number(i + 1));
    }
    QCOMPARE(Peak(mutedOutput), 0.0f);

    // The countdown: the race screen's first three timeouts bring "2", "1" and "GO!"; "3" came
    // with the start, after the menu's own sound.
    const std::vector<std::int64_t> onsets = Onsets(output, 100 * MS);
    for (int timeout = 1; timeout <= 3; ++timeout) {
        const std::int64_t asked = heard[timeout - 1].frame;
        const auto onset = std::find_if(onsets.begin(), onsets.end(),
                                        [&](std::int64_t at) { return at >= asked; });
        COMPARE_CASE(onset != onsets.end() && StartsInTime(*onset, asked), true,
                     "countdown timeout " + QByteArray::number(timeout));
    }
    // The engine's pitch at each speed the car held for a while, rising with it.
    double lastPitch = 0;
    for (int speed = 1; speed <= 5; ++speed) {
        const auto at = std::find_if(heard.begin(), heard.end(),
                                     [&](const HeardRace::Moment& m) { return m.speed == speed; });
        QVERIFY(at != heard.end());
        // Past the glide to the new pitch.
        const double pitch = PitchHz(Span(output, at->frame + 100 * MS, 60 * MS), 30, 400);
        COMPARE_CASE(pitch > lastPitch * 1.1, true,
                     QStringLiteral("speed %1: %2 Hz after %3 Hz")
                         .arg(speed)
                         .arg(pitch)
                         .arg(lastPitch)
                         .toUtf8());
        lastPitch = pitch;
    }
    // The spin: a rush of noise over the engine's hum.
    const auto spin = std::find_if(heard.begin(), heard.end(),
                                   [](const HeardRace::Moment& m) { return m.spinning; });
    QVERIFY(spin != heard.end());
    const double before = HighsRms(Span(output, spin->frame - 150 * MS, 100 * MS));
    const double during = HighsRms(Span(output, spin->frame + LATEST_START, 100 * MS));
    QVERIFY2(during > 3 * before,
             qPrintable(
                 QStringLiteral("highs %1 during the spin, %2 before it").arg(during).arg(before)));
}
