// The assistant window's widgets on the offscreen platform over a fake of the
// services, with the test's clock and scheduler.

#include "AssistantFakes.h"
#include "FakeTime.h"
#include "ViewsTestSupport.h"

#include "app/platform/ScreenReader.h"
#include "app/services/catalog/SiteIconStore.h"
#include "app/views/assistant/CountdownDigits.h"
#include "app/views/assistant/DesktopAIView.h"
#include "app/views/assistant/DesktopAIWindow.h"
#include "app/views/assistant/DesktopAIWindowController.h"
#include "app/views/assistant/OrlaGlow.h"
#include "app/views/assistant/SceneTransition.h"
#include "app/views/assistant/SiteSelect.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandTextField.h"
#include "app/views/brand/Firefly.h"
#include "app/views/brand/SummaryLink.h"

#include <QAccessible>
#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using AssistantScenes::Stage;
using testing_support::FakeAssistantPort;

const QString video = u"https://www.youtube.com/watch?v=dQw4w9WgXcQ"_s;

class AssistantWindowTest : public testing_support::AppearanceTest {
protected:
    void SetUp() override
    {
        AppearanceTest::SetUp();
        port.blocked = { u"example.com"_s, u"tiktok.com"_s };
    }

    DesktopAIView& makeView()
    {
        DesktopAIView::Services services;
        services.port = &port;
        services.clock = &time;
        services.scheduler = &time;
        services.screenReader = &reader;
        services.icons = &icons;
        services.locale = QLocale(QLocale::Portuguese, QLocale::Brazil);
        services.timeZone = QTimeZone::utc();
        services.closeWindow = [this] { ++closes; };
        view = std::make_unique<DesktopAIView>(services);
        view->resize(504, 584);
        view->show();
        return *view;
    }

    QStringList visibleTexts() const
    {
        QStringList texts;
        for (QLabel* label : view->currentPage()->findChildren<QLabel*>()) {
            if (label->isVisibleTo(view.get()) && !label->text().isEmpty()) {
                texts << label->text();
            }
        }
        if (CountdownDigits* digits = view->countdownDigits(); digits->isVisibleTo(view.get())) {
            texts << digits->text();
        }
        return texts;
    }

    QStringList answerTitles() const
    {
        QStringList titles;
        for (BrandButton* button : view->answerButtons()) {
            titles << button->text();
        }
        return titles;
    }

    void typeReason(const QString& text) { view->reasonEditor()->setText(text); }

    FakeAssistantPort port;
    testing::FakeTime time;
    FixedScreenReader reader;
    QTemporaryDir iconFolder;
    SiteIconStore icons { SiteIconStore::Options {
        iconFolder.path(), [](const QString&, const QString&) { return QUrl(); }, 8000 } };
    std::unique_ptr<DesktopAIView> view;
    int closes = 0;
};

TEST_F(AssistantWindowTest, GateShowsTheSignInCardOrTheFreeCard)
{
    port.session = false;
    port.accountFocusValue = false;
    port.codeValue = u"K7Q2"_s;
    port.accountMessageValue = u"Confirme no navegador."_s;
    makeView();
    EXPECT_TRUE(view->gateShown());
    EXPECT_TRUE(visibleTexts().contains(u"Conecte sua conta para pedir à Orla."_s));
    EXPECT_TRUE(visibleTexts().contains(u"K7Q2"_s));
    auto* connectButton = view->currentPage()->findChild<BrandButton*>();
    ASSERT_TRUE(connectButton);
    connectButton->click();
    EXPECT_EQ(port.connects, 1);
    port.connectingValue = true;
    port.publish();
    EXPECT_EQ(connectButton->text(), u"Aguardando confirmação…"_s);
    EXPECT_FALSE(connectButton->isEnabled());

    // Signed in, blocking off, the extension reporting a focus while it is off:
    // no focus runs.
    port.session = true;
    port.bridgeFocusValue = true;
    port.publish();
    EXPECT_TRUE(visibleTexts().contains(u"Você está livre agora."_s));
    EXPECT_FALSE(connectButton->isVisible());

    port.accountFocusValue = true;
    port.publish();
    EXPECT_FALSE(view->gateShown());
    EXPECT_EQ(view->stage(), Stage::form);
}

TEST_F(AssistantWindowTest, StagesFollowTheServiceAndReturningToTheFormKeepsTheFields)
{
    makeView();
    view->setKind(u"site"_s);
    EXPECT_EQ(port.selectedPlatformValue, u"example.com"_s);
    typeReason(u"  preciso entrar na minha conta  "_s);
    ASSERT_TRUE(view->sendButton()->isEnabled());
    view->sendButton()->click();

    ASSERT_EQ(port.calls.size(), 1);
    EXPECT_EQ(port.calls[0].target, u"example.com"_s);
    EXPECT_EQ(port.calls[0].reason, u"preciso entrar na minha conta"_s);
    EXPECT_EQ(port.calls[0].minutes, 5);
    EXPECT_EQ(view->stage(), Stage::evaluating);
    EXPECT_TRUE(visibleTexts().contains(u"example.com · 5 min"_s));
    EXPECT_TRUE(visibleTexts().contains(u"“preciso entrar na minha conta”"_s));

    port.answer(u"deny"_s, u"Agora não dá."_s);
    EXPECT_EQ(view->stage(), Stage::answer);
    EXPECT_TRUE(visibleTexts().contains(u"NÃO DESTA VEZ"_s));
    EXPECT_TRUE(visibleTexts().contains(u"Esse acesso fica para depois."_s));
    EXPECT_TRUE(visibleTexts().contains(u"Agora não dá."_s));
    EXPECT_EQ(answerTitles(), (QStringList { u"Fazer outro pedido"_s, u"Voltar ao foco"_s }));

    view->answerButtons()[1]->click();
    EXPECT_EQ(closes, 1);
    view->answerButtons()[0]->click();
    EXPECT_EQ(view->stage(), Stage::form);
    EXPECT_EQ(view->reason(), QString()) << "another request starts from an empty text";
    EXPECT_EQ(view->kind(), u"site"_s);
}

TEST_F(AssistantWindowTest, ReturnSendsFromTheFormButNotFromInsideTheRequestText)
{
    makeView();
    view->setKind(u"tiktok"_s);
    typeReason(u"preciso ver uma aula"_s);
    QPlainTextEdit* editor = view->reasonEditor()->editor();
    editor->setFocus();
    editor->moveCursor(QTextCursor::End);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(port.calls.isEmpty());
    EXPECT_EQ(view->reason(), u"preciso ver uma aula\n"_s) << "the editor keeps its Return";

    view->sendButton()->setFocus();
    QTest::keyClick(view->sendButton(), Qt::Key_Return);
    ASSERT_EQ(port.calls.size(), 1);
    EXPECT_EQ(port.calls[0].target, u"tiktok"_s);

    // Return in the evaluating stage does nothing more.
    QTest::keyClick(view->sendButton(), Qt::Key_Return);
    EXPECT_EQ(port.calls.size(), 1);
}

TEST_F(AssistantWindowTest, AClarifyingConversationSendsTheJoinedJustification)
{
    makeView();
    view->setKind(u"tiktok"_s);
    typeReason(u"preciso ver uma aula"_s);
    view->send();
    port.answer(u"clarify"_s, u"Qual aula?"_s);
    EXPECT_TRUE(visibleTexts().contains(u"A ORLA PRECISA DE MAIS CONTEXTO"_s));
    EXPECT_TRUE(visibleTexts().contains(u"Seu pedido: “preciso ver uma aula”"_s));
    ASSERT_EQ(answerTitles(), (QStringList { u"Mudar o pedido"_s, u"Responder"_s }));
    BrandButton* reply = view->answerButtons()[1];

    view->replyEditor()->setText(u"C"_s);
    EXPECT_FALSE(reply->isEnabled());
    view->replyEditor()->setText(u"Cálculo"_s);
    EXPECT_TRUE(reply->isEnabled());
    QTest::keyClick(view->replyEditor()->editor(), Qt::Key_Return);
    ASSERT_EQ(port.calls.size(), 2);
    EXPECT_EQ(port.calls[1].reason, u"preciso ver uma aula\n\nA Orla perguntou: Qual aula?\nMinha resposta: Cálculo"_s);
    EXPECT_EQ(view->stage(), Stage::evaluating);
    EXPECT_TRUE(visibleTexts().contains(u"“Cálculo”"_s)) << "the evaluating scene quotes the last answer";

    // A failure mid-conversation: "Tentar de novo" sends the same justification again.
    port.answer(std::nullopt, u"Sem conexão."_s);
    ASSERT_EQ(answerTitles(), (QStringList { u"Mudar o pedido"_s, u"Tentar de novo"_s }));
    view->answerButtons()[1]->click();
    ASSERT_EQ(port.calls.size(), 3);
    EXPECT_EQ(port.calls[2].reason, port.calls[1].reason);
    EXPECT_TRUE(visibleTexts().contains(u"“Cálculo”"_s));

    // Over the limit even without an answer.
    port.answer(u"clarify"_s, QString(1500, u'?'));
    view->replyEditor()->setText(u"ok"_s);
    EXPECT_TRUE(visibleTexts().contains(u"A conversa ficou longa. Mude o pedido e conte tudo de uma vez."_s));
    EXPECT_FALSE(view->answerButtons()[1]->isEnabled());

    view->answerButtons()[0]->click();
    EXPECT_EQ(view->stage(), Stage::form);
    EXPECT_TRUE(view->thread().isEmpty());
    EXPECT_EQ(view->reply(), QString());
    EXPECT_EQ(view->reason(), u"preciso ver uma aula"_s);
}

TEST_F(AssistantWindowTest, CountdownTicksOnlyWhileShownAndTheWindowClosesFourSecondsAfterTheLastChange)
{
    makeView();
    view->setKind(u"tiktok"_s);
    typeReason(u"preciso ver uma aula"_s);
    view->send();
    const QDateTime until = time.now().addSecs(65);
    port.answer(u"allow"_s, u"Pode."_s, until);
    EXPECT_TRUE(visibleTexts().contains(u"1:05"_s));
    EXPECT_TRUE(visibleTexts().contains(u"TikTok liberado até 10:01. O resto continua bloqueado."_s));
    EXPECT_TRUE(visibleTexts().contains(u"Esta janela fecha sozinha em instantes."_s));
    EXPECT_TRUE(view->isCountdownTicking());

    time.advance(3s);
    EXPECT_TRUE(visibleTexts().contains(u"1:02"_s));
    // A second allow moves the end: the wait starts again.
    port.accessUntilValue = until.addSecs(60);
    port.publish();
    time.advance(3s);
    EXPECT_EQ(closes, 0);
    time.advance(1s);
    EXPECT_EQ(closes, 1);

    view->hide();
    EXPECT_FALSE(view->isCountdownTicking());
    view->show();
    EXPECT_TRUE(view->isCountdownTicking());
    time.advance(200s);
    EXPECT_TRUE(visibleTexts().contains(u"0:00"_s));
    EXPECT_TRUE(visibleTexts().contains(u"O prazo acabou. O bloqueio voltou."_s));
    EXPECT_TRUE(visibleTexts().contains(u"LIBERADO"_s)) << "the scene stays until the user acts";
}

TEST_F(AssistantWindowTest, WithAScreenReaderTheWindowNeverClosesByItself)
{
    reader.setRunning(true);
    makeView();
    view->setKind(u"tiktok"_s);
    typeReason(u"preciso ver uma aula"_s);
    view->send();
    port.answer(u"allow"_s, u"Pode."_s, time.now().addSecs(600));
    EXPECT_FALSE(view->isClosePending());
    EXPECT_FALSE(visibleTexts().contains(u"Esta janela fecha sozinha em instantes."_s));
    time.advance(10s);
    EXPECT_EQ(closes, 0);
}

TEST_F(AssistantWindowTest, ALinkSentThroughAnOfflineExtensionKeepsTheWindowOpen)
{
    port.bridgeEnabledValue = true;
    port.bridgeFocusValue = true;
    makeView();
    EXPECT_EQ(view->kind(), u"link"_s);
    view->linkField()->setText(video);
    Q_EMIT view->linkField()->textEdited(video);
    typeReason(u"preciso ver uma aula"_s);
    view->send();
    ASSERT_EQ(port.calls.size(), 1);
    EXPECT_TRUE(port.calls[0].link);
    port.answer(u"allow"_s, u"Pode."_s, time.now().addSecs(600));
    EXPECT_FALSE(view->closesItself());
    time.advance(5s);
    EXPECT_EQ(closes, 0);
}

TEST_F(AssistantWindowTest, TheShieldsHandOverPicksTheLinkKindAndIsConsumedOnce)
{
    port.bridgeEnabledValue = true;
    port.bridgeConnectedValue = true;
    port.helperReadyValue = true;
    port.selectedPlatformValue = u"x"_s;
    port.prefilledURLValue = video;
    makeView();
    EXPECT_EQ(view->kind(), u"link"_s);
    EXPECT_EQ(view->url(), video);
    EXPECT_EQ(port.selectedPlatformValue, u"youtube"_s);
    time.advance(0ms);
    EXPECT_FALSE(port.prefilledURLValue);

    // Signed out with the extension off: consumed, but the kind stays on TikTok.
    port.bridgeEnabledValue = false;
    port.session = false;
    port.blocking = true;
    port.publish();
    port.prefilledURLValue = u"https://x.com/a/status/1"_s;
    Q_EMIT port.prefilledURLPublished(*port.prefilledURLValue);
    time.advance(0ms);
    EXPECT_FALSE(port.prefilledURLValue);
    EXPECT_EQ(view->kind(), u"tiktok"_s);
    EXPECT_EQ(view->url(), video);
}

TEST_F(AssistantWindowTest, GlowBreathesOnlyWhileVisibleAndMotionIsNotReduced)
{
    makeView();
    view->setKind(u"tiktok"_s);
    typeReason(u"preciso ver uma aula"_s);
    view->send();
    EXPECT_TRUE(view->evaluatingGlow()->isTicking());
    view->hide();
    EXPECT_FALSE(view->evaluatingGlow()->isTicking());
    view->show();
    setAppearance(ColorScheme::Light, true);
    EXPECT_FALSE(view->evaluatingGlow()->isTicking());
    setAppearance(ColorScheme::Dark, false);
    EXPECT_TRUE(view->evaluatingGlow()->isTicking()) << "a scheme switch does not stop the breathing";

    port.answer(u"allow"_s, u"Pode."_s, time.now().addSecs(600));
    EXPECT_FALSE(view->evaluatingGlow()->isTicking());
    EXPECT_FALSE(view->answerGlow()->isTicking());
    EXPECT_EQ(view->answerGlow()->mode(), OrlaGlow::Mode::open);
}

TEST(SceneMotionTest, ScenesComeInFromSmallerAtTheTopAndLeaveLargerAboutTheCentre)
{
    struct Case {
        double progress;
        bool reduced;
        SceneLook entering;
        SceneLook leaving;
    };
    const Case cases[] = {
        { 0.0, false, { 0.0, 0.97, true }, { 1.0, 1.0, false } },
        { 0.5, false, { 0.5, 0.985, true }, { 0.5, 1.01, false } },
        { 1.0, false, { 1.0, 1.0, true }, { 0.0, 1.02, false } },
        { 0.0, true, { 0.0, 1.0, true }, { 1.0, 1.0, false } },
        { 1.0, true, { 1.0, 1.0, true }, { 0.0, 1.0, false } },
    };
    for (const Case& c : cases) {
        const SceneLook in = SceneMotion::entering(c.progress, c.reduced);
        const SceneLook out = SceneMotion::leaving(c.progress, c.reduced);
        EXPECT_DOUBLE_EQ(in.opacity, c.entering.opacity) << c.progress << c.reduced;
        EXPECT_DOUBLE_EQ(in.scale, c.entering.scale) << c.progress << c.reduced;
        EXPECT_TRUE(in.anchoredAtTop);
        EXPECT_DOUBLE_EQ(out.opacity, c.leaving.opacity) << c.progress << c.reduced;
        EXPECT_DOUBLE_EQ(out.scale, c.leaving.scale) << c.progress << c.reduced;
        EXPECT_FALSE(out.anchoredAtTop);
    }
    EXPECT_EQ(SceneMotion::durationMs(false), 500);
    EXPECT_EQ(SceneMotion::durationMs(true), 180);
}

TEST_F(AssistantWindowTest, TheMascotFliesFromTheHeaderIntoTheNewSceneWhichGrowsIn)
{
    makeView();
    view->setKind(u"tiktok"_s);
    typeReason(u"preciso ver uma aula"_s);
    Firefly* header = view->headerMascot();
    QRectF from(0, 0, 64, 64);
    from.moveCenter(QRectF(header->rect()).center());
    from.translate(header->mapTo(view.get(), QPoint(0, 0)));
    view->send();

    SceneTransition* transition = view->sceneTransition();
    ASSERT_TRUE(transition->isRunning());
    ASSERT_TRUE(transition->mascotRect());
    EXPECT_LT(transition->progress(), 0.5);
    EXPECT_NEAR(transition->mascotRect()->width(), 64 + (112 - 64) * transition->progress(), 0.5);
    EXPECT_FALSE(view->evaluatingGlow()->isMascotShown()) << "the scene's own mascot waits for the flying one";
    EXPECT_FALSE(header->isHidden()) << "the form's mascot is back once its picture is taken";
    EXPECT_LT(transition->enteringLook().scale, 1.0);
    EXPECT_TRUE(transition->enteringLook().anchoredAtTop);
    // The old scene's picture has no background of its own: the window's
    // backdrop shows through it, and the mascot is not in it.
    const QImage leaving = transition->leavingPicture().toImage();
    EXPECT_EQ(leaving.pixelColor(2, leaving.height() - 2).alpha(), 0);
    const QPoint mascotCentre = (from.center() * leaving.devicePixelRatio()).toPoint();
    EXPECT_EQ(leaving.pixelColor(mascotCentre).alpha(), 0);

    ASSERT_TRUE(testing_support::waitFor([&] { return !transition->isVisible(); }, 2000));
    EXPECT_TRUE(view->evaluatingGlow()->isMascotShown());
    EXPECT_EQ(view->currentPage()->graphicsEffect(), nullptr) << "a scene at rest is drawn as it is";

    // Under reduce motion the scenes only cross-fade and the mascot does not fly.
    setAppearance(ColorScheme::Light, true);
    port.answer(u"deny"_s, u"Agora não dá."_s);
    EXPECT_TRUE(transition->isRunning());
    EXPECT_FALSE(transition->mascotRect());
    EXPECT_DOUBLE_EQ(transition->enteringLook().scale, 1.0);
    EXPECT_TRUE(view->answerGlow()->isMascotShown());

    // The gate replaces a scene at once.
    port.session = false;
    port.publish();
    EXPECT_FALSE(transition->isVisible());
    EXPECT_TRUE(view->gateShown());
}

TEST_F(AssistantWindowTest, CountdownDigitsRollOneByOneWhileItsSpokenTextStaysPut)
{
    makeView();
    view->setKind(u"tiktok"_s);
    typeReason(u"preciso ver uma aula"_s);
    view->send();
    port.answer(u"allow"_s, u"Pode."_s, time.now().addSecs(61));
    CountdownDigits* digits = view->countdownDigits();
    EXPECT_EQ(digits->text(), u"1:01"_s);
    QWidget* countdown = digits->parentWidget();
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(countdown);
    ASSERT_TRUE(face);
    EXPECT_EQ(face->childCount(), 0);
    const QString spoken = face->text(QAccessible::Name);
    EXPECT_TRUE(spoken.startsWith(u"Liberado até 10:01"_s)) << spoken.toStdString();

    time.advance(1s);
    EXPECT_EQ(digits->text(), u"1:00"_s);
    EXPECT_FALSE(digits->isRolling(0));
    EXPECT_FALSE(digits->isRolling(1));
    EXPECT_FALSE(digits->isRolling(2));
    EXPECT_TRUE(digits->isRolling(3)) << "only the digit that changed rolls";
    time.advance(1s);
    EXPECT_EQ(digits->text(), u"0:59"_s);
    EXPECT_TRUE(digits->isRolling(0));
    EXPECT_EQ(face->text(QAccessible::Name), spoken) << "the ticking digits are not read out every second";

    // The end passing changes what is said, once.
    time.advance(60s);
    EXPECT_EQ(digits->text(), u"0:00"_s);
    EXPECT_EQ(face->text(QAccessible::Name), u"O prazo acabou"_s);

    // Under reduce motion the digits change without moving.
    setAppearance(ColorScheme::Light, true);
    port.accessUntilValue = time.now().addSecs(30);
    port.publish();
    time.advance(1s);
    for (int i = 0; i < digits->text().size(); ++i) {
        EXPECT_FALSE(digits->isRolling(i)) << i;
    }
}

TEST_F(AssistantWindowTest, TheLinksProblemReachesTheReaderAtMostOnceASecondEndingOnTheLastText)
{
    port.bridgeEnabledValue = true;
    port.bridgeFocusValue = true;
    makeView();
    ASSERT_EQ(view->kind(), u"link"_s);
    const auto typeLink = [&](const QString& link) {
        view->linkField()->setText(link);
        Q_EMIT view->linkField()->textEdited(link);
    };
    // The reader hears a line by its name; each change of the name is one
    // announcement.
    QLabel* problem = nullptr;
    typeLink(u"https://example.org/"_s);
    for (QLabel* label : view->findChildren<QLabel*>()) {
        if (label->text().startsWith(u"A Orla libera um vídeo do YouTube"_s)) {
            problem = label;
        }
    }
    ASSERT_TRUE(problem);
    const auto spoken = [&] { return QAccessible::queryAccessibleInterface(problem)->text(QAccessible::Name); };
    EXPECT_EQ(spoken(), problem->text()) << "the first text is said at once";
    const QString first = problem->text();
    typeLink(u"https://www.youtube.com/shorts/abc"_s);
    typeLink(u"https://x.com/home"_s);
    EXPECT_TRUE(problem->text().startsWith(u"Esse link não é de um tweet."_s));
    EXPECT_EQ(spoken(), first) << "within the second nothing more is said";
    ASSERT_TRUE(testing_support::waitFor([&] { return spoken() == problem->text(); }, 3000))
        << "the last text is said once the second is over";
}

TEST_F(AssistantWindowTest, TheEvaluatingSceneIsReadAsOneElement)
{
    makeView();
    view->setKind(u"tiktok"_s);
    typeReason(u"preciso ver uma aula"_s);
    view->send();
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(view->currentPage());
    ASSERT_TRUE(face);
    EXPECT_EQ(face->role(), QAccessible::StaticText);
    EXPECT_EQ(face->childCount(), 0);
    EXPECT_EQ(face->text(QAccessible::Name), u"A Orla está avaliando seu pedido"_s);
    EXPECT_EQ(face->text(QAccessible::Description), u"TikTok · 5 min\n“preciso ver uma aula”"_s);
}

TEST_F(AssistantWindowTest, ShowingTheWindowClearsTheLastAnswerOnlyWhenNothingWouldBeLost)
{
    DesktopAIWindowController controller([this] {
        DesktopAIView::Services services;
        services.port = &port;
        services.clock = &time;
        services.scheduler = &time;
        services.screenReader = &reader;
        services.icons = &icons;
        return services;
    });
    controller.showWindow();
    ASSERT_TRUE(controller.window());
    EXPECT_EQ(controller.window()->windowTitle(), u"Pedir ajuda à Orla"_s);
    EXPECT_EQ(controller.window()->size(), QSize(560, 640));
    EXPECT_EQ(controller.window()->minimumSize(), controller.window()->maximumSize());
    EXPECT_EQ(port.startOvers, 1);

    port.answer(u"deny"_s, u"Agora não."_s);
    controller.showWindow();
    EXPECT_EQ(port.startOvers, 1) << "shown again while on screen";

    // Closing only hides; a refusal is cleared when the window comes back.
    controller.window()->close();
    EXPECT_TRUE(controller.window());
    controller.showWindow();
    EXPECT_EQ(port.startOvers, 2);
    EXPECT_EQ(controller.assistantWindow()->view()->stage(), Stage::form);

    controller.window()->close();
    port.answer(u"allow"_s, u"Pode."_s, time.now().addSecs(60));
    controller.showWindow();
    EXPECT_EQ(port.startOvers, 2) << "an exception still counting down";

    controller.window()->close();
    time.advance(61s);
    port.busyValue = true;
    controller.showWindow();
    EXPECT_EQ(port.startOvers, 2) << "a request still running";
    controller.window()->close();
    port.busyValue = false;
    controller.showWindow();
    EXPECT_EQ(port.startOvers, 3);
    delete controller.window();
}

class SiteSelectTest : public testing_support::AppearanceTest {
protected:
    QStringList sites(int count)
    {
        QStringList hosts;
        for (int i = 0; i < count; ++i) {
            hosts << u"site%1.com"_s.arg(i);
        }
        return hosts;
    }

    QTemporaryDir iconFolder;
    SiteIconStore icons { SiteIconStore::Options {
        iconFolder.path(), [](const QString&, const QString&) { return QUrl(); }, 8000 } };
};

TEST_F(SiteSelectTest, ShortListsOpenAtNaturalHeightLongOnesScrollToTheSelection)
{
    QWidget window;
    auto* shortList = new SiteSelect(sites(7), u"site3.com"_s, icons, &window);
    window.show();
    shortList->click();
    ASSERT_TRUE(shortList->isOpen());
    EXPECT_EQ(shortList->scrollArea(), nullptr);
    EXPECT_EQ(shortList->rows().size(), 7);
    EXPECT_EQ(shortList->popup()->width(), 320);
    EXPECT_LT(shortList->popup()->height(), 340);
    shortList->close();

    auto* longList = new SiteSelect(sites(20), u"site12.com"_s, icons, &window);
    longList->click();
    ASSERT_TRUE(longList->isOpen());
    ASSERT_NE(longList->scrollArea(), nullptr);
    EXPECT_EQ(longList->popup()->size(), QSize(320, 340));
    SiteSelectRow* chosen = longList->rows().value(12);
    ASSERT_TRUE(chosen && chosen->isSelectedRow());
    const int centre = chosen->geometry().center().y() - longList->scrollArea()->verticalScrollBar()->value();
    EXPECT_NEAR(centre, longList->scrollArea()->viewport()->height() / 2, chosen->height());
}

TEST_F(SiteSelectTest, PickingWritesTheSelectionAndClosesEvenForTheChosenRow)
{
    QWidget window;
    auto* select = new SiteSelect({ u"example.com"_s, u"tiktok.com"_s }, u"gone.org"_s, icons, &window);
    window.show();
    EXPECT_EQ(select->accessibleName(), u"Site: gone.org"_s);
    select->click();
    for (SiteSelectRow* row : select->rows()) {
        EXPECT_FALSE(row->isSelectedRow()) << "a selection outside the list checks no row";
    }
    QStringList picked;
    QObject::connect(select, &SiteSelect::picked, [&](const QString& host) { picked << host; });
    select->rows()[1]->click();
    EXPECT_EQ(picked, QStringList { u"tiktok.com"_s });
    EXPECT_FALSE(select->isOpen());
    EXPECT_EQ(select->accessibleName(), u"Site: TikTok, tiktok.com"_s);

    select->click();
    ASSERT_TRUE(select->rows()[1]->isSelectedRow());
    select->rows()[1]->click();
    EXPECT_TRUE(select->rows().isEmpty() || !select->isOpen());
    EXPECT_EQ(picked.size(), 2);
    EXPECT_EQ(select->selection(), u"tiktok.com"_s);
}

TEST_F(SiteSelectTest, SummaryLinkIsAPillNamedForTheReaderThatStaysStillUnderReducedMotion)
{
    QWidget row;
    SummaryLink link(u"Editar"_s, {}, &row);
    SummaryLink named(u"Extrato"_s, u"Ver o extrato de folgas"_s, &row);
    EXPECT_EQ(link.accessibleName(), u"Editar na etapa anterior"_s);
    EXPECT_EQ(named.accessibleName(), u"Ver o extrato de folgas"_s);
    EXPECT_EQ(link.sizeHint().height(), 30);
    EXPECT_EQ(link.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);

    setAppearance(ColorScheme::Light, true);
    row.show();
    link.setDown(true);
    Q_EMIT link.pressed();
    EXPECT_DOUBLE_EQ(link.pressScale(), 1.0);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&link, &enter);
    EXPECT_DOUBLE_EQ(link.hoverAmount(), 1.0) << "the colours still change, at once";
}

} // namespace
} // namespace kestravin
