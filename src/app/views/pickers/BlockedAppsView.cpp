#include "app/views/pickers/BlockedAppsView.h"

#include "app/services/account/DesktopAccountService.h"
#include "app/services/catalog/InstalledApps.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/RollingText.h"
#include "app/views/pickers/PickerPage.h"
#include "app/views/pickers/PickerTiles.h"
#include "app/views/pickers/PickerWidgets.h"

#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {

BlockedAppsView::BlockedAppsView(bool embedded, QWidget* parent)
    : BlockedAppsView(
        embedded, ConfigurationManager::shared(), DesktopAccountService::shared(), InstalledApps::shared(), parent)
{
}

BlockedAppsView::BlockedAppsView(bool embedded, ConfigurationManager& config, DesktopAccountService& account,
    InstalledApps& installed, QWidget* parent)
    : QWidget(parent),
      m_embedded(embedded),
      m_config(config),
      m_installed(installed),
      m_host(config, account, this, [this] { startFlight(); }),
      m_model(m_host)
{
    setAccessibleName(u"Apps"_s);
    const PickerPage::Frame frame = PickerPage::build(this, m_embedded,
        { u"Apps também ficam para depois."_s,
            u"Escolha os apps do computador. Durante o foco, a Orla esconde esses apps até o horário terminar."_s,
            u"Buscar um app"_s },
        m_model.blockedCount());
    m_notice = frame.notice;
    m_search = frame.search;
    m_count = frame.count;
    QBoxLayout* page = frame.page;
    QBoxLayout* column = frame.column;
    QWidget* content = column->parentWidget();
    column->setSpacing(8);
    m_progress = PickerPage::mutedLabel(u"Procurando os apps…"_s, 12, content);
    m_progress->setAlignment(Qt::AlignHCenter);
    m_progress->setContentsMargins(0, 24, 0, 0);
    column->addWidget(m_progress);
    m_empty = PickerPage::mutedLabel(QString(), 12, content);
    column->addWidget(m_empty);
    for (int i = 0; i < 2; ++i) {
        m_titles[i] = PickerPage::mutedLabel(QString(), 12, content);
        m_titles[i]->setFont(BrandFonts::font(12, QFont::DemiBold));
        m_grids[i] = new TileGrid(content);
        if (i == 1) {
            column->addSpacing(10);
        }
        column->addWidget(m_titles[i]);
        column->addWidget(m_grids[i]);
    }
    column->addStretch(1);

    if (!m_embedded) {
        auto* footer = PickerPage::mutedLabel(u"Salvo automaticamente. Os apps marcados ficam escondidos durante o "
                                              u"foco; para isso, o Kestravin precisa estar aberto."_s,
            12, this);
        footer->setWordWrap(true);
        page->addWidget(footer);
    }

    m_overlay = new FlightOverlay(this);

    connect(m_search->edit(), &QLineEdit::textChanged, this, [this](const QString& text) {
        m_model.setQuery(text);
        rebuild();
    });
    m_search->edit()->installEventFilter(this);
    connect(&m_config, &ConfigurationManager::configurationChanged, this, &BlockedAppsView::rebuild);
    connect(&m_config, &ConfigurationManager::lockNoticeChanged, this,
        [this] { m_notice->setText(m_config.lockNotice()); });
    connect(&m_installed, &InstalledApps::appsChanged, this, &BlockedAppsView::rebuild);
    connect(&m_installed, &InstalledApps::loadedChanged, this, &BlockedAppsView::rebuild);
    m_notice->setText(m_config.lockNotice());
    rebuild();
}

void BlockedAppsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_installed.refresh();
}

bool BlockedAppsView::eventFilter(QObject* watched, QEvent* event)
{
    // Escape clears a query while the field has focus; an empty field leaves
    // the key to the window.
    if (watched == m_search->edit() && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && m_model.escape()) {
        m_search->edit()->clear();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool BlockedAppsView::isLoading() const
{
    return !m_progress->isHidden();
}

QStringList BlockedAppsView::visibleTexts() const
{
    QStringList texts;
    for (const QLabel* label : { m_empty, m_titles[0], m_titles[1] }) {
        if (!label->isHidden()) {
            texts << label->text();
        }
    }
    return texts;
}

void BlockedAppsView::rebuild()
{
    const AppPickerModel::Content content = m_model.content(m_installed.apps(), m_installed.loaded());
    m_progress->setVisible(content.loading);
    m_empty->setText(content.emptyText);
    m_empty->setVisible(!content.emptyText.isEmpty());

    QHash<QString, AppTile*> kept;
    for (int i = 0; i < 2; ++i) {
        const bool present = i < content.sections.size();
        const AppPickerModel::Section section = present ? content.sections.at(i) : AppPickerModel::Section {};
        m_titles[i]->setText(section.title);
        m_titles[i]->setVisible(present && !section.title.isEmpty());
        QList<PickerTile*> tiles;
        for (const AppTileItem& item : section.items) {
            tiles.append(PickerPage::reuseTile(m_tiles, kept, item, m_model.hop().tickFor(item.id), [&] {
                auto* tile = new AppTile(item, m_installed, m_grids[i]);
                connect(tile, &QAbstractButton::clicked, this, [this, tile] {
                    m_model.toggle(tile->item());
                    rebuild();
                });
                return tile;
            }));
        }
        m_grids[i]->setTiles(tiles);
        m_grids[i]->setVisible(present);
    }
    PickerPage::retireTiles(m_tiles);
    m_tiles = kept;
    PickerPage::setCount(m_count->parentWidget(), m_count, m_model.blockedCount(), m_model.countDirection());
}

void BlockedAppsView::startFlight()
{
    m_overlay->follow(m_model.flight().tick, m_tiles.value(m_model.flight().id), m_count);
}

} // namespace kestravin
