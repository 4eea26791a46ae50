// The first-run wizard's screens on the offscreen platform: keys, the day
// chrome, the steps over the real configuration, the night screens and the
// dawn.
#include "OnboardingRig.h"
#include "ViewsTestSupport.h"

#include "app/views/brand/BrandButton.h"
#include "app/views/brand/ChoiceChips.h"
#include "app/views/brand/RollingText.h"
#include "app/views/mascot/PikoSprite.h"
#include "app/views/onboarding/NightScreens.h"
#include "app/views/onboarding/OnboardingView.h"
#include "app/views/onboarding/OnboardingWidgets.h"
#include "app/views/pickers/BlockedSitesView.h"
#include "app/views/pickers/PickerWidgets.h"

#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace kestravin;
using kestravin::testing::OnboardingRig;
using kestravin::testing::ServiceRig;
using testing_support::waitFor;

namespace {

constexpr int welcome = 0;
constexpr int sites = 1;
constexpr int hours = 2;
constexpr int permission = 3;
constexpr int missions = 4;
constexpr int done = 5;

class OnboardingScreensTest : public testing_support::AppearanceTest {
protected:
    void SetUp() override
    {
        AppearanceTest::SetUp();
        rig.rig.config->setConfiguration(ServiceRig::configurationWith({}, false));
    }

    std::unique_ptr<OnboardingView> shownView(int step)
    {
        auto view = std::make_unique<OnboardingView>(rig.services());
        OnboardingView::State state;
        state.step = step;
        view->setState(state);
        view->show();
        QApplication::setActiveWindow(view.get());
        return view;
    }

    static QString accessibleName(QWidget* widget)
    {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        return face ? face->text(QAccessible::Name) : QString();
    }

    OnboardingRig rig;
};

} // namespace

TEST(OnboardingKeys, ReturnAndEscapeByStep)
{
    struct Case {
        int key;
        int step;
        bool typing;
        bool welcomeReady;
        bool weekActive;
        OnboardingKey expected;
    };
    const Case cases[] = {
        { Qt::Key_Return, welcome, false, false, false, OnboardingKey::pass },
        { Qt::Key_Return, welcome, false, true, false, OnboardingKey::signIn },
        { Qt::Key_Enter, welcome, false, true, false, OnboardingKey::signIn },
        { Qt::Key_Return, sites, false, false, false, OnboardingKey::next },
        { Qt::Key_Return, sites, true, false, false, OnboardingKey::pass },
        { Qt::Key_Return, missions, false, false, true, OnboardingKey::next },
        { Qt::Key_Return, done, false, true, false, OnboardingKey::pass },
        { Qt::Key_Escape, welcome, false, true, false, OnboardingKey::pass },
        { Qt::Key_Escape, sites, false, false, false, OnboardingKey::pass },
        { Qt::Key_Escape, hours, false, false, false, OnboardingKey::back },
        { Qt::Key_Escape, hours, false, false, true, OnboardingKey::pass },
        { Qt::Key_Escape, permission, false, false, false, OnboardingKey::back },
        { Qt::Key_Escape, missions, false, false, false, OnboardingKey::back },
        { Qt::Key_Escape, missions, true, false, false, OnboardingKey::pass },
        { Qt::Key_Escape, done, false, false, false, OnboardingKey::pass },
        { Qt::Key_Space, hours, false, false, false, OnboardingKey::pass },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decideOnboardingKey(c.key, c.step, c.typing, c.welcomeReady, c.weekActive), c.expected)
            << c.key << " step " << c.step << " typing " << c.typing;
    }
}

TEST_F(OnboardingScreensTest, ReturnIsLeftToAFilledSearchFieldAndMovesOnFromAnEmptyOne)
{
    auto view = shownView(sites);
    auto* step = qobject_cast<SitesStep*>(view->dayStep());
    ASSERT_TRUE(step);
    QLineEdit* field = step->sitesView()->searchField()->edit();
    field->setFocus();
    ASSERT_TRUE(waitFor([&] { return field->hasFocus(); }));
    QSignalSpy next(view.get(), &OnboardingView::nextRequested);

    QTest::keyClicks(field, u"exemplo.com"_s);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(next.count(), 0) << "the field adds its site; the wizard stays";
    EXPECT_TRUE(rig.rig.config->configuration().blockedSites.contains(u"exemplo.com"_s));

    ASSERT_TRUE(field->text().isEmpty());
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(next.count(), 1);

    QSignalSpy back(view.get(), &OnboardingView::backRequested);
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(back.count(), 0) << "no way back from the first day step";
}

TEST_F(OnboardingScreensTest, EscapeStepsBackUnlessTheWeekGridKeepsIt)
{
    auto view = shownView(hours);
    QSignalSpy back(view.get(), &OnboardingView::backRequested);
    QTest::keyClick(view.get(), Qt::Key_Escape);
    EXPECT_EQ(back.count(), 1);

    OnboardingView::State state = view->state();
    state.weekActive = true;
    view->setState(state);
    QTest::keyClick(view.get(), Qt::Key_Escape);
    EXPECT_EQ(back.count(), 1);

    state.step = done;
    state.weekActive = false;
    view->setState(state);
    QSignalSpy next(view.get(), &OnboardingView::nextRequested);
    QTest::keyClick(view.get(), Qt::Key_Return);
    QTest::keyClick(view.get(), Qt::Key_Escape);
    EXPECT_EQ(next.count(), 0);
    EXPECT_EQ(back.count(), 1);
}

TEST_F(OnboardingScreensTest, FooterHidesBackOnTheFirstStepAndWaitsWhileInstalling)
{
    auto view = shownView(sites);
    OnboardingFooter* footer = view->footer();
    ASSERT_TRUE(footer);
    OnboardingView::State state = view->state();
    state.canNext = false;
    state.hint = u"Escolha pelo menos um"_s;
    view->setState(state);
    ASSERT_TRUE(waitFor([&] { return !footer->hintText()->isRolling(); }));
    const QRect nextAtFirst = footer->continueButton()->geometry();
    EXPECT_FALSE(footer->backButton()->isVisible());
    EXPECT_FALSE(footer->backButton()->isEnabled());
    EXPECT_FALSE(footer->continueButton()->isEnabled());
    EXPECT_EQ(footer->hintText()->text(), u"Escolha pelo menos um"_s);

    state.step = permission;
    state.canNext = false;
    state.hint.clear();
    state.installing = true;
    state.nextLabel = u"Permitir"_s;
    view->setState(state);
    QApplication::processEvents();
    EXPECT_TRUE(footer->backButton()->isVisible());
    EXPECT_EQ(footer->continueButton()->geometry().right(), nextAtFirst.right());
    EXPECT_EQ(accessibleName(footer->continueButton()), u"Aguardando a permissão do sistema"_s);
    EXPECT_TRUE(footer->activity()->isVisible());
    EXPECT_TRUE(footer->activity()->isActive());

    state.installing = false;
    state.canNext = true;
    view->setState(state);
    EXPECT_EQ(accessibleName(footer->continueButton()), u"Permitir"_s);
    EXPECT_FALSE(footer->activity()->isVisible());
    QSignalSpy back(view.get(), &OnboardingView::backRequested);
    footer->backButton()->click();
    EXPECT_EQ(back.count(), 1);
}

TEST_F(OnboardingScreensTest, AStepThatLeavesWithTheFocusDoesNotHandItToTheContinueButton)
{
    // The continue button shows its corner dot under keyboard focus. A step
    // that slides out while its field holds the focus must not pass the focus
    // on to it: a click on "Continuar" would leave the dot behind.
    auto view = shownView(sites);
    auto* step = qobject_cast<SitesStep*>(view->dayStep());
    ASSERT_TRUE(step);
    QLineEdit* field = step->sitesView()->searchField()->edit();
    field->setFocus();
    ASSERT_TRUE(waitFor([&] { return field->hasFocus(); }));
    BrandButton* next = view->footer()->continueButton();

    OnboardingView::State state = view->state();
    state.opacity = 0.0; // the turn of the slide
    view->setState(state);
    state.step = hours;
    view->setState(state);
    state.opacity = 1.0;
    view->setState(state);
    QApplication::processEvents();

    EXPECT_FALSE(next->hasFocus());
    EXPECT_DOUBLE_EQ(next->dotAmount(), 0.0);
    // No dark dot in the corner: the pixels there are the accent fill.
    const QImage picture = testing_support::grabImage(*next);
    const QPointF dot = next->dotCentre();
    const QColor fill = picture.pixelColor(next->width() / 2, 4);
    for (int dx = -2; dx <= 2; ++dx) {
        for (int dy = -2; dy <= 2; ++dy) {
            const QPoint at = dot.toPoint() + QPoint(dx, dy);
            EXPECT_TRUE(testing_support::sameColor(picture.pixelColor(at), fill, 6)) << at.x() << "," << at.y();
        }
    }
    // Tab still brings the focus back into the wizard.
    QTest::keyClick(view.get(), Qt::Key_Tab);
    QApplication::processEvents();
    QWidget* focused = QApplication::focusWidget();
    ASSERT_TRUE(focused);
    EXPECT_TRUE(view->isAncestorOf(focused));
}

TEST_F(OnboardingScreensTest, ProgressNamesTheStepHidesAndPulsesTheCurrentDot)
{
    OnboardingProgress progress(hours);
    progress.resize(600, progress.sizeHint().height());
    progress.show();
    EXPECT_EQ(accessibleName(&progress), u"Etapa 2 de 4: Horários"_s);

    const QPointF dot = progress.dotCentre(hours);
    const auto dotColor
        = [&] { return testing_support::pixel(testing_support::grabImage(progress), int(dot.x()), int(dot.y())); };
    EXPECT_TRUE(testing_support::sameColor(dotColor(), QColor(0xB1, 0x7A, 0x20), 40));
    progress.setDotHidden(true);
    EXPECT_TRUE(testing_support::sameColor(dotColor(), QColor(Qt::white), 40));

    progress.pulse();
    EXPECT_NEAR(progress.pulseOpacity(), 0.8, 1e-9);
    ASSERT_TRUE(waitFor([&] { return !progress.animating(); }));
    EXPECT_NEAR(progress.pulseScale(), 26.0 / 6.0, 1e-9);

    // Between two day steps the light flies from dot to dot; reduced, nothing moves.
    progress.setStep(sites);
    EXPECT_TRUE(progress.isFlying());
    ASSERT_TRUE(waitFor([&] { return !progress.animating(); }));
    setAppearance(ColorScheme::Light, true);
    progress.setStep(missions);
    progress.pulse();
    EXPECT_FALSE(progress.animating());
    EXPECT_EQ(accessibleName(&progress), u"Etapa 4 de 4: Metas"_s);
}

TEST_F(OnboardingScreensTest, RisingItemsWaitForTheRevealAndComeInOneAfterAnother)
{
    QWidget root;
    auto* first = new QWidget(&root);
    auto* late = new QWidget(&root);
    RiseIn* a = riseIn(first, 0);
    RiseIn* b = riseIn(late, 20);
    RiseIn::setRiseVisible(&root, false);
    EXPECT_EQ(a->animator().current(), (ItemLook { 0.0, 10.0, 0.0 }));
    RiseIn::setRiseVisible(&root, true);
    EXPECT_TRUE(b->animator().isAnimating());
    EXPECT_TRUE(waitFor([&] { return !a->animator().isAnimating() && !b->animator().isAnimating(); }));
    EXPECT_EQ(b->animator().current(), ItemLook {});

    setAppearance(ColorScheme::Light, true);
    RiseIn::setRiseVisible(&root, false);
    EXPECT_EQ(a->animator().current(), (ItemLook { 0.0, 0.0, 0.0 })) << "no offset under reduce motion";
    RiseIn::setRiseVisible(&root, true);
    EXPECT_FALSE(a->animator().isAnimating());
    EXPECT_EQ(a->animator().current(), ItemLook {});
}

TEST_F(OnboardingScreensTest, SitesStepHoldsItsContentUntilRevealedAndCountsGroups)
{
    auto view = shownView(sites);
    auto* step = qobject_cast<SitesStep*>(view->dayStep());
    ASSERT_TRUE(step);
    EXPECT_EQ(step->tabSwitch()->button(0)->text(), u"Sites · 0"_s);
    rig.rig.config->setConfiguration(
        ServiceRig::configurationWith({ u"youtube.com"_s, u"www.youtube.com"_s, u"m.youtube.com"_s }, false));
    EXPECT_EQ(step->tabSwitch()->button(0)->text(), u"Sites · 1"_s) << "one catalogue site counts once";
    EXPECT_EQ(step->tabSwitch()->button(1)->text(), u"Apps do computador · 0"_s);

    OnboardingView::State state = view->state();
    state.sitesRevealed = false;
    view->setState(state);
    auto* header = step->header();
    auto* effect = qobject_cast<StageEffect*>(header->graphicsEffect());
    ASSERT_TRUE(effect);
    EXPECT_EQ(effect->look().opacity, 0.0);
    state.sitesRevealed = true;
    view->setState(state);
    EXPECT_TRUE(waitFor([&] { return effect->atRest(); }));

    step->tabSwitch()->button(1)->click();
    EXPECT_EQ(step->tab(), SitesStep::Tab::apps);
    EXPECT_TRUE(step->appsView());
    EXPECT_FALSE(step->sitesView());
    EXPECT_TRUE(step->header()->subtitleLabel()->text().startsWith(u"Opcional."_s));
}

TEST_F(OnboardingScreensTest, HoursChipsReportPresetsAndOnlyTheSelectedOneIsChecked)
{
    auto view = shownView(hours);
    auto* step = qobject_cast<HoursStep*>(view->dayStep());
    ASSERT_TRUE(step);
    EXPECT_EQ(accessibleName(step->presetRow()), u"Modelos de horário"_s);
    PresetChip* workday = step->chip(OnboardingPolicy::Preset::workday);
    PresetChip* business = step->chip(OnboardingPolicy::Preset::business);
    EXPECT_EQ(accessibleName(business), u"Horário comercial, 9h–12h, 13h–18h"_s);
    EXPECT_EQ(PresetChip::hoursLabel(OnboardingPolicy::Preset::workday), u"9h–18h"_s);

    QSignalSpy chosen(view.get(), &OnboardingView::presetChosen);
    workday->click();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_FALSE(workday->isSelected()) << "the model decides the selection";

    OnboardingView::State state = view->state();
    state.preset = OnboardingPolicy::Preset::workday;
    view->setState(state);
    EXPECT_TRUE(workday->isSelected());
    EXPECT_FALSE(business->isSelected());
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(workday);
    ASSERT_TRUE(face);
    EXPECT_TRUE(face->state().checked);

    QSignalSpy edited(view.get(), &OnboardingView::weekEdited);
    step->editor()->model().onEdit();
    EXPECT_EQ(edited.count(), 1);
}

TEST_F(OnboardingScreensTest, PermissionStatusShowsTheFirstCaseThatHolds)
{
    auto view = shownView(permission);
    auto* step = qobject_cast<PermissionStep*>(view->dayStep());
    ASSERT_TRUE(step);
    EXPECT_EQ(step->status(), PermissionStep::Status::none);

    OnboardingView::State state = view->state();
    state.permissionMessage = u"A permissão não foi concluída. Quando quiser, toque em Permitir de novo."_s;
    view->setState(state);
    EXPECT_EQ(step->status(), PermissionStep::Status::message);
    EXPECT_EQ(step->statusText(), *state.permissionMessage);

    state.permitted = true;
    view->setState(state);
    EXPECT_EQ(step->status(), PermissionStep::Status::ready);
    EXPECT_EQ(step->statusText(), u"Pronto. O bloqueio do sistema está ativo."_s);
    EXPECT_TRUE(step->shield()->isDone());
}

TEST_F(OnboardingScreensTest, PermissionStepOpenedWithTheDaemonInPlaceIsFilledAtOnce)
{
    PermissionStep step(*rig.rig.installer);
    step.setState({ true, std::nullopt });
    EXPECT_DOUBLE_EQ(step.shield()->fillAmount(), 1.0);
    EXPECT_DOUBLE_EQ(step.shield()->checkAmount(), 1.0);
    const QPainterPath check = PermissionShield::checkPath(QRectF(0, 0, 48, 48));
    EXPECT_EQ(check.elementAt(0), QPointF(17, 24));
    EXPECT_EQ(check.currentPosition(), QPointF(31, 19));
    const QRectF outline = PermissionShield::shieldPath(QRectF(0, 0, 96, 96)).boundingRect();
    EXPECT_DOUBLE_EQ(outline.top(), 10.0);
    EXPECT_DOUBLE_EQ(outline.left(), 18.0);
    EXPECT_DOUBLE_EQ(outline.right(), 78.0);
}

TEST_F(OnboardingScreensTest, WelcomeLayoutShowsTheAccountOrTheStatusAndKeepsItsLine)
{
    WelcomeLayout layout(WelcomePhase::ready);
    layout.resize(880, 720);
    layout.show();
    QApplication::processEvents();
    const QRect buttonAt = layout.signInButton()->geometry();
    EXPECT_EQ(layout.statusLine()->height(), 24);

    layout.setState({ true, false, u"Abrindo o navegador…"_s, std::nullopt });
    EXPECT_EQ(layout.signInButton()->text(), u"Aguardando o navegador…"_s);
    EXPECT_FALSE(layout.signInButton()->isEnabled());

    const WelcomePerson ana { u"  Ana  Maria"_s, u"ana@exemplo.com"_s, std::nullopt };
    layout.setState({ false, true, u"Conta ana@exemplo.com"_s, ana });
    QApplication::processEvents();
    EXPECT_EQ(layout.signInButton()->text(), u"Continuar como Ana"_s);
    EXPECT_TRUE(layout.showsPerson());
    EXPECT_EQ(layout.statusLineText(), u"ana@exemplo.com"_s);
    EXPECT_EQ(layout.avatar()->initial(), u"A"_s);
    EXPECT_EQ(layout.statusLine()->height(), 24);
    EXPECT_EQ(layout.signInButton()->geometry(), buttonAt) << "the button does not move with the status";

    layout.setState({ false, true, u"Sem conexão."_s, ana });
    EXPECT_FALSE(layout.showsPerson()) << "an error is shown over the account";
    layout.setState({ false, false, {}, std::nullopt });
    EXPECT_EQ(layout.signInButton()->text(), u"Entrar ou criar conta"_s);
    EXPECT_EQ(layout.statusLineText(), QString());
}

TEST_F(OnboardingScreensTest, WelcomeUnderReduceMotionIsReadyAtOnceAndMeasuresOnce)
{
    setAppearance(ColorScheme::Dark, true);
    auto view = std::make_unique<OnboardingView>(rig.services());
    QSignalSpy measured(view.get(), &OnboardingView::welcomeMeasured);
    QSignalSpy ready(view.get(), &OnboardingView::welcomeReady);
    view->show();
    ASSERT_TRUE(waitFor([&] { return ready.count() == 1; }));
    ASSERT_EQ(measured.count(), 1);
    const QRectF frame = measured.at(0).at(0).toRectF();
    EXPECT_EQ(frame.size(), QSizeF(150, 100));
    EXPECT_NEAR(frame.center().x(), 440.0, 1.0);
    auto* step = qobject_cast<WelcomeStep*>(view->screen());
    ASSERT_TRUE(step);
    EXPECT_EQ(step->phase(), WelcomePhase::ready);
    EXPECT_DOUBLE_EQ(step->mascot().progress(), 1.0);

    view->hide();
    view->show();
    QApplication::processEvents();
    EXPECT_EQ(measured.count(), 1) << "a second appearance does not replay the entrance";
}

TEST_F(OnboardingScreensTest, DoneSentenceFollowsTheListAndReduceMotionSkipsTheRing)
{
    setAppearance(ColorScheme::Dark, true);
    rig.rig.config->setConfiguration(ServiceRig::configurationWith({ u"exemplo.com"_s }, false));
    auto view = shownView(done);
    auto* step = qobject_cast<DoneStep*>(view->screen());
    ASSERT_TRUE(step);
    EXPECT_TRUE(step->sentence()->text().contains(u"guarda 1 site para"_s));
    rig.rig.config->setConfiguration(ServiceRig::configurationWith({}, false));
    EXPECT_TRUE(step->sentence()->text().contains(u"guarda 0 sites para"_s));
    QApplication::processEvents();
    EXPECT_EQ(step->titlePhase(), WelcomePhase::ready);
    EXPECT_FALSE(step->strip()->isPointing());

    QSignalSpy close(view.get(), &OnboardingView::closeRequested);
    step->closeButton()->click();
    EXPECT_EQ(close.count(), 1);
}

TEST_F(OnboardingScreensTest, OnlyTheScreenOnShowExistsSoNothingMovesBehindIt)
{
    auto view = shownView(welcome);
    ASSERT_TRUE(waitFor([&] {
        const auto flights = view->findChildren<FlyingPiko*>();
        return std::any_of(flights.begin(), flights.end(), [](FlyingPiko* f) { return f->frameTimerRunning(); });
    })) << "the mascot flies in";

    OnboardingView::State state;
    state.step = hours;
    view->setState(state);
    EXPECT_TRUE(view->findChildren<WelcomeStep*>().isEmpty());
    EXPECT_TRUE(view->findChildren<FlyingPiko*>().isEmpty());

    state.dotPulse = 1;
    view->setState(state);
    EXPECT_TRUE(view->progress()->animating());
    view->hide();
    EXPECT_FALSE(view->progress()->animating()) << "a hidden row stops its pulse";
}

TEST_F(OnboardingScreensTest, MenuBarRingPulsesTwiceThenStaysHidden)
{
    MenuBarStrip strip;
    strip.resize(600, 26);
    strip.show();
    EXPECT_EQ(strip.ringOpacity(), 0.0);
    strip.setPointing(true);
    EXPECT_NEAR(strip.ringOpacity(), 0.9, 1e-9);
    EXPECT_NEAR(strip.ringScale(), 0.5, 1e-9);
    ASSERT_TRUE(waitFor([&] { return !strip.ringRunning(); }, 4000));
    EXPECT_EQ(strip.ringOpacity(), 0.0);
}

TEST_F(OnboardingScreensTest, DawnCutsAHoleAroundTheLightThatGrowsPastTheWindow)
{
    DawnOverlay overlay;
    overlay.resize(880, 720);
    QImage night(880, 720, QImage::Format_ARGB32_Premultiplied);
    night.fill(QColor(12, 13, 11));
    const QRectF origin(365, 250, 150, 100);
    overlay.start([night] { return night; }, origin, QPointF(300, 48));

    QImage frame = overlay.punchedNight();
    const DawnFrame start = overlay.frame();
    const auto alpha = [&](QPointF p) { return qAlpha(frame.pixel(p.toPoint())); };
    EXPECT_EQ(alpha(start.light), 0);
    EXPECT_EQ(alpha(start.light + QPointF(29, 0)), 0) << "clear out to 30 points";
    EXPECT_GT(alpha(start.light + QPointF(90, 0)), 0);
    EXPECT_LT(alpha(start.light + QPointF(90, 0)), 255) << "a soft edge";
    EXPECT_EQ(alpha(start.light + QPointF(0, -160)), 255) << "the night past 150 points";

    overlay.setProgress(1.0);
    frame = overlay.punchedNight();
    EXPECT_EQ(qAlpha(frame.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(frame.pixel(879, 719)), 0);
    EXPECT_NEAR(overlay.frame().scale * origin.width(), 7.0, 1e-9);
}

TEST_F(OnboardingScreensTest, DawnOverTheViewLandsOnTheFirstDot)
{
    auto view = shownView(welcome);
    OnboardingView::State state = view->state();
    state.step = sites;
    state.dawn = QRectF(365, 250, 150, 100);
    state.sitesRevealed = false;
    state.dotHidden = true;
    view->setState(state);
    ASSERT_TRUE(view->dawnOverlay()->isVisible());
    EXPECT_EQ(view->nightOpacity(), 0.0) << "the backdrop goes at once during the dawn";
    // Early on, the night still covers the window away from the light.
    QImage frame = testing_support::grabImage(*view);
    EXPECT_TRUE(testing_support::sameColor(testing_support::pixel(frame, 20, 700), QColor(12, 13, 11), 12));
    for (const double p : { 0.2, 0.5, 0.8 }) {
        state.dawnProgress = p;
        view->setState(state);
        frame = testing_support::grabImage(*view);
    }
    EXPECT_TRUE(testing_support::sameColor(testing_support::pixel(frame, 440, 360), QColor(0xFF, 0xFE, 0xFC), 12))
        << "the middle of the window is open to the day";
    state.dawnProgress = 1.0;
    view->setState(state);
    const QPointF dot = view->progress()->mapTo(view.get(), view->progress()->dotCentre(sites).toPoint());
    EXPECT_NEAR(view->dawnOverlay()->frame().mascot.x(), dot.x(), 1.0);
    EXPECT_NEAR(view->dawnOverlay()->frame().mascot.y(), dot.y(), 1.0);
    state.dawn.reset();
    state.dotHidden = false;
    state.dotPulse = 1;
    state.sitesRevealed = true;
    view->setState(state);
    EXPECT_FALSE(view->dawnOverlay()->isVisible());
    EXPECT_TRUE(view->progress()->animating()) << "the dot pulses as the mascot lands";
}

namespace {

// Answers each connection with the next scripted raw HTTP response.
class RawHttp : public QTcpServer {
public:
    QList<QByteArray> responses;
    int connections = 0;

    RawHttp()
    {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                ++connections;
                const QByteArray reply
                    = responses.isEmpty() ? QByteArray("HTTP/1.1 404 No\r\n\r\n") : responses.takeFirst();
                connect(socket, &QTcpSocket::readyRead, socket, [socket, reply] {
                    socket->readAll();
                    socket->write(reply);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QUrl url(const QString& path) const { return QUrl(u"http://127.0.0.1:%1%2"_s.arg(serverPort()).arg(path)); }
};

QByteArray pngBytes()
{
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray okResponse(const QByteArray& body)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace

TEST(AvatarLoaderTest, FetchesOnlyAllowedSchemesWithinTheCapAndNoSchemeChangingRedirect)
{
    QNetworkAccessManager network;
    RawHttp server;
    const auto outcome = [&](AvatarLoader& loader, const QUrl& url) {
        QSignalSpy loaded(&loader, &AvatarLoader::loaded);
        QSignalSpy failed(&loader, &AvatarLoader::failed);
        loader.load(url);
        EXPECT_TRUE(waitFor([&] { return loaded.count() + failed.count() == 1; }));
        return loaded.count() == 1;
    };

    AvatarLoader httpsOnly(network);
    EXPECT_FALSE(outcome(httpsOnly, server.url(u"/a.png"_s)));
    EXPECT_FALSE(outcome(httpsOnly, QUrl(u"file:///etc/hostname"_s)));
    EXPECT_FALSE(outcome(httpsOnly, QUrl(u"qrc:/brand/firefly-approved.svg"_s)));
    EXPECT_EQ(server.connections, 0) << "nothing but https is ever asked for";

    // The loopback peer speaks plain http; the loader under test is told that
    // is its one scheme, so the rules around it can be seen at work.
    AvatarLoader loopback(network, 1000, { u"http"_s });
    server.responses << okResponse(pngBytes());
    EXPECT_TRUE(outcome(loopback, server.url(u"/a.png"_s)));

    server.responses << okResponse(QByteArray(1001, 'x'));
    EXPECT_FALSE(outcome(loopback, server.url(u"/big.png"_s))) << "over the byte cap";

    server.responses << QByteArray("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n") + QByteArray(1500, 'x');
    EXPECT_FALSE(outcome(loopback, server.url(u"/unsized.png"_s))) << "over the cap without a length";

    server.responses << QByteArray("HTTP/1.1 302 Found\r\nLocation: https://127.0.0.1:1/a.png\r\nContent-Length: "
                                   "0\r\nConnection: close\r\n\r\n");
    const int before = server.connections;
    EXPECT_FALSE(outcome(loopback, server.url(u"/moved.png"_s))) << "a redirect to another scheme";
    EXPECT_EQ(server.connections, before + 1);

    server.responses << QByteArray("HTTP/1.1 302 Found\r\nLocation: /a.png\r\nContent-Length: 0\r\nConnection: "
                                   "close\r\n\r\n")
                     << okResponse(pngBytes());
    EXPECT_TRUE(outcome(loopback, server.url(u"/same.png"_s))) << "a redirect within the scheme is followed";
}
