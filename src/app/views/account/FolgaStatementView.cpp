#include "FolgaStatementView.h"

#include "AccountWidgets.h"
#include "app/models/FolgaStatement.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandAssets.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandSymbol.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/SummaryLink.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

struct StatementColors {
    QColor badgeText;
    QColor badgeFill;
    QColor card;
};

StatementColors statementColors()
{
    if (Appearance::shared().colorScheme() == ColorScheme::Dark) {
        return { QColor(250, 247, 241), QColor(58, 48, 33), QColor(28, 27, 25) };
    }
    return { QColor(44, 41, 37), QColor(255, 245, 223), QColor(251, 250, 248) };
}

constexpr int rowPadding = 11;

} // namespace

// ---- FolgaStatementRow ----

FolgaStatementRow::FolgaStatementRow(const FolgaEntry& entry, const QDateTime& now, QWidget* parent)
    : QLabel(parent),
      m_title(FolgaStatement::title(entry.mission)),
      m_detail(FolgaStatement::detail(entry, now, QTimeZone::systemTimeZone())),
      m_badge(FolgaStatement::badge(entry)),
      m_symbol(FolgaStatement::symbol(entry.mission)),
      m_highlighted(FolgaStatement::highlighted(entry))
{
    setAccessibleName(m_title + u". "_s + m_detail + u". "_s + m_badge);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize FolgaStatementRow::sizeHint() const
{
    const QFontMetrics title(BrandFonts::font(13, QFont::DemiBold));
    const QFontMetrics detail(BrandFonts::font(12));
    return { 400, rowPadding * 2 + title.height() + 3 + detail.height() };
}

void FolgaStatementRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const BrandPalette& palette = BrandPalette::current();
    const StatementColors colors = statementColors();
    const QRectF area = QRectF(rect()).adjusted(0, rowPadding, 0, -rowPadding);

    if (const BrandImage* image = BrandAssets::symbol(m_symbol)) {
        const QRectF box(area.left(), area.center().y() - 9, 20, 18);
        image->renderTinted(painter, box, m_highlighted ? BrandTokens::accent() : palette.mutedInk);
    }

    const QFont badgeFont = BrandFonts::font(11, QFont::DemiBold);
    const QFontMetrics badgeMetrics(badgeFont);
    const double badgeWidth = badgeMetrics.horizontalAdvance(m_badge) + 16;
    const double badgeHeight = badgeMetrics.height() + 6;
    const QRectF badge(area.right() - badgeWidth, area.center().y() - badgeHeight / 2, badgeWidth, badgeHeight);
    painter.fillPath(BrandShapes::capsule(badge),
        m_highlighted ? colors.badgeFill : BrandTokens::sunk(Appearance::shared().colorScheme()));
    painter.setFont(badgeFont);
    painter.setPen(m_highlighted ? colors.badgeText : palette.mutedInk);
    painter.drawText(badge, Qt::AlignCenter, m_badge);

    const double textLeft = area.left() + 20 + 12;
    const double textWidth = badge.left() - 8 - textLeft;
    const QFont titleFont = BrandFonts::font(13, QFont::DemiBold);
    const QFont detailFont = BrandFonts::font(12);
    const QFontMetrics titleMetrics(titleFont);
    const QFontMetrics detailMetrics(detailFont);
    painter.setFont(titleFont);
    painter.setPen(palette.ink);
    painter.drawText(QRectF(textLeft, area.top(), textWidth, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
        titleMetrics.elidedText(m_title, Qt::ElideRight, int(textWidth)));
    painter.setFont(detailFont);
    painter.setPen(palette.mutedInk);
    painter.drawText(QRectF(textLeft, area.top() + titleMetrics.height() + 3, textWidth, detailMetrics.height()),
        Qt::AlignLeft | Qt::AlignVCenter, detailMetrics.elidedText(m_detail, Qt::ElideRight, int(textWidth)));
}

// ---- FolgaStatementView ----

FolgaStatementView::FolgaStatementView(std::function<void()> onGoals, QWidget* parent)
    : FolgaStatementView(
        DesktopAccountService::shared(),
        [](HistoryDone done) { DesktopAccountService::shared().folgaHistory(std::move(done)); }, std::move(onGoals),
        parent)
{
}

FolgaStatementView::FolgaStatementView(
    DesktopAccountService& account, HistoryLoader load, std::function<void()> onGoals, QWidget* parent)
    : QScrollArea(parent), m_account(account), m_loadHistory(std::move(load)), m_onGoals(std::move(onGoals))
{
    setAccessibleName(u"Extrato"_s);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(18);

    // The summary.
    auto* summary = new QHBoxLayout;
    summary->setSpacing(14);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    m_headline = AccountWidgets::text({}, 24, QFont::DemiBold, content);
    m_explanation = AccountWidgets::text({}, 13, QFont::Normal, content);
    texts->addWidget(m_headline);
    texts->addWidget(m_explanation);
    summary->addLayout(texts, 1);
    m_goals = new BrandButton(u"Ver metas"_s, false, content);
    m_goals->setAccessibleName(u"Ver metas"_s);
    m_goals->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_goals, &QAbstractButton::clicked, this, [this] {
        if (m_onGoals) {
            m_onGoals();
        }
    });
    summary->addWidget(m_goals, 0, Qt::AlignVCenter);
    column->addLayout(summary);

    // The failure row.
    m_failureRow = new QWidget(content);
    auto* failure = new QHBoxLayout(m_failureRow);
    failure->setContentsMargins(0, 0, 0, 0);
    failure->setSpacing(10);
    m_failureText = AccountWidgets::text({}, 13, QFont::Normal, m_failureRow);
    failure->addWidget(m_failureText, 1);
    m_retry = new SummaryLink(u"Tentar de novo"_s, u"Tentar carregar o extrato de novo"_s, m_failureRow);
    connect(m_retry, &QAbstractButton::clicked, this, &FolgaStatementView::retry);
    failure->addWidget(m_retry);
    column->addWidget(m_failureRow);

    // The content.
    m_message = AccountWidgets::text({}, 13, QFont::Normal, content);
    column->addWidget(m_message);
    m_spinner = new QProgressBar(content);
    m_spinner->setRange(0, 0);
    m_spinner->setTextVisible(false);
    m_spinner->setFixedSize(80, 6);
    m_spinner->setAccessibleName(u"Carregando o extrato"_s);
    column->addWidget(m_spinner);
    m_card = new RoundedPanel(16, content);
    m_cardRows = new QVBoxLayout(m_card);
    m_cardRows->setContentsMargins(14, 0, 14, 0);
    m_cardRows->setSpacing(0);
    column->addWidget(m_card);
    column->addStretch();
    setWidget(content);

    connect(&m_account, &DesktopAccountService::snapshotChanged, this, &FolgaStatementView::follow);
    connect(&Appearance::shared(), &Appearance::changed, this, &FolgaStatementView::applyColors);
    applyColors();
    follow();
}

void FolgaStatementView::follow()
{
    const QString key = FolgaStatement::loadKey(m_account.snapshot(), m_reload);
    if (key != m_key || m_loadId == 0) {
        m_key = key;
        load();
    } else {
        render();
    }
}

void FolgaStatementView::load()
{
    const quint64 id = ++m_loadId; // any earlier load is now superseded
    const auto& snapshot = m_account.snapshot();
    const std::optional<QString> owner = snapshot ? std::optional<QString>(snapshot->user.id) : std::nullopt;
    if (owner != m_owner) {
        m_entries.reset();
        m_failed = false;
        m_owner = owner;
    }
    render();
    if (!owner) {
        return;
    }
    QPointer<FolgaStatementView> self(this);
    m_loadHistory([self, id, owner](std::optional<AccountFailure> failure, QList<FolgaEntry> entries) {
        if (!self || id != self->m_loadId) {
            // The page went away or a newer load replaced this one: an older
            // list must not land over a newer one.
            return;
        }
        if (failure) {
            self->m_failed = true;
        } else {
            const auto& now = self->m_account.snapshot();
            if (!now || now->user.id != *owner) {
                return;
            }
            self->m_entries = std::move(entries);
            self->m_failed = false;
        }
        self->render();
    });
}

void FolgaStatementView::retry()
{
    m_failed = false;
    ++m_reload;
    follow();
}

FolgaStatementView::Content FolgaStatementView::content() const
{
    if (!m_account.snapshot()) {
        return Content::connect;
    }
    if (m_entries) {
        return m_entries->isEmpty() ? Content::empty : Content::rows;
    }
    return m_failed ? Content::nothing : Content::loading;
}

QString FolgaStatementView::headline() const
{
    return m_headline->text();
}

QString FolgaStatementView::failureText() const
{
    return m_failed ? m_failureText->text() : QString();
}

QList<FolgaStatementRow*> FolgaStatementView::rows() const
{
    return m_card->findChildren<FolgaStatementRow*>(Qt::FindDirectChildrenOnly);
}

void FolgaStatementView::render()
{
    const auto& snapshot = m_account.snapshot();
    m_headline->setText(FolgaStatement::headline(snapshot));
    m_explanation->setText(FolgaStatement::explanation(snapshot));

    m_failureRow->setVisible(m_failed);
    m_failureText->setText(FolgaStatement::failure(m_entries.has_value()));

    const Content shown = content();
    m_message->setVisible(shown == Content::connect || shown == Content::empty);
    m_message->setText(
        shown == Content::connect ? u"Conecte sua conta para ver o extrato."_s : u"Nenhuma folga ainda."_s);
    m_spinner->setVisible(shown == Content::loading);
    m_card->setVisible(shown == Content::rows);

    while (QLayoutItem* item = m_cardRows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (shown == Content::rows) {
        const QDateTime now = QDateTime::currentDateTime();
        bool first = true;
        for (const FolgaEntry& entry : *m_entries) {
            if (!first) {
                auto* divider = new BrandHairline(m_card);
                divider->setColor(BrandPalette::current().hairline);
                m_cardRows->addWidget(divider);
                divider->show();
            }
            first = false;
            auto* row = new FolgaStatementRow(entry, now, m_card);
            m_cardRows->addWidget(row);
            row->show();
        }
    }
}

void FolgaStatementView::applyColors()
{
    const BrandPalette& palette = BrandPalette::current();
    for (QLabel* muted : { m_explanation, m_failureText, m_message }) {
        AccountWidgets::setInk(muted, palette.mutedInk);
    }
    AccountWidgets::setInk(m_headline, palette.ink);
    m_card->setColors(statementColors().card, palette.hairline);
    QPalette own = this->palette();
    own.setColor(QPalette::Window, Qt::transparent);
    setPalette(own);
    viewport()->setAutoFillBackground(false);
    render();
}

} // namespace kestravin
