#include "app/views/onboarding/OnboardingSteps.h"

#include "app/models/BlockedSiteGroup.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/services/catalog/InstalledApps.h"
#include "app/services/catalog/SiteIconStore.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/daemon/HelperInstaller.h"
#include "app/views/account/AccountWidgets.h"
#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/ChoiceChips.h"
#include "app/views/onboarding/OnboardingWidgets.h"
#include "app/views/pickers/BlockedAppsView.h"
#include "app/views/pickers/BlockedSitesView.h"
#include "app/views/settings/WeekEditorModel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStackedLayout>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

bool reduceMotion()
{
    return Appearance::shared().reduceMotion();
}

QLabel* plainLabel(const QString& text, int pixelSize, QWidget* parent, QFont::Weight weight = QFont::Normal)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    label->setFont(font);
    label->setWordWrap(true);
    return label;
}

void paintText(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

} // namespace

OnboardingStepServices OnboardingStepServices::shared()
{
    return { ConfigurationManager::shared(), DesktopAccountService::shared(), SiteIconStore::shared(),
        InstalledApps::shared(), HelperInstaller::shared(), WeekScheduleEditor::Services::shared(),
        MissionsView::Services::shared() };
}

// ---------------------------------------------------------------------------

SitesStep::SitesStep(const OnboardingStepServices& services, QWidget* parent)
    : QWidget(parent),
      m_services(services),
      m_header(new StepHeader(u"O que costuma roubar seu foco?"_s,
          u"Os mais comuns já vêm marcados. Toque para mudar ou busque qualquer site."_s, this)),
      m_switch(
          new SegmentedSwitch({ sitesLabel(services.config.configuration().blockedSites),
                                  appsLabel(static_cast<int>(services.config.configuration().blockedApps.size())) },
              0, this)),
      m_pickerBox(new QWidget(this)),
      m_stack(new QStackedLayout(m_pickerBox))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_header);
    riseIn(m_header, 0);
    column->addWidget(m_switch, 0, Qt::AlignLeft);
    column->addSpacing(16);
    riseIn(m_switch, 1);
    m_stack->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_pickerBox, 1);
    // The picker's tiles come up together, right after the switch.
    riseIn(m_pickerBox, 2);
    m_sites = new BlockedSitesView(true, services.config, services.account, services.icons, m_pickerBox);
    m_stack->addWidget(m_sites);
    connect(m_switch, &ChoiceRow::picked, this, [this](int index) { setTab(index == 1 ? Tab::apps : Tab::sites); });
    connect(&services.config, &ConfigurationManager::configurationChanged, this, &SitesStep::refreshCounts);
}

QWidget* SitesStep::picker() const
{
    return m_tab == Tab::sites ? static_cast<QWidget*>(m_sites) : static_cast<QWidget*>(m_apps);
}

QString SitesStep::sitesLabel(const QStringList& blockedSites)
{
    return u"Sites · %1"_s.arg(BlockedSiteGroup::make(blockedSites).size());
}

QString SitesStep::appsLabel(int blockedApps)
{
    return u"Apps do computador · %1"_s.arg(blockedApps);
}

void SitesStep::setTab(Tab tab)
{
    if (tab == m_tab) {
        return;
    }
    m_tab = tab;
    m_switch->setCurrentIndex(tab == Tab::apps ? 1 : 0);
    m_header->setSubtitle(tab == Tab::sites
            ? u"Os mais comuns já vêm marcados. Toque para mudar ou busque qualquer site."_s
            : u"Opcional. Os apps marcados ficam escondidos durante o foco."_s);
    // A fresh picker for each visit of a tab, as a new page would be.
    if (tab == Tab::apps) {
        delete m_sites;
        m_sites = nullptr;
        m_apps = new BlockedAppsView(true, m_services.config, m_services.account, m_services.installed, m_pickerBox);
        m_apps->setContentsMargins(0, 0, 0, 8);
        m_stack->addWidget(m_apps);
    } else {
        delete m_apps;
        m_apps = nullptr;
        m_sites = new BlockedSitesView(true, m_services.config, m_services.account, m_services.icons, m_pickerBox);
        m_stack->addWidget(m_sites);
    }
    QWidget* page = picker();
    m_stack->setCurrentWidget(page);
    auto* fade = new LookAnimator(page, { 0.0, reduceMotion() ? 0.0 : 6.0, 0.0 });
    fade->animateTo({}, BrandMotion::brandCurve(), 300);
}

void SitesStep::refreshCounts()
{
    const Configuration& configuration = m_services.config.configuration();
    const QString sites = sitesLabel(configuration.blockedSites);
    const QString apps = appsLabel(static_cast<int>(configuration.blockedApps.size()));
    if (m_switch->button(0)->text() != sites || m_switch->button(1)->text() != apps) {
        m_switch->button(0)->setText(sites);
        m_switch->button(1)->setText(apps);
        m_switch->button(0)->updateGeometry();
        m_switch->button(1)->updateGeometry();
        m_switch->updateGeometry();
        m_switch->update();
    }
}

// ---------------------------------------------------------------------------

PresetChip::PresetChip(OnboardingPolicy::Preset preset, QWidget* parent) : QAbstractButton(parent), m_preset(preset)
{
    // Before anything that could make Qt build the accessible interface.
    BrandAccessibility::setButtonRole(this, QAccessible::RadioButton);
    setText(name(preset) + u" "_s + hoursLabel(preset));
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(name(preset) + u", "_s + hoursLabel(preset));
    connect(&m_fill, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&m_press, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    connect(this, &QAbstractButton::pressed, this, [this] {
        if (!reduceMotion()) {
            m_press.animateTo(0.97, BrandMotion::easeOutCurve(), 100);
        }
    });
    connect(this, &QAbstractButton::released, this, [this] {
        if (reduceMotion()) {
            m_press.jumpTo(1.0);
        } else {
            m_press.animateTo(1.0, BrandMotion::easeOutCurve(), 100);
        }
    });
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

QString PresetChip::name(OnboardingPolicy::Preset preset)
{
    return preset == OnboardingPolicy::Preset::workday ? u"Expediente"_s : u"Horário comercial"_s;
}

QString PresetChip::hoursLabel(OnboardingPolicy::Preset preset)
{
    // The working days all carry the same hours; Monday stands for them.
    return WeekSchedule::rangesLabel(preset.days().at(1));
}

void PresetChip::setSelected(bool selected)
{
    setChecked(selected);
    update();
}

double PresetChip::pressScale() const
{
    return m_press.value();
}

QSize PresetChip::sizeHint() const
{
    QFont nameFont = font();
    nameFont.setPixelSize(13);
    QFont hoursFont = font();
    hoursFont.setPixelSize(11);
    const int width = QFontMetrics(nameFont).horizontalAdvance(name(m_preset)) + 8
        + QFontMetrics(hoursFont).horizontalAdvance(hoursLabel(m_preset)) + 24;
    return QSize(width, std::max(34, QFontMetrics(nameFont).height() + 12));
}

bool PresetChip::event(QEvent* event)
{
    if (event->type() == QEvent::HoverEnter || event->type() == QEvent::HoverLeave) {
        m_hovered = event->type() == QEvent::HoverEnter;
        update();
    }
    return QAbstractButton::event(event);
}

void PresetChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const ColorScheme scheme = BrandPalette::schemeOf(this);
    const OnboardingColors& colors = OnboardingColors::of(scheme);
    const bool dark = scheme == ColorScheme::Dark;
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.scale(pressScale(), pressScale());
    painter.translate(-centre);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QColor fill = isChecked() ? (dark ? QColor(0x3A, 0x30, 0x21) : QColor(0xFF, 0xF5, 0xDF))
        : m_hovered                 ? BrandTokens::sunk(scheme)
                                    : colors.paper;
    painter.fillPath(BrandShapes::continuousRect(box, 11), fill);
    const QColor border = isChecked() ? withOpacity(colors.gold, 0.5) : withOpacity(colors.hairline, 0.7);
    painter.setPen(QPen(hasFocus() ? BrandPalette::of(scheme).focusRing : border, hasFocus() ? 2.0 : 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(BrandShapes::continuousRect(box, 11));
    QFont nameFont = font();
    nameFont.setPixelSize(13);
    QFont hoursFont = font();
    hoursFont.setPixelSize(11);
    hoursFont.setStyleHint(QFont::Monospace);
    const double nameWidth = QFontMetricsF(nameFont).horizontalAdvance(name(m_preset));
    painter.setFont(nameFont);
    painter.setPen(colors.ink);
    painter.drawText(QRectF(12, 0, nameWidth + 1, height()), Qt::AlignVCenter | Qt::AlignLeft, name(m_preset));
    painter.setFont(hoursFont);
    painter.setPen(colors.quiet);
    painter.drawText(
        QRectF(12 + nameWidth + 8, 0, width(), height()), Qt::AlignVCenter | Qt::AlignLeft, hoursLabel(m_preset));
}

// ---------------------------------------------------------------------------

HoursStep::HoursStep(
    const OnboardingStepServices& services, std::optional<OnboardingPolicy::Preset> preset, QWidget* parent)
    : QWidget(parent), m_row(new QWidget(this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(new StepHeader(u"Quando você quer foco?"_s, std::nullopt, this));

    m_row->setAccessibleName(u"Modelos de horário"_s);
    auto* row = new QHBoxLayout(m_row);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    for (const OnboardingPolicy::Preset::Value value : OnboardingPolicy::Preset::allCases) {
        auto* chip = new PresetChip(value, m_row);
        row->addWidget(chip);
        m_chips << chip;
        connect(chip, &QAbstractButton::clicked, this, [this, value] { Q_EMIT presetChosen(value); });
    }
    row->addStretch(1);
    column->addWidget(m_row);
    column->addSpacing(18);

    m_editor = new WeekScheduleEditor(services.week, true, this);
    m_editor->model().onEdit = [this] { Q_EMIT weekEdited(); };
    m_editor->onActiveChange = [this](bool active) { Q_EMIT weekActiveChanged(active); };
    column->addWidget(m_editor, 1);
    column->addSpacing(8);
    setPreset(preset);
}

PresetChip* HoursStep::chip(OnboardingPolicy::Preset preset) const
{
    for (PresetChip* chip : m_chips) {
        if (chip->preset() == preset) {
            return chip;
        }
    }
    return nullptr;
}

void HoursStep::setPreset(std::optional<OnboardingPolicy::Preset> preset)
{
    for (PresetChip* chip : m_chips) {
        chip->setSelected(preset && chip->preset() == *preset);
    }
}

void HoursStep::setPresetPulse(std::optional<int> tick)
{
    m_editor->setPresetPulse(tick);
}

// ---------------------------------------------------------------------------

PermissionShield::PermissionShield(bool done, QWidget* parent)
    : QWidget(parent), m_done(done), m_fill(done ? 1.0 : 0.0), m_check(done ? 1.0 : 0.0)
{
    BrandAccessibility::setDecorative(this);
    setFixedSize(74, 74);
    connect(&m_fill, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&m_check, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void PermissionShield::setDone(bool done, bool animated)
{
    if (done == m_done) {
        return;
    }
    m_done = done;
    const double target = done ? 1.0 : 0.0;
    if (!animated || reduceMotion()) {
        m_fill.jumpTo(target);
        m_check.jumpTo(target);
    } else {
        m_fill.animateTo(target, BrandMotion::easeOutCurve(), 400);
        m_check.animateTo(target, BrandMotion::brandCurve(), 420, 120);
    }
}

QPainterPath PermissionShield::shieldPath(const QRectF& rect)
{
    const double u = rect.width() / 48.0;
    const auto p = [&](double x, double y) { return QPointF(rect.left() + x * u, rect.top() + y * u); };
    QPainterPath path(p(24, 5));
    path.lineTo(p(39, 11));
    path.lineTo(p(39, 22));
    path.cubicTo(p(39, 32), p(32, 39), p(24, 43));
    path.cubicTo(p(16, 39), p(9, 32), p(9, 22));
    path.lineTo(p(9, 11));
    path.closeSubpath();
    return path;
}

QPainterPath PermissionShield::checkPath(const QRectF& rect)
{
    const double u = rect.width() / 48.0;
    const auto p = [&](double x, double y) { return QPointF(rect.left() + x * u, rect.top() + y * u); };
    QPainterPath path(p(17, 24));
    path.lineTo(p(22, 29));
    path.lineTo(p(31, 19));
    return path;
}

void PermissionShield::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const OnboardingColors& colors = OnboardingColors::forWidget(this);
    const QRectF box(0, 0, width(), width());
    const double s = box.width() / 48.0;
    const double fill = m_fill.value();
    const QPainterPath shield = shieldPath(box);
    painter.fillPath(shield, withOpacity(BrandTokens::accent(), 0.06 + 0.94 * fill));
    painter.setPen(
        QPen(blend(colors.quiet, QColor(0xD9, 0x9B, 0x2B), fill), 2.0 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(shield);
    const double check = m_check.value();
    if (check > 0.0) {
        // Drawn up to the trimmed length, as a pen would draw it.
        const QPainterPath full = checkPath(box);
        QPainterPath trimmed;
        const double length = full.length() * check;
        trimmed.moveTo(full.pointAtPercent(0));
        for (int i = 1; i <= 40; ++i) {
            const double at = length * i / 40.0;
            trimmed.lineTo(full.pointAtPercent(full.percentAtLength(at)));
        }
        painter.setPen(QPen(BrandTokens::onAccent(), 3.0 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(trimmed);
    }
}

// ---------------------------------------------------------------------------

namespace {

// A sunk card with a hairline border.
class PermissionCard : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const ColorScheme scheme = BrandPalette::schemeOf(this);
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.fillPath(BrandShapes::continuousRect(box, 22), BrandTokens::sunk(scheme));
        painter.setPen(QPen(withOpacity(OnboardingColors::of(scheme).hairline, 0.7), 1.0));
        painter.drawPath(BrandShapes::continuousRect(box, 22));
    }
};

// The golden dot before each fact.
class FactDot : public QWidget {
public:
    explicit FactDot(QWidget* parent) : QWidget(parent)
    {
        setFixedSize(11, 11);
        BrandAccessibility::setDecorative(this);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPointF c = QRectF(rect()).center();
        QRadialGradient glow(c, 5.5);
        glow.setColorAt(0.4, withOpacity(BrandTokens::accent(), 0.6));
        glow.setColorAt(1.0, withOpacity(BrandTokens::accent(), 0.0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(glow);
        painter.drawEllipse(c, 5.5, 5.5);
        painter.setBrush(OnboardingColors::forWidget(this).gold);
        painter.drawEllipse(c, 2.5, 2.5);
    }
};

} // namespace

const QStringList& PermissionStep::facts()
{
    static const QStringList sentences = { u"Funciona em todos os navegadores e apps deste computador."_s,
        u"Não lê o que você digita, nem seu histórico."_s, u"Você desliga quando quiser, pelo menu da Orla."_s };
    return sentences;
}

PermissionStep::PermissionStep(HelperInstaller& installer, QWidget* parent)
    : QWidget(parent), m_installer(installer), m_shield(new PermissionShield(false))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(new StepHeader(u"Uma permissão, uma vez só."_s,
        u"Para bloquear de verdade, o Kestravin instala um pequeno ajudante do sistema. O sistema vai pedir a senha de administrador."_s,
        this));

    auto* card = new PermissionCard(this);
    card->setMaximumWidth(620);
    auto* cardRow = new QHBoxLayout(card);
    cardRow->setContentsMargins(28, 28, 28, 28);
    cardRow->setSpacing(28);
    m_shield->setParent(card);
    cardRow->addWidget(m_shield, 0, Qt::AlignVCenter);
    auto* right = new QVBoxLayout;
    right->setSpacing(0);
    auto* factList = new QVBoxLayout;
    factList->setSpacing(10);
    const QColor ink = OnboardingColors::forWidget(this).ink;
    for (const QString& fact : facts()) {
        auto* row = new QHBoxLayout;
        row->setSpacing(12);
        row->addWidget(new FactDot(card), 0, Qt::AlignVCenter);
        auto* text = plainLabel(fact, 14, card);
        paintText(text, ink);
        row->addWidget(text, 1);
        factList->addLayout(row);
    }
    right->addLayout(factList);
    m_ready = plainLabel(u"Pronto. O bloqueio do sistema está ativo."_s, 13, card, QFont::DemiBold);
    m_approval = new QWidget(card);
    auto* approvalColumn = new QVBoxLayout(m_approval);
    approvalColumn->setContentsMargins(0, 0, 0, 0);
    approvalColumn->setSpacing(8);
    // The one intended markup of the wizard: bold words of our own sentence.
    m_approvalText
        = new QLabel(u"Na <b>autenticação do sistema</b>, confirme o Kestravin com a sua senha."_s, m_approval);
    m_approvalText->setTextFormat(Qt::RichText);
    m_approvalText->setWordWrap(true);
    QFont approvalFont = m_approvalText->font();
    approvalFont.setPixelSize(13);
    m_approvalText->setFont(approvalFont);
    auto* openAgain = new QuietButton(u"Abrir as instruções de novo"_s, QuietButton::Look::day, m_approval);
    m_approvalButton = openAgain;
    approvalColumn->addWidget(m_approvalText);
    approvalColumn->addWidget(openAgain, 0, Qt::AlignLeft);
    connect(openAgain, &QAbstractButton::clicked, this, &PermissionStep::approvalHelpRequested);
    m_message = plainLabel({}, 13, card);
    for (QWidget* status : { static_cast<QWidget*>(m_ready), m_approval, static_cast<QWidget*>(m_message) }) {
        right->addSpacing(0);
        status->setContentsMargins(0, 14, 0, 0);
        right->addWidget(status);
        status->hide();
    }
    cardRow->addLayout(right, 1);
    column->addWidget(card);
    column->addStretch(1);

    const auto recolor = [this] {
        const OnboardingColors& colors = OnboardingColors::forWidget(this);
        paintText(m_ready, colors.ink);
        paintText(m_approvalText, colors.quiet);
        paintText(m_message, colors.quiet);
    };
    recolor();
    connect(&Appearance::shared(), &Appearance::changed, this, recolor);
    connect(&installer, &HelperInstaller::awaitingApprovalChanged, this, &PermissionStep::refresh);
    connect(&installer, &HelperInstaller::isHelperInstalledChanged, this, [this] {
        if (!isVisible()) {
            return;
        }
        if (m_installer.isHelperInstalled()) {
            Q_EMIT helperFound();
        } else {
            Q_EMIT helperLost();
        }
    });
    refresh();
}

void PermissionStep::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_installer.isHelperInstalled()) {
        Q_EMIT helperFound();
    }
    m_installer.checkHelperStatus();
}

void PermissionStep::setState(const State& state)
{
    m_state = state;
    // Shown for the first time with the daemon in place: filled at once.
    m_shield->setDone(state.permitted, isVisible());
    refresh();
}

void PermissionStep::refresh()
{
    if (m_state.permitted) {
        m_status = Status::ready;
    } else if (m_installer.awaitingApproval()) {
        m_status = Status::awaitingApproval;
    } else if (m_state.message) {
        m_status = Status::message;
        m_message->setText(*m_state.message);
    } else {
        m_status = Status::none;
    }
    m_ready->setVisible(m_status == Status::ready);
    m_approval->setVisible(m_status == Status::awaitingApproval);
    m_message->setVisible(m_status == Status::message);
}

QString PermissionStep::statusText() const
{
    switch (m_status) {
    case Status::ready:
        return m_ready->text();
    case Status::awaitingApproval:
        return m_approvalText->text();
    case Status::message:
        return m_message->text();
    case Status::none:
        break;
    }
    return {};
}

// ---------------------------------------------------------------------------

MissionsStep::MissionsStep(const MissionsView::Services& services, QWidget* parent)
    : QWidget(parent), m_missions(new MissionsView(services, true, this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);
    column->addWidget(new StepHeader(u"Ganhe folgas com suas metas."_s,
        u"Cada meta cumprida no dia vale 15 minutos livres durante o foco. Escolha as suas; elas valem no iPhone e neste computador."_s,
        this));
    column->addWidget(m_missions, 1);
}

} // namespace kestravin
