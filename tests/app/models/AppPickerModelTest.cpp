#include "app/models/AppPickerModel.h"
#include "app/models/AppBlockPolicy.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

class FakeAppHost final : public AppPickerHost {
public:
    QList<BlockedApp> apps;
    bool locked = false;
    bool reduce = false;
    int localEdits = 0;
    std::vector<std::function<void()>> queued;

    QList<BlockedApp> blockedApps() const override { return apps; }
    void setBlocked(const BlockedApp& app, bool blocked) override
    {
        if (!blocked && locked) {
            return;
        }
        apps = AppBlockPolicy::setting(app, blocked, apps);
    }
    void localEditChanged() override { ++localEdits; }
    bool reduceMotion() const override { return reduce; }
    void nextTurn(std::function<void()> work) override { queued.push_back(std::move(work)); }
};

InstalledApp app(const QString& id, const QString& name)
{
    return { id, name, u"/apps/"_s + id + u".desktop"_s, QString() };
}

QStringList names(const QList<AppTileItem>& items)
{
    QStringList out;
    for (const AppTileItem& i : items) {
        out << i.name;
    }
    return out;
}

class AppPickerModelTest : public ::testing::Test {
protected:
    FakeAppHost host;
    AppPickerModel model { host };
    QList<InstalledApp> plain { app(u"org.gnome.Calculator"_s, u"Calculadora"_s), app(u"gimp"_s, u"GIMP"_s) };
};

TEST_F(AppPickerModelTest, SectionsDependOnPopularAppsBeingInstalled)
{
    EXPECT_TRUE(model.content(plain, false).loading);

    AppPickerModel::Content content = model.content(plain, true);
    ASSERT_EQ(content.sections.size(), 1);
    EXPECT_EQ(content.sections.at(0).title, u"Apps neste computador"_s);

    QList<InstalledApp> withPopular = plain;
    withPopular.append(app(u"signal-desktop"_s, u"Signal"_s));
    withPopular.append(app(u"org.telegram.desktop"_s, u"Telegram"_s));
    content = model.content(withPopular, true);
    ASSERT_EQ(content.sections.size(), 2);
    EXPECT_EQ(content.sections.at(0).title, u"Os que mais distraem"_s);
    EXPECT_EQ(names(content.sections.at(0).items), (QStringList { u"Telegram"_s, u"Signal"_s }))
        << "the popular list's order, not the names'";
    EXPECT_EQ(content.sections.at(1).title, u"Outros apps"_s);
    EXPECT_EQ(names(content.sections.at(1).items), (QStringList { u"Calculadora"_s, u"GIMP"_s }));

    const QList<InstalledApp> onlyPopular { app(u"discord"_s, u"Discord"_s) };
    content = model.content(onlyPopular, true);
    ASSERT_EQ(content.sections.size(), 2);
    EXPECT_TRUE(content.sections.at(1).items.isEmpty()) << "the second section keeps its title when empty";
}

TEST_F(AppPickerModelTest, BlockedAppsThatAreGoneLeadTheSecondSectionOnceLoaded)
{
    host.apps = { BlockedApp(u"GIMP"_s, u"GIMP"_s), BlockedApp(u"gone.app"_s, u"Sumido"_s) };
    const AppPickerModel::Content content = model.content(plain, true);
    const QList<AppTileItem>& others = content.sections.at(0).items;
    ASSERT_EQ(others.size(), 3);
    EXPECT_EQ(others.at(0), (AppTileItem { u"gone.app"_s, u"Sumido"_s, std::nullopt, true, QString() }));
    EXPECT_TRUE(others.at(2).blocked) << "identifiers compare without letter case";
    EXPECT_FALSE(others.at(1).blocked);
    EXPECT_EQ(model.blockedCount(), 2);

    model.setQuery(u"sumi"_s);
    EXPECT_EQ(names(model.content(plain, true).sections.at(0).items), (QStringList { u"Sumido"_s }));
}

TEST_F(AppPickerModelTest, SearchFoldsCaseAndAccents)
{
    struct Case {
        QString query;
        QStringList found;
    };
    const Case cases[] = {
        { u"  "_s, {} },
        { u"CALC"_s, { u"Calculadora"_s } },
        { u"culá"_s, { u"Calculadora"_s } },
        { u" im "_s, { u"GIMP"_s } },
        { u"zzz"_s, {} },
    };
    for (const Case& c : cases) {
        model.setQuery(c.query);
        const AppPickerModel::Content content = model.content(plain, true);
        if (c.query.trimmed().isEmpty()) {
            EXPECT_EQ(content.sections.at(0).title, u"Apps neste computador"_s) << "spaces only show the sections";
            continue;
        }
        EXPECT_EQ(names(content.sections.at(0).items), c.found) << c.query.toStdString();
        EXPECT_EQ(content.emptyText.isEmpty(), !c.found.isEmpty());
    }
    model.setQuery(u"x"_s);
    EXPECT_TRUE(model.escape());
    EXPECT_FALSE(model.escape());
}

TEST_F(AppPickerModelTest, BlockingCelebratesReleasingDoesNot)
{
    const AppTileItem gimp { u"gimp"_s, u"GIMP"_s, u"/apps/gimp.desktop"_s, false, QString() };
    model.toggle(gimp);
    EXPECT_EQ(host.apps, (QList<BlockedApp> { BlockedApp(u"gimp"_s, u"GIMP"_s) }));
    EXPECT_EQ(model.hop(), (TileSignal { u"gimp"_s, 1 }));
    EXPECT_EQ(model.countDirection(), 1.0);
    ASSERT_EQ(host.queued.size(), 1u);
    host.queued.front()();
    EXPECT_EQ(model.flight(), (TileSignal { u"gimp"_s, 1 }));

    host.locked = true;
    AppTileItem blocked = gimp;
    blocked.blocked = true;
    model.toggle(blocked);
    EXPECT_EQ(host.apps.size(), 1) << "refused during focus";
    EXPECT_EQ(host.localEdits, 2) << "the account still hears of it";
    EXPECT_EQ(model.countDirection(), -1.0);
    EXPECT_EQ(model.hop().tick, 1);

    host.reduce = true;
    host.queued.clear();
    model.toggle({ u"other"_s, u"Other"_s, std::nullopt, false, QString() });
    EXPECT_EQ(model.hop(), (TileSignal { u"other"_s, 2 }));
    EXPECT_TRUE(host.queued.empty()) << "no flight under reduce motion";
}

} // namespace
