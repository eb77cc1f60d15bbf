#include <QtTest>
#include <cmath>

#include "tests/support/CompareCase.h"
#include "tests/support/GameFixture.h"

// A start menu of its own on the game's canvas: its signals reach only the test.
class StartScreenTest : public QObject {
    Q_OBJECT

    const QColor HIGHLIGHT{255, 255, 80};
    // Track title, level title and value, laps title and value, what to race, "Start Race".
    static constexpr int LINE_Y[] = {150, 175, 190, 210, 225, 245, 265};

    // The text on this line that is not an arrow, or the arrow with this text.
    LevelSelectBox* At(int y, const QString& arrow = {}) const {
        for (LevelSelectBox* text : ItemsOf<LevelSelectBox>(canvas))
            if (arrow.isEmpty() ? text->y() == y && text->text().at(0).isLetterOrNumber()
                                : text->text() == arrow)
                return text;
        return nullptr;
    }
    // The logo on top of the preview, where it belongs.
    bool LogoShown() const {
        const auto* top = dynamic_cast<ImageItem*>(canvas.items(QPointF(112, 60)).value(0));
        return top && top->Image().size() == QSize(180, 115) && top->pos() == QPointF(22, 5);
    }
    // "reports|lines arrows preview level laps race": lines '*' when highlighted, arrows "<>",
    // "<-", "->" or "--"; then every text in the wrong style or place.
    QString Press(int key) {
        menu.ChangeSelectedLevel(key);
        const LevelSelectBox* side[] = {At(0, "<<"), At(0, ">>")};
        QString lines, faults;
        for (int y : LINE_Y) lines += At(y)->Colour() == HIGHLIGHT ? '*' : '.';
        for (const LevelSelectBox* text : ItemsOf<LevelSelectBox>(canvas)) {
            const bool arrow = text == side[0] || text == side[1];
            const bool high = arrow || text->Colour() == HIGHLIGHT;
            // Arrows beside the selected row's title, texts centred with truncated halves.
            const QPointF place =
                arrow ? QPointF(text == side[0] ? 52 : 166, LINE_Y[lines.indexOf('*')])
                      : QPointF(225 / 2 - int(std::ceil(text->boundingRect().width())) / 2,
                                text->y());
            const QFont font = text->font();
            if (text->Colour() != (high ? HIGHLIGHT : QColor(75, 234, 254)) ||
                font.family() != "Helvetica" || font.pixelSize() != (high ? 12 : 10) ||
                font.weight() != (high ? QFont::Bold : QFont::Normal) || text->pos() != place ||
                text->zValue() != 1 || !(arrow || text->isVisible()))
                faults += " fault:" + text->text();
        }
        return std::exchange(reports, {}).join(',') +
               QStringLiteral("|%1 %2%3 %4 %5 %6 %7%8")
                   .arg(lines, side[0]->isVisible() ? "<" : "-", side[1]->isVisible() ? ">" : "-")
                   .arg(ShownPreview())
                   .arg(At(LINE_Y[2])->text(), At(LINE_Y[4])->text(), At(LINE_Y[5])->text(),
                        faults);
    }

    const TemporaryConfigHome configHome;
    const PreviewDirectory pictures;
    Vantor game{pictures.Path()};
    Canvas& canvas = static_cast<Canvas&>(*GameScreens(game).canvas);
    StartScreen menu{canvas, nullptr};
    QStringList reports;

  private slots:
    void keysWalkTheMenu() {
        const auto note = [this](QString what) { return [=](int v) { reports << what.arg(v); }; };
        connect(&menu, &StartScreen::RaceTrackUpdated, note("track %1"));
        connect(&menu, &StartScreen::RaceLevelUpdated, note("level %1"));
        connect(&menu, &StartScreen::RaceLengthUpdated, note("laps %1"));
        connect(&menu, &StartScreen::RaceChoiceUpdated, note("race %1"));
        connect(&menu, &StartScreen::StartTheRace, [this] { reports << "start"; });
        menu.Show();
        QVERIFY(LogoShown());
        QStringList texts;
        for (int y : LINE_Y) texts << At(y)->text();
        QCOMPARE(texts, QStringList({"Select Track", "Select Level", "Easy", "Laps", "5",
                                     "Race Computer", "Start Race"}));

        // Each step: the key (Up, Down, Left, Right), what is reported, what is then on screen.
        QStringList steps{"U|*...... -> 0 Easy 5 Race Computer",
                          "L|*...... -> 0 Easy 5 Race Computer"};
        for (int track = 1; track < 15; ++track) {
            steps << QStringLiteral("R|*...... <%1 %2 Easy 5 Race Computer")
                         .arg(track < 14 ? ">" : "-")
                         .arg(track);
        }
        // clang-format off
        steps << QString(R"(R|*...... <- 14 Easy 5 Race Computer;
L|*...... <> 13 Easy 5 Race Computer;
Dtrack 13|.**.... -> 13 Easy 5 Race Computer;
R|.**.... <> 13 Medium 5 Race Computer;
R|.**.... <- 13 Hard 5 Race Computer;
R|.**.... <- 13 Hard 5 Race Computer;
L|.**.... <> 13 Medium 5 Race Computer;
L|.**.... -> 13 Easy 5 Race Computer;
L|.**.... -> 13 Easy 5 Race Computer;
R|.**.... <> 13 Medium 5 Race Computer;
Ulevel 1|*...... <> 13 Medium 5 Race Computer;
Dtrack 13|.**.... <> 13 Medium 5 Race Computer;
Dlevel 1|...**.. -> 13 Medium 5 Race Computer;
R|...**.. <> 13 Medium 10 Race Computer;
R|...**.. <> 13 Medium 15 Race Computer;
R|...**.. <> 13 Medium 20 Race Computer;
R|...**.. <- 13 Medium 25 Race Computer;
R|...**.. <- 13 Medium 25 Race Computer;
L|...**.. <> 13 Medium 20 Race Computer;
L|...**.. <> 13 Medium 15 Race Computer;
L|...**.. <> 13 Medium 10 Race Computer;
L|...**.. -> 13 Medium 5 Race Computer;
L|...**.. -> 13 Medium 1 Race Computer;
L|...**.. -> 13 Medium 1 Race Computer;
R|...**.. -> 13 Medium 5 Race Computer;
L|...**.. -> 13 Medium 1 Race Computer;
Ulaps 1|.**.... <> 13 Medium 1 Race Computer;
Dlevel 1|...**.. -> 13 Medium 1 Race Computer;
Dlaps 1|.....*. -> 13 Medium 1 Race Computer;
R|.....*. <> 13 Medium 1 Race Clock;
R|.....*. <> 13 Medium 1 Two Players;
R|.....*. <- 13 Medium 1 No Record Yet;
R|.....*. <- 13 Medium 1 No Record Yet;
L|.....*. <> 13 Medium 1 Two Players;
L|.....*. <> 13 Medium 1 Race Clock;
L|.....*. -> 13 Medium 1 Race Computer;
Urace 0|...**.. -> 13 Medium 1 Race Computer;
Dlaps 1|.....*. -> 13 Medium 1 Race Computer;
Drace 0|......* <> 13 Medium 1 Race Computer;
D|......* <> 13 Medium 1 Race Computer;
U|.....*. -> 13 Medium 1 Race Computer;
Drace 0|......* <> 13 Medium 1 Race Computer;
Lstart|......* <> 13 Medium 1 Race Computer;
Rstart|......* <> 13 Medium 1 Race Computer)").split(QRegularExpression(";\\s*"));
        // clang-format on
        const int keys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right};
        for (int i = 0; i < steps.size(); ++i) {
            const QString& step = steps[i];
            const QByteArray name = "step " + QByteArray::number(i + 1);
            COMPARE_CASE(Press(keys[QStringLiteral("UDLR").indexOf(step[0])]), step.mid(1), name);
            // Only "Start Race" takes the race keys.
            const QString onScreen = step.mid(step.indexOf('|'));
            for (int key :
                 {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Pause, Qt::Key_Space}) {
                const bool starts = onScreen[7] == '*' && key != Qt::Key_Space;
                COMPARE_CASE(Press(key), (starts ? "start" : "") + onScreen,
                             name + ", then " + QKeySequence(key).toString().toUtf8());
            }
        }
        QVERIFY(!LogoShown());

        // Hidden, the menu leaves the canvas and ignores keys; shown again, it brings back the
        // logo. Its visibility, the hidden preview and the rows and values it comes back with are
        // the game flow test's.
        const int itemsWithMenu = canvas.items().size();
        menu.Hide();
        menu.ChangeSelectedLevel(Qt::Key_Down);
        menu.ChangeSelectedLevel(Qt::Key_Return);
        QCOMPARE(reports, QStringList());
        QCOMPARE(canvas.items().size(), itemsWithMenu - 10);
        menu.Show();
        QVERIFY(LogoShown());
    }
};

QTEST_MAIN(StartScreenTest)
#include "tst_start_screen.moc"
