#pragma once

#include <QDateTime>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;

namespace kestravin {

class BrandButton;
class FolgaLine;

// What the browser shield lays over a browser window showing a blocked page:
// a dark backdrop over the whole window and, centred on it, a card that says
// which site waits and when the focus ends, with the way back to the focus
// (Return presses it), "Pedir à Orla" where the assistant can help, "Fechar
// aba", and the break line. Always drawn in the dark scheme.
class BrowserShieldView : public QWidget {
    Q_OBJECT
public:
    static constexpr int cardWidth = 460;

    // What the view reads of the services when it is built.
    struct Inputs {
        QStringList blockedSites;
        bool bridgeEnabled = false;
        bool hasSession = false;
    };

    BrowserShieldView(QString host, QString message, std::optional<QDateTime> endsAt, Inputs inputs,
        std::function<void()> onFolga, std::function<void()> onRequest, std::function<void()> onCloseTab,
        std::function<void()> onDismiss, QWidget* parent = nullptr);

    // The site that waits: a TikTok host names itself, others the blocked
    // root that covers them.
    static std::optional<QString> site(const QString& host, const QStringList& blockedSites);
    static bool canRequest(const QString& host, const Inputs& inputs);
    static QString endLine(const std::optional<QDateTime>& endsAt);
    static QString detail(const QString& host, const Inputs& inputs, const std::optional<QDateTime>& endsAt);

    QLabel* titleLabel() const { return m_title; }
    QLabel* detailLabel() const { return m_detail; }
    BrandButton* dismissButton() const { return m_dismiss; }
    BrandButton* requestButton() const { return m_request; }
    BrandButton* closeTabButton() const { return m_closeTab; }
    FolgaLine* folgaLine() const { return m_folga; }
    QWidget* card() const { return m_card; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeCard();

    std::function<void()> m_onDismiss;
    QWidget* m_card = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_detail = nullptr;
    BrandButton* m_dismiss = nullptr;
    BrandButton* m_request = nullptr;
    BrandButton* m_closeTab = nullptr;
    FolgaLine* m_folga = nullptr;
};

} // namespace kestravin
