#include "MissionsView.h"

#include "AccountWidgets.h"
#include "MissionsEditor.h"
#include "app/models/MissionGoals.h"
#include "app/platform/Scheduler.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/services/account/MissionTracker.h"
#include "app/services/catalog/InstalledApps.h"
#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandAssets.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandSymbol.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/ChoiceChips.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

const QString garminNote = u"Passos, treino e meditação são medidos pelo iPhone, no app Saúde. Relógios Garmin entram "
                           u"pelo Garmin Connect, ligado ao Saúde."_s;

// The accent tone of the goals: darker than the accent on light paper.
QColor accentTone()
{
    return BrandPalette::current().accentRing;
}

void clear(QLayout* layout)
{
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        if (QLayout* inner = item->layout()) {
            clear(inner);
        }
        delete item;
    }
}

// One line of today's progress: symbol, title, status and a thin bar; one
// element for a reader.
class TodayLine : public QLabel {
public:
    TodayLine(const MissionLine& line, QWidget* parent) : QLabel(parent), m_line(line)
    {
        m_title = title(line.kind, line.target);
        setAccessibleName(m_title + u". "_s + line.status() + u'.');
        setMinimumHeight(30);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    bool reached() const { return m_line.earned || m_line.value.value_or(0) >= m_line.target; }
    double fraction() const
    {
        if (m_line.earned) {
            return 1;
        }
        return std::min(1.0, double(m_line.value.value_or(0)) / double(std::max<qint64>(m_line.target, 1)));
    }

    QSize sizeHint() const override { return { 300, 30 }; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const BrandPalette& palette = BrandPalette::current();
        const QRectF row(0, 0, width(), 18);
        const QString symbol = reached() ? u"checkmark.circle.fill"_s : MissionGoals::symbol(m_line.kind);
        if (const BrandImage* image = BrandAssets::symbol(symbol)) {
            image->renderTinted(painter, QRectF(0, 1, 16, 16), reached() ? BrandTokens::accent() : palette.mutedInk);
        }
        painter.setFont(BrandFonts::font(12));
        painter.setPen(reached() ? accentTone() : palette.mutedInk);
        const QString status = m_line.status();
        const int statusWidth = QFontMetrics(painter.font()).horizontalAdvance(status);
        painter.drawText(row, Qt::AlignRight | Qt::AlignVCenter, status);
        painter.setFont(BrandFonts::font(13, QFont::Medium));
        painter.setPen(palette.ink);
        painter.drawText(QRectF(28, 0, width() - 28 - statusWidth - 10, 18), Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(painter.font()).elidedText(m_title, Qt::ElideRight, width() - 38 - statusWidth));
        const QRectF track(28, 24, width() - 28, 3);
        painter.fillPath(BrandShapes::capsule(track), palette.hairline);
        if (fraction() > 0) {
            painter.fillPath(
                BrandShapes::capsule(QRectF(track.topLeft(), QSizeF(track.width() * fraction(), 3))), accentTone());
        }
    }

private:
    MissionLine m_line;
    QString m_title;
};

} // namespace

// ---- GoalHeader ----

GoalHeader::GoalHeader(MissionKind kind, QWidget* parent)
    : QAbstractButton(parent), m_kind(kind), m_subtitle(MissionGoals::subtitle(kind))
{
    setCheckable(true);
    // A goal is on or off: read as a check box with its state.
    BrandAccessibility::setButtonRole(this, QAccessible::CheckBox);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void GoalHeader::present(const QString& title, bool on)
{
    m_title = title;
    setText(title);
    setAccessibleName(title);
    setAccessibleDescription(m_subtitle);
    setChecked(on);
    updateGeometry();
    update();
}

QSize GoalHeader::sizeHint() const
{
    const int title = QFontMetrics(BrandFonts::font(13, QFont::DemiBold)).height();
    const int subtitle = m_subtitle.isEmpty() ? 0 : 2 + QFontMetrics(BrandFonts::font(11)).height();
    return { 300, std::max(22, title + subtitle) };
}

void GoalHeader::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const BrandPalette& palette = BrandPalette::current();
    const bool on = isChecked();
    const double middle = height() / 2.0;
    if (const BrandImage* image = BrandAssets::symbol(MissionGoals::symbol(m_kind))) {
        image->renderTinted(painter, QRectF(0, middle - 9, 20, 18), on ? accentTone() : palette.mutedInk);
    }
    if (const BrandImage* mark = BrandAssets::symbol(on ? u"checkmark.circle.fill"_s : u"circle"_s)) {
        mark->renderTinted(
            painter, QRectF(width() - 18, middle - 9, 18, 18), on ? BrandTokens::accent() : palette.hairline);
    }
    const QFont titleFont = BrandFonts::font(13, QFont::DemiBold);
    const QFont subtitleFont = BrandFonts::font(11);
    const int titleHeight = QFontMetrics(titleFont).height();
    const double textWidth = width() - 32 - 30;
    painter.setFont(titleFont);
    painter.setPen(palette.ink);
    painter.drawText(QRectF(32, 0, textWidth, titleHeight), Qt::AlignLeft | Qt::AlignVCenter, m_title);
    if (!m_subtitle.isEmpty()) {
        painter.setFont(subtitleFont);
        painter.setPen(palette.mutedInk);
        painter.drawText(QRectF(32, titleHeight + 2, textWidth, height() - titleHeight - 2),
            Qt::AlignLeft | Qt::AlignTop,
            QFontMetrics(subtitleFont).elidedText(m_subtitle, Qt::ElideRight, int(textWidth)));
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette.focusRing, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
    }
}

// ---- AppCapsule ----

AppCapsule::AppCapsule(const QIcon& icon, const QString& name, bool result, QWidget* parent)
    : QAbstractButton(parent), m_icon(icon), m_result(result)
{
    BrandAccessibility::setPressable(this); // before anything makes its interface
    setText(name);
    setAccessibleName(result ? name : u"Remover "_s + name);
    setFont(BrandFonts::font(12));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(result ? QSizePolicy::Expanding : QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize AppCapsule::sizeHint() const
{
    const int iconSize = m_result ? 18 : (m_icon.isNull() ? 0 : 16 + 6);
    const int textWidth = QFontMetrics(font()).horizontalAdvance(text());
    if (m_result) {
        return { iconSize + 8 + textWidth + 8 + 14, 26 };
    }
    return { 8 + iconSize + textWidth + 6 + 9 + 8, 24 };
}

void AppCapsule::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const BrandPalette& palette = BrandPalette::current();
    double x = 0;
    if (!m_result) {
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.fillPath(BrandShapes::capsule(box), palette.paper);
        painter.setPen(QPen(palette.hairline, 1));
        painter.drawPath(BrandShapes::capsule(box));
        x = 8;
    } else if (underMouse() || hasFocus()) {
        painter.fillPath(BrandShapes::continuousRect(QRectF(rect()), 6), palette.highlight);
    }
    const int iconSize = m_result ? 18 : 16;
    if (!m_icon.isNull()) {
        m_icon.paint(&painter, QRect(int(x), (height() - iconSize) / 2, iconSize, iconSize));
        x += iconSize + (m_result ? 8 : 6);
    }
    painter.setFont(font());
    painter.setPen(palette.ink);
    const QString mark = m_result ? u"plus"_s : u"xmark"_s;
    const int markSize = m_result ? 11 : 9;
    const double markLeft = width() - (m_result ? 4 : 8) - markSize;
    painter.drawText(QRectF(x, 0, markLeft - x - 6, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    if (const BrandImage* image = BrandAssets::symbol(mark)) {
        image->renderTinted(painter, QRectF(markLeft, (height() - markSize) / 2.0, markSize, markSize),
            m_result ? palette.ink : palette.mutedInk);
    }
}

// ---- MissionsView ----

MissionsView::Services MissionsView::Services::shared()
{
    return { &DesktopAccountService::shared(), &MissionTracker::shared(), &InstalledApps::shared(),
        &Scheduler::system(), {} };
}

MissionsView::MissionsView(bool embedded, QWidget* parent) : MissionsView(Services::shared(), embedded, parent)
{
}

MissionsView::MissionsView(Services services, bool embedded, QWidget* parent)
    : QScrollArea(parent), m_services(std::move(services)), m_embedded(embedded)
{
    setAccessibleName(u"Metas"_s);
    m_editor = new MissionsEditor(*m_services.account, *m_services.scheduler, m_services.save, this);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(18);

    if (!m_embedded) {
        auto* heading = new QVBoxLayout;
        heading->setSpacing(8);
        heading->addWidget(AccountWidgets::text(u"Metas que rendem folgas."_s, 24, QFont::DemiBold, content));
        QLabel* lead
            = AccountWidgets::text(u"Cada meta cumprida no dia vale 15 minutos livres durante o foco. As metas "
                                   u"não bloqueiam nada e valem no iPhone e neste computador."_s,
                13, QFont::Normal, content);
        m_muted << lead;
        heading->addWidget(lead);
        column->addLayout(heading);

        m_today = new RoundedPanel(14, content);
        auto* today = new QVBoxLayout(m_today);
        today->setContentsMargins(16, 16, 16, 16);
        today->setSpacing(12);
        QLabel* todayTitle = AccountWidgets::text(u"Hoje"_s, 12, QFont::DemiBold, m_today);
        m_muted << todayTitle;
        today->addWidget(todayTitle);
        m_todayLines = new QVBoxLayout;
        m_todayLines->setSpacing(12);
        today->addLayout(m_todayLines);
        column->addWidget(m_today);
    }

    auto* cards = new QVBoxLayout;
    cards->setSpacing(8);
    for (MissionKind kind : allMissionKinds) {
        auto* panel = new RoundedPanel(14, content);
        auto* card = new QVBoxLayout(panel);
        card->setContentsMargins(14, 14, 14, 14);
        card->setSpacing(12);
        auto* header = new GoalHeader(kind, panel);
        connect(header, &QAbstractButton::clicked, this, [this, kind] { m_editor->toggle(kind); });
        card->addWidget(header);
        QStringList labels;
        const auto targets = MissionGoals::targets(kind);
        for (qint64 target : targets) {
            labels << MissionGoals::chipLabel(kind, target);
        }
        auto* chips = new ChoiceChips(labels, -1, panel);
        chips->setAccessibleName(u"Meta de "_s + title(kind, MissionGoals::defaultTarget(kind)));
        connect(chips, &ChoiceRow::picked, this,
            [this, kind, targets](int index) { m_editor->setTarget(kind, targets[size_t(index)]); });
        card->addWidget(chips);
        if (kind == MissionKind::app) {
            m_picker = buildPicker(panel);
            card->addWidget(m_picker);
        }
        cards->addWidget(panel);
        m_cards.append({ kind, panel, header, chips });
    }
    column->addLayout(cards);

    m_footnote = AccountWidgets::text(garminNote, 12, QFont::Normal, content);
    m_muted << m_footnote;
    column->addWidget(m_footnote);
    column->addStretch();
    setWidget(content);

    connect(m_editor, &MissionsEditor::changed, this, &MissionsView::refreshCards);
    connect(m_services.tracker, &MissionTracker::linesChanged, this, &MissionsView::refreshToday);
    connect(m_services.tracker, &MissionTracker::appIDsChanged, this, &MissionsView::refreshPicker);
    connect(m_services.installed, &InstalledApps::appsChanged, this, &MissionsView::refreshPicker);
    connect(&Appearance::shared(), &Appearance::changed, this, &MissionsView::applyColors);
    m_editor->appear();
    applyColors();
}

QWidget* MissionsView::buildPicker(QWidget* parent)
{
    auto* picker = new QWidget(parent);
    auto* column = new QVBoxLayout(picker);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    m_hint = AccountWidgets::text({}, 11, QFont::Normal, picker);
    m_muted << m_hint;
    column->addWidget(m_hint);
    m_chosenRow = new QWidget(picker);
    auto* chosen = new QHBoxLayout(m_chosenRow);
    chosen->setContentsMargins(0, 0, 0, 0);
    chosen->setSpacing(6);
    column->addWidget(m_chosenRow);
    m_search = new QLineEdit(picker);
    m_search->setPlaceholderText(u"Buscar um app, como Kindle ou Anki"_s);
    m_search->setAccessibleName(u"Buscar um app, como Kindle ou Anki"_s);
    m_search->setFont(BrandFonts::font(12));
    column->addWidget(m_search);
    connect(m_search, &QLineEdit::textChanged, this, &MissionsView::refreshPicker);
    m_resultsBox = new QWidget(picker);
    auto* results = new QVBoxLayout(m_resultsBox);
    results->setContentsMargins(0, 0, 0, 0);
    results->setSpacing(8);
    column->addWidget(m_resultsBox);
    m_notFound = AccountWidgets::text(u"Nenhum app com esse nome neste computador."_s, 11, QFont::Normal, picker);
    m_muted << m_notFound;
    column->addWidget(m_notFound);
    return picker;
}

void MissionsView::showEvent(QShowEvent* event)
{
    QScrollArea::showEvent(event);
    m_services.installed->refresh();
    m_editor->appear();
}

void MissionsView::refreshCards()
{
    const QList<AccountMission>& missions = m_editor->missions();
    for (const Card& card : m_cards) {
        const auto index = MissionGoals::indexOf(missions, card.kind);
        const bool on = index.has_value();
        const qint64 target = on ? missions[*index].target : MissionGoals::defaultTarget(card.kind);
        card.header->present(title(card.kind, target), on);
        card.chips->setVisible(on);
        const auto targets = MissionGoals::targets(card.kind);
        const auto found = std::find(targets.begin(), targets.end(), target);
        card.chips->setCurrentIndex(on && found != targets.end() ? int(found - targets.begin()) : -1);
        const BrandPalette& palette = BrandPalette::current();
        card.panel->setColors(on ? withOpacity(palette.highlight, 0.6) : palette.paper,
            on ? withOpacity(accentTone(), 0.55) : palette.hairline);
        if (card.kind == MissionKind::app) {
            m_picker->setVisible(on);
        }
    }
    m_footnote->setText(m_editor->saveError().value_or(garminNote));
}

void MissionsView::refreshToday()
{
    if (!m_today) {
        return;
    }
    clear(m_todayLines);
    const QList<MissionLine>& lines = m_services.tracker->lines();
    for (const MissionLine& line : lines) {
        auto* todayLine = new TodayLine(line, m_today);
        m_todayLines->addWidget(todayLine);
        todayLine->show();
    }
    m_today->setVisible(!lines.isEmpty());
}

void MissionsView::refreshPicker()
{
    if (!m_picker) {
        return;
    }
    const QStringList& chosen = m_services.tracker->appIDs();
    m_hint->setText(chosen.isEmpty()
            ? u"Escolha o app do bem neste computador. Conta só o tempo com ele na frente e você usando o computador."_s
            : u"Conta o tempo com estes apps na frente e você usando o computador."_s);

    auto* chosenLayout = static_cast<QHBoxLayout*>(m_chosenRow->layout());
    clear(chosenLayout);
    for (const QString& entry : chosen) {
        const auto app = m_services.installed->app(entry);
        auto* capsule = new AppCapsule(
            app ? m_services.installed->icon(app->path) : QIcon(), app ? app->name : entry, false, m_chosenRow);
        connect(capsule, &QAbstractButton::clicked, this, [this, entry] {
            m_services.tracker->setAppIDs(MissionGoals::removed(m_services.tracker->appIDs(), entry));
        });
        chosenLayout->addWidget(capsule);
        capsule->show();
    }
    chosenLayout->addStretch();
    m_chosenRow->setVisible(!chosen.isEmpty());

    auto* resultsLayout = static_cast<QVBoxLayout*>(m_resultsBox->layout());
    clear(resultsLayout);
    const bool searching = !m_search->text().trimmed().isEmpty();
    const QList<InstalledApp> found
        = MissionGoals::pickerResults(m_services.installed->apps(), m_search->text(), chosen);
    for (const InstalledApp& app : found) {
        auto* row = new AppCapsule(m_services.installed->icon(app.path), app.name, true, m_resultsBox);
        const QString id = app.bundleIdentifier;
        connect(row, &QAbstractButton::clicked, this, [this, id] {
            m_services.tracker->setAppIDs(MissionGoals::picked(m_services.tracker->appIDs(), id));
            m_search->clear();
        });
        resultsLayout->addWidget(row);
        row->show();
    }
    m_resultsBox->setVisible(!found.isEmpty());
    m_notFound->setVisible(searching && found.isEmpty());
}

void MissionsView::applyColors()
{
    for (QLabel* label : m_muted) {
        AccountWidgets::setInk(label, BrandPalette::current().mutedInk);
    }
    if (m_today) {
        m_today->setColors(withOpacity(BrandPalette::current().highlight, 0.5));
    }
    viewport()->setAutoFillBackground(false);
    refreshCards();
    refreshToday();
    refreshPicker();
}

QString MissionsView::footnote() const
{
    return m_footnote->text();
}

bool MissionsView::todayShown() const
{
    return m_today && !m_today->isHidden();
}

GoalHeader* MissionsView::header(MissionKind kind) const
{
    for (const Card& card : m_cards) {
        if (card.kind == kind) {
            return card.header;
        }
    }
    return nullptr;
}

ChoiceChips* MissionsView::chips(MissionKind kind) const
{
    for (const Card& card : m_cards) {
        if (card.kind == kind) {
            return card.chips;
        }
    }
    return nullptr;
}

QList<AppCapsule*> MissionsView::chosenApps() const
{
    QList<AppCapsule*> out;
    for (AppCapsule* capsule : m_chosenRow->findChildren<AppCapsule*>(Qt::FindDirectChildrenOnly)) {
        if (!capsule->isHidden()) {
            out << capsule;
        }
    }
    return out;
}

QList<AppCapsule*> MissionsView::results() const
{
    QList<AppCapsule*> out;
    for (AppCapsule* capsule : m_resultsBox->findChildren<AppCapsule*>(Qt::FindDirectChildrenOnly)) {
        if (!capsule->isHidden()) {
            out << capsule;
        }
    }
    return out;
}

bool MissionsView::notFoundShown() const
{
    return !m_notFound->isHidden();
}

bool MissionsView::pickerShown() const
{
    return m_picker && !m_picker->isHidden();
}

} // namespace kestravin
