// Link requests offered to the extension through state.json; the test plays
// the extension: it keeps its receipt fresh and writes result files between
// the bridge's polls.
#include "app/services/bridge/DesktopBrowserBridge.h"

#include "BridgeRig.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace kestravin {
namespace {

using testing::BridgeRig;
using Outcome = std::optional<DesktopBrowserBridge::LinkOutcome>;

const QString video = u"https://youtu.be/dQw4w9WgXcQ"_s;
const QString reason = u"Preciso ver a aula"_s;

class LinkRequestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        rig.configuration.blockedSites = { u"youtube.com"_s };
        rig.bridge().startMonitoring();
        ASSERT_EQ(rig.bridge().begin(30), std::nullopt);
        focusEnd = rig.bridge().focus().endsAt;
        settle();
        ASSERT_TRUE(rig.bridge().helperReady());
    }

    // Steps until the extension and the daemon have caught up with the state.
    void settle()
    {
        for (int i = 0; i < 20 && !(rig.bridge().connected() && rig.bridge().helperReady()); ++i) {
            step();
        }
    }

    // Half a second of a live extension: a fresh receipt, every push accepted.
    void step()
    {
        rig.receipt(u"a"_s, rig.nowMs());
        rig.time.advance(DesktopBrowserBridge::linkPollInterval);
        while (rig.answered < rig.pushes.size()) {
            rig.answer(true);
        }
    }

    std::shared_ptr<DesktopBrowserBridge::LinkRequest> request(
        Outcome& outcome, const QString& url = video, const QString& why = reason, int minutes = 5)
    {
        return rig.bridge().requestURL(
            url, why, minutes, [&outcome](DesktopBrowserBridge::LinkOutcome value) { outcome = std::move(value); });
    }

    QJsonObject pending() const { return rig.state().value(u"request"_s).toObject(); }

    // Answers the pending request with `fields` over its id and focus id,
    // and lets the bridge read it at the next poll.
    Outcome answerWith(QJsonObject fields, int minutes = 5)
    {
        Outcome outcome;
        request(outcome, video, reason, minutes);
        const QJsonObject asked = pending();
        requestId = asked.value(u"id"_s).toString();
        QJsonObject result { { u"id"_s, requestId }, { u"focusId"_s, asked.value(u"focusId"_s) } };
        for (auto it = fields.begin(); it != fields.end(); ++it) {
            result.insert(it.key(), it.value());
        }
        pollTime = rig.nowMs() + 500;
        rig.write(BrowserExchange::resultFileName(requestId), QJsonDocument(result).toJson());
        step();
        return outcome;
    }

    static bool fails(const Outcome& outcome, DesktopAccessError error)
    {
        const auto* failure = outcome ? std::get_if<BridgeFailure>(&*outcome) : nullptr;
        return failure && failure->is(error);
    }

    BridgeRig rig;
    double focusEnd = 0;
    double pollTime = 0;
    QString requestId;
};

TEST_F(LinkRequestTest, ChecksBeforeAnythingIsOffered)
{
    struct Case {
        QString url;
        QString why;
        int minutes;
        std::optional<DesktopAccessError> refusal;
    };
    const QString authorization = u"https://x.com/i/oauth2/authorize?client_id=a&s="_s + QString(600, u'a');
    const QList<Case> cases = {
        { video, u" \n abcdefg \n"_s, 5, DesktopAccessError::invalidRequest },
        { video, u"abcdefgh"_s, 5, std::nullopt },
        { video, u"👍🏽👍🏽👍🏽👍🏽👍🏽👍🏽👍🏽"_s, 5, DesktopAccessError::invalidRequest },
        { video, QString(1501, u'a'), 5, DesktopAccessError::invalidRequest },
        { video, reason, 0, DesktopAccessError::invalidRequest },
        { video, reason, 31, DesktopAccessError::invalidRequest },
        { video, reason, 1, std::nullopt },
        { video, reason, 30, std::nullopt },
        { video + u"?s="_s + QString(470, u'a'), reason, 5, DesktopAccessError::invalidRequest },
        // Not on the blocked platforms of this focus, or no single item at all.
        { authorization, reason, 5, DesktopAccessError::invalidTarget },
        { u"https://x.com/a/status/1"_s, reason, 5, DesktopAccessError::invalidTarget },
        { u"https://www.youtube.com/shorts/abcdefghijk"_s, reason, 5, DesktopAccessError::invalidTarget },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url.left(60).toStdString() + " / " + c.why.left(20).toStdString());
        Outcome outcome;
        const auto handle = request(outcome, c.url, c.why, c.minutes);
        if (c.refusal) {
            EXPECT_TRUE(fails(outcome, *c.refusal));
            EXPECT_FALSE(rig.state().contains(u"request"_s));
            continue;
        }
        const QJsonObject asked = pending();
        EXPECT_EQ(asked.value(u"url"_s), u"https://www.youtube.com/watch?v=dQw4w9WgXcQ"_s);
        EXPECT_EQ(asked.value(u"reason"_s), c.why.trimmed());
        EXPECT_EQ(asked.value(u"clientId"_s), u"a"_s);
        EXPECT_EQ(asked.value(u"minutes"_s), c.minutes);
        EXPECT_EQ(asked.value(u"expiresAt"_s), rig.nowMs() + 45000);
        EXPECT_EQ(asked.value(u"id"_s).toString(), asked.value(u"id"_s).toString().toUpper());
        handle->cancel();
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(std::get<BridgeFailure>(*outcome).kind, BridgeFailure::Kind::cancelled);
        EXPECT_FALSE(rig.state().contains(u"request"_s));
    }

    // A long X authorization link passes the length check when X is blocked.
    rig.configuration.blockedSites = { u"youtube.com"_s, u"x.com"_s };
    rig.bridge().tick();
    settle();
    Outcome outcome;
    request(outcome, authorization)->cancel();
    EXPECT_EQ(std::get<BridgeFailure>(*outcome).kind, BridgeFailure::Kind::cancelled);
}

TEST_F(LinkRequestTest, UnavailableWithoutAConnectedExtension)
{
    rig.time.advance(11s);
    Outcome outcome;
    request(outcome);
    EXPECT_TRUE(fails(outcome, DesktopAccessError::browserUnavailable));
}

TEST_F(LinkRequestTest, VerdictsAreValidatedAgainstTheRequestAndTheFocus)
{
    const auto allow = [](double expiresAt) {
        return QJsonObject { { u"decision"_s, u"allow"_s }, { u"reason"_s, u"ok!"_s }, { u"expiresAt"_s, expiresAt } };
    };

    Outcome outcome = answerWith(allow(rig.nowMs() + 500 + 5 * 60000));
    ASSERT_TRUE(outcome.has_value());
    const auto* verdict = std::get_if<BrowserURLResult>(&*outcome);
    ASSERT_NE(verdict, nullptr);
    EXPECT_EQ(verdict->expiresAt, pollTime + 5 * 60000);
    EXPECT_FALSE(QFile::exists(rig.path(BrowserExchange::resultFileName(requestId))));
    EXPECT_FALSE(rig.state().contains(u"request"_s));

    EXPECT_TRUE(fails(answerWith(allow(rig.nowMs() + 500 + 5 * 60000 + 1)), DesktopAccessError::invalidApproval));
    EXPECT_TRUE(std::holds_alternative<BrowserURLResult>(*answerWith(allow(focusEnd), 30)));
    EXPECT_TRUE(fails(answerWith(allow(focusEnd + 1), 30), DesktopAccessError::invalidApproval));
    EXPECT_TRUE(fails(answerWith(allow(rig.nowMs() + 500)), DesktopAccessError::invalidApproval));
    EXPECT_TRUE(fails(
        answerWith({ { u"decision"_s, u"allow"_s }, { u"reason"_s, u"ok!"_s } }), DesktopAccessError::invalidApproval));

    const QJsonObject deny { { u"decision"_s, u"deny"_s }, { u"reason"_s, u"Não agora."_s } };
    outcome = answerWith(deny);
    ASSERT_TRUE(std::holds_alternative<BrowserURLResult>(*outcome));
    EXPECT_EQ(std::get<BrowserURLResult>(*outcome).decision, u"deny"_s);
    EXPECT_EQ(std::get<BrowserURLResult>(*outcome).expiresAt, std::nullopt);

    for (const QJsonObject& bad : { QJsonObject { { u"decision"_s, u"maybe"_s }, { u"reason"_s, u"hmm"_s } },
             QJsonObject { { u"decision"_s, u"deny"_s }, { u"reason"_s, u"no"_s } },
             QJsonObject { { u"decision"_s, u"deny"_s }, { u"reason"_s, QString(401, u'a') } },
             QJsonObject { { u"decision"_s, u"deny"_s } }, QJsonObject { { u"id"_s, u"OTHER"_s } } }) {
        EXPECT_TRUE(fails(answerWith(bad), DesktopAccessError::invalidApproval));
    }

    outcome = answerWith({ { u"decision"_s, u"deny"_s }, { u"reason"_s, u"Não agora."_s }, { u"error"_s, u"boom"_s } });
    const auto& failure = std::get<BridgeFailure>(*outcome);
    EXPECT_EQ(failure.kind, BridgeFailure::Kind::bridge);
    EXPECT_EQ(failure.domain, u"KestravinBridge"_s);
    EXPECT_EQ(failure.code, 1);
    EXPECT_EQ(failure.message, u"boom"_s);

    // A file that is not the verdict record fails at once, and is removed.
    Outcome broken;
    request(broken);
    requestId = pending().value(u"id"_s).toString();
    rig.write(BrowserExchange::resultFileName(requestId), "{\"id\":");
    step();
    ASSERT_TRUE(broken.has_value());
    EXPECT_EQ(std::get<BridgeFailure>(*broken).kind, BridgeFailure::Kind::decoding);
    EXPECT_FALSE(QFile::exists(rig.path(BrowserExchange::resultFileName(requestId))));
}

TEST_F(LinkRequestTest, OversizedResultIsNeverReadAndTheWaitEnds)
{
    Outcome outcome;
    request(outcome);
    requestId = pending().value(u"id"_s).toString();
    const QByteArray valid
        = QJsonDocument(QJsonObject { { u"id"_s, requestId }, { u"focusId"_s, pending().value(u"focusId"_s) },
                            { u"decision"_s, u"deny"_s }, { u"reason"_s, u"Não agora."_s } })
              .toJson(QJsonDocument::Compact);
    rig.write(BrowserExchange::resultFileName(requestId), valid + QByteArray(8001 - valid.size(), ' '));
    for (int poll = 1; poll < DesktopBrowserBridge::linkPolls; ++poll) {
        step();
    }
    EXPECT_FALSE(outcome.has_value());
    EXPECT_TRUE(rig.state().contains(u"request"_s));
    step();
    EXPECT_TRUE(fails(outcome, DesktopAccessError::browserUnavailable));
    EXPECT_FALSE(QFile::exists(rig.path(BrowserExchange::resultFileName(requestId))));
    EXPECT_FALSE(rig.state().contains(u"request"_s));
}

TEST_F(LinkRequestTest, AnotherProfileTakingOverEndsTheWait)
{
    Outcome outcome;
    request(outcome);
    QFile::remove(rig.path(u"receipt-a.json"_s));
    for (int i = 0; i < 22 && !outcome; ++i) {
        rig.receipt(u"b"_s, rig.nowMs());
        rig.time.advance(DesktopBrowserBridge::linkPollInterval);
        while (rig.answered < rig.pushes.size()) {
            rig.answer(true);
        }
    }
    EXPECT_EQ(rig.bridge().activeClientId(), u"b"_s);
    EXPECT_TRUE(fails(outcome, DesktopAccessError::sessionChanged));
}

TEST_F(LinkRequestTest, SwitchingSyncOffEndsTheWait)
{
    Outcome outcome;
    request(outcome);
    rig.bridge().setEnabled(false);
    rig.time.advance(DesktopBrowserBridge::linkPollInterval);
    EXPECT_TRUE(fails(outcome, DesktopAccessError::sessionChanged));
    EXPECT_FALSE(rig.state().contains(u"request"_s));
}

TEST_F(LinkRequestTest, ANewerRequestStaysWhenTheOlderEnds)
{
    Outcome first;
    Outcome second;
    const auto firstHandle = request(first);
    request(second);
    const QString newer = pending().value(u"id"_s).toString();
    firstHandle->cancel();
    EXPECT_TRUE(first.has_value());
    EXPECT_FALSE(second.has_value());
    EXPECT_EQ(pending().value(u"id"_s).toString(), newer);
}

} // namespace
} // namespace kestravin
