#include "OrlaAccountView.h"

#include "AccountWidgets.h"
#include "app/services/account/AccountEnvironment.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/services/assistant/DesktopAIService.h"
#include "app/services/bridge/DesktopBrowserBridge.h"
#include "app/services/shield/DesktopBrowserShield.h"
#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/PlainLabel.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPainter>
#include <QSignalBlocker>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

struct PageColors {
    QColor option;
    QColor hairline;
};

PageColors pageColors()
{
    const BrandPalette& palette = BrandPalette::current();
    return { palette.paper, withOpacity(palette.hairline, 0.7) };
}

// A small on/off switch in the accent colour; a check box for readers.
class AccountSwitch : public QCheckBox {
public:
    AccountSwitch(const QString& name, QWidget* parent) : QCheckBox(parent)
    {
        // Read as a check box with its state, like the other switches; before
        // anything makes its interface.
        BrandAccessibility::setButtonRole(this, QAccessible::CheckBox);
        setAccessibleName(name);
        setCursor(Qt::PointingHandCursor);
    }
    QSize sizeHint() const override { return { 32, 18 }; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF track(0, 0, 32, 18);
        const BrandPalette& palette = BrandPalette::current();
        QColor fill = isChecked() ? BrandTokens::accent() : palette.hairline;
        if (!isEnabled()) {
            fill = withOpacity(fill, 0.5);
        }
        painter.fillPath(BrandShapes::capsule(track), fill);
        const double x = isChecked() ? 16 : 2;
        painter.setBrush(Qt::white);
        painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
        painter.drawEllipse(QRectF(x, 2, 14, 14));
        if (hasFocus()) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(palette.focusRing, 1.5));
            painter.drawPath(BrandShapes::capsule(track.adjusted(-1, -1, 1, 1)));
        }
    }
};

// The running application's browser shield.
class DesktopShieldSwitch final : public BrowserShieldSwitch {
public:
    explicit DesktopShieldSwitch(DesktopBrowserShield& shield) : m_shield(shield)
    {
        connect(&m_shield, &DesktopBrowserShield::enabledChanged, this, &BrowserShieldSwitch::changed);
        connect(&m_shield, &DesktopBrowserShield::hasPermissionChanged, this, &BrowserShieldSwitch::changed);
        connect(&m_shield, &DesktopBrowserShield::detailChanged, this, &BrowserShieldSwitch::changed);
    }
    bool enabled() const override { return m_shield.enabled(); }
    bool hasPermission() const override { return m_shield.hasPermission(); }
    void setEnabled(bool on) override
    {
        m_shield.setEnabled(on);
        Q_EMIT changed(); // the switch shows what the shield holds
    }
    QString detail() const override { return m_shield.detail(); }

private:
    DesktopBrowserShield& m_shield;
};

// The idle form used until the assistant is built.
// The assistant's request service as the page sees it.
class DesktopAssistantActivity final : public AssistantActivity {
public:
    explicit DesktopAssistantActivity(DesktopAIService& service) : m_service(service)
    {
        QObject::connect(&service, &DesktopAIService::busyChanged, this, &AssistantActivity::changed);
    }
    bool busy() const override { return m_service.busy(); }

private:
    DesktopAIService& m_service;
};

} // namespace

// The person's initials in a circle; decorative (the name is said beside it).
class PersonBadge : public QWidget {
public:
    explicit PersonBadge(QWidget* parent) : QWidget(parent)
    {
        setFixedSize(38, 38);
        BrandAccessibility::setDecorative(this);
    }
    void setPerson(const QString& name, const QString& email)
    {
        const QString source = name.isEmpty() ? email : name;
        QString initials;
        for (const QString& part : source.split(u' ', Qt::SkipEmptyParts)) {
            if (initials.size() < 2 && part.at(0).isLetterOrNumber()) {
                initials += part.at(0).toUpper();
            }
        }
        m_initials = initials.isEmpty() ? u"?"_s : initials;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF circle = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.setBrush(BrandTokens::accent());
        painter.setPen(QPen(BrandPalette::current().hairline, 1));
        painter.drawEllipse(circle);
        painter.setPen(BrandTokens::onAccent());
        painter.setFont(BrandFonts::font(14, QFont::DemiBold));
        painter.drawText(circle, Qt::AlignCenter, m_initials);
    }

private:
    QString m_initials;
};

std::function<void()>& OrlaAccountView::requireAccountHook()
{
    static std::function<void()> hook;
    return hook;
}

OrlaAccountView::Services OrlaAccountView::Services::shared()
{
    static DesktopShieldSwitch shield(DesktopBrowserShield::shared());
    static DesktopAssistantActivity assistant(DesktopAIService::shared());
    const AccountEnvironment environment = AccountEnvironment::current();
    return {
        &DesktopAccountService::shared(),
        &DesktopBrowserBridge::shared(),
        &shield,
        &assistant,
        [] {
            if (requireAccountHook()) {
                requireAccountHook()();
            }
        },
        [](const QUrl& url) { QDesktopServices::openUrl(url); },
        environment.webBase().toString(),
        environment.isLocal(),
    };
}

QString OrlaAccountView::extensionDetailText(const QString& bridgeStatus)
{
    return u"Com a extensão do Chrome ou do Edge, a Orla abre apenas o link pedido; o resto do YouTube e do X continua "
           u"bloqueado. "_s
        + bridgeStatus;
}

QString OrlaAccountView::shieldDetailText(bool hasPermission)
{
    return hasPermission ? u"Em navegadores sem a extensão, a Orla mostra a tela de bloqueio no lugar do site."_s
                         : u"Precisa da acessibilidade da área de trabalho ligada. Os bloqueios do sistema funcionam "
                           u"mesmo sem ela."_s;
}

OrlaAccountView::OrlaAccountView(QWidget* parent) : OrlaAccountView(Services::shared(), parent)
{
}

OrlaAccountView::OrlaAccountView(Services services, QWidget* parent)
    : QScrollArea(parent), m_services(std::move(services))
{
    setAccessibleName(u"Conta"_s);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 8);
    column->setSpacing(26);

    // Header.
    auto* header = new QVBoxLayout;
    header->setSpacing(8);
    header->addWidget(AccountWidgets::text(u"Sua conta e seus navegadores."_s, 24, QFont::DemiBold, content));
    QLabel* lead
        = AccountWidgets::text(u"Uma conta mantém sites e horários iguais neste computador, no iPhone e na extensão."_s,
            13, QFont::Normal, content);
    m_muted << lead;
    header->addWidget(lead);
    column->addLayout(header);

    // The account card.
    m_card = new RoundedPanel(16, content);
    auto* card = new QVBoxLayout(m_card);
    card->setContentsMargins(18, 18, 18, 18);
    card->setSpacing(14);

    m_notLinked = new QWidget(m_card);
    auto* notLinked = new QVBoxLayout(m_notLinked);
    notLinked->setContentsMargins(0, 0, 0, 0);
    notLinked->setSpacing(14);
    notLinked->addWidget(
        AccountWidgets::text(u"Conecte este computador à sua conta."_s, 15, QFont::DemiBold, m_notLinked));
    QLabel* explain = AccountWidgets::text(u"Você confirma no navegador, com a mesma conta da extensão. A sessão fica "
                                           u"guardada no chaveiro do sistema."_s,
        12, QFont::Normal, m_notLinked);
    m_muted << explain;
    notLinked->addWidget(explain);
    auto* linkRow = new QHBoxLayout;
    linkRow->setSpacing(12);
    m_link = new BrandButton(u"Conectar minha conta"_s, true, m_notLinked);
    connect(m_link, &QAbstractButton::clicked, this, [this] { m_services.account->connect(); });
    linkRow->addWidget(m_link);
    m_code = plainLabel(QString(), m_notLinked);
    m_code->setFont(BrandFonts::font(18, QFont::DemiBold, BrandFonts::Design::Monospaced));
    m_code->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    linkRow->addWidget(m_code);
    linkRow->addStretch();
    notLinked->addLayout(linkRow);
    m_linkMessage = AccountWidgets::message(12, QFont::Normal, m_notLinked);
    m_muted << m_linkMessage;
    notLinked->addWidget(m_linkMessage);
    card->addWidget(m_notLinked);

    m_linked = new QWidget(m_card);
    auto* linked = new QVBoxLayout(m_linked);
    linked->setContentsMargins(0, 0, 0, 0);
    linked->setSpacing(14);
    auto* person = new QHBoxLayout;
    person->setSpacing(12);
    m_avatar = new PersonBadge(m_linked);
    person->addWidget(m_avatar, 0, Qt::AlignVCenter);
    auto* who = new QVBoxLayout;
    who->setSpacing(3);
    m_name = AccountWidgets::text({}, 14, QFont::DemiBold, m_linked);
    m_email = AccountWidgets::message(12, QFont::Normal, m_linked);
    m_message = AccountWidgets::message(12, QFont::Normal, m_linked);
    m_muted << m_message;
    for (QLabel* label : { m_name, m_email, m_message }) {
        who->addWidget(label);
    }
    person->addLayout(who, 1);
    linked->addLayout(person);
    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    m_open = new BrandButton(u"Abrir minha conta"_s, false, m_linked);
    m_sync = new BrandButton(u"Sincronizar agora"_s, false, m_linked);
    // Quieter than the other two: plain muted text.
    m_signOut = new LinkButton(u"Sair da conta"_s, u"Sair da conta"_s, 12, m_linked);
    for (BrandButton* button : { m_open, m_sync, m_link }) {
        button->setAccessibleName(button->text());
    }
    connect(m_open, &QAbstractButton::clicked, this, [this] {
        const QUrl url(m_services.webURL);
        if (url.isValid() && !url.isRelative() && m_services.openUrl) {
            m_services.openUrl(url);
        }
    });
    connect(m_sync, &QAbstractButton::clicked, this, [this] { m_services.account->syncNow(); });
    connect(m_signOut, &QAbstractButton::clicked, this, [this] {
        // The gate looks for a session, so it is asked once the sign-out is done.
        m_services.account->disconnect([requireAccount = m_services.requireAccount] {
            if (requireAccount) {
                requireAccount();
            }
        });
    });
    actions->addWidget(m_open);
    actions->addWidget(m_sync);
    actions->addStretch();
    actions->addWidget(m_signOut);
    linked->addLayout(actions);
    card->addWidget(m_linked);
    column->addWidget(m_card);

    // Browsers.
    auto* browsers = new QVBoxLayout;
    browsers->setSpacing(10);
    browsers->addWidget(AccountWidgets::text(u"Navegadores"_s, 13, QFont::DemiBold, content));
    m_extensionRow = option(u"Liberar só um vídeo ou tweet"_s, m_extensionDetail, m_extension);
    browsers->addWidget(m_extensionRow);
    browsers->addWidget(option(u"Tela da Orla nos navegadores"_s, m_shieldDetail, m_shield));
    column->addLayout(browsers);
    connect(m_extension, &QAbstractButton::clicked, this, [this](bool on) {
        m_services.bridge->setEnabled(on);
        refresh();
    });
    connect(m_shield, &QAbstractButton::clicked, this, [this](bool on) {
        m_services.shield->setEnabled(on);
        refresh();
    });

    m_localNote = AccountWidgets::text(u"Ambiente local · conta separada da produção"_s, 11, QFont::Normal, content);
    m_muted << m_localNote;
    m_localNote->setVisible(m_services.local);
    column->addWidget(m_localNote);
    column->addStretch();
    setWidget(content);

    connect(m_services.account, &DesktopAccountService::snapshotChanged, this, &OrlaAccountView::refresh);
    connect(m_services.account, &DesktopAccountService::stateChanged, this, &OrlaAccountView::refresh);
    connect(m_services.bridge, &DesktopBrowserBridge::enabledChanged, this, &OrlaAccountView::refresh);
    connect(m_services.bridge, &DesktopBrowserBridge::statusChanged, this, &OrlaAccountView::refresh);
    connect(m_services.shield, &BrowserShieldSwitch::changed, this, &OrlaAccountView::refresh);
    connect(m_services.assistant, &AssistantActivity::changed, this, &OrlaAccountView::refresh);
    connect(&Appearance::shared(), &Appearance::changed, this, &OrlaAccountView::applyColors);
    applyColors();
    refresh();
}

QWidget* OrlaAccountView::option(const QString& title, QLabel*& detail, QCheckBox*& toggle)
{
    auto* row = new RoundedPanel(14);
    m_options << row;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(14);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(AccountWidgets::text(title, 13, QFont::Medium, row));
    detail = AccountWidgets::text({}, 12, QFont::Normal, row);
    m_muted << detail;
    texts->addWidget(detail);
    layout->addLayout(texts, 1);
    toggle = new AccountSwitch(title, row);
    layout->addWidget(toggle, 0, Qt::AlignTop);
    return row;
}

OrlaAccountView::Card OrlaAccountView::card() const
{
    if (m_services.account->snapshot()) {
        return Card::linked;
    }
    return m_services.account->connecting() ? Card::linking : Card::notLinked;
}

void OrlaAccountView::refresh()
{
    DesktopAccountService& account = *m_services.account;
    const Card shown = card();
    m_notLinked->setVisible(shown != Card::linked);
    m_linked->setVisible(shown == Card::linked);

    const bool connecting = account.connecting();
    m_link->setText(connecting ? u"Aguardando confirmação…"_s : u"Conectar minha conta"_s);
    m_link->setAccessibleName(m_link->text());
    m_link->setEnabled(!connecting);
    const QString code = account.code();
    m_code->setText(code);
    m_code->setAccessibleName(code.isEmpty() ? QString() : u"Código "_s + code);
    m_code->setVisible(!code.isEmpty());

    if (const auto& snapshot = account.snapshot()) {
        const auto& user = snapshot->user;
        const bool named = user.name.has_value();
        m_name->setVisible(named);
        m_name->setText(user.name.value_or(QString()));
        m_email->setText(user.email);
        m_email->setFont(named ? BrandFonts::font(12) : BrandFonts::font(14, QFont::DemiBold));
        AccountWidgets::setInk(m_email, named ? BrandPalette::current().mutedInk : BrandPalette::current().ink);
        m_avatar->setPerson(user.name.value_or(QString()), user.email);
    }
    m_message->setText(account.message());
    // The linked card's status line is hidden until linked; a link that fails
    // says why here.
    m_linkMessage->setText(shown == Card::linked ? QString() : account.message());
    m_linkMessage->setVisible(!m_linkMessage->text().isEmpty());

    {
        const QSignalBlocker blockExtension(m_extension);
        const QSignalBlocker blockShield(m_shield);
        m_extension->setChecked(m_services.bridge->enabled());
        m_shield->setChecked(m_services.shield->enabled());
    }
    m_extensionDetail->setText(extensionDetailText(m_services.bridge->status()));
    const QString unreadable = m_services.shield->detail();
    m_shieldDetail->setText(shieldDetailText(m_services.shield->hasPermission())
        + (unreadable.isEmpty() ? QString() : u" "_s + unreadable));
    m_extensionRow->setEnabled(!m_services.assistant->busy());
}

void OrlaAccountView::applyColors()
{
    const BrandPalette& palette = BrandPalette::current();
    for (QLabel* label : m_muted) {
        AccountWidgets::setInk(label, palette.mutedInk);
    }
    m_card->setColors(BrandTokens::sunk(Appearance::shared().colorScheme()));
    m_signOut->setTextColor(palette.mutedInk);
    for (RoundedPanel* row : m_options) {
        row->setColors(pageColors().option, pageColors().hairline);
    }
    viewport()->setAutoFillBackground(false);
    if (m_services.account) {
        refresh();
    }
}

} // namespace kestravin
