// The assistant window's widgets on the offscreen platform over a fake of the
// services, with the test's clock and scheduler.

#include "AssistantFakes.h"
#include "FakeTime.h"
#include "ViewsTestSupport.h"

#include "app/platform/ScreenReader.h"
#include "app/services/catalog/SiteIconStore.h"
#include "app/views/assistant/DesktopAIView.h"
#include "app/views/assistant/DesktopAIWindow.h"
#include "app/views/assistant/DesktopAIWindowController.h"
#include "app/views/assistant/OrlaGlow.h"
#include "app/views/assistant/SiteSelect.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandTextField.h"
#include "app/views/brand/SummaryLink.h"

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
