#include "app/models/SitePickerModel.h"
#include "app/models/SiteCatalog.h"

#include <gtest/gtest.h>

#include <deque>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

// The configuration as a plain list, with the manager's rules for the lock.
class FakeSiteHost final : public SitePickerHost {
public:
    QStringList sites;
    bool locked = false;
    bool reduce = false;
    int lockNotes = 0;
    int localEdits = 0;
    std::deque<std::function<void()>> queued;

    QStringList blockedSites() const override { return sites; }
    bool removalsLocked() const override { return locked; }
    void noteLocked() override { ++lockNotes; }
    void setBlocked(const SiteCatalogEntry& entry, bool blocked) override
    {
        if (!blocked && locked) {
            noteLocked();
            return;
        }
        sites = SiteCatalog::setting(entry, blocked, sites);
    }
    void addSites(const QStringList& domains) override
    {
        for (const QString& d : domains) {
            if (!sites.contains(d)) {
                sites.append(d);
            }
        }
    }
    void removeSites(const QStringList& domains) override
    {
        sites.removeIf([&](const QString& s) { return domains.contains(s); });
    }
    void resetSitesToDefaults() override { sites = { u"youtube.com"_s }; }
    void localEditChanged() override { ++localEdits; }
    bool reduceMotion() const override { return reduce; }
    void nextTurn(std::function<void()> work) override { queued.push_back(std::move(work)); }
    void runQueued()
    {
        while (!queued.empty()) {
            auto work = std::move(queued.front());
            queued.pop_front();
            work();
        }
    }
};

QStringList ids(const QList<SiteTileItem>& items)
{
    QStringList out;
    for (const SiteTileItem& item : items) {
        out << item.id;
    }
    return out;
}

const SiteTileItem& tile(const QList<SiteTileItem>& tiles, const QString& id)
{
    for (const SiteTileItem& t : tiles) {
        if (t.id == id) {
            return t;
        }
    }
    throw std::runtime_error("no tile");
}

class SitePickerModelTest : public ::testing::Test {
protected:
    FakeSiteHost host;
    SitePickerModel model { host };
};

TEST_F(SitePickerModelTest, UserSitesComeNewestFirstThenTheCatalogue)
{
    host.sites = { u"youtube.com"_s, u"a.com"_s, u"www.a.com"_s, u"b.com"_s };
    const QList<SiteTileItem> tiles = model.tiles();
    ASSERT_EQ(tiles.size(), 2 + SiteCatalog::entries().size());
    EXPECT_EQ(ids(tiles).mid(0, 2), (QStringList { u"host:b.com"_s, u"host:a.com"_s }));
    EXPECT_EQ(tiles.at(1).domains, (QStringList { u"a.com"_s, u"www.a.com"_s }));
    EXPECT_EQ(tiles.at(1).caption, u"Site adicionado"_s);
    EXPECT_EQ(tiles.at(2).id, SiteCatalog::entries().first().id);
    EXPECT_TRUE(tile(tiles, u"youtube"_s).blocked);
    EXPECT_FALSE(tile(tiles, u"x"_s).blocked);
    EXPECT_EQ(SitePickerModel::blockedCount(tiles), 3);
}

TEST_F(SitePickerModelTest, AReleasedUserSiteKeepsItsPlaceUntilBlockedAgain)
{
    host.sites = { u"youtube.com"_s, u"a.com"_s, u"www.a.com"_s, u"b.com"_s };
    model.toggle(tile(model.tiles(), u"host:a.com"_s));

    QList<SiteTileItem> tiles = model.tiles();
    EXPECT_EQ(ids(tiles).mid(0, 2), (QStringList { u"host:b.com"_s, u"host:a.com"_s }));
    EXPECT_FALSE(tiles.at(1).blocked);
    EXPECT_EQ(tiles.at(1).caption, u"Site adicionado"_s);
    EXPECT_EQ(host.sites, (QStringList { u"youtube.com"_s, u"b.com"_s }));
    EXPECT_EQ(SitePickerModel::blockedCount(tiles), 2);
    EXPECT_EQ(model.countDirection(), -1.0);
    EXPECT_EQ(host.localEdits, 1);
    EXPECT_EQ(model.hop().tick, 0);

    model.toggle(tiles.at(1));
    tiles = model.tiles();
    EXPECT_EQ(host.sites, (QStringList { u"youtube.com"_s, u"b.com"_s, u"a.com"_s, u"www.a.com"_s }));
    EXPECT_EQ(ids(tiles).mid(0, 2), (QStringList { u"host:b.com"_s, u"host:a.com"_s }));
    EXPECT_EQ(model.countDirection(), 1.0);
    EXPECT_EQ(model.hop(), (TileSignal { u"host:a.com"_s, 1 }));
    EXPECT_EQ(model.flight().tick, 0) << "the flight waits for the next turn";
    host.runQueued();
    EXPECT_EQ(model.flight(), (TileSignal { u"host:a.com"_s, 1 }));

    // A site added after the release goes in front of the frozen ones.
    model.setQuery(u"c.com"_s);
    model.choose(int(model.options().size()) - 1);
    EXPECT_EQ(ids(model.tiles()).mid(0, 3), (QStringList { u"host:c.com"_s, u"host:b.com"_s, u"host:a.com"_s }));
}

TEST_F(SitePickerModelTest, TheAddRowStoresBothFormsAndTellsTheAccount)
{
    model.setSearchFocused(false);
    model.setQuery(u" C.com "_s);
    const QList<SiteTileItem> options = model.options();
    ASSERT_FALSE(options.isEmpty());
    EXPECT_EQ(options.last(), SiteTileItem::newSite(u"c.com"_s));
    EXPECT_EQ(options.last().domains, (QStringList { u"c.com"_s, u"www.c.com"_s }));

    model.choose(int(options.size()) - 1);
    EXPECT_EQ(host.sites, (QStringList { u"c.com"_s, u"www.c.com"_s }));
    EXPECT_EQ(host.localEdits, 1) << "a typed site must reach the account like any edit";
    EXPECT_EQ(model.query(), QString());
    EXPECT_TRUE(model.searchFocused());
    EXPECT_EQ(model.tiles().first().id, u"host:c.com"_s);
    EXPECT_EQ(model.hop(), (TileSignal { u"host:c.com"_s, 1 }));

    host.reduce = true;
    model.setQuery(u"d.com"_s);
    model.choose(int(model.options().size()) - 1);
    EXPECT_TRUE(host.queued.size() == 1) << "only the first add flies under full motion";
}

TEST_F(SitePickerModelTest, SuggestionsAndTheAddRow)
{
    host.sites = { u"mysite.com"_s };
    struct Case {
        QString query;
        int matches;
        bool addRow;
    };
    // "o" is in more than five names; "ab.cd" is a new domain.
    const Case cases[] = {
        { u"o"_s, 5, false },
        { u"   "_s, 0, false },
        { u"YOUTUBE.COM"_s, 1, false },
        { u"mysite.com"_s, 1, false },
        { u"nodot"_s, 0, false },
        { u"ab.cd"_s, 0, true },
        { u"https://www.new-site.org/x"_s, 0, true },
    };
    for (const Case& c : cases) {
        model.setQuery(c.query);
        const QList<SiteTileItem> options = model.options();
        const bool hasAdd = !options.isEmpty() && options.last().isNew;
        EXPECT_EQ(options.size() - (hasAdd ? 1 : 0), c.matches) << c.query.toStdString();
        EXPECT_EQ(hasAdd, c.addRow) << c.query.toStdString();
    }
    host.sites = { u"ao.com"_s, u"bo.com"_s, u"co.com"_s, u"do.com"_s, u"eo.com"_s, u"fo.com"_s, u"go.com"_s };
    model.setQuery(u"o.com"_s);
    const QList<SiteTileItem> options = model.options();
    EXPECT_EQ(ids(options),
        (QStringList {
            u"host:go.com"_s, u"host:fo.com"_s, u"host:eo.com"_s, u"host:do.com"_s, u"host:co.com"_s, u"new:o.com"_s }))
        << "the first five in tile order, then the add row";
}

TEST_F(SitePickerModelTest, KeysWrapClearAndPassOn)
{
    EXPECT_FALSE(model.escape()) << "Escape on an empty field belongs to the window";
    EXPECT_FALSE(model.arrowDown()) << "no dropdown";

    model.setQuery(u"o.com"_s);
    const int n = int(model.options().size());
    EXPECT_TRUE(model.arrowUp());
    EXPECT_EQ(model.activeOption(), n - 1);
    EXPECT_TRUE(model.arrowDown());
    EXPECT_EQ(model.activeOption(), 0);

    model.setQuery(u"zzzz"_s);
    EXPECT_TRUE(model.showDropdown()) << "a query without suggestions shows the not-found text";
    EXPECT_FALSE(model.arrowDown());

    EXPECT_TRUE(model.escape());
    EXPECT_EQ(model.query(), QString());
    EXPECT_FALSE(model.showDropdown());

    model.setQuery(u"x"_s);
    model.setSearchFocused(false);
    model.focusLossSettled();
    EXPECT_FALSE(model.showDropdown());
    model.setQuery(u"xx"_s);
    EXPECT_TRUE(model.showDropdown()) << "typing again shows it";
    model.setSearchFocused(false);
    model.setSearchFocused(true);
    model.focusLossSettled();
    EXPECT_TRUE(model.showDropdown()) << "focus came back in time";
}

TEST_F(SitePickerModelTest, ChoosingABlockedRowOnlyHopsAndBadIndexesDoNothing)
{
    host.sites = { u"mysite.com"_s };
    model.setQuery(u"mysite.com"_s);
    model.choose(7);
    EXPECT_EQ(model.query(), u"mysite.com"_s);
    model.choose(0);
    EXPECT_EQ(host.sites, (QStringList { u"mysite.com"_s }));
    EXPECT_EQ(model.hop(), (TileSignal { u"host:mysite.com"_s, 1 }));
    EXPECT_EQ(host.localEdits, 0);
    EXPECT_TRUE(host.queued.empty());
}

TEST_F(SitePickerModelTest, RemovalsAreRefusedDuringFocusButAddsAreNot)
{
    host.sites = { u"youtube.com"_s, u"a.com"_s };
    host.locked = true;
    const QList<SiteTileItem> tiles = model.tiles();
    model.toggle(tile(tiles, u"host:a.com"_s));
    model.toggle(tile(tiles, u"youtube"_s));
    EXPECT_EQ(host.sites, (QStringList { u"youtube.com"_s, u"a.com"_s }));
    EXPECT_EQ(host.lockNotes, 2);
    EXPECT_EQ(host.localEdits, 0);
    EXPECT_TRUE(model.customOrder().isEmpty());

    model.toggle(tile(tiles, u"x"_s));
    EXPECT_TRUE(tile(model.tiles(), u"x"_s).blocked);
    EXPECT_EQ(host.localEdits, 1);
}

TEST_F(SitePickerModelTest, ResetForgetsReleasedTiles)
{
    host.sites = { u"a.com"_s };
    model.toggle(tile(model.tiles(), u"host:a.com"_s));
    model.reset();
    EXPECT_EQ(host.sites, (QStringList { u"youtube.com"_s }));
    EXPECT_EQ(model.tiles().first().id, u"youtube"_s);
    EXPECT_EQ(host.localEdits, 2);
}

TEST(SitePickerFooter, FollowsTheAccount)
{
    using S = SitePickerAccount::SaveState;
    EXPECT_EQ(SitePickerModel::footerNote({}), u"Os sites marcados ficam bloqueados nos seus horários."_s);
    EXPECT_EQ(SitePickerModel::footerNote({ true, false, S::saving, {} }),
        u"Os sites marcados ficam bloqueados nos seus horários."_s);
    EXPECT_EQ(SitePickerModel::footerNote({ true, true, S::idle, {} }), u"YouTube e X também seguem sua conta."_s);
    EXPECT_EQ(SitePickerModel::footerNote({ true, true, S::saving, {} }), u"Salvando na conta…"_s);
    EXPECT_EQ(SitePickerModel::footerNote({ true, true, S::saved, {} }), u"YouTube e X sincronizados com a conta."_s);
    EXPECT_EQ(SitePickerModel::footerNote({ true, true, S::failed, u"Sem rede."_s }), u"Sem rede."_s);
}

TEST(SiteTileItemTest, ConstructorsMonogramsAndLogos)
{
    const SiteTileItem added = SiteTileItem::newSite(u"d.com"_s);
    EXPECT_EQ(added,
        (SiteTileItem { u"new:d.com"_s, u"d.com"_s, u"Novo site"_s, u"d.com"_s, std::nullopt,
            { u"d.com"_s, u"www.d.com"_s }, false, true }));
    SiteTileItem typed;
    typed.name = u"mysite.com"_s;
    EXPECT_EQ(typed.monogram(), u"M"_s);
    EXPECT_EQ(SiteTileItem().monogram(), QString());

    const SiteCatalogEntry prime = *SiteCatalog::entry(u"primevideo.com");
    EXPECT_EQ(SiteTileItem::fromEntry(prime, false).brandPlatform(), u"primevideo"_s);
    const SiteCatalogEntry youtube = *SiteCatalog::entry(u"youtube.com");
    const SiteTileItem yt = SiteTileItem::fromEntry(youtube, true);
    EXPECT_EQ(yt.brandPlatform(), u"youtube"_s);
    EXPECT_EQ(yt.caption, u"youtube.com"_s);
    EXPECT_EQ(yt.iconHost, u"youtube.com"_s);

    SiteCatalogEntry other { u"other"_s, u"outro"_s, { u"o.com"_s }, { u"o.com"_s }, std::nullopt };
    EXPECT_FALSE(SiteTileItem::fromEntry(other, false).brandPlatform());
    EXPECT_EQ(SiteTileItem::fromEntry(other, false).monogram(), u"O"_s);
    other.monogram = u"oT"_s;
    EXPECT_EQ(SiteTileItem::fromEntry(other, false).monogram(), u"oT"_s);
}

TEST(SitePickerHighlight, FindsTheMatchIgnoringCaseAndAccents)
{
    FakeSiteHost host;
    SitePickerModel model(host);
    model.setQuery(u" tube "_s);
    auto match = model.highlight(u"Adicionar YouTube"_s);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->start, 13);
    EXPECT_EQ(match->length, 4);
    model.setQuery(u"acao"_s);
    match = model.highlight(u"Ação.com"_s);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->start, 0);
    EXPECT_EQ(match->length, 4);
    model.setQuery(u"zz"_s);
    EXPECT_FALSE(model.highlight(u"Ação.com"_s));
}

} // namespace
