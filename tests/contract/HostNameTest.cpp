#include "contract/HostName.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

TEST(HostName, SafeHostNames)
{
    struct Case {
        QString host;
        bool safe;
    };
    const Case cases[] = {
        { u"example.com"_s, true },
        { u"WWW.Example.COM"_s, true },
        { u"my_host-1.example"_s, true },
        { u"localhost"_s, true },
        { u"_dmarc.example.com"_s, true },
        { u""_s, false },
        { u".example.com"_s, false },
        { u"-example.com"_s, false },
        { u"exa mple.com"_s, false },
        { u"example.com\n127.0.0.1 bank.com"_s, false },
        { u"example.com\t"_s, false },
        { u"exámple.com"_s, false },
        { u"example.com#"_s, false },
        { u"a:b"_s, false },
        { QString(253, u'a'), true },
        { QString(254, u'a'), false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(isSafeHostName(c.host), c.safe) << c.host.left(40).toStdString();
}
