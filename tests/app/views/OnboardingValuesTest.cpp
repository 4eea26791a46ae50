// The wizard's numbers and sentences, as tables.
#include "app/views/onboarding/OnboardingValues.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace kestravin;

TEST(OnboardingValues, WeightsFollowTheSystemAxisAndMapBackToCssWeights)
{
    struct Case {
        int weight;
        double value;
        int qt;
    };
    const Case cases[] = { { 100, 0.0, 400 }, { 400, 0.0, 400 }, { 450, 0.115, 450 }, { 500, 0.23, 500 },
        { 550, 0.265, 550 }, { 600, 0.3, 600 }, { 650, 0.35, 650 }, { 700, 0.4, 700 } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.weight);
        EXPECT_NEAR(OnboardingType::weightValue(c.weight), c.value, 1e-9);
        EXPECT_EQ(OnboardingType::qtWeight(c.value), c.qt);
    }
    EXPECT_EQ(OnboardingType::font(26, 650).pixelSize(), 26);
    EXPECT_EQ(OnboardingType::font(40, 550).weight(), 550);
}

TEST(OnboardingValues, ProgressTextNamesThePositionAmongTheFourDaySteps)
{
    const std::pair<int, QString> cases[]
        = { { 1, u"Etapa 1 de 4: Sites"_s }, { 2, u"Etapa 2 de 4: Horários"_s }, { 3, u"Etapa 3 de 4: Permissão"_s },
              { 4, u"Etapa 4 de 4: Metas"_s }, { 0, u"Etapa 1 de 4: "_s }, { 5, u"Etapa 1 de 4: "_s } };
    for (const auto& [step, text] : cases) {
        EXPECT_EQ(OnboardingCopy::progressText(step), text) << step;
    }
}

TEST(OnboardingValues, DoneSentenceCountsSitesInSingularAndPlural)
{
    EXPECT_EQ(OnboardingCopy::doneSentence(1),
        u"Nos seus horários, a Orla guarda 1 site para depois. Ela fica no menu, lá em cima, se precisar de algo."_s);
    EXPECT_TRUE(OnboardingCopy::doneSentence(0).contains(u"guarda 0 sites para depois"_s));
    EXPECT_TRUE(OnboardingCopy::doneSentence(12).contains(u"guarda 12 sites para depois"_s));
}

TEST(OnboardingValues, SignInButtonGreetsByTheFirstWordOfTheName)
{
    using OnboardingCopy::firstName;
    using OnboardingCopy::signInLabel;
    EXPECT_EQ(signInLabel(false, true, firstName(u"  Ana  Maria"_s)), u"Continuar como Ana"_s);
    EXPECT_EQ(signInLabel(false, true, firstName(u"   "_s)), u"Continuar"_s);
    EXPECT_EQ(signInLabel(false, true, firstName(u""_s)), u"Continuar"_s);
    EXPECT_EQ(signInLabel(false, true, firstName(std::nullopt)), u"Continuar"_s);
    EXPECT_EQ(signInLabel(false, false, firstName(u"Ana"_s)), u"Entrar ou criar conta"_s);
    EXPECT_EQ(signInLabel(true, true, firstName(u"Ana"_s)), u"Aguardando o navegador…"_s);
}

TEST(OnboardingValues, WelcomeStatusFollowsTheLinkThenTheAccountThenTheError)
{
    using OnboardingCopy::welcomeStatus;
    EXPECT_EQ(welcomeStatus(true, {}, std::nullopt, {}), u"Abrindo o navegador…"_s);
    EXPECT_EQ(welcomeStatus(true, u"K7Q2"_s, u"a@b.c"_s, u"x"_s), u"Confira o código K7Q2 no navegador."_s);
    EXPECT_EQ(welcomeStatus(false, {}, u"a@b.c"_s, u"x"_s), u"Conta a@b.c"_s);
    EXPECT_EQ(welcomeStatus(false, {}, std::nullopt, u"Sem conexão."_s), u"Sem conexão."_s);
    EXPECT_EQ(welcomeStatus(false, {}, std::nullopt, {}), QString());
}

TEST(OnboardingValues, AvatarInitialComesFromTheNameElseTheEmail)
{
    EXPECT_EQ(OnboardingCopy::avatarInitial(u"ana"_s, u"z@b.c"_s), u"A"_s);
    EXPECT_EQ(OnboardingCopy::avatarInitial(std::nullopt, u"zé@b.c"_s), u"Z"_s);
    EXPECT_EQ(OnboardingCopy::avatarInitial(u""_s, u"z@b.c"_s), QString());
    EXPECT_EQ(OnboardingCopy::avatarInitial(u"   "_s, u"z@b.c"_s), QString());
    EXPECT_EQ(OnboardingCopy::avatarInitial(u"  ana  maria"_s, u"z@b.c"_s), u"A"_s);
    EXPECT_EQ(OnboardingCopy::avatarInitial(u"😀 Ana"_s, {}), u"😀"_s);
}

TEST(OnboardingValues, DawnOpensFromASmallHoleAndLandsSevenPointsWideUntilted)
{
    const QRectF origin(365, 200, 150, 100);
    const QPointF target(300, 50);
    const QSizeF area(880, 720);

    const DawnFrame start = DawnFrame::at(0.0, origin, target, area);
    EXPECT_DOUBLE_EQ(start.clearRadius, 30.0);
    EXPECT_DOUBLE_EQ(start.softEdge, 150.0);
    EXPECT_EQ(start.mascot, origin.center());
    EXPECT_DOUBLE_EQ(start.scale, 1.0);
    // The light sits left of and below the sprite's centre.
    EXPECT_NEAR(start.light.x(), origin.center().x() - 0.155 * 150, 1e-9);
    EXPECT_NEAR(start.light.y(), origin.center().y() + 0.34 * 100, 1e-9);

    const DawnFrame end = DawnFrame::at(1.0, origin, target, area);
    EXPECT_NEAR(end.scale * origin.width(), 7.0, 1e-9);
    EXPECT_DOUBLE_EQ(end.tilt, 0.0);
    EXPECT_NEAR(end.mascot.x(), target.x(), 1e-9);
    EXPECT_NEAR(end.mascot.y(), target.y(), 1e-9);
    EXPECT_GT(end.clearRadius, std::hypot(880.0, 720.0));

    // Half-way: the ease is symmetric, the path bends right of the midpoint
    // and above the higher end, the tilt stays within ±16°.
    const DawnFrame middle = DawnFrame::at(0.5, origin, target, area);
    EXPECT_DOUBLE_EQ(middle.eased, 0.5);
    EXPECT_NEAR(DawnFrame::ease(0.25) + DawnFrame::ease(0.75), 1.0, 1e-12);
    EXPECT_GT(middle.mascot.x(), (origin.center().x() + target.x()) / 2.0);
    EXPECT_LE(std::abs(middle.tilt), 16.0);
    for (double p = 0.0; p <= 1.0; p += 0.05) {
        EXPECT_LE(std::abs(DawnFrame::at(p, origin, target, area).tilt), 16.0) << p;
    }
    // Past the ends the progress is held.
    EXPECT_EQ(DawnFrame::at(1.4, origin, target, area).mascot, end.mascot);
}

TEST(OnboardingValues, RiseInDelaysStepBy22MsUpToTheFifteenthItem)
{
    const std::pair<int, int> cases[] = { { 0, 0 }, { 1, 22 }, { 13, 286 }, { 14, 308 }, { 20, 308 }, { -3, 0 } };
    for (const auto& [order, delay] : cases) {
        EXPECT_EQ(riseInDelayMs(order), delay) << order;
    }
}

TEST(OnboardingValues, ItemLooksOfThePhasesWithAndWithoutMotion)
{
    struct Case {
        WelcomePhase phase;
        bool reduce;
        ItemLook look;
    };
    const Case cases[] = {
        { WelcomePhase::arriving, false, { 0.0, 6.0, 3.0 } },
        { WelcomePhase::ready, false, { 1.0, 0.0, 0.0 } },
        { WelcomePhase::leaving, false, { 0.0, -6.0, 3.0 } },
        { WelcomePhase::arriving, true, { 1.0, 0.0, 0.0 } },
        { WelcomePhase::leaving, true, { 0.0, 0.0, 0.0 } },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ItemLook::welcomeItem(c.phase, c.reduce), c.look) << int(c.phase) << c.reduce;
    }
    EXPECT_EQ(ItemLook::riseIn(false, false), (ItemLook { 0.0, 10.0, 0.0 }));
    EXPECT_EQ(ItemLook::riseIn(false, true), (ItemLook { 0.0, 0.0, 0.0 }));
    EXPECT_EQ(ItemLook::riseIn(true, false), ItemLook {});
}
