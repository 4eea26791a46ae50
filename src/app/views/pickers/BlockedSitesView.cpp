#include "app/views/pickers/BlockedSitesView.h"

#include "app/services/account/DesktopAccountService.h"
#include "app/services/catalog/SiteIconStore.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/views/brand/BrandAssets.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/KeyCap.h"
#include "app/views/brand/RollingText.h"
#include "app/views/pickers/PickerColors.h"
#include "app/views/pickers/PickerPage.h"
#include "app/views/pickers/PickerTiles.h"
#include "app/views/pickers/PickerWidgets.h"
#include "app/views/pickers/SiteIcon.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

constexpr int dropdownWidth = 320;
constexpr int rowHeight = 44;

// One suggestion: icon, title with the query's match emphasised, subtitle, and
// the Return key cap on the highlighted row.
class SuggestionRow : public QAbstractButton {
public:
    SuggestionRow(const SiteTileItem& item, bool active, std::optional<SearchFolding::Match> match,
        SiteIconStore& icons, QWidget* parent)
        : QAbstractButton(parent),
          m_item(item),
          m_active(active),
          m_match(match),
          m_icons(icons),
          m_key(new KeyCap(u"↵"_s, this))
    {
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
        setFixedHeight(rowHeight);
        m_title = item.isNew ? u"Adicionar "_s + item.name : item.name;
        m_subtitle = item.isNew ? u"Novo site"_s : item.blocked ? u"Já fica para depois"_s : item.caption;
        setAccessibleName(m_title);
        setAccessibleDescription(m_subtitle);
        m_key->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_key->setVisible(active);
        if (!item.isNew) {
            SiteIconPainter::request(item, icons);
        }
    }
    QString title() const { return m_title; }
    QString subtitle() const { return m_subtitle; }
    bool isActive() const { return m_active; }

protected:
    void resizeEvent(QResizeEvent*) override
    {
        const QSize key = m_key->sizeHint();
        m_key->setGeometry(width() - 10 - key.width(), (height() - key.height()) / 2, key.width(), key.height());
    }
    void paintEvent(QPaintEvent*) override
    {
        const PickerColors& c = PickerColors::current();
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (m_active) {
            painter.fillPath(BrandShapes::continuousRect(QRectF(rect()), 10.0),
                BrandTokens::sunk(Appearance::shared().colorScheme()));
        }
        const QRectF iconBox(10, (height() - 22) / 2.0, 22, 22);
        if (m_item.isNew) {
            if (const BrandImage* plus = BrandAssets::symbol(u"plus"_s)) {
                plus->renderTinted(painter, iconBox.adjusted(5, 5, -5, -5), c.accentLine);
            }
        } else {
            SiteIconPainter::paint(painter, iconBox.adjusted(2, 2, -2, -2), m_item, m_icons);
        }
        const double left = iconBox.right() + 10;
        const double right = width() - 10 - m_key->sizeHint().width() - 4;
        const QFont medium = BrandFonts::font(13, QFont::Medium);
        const QFont bold = BrandFonts::font(13, QFont::Bold);
        const QFontMetricsF titleMetrics(medium);
        const QFont subFont = BrandFonts::font(11);
        const double top = (height() - titleMetrics.height() - 1 - QFontMetricsF(subFont).height()) / 2.0;
        // The title in three runs: before, the match (bold, underlined in the
        // accent) and after.
        QString parts[3] = { m_title, QString(), QString() };
        if (m_match) {
            parts[0] = m_title.left(m_match->start);
            parts[1] = m_title.mid(m_match->start, m_match->length);
            parts[2] = m_title.mid(m_match->start + m_match->length);
        }
        double x = left;
        painter.setPen(c.ink);
        for (int i = 0; i < 3 && x < right; ++i) {
            const QFont& font = i == 1 ? bold : medium;
            painter.setFont(font);
            const QFontMetricsF metrics(font);
            const QString text = metrics.elidedText(parts[i], Qt::ElideRight, right - x);
            const QRectF box(x, top, metrics.horizontalAdvance(text), titleMetrics.height());
            painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text);
            if (i == 1 && !text.isEmpty()) {
                painter.fillRect(
                    QRectF(box.left(), box.top() + metrics.ascent() + 2, box.width(), 1.0), BrandTokens::accent());
            }
            x += box.width();
        }
        painter.setFont(subFont);
        painter.setPen(c.muted);
        painter.drawText(QRectF(left, top + titleMetrics.height() + 1, right - left, QFontMetricsF(subFont).height()),
            Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetricsF(subFont).elidedText(m_subtitle, Qt::ElideRight, right - left));
    }

private:
    SiteTileItem m_item;
    bool m_active;
    std::optional<SearchFolding::Match> m_match;
    SiteIconStore& m_icons;
    KeyCap* m_key;
    QString m_title;
    QString m_subtitle;
};

// A row reads as one button: the title, the subtitle as its description, and
// the selected state on the highlighted row. Pressing it chooses the row as a
// click does.
class SuggestionRowAccessible : public QAccessibleWidget {
public:
    explicit SuggestionRowAccessible(SuggestionRow* row) : QAccessibleWidget(row, QAccessible::Button) { }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QStringList actionNames() const override
    {
        return QStringList { pressAction() } + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (action == pressAction()) {
            static_cast<SuggestionRow*>(widget())->click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = static_cast<const SuggestionRow*>(widget())->isActive();
        return s;
    }
};

QAccessibleInterface* suggestionRowAccessible(const QString&, QObject* object)
{
    if (auto* row = dynamic_cast<SuggestionRow*>(object)) {
        return new SuggestionRowAccessible(row);
    }
    return nullptr;
}

} // namespace

SuggestionList::SuggestionList(SiteIconStore& icons, QWidget* parent) : QWidget(parent), m_icons(icons)
{
    static const bool installed = [] {
        QAccessible::installFactory(suggestionRowAccessible);
        return true;
    }();
    Q_UNUSED(installed);
    setAccessibleName(u"Sugestões"_s);
    setFixedWidth(dropdownWidth);
    setFocusPolicy(Qt::NoFocus);
    m_notFound = PickerPage::mutedLabel(QString(), 12, this);
    m_notFound->setWordWrap(true);
    auto* column = new QVBoxLayout(this);
    // Room for the shadow below and around the rounded panel.
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(2);
    column->addWidget(m_notFound);
    m_notFound->setContentsMargins(10, 10, 10, 10);
    QWidget::hide();
}

QString SuggestionList::notFoundText() const
{
    return m_notFound->isHidden() ? QString() : m_notFound->text();
}

void SuggestionList::show(const QList<SiteTileItem>& options, int active, const SitePickerModel& model)
{
    for (QWidget* row : std::as_const(m_rows)) {
        row->hide();
        row->deleteLater();
    }
    m_rows.clear();
    m_notFound->setText(SitePickerModel::notFoundText());
    m_notFound->setVisible(options.isEmpty());
    auto* column = static_cast<QVBoxLayout*>(layout());
    for (int i = 0; i < options.size(); ++i) {
        const SiteTileItem& item = options.at(i);
        const QString title = item.isNew ? u"Adicionar "_s + item.name : item.name;
        auto* row = new SuggestionRow(item, i == active, model.highlight(title), m_icons, this);
        connect(row, &QAbstractButton::clicked, this, [this, i] { Q_EMIT chosen(i); });
        row->installEventFilter(this);
        row->setMouseTracking(true);
        row->setProperty("optionIndex", i);
        column->addWidget(row);
        // A child added to a list already on screen stays hidden until shown,
        // and the layout would size the list without it.
        row->show();
        m_rows.append(row);
    }
    adjustSize();
    QWidget::show();
    raise();
}

void SuggestionList::paintEvent(QPaintEvent*)
{
    const PickerColors& c = PickerColors::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF panel = QRectF(rect()).adjusted(0, 0, 0, -4);
    // A soft shadow: a few widening translucent outlines below the panel.
    for (int i = 1; i <= 4; ++i) {
        painter.fillPath(BrandShapes::continuousRect(panel.translated(0, i).adjusted(-i / 2.0, 0, i / 2.0, 0), 14.0),
            withOpacity(c.shadow, 0.25));
    }
    painter.fillPath(BrandShapes::continuousRect(panel, 14.0), c.surface);
    painter.strokePath(BrandShapes::strokeInside(panel, 14.0, 1.0), QPen(c.hairline, 1.0));
}

BlockedSitesView::BlockedSitesView(bool embedded, QWidget* parent)
    : BlockedSitesView(
        embedded, ConfigurationManager::shared(), DesktopAccountService::shared(), SiteIconStore::shared(), parent)
{
}

BlockedSitesView::BlockedSitesView(
    bool embedded, ConfigurationManager& config, DesktopAccountService& account, SiteIconStore& icons, QWidget* parent)
    : QWidget(parent),
      m_embedded(embedded),
      m_config(config),
      m_account(account),
      m_icons(icons),
      m_host(config, account, this, [this] { startFlight(); }),
      m_model(m_host)
{
    setAccessibleName(u"Sites"_s);
    const PickerPage::Frame frame = PickerPage::build(this, m_embedded,
        { u"Distrações ficam para depois."_s, u"Escolha os sites. A Orla cuida deles nos seus horários de foco."_s,
            u"Buscar ou adicionar um site"_s },
        SitePickerModel::blockedCount(m_model.tiles()));
    m_notice = frame.notice;
    m_search = frame.search;
    m_count = frame.count;
    QBoxLayout* page = frame.page;
    frame.column->setContentsMargins(2, 2, 2, m_embedded ? 26 : 2);
    m_grid = new TileGrid(frame.column->parentWidget());
    frame.column->addWidget(m_grid);
    frame.column->addStretch(1);

    if (!m_embedded) {
        auto* footer = new QHBoxLayout;
        footer->setSpacing(12);
        m_footer = PickerPage::mutedLabel(QString(), 12, this);
        // A server's sentence can be long: it wraps instead of being cut.
        m_footer->setWordWrap(true);
        footer->addWidget(m_footer, 1);
        auto* reset = new QPushButton(u"Restaurar padrão"_s, this);
        reset->setFlat(true);
        reset->setFont(BrandFonts::font(12));
        reset->setToolTip(u"Volta para a lista inicial de sites"_s);
        reset->setCursor(Qt::PointingHandCursor);
        // Muted text of the appearance and the design system's focus ring
        // (the style's own would be faint on this flat button).
        const auto styleReset = [reset] {
            const ColorScheme scheme = Appearance::shared().colorScheme();
            reset->setStyleSheet(
                u"QPushButton { border: 2px solid transparent; border-radius: 6px; background: transparent; "
                u"padding: 1px 4px; color: %1; } QPushButton:focus { border-color: %2; }"_s.arg(
                    PickerColors::of(scheme).muted.name(), BrandPalette::of(scheme).focusRing.name()));
        };
        styleReset();
        connect(&Appearance::shared(), &Appearance::changed, reset, styleReset);
        connect(reset, &QPushButton::clicked, this, [this] {
            m_model.reset();
            rebuild();
        });
        footer->addWidget(reset);
        page->addLayout(footer);
        m_reset = reset;
        const auto showFooter = [this] { m_footer->setText(footerText()); };
        connect(&m_account, &DesktopAccountService::snapshotChanged, this, showFooter);
        connect(&m_account, &DesktopAccountService::stateChanged, this, showFooter);
        m_footer->setText(footerText());
    }

    m_dropdown = new SuggestionList(m_icons, this);
    connect(m_dropdown, &SuggestionList::chosen, this, [this](int index) {
        m_model.choose(index);
        syncField();
        rebuild();
    });
    m_overlay = new FlightOverlay(this);

    QLineEdit* edit = m_search->edit();
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_model.setQuery(text);
        placeDropdown();
    });
    connect(&m_config, &ConfigurationManager::configurationChanged, this, &BlockedSitesView::rebuild);
    connect(&m_config, &ConfigurationManager::lockNoticeChanged, this,
        [this] { m_notice->setText(m_config.lockNotice()); });
    m_notice->setText(m_config.lockNotice());
    rebuild();
}

QString BlockedSitesView::footerText() const
{
    const auto& snapshot = m_account.snapshot();
    const AccountSaveState& save = m_account.saveState();
    return SitePickerModel::footerNote(SitePickerAccount {
        m_account.session().has_value(), snapshot && snapshot->settings.onboarded, save.state, save.message });
}

QList<SiteTile*> BlockedSitesView::tilesInOrder() const
{
    QList<SiteTile*> tiles;
    for (PickerTile* tile : m_grid->tiles()) {
        tiles.append(static_cast<SiteTile*>(tile));
    }
    return tiles;
}

bool BlockedSitesView::eventFilter(QObject* watched, QEvent* event)
{
    QLineEdit* edit = m_search->edit();
    if (watched == edit) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            bool used = false;
            if (key == Qt::Key_Up) {
                used = m_model.arrowUp();
            } else if (key == Qt::Key_Down) {
                used = m_model.arrowDown();
            } else if (key == Qt::Key_Escape) {
                used = m_model.escape();
            } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                // Return applies the highlighted row and goes no further.
                m_model.choose(m_model.activeOption());
                syncField();
                rebuild();
                return true;
            }
            if (used) {
                syncField();
                placeDropdown();
                return true;
            }
        } else if (event->type() == QEvent::FocusIn) {
            m_model.setSearchFocused(true);
        } else if (event->type() == QEvent::FocusOut) {
            m_model.setSearchFocused(false);
            QTimer::singleShot(SitePickerModel::dismissDelayMs, this, [this] {
                m_model.focusLossSettled();
                placeDropdown();
            });
        }
    } else if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove) {
        const QVariant index = watched->property("optionIndex");
        if (index.isValid() && index.toInt() != m_model.activeOption()) {
            m_model.setActiveOption(index.toInt());
            QTimer::singleShot(0, this, &BlockedSitesView::placeDropdown);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void BlockedSitesView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeDropdown();
}

void BlockedSitesView::syncField()
{
    QLineEdit* edit = m_search->edit();
    if (edit->text() != m_model.query()) {
        edit->setText(m_model.query());
    }
    if (m_model.searchFocused() && !edit->hasFocus()) {
        edit->setFocus(Qt::OtherFocusReason);
    }
}

void BlockedSitesView::placeDropdown()
{
    if (!m_model.showDropdown()) {
        m_dropdown->hide();
        return;
    }
    m_dropdown->show(m_model.options(), m_model.activeOption(), m_model);
    const QPoint at = m_search->mapTo(this, QPoint(0, 42));
    m_dropdown->move(at);
    m_dropdown->raise();
    m_overlay->raise();
}

void BlockedSitesView::rebuild()
{
    const QList<SiteTileItem> items = m_model.tiles();
    QHash<QString, SiteTile*> kept;
    QList<PickerTile*> tiles;
    for (const SiteTileItem& item : items) {
        tiles.append(PickerPage::reuseTile(m_tiles, kept, item, m_model.hop().tickFor(item.id), [&] {
            auto* tile = new SiteTile(item, m_icons, m_grid);
            connect(tile, &QAbstractButton::clicked, this, [this, tile] {
                m_model.toggle(tile->item());
                rebuild();
            });
            return tile;
        }));
    }
    m_grid->setTiles(tiles);
    PickerPage::retireTiles(m_tiles);
    m_tiles = kept;
    // Tiles come and go after the footer was made: the keys still go from
    // the search field through the tiles to the footer.
    QWidget* previous = m_search->edit();
    for (PickerTile* tile : std::as_const(tiles)) {
        QWidget::setTabOrder(previous, tile);
        previous = tile;
    }
    if (m_reset) {
        QWidget::setTabOrder(previous, m_reset);
    }
    PickerPage::setCount(
        m_count->parentWidget(), m_count, SitePickerModel::blockedCount(items), m_model.countDirection());
    placeDropdown();
}

void BlockedSitesView::startFlight()
{
    m_overlay->follow(m_model.flight().tick, m_tiles.value(m_model.flight().id), m_count);
}

} // namespace kestravin
