#include "FolgaRow.h"

#include "MenuBarPalette.h"
#include "MenuControls.h"

#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/PlainLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

QLabel* label(const QString& text, int size, QFont::Weight weight, bool muted, QWidget* parent)
{
    auto* line = plainLabel(text, parent);
    line->setFont(BrandFonts::font(size, weight));
    line->setWordWrap(muted);
    line->setProperty("muted", muted);
    return line;
}

} // namespace

FolgaRow::FolgaRow(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    m_empty = new QWidget(this);
    auto* empty = new QHBoxLayout(m_empty);
    empty->setContentsMargins(0, 0, 0, 0);
    empty->setSpacing(10);
    empty->addWidget(new SymbolIcon(u"sparkles"_s, 16, m_empty));
    auto* emptyTexts = new QVBoxLayout();
    emptyTexts->setSpacing(2);
    emptyTexts->addWidget(label(FolgaRowModel::emptyTitle(), 13, QFont::DemiBold, false, m_empty));
    m_emptyDetail = label(QString(), 11, QFont::Normal, true, m_empty);
    emptyTexts->addWidget(m_emptyDetail);
    empty->addLayout(emptyTexts, 1);
    m_goals = new SummaryLink(u"Metas"_s, u"Ver as metas que rendem folgas"_s, m_empty);
    empty->addWidget(m_goals);
    layout->addWidget(m_empty);

    m_offer = new QWidget(this);
    auto* offer = new QVBoxLayout(m_offer);
    offer->setContentsMargins(0, 0, 0, 0);
    offer->setSpacing(6);
    m_use = new RowButton(false, m_offer);
    m_use->row()->setSpacing(8);
    m_useIcon = new SymbolIcon(u"sparkles"_s, 14, m_use);
    m_useTitle = label(QString(), 13, QFont::Medium, false, m_use);
    m_useTitle->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_badge = plainLabel(QString(), m_use);
    m_badge->setFont(BrandFonts::font(11, QFont::DemiBold, BrandFonts::Design::Rounded));
    m_badge->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_use->row()->addWidget(m_useIcon);
    m_use->row()->addWidget(m_useTitle);
    m_use->row()->addStretch(1);
    m_use->row()->addWidget(m_badge);
    offer->addWidget(m_use);
    auto* detailRow = new QHBoxLayout();
    detailRow->setSpacing(8);
    m_detail = label(QString(), 11, QFont::Normal, true, m_offer);
    detailRow->addWidget(m_detail, 1);
    m_statement = new SummaryLink(u"Extrato"_s, u"Ver o extrato de folgas"_s, m_offer);
    detailRow->addWidget(m_statement, 0, Qt::AlignTop);
    offer->addLayout(detailRow);
    layout->addWidget(m_offer);

    m_confirm = new QWidget(this);
    m_confirm->setObjectName(u"folgaConfirmation"_s);
    m_confirm->setAccessibleName(u"Confirmar folga"_s);
    auto* confirm = new QVBoxLayout(m_confirm);
    confirm->setContentsMargins(12, 10, 12, 10);
    confirm->setSpacing(6);
    m_confirmTitle = label(QString(), 13, QFont::DemiBold, false, m_confirm);
    m_confirmMessage = label(QString(), 11, QFont::Normal, true, m_confirm);
    confirm->addWidget(m_confirmTitle);
    confirm->addWidget(m_confirmMessage);
    auto* buttons = new QHBoxLayout();
    buttons->setSpacing(8);
    m_confirmCancel = new BrandButton(u"Continuar no foco"_s, false, m_confirm);
    m_confirmUse = new BrandButton(u"Usar folga"_s, true, m_confirm);
    buttons->addStretch(1);
    buttons->addWidget(m_confirmCancel);
    buttons->addWidget(m_confirmUse);
    confirm->addLayout(buttons);
    layout->addWidget(m_confirm);

    connect(m_use, &QAbstractButton::clicked, this, &FolgaRow::useRequested);
    connect(m_confirmUse, &QAbstractButton::clicked, this, &FolgaRow::confirmed);
    connect(m_confirmCancel, &QAbstractButton::clicked, this, &FolgaRow::cancelled);
    connect(m_goals, &QAbstractButton::clicked, this, &FolgaRow::goalsRequested);
    connect(m_statement, &QAbstractButton::clicked, this, &FolgaRow::statementRequested);
    connect(&Appearance::shared(), &Appearance::changed, this, &FolgaRow::applyColors);
    applyColors();
}

void FolgaRow::refresh(const FolgaRowModel& model, bool confirming)
{
    const auto layout = model.layout();
    setVisible(layout != FolgaRowModel::Layout::none);
    m_empty->setVisible(layout == FolgaRowModel::Layout::empty);
    m_offer->setVisible(layout == FolgaRowModel::Layout::offer);
    m_confirm->setVisible(layout == FolgaRowModel::Layout::offer && confirming);
    if (layout == FolgaRowModel::Layout::empty) {
        m_emptyDetail->setText(model.emptyDetail());
    } else if (layout == FolgaRowModel::Layout::offer) {
        m_useTitle->setText(model.useTitle());
        m_use->setAccessibleName(model.useTitle());
        m_use->setAccessibleDescription(model.badgeAccessibleText());
        m_use->setEnabled(model.useEnabled());
        m_badge->setText(model.badgeText());
        m_badge->setAccessibleName(model.badgeAccessibleText());
        m_detail->setText(model.detailText());
        const auto question = model.confirmation();
        m_confirmTitle->setText(question.title);
        m_confirmMessage->setText(question.message);
    }
}

void FolgaRow::applyColors()
{
    const auto palette = MenuBarPalette::current();
    m_badge->setStyleSheet(
        u"QLabel { background: %1; border-radius: 6px; padding: 2px 7px; }"_s.arg(palette.badgeFill.name()));
    m_confirm->setStyleSheet(
        u"QWidget#folgaConfirmation { background: %1; border: 1px solid %2; border-radius: 10px; }"_s.arg(
            palette.fieldSurface.name(), palette.divider.name()));
    m_useIcon->setColor(palette.ink);
}

} // namespace kestravin
