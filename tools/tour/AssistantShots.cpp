// The assistant window: the sign-in gate, the free gate, the form for a site,
// the form for a link with its problem line, the evaluating scene, an allowed
// answer with its countdown, a clarifying question and a refusal.
#include "Shot.h"

#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/platform/ScreenReader.h"
#include "app/services/catalog/SiteIconStore.h"
#include "app/views/assistant/AssistantPort.h"
#include "app/views/assistant/DesktopAIWindow.h"
#include "app/views/brand/BrandTextField.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace kestravin::tour {
namespace {

// The services as fixed values: each shot sets the state it pictures.
class DemoAssistantPort final : public AssistantPort {
public:
    bool busyValue = false;
    QString messageValue;
    std::optional<QString> decisionValue;
    std::optional<QDateTime> accessUntilValue;
    bool session = true;
    bool focus = true;
    QString codeValue;
    QString selected = u"youtube"_s;

    bool busy() const override { return busyValue; }
    QString message() const override { return messageValue; }
    std::optional<QString> decision() const override { return decisionValue; }
    std::optional<QDateTime> accessUntil() const override { return accessUntilValue; }
    bool applyFailed() const override { return false; }
    QString selectedPlatform() const override { return selected; }
    void setSelectedPlatform(const QString& platform) override { selected = platform; }
    std::optional<QString> prefilledURL() const override { return std::nullopt; }
    void clearPrefilledURL() override { }
    void request(const QString&, const QString&, int) override { start(); }
    void requestURL(const QString&, const QString&, int) override { start(); }
    void startOver() override { }
    bool hasSession() const override { return session; }
    bool accountFocus() const override { return focus; }
    bool connecting() const override { return !codeValue.isEmpty(); }
    QString code() const override { return codeValue; }
    QString accountMessage() const override
    {
        return codeValue.isEmpty() ? QString() : u"Confira o código no navegador e confirme."_s;
    }
    void connectAccount() override { }
    bool bridgeEnabled() const override { return false; }
    bool bridgeConnected() const override { return false; }
    bool helperReady() const override { return false; }
    bool bridgeFocus() const override { return false; }
    bool isBlocking() const override { return focus; }
    QStringList blockedSites() const override { return { u"reddit.com"_s, u"example.com"_s }; }

    void answer(std::optional<QString> decision, QString message, std::optional<QDateTime> until = std::nullopt)
    {
        busyValue = false;
        decisionValue = std::move(decision);
        messageValue = std::move(message);
        accessUntilValue = until;
        Q_EMIT changed();
    }

private:
    void start()
    {
        busyValue = true;
        messageValue = u"Avaliando seu pedido…"_s;
        Q_EMIT changed();
    }
};

// A window with its port and icon store, kept alive together.
class DemoWindow : public DesktopAIWindow {
public:
    DemoWindow(std::unique_ptr<DemoAssistantPort> port, std::unique_ptr<QTemporaryDir> folder,
        std::unique_ptr<SiteIconStore> icons)
        : DesktopAIWindow(services(*port, *icons)),
          m_port(std::move(port)),
          m_folder(std::move(folder)),
          m_icons(std::move(icons))
    {
    }
    DemoAssistantPort& port() const { return *m_port; }

private:
    static DesktopAIView::Services services(DemoAssistantPort& port, SiteIconStore& icons)
    {
        static FixedScreenReader reader;
        DesktopAIView::Services services;
        services.port = &port;
        services.clock = &Clock::system();
        services.scheduler = &Scheduler::system();
        services.screenReader = &reader;
        services.icons = &icons;
        services.locale = QLocale(QLocale::Portuguese, QLocale::Brazil);
        services.timeZone = QTimeZone::systemTimeZone();
        return services;
    }

    std::unique_ptr<DemoAssistantPort> m_port;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<SiteIconStore> m_icons;
};

using Script = std::function<void(DemoAssistantPort&, DesktopAIView&)>;

std::unique_ptr<QWidget> window(const Script& script, bool session = true, QString code = {})
{
    auto port = std::make_unique<DemoAssistantPort>();
    port->session = session;
    port->codeValue = std::move(code);
    auto folder = std::make_unique<QTemporaryDir>();
    auto icons = std::make_unique<SiteIconStore>(
        SiteIconStore::Options { folder->path(), [](const QString&, const QString&) { return QUrl(); }, 8000 });
    DemoAssistantPort& state = *port;
    auto shown = std::make_unique<DemoWindow>(std::move(port), std::move(folder), std::move(icons));
    script(state, *shown->view());
    return shown;
}

void askForReddit(DemoAssistantPort&, DesktopAIView& view)
{
    view.setKind(u"site"_s);
    view.reasonEditor()->setText(u"Preciso responder uma dúvida no fórum da disciplina."_s);
}

void sendForReddit(DemoAssistantPort& port, DesktopAIView& view)
{
    askForReddit(port, view);
    view.send();
}

const ShotRegistrar gateSignIn(u"assistant-gate-sign-in"_s,
    [] { return window([](DemoAssistantPort&, DesktopAIView&) {}, false, u"K7Q2-M4PX"_s); });

const ShotRegistrar gateFree(u"assistant-gate-free"_s, [] {
    return window([](DemoAssistantPort& port, DesktopAIView&) {
        port.focus = false;
        Q_EMIT port.changed();
    });
});

const ShotRegistrar formSite(u"assistant-form-site"_s, [] { return window(askForReddit); });

const ShotRegistrar formLink(u"assistant-form-link"_s, [] {
    return window([](DemoAssistantPort&, DesktopAIView& view) {
        view.setKind(u"link"_s);
        view.linkField()->setText(u"https://www.youtube.com/shorts/abc"_s);
        Q_EMIT view.linkField()->textEdited(view.linkField()->text());
        view.reasonEditor()->setText(u"Uma aula de cálculo para a prova de amanhã."_s);
    });
});

const ShotRegistrar evaluating(u"assistant-evaluating"_s, [] { return window(sendForReddit); });

const ShotRegistrar allowed(u"assistant-answer-allowed"_s, [] {
    return window([](DemoAssistantPort& port, DesktopAIView& view) {
        sendForReddit(port, view);
        const QDateTime until = Clock::system().now().addSecs(10 * 60);
        port.answer(u"allow"_s,
            u"Dúvida da disciplina é um bom motivo. reddit.com está liberado até "_s
                + QLocale(QLocale::Portuguese, QLocale::Brazil).toString(until.time(), QLocale::ShortFormat) + u"."_s,
            until);
    });
});

const ShotRegistrar clarify(u"assistant-answer-question"_s, [] {
    return window([](DemoAssistantPort& port, DesktopAIView& view) {
        sendForReddit(port, view);
        port.answer(u"clarify"_s, u"Qual é a disciplina e o que você precisa ver no fórum?"_s);
    });
});

const ShotRegistrar denied(u"assistant-answer-denied"_s, [] {
    return window([](DemoAssistantPort& port, DesktopAIView& view) {
        sendForReddit(port, view);
        port.answer(u"deny"_s, u"O fórum pode esperar o fim do foco: faltam só 20 minutos."_s);
    });
});

} // namespace
} // namespace kestravin::tour
