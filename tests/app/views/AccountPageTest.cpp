#include "AccountApiDouble.h"
#include "BridgeRig.h"
#include "EventLoop.h"
#include "ServiceRig.h"
#include "ViewsTestSupport.h"

#include "app/models/DesktopAccessError.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/views/account/AccountWidgets.h"
#include "app/views/account/OrlaAccountView.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/onboarding/OnboardingWindowController.h"

#include "FakeOnboardingServices.h"

#include <QAccessible>
#include <QCheckBox>
#include <QJsonDocument>
#include <QLabel>
#include <QSettings>

using namespace kestravin;
using namespace kestravin::testing;
using namespace kestravin::testing_support;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

class FakeShield final : public BrowserShieldSwitch {
public:
    bool on = false;
    bool permission = false;
    bool refuse = false;
    bool enabled() const override { return on; }
    bool hasPermission() const override { return permission; }
    void setEnabled(bool value) override
    {
        if (!refuse) {
            on = value;
        }
        Q_EMIT changed();
    }
};

class FakeAssistant final : public AssistantActivity {
public:
    bool running = false;
    bool busy() const override { return running; }
    void set(bool value)
    {
        running = value;
        Q_EMIT changed();
    }
};

// The account service on the rig's blocking services and the account API
// double, signed out, with the page over it.
struct PageRig {
    // A build without the account's addresses when false.
    bool configured = true;
    ServiceRig rig { options() };
    AccountApiDouble api;
    MemorySessionStore store;
    QSettings defaults { rig.dir.filePath(u"defaults.ini"_s), QSettings::IniFormat };
    AccountClient client { configured ? AccountEnvironment(api.apiBase(), api.webBase()) : AccountEnvironment(), store,
        rig.time, defaults };
    QList<QUrl> opened;
    DeviceLink link { client, rig.time, rig.time, [this](const QUrl& url) { opened << url; },
        [] { return u"install"_s; } };
    DesktopAccountService& account = rig.account;
    BridgeRig bridge { false };
    FakeShield shield;
    FakeAssistant assistant;
    int gateCalls = 0;

    static ServiceRig::Options options()
    {
        ServiceRig::Options options;
        options.fakeDaemon = true;
        options.configJson = ServiceRig::configurationWith({ u"local.example"_s }, true).toJsonBytes();
        return options;
    }

    explicit PageRig(bool withAddresses = true) : configured(withAddresses)
    {
        api.nowMs = [this] { return double(rig.time.now().toMSecsSinceEpoch()); };
        api.snapshot.insert(u"user"_s,
            QJsonObject { { u"id"_s, u"u1"_s }, { u"email"_s, u"ana@example.com"_s }, { u"name"_s, u"Ana Souza"_s } });
        account.attach({ &client, &link, [this] { return rig.config.get(); }, [this] { return rig.blocking.get(); },
            [this] { return rig.schedule.get(); }, [this] { return rig.connection.get(); }, &rig.time, &rig.time,
            [] { return u"UTC"_s; } });
        EXPECT_TRUE(rig.waitForInstalledDaemon());
        bridge.supportsBrowserSync = false;
    }

    OrlaAccountView::Services services()
    {
        return { &account, &bridge.bridge(), &shield, &assistant,
            [this] {
                ++gateCalls;
                OnboardingWindowController::shared().requireAccount();
            },
            [this](const QUrl& url) { opened << url; }, api.webBase().toString(), true };
    }
};

} // namespace

TEST(AccountPageTest, LinksWithTheCodeShowsThePersonAndSignsOutToTheGate)
{
    PageRig p;
    // The gate after the sign-out sees no session.
    static kestravin::testing::FakeOnboardingServices gate;
    OnboardingWindowController::shared().setServices(gate);
    OrlaAccountView page(p.services());
    page.show();
    EXPECT_EQ(page.card(), OrlaAccountView::Card::notLinked);
    QStringList texts;
    for (const QLabel* label : page.findChildren<QLabel*>()) {
        texts << label->text();
    }
    EXPECT_TRUE(texts.contains(u"Conecte este computador à sua conta."_s));
    EXPECT_TRUE(texts.contains(u"Você confirma no navegador, com a mesma conta da extensão. A sessão fica guardada no "
                               u"chaveiro do sistema."_s));
    EXPECT_TRUE(page.linkButton()->isEnabled());
    EXPECT_FALSE(page.codeLabel()->isVisible());

    page.linkButton()->click();
    EXPECT_EQ(page.card(), OrlaAccountView::Card::linking);
    EXPECT_EQ(page.linkButton()->text(), u"Aguardando confirmação…"_s);
    EXPECT_FALSE(page.linkButton()->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return page.codeLabel()->isVisible(); }));
    EXPECT_EQ(page.codeLabel()->text(), p.api.linkCode);
    EXPECT_TRUE(page.codeLabel()->textInteractionFlags() & Qt::TextSelectableByMouse);

    // Confirmed in the browser: the next poll links, and the first download
    // turns the card into the person's.
    p.api.confirmed = true;
    p.rig.time.advance(2s);
    ASSERT_TRUE(waitUntil([&] { return page.card() == OrlaAccountView::Card::linked; }, 10000));
    EXPECT_EQ(page.nameLabel()->text(), u"Ana Souza"_s);
    EXPECT_EQ(page.emailLabel()->text(), u"ana@example.com"_s);
    ASSERT_TRUE(waitUntil([&] { return !page.messageLabel()->text().isEmpty(); }));
    EXPECT_TRUE(page.messageLabel()->isVisible());

    page.openButton()->click();
    ASSERT_FALSE(p.opened.isEmpty());
    EXPECT_EQ(p.opened.last(), p.api.webBase());

    // "Sincronizar agora" downloads once more.
    const int downloads = p.api.count(u"/api/bootstrap"_s);
    page.syncButton()->click();
    ASSERT_TRUE(waitUntil([&] { return p.api.count(u"/api/bootstrap"_s) == downloads + 1 && !p.account.syncing(); }));

    page.signOutButton()->click();
    ASSERT_TRUE(waitUntil([&] { return p.gateCalls == 1; }));
    EXPECT_EQ(page.card(), OrlaAccountView::Card::notLinked);
    ASSERT_NE(OnboardingWindowController::shared().window(), nullptr);
    EXPECT_TRUE(OnboardingWindowController::shared().window()->isVisible());
    OnboardingWindowController::shared().window()->close();
}

TEST(AccountPageTest, AFailedLinkSaysWhyOnTheCardThatIsShown)
{
    for (const bool configured : { false, true }) {
        SCOPED_TRACE(configured ? "the server refuses" : "no account addresses");
        PageRig p(configured);
        p.api.addFault(u"/api/device/begin"_s, AccountApiDouble::status(500));
        OrlaAccountView page(p.services());
        page.show();
        EXPECT_FALSE(page.linkMessageLabel()->isVisible());
        page.linkButton()->click();
        ASSERT_TRUE(waitUntil([&] { return !p.account.connecting() && !p.account.message().isEmpty(); }));
        EXPECT_EQ(page.card(), OrlaAccountView::Card::notLinked);
        EXPECT_TRUE(page.linkMessageLabel()->isVisible());
        EXPECT_EQ(page.linkMessageLabel()->text(), p.account.message());
        if (!configured) {
            EXPECT_EQ(page.linkMessageLabel()->text(), describe(DesktopAccessError::configuration));
        }
    }
}

// Texts from outside break inside the card, long words (an address, a code)
// too: nothing runs past the card's edge or is cut below.
TEST(AccountPageTest, LongOutsideTextsWrapInsideTheCard)
{
    PageRig p;
    const QString longMessage = u"Falha ao falar com https://contas.kestravin.example/api/device/begin?instalacao="
                                u"8f14e45fceea167a5a36dedd4bea2543e3b0c44298fc1c149afbf4c8996fb924 (erro 503): "
                                u"servico_temporariamente_indisponivel_tente_de_novo_mais_tarde"_s;
    p.api.addFault(u"/api/device/begin"_s,
        AccountApiDouble::status(503, QJsonDocument(QJsonObject { { u"error"_s, longMessage } }).toJson()));
    OrlaAccountView page(p.services());
    page.resize(580, 640); // the settings window's page area
    page.show();
    const auto laidOut = [&](QLabel* label) -> ::testing::AssertionResult {
        const QWidget* card = page.card() == OrlaAccountView::Card::linked ? page.emailLabel()->parentWidget()
                                                                           : page.linkMessageLabel()->parentWidget();
        const QRect inCard(label->mapTo(card->parentWidget(), QPoint()), label->size());
        const QRect cardRect = card->parentWidget()->contentsRect().marginsRemoved(QMargins(18, 18, 18, 18));
        if (!cardRect.contains(inCard)) {
            return ::testing::AssertionFailure()
                << "label " << inCard.x() << "," << inCard.y() << " " << inCard.width() << "x" << inCard.height()
                << " outside the card " << cardRect.width() << "x" << cardRect.height();
        }
        if (label->height() < label->heightForWidth(label->width())) {
            return ::testing::AssertionFailure()
                << "cut: " << label->height() << " < " << label->heightForWidth(label->width());
        }
        if (page.widget()->width() > page.viewport()->width()) {
            return ::testing::AssertionFailure() << "the page is wider than its view";
        }
        return ::testing::AssertionSuccess();
    };
    // Once the layouts have settled.
    const auto insideTheCard = [&](QLabel* label) {
        waitUntil([&] { return bool(laidOut(label)); }, 2000);
        return laidOut(label);
    };

    page.linkButton()->click();
    ASSERT_TRUE(waitUntil([&] { return !p.account.connecting() && !p.account.message().isEmpty(); }));
    ASSERT_TRUE(page.linkMessageLabel()->isVisible());
    EXPECT_TRUE(page.linkMessageLabel()->text().contains(u"servico_temporariamente"_s))
        << page.linkMessageLabel()->text().toStdString();
    EXPECT_TRUE(insideTheCard(page.linkMessageLabel()));

    // The linked card with an address longer than the card is wide.
    DesktopAccountSnapshot snapshot;
    snapshot.user.id = u"u1"_s;
    snapshot.user.name = u"Ana"_s;
    snapshot.user.email = u"ana.souza.da.silva.pereira.de.albuquerque.cavalcanti.e.mello@"
                          u"departamento-de-tecnologia.exemplo.com.br"_s;
    p.account.setSnapshot(snapshot);
    ASSERT_EQ(page.card(), OrlaAccountView::Card::linked);
    EXPECT_TRUE(insideTheCard(page.emailLabel()));
    EXPECT_EQ(page.emailLabel()->text(), snapshot.user.email) << "shown as given";
    EXPECT_TRUE(insideTheCard(page.messageLabel()));
}

TEST(AccountPageTest, SwitchesShowWhatTheServicesPublishAndSpringBackWhenRefused)
{
    PageRig p;
    p.shield.on = true;
    OrlaAccountView page(p.services());
    page.show();

    // Both switches read as check boxes with their state, on or off.
    for (QCheckBox* toggle : { page.extensionSwitch(), page.shieldSwitch() }) {
        SCOPED_TRACE(toggle->accessibleName().toStdString());
        QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(toggle);
        ASSERT_TRUE(a11y);
        EXPECT_EQ(a11y->role(), QAccessible::CheckBox);
        EXPECT_TRUE(a11y->state().checkable);
        EXPECT_EQ(bool(a11y->state().checked), toggle->isChecked());
    }
    EXPECT_NE(page.extensionSwitch()->isChecked(), page.shieldSwitch()->isChecked());
    p.shield.setEnabled(false);

    // A daemon that cannot take browser control refuses the sync.
    page.extensionSwitch()->click();
    EXPECT_FALSE(page.extensionSwitch()->isChecked());
    EXPECT_TRUE(page.extensionDetail()->text().endsWith(u"o resto do YouTube e do X continua bloqueado. "
                                                        u"Atualize o helper do Kestravin para sincronizar."_s));

    // The shield's detail follows the permission only; without it the
    // sentence names the desktop's accessibility switch.
    EXPECT_EQ(page.shieldDetail()->text(),
        u"Precisa da acessibilidade da área de trabalho ligada. Os bloqueios do sistema funcionam mesmo sem ela."_s);
    page.shieldSwitch()->click();
    EXPECT_TRUE(page.shieldSwitch()->isChecked());
    EXPECT_EQ(page.shieldDetail()->text(), OrlaAccountView::shieldDetailText(false));
    p.shield.permission = true;
    p.shield.refuse = true;
    page.shieldSwitch()->click();
    EXPECT_TRUE(page.shieldSwitch()->isChecked());
    EXPECT_EQ(page.shieldDetail()->text(),
        u"Em navegadores sem a extensão, a Orla mostra a tela de bloqueio no lugar do site."_s);

    // An assistant request in flight disables the whole extension row only.
    p.assistant.set(true);
    EXPECT_FALSE(page.extensionSwitch()->isEnabled());
    EXPECT_TRUE(page.shieldSwitch()->isEnabled());
    p.assistant.set(false);
    EXPECT_TRUE(page.extensionSwitch()->isEnabled());

    EXPECT_TRUE(page.localNote()->isVisible());
}

TEST(AccountPageTest, TheEmailLeadsWhenThePersonHasNoName)
{
    PageRig p;
    OrlaAccountView page(p.services());
    page.show();
    DesktopAccountSnapshot snapshot;
    snapshot.user.id = u"u1"_s;
    snapshot.user.email = u"sem.nome@example.com"_s;
    p.account.setSnapshot(snapshot);
    EXPECT_FALSE(page.nameLabel()->isVisible());
    EXPECT_EQ(page.emailLabel()->font().pixelSize(), 14);
    EXPECT_TRUE(page.messageLabel()->isVisible()); // the status line stays, empty
}
