// The two pickers on the offscreen platform, over the real configuration
// manager (temporary folder, a clock the test moves).
#include "app/models/SiteCatalog.h"
#include "app/services/catalog/InstalledApps.h"
#include "app/services/catalog/SiteIconStore.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/RollingText.h"
#include "app/views/pickers/BlockedAppsView.h"
#include "app/views/pickers/BlockedSitesView.h"
#include "app/views/pickers/PickerColors.h"
#include "app/views/pickers/PickerTiles.h"
#include "app/views/pickers/PickerWidgets.h"
#include "app/views/pickers/SiteIcon.h"

#include "EventLoop.h"
#include "ServiceRig.h"
#include "ViewsTestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using testing::ServiceRig;
using testing::waitUntil;

QJsonObject savedConfig(const ServiceRig& rig)
{
    QFile file(rig.configPath());
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QJsonDocument::fromJson(file.readAll()).object();
}

QStringList savedSites(const ServiceRig& rig)
{
    QStringList sites;
    for (const QJsonValue& v : savedConfig(rig).value(u"blockedSites"_s).toArray()) {
        sites << v.toString();
    }
    return sites;
}

// Records whether a key reached the window behind the page.
class KeyWitness : public QWidget {
public:
    QList<int> keys;

protected:
    void keyPressEvent(QKeyEvent* event) override { keys << event->key(); }
};

class PickersTest : public testing_support::AppearanceTest {
protected:
    void SetUp() override
    {
        AppearanceTest::SetUp();
        rig.config->setConfiguration(ServiceRig::configurationWith({}, false));
    }

    ServiceRig rig;
    QTemporaryDir iconFolder;
    // No icon is ever asked for over the network here.
    SiteIconStore icons { SiteIconStore::Options {
        iconFolder.path(), [](const QString&, const QString&) { return QUrl(); }, 8000 } };
    KeyWitness window;
};

TEST_F(PickersTest, SitePickerTypingArrowsReturnAndEscape)
{
    auto* page = new BlockedSitesView(false, *rig.config, rig.account, icons, &window);
    window.resize(720, 560);
    page->resize(720, 560);
    window.show();
    QApplication::setActiveWindow(&window);
    QLineEdit* field = page->searchField()->edit();
    field->setFocus();
    ASSERT_TRUE(waitUntil([&] { return field->hasFocus(); }));
    QSignalSpy edits(&rig.account, &DesktopAccountService::localEdit);

    QTest::keyClicks(field, u"c.com"_s);
    ASSERT_TRUE(page->suggestions()->isVisible());
    const int rows = page->suggestions()->rowCount();
    ASSERT_GE(rows, 1);
    EXPECT_EQ(page->model().options().last().id, u"new:c.com"_s);
    EXPECT_TRUE(page->searchField()->clearButton()->isVisible());

    QTest::keyClick(field, Qt::Key_Up);
    EXPECT_EQ(page->model().activeOption(), rows - 1) << "up from the first row wraps to the last";
    QAccessibleInterface* lastRow = QAccessible::queryAccessibleInterface(page->suggestions()->row(rows - 1));
    ASSERT_TRUE(lastRow);
    EXPECT_EQ(lastRow->text(QAccessible::Name), u"Adicionar c.com"_s);
    EXPECT_TRUE(lastRow->state().selected);
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_EQ(page->model().activeOption(), 0);
    QTest::keyClick(field, Qt::Key_Up);
    QTest::keyClick(field, Qt::Key_Return);

    EXPECT_EQ(savedSites(rig), (QStringList { u"c.com"_s, u"www.c.com"_s }));
    EXPECT_EQ(edits.count(), 1);
    EXPECT_EQ(field->text(), QString());
    EXPECT_TRUE(field->hasFocus());
    EXPECT_FALSE(page->suggestions()->isVisible());
    ASSERT_FALSE(page->tilesInOrder().isEmpty());
    EXPECT_EQ(page->tilesInOrder().first()->id(), u"host:c.com"_s);
    EXPECT_EQ(page->tilesInOrder().first()->hopTick(), 1);
    EXPECT_EQ(page->counter()->text(), u"1"_s);
    ASSERT_TRUE(waitUntil([&] { return page->flightOverlay()->isFlying(); }, 1000)) << "the mascot flies";

    QTest::keyClicks(field, u"zz"_s);
    EXPECT_EQ(page->suggestions()->notFoundText(),
        u"Nada encontrado. Digite um endereço, como meusite.com.br, para adicionar."_s);
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(field->text(), QString());
    EXPECT_TRUE(window.keys.isEmpty()) << "Escape with text is used up";
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(window.keys, QList<int> { Qt::Key_Escape }) << "on an empty field it reaches the window";
}

TEST_F(PickersTest, TheSuggestionDropdownHasRoomForEveryRow)
{
    auto* page = new BlockedSitesView(false, *rig.config, rig.account, icons, &window);
    window.resize(720, 560);
    page->resize(720, 560);
    window.show();
    SuggestionList* list = page->suggestions();
    QList<SiteTileItem> sites;
    for (const SiteCatalogEntry& entry : SiteCatalog::entries()) {
        sites << SiteTileItem::fromEntry(entry, false);
    }
    // The first list appears on a hidden dropdown; typing changes it while it is on screen.
    for (const int count : { 2, 8, 2 }) {
        SCOPED_TRACE(count);
        list->show(sites.mid(0, count), 0, page->model());
        QApplication::processEvents();
        ASSERT_EQ(list->rowCount(), count);
        EXPECT_GE(list->height(), count * 44);
        int previousBottom = -1;
        for (int i = 0; i < count; ++i) {
            QWidget* row = list->row(i);
            EXPECT_TRUE(row->isVisible()) << "row " << i;
            EXPECT_EQ(row->height(), 44) << "row " << i;
            EXPECT_GT(row->y(), previousBottom) << "row " << i << " overlaps the one above";
            EXPECT_TRUE(list->rect().contains(row->geometry())) << "row " << i;
            previousBottom = row->geometry().bottom();
        }
    }
}

// How many pixels of `image` are within a few steps of `color`.
int pixelsNear(const QImage& image, const QColor& color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - color.red()) <= 24 && std::abs(pixel.green() - color.green()) <= 24
                && std::abs(pixel.blue() - color.blue()) <= 24) {
                ++count;
            }
        }
    }
    return count;
}

TEST_F(PickersTest, TabGoesFromTheSearchThroughTheTilesToTheFooterWithAVisibleRing)
{
    auto* page = new BlockedSitesView(false, *rig.config, rig.account, icons, &window);
    window.resize(720, 560);
    page->resize(720, 560);
    window.show();
    QApplication::setActiveWindow(&window);
    QLineEdit* field = page->searchField()->edit();
    field->setFocus();
    ASSERT_TRUE(waitUntil([&] { return field->hasFocus(); }));

    const QList<SiteTile*> tiles = page->tilesInOrder();
    ASSERT_GE(tiles.size(), 2);
    for (SiteTile* tile : tiles) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), tile) << tile->id().toStdString();
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), page->resetButton());

    // A focused tile and the focused footer button show the design system's
    // ring, in both appearances.
    for (const ColorScheme scheme : { ColorScheme::Light, ColorScheme::Dark }) {
        setAppearance(scheme, true);
        const QColor ring = BrandPalette::of(scheme).focusRing;
        tiles.first()->setFocus(Qt::TabFocusReason);
        const int tileRing = pixelsNear(tiles.first()->grab().toImage(), ring);
        const int buttonPlain = pixelsNear(page->resetButton()->grab().toImage(), ring);
        page->resetButton()->setFocus(Qt::TabFocusReason);
        const int tilePlain = pixelsNear(tiles.first()->grab().toImage(), ring);
        const int buttonRing = pixelsNear(page->resetButton()->grab().toImage(), ring);
        EXPECT_GT(tileRing, tilePlain + 100) << "tile";
        EXPECT_GT(buttonRing, buttonPlain + 40) << "Restaurar padrão";
    }
}

TEST_F(PickersTest, SitePickerTilesToggleAndTheDropdownGoesAfterFocusLeaves)
{
    setAppearance(ColorScheme::Light, true);
    auto* page = new BlockedSitesView(true, *rig.config, rig.account, icons, &window);
    auto* other = new QLineEdit(&window);
    window.resize(720, 560);
    page->resize(720, 500);
    other->move(0, 520);
    window.show();
    QApplication::setActiveWindow(&window);

    SiteTile* youtube = page->tile(u"youtube"_s);
    ASSERT_TRUE(youtube);
    QTest::mouseClick(youtube, Qt::LeftButton);
    EXPECT_TRUE(savedSites(rig).contains(u"youtube.com"_s));
    EXPECT_TRUE(page->tile(u"youtube"_s)->isBlocked());
    EXPECT_EQ(page->tile(u"youtube"_s)->hopTick(), 1);
    QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(page->tile(u"youtube"_s));
    ASSERT_TRUE(a11y);
    EXPECT_EQ(a11y->text(QAccessible::Value), u"Fica para depois"_s);
    EXPECT_TRUE(a11y->state().selected);
    testing::spin(50);
    EXPECT_FALSE(page->flightOverlay()->isFlying()) << "no flight under reduce motion";
    EXPECT_FALSE(page->tile(u"youtube"_s)->isHopping()) << "no hop under reduce motion";

    QLineEdit* field = page->searchField()->edit();
    field->setFocus();
    QTest::keyClicks(field, u"you"_s);
    EXPECT_TRUE(page->suggestions()->isVisible());
    other->setFocus();
    ASSERT_TRUE(waitUntil([&] { return !field->hasFocus(); }));
    EXPECT_TRUE(page->suggestions()->isVisible()) << "it waits 0.2 s";
    EXPECT_TRUE(waitUntil([&] { return page->suggestions()->isHidden(); }, 1000));
}

TEST_F(PickersTest, AClickOnAnAppTileSavesTheConfiguration)
{
    QTemporaryDir apps;
    QDir().mkpath(apps.filePath(u"applications"_s));
    QFile entry(apps.filePath(u"applications/org.gimp.GIMP.desktop"_s));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=GIMP\nExec=gimp\nIcon=gimp\n");
    entry.close();
    InstalledApps installed([&] { return QStringList { apps.filePath(u"applications"_s) }; }, std::nullopt);

    auto* page = new BlockedAppsView(false, *rig.config, rig.account, installed, &window);
    window.resize(720, 560);
    page->resize(720, 560);
    EXPECT_TRUE(page->isLoading());
    window.show();
    ASSERT_TRUE(waitUntil([&] { return installed.loaded(); }));
    EXPECT_FALSE(page->isLoading());
    EXPECT_EQ(page->visibleTexts(), QStringList { u"Apps neste computador"_s });

    QSignalSpy edits(&rig.account, &DesktopAccountService::localEdit);
    AppTile* gimp = page->tile(u"org.gimp.GIMP"_s);
    ASSERT_TRUE(gimp);
    QTest::mouseClick(gimp, Qt::LeftButton);
    const QJsonArray saved = savedConfig(rig).value(u"blockedApps"_s).toArray();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved.at(0).toObject().value(u"bundleIdentifier"_s).toString(), u"org.gimp.GIMP"_s);
    EXPECT_EQ(edits.count(), 1);
    EXPECT_TRUE(page->tile(u"org.gimp.GIMP"_s)->isBlocked());
    EXPECT_EQ(page->counter()->text(), u"1"_s);

    QTest::keyClicks(page->searchField()->edit(), u"xyz"_s);
    EXPECT_EQ(page->visibleTexts(), QStringList { u"Nenhum app com esse nome neste computador."_s });
}

TEST_F(PickersTest, TheLockNoticeStaysFourSecondsAfterTheLastRefusal)
{
    setAppearance(ColorScheme::Light, true);
    auto* page = new BlockedSitesView(false, *rig.config, rig.account, icons, &window);
    window.resize(720, 560);
    page->resize(720, 560);
    window.show();
    EXPECT_FALSE(page->lockNotice()->isVisible());

    rig.config->noteLocked();
    EXPECT_TRUE(page->lockNotice()->isVisible());
    EXPECT_EQ(
        page->lockNotice()->text(), u"Durante o foco, dá para acrescentar, não tirar. Mude depois que ele terminar."_s);
    rig.time.advance(3s);
    rig.config->noteLocked();
    rig.time.advance(3900ms);
    EXPECT_TRUE(page->lockNotice()->isVisible()) << "4 s after the second refusal, not the first";
    rig.time.advance(100ms);
    EXPECT_FALSE(page->lockNotice()->isVisible());
}

TEST_F(PickersTest, TilesFollowTheBlockedAndHoverLooks)
{
    InstalledApps installed([] { return QStringList(); }, std::nullopt);
    AppTile tile(
        { u"x"_s, u"Um app com um nome bem comprido que não cabe"_s, std::nullopt, false, QString() }, installed);
    tile.resize(200, 60);
    const PickerColors light = PickerColors::of(ColorScheme::Light);
    EXPECT_EQ(tile.background(), light.surface);
    EXPECT_EQ(tile.border(), withOpacity(light.hairline, 0.7));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&tile, &enter);
    EXPECT_EQ(tile.background(), BrandTokens::sunk(ColorScheme::Light));
    EXPECT_EQ(tile.border(), light.hairline);
    tile.setBlocked(true);
    EXPECT_EQ(tile.background(), light.selectedFill) << "blocked wins over hover";
    EXPECT_EQ(tile.toolTip(), u"Um app com um nome bem comprido que não cabe"_s);
    EXPECT_EQ(tile.caption(), u"Não está neste computador"_s);

    tile.setHopTick(3);
    EXPECT_TRUE(tile.isHopping());
    ASSERT_TRUE(waitUntil([&] { return !tile.isHopping(); }, 1000));
    tile.setHopTick(0);
    EXPECT_FALSE(tile.isHopping()) << "falling back to 0 does not hop";
}

TEST(SiteIconTest, CatalogueSitesDrawTheirLogoOthersTheirMonogram)
{
    for (const SiteCatalogEntry& entry : SiteCatalog::entries()) {
        EXPECT_TRUE(SiteIconPainter::logoPlatform(SiteTileItem::fromEntry(entry, false))) << entry.id.toStdString();
    }
    EXPECT_EQ(SiteIconPainter::logoPlatform(SiteTileItem::fromEntry(*SiteCatalog::entry(u"primevideo.com"), false)),
        u"primevideo"_s);
    EXPECT_FALSE(SiteIconPainter::logoPlatform(SiteTileItem::newSite(u"d.com"_s)));
}

} // namespace
} // namespace kestravin
