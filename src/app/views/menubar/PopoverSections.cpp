#include "PopoverSections.h"

#include "FocusStartSection.h"
#include "FolgaRow.h"
#include "MenuBarPalette.h"
#include "MenuControls.h"

#include "app/models/WeekSchedule.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandMotionIcon.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/Firefly.h"
#include "app/views/brand/PlainLabel.h"
#include "app/views/brand/SummaryLink.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

const QString permissionText = u"Falta uma permissão para este computador bloquear de verdade."_s;
const QString installText = u"Permitir bloqueio neste computador"_s;
const QString awaitingText = u"Aguardando a permissão…"_s;

QLabel* textLine(const QString& text, int size, QFont::Weight weight, QWidget* parent, bool muted = false,
    BrandFonts::Design design = BrandFonts::Design::Default)
{
    auto* label = plainLabel(text, parent);
    label->setFont(BrandFonts::font(size, weight, design));
    label->setProperty("muted", muted);
    label->setWordWrap(true);
    return label;
}

QVBoxLayout* columnLayout(QWidget* widget, int spacing)
{
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QWidget* column(QWidget* parent, int spacing, const QString& name)
{
    auto* widget = new QWidget(parent);
    widget->setObjectName(name);
    columnLayout(widget, spacing);
    return widget;
}

QPushButton* plainButton(const QString& text, int size, QFont::Weight weight, bool muted, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setFlat(true);
    button->setFont(BrandFonts::font(size, weight));
    button->setCursor(Qt::PointingHandCursor);
    button->setProperty("muted", muted);
    button->setAccessibleName(text);
    return button;
}

QColor toneColor(MenuBarModel::StatusTone tone, ColorScheme scheme)
{
    const bool dark = scheme == ColorScheme::Dark;
    switch (tone) {
    case MenuBarModel::StatusTone::accent:
        return BrandTokens::accent();
    case MenuBarModel::StatusTone::starting:
        return dark ? QColor(0xFF9F0A) : QColor(0xFF9500);
    case MenuBarModel::StatusTone::free:
        return dark ? QColor(0x30D158) : QColor(0x34C759);
    case MenuBarModel::StatusTone::freeWithoutDaemon:
        break;
    }
    return MenuBarPalette::of(scheme).muted;
}

} // namespace

// ---- 1. Header row ----

PopoverHeader::PopoverHeader(QWidget* parent) : QWidget(parent)
{
    setObjectName(u"headerRow"_s);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new BrandHeader(this));
    row->addStretch(1);
    auto* gear = new BrandButton(QString(), false, this);
    gear->setSymbol(u"gearshape"_s, BrandIconMotion::Settings, BrandButton::IconPosition::Leading);
    gear->setAccessibleName(u"Ajustes"_s);
    gear->setToolTip(u"Ajustes"_s);
    row->addWidget(gear);
    connect(gear, &QAbstractButton::clicked, this, &PopoverHeader::settingsRequested);
}

// ---- 2. Update notice ----

UpdateNotice::UpdateNotice(QWidget* parent) : QWidget(parent)
{
    setObjectName(u"updateNotice"_s);
    auto* notice = new QHBoxLayout(this);
    notice->setContentsMargins(0, 0, 0, 0);
    notice->setSpacing(10);
    notice->addWidget(new SymbolIcon(u"arrow.down.circle.fill"_s, 18, this));
    auto* texts = new QVBoxLayout();
    texts->setSpacing(1);
    texts->addWidget(textLine(u"Nova versão pronta"_s, 12, QFont::DemiBold, this));
    texts->addWidget(textLine(u"Leva poucos segundos."_s, 11, QFont::Normal, this, true));
    notice->addLayout(texts, 1);
    m_restart = new BrandButton(u"Reiniciar para atualizar"_s, true, this);
    m_restart->setFont(BrandFonts::font(12, QFont::DemiBold));
    notice->addWidget(m_restart);
    connect(m_restart, &QAbstractButton::clicked, this, &UpdateNotice::restartRequested);
}

void UpdateNotice::refresh(UpdatePhase phase)
{
    setVisible(UpdatePhaseSource::updateReady(phase));
    m_restart->setText(phase == UpdatePhase::installing ? u"Reiniciando…"_s : u"Reiniciar para atualizar"_s);
    m_restart->setEnabled(phase != UpdatePhase::installing);
}

// ---- 3. Status header ----

StatusHeader::StatusHeader(QWidget* parent) : QWidget(parent)
{
    setObjectName(u"statusHeader"_s);
    auto* layout = columnLayout(this, 8);
    auto* statusLine = new QHBoxLayout();
    statusLine->setSpacing(7);
    m_statusDot = new StatusDot(this);
    m_statusText = textLine(QString(), 12, QFont::Medium, this);
    m_statusText->setWordWrap(false);
    statusLine->addWidget(m_statusDot);
    statusLine->addWidget(m_statusText, 1);
    layout->addItem(statusLine);
    m_subtext = textLine(QString(), 23, QFont::DemiBold, this, false, BrandFonts::Design::Rounded);
    m_subtext->setObjectName(u"subtext"_s);
    layout->addWidget(m_subtext);
    m_countdown = column(this, 2, u"countdown"_s);
    m_countdownLarge = textLine(QString(), 23, QFont::DemiBold, m_countdown, false, BrandFonts::Design::Rounded);
    m_countdownSmall = textLine(QString(), 12, QFont::Normal, m_countdown, true);
    m_countdown->layout()->addWidget(m_countdownLarge);
    m_countdown->layout()->addWidget(m_countdownSmall);
    layout->addWidget(m_countdown);
    auto* summaryRow = new QHBoxLayout();
    summaryRow->setSpacing(8);
    m_summary = textLine(QString(), 12, QFont::Normal, this, true);
    auto* edit = new SummaryLink(u"Editar"_s, u"Editar sites e apps"_s, this);
    summaryRow->addWidget(m_summary, 1);
    summaryRow->addWidget(edit, 0, Qt::AlignTop);
    layout->addItem(summaryRow);
    connect(edit, &QAbstractButton::clicked, this, &StatusHeader::editRequested);
    m_permissionText = textLine(permissionText, 12, QFont::Normal, this, true);
    layout->addWidget(m_permissionText);
    m_install = new RowButton(true, this);
    m_install->row()->setSpacing(8);
    m_installLabel = textLine(installText, 13, QFont::DemiBold, m_install);
    m_installLabel->setWordWrap(false);
    m_installLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_install->row()->addWidget(m_installLabel);
    m_install->row()->addStretch(1);
    m_install->row()->addWidget(new BrandMotionIcon(u"arrow.right"_s, BrandIconMotion::Forward, m_install));
    layout->addWidget(m_install);
    connect(m_install, &QAbstractButton::clicked, this, &StatusHeader::installRequested);
}

void StatusHeader::refresh(const MenuBarModel& header, bool installing)
{
    const auto& in = header.inputs();
    m_statusDot->setColor(toneColor(header.statusTone(), Appearance::shared().colorScheme()));
    m_statusText->setText(header.statusText());
    const auto line = header.mainLine();
    m_subtext->setVisible(line == MenuBarModel::MainLine::subtext);
    m_subtext->setText(header.statusSubtext());
    m_countdown->setVisible(line != MenuBarModel::MainLine::subtext);
    m_summary->setText(header.blockedSummary());
    m_permissionText->setVisible(!in.helperInstalled);
    m_install->setVisible(!in.helperInstalled);
    m_install->setEnabled(!installing);
    m_installLabel->setText(installing ? awaitingText : installText);
    m_install->setAccessibleName(m_installLabel->text());
}

void StatusHeader::updateCountdown(const MenuBarModel& header, const QDateTime& now)
{
    switch (header.mainLine()) {
    case MenuBarModel::MainLine::focusCountdown: {
        const QDateTime end = *header.focusEnd();
        m_countdownLarge->setText(MenuBarModel::focusCountdownText(end, now));
        m_countdownSmall->setText(header.focusCountdownDetail(end));
        break;
    }
    case MenuBarModel::MainLine::folgaCountdown: {
        const QDateTime end = *header.folgaUntil();
        m_countdownLarge->setText(MenuBarModel::folgaCountdownText(end, now));
        m_countdownSmall->setText(header.folgaCountdownDetail(end));
        break;
    }
    case MenuBarModel::MainLine::subtext:
        break;
    }
}

bool StatusHeader::showsCountdown() const
{
    return m_countdown->isVisibleTo(this);
}

void StatusHeader::applyColors()
{
    m_installLabel->setStyleSheet(u"QLabel { color: %1; }"_s.arg(m_install->labelColor().name()));
}

// ---- 4. Focus area ----

FocusArea::FocusArea(FocusStartModel& model, QWidget* parent) : QWidget(parent)
{
    setObjectName(u"focusArea"_s);
    auto* layout = columnLayout(this, 0);
    m_startSection = new FocusStartSection(model, this);
    m_startSection->setObjectName(u"focusStart"_s);
    layout->addWidget(m_startSection);
    m_focusActions = column(this, 8, u"focusActions"_s);
    m_actionsError = textLine(QString(), 11, QFont::Normal, m_focusActions, true);
    m_focusActions->layout()->addWidget(m_actionsError);
    m_folgaRow = new FolgaRow(m_focusActions);
    m_folgaRow->setObjectName(u"folgaRow"_s);
    m_focusActions->layout()->addWidget(m_folgaRow);
    m_assistant = new RowButton(false, m_focusActions);
    m_assistant->setAccessibleName(u"Pedir ajuda à Orla"_s);
    m_assistant->row()->setSpacing(10);
    auto* firefly = new Firefly(30, m_assistant);
    m_assistant->row()->addWidget(firefly);
    auto* assistantTexts = new QVBoxLayout();
    assistantTexts->setSpacing(3);
    auto* assistantTitle = textLine(u"Pedir ajuda à Orla"_s, 13, QFont::Medium, m_assistant);
    auto* assistantLine
        = textLine(u"Libera só o que você precisa, por pouco tempo"_s, 11, QFont::Normal, m_assistant, true);
    for (QWidget* part : { static_cast<QWidget*>(firefly), static_cast<QWidget*>(assistantTitle),
             static_cast<QWidget*>(assistantLine) }) {
        part->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    assistantTexts->addWidget(assistantTitle);
    assistantTexts->addWidget(assistantLine);
    m_assistant->row()->addLayout(assistantTexts, 1);
    m_assistant->row()->addWidget(new BrandMotionIcon(u"arrow.up.right"_s, BrandIconMotion::Forward, m_assistant));
    m_focusActions->layout()->addWidget(m_assistant);
    layout->addWidget(m_focusActions);
    connect(m_assistant, &QAbstractButton::clicked, this, &FocusArea::assistantRequested);
}

void FocusArea::showRunning(bool running, bool startShown)
{
    m_focusActions->setVisible(running);
    m_startSection->setVisible(startShown);
}

void FocusArea::setActionsError(const std::optional<QString>& error)
{
    m_actionsError->setVisible(error.has_value());
    m_actionsError->setText(error.value_or(QString()));
}

void FocusArea::setAssistantShown(bool shown)
{
    m_assistant->setVisible(shown);
}

// ---- 6. Schedule info ----

ScheduleInfo::ScheduleInfo(QWidget* parent) : QWidget(parent)
{
    setObjectName(u"scheduleInfo"_s);
    auto* layout = columnLayout(this, 12);
    auto* hoursRow = new QHBoxLayout();
    auto* hoursTitle = textLine(u"Horários automáticos"_s, 12, QFont::DemiBold, this);
    hoursTitle->setWordWrap(false);
    hoursRow->addWidget(hoursTitle);
    hoursRow->addStretch(1);
    m_hoursSwitch = new MenuSwitch(u"Horários automáticos"_s, this);
    hoursRow->addWidget(m_hoursSwitch);
    layout->addItem(hoursRow);
    m_weekSummary = textLine(QString(), 11, QFont::Normal, this, true);
    m_weekSummary->setObjectName(u"weekSummary"_s);
    layout->addWidget(m_weekSummary);
    connect(m_hoursSwitch, &QAbstractButton::clicked, this, &ScheduleInfo::automaticHoursToggled);
}

void ScheduleInfo::refresh(const Configuration& configuration)
{
    m_hoursSwitch->setChecked(configuration.enabled);
    m_weekSummary->setVisible(configuration.enabled);
    m_weekSummary->setText(WeekSchedule::summary(WeekSchedule::days(configuration.schedule)));
}

// ---- 8. Bottom actions ----

BottomActions::BottomActions(QWidget* parent) : QWidget(parent)
{
    setObjectName(u"bottomActions"_s);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 4, 0, 0);
    auto* settings = plainButton(u"Sites, apps e horários"_s, 12, QFont::Medium, false, this);
    auto* quit = plainButton(u"Sair"_s, 11, QFont::Normal, true, this);
    row->addWidget(settings);
    row->addStretch(1);
    row->addWidget(quit);
    connect(settings, &QAbstractButton::clicked, this, &BottomActions::settingsRequested);
    connect(quit, &QAbstractButton::clicked, this, &BottomActions::quitRequested);
}

} // namespace kestravin
