#include "app/views/blocker/FolgaLine.h"

#include "app/models/FolgaMenuState.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandSymbol.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/PlainLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kestravin {

FolgaLine::FolgaLine(std::function<void()> onFolga, QWidget* parent)
    : FolgaLine(std::move(onFolga), DesktopAccountService::shared(), parent)
{
}

FolgaLine::FolgaLine(std::function<void()> onFolga, DesktopAccountService& account, QWidget* parent)
    : QWidget(parent), m_onFolga(std::move(onFolga)), m_account(account)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    m_divider = new BrandHairline(this);
    column->addWidget(m_divider);

    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    m_sparkles = new BrandSymbol(u"sparkles"_s, 14, BrandTokens::accent(), this);
    row->addWidget(m_sparkles, 0, Qt::AlignVCenter);
    m_text = plainLabel(QString(), this);
    m_text->setWordWrap(true);
    m_text->setFont(BrandFonts::font(13));
    row->addWidget(m_text, 1);
    m_use = new BrandButton(u"Usar agora"_s, false, this);
    m_use->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_use, &QAbstractButton::clicked, this, [this] {
        if (m_onFolga) {
            m_onFolga();
        }
    });
    row->addWidget(m_use, 0, Qt::AlignVCenter);
    column->addLayout(row);

    m_endTimer = new QTimer(this);
    m_endTimer->setSingleShot(true);
    connect(m_endTimer, &QTimer::timeout, this, &FolgaLine::refresh);
    connect(&m_account, &DesktopAccountService::snapshotChanged, this, &FolgaLine::refresh);
    connect(&Appearance::shared(), &Appearance::changed, this, &FolgaLine::applyColors);
    applyColors();
    refresh();
}

QString FolgaLine::text() const
{
    return m_line ? m_line->text : QString();
}

void FolgaLine::applyColors()
{
    const BrandPalette& palette = BrandPalette::current();
    m_divider->setColor(palette.hairline);
    QPalette textPalette = m_text->palette();
    textPalette.setColor(QPalette::WindowText, palette.mutedInk);
    m_text->setPalette(textPalette);
}

void FolgaLine::refresh()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    m_line = FolgaLineModel::make(m_account.snapshot(), now, QLocale(), QTimeZone::systemTimeZone());
    m_endTimer->stop();
    if (m_line) {
        m_text->setText(m_line->text);
        m_text->setAccessibleName(m_line->text);
        m_use->setVisible(m_line->usable.has_value());
        if (m_line->usable) {
            m_use->setAccessibleName(m_line->buttonAccessibleName());
        }
        const auto& folga = m_account.snapshot()->folga;
        const FolgaMenuState state = FolgaMenuState::make(*folga, true, now);
        if (state.kind == FolgaMenuState::Kind::active) {
            const qint64 wait = now.msecsTo(state.until) + 1;
            m_endTimer->start(int(std::clamp<qint64>(wait, 0, 24LL * 3600 * 1000)));
        }
    }
    // A hidden widget takes no room in the card's layout.
    setVisible(m_line.has_value());
}

} // namespace kestravin
