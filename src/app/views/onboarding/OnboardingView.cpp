#include "app/views/onboarding/OnboardingView.h"

#include "app/models/OnboardingPolicy.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/KeyDownMonitor.h"
#include "app/views/mascot/PikoSprite.h"
#include "app/views/onboarding/NightScreens.h"
#include "app/views/onboarding/OnboardingWidgets.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

constexpr int welcomeStep = 0;
constexpr int sitesStep = 1;
constexpr int hoursStep = 2;
constexpr int permissionStep = 3;
constexpr int missionsStep = 4;
constexpr int doneStep = 5;

bool isNight(int step)
{
    return step == welcomeStep || step == doneStep;
}

// A part that leaves the screen while it holds the keyboard focus lets it go
// instead of passing it on: Qt would hand it to the next control in the chain,
// the continue button, whose corner dot then stayed on after a click.
void releaseFocus(QWidget* leaving)
{
    QWidget* focus = QApplication::focusWidget();
    if (leaving && focus && (focus == leaving || leaving->isAncestorOf(focus))) {
        focus->clearFocus();
    }
}

} // namespace

OnboardingKey decideOnboardingKey(int key, int step, bool typing, bool welcomeReady, bool weekActive)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (typing || step == doneStep) {
            return OnboardingKey::pass;
        }
        if (step == welcomeStep) {
            return welcomeReady ? OnboardingKey::signIn : OnboardingKey::pass;
        }
        return OnboardingKey::next;
    }
    if (key == Qt::Key_Escape) {
        if (typing || isNight(step) || weekActive || step < hoursStep) {
            return OnboardingKey::pass;
        }
        return OnboardingKey::back;
    }
    return OnboardingKey::pass;
}

OnboardingView::OnboardingView(const OnboardingStepServices& services, QWidget* parent)
    : QWidget(parent), m_services(services), m_night(new NightBackground(this)), m_overlay(new DawnOverlay(this))
{
    setFixedSize(windowSize);
    setAccessibleName(u"Boas-vindas ao Kestravin"_s);
    BrandAccessibility::setDecorative(m_night);
    auto* nightLook = new StageEffect(m_night);
    m_night->setGraphicsEffect(nightLook);
    connect(&m_nightOpacity, &BrandTween::valueChanged, this, [nightLook](double opacity) {
        nightLook->setLook({ opacity, 0.0, 0.0 });
    });
    m_overlay->hide();
    m_keys = onKeyDown(this, true, [this](QKeyEvent* event) { return handleKey(event); });
    // Embedded pages (scroll areas, fields) take the paper and ink of the
    // wizard rather than the desktop's own palette.
    const auto applyPalette = [this] {
        const OnboardingColors& colors = OnboardingColors::forWidget(this);
        QPalette palette = this->palette();
        for (const QPalette::ColorRole role : { QPalette::Window, QPalette::Base }) {
            palette.setColor(role, colors.paper);
        }
        for (const QPalette::ColorRole role : { QPalette::WindowText, QPalette::Text, QPalette::ButtonText }) {
            palette.setColor(role, colors.ink);
        }
        setPalette(palette);
        update();
    };
    applyPalette();
    connect(&Appearance::shared(), &Appearance::changed, this, applyPalette);
    buildScreen();
    layoutLayers();
}

OnboardingView::~OnboardingView()
{
    delete m_cover;
    m_cover = nullptr;
}

void OnboardingView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), OnboardingColors::forWidget(this).paper);
}

void OnboardingView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutLayers();
}

void OnboardingView::layoutLayers()
{
    m_night->setGeometry(rect());
    if (m_screen) {
        m_screen->setGeometry(rect());
    }
    m_overlay->setGeometry(rect());
    m_night->lower();
    m_overlay->raise();
}

bool OnboardingView::typing()
{
    QWidget* focus = QApplication::focusWidget();
    if (const auto* line = qobject_cast<QLineEdit*>(focus)) {
        return !line->text().isEmpty();
    }
    if (const auto* text = qobject_cast<QTextEdit*>(focus)) {
        return !text->document()->isEmpty();
    }
    if (const auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
        return !plain->document()->isEmpty();
    }
    return false;
}

bool OnboardingView::handleKey(QKeyEvent* event)
{
    switch (decideOnboardingKey(event->key(), m_state.step, typing(), m_state.welcomeReady, m_state.weekActive)) {
    case OnboardingKey::pass:
        return false;
    case OnboardingKey::signIn:
        Q_EMIT signInRequested();
        return true;
    case OnboardingKey::next:
        Q_EMIT nextRequested();
        return true;
    case OnboardingKey::back:
        Q_EMIT backRequested();
        return true;
    }
    return false;
}

void OnboardingView::setState(const State& state)
{
    const State previous = m_state;
    m_state = state;
    applyState(previous);
}

void OnboardingView::buildScreen()
{
    // Only the screen on show exists: a step that is gone runs no timer.
    releaseFocus(m_screen);
    delete m_screen;
    m_screen = nullptr;
    m_stage = nullptr;
    m_progress = nullptr;
    m_stepHost = nullptr;
    m_dayStep = nullptr;
    m_look = nullptr;
    m_footer = nullptr;
    const int step = m_state.step;
    if (step == welcomeStep) {
        auto* welcome = new WelcomeStep(m_services.account, this, this);
        connect(welcome, &WelcomeStep::signInRequested, this, &OnboardingView::signInRequested);
        connect(welcome, &WelcomeStep::mascotMeasured, this, &OnboardingView::welcomeMeasured);
        connect(welcome, &WelcomeStep::ready, this, &OnboardingView::welcomeReady);
        m_screen = welcome;
    } else if (step == doneStep) {
        ConfigurationManager& config = m_services.config;
        auto* done = new DoneStep(
            [&config] { return OnboardingPolicy::blockedCount(config.configuration().blockedSites); }, this);
        connect(done, &DoneStep::closeClicked, this, &OnboardingView::closeRequested);
        // The count follows the list as it is now.
        connect(&config, &ConfigurationManager::configurationChanged, done, &DoneStep::refresh);
        m_screen = done;
    } else {
        m_stage = new QWidget(this);
        auto* column = new QVBoxLayout(m_stage);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        column->addSpacing(28);
        m_progress = new OnboardingProgress(step, m_stage);
        m_progress->setDotHidden(m_state.dotHidden);
        column->addWidget(m_progress);
        m_stepHost = new QWidget(m_stage);
        auto* host = new QHBoxLayout(m_stepHost);
        host->setContentsMargins(44, 6, 44, 0);
        m_look = new StageEffect(m_stepHost);
        m_stepHost->setGraphicsEffect(m_look);
        column->addWidget(m_stepHost, 1);
        m_footer = new OnboardingFooter(m_stage);
        column->addWidget(m_footer);
        connect(m_footer, &OnboardingFooter::backClicked, this, &OnboardingView::backRequested);
        connect(m_footer, &OnboardingFooter::nextClicked, this, &OnboardingView::nextRequested);
        m_dayStep = buildDayStep(step);
        m_screen = m_stage;
    }
    m_screen->setGeometry(rect());
    if (isVisible()) {
        m_screen->show();
    }
    layoutLayers();
}

QWidget* OnboardingView::buildDayStep(int step)
{
    QWidget* view = nullptr;
    switch (step) {
    case sitesStep:
        view = new SitesStep(m_services, m_stepHost);
        break;
    case hoursStep: {
        auto* hours = new HoursStep(m_services, m_state.preset, m_stepHost);
        hours->setPresetPulse(std::nullopt);
        connect(hours, &HoursStep::presetChosen, this, &OnboardingView::presetChosen);
        connect(hours, &HoursStep::weekEdited, this, &OnboardingView::weekEdited);
        connect(hours, &HoursStep::weekActiveChanged, this, &OnboardingView::weekActiveChanged);
        view = hours;
        break;
    }
    case permissionStep: {
        auto* permission = new PermissionStep(m_services.installer, m_stepHost);
        permission->setState({ m_state.permitted, m_state.permissionMessage });
        connect(permission, &PermissionStep::helperFound, this, &OnboardingView::helperFound);
        connect(permission, &PermissionStep::helperLost, this, &OnboardingView::helperLost);
        connect(permission, &PermissionStep::approvalHelpRequested, this, &OnboardingView::approvalHelpRequested);
        view = permission;
        break;
    }
    default:
        view = new MissionsStep(m_services.missions, m_stepHost);
        break;
    }
    view->setMaximumWidth(760);
    // Centred at most 760 wide; the two stretches share what is left.
    auto* host = static_cast<QHBoxLayout*>(m_stepHost->layout());
    while (QLayoutItem* item = host->takeAt(0)) {
        delete item;
    }
    host->addStretch(1);
    host->addWidget(view, 1000);
    host->addStretch(1);
    // Held back while the dawn still covers the first step.
    RiseIn::setRiseVisible(m_stepHost, m_state.sitesRevealed);
    return view;
}

void OnboardingView::applyState(const State& previous)
{
    const State& s = m_state;
    const bool stepChanged = s.step != previous.step;
    const bool nightChanged = isNight(s.step) != isNight(previous.step);
    if (stepChanged) {
        const bool bothDay = !isNight(s.step) && !isNight(previous.step) && m_stage;
        if (bothDay) {
            // The progress row and the footer stay; only the step is replaced.
            releaseFocus(m_dayStep);
            delete m_dayStep;
            m_dayStep = buildDayStep(s.step);
            m_dayStep->show();
            m_progress->setStep(s.step);
        } else {
            buildScreen();
        }
    }
    if (nightChanged || (s.dawn && m_nightOpacity.isAnimating())) {
        const double opacity = isNight(s.step) ? 1.0 : 0.0;
        if (Appearance::shared().reduceMotion() || s.dawn) {
            m_nightOpacity.jumpTo(opacity);
        } else {
            m_nightOpacity.animateTo(opacity, QEasingCurve(QEasingCurve::InOutQuad), 400);
        }
    }
    if (m_stage) {
        m_look->setLook({ s.opacity, 0.0, s.blur }, s.x);
        // Hidden at the turn of a transition, where it would be drawn not at all.
        keepPlaceWhenHidden(m_stepHost);
        if (s.opacity <= 0.0) {
            releaseFocus(m_stepHost);
        }
        m_stepHost->setVisible(s.opacity > 0.0);
        if (s.sitesRevealed != RiseIn::riseVisible(m_stepHost)) {
            RiseIn::setRiseVisible(m_stepHost, s.sitesRevealed);
        }
        m_progress->setDotHidden(s.dotHidden);
        if (s.dotPulse != previous.dotPulse) {
            m_progress->pulse();
        }
        m_footer->setState({ s.step == sitesStep, s.canNext, s.nextLabel, s.hint, s.installing });
        if (auto* hours = qobject_cast<HoursStep*>(m_dayStep)) {
            hours->setPreset(s.preset);
            if (s.presetPulse != previous.presetPulse) {
                hours->setPresetPulse(s.presetPulse);
            }
        }
        if (auto* permission = qobject_cast<PermissionStep*>(m_dayStep)) {
            permission->setState({ s.permitted, s.permissionMessage });
        }
    }
    updateDawn(previous);
}

void OnboardingView::updateDawn(const State& previous)
{
    const State& s = m_state;
    if (!s.dawn) {
        if (m_overlay->isVisible()) {
            m_overlay->hide();
            delete m_cover;
            m_cover = nullptr;
        }
        return;
    }
    if (!previous.dawn || !m_cover) {
        delete m_cover;
        // The night picture is drawn off screen and cut away in the overlay.
        m_cover = new DawnCover(WelcomePhase::ready);
        m_cover->setAttribute(Qt::WA_DontShowOnScreen);
        m_cover->resize(size());
        m_cover->show();
        m_cover->leave();
        QImage cache;
        const auto night = [this, cache]() mutable {
            if (!m_cover) {
                return QImage();
            }
            if (cache.isNull() || m_cover->layoutView()->isMoving()) {
                const double ratio = devicePixelRatioF();
                cache = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
                cache.setDevicePixelRatio(ratio);
                cache.fill(Qt::transparent);
                m_cover->render(&cache);
            }
            return cache;
        };
        QPointF target = s.dawn->center();
        if (m_progress) {
            m_stage->layout()->activate();
            target = m_progress->mapTo(this, m_progress->dotCentre(sitesStep).toPoint());
        }
        m_overlay->start(night, *s.dawn, target);
        m_overlay->show();
        m_overlay->raise();
    }
    m_overlay->setProgress(s.dawnProgress);
}

} // namespace kestravin
