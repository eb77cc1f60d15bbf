#include "app/ReplayVerifier.h"

#include "race/ReplayCheck.h"
#include "race/ReplayFile.h"
#include "records/ReplayStore.h"

namespace {

enum ExitStatus { allReproduce = 0, notReproduced = 1, unreadable = 2 };

constexpr const char* LEVEL_NAMES[] = {"Easy", "Medium", "Hard"};

QString RaceWords(const Replay& replay) {
    const RaceSettings& race = replay.settings;
    QString kind = QStringLiteral("against the computer");
    if (race.mode == RaceMode::twoPlayers) {
        kind = QStringLiteral("two players");
    } else if (race.mode == RaceMode::timeTrial) {
        kind = replay.ghost ? QStringLiteral("time trial against a ghost")
                            : QStringLiteral("time trial against the clock");
    }
    return QStringLiteral("track %1, %2, %3 %4, %5")
        .arg(race.track + 1)
        .arg(QLatin1String(LEVEL_NAMES[race.level]))
        .arg(race.laps)
        .arg(race.laps == 1 ? QStringLiteral("lap") : QStringLiteral("laps"), kind);
}

}  // namespace

int VerifyReplays(const QStringList& files, QTextStream& out, QTextStream& errors) {
    int status = allReproduce;
    for (const QString& file : files) {
        QString why;
        const std::optional<QByteArray> text = ReplayStore::ReadFile(file, &why);
        const ReplayFile::Reading reading =
            text ? ReplayFile::Read(*text) : ReplayFile::Reading{std::nullopt, why};
        if (!reading.replay) {
            errors << "vantor: " << file << ": cannot be read: " << reading.error << '\n';
            status = unreadable;
            continue;
        }
        const Replay& replay = *reading.replay;
        const ReplayCheck check = CheckReplay(replay);
        out << file << ": " << RaceWords(replay) << ": "
            << OutcomeWords(replay.settings.mode, replay.outcome) << " in "
            << QString::number(double(replay.ElapsedMs()) / 1000.0, 'f', 3) << " s ("
            << replay.ticks << " ticks): "
            << (check.Reproduces() ? QStringLiteral("reproduces")
                                   : QStringLiteral("does not reproduce: ") + check.difference)
            << '\n';
        if (!check.Reproduces() && status == allReproduce) {
            status = notReproduced;
        }
    }
    out.flush();
    errors.flush();
    return status;
}
