// The assistant window's decisions without widgets: the form's kinds, limits
// and texts, the answer's texts and buttons, the countdown and the glow.

#include "app/models/AssistantForm.h"
#include "app/models/AssistantScenes.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

using namespace AssistantForm;
using namespace AssistantScenes;

const QString xAuthorization = u"x.com/i/oauth2/authorize?client_id=abc&state=1"_s;
const QString video = u"https://www.youtube.com/watch?v=dQw4w9WgXcQ"_s;

TEST(AssistantFormTest, KindsFollowTheWaysALinkCanBeAskedAndTheBlockedRoots)
{
    EXPECT_EQ(kinds(false, {}), QStringList { u"tiktok"_s });
    EXPECT_EQ(kinds(false, { u"example.com"_s }), (QStringList { u"tiktok"_s, u"site"_s }));
    EXPECT_EQ(kinds(true, { u"example.com"_s }), (QStringList { u"link"_s, u"tiktok"_s, u"site"_s }));
    // The initial "youtube" is never on offer itself: it reads as the first kind.
    EXPECT_EQ(shownKind(kinds(true, {}), u"youtube"_s), u"link"_s);
    EXPECT_EQ(shownKind(kinds(false, {}), u"link"_s), u"tiktok"_s);
    EXPECT_EQ(currentSite({ u"a.com"_s, u"b.com"_s }, u"b.com"_s), u"b.com"_s);
    EXPECT_EQ(currentSite({ u"a.com"_s, u"b.com"_s }, u"gone.com"_s), u"a.com"_s);
    EXPECT_EQ(currentSite({}, u"gone.com"_s), QString());
}

TEST(AssistantFormTest, AdoptingAPlatformPicksTheKindAndPublishesOnlyAChange)
{
    const QStringList roots { u"example.com"_s };
    struct Case {
        QString platform;
        bool linksOffered;
        QString selected;
        QString kind;
        std::optional<QString> site;
        std::optional<QString> published;
    };
    const Case cases[] = {
        { u"example.com"_s, true, u"example.com"_s, u"site"_s, u"example.com"_s, std::nullopt },
        { u"tiktok"_s, true, u"tiktok"_s, u"tiktok"_s, std::nullopt, std::nullopt },
        // The shield hands over "x": a link request, published as "youtube".
        { u"x"_s, true, u"x"_s, u"link"_s, std::nullopt, u"youtube"_s },
        { u"x"_s, false, u"x"_s, u"tiktok"_s, std::nullopt, u"tiktok"_s },
        { u"unknown.org"_s, true, u"youtube"_s, u"link"_s, std::nullopt, std::nullopt },
    };
    for (const Case& c : cases) {
        const Adoption adoption = adopt(c.platform, kinds(c.linksOffered, roots), roots, QString(), c.selected);
        EXPECT_EQ(adoption.currentKind, c.kind) << c.platform.toStdString();
        EXPECT_EQ(adoption.siteChoice, c.site) << c.platform.toStdString();
        EXPECT_EQ(adoption.selectedPlatform, c.published) << c.platform.toStdString();
    }
}

TEST(AssistantFormTest, SendingNeedsEightCharactersAndForALinkAWayToApplyIt)
{
    const LinkRoute account { false, false, false, true };
    const LinkRoute signedOut {};
    const LinkRoute extensionNotReady { true, true, false, true };
    const LinkRoute extensionOffline { true, false, true, false };
    struct Case {
        Fields fields;
        LinkRoute route;
        bool busy;
        bool sendable;
        const char* why;
    };
    const Case cases[] = {
        { { u"tiktok"_s, {}, 5, u"  1234567  "_s, {} }, account, false, false, "7 characters after trimming" },
        { { u"tiktok"_s, {}, 5, u"  12345678\n"_s, {} }, signedOut, false, true, "8 characters" },
        { { u"tiktok"_s, {}, 5, u"1234567👍🏽"_s, {} }, account, false, true, "an emoji is one character" },
        { { u"tiktok"_s, {}, 5, u"12345678"_s, {} }, account, true, false, "busy" },
        { { u"link"_s, video, 5, u"12345678"_s, {} }, account, false, true, "a video through the account" },
        { { u"link"_s, video, 5, u"12345678"_s, {} }, signedOut, false, false, "no way to apply" },
        { { u"link"_s, video, 5, u"12345678"_s, {} }, extensionNotReady, false, false, "extension not ready" },
        { { u"link"_s, video, 5, u"12345678"_s, {} }, extensionOffline, false, false, "offline, no session" },
        { { u"link"_s, u"  "_s, 5, u"12345678"_s, {} }, account, false, false, "no link" },
        { { u"link"_s, u"https://example.com/a"_s, 5, u"12345678"_s, {} }, account, false, false, "not a video" },
        { { u"link"_s, xAuthorization, 5, u"12345678"_s, {} }, account, false, true, "X authorization" },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(canSend(c.fields, c.route, c.busy), c.sendable) << c.why;
    }
}

TEST(AssistantFormTest, HintFollowsTheKindTheLinkAndTheExtension)
{
    const Fields tiktok { u"tiktok"_s, {}, 5, {}, {} };
    const Fields site { u"site"_s, {}, 5, {}, u"example.com"_s };
    const Fields link { u"link"_s, video, 5, {}, {} };
    const Fields authorization { u"link"_s, xAuthorization, 5, {}, {} };
    EXPECT_EQ(hint(authorization, true),
        u"Abre só a página de autorização e o login do X, por 3 minutos. O feed continua bloqueado."_s);
    EXPECT_EQ(hint(authorization, false),
        u"A Orla avalia a autorização. Se aprovar, o X abre neste computador por 3 minutos e a página de autorização "
        u"abre "
        u"no navegador."_s);
    EXPECT_EQ(hint(link, true), u"Só este link abre, na aba da extensão, até o prazo. O resto continua bloqueado."_s);
    EXPECT_TRUE(hint(link, false).startsWith(u"A Orla avalia só este link."_s));
    EXPECT_EQ(hint(site, false),
        u"Libera example.com inteiro neste computador e no navegador até o prazo, inclusive para entrar com a sua conta."_s);
    EXPECT_EQ(hint(tiktok, true),
        u"Libera o site inteiro neste computador até o prazo. Para um vídeo do YouTube ou um tweet, escolha “Um vídeo "
        u"ou "
        u"tweet”."_s);
}

TEST(AssistantFormTest, TargetKeepsTheTextAsTypedAndAnXAuthorizationAsksForThreeMinutes)
{
    const Target authorization = target({ u"link"_s, xAuthorization, 30, u" preciso autorizar "_s, {} });
    EXPECT_EQ(authorization,
        (Target { true, u"https://"_s + xAuthorization, u"youtube"_s, 3, u"A autorização no X"_s,
            u" preciso autorizar "_s }));
    EXPECT_EQ(target({ u"link"_s, video, 10, u"aula"_s, {} }).what, u"Um vídeo ou tweet"_s);
    const Target site = target({ u"site"_s, {}, 15, u"aula"_s, u"example.com"_s });
    EXPECT_EQ(site.platform, u"example.com"_s);
    EXPECT_EQ(site.what, u"example.com"_s);
    EXPECT_EQ(site.minutes, 15);
    EXPECT_FALSE(site.link);
    EXPECT_EQ(target({ u"tiktok"_s, {}, 5, u"aula"_s, {} }).what, u"TikTok"_s);
    EXPECT_EQ(xAuthorizationDuration(), u"3 min, o tempo de autorizar o app."_s);
}

// The window counts the joined conversation in UTF-16 units, the minimum reply
// in user-perceived characters.
TEST(AssistantFormTest, ReplyLimitsCountUnitsForTheLengthAndCharactersForTheMinimum)
{
    const auto joinedOf
        = [](const QString& before) { return [before](const QString& answer) { return before + answer.trimmed(); }; };
    struct Case {
        QString before;
        QString reply;
        bool sendable;
        std::optional<QString> warning;
        const char* why;
    };
    const QString long1498 = QString(1498, u'a');
    const Case cases[] = {
        { u"pedido"_s, u"a"_s, false, std::nullopt, "one character" },
        { u"pedido"_s, u" ab "_s, true, std::nullopt, "two characters" },
        { u"pedido"_s, u"é👍🏽"_s, true, std::nullopt, "two characters in four units" },
        { long1498, u"ab"_s, true, std::nullopt, "exactly 1500 units" },
        { long1498, u"a👍"_s, false, u"Resposta longa demais. Resuma em poucas palavras."_s, "an emoji is two units" },
        { QString(1501, u'a'), u"ab"_s, false, u"A conversa ficou longa. Mude o pedido e conte tudo de uma vez."_s,
            "over the limit even without an answer" },
    };
    for (const Case& c : cases) {
        const ReplyLimits limits = replyLimits(joinedOf(c.before), c.reply);
        EXPECT_EQ(canReply(c.reply, limits, false, true), c.sendable) << c.why;
        EXPECT_EQ(replyWarning(limits), c.warning) << c.why;
    }
    const ReplyLimits fits = replyLimits(joinedOf(u"pedido"_s), u"ab"_s);
    EXPECT_FALSE(canReply(u"ab"_s, fits, true, true));
    EXPECT_FALSE(canReply(u"ab"_s, fits, false, false));
}

TEST(AssistantFormTest, SiteItemUsesTheCatalogueOrTheHostItself)
{
    const SiteTileItem known = siteItem(u"tiktok.com"_s);
    EXPECT_EQ(known.name, u"TikTok"_s);
    EXPECT_TRUE(known.entry.has_value());
    EXPECT_TRUE(known.blocked);
    const SiteTileItem added = siteItem(u"example.org"_s);
    EXPECT_EQ(added,
        (SiteTileItem { u"example.org"_s, u"example.org"_s, u"Site adicionado"_s, u"example.org"_s, std::nullopt,
            { u"example.org"_s }, true, false }));
}

TEST(AssistantScenesTest, StageFocusResetAndSelfClosing)
{
    EXPECT_EQ(stage(true, u"Avaliando seu pedido…"_s), Stage::evaluating);
    EXPECT_EQ(stage(false, u"Não."_s), Stage::answer);
    EXPECT_EQ(stage(false, QString()), Stage::form);

    EXPECT_FALSE(focusActive({ false, true, false, false }));
    EXPECT_FALSE(focusActive({ false, false, true, false })) << "the extension's focus counts only when enabled";
    EXPECT_TRUE(focusActive({ false, true, true, false }));
    EXPECT_TRUE(focusActive({ true, false, false, false }));
    EXPECT_TRUE(focusActive({ false, false, false, true }));

    const QDateTime now(QDate(2026, 3, 2), QTime(15, 30), QTimeZone::utc());
    EXPECT_TRUE(resetsOnShow(false, false, std::nullopt, now));
    EXPECT_TRUE(resetsOnShow(false, false, now, now));
    EXPECT_FALSE(resetsOnShow(false, false, now.addSecs(1), now)) << "an exception still counting down";
    EXPECT_FALSE(resetsOnShow(false, true, std::nullopt, now));
    EXPECT_FALSE(resetsOnShow(true, false, std::nullopt, now));

    EXPECT_TRUE(closesItself(false, false, true, false));
    EXPECT_FALSE(closesItself(true, false, false, false));
    EXPECT_FALSE(closesItself(false, true, true, false)) << "a link still to open in the browser";
    EXPECT_TRUE(closesItself(false, true, true, true));
}

TEST(AssistantScenesTest, AnswerTextsAndButtonsByOutcome)
{
    const QDateTime until(QDate(2026, 3, 2), QTime(15, 40), QTimeZone::utc());
    const Button change { u"Mudar o pedido"_s, false, Action::changeRequest };
    const Button retry { u"Tentar de novo"_s, true, Action::retry };
    const Button another { u"Fazer outro pedido"_s, false, Action::newRequest };
    struct Case {
        Answer answer;
        bool conversation;
        QString eyebrow;
        std::optional<QString> headline;
        QList<Button> buttons;
        GlowMode glow;
        bool lit;
    };
    const Case cases[] = {
        { { u"allow"_s, u"Pode."_s, until, false }, false, u"LIBERADO"_s, std::nullopt,
            { another, { u"OK"_s, true, Action::close } }, GlowMode::open, true },
        { { u"allow"_s, u"Pode."_s, std::nullopt, false }, false, u"NÃO DESTA VEZ"_s,
            u"Esse acesso fica para depois."_s, { another, { u"Voltar ao foco"_s, true, Action::close } },
            GlowMode::dim, false },
        { { std::nullopt, u"Falhou."_s, std::nullopt, true }, false, u"NÃO FOI POSSÍVEL"_s,
            u"O computador não liberou a tempo."_s, { retry }, GlowMode::dim, false },
        { { std::nullopt, u"Sem rede."_s, std::nullopt, false }, true, u"NÃO FOI POSSÍVEL"_s,
            u"O pedido não chegou à Orla."_s, { change, retry }, GlowMode::dim, false },
        { { u"clarify"_s, u"Qual aula?"_s, std::nullopt, false }, true, u"A ORLA PRECISA DE MAIS CONTEXTO"_s,
            u"Qual aula?"_s, { change, { u"Responder"_s, true, Action::reply } }, GlowMode::dim, true },
        { { u"deny"_s, u"Agora não."_s, std::nullopt, false }, false, u"NÃO DESTA VEZ"_s,
            u"Esse acesso fica para depois."_s, { another, { u"Voltar ao foco"_s, true, Action::close } },
            GlowMode::dim, false },
    };
    for (const Case& c : cases) {
        const std::string what = c.answer.message.toStdString();
        EXPECT_EQ(eyebrow(c.answer), c.eyebrow) << what;
        EXPECT_EQ(headline(c.answer), c.headline) << what;
        EXPECT_EQ(buttons(c.answer, c.conversation), c.buttons) << what;
        EXPECT_EQ(glowMode(c.answer), c.glow) << what;
        EXPECT_EQ(mascotLit(c.answer), c.lit) << what;
    }
    const Answer question { u"clarify"_s, u"Qual aula?"_s, std::nullopt, false };
    EXPECT_EQ(detail(question, u"  preciso ver a aula \n"_s), u"Seu pedido: “preciso ver a aula”"_s);
    EXPECT_EQ(detail({ u"deny"_s, u"Agora não."_s, std::nullopt, false }, u"x"_s), u"Agora não."_s);
}

TEST(AssistantScenesTest, CountdownRoundsUpAndEndsAtZero)
{
    const QTimeZone zone("America/Sao_Paulo");
    const QLocale portuguese(QLocale::Portuguese, QLocale::Brazil);
    const QDateTime until(QDate(2026, 3, 2), QTime(15, 40), zone);
    struct Case {
        qint64 leftMs;
        QString time;
    };
    const Case cases[] = { { 65'000, u"1:05"_s }, { 200, u"0:01"_s }, { 0, u"0:00"_s }, { -5'000, u"0:00"_s },
        { 720'000, u"12:00"_s }, { 245'000, u"4:05"_s } };
    for (const Case& c : cases) {
        EXPECT_EQ(countdown(until, until.addMSecs(-c.leftMs), u"TikTok"_s, true, portuguese, zone).time, c.time)
            << c.leftMs;
    }

    const Countdown running = countdown(until, until.addSecs(-65), u"TikTok"_s, true, portuguese, zone);
    EXPECT_EQ(running.line, u"TikTok liberado até 15:40. O resto continua bloqueado."_s);
    EXPECT_EQ(running.closingNote, u"Esta janela fecha sozinha em instantes."_s);
    EXPECT_EQ(running.accessibleText, u"Liberado até 15:40. Esta janela fecha sozinha em instantes."_s);

    const Countdown screenReader = countdown(until, until.addSecs(-65), std::nullopt, false, portuguese, zone);
    EXPECT_EQ(screenReader.line, u"O acesso liberado até 15:40. O resto continua bloqueado."_s);
    EXPECT_FALSE(screenReader.closingNote);
    EXPECT_EQ(screenReader.accessibleText, u"Liberado até 15:40"_s);

    const Countdown ended = countdown(until, until, u"TikTok"_s, true, portuguese, zone);
    EXPECT_EQ(ended.line, u"O prazo acabou. O bloqueio voltou."_s);
    EXPECT_FALSE(ended.closingNote);
    EXPECT_EQ(ended.accessibleText, u"O prazo acabou"_s);
    EXPECT_EQ(sentSummary(u"TikTok"_s, 10), u"TikTok · 10 min"_s);
}

TEST(AssistantScenesTest, GlowBreathesOpensAndStaysDim)
{
    struct Case {
        GlowMode mode;
        double seconds;
        double opened;
        bool reduceMotion;
        double scale;
        double opacity;
    };
    const Case cases[] = {
        { GlowMode::breathing, 0.0, 0, false, 0.95, 0.55 },
        { GlowMode::breathing, 0.45, 0, false, 1.05, 0.55 },
        { GlowMode::breathing, 1.35, 0, false, 0.85, 0.55 },
        { GlowMode::breathing, 1.8 + 0.45, 0, false, 1.05, 0.55 },
        { GlowMode::breathing, 0.45, 0, true, 0.95, 0.55 },
        { GlowMode::open, 0.0, 0, false, 0.6, 0.2 },
        { GlowMode::open, 5.0, 1, false, 1.25, 0.75 },
        { GlowMode::dim, 0.45, 0, false, 0.7, 0.12 },
        { GlowMode::dim, 0.45, 1, true, 0.7, 0.12 },
    };
    for (const Case& c : cases) {
        const GlowFrame frame = glowFrame(c.mode, c.seconds, c.opened, c.reduceMotion);
        EXPECT_NEAR(frame.scale, c.scale, 1e-9) << static_cast<int>(c.mode) << " at " << c.seconds;
        EXPECT_NEAR(frame.opacity, c.opacity, 1e-9) << static_cast<int>(c.mode) << " at " << c.seconds;
    }
    EXPECT_TRUE(glowAnimates(GlowMode::breathing, false));
    EXPECT_FALSE(glowAnimates(GlowMode::breathing, true));
    EXPECT_FALSE(glowAnimates(GlowMode::open, false));
    EXPECT_FALSE(glowAnimates(GlowMode::dim, false));
}

} // namespace
} // namespace kestravin
