#include "app/models/BrowserShieldPolicy.h"

#include <gtest/gtest.h>

#include <QList>
#include <QStringList>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

const QString hostsFile = u"127.0.0.1 localhost\n"
                          u"# Kestravin START - DO NOT EDIT THIS SECTION\n"
                          u"127.0.0.1 www.youtube.com youtube.com # c\n"
                          u"0.0.0.0 evil.com\n"
                          u"# 127.0.0.1 c.com\n"
                          u"::1\tonlysix.com\n"
                          u"127.0.0.1 xn--bcher-kva.example\n"
                          u"# Kestravin END\n"
                          u"127.0.0.1 outside.com\n"_s;

struct HostCase {
    QString text;
    std::optional<QString> host;
};

} // namespace

TEST(BrowserShieldPolicyTest, HostOfAnAddress)
{
    const QList<HostCase> cases = {
        { u"  HTTPS://WWW.YouTube.com:443/watch?v=1 \n"_s, u"www.youtube.com"_s },
        { u"example.com/a/b?q=1"_s, u"example.com"_s },
        { u"HTTP://Example.com"_s, u"example.com"_s },
        { u"example.com."_s, u"example.com."_s },
        { u"localhost"_s, std::nullopt },
        { u"a b.com"_s, std::nullopt },
        { u"   "_s, std::nullopt },
        { QString(), std::nullopt },
        { u"ftp://x.com"_s, std::nullopt },
        { u"chrome://settings"_s, std::nullopt },
        { u"https://u:p@x.com"_s, std::nullopt },
        { u"https://u@x.com"_s, std::nullopt },
        // International names compare in their ACE form, as the hosts file
        // holds them; a Unicode host with a port or path keeps them apart.
        { u"Bücher.example/seite"_s, u"xn--bcher-kva.example"_s },
        { u"https://bücher.example:8080"_s, u"xn--bcher-kva.example"_s },
        { u"xn--bcher-kva.example"_s, u"xn--bcher-kva.example"_s },
        // Address bars show the path decoded.
        { u"https://a.com/ü"_s, u"a.com"_s },
        { u"g1.globo.com/Notícias"_s, u"g1.globo.com"_s },
        { u"bücher.example/Notícias?q=é#ç"_s, u"xn--bcher-kva.example"_s },
        { u"https://ü@a.com/"_s, std::nullopt },
    };
    for (const HostCase& c : cases) {
        EXPECT_EQ(BrowserShieldPolicy::host(c.text), c.host) << c.text.toStdString();
    }
}

TEST(BrowserShieldPolicyTest, OnlyLoopbackLinesInsideTheSectionBlockExactHosts)
{
    const QList<HostCase> cases = {
        { u"  HTTPS://WWW.YouTube.com:443/watch?v=1 "_s, u"www.youtube.com"_s },
        { u"youtube.com"_s, u"youtube.com"_s },
        { u"onlysix.com"_s, u"onlysix.com"_s },
        { u"https://bücher.example/"_s, u"xn--bcher-kva.example"_s },
        { u"m.youtube.com"_s, std::nullopt },
        { u"evil.com"_s, std::nullopt },
        { u"c.com"_s, std::nullopt },
        { u"outside.com"_s, std::nullopt },
        { u"localhost"_s, std::nullopt },
    };
    for (const HostCase& c : cases) {
        EXPECT_EQ(BrowserShieldPolicy::blockedHost(c.text, hostsFile), c.host) << c.text.toStdString();
    }
}

TEST(BrowserShieldPolicyTest, AnIncompleteSectionBlocksNothing)
{
    const QStringList files = {
        u"# Kestravin END\n127.0.0.1 a.com\n# Kestravin START - DO NOT EDIT THIS SECTION\n"_s,
        u"# Kestravin START - DO NOT EDIT THIS SECTION\n127.0.0.1 a.com\n"_s,
        u"127.0.0.1 a.com\n# Kestravin END\n"_s,
        QString(),
    };
    for (const QString& file : files) {
        EXPECT_FALSE(BrowserShieldPolicy::blockedHost(u"a.com"_s, file)) << file.toStdString();
    }
    // Only the section's start text counts, whatever follows it.
    EXPECT_EQ(BrowserShieldPolicy::blockedHost(u"a.com"_s, u"# Kestravin START\n127.0.0.1 a.com\n# Kestravin END"_s),
        u"a.com"_s);
}

TEST(BrowserShieldPolicyTest, PlatformOfAHost)
{
    EXPECT_EQ(BrowserShieldPolicy::platform(u"m.youtube.com"_s), u"youtube"_s);
    EXPECT_EQ(BrowserShieldPolicy::platform(u"youtube.com"_s), u"youtube"_s);
    EXPECT_EQ(BrowserShieldPolicy::platform(u"x.com"_s), u"x"_s);
    EXPECT_EQ(BrowserShieldPolicy::platform(u"www.tiktok.com"_s), u"tiktok"_s);
    EXPECT_EQ(BrowserShieldPolicy::platform(u"notyoutube.com"_s), std::nullopt);
    EXPECT_EQ(BrowserShieldPolicy::platform(u"example.com"_s), std::nullopt);
}
