#include "app/views/brand/Appearance.h"

#include "PrivateBus.h"
#include "ViewsTestSupport.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QSignalSpy>

using namespace Qt::StringLiterals;
using namespace kestravin;
using namespace kestravin::testing_support;

namespace {

const QString portalService = u"org.freedesktop.portal.Desktop"_s;
const QString portalPath = u"/org/freedesktop/portal/desktop"_s;
const QString settingsInterface = u"org.freedesktop.portal.Settings"_s;

// The desktop's settings portal as far as appearance goes: answers Read with
// the value wrapped twice, as the portal does, and refuses unknown keys.
class FakePortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    QHash<QString, QVariant> values;

public Q_SLOTS:
    QDBusVariant Read(const QString& group, const QString& key)
    {
        const QString name = group + u'/' + key;
        if (!values.contains(name)) {
            sendErrorReply(u"org.freedesktop.portal.Error.NotFound"_s, u"no such setting"_s);
            return {};
        }
        return QDBusVariant(QVariant::fromValue(QDBusVariant(values.value(name))));
    }
};

// A private session bus in a temporary folder, torn down with the test.
class PrivateBus : public kestravin::testing::PrivateBus {
public:
    PrivateBus() : kestravin::testing::PrivateBus(Type::session) { }
};

class AppearanceSourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qunsetenv("KESTRAVIN_COLOR_SCHEME");
        qunsetenv("KESTRAVIN_REDUCE_MOTION");
    }
    void TearDown() override { SetUp(); }

    // Serves `portal` on a connection of its own.
    QDBusConnection servePortal(PrivateBus& bus, FakePortal& portal)
    {
        QDBusConnection service = bus.connect(u"portal"_s);
        EXPECT_TRUE(service.isConnected());
        EXPECT_TRUE(service.registerObject(portalPath, &portal, QDBusConnection::ExportAllSlots));
        EXPECT_TRUE(service.registerService(portalService));
        return service;
    }

    static void emitChange(QDBusConnection& service, const QString& group, const QString& key, const QVariant& value)
    {
        QDBusMessage signal = QDBusMessage::createSignal(portalPath, settingsInterface, u"SettingChanged"_s);
        signal << group << key << QVariant::fromValue(QDBusVariant(value));
        service.send(signal);
    }
};

TEST_F(AppearanceSourceTest, ReadsThePortalAndFollowsItsChanges)
{
    PrivateBus bus;
    FakePortal portal;
    portal.values.insert(u"org.freedesktop.appearance/color-scheme"_s, QVariant::fromValue(1u));
    portal.values.insert(u"org.gnome.desktop.interface/enable-animations"_s, false);
    QDBusConnection service = servePortal(bus, portal);

    Appearance appearance(bus.connect(u"client"_s));
    ASSERT_TRUE(waitFor([&] { return appearance.isDark() && appearance.reduceMotion(); }));

    QSignalSpy changed(&appearance, &Appearance::changed);
    emitChange(service, u"org.freedesktop.appearance"_s, u"color-scheme"_s, QVariant::fromValue(2u));
    ASSERT_TRUE(waitFor([&] { return !appearance.isDark(); }));
    EXPECT_EQ(changed.count(), 1);
    emitChange(service, u"org.gnome.desktop.interface"_s, u"enable-animations"_s, true);
    ASSERT_TRUE(waitFor([&] { return !appearance.reduceMotion(); }));
    // A KDE desktop turns animations off with a zero factor.
    emitChange(service, u"org.kde.kdeglobals.KDE"_s, u"AnimationDurationFactor"_s, 0.0);
    ASSERT_TRUE(waitFor([&] { return appearance.reduceMotion(); }));
    // Other settings are no concern of ours.
    emitChange(service, u"org.freedesktop.appearance"_s, u"accent-color"_s, 3.0);
    QTest::qWait(50);
    EXPECT_EQ(changed.count(), 3);
}

TEST_F(AppearanceSourceTest, EnvironmentForcesTheValuesOverThePortal)
{
    PrivateBus bus;
    FakePortal portal;
    portal.values.insert(u"org.freedesktop.appearance/color-scheme"_s, QVariant::fromValue(1u));
    QDBusConnection service = servePortal(bus, portal);

    qputenv("KESTRAVIN_COLOR_SCHEME", "light");
    qputenv("KESTRAVIN_REDUCE_MOTION", "1");
    Appearance appearance(bus.connect(u"client"_s));
    QTest::qWait(100);
    EXPECT_FALSE(appearance.isDark());
    EXPECT_TRUE(appearance.reduceMotion());

    // A forced value given back returns the portal's.
    appearance.overrideColorScheme(std::nullopt);
    EXPECT_TRUE(appearance.isDark());
}

TEST_F(AppearanceSourceTest, WithoutABusOrPortalItIsLightWithMotionQuietly)
{
    Appearance noBus(QDBusConnection(u"not-connected"_s));
    EXPECT_FALSE(noBus.isDark());
    EXPECT_FALSE(noBus.reduceMotion());

    PrivateBus bus;
    Appearance noPortal(bus.connect(u"client"_s));
    QTest::qWait(100);
    EXPECT_FALSE(noPortal.isDark());
    EXPECT_FALSE(noPortal.reduceMotion());

    qputenv("KESTRAVIN_COLOR_SCHEME", "dark");
    Appearance forced(QDBusConnection(u"not-connected"_s));
    EXPECT_TRUE(forced.isDark());
}

} // namespace

#include "AppearanceTest.moc"
