#include "AccountApiDouble.h"
#include "EventLoop.h"
#include "ServiceRig.h"

#include "app/services/account/DesktopAccountService.h"
#include "app/services/assistant/DesktopAIService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSettings>

#include <gtest/gtest.h>

using namespace kestravin;
using namespace kestravin::testing;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QString bootstrapPath = u"/api/bootstrap"_s;
const QString decidePath = u"/api/decide"_s;
const QString accountFocus = u"account-focus-1"_s;
const QString reason = u"Preciso responder o cliente"_s;
const QString videoLink = u"https://www.youtube.com/watch?v=dQw4w9WgXcQ"_s;
const QString postLink = u"https://x.com/kestravin/status/1234567890"_s;

QJsonObject settingsWith(const QStringList& sites, bool onboarded = true)
{
    return {
        { u"onboarded"_s, onboarded },
        { u"enabled"_s, true },
        { u"timezone"_s, u"UTC"_s },
        { u"platforms"_s, QJsonArray { u"youtube"_s, u"x"_s } },
        { u"schedule"_s,
            QJsonArray { QJsonObject { { u"days"_s, QJsonArray { 0, 1, 2, 3, 4, 5, 6 } }, { u"start"_s, u"09:00"_s },
                { u"end"_s, u"17:00"_s } } } },
        { u"sites"_s, QJsonArray::fromStringList(sites) },
    };
}

// The scheduler of the rig's fake time, counting the pauses the service takes.
class PauseCounter final : public Scheduler {
public:
    explicit PauseCounter(FakeTime& time) : m_time(time) { }
    void runLater(std::chrono::milliseconds delay, QObject* context, Action action) override
    {
        pauses.push_back(delay);
        ++waiting;
        m_time.runLater(delay, context, [this, action = std::move(action)] {
            --waiting;
            action();
        });
    }
    std::unique_ptr<Timer> startTimer(std::chrono::milliseconds interval, bool repeating, Action action) override
    {
        return m_time.startTimer(interval, repeating, std::move(action));
    }
    std::vector<std::chrono::milliseconds> pauses;
    int waiting = 0;

private:
    FakeTime& m_time;
};

// What the rig starts from.
struct RigOptions {
    QStringList sites { u"example.com"_s, u"tiktok.com"_s };
    bool onboarded = true;
    bool accountFocus = true;
    bool session = true;
};

// The request service over the real account service (against the account
// API double), the rig's blocking services with the scripted daemon, and
// fake time whose pauses the test lets pass.
struct AssistantRig {
    using Options = RigOptions;

    ServiceRig rig;
    AccountApiDouble api;
    MemorySessionStore store;
    QSettings defaults { rig.dir.filePath(u"defaults.ini"_s), QSettings::IniFormat };
    AccountClient client { AccountEnvironment(api.apiBase(), api.webBase()), store, rig.time, defaults };
    DeviceLink link { client, rig.time, rig.time, [](const QUrl&) {}, [] { return u"install"_s; } };
    DesktopAccountService& account = rig.account;
    PauseCounter scheduler { rig.time };

    bool temporaryAccess = true;
    bool syncEnabled = false;
    bool connected = false;
    bool manualOverride = false;
    QList<QUrl> opened;
    // The extension's verdict for the next link, given at once.
    std::optional<DesktopBrowserBridge::LinkOutcome> extensionAnswer;
    int extensionCalls = 0;
    std::unique_ptr<DesktopAIService> ai;

    static ServiceRig::Options rigOptions()
    {
        ServiceRig::Options options;
        options.fakeDaemon = true;
        options.configJson = ServiceRig::configurationWith({ u"local.example"_s }, true).toJsonBytes();
        return options;
    }

    explicit AssistantRig(RigOptions options = RigOptions()) : rig(rigOptions())
    {
        api.nowMs = [this] { return double(rig.time.now().toMSecsSinceEpoch()); };
        api.snapshot.insert(u"settings"_s, settingsWith(options.sites, options.onboarded));
        if (options.accountFocus)
            startAccountFocus(accountFocus, 3600000);
        account.attach({ &client, &link, [this] { return rig.config.get(); }, [this] { return rig.blocking.get(); },
            [this] { return rig.schedule.get(); }, [this] { return rig.connection.get(); }, &rig.time, &rig.time,
            [] { return u"UTC"_s; } });
        EXPECT_TRUE(rig.waitForInstalledDaemon());
        if (options.session)
            client.setSession(DesktopAccountSession::fromJson(api.issueSession()));

        DesktopAIService::Environment environment;
        environment.account = &account;
        environment.configuration = [this] { return rig.config->configuration(); };
        environment.manualOverride = [this] { return manualOverride; };
        environment.supportsTemporaryAccess = [this] { return temporaryAccess; };
        environment.grantScheduledAccess
            = [this](const QString& platform, const QDateTime& expiresAt, const HelperScheduleConfig& expected,
                  HelperConnection::Completion done) {
                  rig.connection->grantScheduledAccess(platform, expiresAt, expected, std::move(done));
              };
        environment.browserSyncEnabled = [this] { return syncEnabled; };
        environment.extensionConnected = [this] { return connected; };
        environment.extensionRequest
            = [this](const QString&, const QString&, int, std::function<void(DesktopBrowserBridge::LinkOutcome)> done)
            -> std::shared_ptr<DesktopBrowserBridge::LinkRequest> {
            ++extensionCalls;
            done(extensionAnswer.value_or(BridgeFailure::of(DesktopAccessError::browserUnavailable)));
            return nullptr;
        };
        environment.openUrl = [this](const QUrl& url) { opened.append(url); };
        environment.clock = &rig.time;
        environment.scheduler = &scheduler;
        environment.timeZone = [] { return QTimeZone::utc(); };
        environment.defaults = &defaults;
        environment.locale = QLocale(u"pt_BR"_s);
        ai = std::make_unique<DesktopAIService>(std::move(environment));
        if (options.session) {
            EXPECT_TRUE(sync());
        }
    }

    void startAccountFocus(const QString& id, double lastsMs)
    {
        api.snapshot.insert(u"focus"_s,
            QJsonObject { { u"enabled"_s, true }, { u"id"_s, id }, { u"endsAt"_s, api.nowMs() + lastsMs },
                { u"source"_s, u"account"_s } });
    }

    bool sync()
    {
        bool done = false;
        account.syncNow([&done] { done = true; });
        return waitUntil([&] { return done; }, 10000);
    }

    // Runs until the request ends, letting each pause of the service pass.
    bool settle()
    {
        return waitUntil(
            [this] {
                if (scheduler.waiting > 0)
                    rig.time.advance(1000ms);
                return !ai->busy();
            },
            20000);
    }

    void request(const QString& platform, const QString& text = reason, int minutes = 10)
    {
        ai->request(platform, text, minutes);
        EXPECT_TRUE(settle());
    }

    void requestURL(const QString& url, const QString& text = reason, int minutes = 10)
    {
        ai->requestURL(url, text, minutes);
        EXPECT_TRUE(settle());
    }

    QJsonObject lastDecideBody() const
    {
        const auto sent = api.requestsTo(decidePath);
        return sent.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(sent.last().body).object();
    }

    // Downloads after the last decision call.
    int bootstrapsAfterDecision() const
    {
        int count = -1;
        for (const auto& request : api.requests()) {
            if (request.path == decidePath)
                count = 0;
            else if (request.path == bootstrapPath && count >= 0)
                ++count;
        }
        return count;
    }

    QString clock(const QDateTime& instant) const { return instant.toUTC().toString(u"HH:mm"_s); }
    double nowMs() const { return double(rig.time.now().toMSecsSinceEpoch()); }
};

AccountApiDouble::Decision decision(const QString& kind, const QString& text = u"Pode ir, com calma."_s)
{
    AccountApiDouble::Decision d;
    d.decision = kind;
    d.reason = text;
    return d;
}

} // namespace

TEST(DesktopAIServiceTest, ChecksTheRequestBeforeAskingInThisOrder)
{
    AssistantRig a;
    const QString seven = u"abcdef👍🏽"_s; // an emoji is one character
    const QString eight = u"abcdefg👍🏽"_s;
    const QString invalidRequest = describe(DesktopAccessError::invalidRequest);
    const struct {
        bool syncEnabled;
        bool temporaryAccess;
        QString platform;
        QString text;
        int minutes;
        std::optional<QString> refusal; // none: the request reaches the account
    } cases[] = {
        { true, true, u"youtube"_s, reason, 10, DesktopAIService::syncModeRefusal },
        { true, false, u"x"_s, reason, 10, DesktopAIService::syncModeRefusal },
        { false, false, u"youtube"_s, u"x"_s, 10, describe(DesktopAccessError::helperUpdate) },
        { false, true, u"youtube"_s, reason, 10, invalidRequest },
        { false, true, u"notblocked.com"_s, reason, 10, invalidRequest },
        { false, true, u"example.com"_s, u"   "_s + seven + u"\n\n"_s, 10, invalidRequest },
        { false, true, u"example.com"_s, u"  "_s + eight + u" "_s, 10, std::nullopt },
        { false, true, u"example.com"_s, QString(1500, u'a'), 10, std::nullopt },
        { false, true, u"example.com"_s, QString(1501, u'a'), 10, invalidRequest },
        { false, true, u"example.com"_s, reason, 0, invalidRequest },
        { false, true, u"example.com"_s, reason, 31, invalidRequest },
        { false, true, u"example.com"_s, reason, 1, std::nullopt },
        { false, true, u"tiktok"_s, reason, 30, std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(
            qPrintable(c.platform + u' ' + QString::number(c.text.size()) + u' ' + QString::number(c.minutes)));
        a.ai->startOver();
        a.syncEnabled = c.syncEnabled;
        a.temporaryAccess = c.temporaryAccess;
        a.api.decisions.enqueue(decision(u"deny"_s, u"Agora não."_s));
        const int asked = a.api.count(decidePath);
        bool wasBusy = false;
        QObject::connect(a.ai.get(), &DesktopAIService::busyChanged, a.ai.get(), [&] { wasBusy |= a.ai->busy(); });
        a.request(c.platform, c.text, c.minutes);
        QObject::disconnect(a.ai.get(), &DesktopAIService::busyChanged, a.ai.get(), nullptr);
        if (c.refusal) {
            EXPECT_EQ(a.ai->message(), *c.refusal);
            EXPECT_EQ(a.api.count(decidePath), asked);
            EXPECT_EQ(wasBusy, *c.refusal != DesktopAIService::syncModeRefusal);
            a.api.decisions.clear();
        } else {
            EXPECT_EQ(a.api.count(decidePath), asked + 1);
            EXPECT_EQ(a.ai->message(), u"Agora não."_s);
            // Blanks around the justification are neither counted nor sent.
            EXPECT_EQ(a.lastDecideBody().value(u"reason"_s).toString(), c.text.trimmed());
        }
        EXPECT_FALSE(a.ai->decision() && c.refusal);
    }
}

TEST(DesktopAIServiceTest, TikTokGoesThroughTheSiteGrantWhenBlockedAsASiteElseThroughTheDaemon)
{
    {
        AssistantRig a;
        a.api.decisions.enqueue(decision(u"allow"_s));
        const QDateTime sent = a.rig.time.now();
        a.request(u"tiktok"_s, reason, 10);
        const QJsonObject body = a.lastDecideBody();
        EXPECT_EQ(body.value(u"mode"_s).toString(), u"site"_s);
        EXPECT_EQ(body.value(u"site"_s).toString(), u"tiktok.com"_s);
        EXPECT_EQ(body.value(u"appId"_s).toString(), u"tiktok"_s);
        EXPECT_EQ(body.value(u"appName"_s).toString(), u"TikTok — site inteiro, incluindo login do TikTok Ads"_s);
        EXPECT_EQ(body.value(u"focusId"_s).toString(), accountFocus);
        EXPECT_TRUE(QRegularExpression(u"^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"_s)
                        .match(body.value(u"requestId"_s).toString())
                        .hasMatch());
        EXPECT_EQ(body.value(u"focusEnd"_s).toDouble(), a.nowMs() + 3600000);
        const QDateTime end = sent.addSecs(600);
        EXPECT_EQ(a.ai->decision(), u"allow"_s);
        EXPECT_EQ(a.ai->accessUntil(), end);
        EXPECT_EQ(a.ai->message(), u"Pode ir, com calma. tiktok.com está liberado até "_s + a.clock(end) + u"."_s);
        EXPECT_EQ(a.rig.daemon->count(u"grantScheduledAccess"_s), 0);
        // The grant came down with the second sync: no pause was needed.
        EXPECT_TRUE(a.scheduler.pauses.empty());
        EXPECT_EQ(a.bootstrapsAfterDecision(), 1);
    }
    {
        AssistantRig::Options options;
        options.sites = { u"example.com"_s };
        AssistantRig a(options);
        a.api.decisions.enqueue(decision(u"allow"_s));
        a.request(u"tiktok"_s, reason, 10);
        const QJsonObject body = a.lastDecideBody();
        EXPECT_EQ(body.value(u"mode"_s).toString(), u"app"_s);
        EXPECT_FALSE(body.contains(u"site"_s));
        ASSERT_EQ(a.rig.daemon->count(u"grantScheduledAccess"_s), 1);
        const QDateTime end = a.rig.time.now().addSecs(600);
        EXPECT_EQ(a.ai->accessUntil(), end);
        EXPECT_EQ(a.ai->message(), u"Pode ir, com calma. O site inteiro está liberado até "_s + a.clock(end) + u"."_s);

        // The daemon refuses: its sentence, or the default one.
        a.ai->startOver();
        for (const QString& refusal : { u"Não foi possível validar a agenda."_s, QString() }) {
            a.rig.daemon->setResult(false, refusal);
            a.api.decisions.enqueue(decision(u"allow"_s));
            a.request(u"tiktok"_s);
            EXPECT_EQ(a.ai->decision(), std::nullopt);
            EXPECT_EQ(a.ai->message(), refusal.isEmpty() ? DesktopAIService::platformNotAppliedMessage : refusal);
            EXPECT_FALSE(a.ai->applyFailed());
        }
    }
}

TEST(DesktopAIServiceTest, AnAllowMustMatchTheRequestAndStayWithinItsBounds)
{
    AssistantRig a;
    const QString refused = describe(DesktopAccessError::invalidApproval);
    using Edit = std::function<void(QJsonObject&)>;
    const double sent = a.nowMs();
    const double focusEnd = sent + 3600000;
    const struct {
        const char* name;
        Edit edit;
        bool accepted;
    } cases[] = {
        { "20 s of slack", [&](QJsonObject& r) { r.insert(u"expiresAt"_s, sent + 620000); }, true },
        { "one millisecond more", [&](QJsonObject& r) { r.insert(u"expiresAt"_s, sent + 620001); }, false },
        { "lower-case request id",
            [](QJsonObject& r) { r.insert(u"requestId"_s, r.value(u"requestId"_s).toString().toLower()); }, false },
        { "another focus", [](QJsonObject& r) { r.insert(u"focusId"_s, u"other"_s); }, false },
        { "another platform", [](QJsonObject& r) { r.insert(u"appId"_s, u"other.com"_s); }, false },
        { "no echo", [](QJsonObject& r) { r.remove(u"requestId"_s); }, false },
        { "no end", [](QJsonObject& r) { r.remove(u"expiresAt"_s); }, false },
        { "already over", [&](QJsonObject& r) { r.insert(u"expiresAt"_s, sent); }, false },
        { "past the focus", [&](QJsonObject& r) { r.insert(u"expiresAt"_s, focusEnd + 1); }, false },
        { "clock set back", [&](QJsonObject&) { a.rig.time.setNow(a.rig.time.now().addSecs(-5)); }, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        a.ai->startOver();
        auto allow = decision(u"allow"_s);
        allow.edit = c.edit;
        a.api.decisions.enqueue(allow);
        const QDateTime before = a.rig.time.now();
        a.request(u"example.com"_s, reason, 10);
        if (c.accepted) {
            EXPECT_EQ(a.ai->decision(), u"allow"_s);
            // The grant still ends no later than the minutes asked for.
            EXPECT_EQ(a.ai->accessUntil(), before.addSecs(600));
        } else {
            EXPECT_EQ(a.ai->message(), refused);
            EXPECT_EQ(a.ai->decision(), std::nullopt);
            EXPECT_EQ(a.ai->accessUntil(), std::nullopt);
        }
        a.rig.time.setNow(before);
    }

    // An end that equals the focus end is accepted.
    AssistantRig b;
    b.startAccountFocus(accountFocus, 300000);
    ASSERT_TRUE(b.sync());
    b.api.decisions.enqueue(decision(u"allow"_s));
    b.request(u"example.com"_s, reason, 10);
    EXPECT_EQ(b.lastDecideBody().value(u"focusEnd"_s).toDouble(), b.nowMs() + 300000);
    EXPECT_EQ(b.ai->decision(), u"allow"_s);
    EXPECT_EQ(b.ai->accessUntil(), b.rig.time.now().addSecs(300));
}

TEST(DesktopAIServiceTest, CountsValidRepliesOnlyAndShowsTheAnswerAsItCame)
{
    AssistantRig a;
    const QString refused = describe(DesktopAccessError::invalidApproval);
    const QString markup = u"<b>Não</b> agora & <a href='x'>depois</a>"_s;
    const struct {
        AccountApiDouble::Decision reply;
        std::optional<QByteArray> rawBody;
        QString message;
        int counted;
        std::optional<QString> decided;
    } cases[] = {
        { decision(u"deny"_s, markup), std::nullopt, markup, 1, u"deny"_s },
        { decision(u"clarify"_s, u"Qual aula?"_s), std::nullopt, u"Qual aula?"_s, 1, u"clarify"_s },
        { decision(u"deny"_s, u"ok"_s), std::nullopt, refused, 0, std::nullopt },
        { decision(u"approve"_s, u"claro"_s), std::nullopt, refused, 0, std::nullopt },
        { decision(u"deny"_s), R"({"decision":"deny"})"_ba, QString(), 0, std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.reply.decision + u' ' + c.reply.reason));
        a.ai->startOver();
        const int before = a.ai->requestCount();
        a.api.decisions.enqueue(c.reply);
        if (c.rawBody) {
            AccountApiDouble::Fault raw;
            raw.body = c.rawBody;
            a.api.addFault(decidePath, raw);
        }
        a.request(u"example.com"_s);
        if (!c.message.isEmpty()) {
            EXPECT_EQ(a.ai->message(), c.message);
        } else {
            EXPECT_FALSE(a.ai->message().isEmpty()); // the decoder's own description
        }
        EXPECT_EQ(a.ai->requestCount(), before + c.counted);
        EXPECT_EQ(a.ai->decision(), c.decided);
        a.api.decisions.clear();
    }
    EXPECT_EQ(a.defaults.value(DesktopAIService::requestCounterKey).toInt(), 2);
}

TEST(DesktopAIServiceTest, ASiteCountsAsFreedOnlyOnceItsGrantIsAppliedForThisFocusAndEnd)
{
    // The grant never appears: four syncs, three pauses, then the failure.
    {
        AssistantRig a;
        auto allow = decision(u"allow"_s);
        allow.grant = false;
        a.api.decisions.enqueue(allow);
        a.request(u"example.com"_s);
        EXPECT_EQ(a.bootstrapsAfterDecision(), 1 + DesktopAIService::grantAttempts);
        EXPECT_EQ(a.scheduler.pauses, std::vector<std::chrono::milliseconds>(3, 1000ms));
        EXPECT_EQ(a.ai->decision(), std::nullopt);
        EXPECT_TRUE(a.ai->applyFailed());
        EXPECT_EQ(a.ai->message(),
            u"A Orla aprovou, mas este computador não conseguiu liberar o site agora. Tente de novo em instantes."_s);
    }
    // It appears late: the wait ends as soon as it is applied.
    {
        AssistantRig a;
        auto allow = decision(u"allow"_s);
        allow.grantDelay = 2;
        a.api.decisions.enqueue(allow);
        a.request(u"example.com"_s);
        EXPECT_EQ(a.ai->decision(), u"allow"_s);
        EXPECT_FALSE(a.ai->applyFailed());
        EXPECT_EQ(a.scheduler.pauses.size(), 1u);
        const auto freed = a.rig.daemon->calls();
        EXPECT_TRUE(std::any_of(freed.cbegin(), freed.cend(), [](const FakeHelperDaemon::Call& call) {
            return call.method == u"setSiteAccess"_s && call.arguments.value(0).toByteArray().contains("example.com");
        }));
    }
    // An older, shorter grant of the same site does not stand in for this one.
    {
        AssistantRig a;
        a.api.snapshot.insert(u"grants"_s,
            QJsonArray { QJsonObject { { u"site"_s, u"example.com"_s }, { u"expiresAt"_s, a.nowMs() + 60000 },
                { u"focusId"_s, accountFocus }, { u"grantedAt"_s, a.nowMs() - 1000 } } });
        ASSERT_TRUE(a.sync());
        ASSERT_EQ(a.account.appliedGrants().size(), 1);
        auto allow = decision(u"allow"_s);
        allow.grant = false;
        a.api.decisions.enqueue(allow);
        a.request(u"example.com"_s, reason, 10);
        EXPECT_TRUE(a.ai->applyFailed());
        EXPECT_EQ(a.ai->accessUntil(), std::nullopt);
    }
}

TEST(DesktopAIServiceTest, TheLocalFocusIdentifierFollowsTheConfigurationAndTheHours)
{
    // The account's hours are not the ones applied here: the local schedule decides.
    AssistantRig::Options options;
    options.onboarded = false;
    AssistantRig a(options);
    ASSERT_FALSE(a.account.scheduleSynced());
    const auto first = a.ai->context();
    ASSERT_TRUE(std::holds_alternative<DesktopAIService::FocusContext>(first));
    const QString id = std::get<DesktopAIService::FocusContext>(first).id;
    EXPECT_TRUE(QRegularExpression(u"^mac-\\d{10}-[0-9a-f]{32}$"_s).match(id).hasMatch()) << qPrintable(id);
    EXPECT_EQ(id.size(), 47);
    EXPECT_TRUE(id.startsWith(u"mac-%1-"_s.arg(a.rig.time.now().addSecs(7 * 3600).toSecsSinceEpoch())));

    Configuration changed = a.rig.config->configuration();
    changed.blockedSites.append(u"another.example"_s);
    a.rig.config->setConfiguration(changed);
    const QString after = std::get<DesktopAIService::FocusContext>(a.ai->context()).id;
    EXPECT_EQ(after.left(15), id.left(15));
    EXPECT_NE(after.mid(15), id.mid(15));

    // An edit while the decision is on its way ends the request.
    auto allow = decision(u"allow"_s);
    allow.edit = [&](QJsonObject&) {
        Configuration edited = a.rig.config->configuration();
        edited.blockedSites.append(u"third.example"_s);
        a.rig.config->setConfiguration(edited);
    };
    a.api.decisions.enqueue(allow);
    a.request(u"local.example"_s);
    EXPECT_EQ(a.ai->message(), u"A agenda ou o foco mudou. Faça um novo pedido."_s);
    EXPECT_EQ(a.ai->decision(), std::nullopt);

    // No focus to tie the exception to.
    const auto noContext = [&] {
        return std::holds_alternative<DesktopAccessError>(a.ai->context())
            && std::get<DesktopAccessError>(a.ai->context()) == DesktopAccessError::sessionChanged;
    };
    a.manualOverride = true;
    EXPECT_TRUE(noContext());
    a.manualOverride = false;
    a.rig.time.setNow(a.rig.time.now().addSecs(8 * 3600)); // 18:00, after the hours
    EXPECT_TRUE(noContext());
    a.rig.time.setNow(a.rig.time.now().addSecs(-8 * 3600));
    Configuration off = a.rig.config->configuration();
    off.enabled = false;
    a.rig.config->setConfiguration(off);
    EXPECT_TRUE(noContext());
    a.request(u"local.example"_s);
    EXPECT_EQ(a.ai->message(), u"A agenda ou o foco mudou. Faça um novo pedido."_s);
}

TEST(DesktopAIServiceTest, StateStartsCleanAndIsGuardedWhileARequestRuns)
{
    AssistantRig a;
    EXPECT_EQ(a.ai->selectedPlatform(), u"youtube"_s);
    a.ai->setSelectedPlatform(u"example.com"_s);
    a.ai->setPrefilledURL(videoLink);

    // A failure left on screen does not headline the next request.
    auto lost = decision(u"allow"_s);
    lost.grant = false;
    a.api.decisions.enqueue(lost);
    a.request(u"example.com"_s);
    ASSERT_TRUE(a.ai->applyFailed());
    a.api.decisions.enqueue(decision(u"allow"_s));
    a.ai->request(u"example.com"_s, reason, 10);
    EXPECT_FALSE(a.ai->applyFailed());
    EXPECT_EQ(a.ai->message(), DesktopAIService::evaluatingMessage);
    // While it runs, a second request and startOver change nothing.
    a.ai->request(u"tiktok"_s, reason, 5);
    a.ai->requestURL(videoLink, reason, 5);
    a.ai->startOver();
    EXPECT_EQ(a.ai->message(), DesktopAIService::evaluatingMessage);
    ASSERT_TRUE(a.settle());
    EXPECT_EQ(a.api.count(decidePath), 2);
    ASSERT_EQ(a.ai->decision(), u"allow"_s);

    a.ai->startOver();
    EXPECT_EQ(a.ai->message(), QString());
    EXPECT_EQ(a.ai->decision(), std::nullopt);
    EXPECT_EQ(a.ai->accessUntil(), std::nullopt);
    EXPECT_EQ(a.ai->prefilledURL(), std::nullopt);
    EXPECT_EQ(a.ai->selectedPlatform(), u"example.com"_s);

    // The sync-mode refusal does not leave a question of the assistant on screen.
    a.api.decisions.enqueue(decision(u"clarify"_s, u"Qual cliente?"_s));
    a.request(u"example.com"_s);
    ASSERT_EQ(a.ai->decision(), u"clarify"_s);
    a.syncEnabled = true;
    a.request(u"youtube"_s);
    EXPECT_EQ(a.ai->message(), DesktopAIService::syncModeRefusal);
    EXPECT_EQ(a.ai->decision(), std::nullopt);
}

TEST(DesktopAIServiceTest, DirectLinkRequestsOpenTheLinkOnlyWithoutBrowserSync)
{
    const struct {
        const char* name;
        QString link;
        bool syncEnabled;
        QString platformName;
    } cases[] = {
        { "post, sync off", postLink, false, u"O X"_s },
        { "post, sync on but not connected", postLink, true, u"O X"_s },
        { "video, sync off", videoLink, false, u"O YouTube"_s },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AssistantRig a;
        a.syncEnabled = c.syncEnabled;
        a.api.decisions.enqueue(decision(u"allow"_s));
        a.ai->requestURL(c.link, reason, 5);
        EXPECT_EQ(a.ai->message(), DesktopAIService::evaluatingMessage);
        ASSERT_TRUE(a.settle());
        const QDateTime until = a.rig.time.now().addSecs(300);
        EXPECT_EQ(a.ai->decision(), u"allow"_s);
        EXPECT_EQ(a.ai->accessUntil(), until);
        EXPECT_EQ(a.ai->message(),
            c.platformName + u" abre neste computador até "_s + a.clock(until) + u"."_s
                + (c.syncEnabled ? DesktopAIService::extensionSentence : QString()));
        EXPECT_EQ(a.opened.size(), c.syncEnabled ? 0 : 1);
        EXPECT_EQ(a.extensionCalls, 0);
        EXPECT_EQ(a.lastDecideBody().value(u"focusId"_s).toString(), accountFocus);
        EXPECT_EQ(a.ai->requestCount(), 1);
    }
}

TEST(DesktopAIServiceTest, DirectLinkRequestsFailClearly)
{
    AssistantRig a;
    const struct {
        const char* name;
        std::function<void()> setUp;
        QString link;
        int minutes;
        QString message;
        bool applyFailed;
    } cases[] = {
        { "old daemon", [&] { a.temporaryAccess = false; }, postLink, 5, describe(DesktopAccessError::helperUpdate),
            false },
        { "not a video or post", [] {}, u"https://example.com/page"_s, 5, describe(DesktopAccessError::invalidTarget),
            false },
        { "minutes", [] {}, postLink, 31, describe(DesktopAccessError::invalidRequest), false },
        { "grant never arrives",
            [&] {
                auto allow = decision(u"allow"_s);
                allow.grant = false;
                a.api.decisions.enqueue(allow);
            },
            postLink, 5,
            u"A Orla aprovou, mas este computador não liberou o acesso agora. Tente de novo em instantes."_s, true },
        { "allow without an end",
            [&] {
                auto allow = decision(u"allow"_s);
                allow.edit = [](QJsonObject& r) { r.remove(u"grantExpiresAt"_s); };
                a.api.decisions.enqueue(allow);
            },
            postLink, 5, describe(DesktopAccessError::invalidApproval), false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        a.temporaryAccess = true;
        a.scheduler.pauses.clear();
        c.setUp();
        a.requestURL(c.link, reason, c.minutes);
        EXPECT_EQ(a.ai->message(), c.message);
        EXPECT_EQ(a.ai->decision(), std::nullopt);
        EXPECT_EQ(a.ai->applyFailed(), c.applyFailed);
        if (c.applyFailed) {
            EXPECT_EQ(a.scheduler.pauses.size(), 3u);
        }
        EXPECT_TRUE(a.opened.isEmpty());
    }

    // Without a session nothing is synced or sent.
    AssistantRig::Options options;
    options.session = false;
    AssistantRig b(options);
    b.requestURL(postLink);
    EXPECT_EQ(b.ai->message(), describe(DesktopAccessError::configuration));
    EXPECT_EQ(b.api.requests().size(), 0);
}

TEST(DesktopAIServiceTest, ExtensionRouteReportsTheVerdictAndWaitsForTheGrant)
{
    AssistantRig a;
    a.syncEnabled = true;
    a.connected = true;
    const double end = a.nowMs() + 300000;
    const auto verdict = [](std::optional<QString> decided, std::optional<double> expiresAt, QString text) {
        return DesktopBrowserBridge::LinkOutcome(
            BrowserURLResult { u"r"_s, accountFocus, std::move(decided), std::move(text), expiresAt, std::nullopt });
    };

    // The account's grant reaches the next download after the verdict.
    a.extensionAnswer = verdict(u"allow"_s, end, u"Pode ver."_s);
    QTimer::singleShot(0, [&] {
        a.api.snapshot.insert(u"grants"_s,
            QJsonArray { QJsonObject { { u"site"_s, u"platform:youtube"_s }, { u"expiresAt"_s, end },
                { u"focusId"_s, accountFocus }, { u"grantedAt"_s, a.nowMs() } } });
    });
    a.ai->requestURL(videoLink, reason, 5);
    EXPECT_EQ(a.ai->message(), u"Pode ver."_s);
    ASSERT_TRUE(a.settle());
    EXPECT_EQ(a.ai->decision(), u"allow"_s);
    EXPECT_EQ(a.ai->accessUntil(), QDateTime::fromMSecsSinceEpoch(qint64(end), Qt::UTC));
    EXPECT_EQ(a.api.count(decidePath), 0);
    EXPECT_TRUE(a.opened.isEmpty());

    const struct {
        const char* name;
        DesktopBrowserBridge::LinkOutcome outcome;
        QString message;
        bool applyFailed;
    } cases[] = {
        { "grant never arrives", verdict(u"allow"_s, end + 60000, u"Pode ver."_s),
            u"A Orla aprovou, mas este computador não liberou o acesso agora. Tente de novo em instantes."_s, true },
        { "deny with an end", verdict(u"deny"_s, end, u"Agora não."_s), u"Agora não."_s, false },
        { "approved but not applied", BridgeFailure::fromExtension(u"A Orla aprovou, mas a extensão não abriu."_s),
            u"A Orla aprovou, mas a extensão não abriu."_s, true },
        { "other failure", BridgeFailure::of(DesktopAccessError::browserUnavailable),
            describe(DesktopAccessError::browserUnavailable), false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        a.ai->startOver();
        a.extensionAnswer = c.outcome;
        a.scheduler.pauses.clear();
        a.requestURL(videoLink);
        EXPECT_EQ(a.ai->message(), c.message);
        EXPECT_EQ(a.ai->applyFailed(), c.applyFailed);
        // Only an allow waits for its grant, through the same four syncs.
        EXPECT_EQ(a.scheduler.pauses.size(),
            std::holds_alternative<BrowserURLResult>(c.outcome)
                    && std::get<BrowserURLResult>(c.outcome).decision == u"allow"_s
                ? 3u
                : 0u);
        // Only an allow counts down.
        EXPECT_EQ(a.ai->accessUntil(), std::nullopt);
    }
}

TEST(DesktopAIServiceTest, ARedirectOfTheDecisionIsNeverFollowed)
{
    AssistantRig a;
    AccountApiDouble::Fault redirect = AccountApiDouble::status(302, QByteArray());
    redirect.headers.append({ "Location"_ba, (a.api.apiBase().toString() + u"/elsewhere"_s).toUtf8() });
    a.api.addFault(decidePath, redirect);
    std::optional<AccountReply> reply;
    a.account.request(decidePath, QByteArray(), "{}"_ba, [&](AccountReply r) { reply = std::move(r); });
    ASSERT_TRUE(waitUntil([&] { return reply.has_value(); }));
    ASSERT_TRUE(reply->failure);
    EXPECT_TRUE(reply->failure->isHttp(302));

    a.api.addFault(decidePath, redirect);
    a.request(u"example.com"_s);
    EXPECT_EQ(a.ai->decision(), std::nullopt);
    EXPECT_FALSE(a.ai->message().isEmpty());
    EXPECT_NE(a.ai->message(), DesktopAIService::evaluatingMessage);
    EXPECT_EQ(a.api.count(u"/elsewhere"_s), 0);
}

TEST(DesktopAIServiceTest, HandOverOfABlockedPage)
{
    const QStringList blocked { u"example.com"_s, u"youtube.com"_s };
    using H = DesktopAIService::HandOver;
    const struct {
        QString host;
        QString address;
        H expected;
    } cases[] = {
        { u"www.youtube.com"_s, u"www.youtube.com/watch?v=1"_s,
            H { u"youtube"_s, u"https://www.youtube.com/watch?v=1"_s } },
        { u"x.com"_s, u"http://x.com/a/status/1"_s, H { u"x"_s, u"http://x.com/a/status/1"_s } },
        { u"m.tiktok.com"_s, u"m.tiktok.com/@a"_s, H { u"tiktok"_s, std::nullopt } },
        { u"news.example.com"_s, u"news.example.com/a"_s, H { u"example.com"_s, std::nullopt } },
        { u"unknown.org"_s, u"unknown.org"_s, H {} },
    };
    for (const auto& c : cases)
        EXPECT_EQ(DesktopAIService::handOver(c.host, c.address, blocked), c.expected) << qPrintable(c.host);

    // The choice is made before the window shows, the link after.
    DesktopAIService service({});
    QStringList seen;
    QObject::connect(&service, &DesktopAIService::prefilledURLChanged, [&] { seen.append(u"link"_s); });
    service.receiveHandOver(H { u"x"_s, postLink }, [&] { seen.append(u"window:"_s + service.selectedPlatform()); });
    EXPECT_EQ(seen, (QStringList { u"window:x"_s, u"link"_s }));
    EXPECT_EQ(service.prefilledURL(), postLink);
}
