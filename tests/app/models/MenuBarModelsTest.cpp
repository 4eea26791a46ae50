// The popover's pure models at exact instants in a fixed time zone.

#include "app/models/FocusStartModel.h"
#include "app/models/FolgaRowModel.h"
#include "app/models/InternetDateTime.h"
#include "app/models/MenuBarModel.h"
#include "app/models/TimeCopy.h"
#include "app/models/WeekSchedule.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

const QTimeZone saoPaulo("America/Sao_Paulo"); // UTC−3 all year

// Monday 2 March 2026 at a wall-clock time of São Paulo.
QDateTime monday(int hour, int minute, int second = 0)
{
    return QDateTime(QDate(2026, 3, 2), QTime(hour, minute, second), saoPaulo);
}

// The same ranges on every day of the week.
Configuration configuration(bool enabled, QList<MinuteRange> ranges, QStringList sites = {}, int apps = 0)
{
    WeekSchedule::Week week;
    for (int day = 0; day < 7; ++day) {
        week << ranges;
    }
    QList<BlockedApp> blockedApps;
    for (int i = 0; i < apps; ++i) {
        blockedApps << BlockedApp { u"app%1"_s.arg(i), u"App %1"_s.arg(i) };
    }
    return Configuration(std::move(sites), WeekSchedule::schedule(week), enabled, blockedApps);
}

void expectLines(const std::optional<QString>& actual, const std::optional<QString>& expected, const char* what)
{
    EXPECT_EQ(actual.value_or(u"<none>"_s), expected.value_or(u"<none>"_s)) << what;
}

TEST(FocusStartModel, DurationLabels)
{
    const std::pair<int, QString> cases[] = { { 25, u"25 min"_s }, { 59, u"59 min"_s }, { 60, u"1h"_s },
        { 90, u"1h30"_s }, { 125, u"2h05"_s }, { 240, u"4h"_s }, { 5, u"5 min"_s } };
    for (const auto& [minutes, label] : cases) {
        EXPECT_EQ(FocusStartModel::durationLabel(minutes), label) << minutes;
    }
}

TEST(FocusStartModel, TheNextScheduledFocusBoundsTheOffer)
{
    struct Case {
        const char* name;
        QDateTime now;
        bool hoursOn;
        std::optional<int> until;
        QList<int> options;
        int cap;
        std::optional<QString> hint;
    };
    // The only range starts at 11:00 every day.
    const Case cases[] = {
        { "hours off", monday(10, 0), false, std::nullopt, { 25, 50, 90 }, 240, std::nullopt },
        { "in 100 min", monday(9, 20), true, 100, { 25, 50, 90 }, 100, u"Até 1h40, antes do próximo horário."_s },
        { "in 60 min", monday(10, 0), true, 60, { 25, 50 }, 60, u"Até 1h, antes do próximo horário."_s },
        { "in 24 min 50 s", monday(10, 35, 10), true, 24, {}, 24, u"Até 24 min, antes do próximo horário."_s },
        { "in 30 s", monday(10, 59, 30), true, std::nullopt, { 25, 50, 90 }, 240, std::nullopt },
        { "in 240 min", monday(7, 0), true, 240, { 25, 50, 90 }, 240, u"Até 4h, antes do próximo horário."_s },
        { "in 241 min", monday(6, 59), true, 241, { 25, 50, 90 }, 240, std::nullopt },
    };
    for (const Case& c : cases) {
        FocusStartModel model;
        model.minutesUntilNextSchedule
            = FocusStartModel::minutesUntilNext(configuration(c.hoursOn, { { 660, 720 } }), c.now, saoPaulo);
        EXPECT_EQ(model.minutesUntilNextSchedule, c.until) << c.name;
        EXPECT_EQ(model.durationOptions(), c.options) << c.name;
        EXPECT_EQ(model.cap(), c.cap) << c.name;
        expectLines(model.hintText(), c.hint, c.name);
    }
}

TEST(FocusStartModel, ASelectedPresetFallsBackToTheLargestOffered)
{
    FocusStartModel model;
    model.minutesUntilNextSchedule = 60;
    EXPECT_EQ(model.presetMinutes(), 50);
    model.selectedMinutes = 90;
    EXPECT_EQ(model.presetMinutes(), 50);
    EXPECT_EQ(model.chosenMinutes(), 50);
    model.minutesUntilNextSchedule.reset();
    EXPECT_EQ(model.chosenMinutes(), 90);
}

TEST(FocusStartModel, ChoosingOtherStartsFromThePresetInEffect)
{
    FocusStartModel model;
    model.chooseDuration(FocusStartModel::customChoice);
    EXPECT_TRUE(model.showingCustomDuration);
    EXPECT_EQ(model.customMinutes, 50);
    EXPECT_EQ(model.durationChoice(), FocusStartModel::customChoice);

    FocusStartModel capped;
    capped.minutesUntilNextSchedule = 30;
    capped.chooseDuration(25);
    EXPECT_EQ(capped.stepDirection, -1.0);
    capped.chooseDuration(FocusStartModel::customChoice);
    EXPECT_EQ(capped.customMinutes, 25);
    capped.stepBack();
    EXPECT_FALSE(capped.showingCustomDuration);
    EXPECT_EQ(capped.customMinutes, 25); // kept for the next visit
    capped.chooseDuration(50);
    EXPECT_EQ(capped.stepDirection, 1.0);
}

TEST(FocusStartModel, StepsStopAtFiveAndAtTheCap)
{
    FocusStartModel model;
    model.showingCustomDuration = true;
    model.customMinutes = 8;
    model.stepMinus();
    EXPECT_EQ(model.customMinutes, 5);
    EXPECT_TRUE(model.minusDisabled());
    model.customMinutes = 238;
    EXPECT_FALSE(model.plusDisabled());
    model.stepPlus();
    EXPECT_EQ(model.customMinutes, 240);
    EXPECT_TRUE(model.plusDisabled());

    model.minutesUntilNextSchedule = 100;
    model.customMinutes = 95;
    model.stepPlus();
    EXPECT_EQ(model.customMinutes, 100);
    EXPECT_TRUE(model.plusDisabled());
    // A value above a cap that came later is shown and started as the cap.
    model.customMinutes = 180;
    EXPECT_EQ(model.chosenMinutes(), 100);
}

TEST(FocusStartModel, TypedDurations)
{
    struct Case {
        QString typed;
        int expected;
    };
    const Case cases[]
        = { { u"1h30"_s, 90 }, { u"2"_s, 5 }, { u"500"_s, 240 }, { u"abc"_s, 45 }, { u""_s, 45 }, { u"0"_s, 45 } };
    for (const Case& c : cases) {
        FocusStartModel model;
        model.showingCustomDuration = true;
        model.startTyping();
        EXPECT_EQ(model.minutesText, u"45 min"_s);
        model.minutesText = c.typed;
        model.commitMinutes();
        EXPECT_FALSE(model.typingMinutes);
        EXPECT_EQ(model.customMinutes, c.expected) << c.typed.toStdString();
    }

    FocusStartModel cancelled;
    cancelled.showingCustomDuration = true;
    cancelled.startTyping();
    cancelled.minutesText = u"2h"_s;
    cancelled.cancelTyping();
    cancelled.commitMinutes(); // nothing left to commit
    EXPECT_EQ(cancelled.customMinutes, 45);

    FocusStartModel unconfirmed;
    unconfirmed.showingCustomDuration = true;
    unconfirmed.startTyping();
    unconfirmed.minutesText = u"1h30"_s;
    EXPECT_EQ(unconfirmed.minutesToStart(), 90);
}

TEST(FocusStartModel, RoutePrecedence)
{
    EXPECT_EQ(FocusStartModel::route(true, true), FocusRoute::account);
    EXPECT_EQ(FocusStartModel::route(true, false), FocusRoute::account);
    EXPECT_EQ(FocusStartModel::route(false, true), FocusRoute::browser);
    EXPECT_EQ(FocusStartModel::route(false, false), FocusRoute::scheduleManager);
}

MenuBarModel::Inputs idleInputs(Configuration config = configuration(false, {}, { u"a.com"_s }))
{
    MenuBarModel::Inputs inputs;
    inputs.configuration = std::move(config);
    inputs.helperInstalled = true;
    return inputs;
}

AccountFolga folgaEnding(const QDateTime& end)
{
    AccountFolga folga;
    folga.minutes = 15;
    folga.active = AccountFolga::Active { InternetDateTime::format(end) };
    return folga;
}

TEST(MenuBarModel, BlockedSummary)
{
    const QStringList threeGroups = { u"youtube.com"_s, u"www.youtube.com"_s, u"a.com"_s, u"b.com"_s };
    struct Case {
        const char* name;
        QStringList sites;
        int apps;
        bool blocking;
        QString expected;
    };
    const Case cases[] = {
        { "blocking, three groups, one app", threeGroups, 1, true, u"Bloqueados: 3 sites e 1 app"_s },
        { "idle, one group", { u"a.com"_s, u"www.a.com"_s }, 0, false, u"Ficam para depois: 1 site"_s },
        { "blocking, two apps", {}, 2, true, u"Bloqueados: 2 apps"_s },
        { "nothing, blocking", {}, 0, true, MenuBarModel::nothingChosenText },
        { "nothing, idle", {}, 0, false, MenuBarModel::nothingChosenText },
    };
    for (const Case& c : cases) {
        auto inputs = idleInputs(configuration(false, {}, c.sites, c.apps));
        inputs.isBlocking = c.blocking;
        EXPECT_EQ(MenuBarModel(inputs, monday(10, 0), saoPaulo).blockedSummary(), c.expected) << c.name;
    }
}

TEST(MenuBarModel, HeaderStates)
{
    struct Case {
        const char* name;
        MenuBarModel::Inputs inputs;
        QString status;
        MenuBarModel::StatusTone tone;
        QString subtext;
    };
    using Tone = MenuBarModel::StatusTone;
    const QDateTime now = monday(10, 0);

    auto starting = idleInputs();
    starting.sessionEndTime = now.addSecs(25 * 60);
    auto noDaemon = idleInputs();
    noDaemon.helperInstalled = false;
    auto hoursOffWithRanges = idleInputs(configuration(false, { { 540, 1080 } }));
    auto nextMonday = idleInputs(configuration(true, {}));
    nextMonday.configuration.schedule = WeekSchedule::schedule({ {}, { { 540, 600 } } }); // Mondays 09:00
    auto blockingNoEnd = idleInputs();
    blockingNoEnd.isBlocking = true;
    auto blockingWithRemaining = blockingNoEnd;
    blockingWithRemaining.remainingTime = u"12:00"_s;
    auto blockingInRange = idleInputs(configuration(false, { { 540, 1080 } }));
    blockingInRange.isBlocking = true;
    auto browserFocus = idleInputs();
    browserFocus.browserSyncEnabled = true;
    browserFocus.browserFocusEnabled = true;

    const Case cases[] = {
        { "starting", starting, u"Iniciando…"_s, Tone::starting, u"Aguardando ativação…"_s },
        { "no daemon", noDaemon, u"Livre agora"_s, Tone::freeWithoutDaemon, u"Sem foco programado"_s },
        { "hours off", hoursOffWithRanges, u"Livre agora"_s, Tone::free, u"Sem foco programado"_s },
        { "next Monday", nextMonday, u"Livre agora"_s, Tone::free, u"Próximo foco · seg. · 09:00"_s },
        { "blocking, no end", blockingNoEnd, u"Bloqueando agora"_s, Tone::accent, u"Foco ativo"_s },
        { "blocking, session", blockingWithRemaining, u"Bloqueando agora"_s, Tone::accent, u"12:00 restantes"_s },
        { "blocking in a range", blockingInRange, u"Bloqueando agora"_s, Tone::accent, u"Até 18:00"_s },
        { "browser focus", browserFocus, u"Bloqueando agora"_s, Tone::accent, u"Foco ativo"_s },
    };
    for (const Case& c : cases) {
        const MenuBarModel model(c.inputs, now, saoPaulo);
        EXPECT_EQ(model.statusText(), c.status) << c.name;
        EXPECT_EQ(model.statusTone(), c.tone) << c.name;
        EXPECT_EQ(model.statusSubtext(), c.subtext) << c.name;
    }
    // The starting state's summary is still the idle one.
    EXPECT_EQ(MenuBarModel(starting, now, saoPaulo).blockedSummary(), u"Ficam para depois: 1 site"_s);
}

TEST(MenuBarModel, FocusEndPrecedence)
{
    const QDateTime now = monday(10, 0);
    auto inputs = idleInputs(configuration(false, { { 540, 1080 } }));
    inputs.isBlocking = true;
    // No session, browser or account end: the range's end, even with hours off.
    EXPECT_EQ(MenuBarModel(inputs, now, saoPaulo).focusEnd(), monday(18, 0));
    EXPECT_EQ(MenuBarModel(inputs, now, saoPaulo).mainLine(), MenuBarModel::MainLine::focusCountdown);

    inputs.hasAccountSnapshot = true;
    inputs.accountFocusEnabled = true;
    inputs.accountFocusEndsAt = double(monday(11, 0).toMSecsSinceEpoch());
    EXPECT_EQ(MenuBarModel(inputs, now, saoPaulo).focusEnd(), monday(11, 0));

    inputs.browserSyncEnabled = true;
    inputs.browserFocusEnabled = true;
    inputs.browserFocusEndsAt = 0; // no end from the browser
    EXPECT_EQ(MenuBarModel(inputs, now, saoPaulo).focusEnd(), monday(11, 0));
    inputs.browserFocusEndsAt = double(monday(10, 30).toMSecsSinceEpoch());
    EXPECT_EQ(MenuBarModel(inputs, now, saoPaulo).focusEnd(), monday(10, 30));

    inputs.sessionEndTime = monday(10, 45);
    EXPECT_EQ(MenuBarModel(inputs, now, saoPaulo).focusEnd(), monday(10, 45));
    inputs.sessionEndTime = monday(9, 59); // passed: the next rule answers
    EXPECT_EQ(MenuBarModel(inputs, now, saoPaulo).focusEnd(), monday(10, 30));

    const MenuBarModel model(inputs, now, saoPaulo);
    EXPECT_EQ(model.focusCountdownDetail(monday(10, 30)), u"Foco até 10:30"_s);
    EXPECT_EQ(MenuBarModel::focusCountdownText(monday(10, 30), now.addMSecs(1500)), u"29:58 restantes"_s);
    EXPECT_EQ(MenuBarModel::focusCountdownText(monday(10, 30), monday(10, 31)), u"0:00 restantes"_s);
}

TEST(MenuBarModel, AFolgaCountsTwentySecondsPastItsEnd)
{
    const QDateTime now = monday(14, 0, 10);
    auto inputs = idleInputs();
    inputs.hasAccountSnapshot = true;
    inputs.folga = folgaEnding(monday(14, 0)); // ended 10 s ago
    const MenuBarModel model(inputs, now, saoPaulo);
    ASSERT_EQ(model.folgaUntil(), monday(14, 0));
    EXPECT_EQ(model.statusText(), u"Folga em uso"_s);
    EXPECT_EQ(model.statusTone(), MenuBarModel::StatusTone::accent);
    EXPECT_EQ(model.mainLine(), MenuBarModel::MainLine::folgaCountdown);
    EXPECT_EQ(MenuBarModel::folgaCountdownText(monday(14, 0), now), u"Folga terminando…"_s);
    EXPECT_EQ(model.blockedSummary(), u"Livres na folga: 1 site"_s);

    EXPECT_FALSE(MenuBarModel(inputs, monday(14, 0, 20), saoPaulo).folgaUntil());
    EXPECT_EQ(MenuBarModel(inputs, monday(14, 0, 20), saoPaulo).statusText(), u"Livre agora"_s);
    EXPECT_TRUE(MenuBarModel(inputs, monday(14, 0, 19), saoPaulo).folgaUntil());

    // Blocking hides the folga; so do a missing snapshot and a text with fractions.
    auto blocking = inputs;
    blocking.isBlocking = true;
    EXPECT_FALSE(MenuBarModel(blocking, now, saoPaulo).folgaUntil());
    auto noSnapshot = inputs;
    noSnapshot.hasAccountSnapshot = false;
    EXPECT_FALSE(MenuBarModel(noSnapshot, now, saoPaulo).folgaUntil());
    auto fractions = inputs;
    fractions.folga->active->endsAt = u"2026-03-02T17:30:00.000Z"_s;
    EXPECT_FALSE(MenuBarModel(fractions, monday(14, 0), saoPaulo).folgaUntil());
}

TEST(MenuBarModel, TheFolgaSmallLineSaysWhetherTheFocusComesBack)
{
    const QDateTime now = monday(13, 50);
    const QDateTime folgaEnd = monday(14, 0);
    struct Case {
        const char* name;
        Configuration configuration;
        std::optional<QDateTime> sessionEnd;
        QString expected;
    };
    const Case cases[] = {
        { "inside a range to 18:00", configuration(true, { { 540, 1080 } }), std::nullopt, u"O foco volta às 14:00"_s },
        { "range ends within 30 s of the folga", configuration(true, { { 540, 840 } }), std::nullopt,
            u"Folga até 14:00"_s },
        { "hours off", configuration(false, { { 540, 1080 } }), std::nullopt, u"Folga até 14:00"_s },
        { "session past the folga", configuration(false, {}), monday(14, 0, 31), u"O foco volta às 14:00"_s },
        { "session ends with the folga", configuration(false, {}), monday(14, 0, 30), u"Folga até 14:00"_s },
    };
    for (const Case& c : cases) {
        auto inputs = idleInputs(c.configuration);
        inputs.sessionEndTime = c.sessionEnd;
        inputs.hasAccountSnapshot = true;
        inputs.folga = folgaEnding(folgaEnd);
        const MenuBarModel model(inputs, now, saoPaulo);
        EXPECT_EQ(model.folgaCountdownDetail(folgaEnd), c.expected) << c.name;
    }
    EXPECT_EQ(MenuBarModel::folgaCountdownText(folgaEnd, now), u"10:00 de folga"_s);
}

TEST(FolgaRowModel, Layouts)
{
    const QDateTime now = monday(10, 0);
    AccountFolga two;
    two.available = 2;
    two.minutes = 15;
    FolgaRowModel::Inputs inputs { true, true, true, two, false, std::nullopt };

    const FolgaRowModel ready(inputs, now, saoPaulo);
    EXPECT_EQ(ready.layout(), FolgaRowModel::Layout::offer);
    EXPECT_EQ(ready.state().kind, FolgaMenuState::Kind::ready);
    EXPECT_EQ(ready.useTitle(), u"Usar 15 min de folga"_s);
    EXPECT_TRUE(ready.useEnabled());
    EXPECT_EQ(ready.badgeText(), u"2"_s);
    EXPECT_EQ(ready.badgeAccessibleText(), u"2 disponíveis"_s);
    EXPECT_EQ(ready.detailText(), u"2 folgas de 15 min. Cada meta cumprida no dia vale mais uma."_s);
    EXPECT_EQ(ready.confirmation().title, u"Usar 15 min de folga?"_s);
    EXPECT_EQ(
        ready.confirmation().message, u"Sites e apps ficam livres por 15 minutos. Depois, o bloqueio volta sozinho."_s);

    auto one = inputs;
    one.folga->available = 1;
    one.focusEnabled = false;
    const FolgaRowModel noFocus(one, now, saoPaulo);
    EXPECT_EQ(noFocus.state().kind, FolgaMenuState::Kind::noFocus);
    EXPECT_FALSE(noFocus.useEnabled());
    EXPECT_EQ(noFocus.badgeAccessibleText(), u"1 disponível"_s);
    EXPECT_EQ(noFocus.detailText(), u"1 folga de 15 min, para usar durante o foco."_s);

    auto none = inputs;
    none.folga->available = 0;
    const FolgaRowModel empty(none, now, saoPaulo);
    EXPECT_EQ(empty.layout(), FolgaRowModel::Layout::empty);
    EXPECT_EQ(FolgaRowModel::emptyTitle(), u"Nenhuma folga agora"_s);
    EXPECT_EQ(empty.emptyDetail(), u"Cumpra uma meta do dia para ganhar 15 min."_s);

    auto running = inputs;
    running.folga->active = AccountFolga::Active { InternetDateTime::format(monday(10, 15)) };
    const FolgaRowModel active(running, now, saoPaulo);
    EXPECT_EQ(active.state().kind, FolgaMenuState::Kind::active);
    EXPECT_FALSE(active.useEnabled());
    EXPECT_EQ(active.detailText(), u"Folga em uso. O bloqueio volta às 10:15."_s);
    // Past or malformed ends fall back to the count.
    running.folga->active = AccountFolga::Active { InternetDateTime::format(monday(9, 59)) };
    EXPECT_EQ(FolgaRowModel(running, now, saoPaulo).state().kind, FolgaMenuState::Kind::ready);
    running.folga->active = AccountFolga::Active { u"amanhã"_s };
    EXPECT_EQ(FolgaRowModel(running, now, saoPaulo).state().kind, FolgaMenuState::Kind::ready);

    auto failed = inputs;
    failed.folgaError = u"Não foi possível usar a folga sem conexão. O bloqueio foi mantido."_s;
    EXPECT_EQ(FolgaRowModel(failed, now, saoPaulo).detailText(), *failed.folgaError);
    auto inFlight = inputs;
    inFlight.usingFolga = true;
    EXPECT_EQ(FolgaRowModel(inFlight, now, saoPaulo).useTitle(), u"Começando sua folga…"_s);
    EXPECT_FALSE(FolgaRowModel(inFlight, now, saoPaulo).useEnabled());

    for (auto [session, snapshot, hasFolga] :
        { std::tuple { false, true, true }, std::tuple { true, false, true }, std::tuple { true, true, false } }) {
        auto absent = inputs;
        absent.hasSession = session;
        absent.hasSnapshot = snapshot;
        if (!hasFolga) {
            absent.folga.reset();
        }
        EXPECT_EQ(FolgaRowModel(absent, now, saoPaulo).layout(), FolgaRowModel::Layout::none);
    }
}

TEST(FolgaRowModel, ReturnTimes)
{
    const QDateTime now = monday(22, 0);
    AccountFolga folga;
    folga.minutes = 15;
    folga.endsAtIfUsed = InternetDateTime::format(monday(22, 15));
    EXPECT_EQ(FolgaCopy::confirmation(folga, now, saoPaulo).message,
        u"Sites e apps ficam livres. O bloqueio volta às 22:15."_s);
    EXPECT_EQ(TimeCopy::returnTime(monday(22, 15).addDays(1), now, saoPaulo), u"amanhã às 22:15"_s);
    EXPECT_EQ(TimeCopy::returnTime(monday(9, 0).addDays(3), now, saoPaulo), u"dia 05/03 às 09:00"_s);
    folga.endsAtIfUsed = u"2026-03-02T22:15:00.5Z"_s; // not a date this system reads
    EXPECT_EQ(FolgaCopy::confirmation(folga, now, saoPaulo).message,
        u"Sites e apps ficam livres por 15 minutos. Depois, o bloqueio volta sozinho."_s);
}

} // namespace
} // namespace kestravin
