#pragma once

#include <QObject>
#include <QScrollArea>
#include <QUrl>

#include <functional>

class QCheckBox;
class QLabel;

namespace kestravin {

class BrandButton;
class LinkButton;
class DesktopAccountService;
class DesktopBrowserBridge;

// The browser shield's switch as the account page shows it: the published
// value and permission, and the call that may refuse a change.
class BrowserShieldSwitch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual bool enabled() const = 0;
    virtual bool hasPermission() const = 0;
    virtual void setEnabled(bool on) = 0;
    // Why the shield cannot read a browser, when it cannot (empty otherwise).
    virtual QString detail() const { return {}; }

Q_SIGNALS:
    void changed();
};

// Whether an assistant access request is running.
class AssistantActivity : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual bool busy() const = 0;

Q_SIGNALS:
    void changed();
};

// The account page ("Conta"): the account card (not linked, linking with the
// device code, linked with the person and "Abrir minha conta", "Sincronizar
// agora", "Sair da conta") and the two browser switches. It keeps no state of
// its own: it shows what the services publish, and a switch that the service
// refuses springs back.
class OrlaAccountView : public QScrollArea {
    Q_OBJECT
public:
    struct Services {
        DesktopAccountService* account = nullptr;
        DesktopBrowserBridge* bridge = nullptr;
        BrowserShieldSwitch* shield = nullptr;
        AssistantActivity* assistant = nullptr;
        // The launch gate, after signing out.
        std::function<void()> requireAccount;
        std::function<void(const QUrl&)> openUrl;
        QString webURL;
        bool local = false;
        static Services shared();
    };
    enum class Card { notLinked, linking, linked };

    // Where the launch gate is reached from the shared page (the shell sets it).
    static std::function<void()>& requireAccountHook();

    explicit OrlaAccountView(QWidget* parent = nullptr);
    OrlaAccountView(Services services, QWidget* parent = nullptr);

    Card card() const;
    BrandButton* linkButton() const { return m_link; }
    QLabel* codeLabel() const { return m_code; }
    QLabel* nameLabel() const { return m_name; }
    QLabel* emailLabel() const { return m_email; }
    QLabel* messageLabel() const { return m_message; }
    // The account's message while not linked (a failed link, for one).
    QLabel* linkMessageLabel() const { return m_linkMessage; }
    BrandButton* openButton() const { return m_open; }
    BrandButton* syncButton() const { return m_sync; }
    LinkButton* signOutButton() const { return m_signOut; }
    QCheckBox* extensionSwitch() const { return m_extension; }
    QCheckBox* shieldSwitch() const { return m_shield; }
    QLabel* extensionDetail() const { return m_extensionDetail; }
    QLabel* shieldDetail() const { return m_shieldDetail; }
    QWidget* extensionRow() const { return m_extensionRow; }
    QLabel* localNote() const { return m_localNote; }

    static QString extensionDetailText(const QString& bridgeStatus);
    static QString shieldDetailText(bool hasPermission);

private:
    void refresh();
    void applyColors();
    QWidget* option(const QString& title, QLabel*& detail, QCheckBox*& toggle);

    Services m_services;
    QWidget* m_notLinked;
    QWidget* m_linked;
    BrandButton* m_link;
    QLabel* m_code;
    QLabel* m_linkMessage;
    class PersonBadge* m_avatar;
    QLabel* m_name;
    QLabel* m_email;
    QLabel* m_message;
    BrandButton* m_open;
    BrandButton* m_sync;
    LinkButton* m_signOut;
    QWidget* m_extensionRow;
    QCheckBox* m_extension;
    QLabel* m_extensionDetail;
    QCheckBox* m_shield;
    QLabel* m_shieldDetail;
    QLabel* m_localNote;
    QList<QLabel*> m_muted;
    QList<class RoundedPanel*> m_options;
    class RoundedPanel* m_card;
};

} // namespace kestravin
