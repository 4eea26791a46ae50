#include "app/models/FolgaLineModel.h"
#include "app/models/FolgaStatement.h"
#include "app/models/MissionGoals.h"

#include <gtest/gtest.h>

using namespace kestravin;
using namespace Qt::StringLiterals;

namespace {

const QDateTime now(QDate(2030, 5, 1), QTime(15, 0), Qt::UTC);
const QTimeZone saoPaulo("America/Sao_Paulo");
const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);

DesktopAccountSnapshot withFolga(qint64 available, qint64 minutes, std::optional<QString> endsAt = std::nullopt)
{
    AccountFolga folga;
    folga.available = available;
    folga.minutes = minutes;
    if (endsAt) {
        folga.active = AccountFolga::Active { *endsAt };
    }
    DesktopAccountSnapshot snapshot({}, folga);
    snapshot.user.id = u"u1"_s;
    return snapshot;
}

QList<AccountMission> goals(std::initializer_list<std::pair<const char*, qint64>> list)
{
    QList<AccountMission> out;
    for (const auto& [kind, target] : list) {
        out.append({ QString::fromUtf8(kind), target });
    }
    return out;
}

} // namespace

TEST(FolgaLineModelTest, SpeaksOfTheBreakLengthTheRunningEndOrHowToEarnOne)
{
    struct Case {
        const char* name;
        std::optional<DesktopAccountSnapshot> snapshot;
        std::optional<FolgaLineModel> expected;
    };
    DesktopAccountSnapshot noBlock;
    const QList<Case> cases {
        { "no account", std::nullopt, std::nullopt },
        { "no break block", noBlock, std::nullopt },
        { "two held, 15 min each: the length, not the count", withFolga(2, 15),
            FolgaLineModel { u"Você tem 15 min de folga."_s, 15 } },
        { "none held", withFolga(0, 20),
            FolgaLineModel { u"Precisa mesmo agora? Cumpra uma meta do dia e ganhe 20 min de folga."_s, {} } },
        { "running, shown in local time without a date", withFolga(0, 15, u"2030-05-01T17:15:00Z"_s),
            FolgaLineModel { u"Folga em uso até 14:15."_s, {} } },
        { "running with an offset", withFolga(1, 15, u"2030-05-01T14:15:00-03:00"_s),
            FolgaLineModel { u"Folga em uso até 14:15."_s, {} } },
        { "fractional seconds do not count as running", withFolga(0, 15, u"2030-05-01T17:15:00.000Z"_s),
            FolgaLineModel { u"Precisa mesmo agora? Cumpra uma meta do dia e ganhe 15 min de folga."_s, {} } },
        { "an end in the past falls back on the balance", withFolga(1, 10, u"2030-05-01T14:00:00Z"_s),
            FolgaLineModel { u"Você tem 10 min de folga."_s, 10 } },
        { "an end equal to now is over", withFolga(1, 10, u"2030-05-01T15:00:00Z"_s),
            FolgaLineModel { u"Você tem 10 min de folga."_s, 10 } },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FolgaLineModel::make(c.snapshot, now, brazil, saoPaulo), c.expected) << c.name;
    }
    EXPECT_EQ(FolgaLineModel::make(withFolga(2, 15), now, brazil, saoPaulo)->buttonAccessibleName(),
        u"Usar agora: 15 minutos de folga"_s);
}

TEST(FolgaStatementTest, LoadKeyAndSummaryTexts)
{
    DesktopAccountSnapshot snapshot = withFolga(2, 15, u"E"_s);
    snapshot.folga->earnedToday = { u"focus"_s, u"steps"_s };
    EXPECT_EQ(FolgaStatement::loadKey(snapshot, 0), u"u1|2|E|focus,steps|0"_s);
    EXPECT_EQ(FolgaStatement::loadKey(std::nullopt, 3), u"none"_s);
    DesktopAccountSnapshot bare;
    bare.user.id = u"u2"_s;
    EXPECT_EQ(FolgaStatement::loadKey(bare, 1), u"u2|0|||1"_s);

    EXPECT_EQ(FolgaStatement::headline(withFolga(1, 15)), u"1 folga disponível"_s);
    EXPECT_EQ(FolgaStatement::headline(withFolga(0, 15)), u"0 folgas disponíveis"_s);
    EXPECT_EQ(FolgaStatement::headline(withFolga(3, 15)), u"3 folgas disponíveis"_s);
    EXPECT_EQ(FolgaStatement::headline(bare), u"0 folgas disponíveis"_s);
    EXPECT_EQ(FolgaStatement::explanation(bare),
        u"Cada meta cumprida no dia vale 15 min livres durante o foco. As folgas valem até domingo."_s);
    EXPECT_EQ(FolgaStatement::explanation(withFolga(0, 20)),
        u"Cada meta cumprida no dia vale 20 min livres durante o foco. As folgas valem até domingo."_s);
    EXPECT_EQ(FolgaStatement::failure(true), u"Não foi possível atualizar o extrato agora."_s);
    EXPECT_EQ(FolgaStatement::failure(false), u"Não foi possível carregar o extrato agora."_s);
}

TEST(FolgaStatementTest, RowTexts)
{
    const QList<std::tuple<QString, QString, bool>> badges {
        { u"available"_s, u"Disponível"_s, true },
        { u"active"_s, u"Em uso"_s, true },
        { u"used"_s, u"Usada"_s, false },
        { u"expired"_s, u"Venceu"_s, false },
        { u"x"_s, u"Folga"_s, false },
    };
    for (const auto& [status, badge, highlighted] : badges) {
        FolgaEntry entry;
        entry.status = status;
        EXPECT_EQ(FolgaStatement::badge(entry), badge) << status.toStdString();
        EXPECT_EQ(FolgaStatement::highlighted(entry), highlighted) << status.toStdString();
    }
    EXPECT_EQ(FolgaStatement::title(u"mindful"_s), u"Meditação"_s);
    EXPECT_EQ(FolgaStatement::symbol(u"app"_s), u"book"_s);
    EXPECT_EQ(FolgaStatement::title(u"reading"_s), u"Meta"_s);
    EXPECT_EQ(FolgaStatement::symbol(u"reading"_s), u"sparkles"_s);

    // Dates in the user's zone, relative to today there.
    FolgaEntry entry;
    entry.status = u"available"_s;
    entry.earnedAt = double(QDateTime(QDate(2030, 5, 1), QTime(13, 5), saoPaulo).toMSecsSinceEpoch());
    entry.expiresAt = double(QDateTime(QDate(2030, 5, 5), QTime(23, 59), saoPaulo).toMSecsSinceEpoch());
    EXPECT_EQ(FolgaStatement::detail(entry, now, saoPaulo), u"Ganha hoje às 13:05 · vale até 05/05 às 23:59."_s);
    entry.status = u"used"_s;
    entry.usedAt = double(QDateTime(QDate(2030, 4, 30), QTime(9, 0), saoPaulo).toMSecsSinceEpoch());
    EXPECT_EQ(FolgaStatement::detail(entry, now, saoPaulo), u"Ganha hoje às 13:05 · usada ontem às 09:00."_s);
}

TEST(MissionGoalsTest, TogglesKeepKindOrderAndUnknownGoals)
{
    QList<AccountMission> list;
    for (MissionKind kind : { MissionKind::app, MissionKind::focus, MissionKind::steps }) {
        list = MissionGoals::toggled(list, kind);
    }
    EXPECT_EQ(list, goals({ { "focus", 60 }, { "steps", 8000 }, { "app", 20 } }));
    EXPECT_EQ(MissionGoals::toggled(list, MissionKind::steps), goals({ { "focus", 60 }, { "app", 20 } }));

    // Only the first of two goals of one kind leaves; an unknown kind keeps
    // its place on removal and sorts first when a goal is added.
    const QList<AccountMission> odd = goals({ { "focus", 60 }, { "reading", 5 }, { "focus", 120 } });
    EXPECT_EQ(MissionGoals::toggled(odd, MissionKind::focus), goals({ { "reading", 5 }, { "focus", 120 } }));
    EXPECT_EQ(MissionGoals::toggled(odd, MissionKind::mindful),
        goals({ { "focus", 60 }, { "reading", 5 }, { "focus", 120 }, { "mindful", 10 } }));
    EXPECT_EQ(MissionGoals::toggled(goals({ { "app", 20 }, { "reading", 5 } }), MissionKind::focus),
        goals({ { "reading", 5 }, { "focus", 60 }, { "app", 20 } }));

    EXPECT_EQ(MissionGoals::retargeted(list, MissionKind::mindful, 20), list); // an off goal gets no target
    EXPECT_EQ(MissionGoals::retargeted(odd, MissionKind::focus, 240),
        goals({ { "focus", 240 }, { "reading", 5 }, { "focus", 120 } }));
}

TEST(MissionGoalsTest, ChipLabels)
{
    auto labels = [](MissionKind kind) {
        QStringList out;
        for (qint64 target : MissionGoals::targets(kind)) {
            out << MissionGoals::chipLabel(kind, target);
        }
        return out;
    };
    EXPECT_EQ(labels(MissionKind::steps), (QStringList { u"4.000"_s, u"6.000"_s, u"8.000"_s, u"10.000"_s }));
    EXPECT_EQ(labels(MissionKind::focus), (QStringList { u"1h"_s, u"2h"_s, u"3h"_s, u"4h"_s }));
    EXPECT_EQ(labels(MissionKind::workout), (QStringList { u"15 min"_s, u"30 min"_s, u"45 min"_s, u"1h"_s }));
    EXPECT_EQ(title(MissionKind::steps, MissionGoals::defaultTarget(MissionKind::steps)), u"Caminhar 8.000 passos"_s);
}

TEST(MissionGoalsTest, PickerFilterSearchesNamesOnly)
{
    auto app = [](const char* id, const char* name) {
        return InstalledApp { QString::fromUtf8(id), QString::fromUtf8(name), {}, {} };
    };
    QList<InstalledApp> apps { app("org.AnkiWeb.Anki", "Anki"), app("cafe.timer", "Café Timer"),
        app("org.gnome.Calculator", "Calculadora") };
    for (int i = 1; i <= 7; ++i) {
        apps.append(app(QByteArray("notes.").append(QByteArray::number(i)).constData(),
            QByteArray("Notas ").append(QByteArray::number(i)).constData()));
    }
    auto names = [&](const QString& query, const QStringList& chosen = {}) {
        QStringList out;
        for (const InstalledApp& found : MissionGoals::pickerResults(apps, query, chosen)) {
            out << found.name;
        }
        return out;
    };
    EXPECT_EQ(names(u"  ANKI \n"_s), QStringList { u"Anki"_s });
    EXPECT_EQ(names(u"cafe"_s), QStringList { u"Café Timer"_s });
    EXPECT_EQ(names(u"CAFÉ T"_s), QStringList { u"Café Timer"_s });
    EXPECT_EQ(names(u" \n "_s), QStringList {});
    EXPECT_EQ(names(u"org.ankiweb"_s), QStringList {}); // identifiers are not searched
    EXPECT_EQ(names(u"notas"_s).size(), 6);
    EXPECT_EQ(names(u"notas"_s).first(), u"Notas 1"_s);
    EXPECT_EQ(names(u"anki"_s, { u"org.ankiweb.anki"_s }), QStringList {});

    QStringList chosen = MissionGoals::picked({}, u"org.AnkiWeb.Anki"_s);
    EXPECT_EQ(chosen, QStringList { u"org.ankiweb.anki"_s });
    EXPECT_EQ(MissionGoals::picked(chosen, u"ORG.ankiweb.anki"_s), chosen);
    EXPECT_EQ(MissionGoals::removed({ u"a"_s, u"b"_s, u"a"_s, u"c"_s }, u"a"_s), (QStringList { u"b"_s, u"c"_s }));
}
