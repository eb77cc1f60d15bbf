#include "race/ReplayFile.h"

#include <QList>
#include <algorithm>
#include <iterator>

#include "platform/GameFacts.h"
#include "race/Race.h"
#include "race/RulesIdentity.h"

namespace {

const QByteArray MAGIC = "Vantor replay";

constexpr const char* LEVEL_WORDS[] = {"Easy", "Medium", "Hard"};
constexpr int LAP_CHOICES[] = {1, 5, 10, 15, 20, 25};

struct ModeWords {
    RaceMode mode;
    const char* word;
    const char* blueWon;
    const char* yellowWon;
};
constexpr ModeWords MODE_WORDS[] = {
    {RaceMode::againstComputer, "computer", "player won", "computer won"},
    {RaceMode::timeTrial, "time-trial", "player won", "ghost won"},
    {RaceMode::twoPlayers, "two-players", "player 1 won", "player 2 won"},
};
constexpr const char* GIVEN_UP = "given up";

// Each event is its key's name on the keyboard, '+' pressed or '-' released.
struct KeyName {
    RaceSeat player;
    RaceKey key;
    const char* name;
};
constexpr KeyName KEY_NAMES[] = {
    {blueSeat, RaceKey::Left, "Left"},   {blueSeat, RaceKey::Up, "Up"},
    {blueSeat, RaceKey::Right, "Right"}, {blueSeat, RaceKey::Down, "Down"},
    {blueSeat, RaceKey::Restart, "R"},   {blueSeat, RaceKey::GiveUp, "Esc"},
    {yellowSeat, RaceKey::Left, "A"},    {yellowSeat, RaceKey::Up, "W"},
    {yellowSeat, RaceKey::Right, "D"},   {yellowSeat, RaceKey::Down, "S"},
};

const ModeWords& WordsOf(RaceMode mode) {
    return *std::find_if(std::begin(MODE_WORDS), std::end(MODE_WORDS),
                         [mode](const ModeWords& words) { return words.mode == mode; });
}

QByteArray ResultWords(RaceMode mode, RaceOutcome outcome) {
    switch (outcome) {
        case RaceOutcome::blueWon:
            return WordsOf(mode).blueWon;
        case RaceOutcome::yellowWon:
            return WordsOf(mode).yellowWon;
        case RaceOutcome::givenUp:
            break;
    }
    return GIVEN_UP;
}

QByteArray EventName(const RaceInput& input) {
    const auto* name =
        std::find_if(std::begin(KEY_NAMES), std::end(KEY_NAMES), [&](const KeyName& candidate) {
            return candidate.player == input.player && candidate.key == input.key;
        });
    return QByteArray(name->name) + (input.pressed ? '+' : '-');
}

QByteArray TimeWords(int ticks) {
    return QByteArray::number(double(ticks) * Race::TICK_MS / 1000.0, 'f', 3);
}

void WriteEvents(QByteArray& text, const std::vector<TimedInput>& inputs) {
    text += "events " + QByteArray::number(qsizetype(inputs.size())) + '\n';
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const bool firstOfTick = i == 0 || inputs[i - 1].tick != inputs[i].tick;
        if (firstOfTick) {
            text += (i == 0 ? "" : "\n") + QByteArray::number(inputs[i].tick);
        }
        text += ' ' + EventName(inputs[i].input);
    }
    if (!inputs.empty()) {
        text += '\n';
    }
}

// Reads the file line by line, each line a keyword and its value, and remembers the first fault.
class LineReader {
  public:
    explicit LineReader(const QByteArray& text) {
        for (QByteArray line : text.split('\n')) {
            if (line.endsWith('\r')) {
                line.chop(1);
            }
            lines.append(line);
        }
    }

    bool Failed() const { return !error.isEmpty(); }
    const QString& Error() const { return error; }

    void Fail(const QString& why) { FailAt(current, why); }
    void FailAt(qsizetype line, const QString& why) {
        if (!Failed()) {
            error = QStringLiteral("line %1: %2").arg(line).arg(why);
        }
    }
    // The number of the line read last, counted from 1.
    qsizetype Line() const { return current; }

    // The next line that says something; empty at the end of the file.
    QByteArray NextLine() {
        while (next < lines.size()) {
            const QByteArray line = lines.at(next++).trimmed();
            current = next;
            if (!line.isEmpty() && !line.startsWith('#')) {
                return line;
            }
        }
        current = next + 1;
        return QByteArray();
    }

    // The value after this keyword on the next line.
    QByteArray Value(const QByteArray& keyword) {
        if (Failed()) {
            return QByteArray();
        }
        const QByteArray line = NextLine();
        if (!line.startsWith(keyword + ' ')) {
            Fail(QStringLiteral("\"%1\" was expected here").arg(QString::fromLatin1(keyword)));
            return QByteArray();
        }
        return line.mid(keyword.size() + 1).trimmed();
    }

    int Number(const QByteArray& keyword, int lowest, int highest) {
        const QByteArray text = Value(keyword);
        bool ok = false;
        const int value = text.toInt(&ok);
        if (!Failed() && (!ok || value < lowest || value > highest)) {
            Fail(QStringLiteral("%1 must be a whole number from %2 to %3")
                     .arg(QString::fromLatin1(keyword))
                     .arg(lowest)
                     .arg(highest));
        }
        return value;
    }

    // The index of the value among these words.
    template <typename Words, typename Text>
    int Choice(const QByteArray& keyword, const Words& words, Text text) {
        const QByteArray value = Value(keyword);
        for (std::size_t i = 0; i < std::size(words); ++i) {
            if (value == text(words[i])) {
                return int(i);
            }
        }
        Fail(QStringLiteral("unknown %1 \"%2\"")
                 .arg(QString::fromLatin1(keyword), QString::fromUtf8(value.left(40))));
        return 0;
    }

  private:
    QList<QByteArray> lines;
    qsizetype next = 0;
    qsizetype current = 0;
    QString error;
};

RaceMode ReadMode(LineReader& reader) {
    return MODE_WORDS[reader.Choice("mode", MODE_WORDS,
                                    [](const ModeWords& w) { return QByteArray(w.word); })]
        .mode;
}

int ReadLevel(LineReader& reader) {
    return reader.Choice("level", LEVEL_WORDS, [](const char* word) { return QByteArray(word); });
}

std::optional<RaceInput> ParseEvent(const QByteArray& token, RaceMode mode) {
    const char sign = token.isEmpty() ? ' ' : token.back();
    if (sign != '+' && sign != '-') {
        return std::nullopt;
    }
    const QByteArray name = token.chopped(1);
    for (const KeyName& key : KEY_NAMES) {
        // The second player's keys belong to a two-player race alone.
        if (name == key.name && (key.player == blueSeat || mode == RaceMode::twoPlayers)) {
            return RaceInput{key.player, key.key, sign == '+'};
        }
    }
    return std::nullopt;
}

// "events <count>", then lines of "<timeout> <event>..." in the order of their timeouts, none
// later than the race can take keys.
std::vector<TimedInput> ReadEvents(LineReader& reader, RaceMode mode, int ticks) {
    std::vector<TimedInput> inputs;
    const int count = reader.Number("events", 0, ReplayFile::MAX_EVENTS);
    // Keys count until the race's last timeout.
    const int lastTick = Race::TimeoutsOf(ticks) - 1;
    while (!reader.Failed() && int(inputs.size()) < count) {
        const QList<QByteArray> words = reader.NextLine().split(' ');
        bool ok = false;
        const int tick = words.first().toInt(&ok);
        const int previous = inputs.empty() ? 0 : inputs.back().tick;
        if (!ok || tick < previous || tick > lastTick || words.size() < 2) {
            reader.Fail(QStringLiteral("an event line must be a timeout from %1 to %2 and its "
                                       "events; there should be %3 events")
                            .arg(previous)
                            .arg(lastTick)
                            .arg(count));
            break;
        }
        for (auto word = words.begin() + 1; word != words.end() && !reader.Failed(); ++word) {
            const std::optional<RaceInput> input = ParseEvent(*word, mode);
            if (!input || int(inputs.size()) == count) {
                reader.Fail(input ? QStringLiteral("more events than the %1 announced").arg(count)
                                  : QStringLiteral("unknown event \"%1\"")
                                        .arg(QString::fromUtf8(word->left(20))));
            } else {
                inputs.push_back({tick, *input});
            }
        }
    }
    return inputs;
}

// What the result's words say for this mode; none when they say nothing it can be.
std::optional<RaceOutcome> OutcomeOf(const QByteArray& value, RaceMode mode, bool ghostRaced) {
    const ModeWords& words = WordsOf(mode);
    if (value == words.blueWon) {
        return RaceOutcome::blueWon;
    }
    // With no ghost, a time trial is a race against the clock alone.
    if (value == words.yellowWon && (mode != RaceMode::timeTrial || ghostRaced)) {
        return RaceOutcome::yellowWon;
    }
    if (value == GIVEN_UP) {
        return RaceOutcome::givenUp;
    }
    return std::nullopt;
}

// The ghost's race has the record's track and laps. A ghost that won a time trial is kept as it
// was first recorded, so a ghost's race that was a time trial is always the player's car.
std::optional<GhostRun> ReadGhost(LineReader& reader, const RaceSettings& race) {
    GhostRun ghost;
    ghost.settings = race;
    ghost.settings.level = ReadLevel(reader);
    ghost.settings.mode = ReadMode(reader);
    const bool yellow = reader.Choice("car", std::array{"blue", "yellow"},
                                      [](const char* w) { return QByteArray(w); }) == 1;
    ghost.seat = yellow ? yellowSeat : blueSeat;
    if (!reader.Failed() && yellow && ghost.settings.mode == RaceMode::timeTrial) {
        reader.Fail(QStringLiteral("a ghost raced in a time trial is the player's blue car"));
    }
    ghost.ticks = reader.Number("ticks", 1, ReplayFile::MAX_TICKS);
    ghost.inputs = ReadEvents(reader, ghost.settings.mode, ghost.ticks);
    return ghost;
}

}  // namespace

QByteArray ReplayFile::Write(const Replay& replay) {
    const RaceSettings& race = replay.settings;
    QByteArray text = MAGIC + ' ' + QByteArray::number(FORMAT_VERSION) + '\n';
    text += "rules " + RulesIdentity().toLatin1() + '\n';
    text += "track " + QByteArray::number(race.track + 1) + '\n';
    text += QByteArray("level ") + LEVEL_WORDS[race.level] + '\n';
    text += "laps " + QByteArray::number(race.laps) + '\n';
    text += QByteArray("mode ") + WordsOf(race.mode).word + '\n';
    text += "result " + ResultWords(race.mode, replay.outcome) + '\n';
    text += "ticks " + QByteArray::number(replay.ticks) + '\n';
    text += "time " + TimeWords(replay.ticks) + '\n';
    WriteEvents(text, replay.inputs);
    if (replay.ghost) {
        const GhostRun& ghost = *replay.ghost;
        text += "ghost\n";
        text += QByteArray("level ") + LEVEL_WORDS[ghost.settings.level] + '\n';
        text += QByteArray("mode ") + WordsOf(ghost.settings.mode).word + '\n';
        text += QByteArray("car ") + (ghost.seat == blueSeat ? "blue" : "yellow") + '\n';
        text += "ticks " + QByteArray::number(ghost.ticks) + '\n';
        WriteEvents(text, ghost.inputs);
    }
    return text + "end\n";
}

ReplayFile::Reading ReplayFile::Read(const QByteArray& text) {
    if (text.size() > MAX_BYTES) {
        return {std::nullopt,
                QStringLiteral("it is larger than any replay (over %1 KiB)").arg(MAX_BYTES / 1024)};
    }
    LineReader reader(text);
    const QByteArray format = reader.NextLine();
    if (!format.startsWith(MAGIC + ' ')) {
        return {std::nullopt, QStringLiteral("it is not a Vantor replay")};
    }
    if (format != MAGIC + ' ' + QByteArray::number(FORMAT_VERSION)) {
        return {std::nullopt,
                QStringLiteral("it is a replay of format \"%1\"; this game reads format %2")
                    .arg(QString::fromUtf8(format.mid(MAGIC.size() + 1).left(20)))
                    .arg(FORMAT_VERSION)};
    }
    const QByteArray rules = reader.Value("rules");
    if (!reader.Failed() && rules != RulesIdentity().toLatin1()) {
        return {std::nullopt,
                QStringLiteral("it was made by a game with other rules or tracks (rules %1; this "
                               "game's are %2), so it would not replay the same race")
                    .arg(QString::fromUtf8(rules.left(40)), RulesIdentity())};
    }

    Replay replay;
    RaceSettings& race = replay.settings;
    race.track = reader.Number("track", 1, TRACK_COUNT) - 1;
    race.level = ReadLevel(reader);
    race.laps = LAP_CHOICES[reader.Choice("laps", LAP_CHOICES,
                                          [](int laps) { return QByteArray::number(laps); })];
    race.mode = ReadMode(reader);
    // Whether a ghost was raced shows only further down; the result is read against it there.
    const QByteArray resultWords = reader.Value("result");
    const qsizetype resultLine = reader.Line();
    replay.ticks = reader.Number("ticks", 0, MAX_TICKS);
    if (!reader.Failed() && reader.Value("time") != TimeWords(replay.ticks)) {
        reader.Fail(QStringLiteral("the time does not match the ticks (%1 s)")
                        .arg(QString::fromLatin1(TimeWords(replay.ticks))));
    }
    replay.inputs = ReadEvents(reader, race.mode, replay.ticks);
    QByteArray section = reader.Failed() ? QByteArray() : reader.NextLine();
    if (section == "ghost") {
        if (race.mode != RaceMode::timeTrial) {
            reader.Fail(QStringLiteral("only a time trial has a ghost"));
        }
        replay.ghost = ReadGhost(reader, race);
        section = reader.Failed() ? QByteArray() : reader.NextLine();
    }
    if (!reader.Failed() && section != "end") {
        reader.Fail(QStringLiteral("\"end\" was expected here"));
    }
    if (!reader.Failed() && !reader.NextLine().isEmpty()) {
        reader.Fail(QStringLiteral("nothing may follow \"end\""));
    }
    if (!reader.Failed()) {
        const auto outcome = OutcomeOf(resultWords, race.mode, replay.ghost.has_value());
        if (!outcome) {
            reader.FailAt(resultLine, QStringLiteral("the result of this race cannot be \"%1\"")
                                          .arg(QString::fromUtf8(resultWords.left(40))));
        }
        replay.outcome = outcome.value_or(RaceOutcome::givenUp);
    }
    if (reader.Failed()) {
        return {std::nullopt, reader.Error()};
    }
    return {replay, QString()};
}
