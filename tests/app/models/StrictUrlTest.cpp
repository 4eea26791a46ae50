#include "app/models/StrictUrl.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

using Items = QList<StrictUrl::QueryItem>;

struct SplitCase {
    QString text;
    QString scheme;
    std::optional<QString> user;
    std::optional<QString> password;
    std::optional<QString> host;
    std::optional<int> port;
    QString path;
    std::optional<Items> items;
    std::optional<QString> fragment;
};

} // namespace

TEST(StrictUrlTest, SplitsEveryPart)
{
    const QList<SplitCase> cases = {
        { u"https://www.youtube.com/watch?v=abc&t=42#top"_s, u"https"_s, {}, {}, u"www.youtube.com"_s, {}, u"/watch"_s,
            Items { { u"v"_s, u"abc"_s }, { u"t"_s, u"42"_s } }, u"top"_s },
        { u"https://u:p@x.com:8080/a%20b"_s, u"https"_s, u"u"_s, u"p"_s, u"x.com"_s, 8080, u"/a b"_s, {}, {} },
        { u"https://@x.com/"_s, u"https"_s, u""_s, {}, u"x.com"_s, {}, u"/"_s, {}, {} },
        { u"https://[::1]:443/"_s, u"https"_s, {}, {}, u"::1"_s, 443, u"/"_s, {}, {} },
        { u"https://x.com"_s, u"https"_s, {}, {}, u"x.com"_s, {}, u""_s, {}, {} },
        // Query items are decoded, "+" stays, an item without "=" has no value.
        { u"https://x.com/?a&b=&c=1%2B2+3"_s, u"https"_s, {}, {}, u"x.com"_s, {}, u"/"_s,
            Items { { u"a"_s, std::nullopt }, { u"b"_s, u""_s }, { u"c"_s, u"1+2+3"_s } }, {} },
        { u"https://x.com/?"_s, u"https"_s, {}, {}, u"x.com"_s, {}, u"/"_s, Items {}, {} },
        // Without "//" there is no host: a bare domain is a path.
        { u"example.com/path"_s, u""_s, {}, {}, {}, {}, u"example.com/path"_s, {}, {} },
        { u"ftp://a.b"_s, u"ftp"_s, {}, {}, u"a.b"_s, {}, u""_s, {}, {} },
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const auto url = StrictUrl::parse(c.text);
        ASSERT_TRUE(url.has_value());
        EXPECT_EQ(url->scheme, c.scheme);
        EXPECT_EQ(url->user, c.user);
        EXPECT_EQ(url->password, c.password);
        EXPECT_EQ(url->host, c.host);
        EXPECT_EQ(url->port, c.port);
        EXPECT_EQ(url->path, c.path);
        EXPECT_EQ(url->queryItems, c.items);
        EXPECT_EQ(url->fragment, c.fragment);
    }
}

TEST(StrictUrlTest, RefusesWhatTheSyntaxDoesNotAllow)
{
    // QUrl would encode or repair every one of these.
    for (const QString& text : { u"https://a b.com/"_s, u"https://x.com/é"_s, u"https://x.com/a b"_s,
             u"https://x.com/%zz"_s, u"https://x.com/%4"_s, u"https://x.com:99999/"_s, u"https://x.com:/"_s,
             u"https://x.com:8o/"_s, u"1http://a.com"_s, u"ht tp://a.com"_s, u"https://x.com/?a=<b>"_s,
             u"https://x.com/#a#b"_s, u"https://[::1/"_s, u"https://x.com\n"_s }) {
        EXPECT_FALSE(StrictUrl::parse(text).has_value()) << text.toStdString();
    }
}

TEST(StrictUrlTest, RebuildsTheTextWithOrWithoutFragment)
{
    const QString text = u"https://x.com/i/oauth2/authorize?client_id=a%20b&scope=x#frag"_s;
    const auto url = StrictUrl::parse(text);
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->toString(), text);
    EXPECT_EQ(url->toString(false), u"https://x.com/i/oauth2/authorize?client_id=a%20b&scope=x"_s);
}
