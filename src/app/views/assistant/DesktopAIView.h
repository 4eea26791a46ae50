#pragma once

#include "app/models/AssistantForm.h"
#include "app/models/AssistantScenes.h"

#include <QLocale>
#include <QPointer>
#include <QTimeZone>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QStackedLayout;
class QVBoxLayout;

namespace kestravin {

class AssistantPort;
class BrandButton;
class BrandTextEditor;
class ChoiceChips;
class CountdownDigits;
class Firefly;
class SceneTransition;
class Clock;
class KeyDownMonitor;
class OrlaGlow;
class Scheduler;
class ScreenReader;
class SiteIconStore;
class SiteSelect;
class Timer;

// The content of the assistant window: a gate (no linked account, or no focus
// running) or one of three stages that follow the request service: the form
// with its clarifying conversation, the evaluating scene and the answer with
// its countdown. The form keeps its fields for the life of the window. After
// an allowed request the window closes by itself 4 s after the last change of
// the end of access, unless a screen reader runs.
class DesktopAIView : public QWidget {
    Q_OBJECT
public:
    using Stage = AssistantScenes::Stage;

    struct Services {
        AssistantPort* port = nullptr;
        Clock* clock = nullptr;
        Scheduler* scheduler = nullptr;
        ScreenReader* screenReader = nullptr;
        SiteIconStore* icons = nullptr;
        QLocale locale;
        QTimeZone timeZone;
        std::function<void()> closeWindow;
    };

    explicit DesktopAIView(Services services, QWidget* parent = nullptr);
    ~DesktopAIView() override;

    Stage stage() const;
    bool focusActive() const;
    bool gateShown() const;
    bool closesItself() const;
    bool canSend() const;
    bool canReply() const;
    QStringList kinds() const;
    QString kind() const;
    void setKind(const QString& kind);
    QString currentSite() const;

    // The form's fields (tests, the shield's hand-over).
    QString url() const { return m_url; }
    int minutes() const { return m_minutes; }
    QString reason() const { return m_reason; }
    const QList<AssistantForm::Turn>& thread() const { return m_thread; }
    QString reply() const { return m_reply; }
    const std::optional<AssistantForm::Target>& target() const { return m_target; }

    void send();
    void sendReply();

    // Parts of the screen that tests drive.
    BrandButton* sendButton() const { return m_send; }
    QLineEdit* linkField() const { return m_link; }
    BrandTextEditor* reasonEditor() const { return m_reasonEditor; }
    BrandTextEditor* replyEditor() const { return m_replyEditor; }
    SiteSelect* siteSelect() const { return m_siteSelect; }
    QList<BrandButton*> answerButtons() const { return m_answerButtons; }
    QWidget* currentPage() const;
    OrlaGlow* evaluatingGlow() const { return m_evaluatingGlow; }
    OrlaGlow* answerGlow() const { return m_answerGlow; }
    bool isCountdownTicking() const;
    CountdownDigits* countdownDigits() const { return m_countdownTime; }
    SceneTransition* sceneTransition() const { return m_transition; }
    Firefly* headerMascot() const { return m_formMascot; }
    bool isClosePending() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* makeHeader(QWidget* parent);
    QWidget* makeGate();
    QWidget* makeForm();
    QWidget* makeEvaluating();
    QWidget* makeAnswer();
    QWidget* field(const QString& title, QWidget* parent, QVBoxLayout*& content);

    void refresh();
    void refreshGate();
    void refreshForm();
    void refreshEvaluating();
    void refreshAnswer();
    void refreshCountdown();
    void rebuildKindChips();
    void rebuildSiteSelect();
    void rebuildAnswerButtons(const AssistantScenes::Answer& answer);
    void runAction(AssistantScenes::Action action);
    void showPage(QWidget* page);
    // The mascot's square in a scene (in this view), and hiding it while it flies.
    std::optional<QRectF> mascotRect(QWidget* page) const;
    QImage mascotPicture(QWidget* page);
    void setMascotShown(QWidget* page, bool shown);
    void stageChanged(Stage from, Stage to);
    void formShown();
    void adopt(const QString& platform);
    void usePrefilledLink(const QString& link);
    void submit(const QString& shown);
    void clearConversation();
    void followAccessUntil();
    void followTicking();
    bool handleKey(QKeyEvent* event);
    AssistantForm::Fields fields() const;
    AssistantForm::LinkRoute linkRoute() const;
    AssistantForm::ReplyLimits replyLimits() const;
    AssistantScenes::Answer answer() const;
    QStringList roots() const;
    void applyColors();

    Services m_services;

    // The form's state.
    QString m_url;
    int m_minutes = 5;
    QString m_reason;
    QList<AssistantForm::Turn> m_thread;
    QString m_reply;
    std::optional<AssistantForm::Target> m_target;
    QString m_siteChoice;
    QString m_currentKind = QStringLiteral("youtube");
    struct Sent {
        QString what;
        int minutes = 0;
        QString reason;
    };
    std::optional<Sent> m_sent;

    std::optional<Stage> m_shownStage;
    bool m_shownGate = false;
    std::optional<QDateTime> m_followedAccessUntil;
    bool m_accessFollowed = false;
    std::unique_ptr<Timer> m_closeTimer;
    std::unique_ptr<Timer> m_countdownTimer;
    bool m_refreshing = false;

    QStackedLayout* m_pages = nullptr;
    SceneTransition* m_transition = nullptr;
    QWidget* m_gatePage = nullptr;
    QWidget* m_formPage = nullptr;
    QWidget* m_evaluatingPage = nullptr;
    QWidget* m_answerPage = nullptr;

    Firefly* m_formMascot = nullptr;

    // Gate.
    QLabel* m_gateTitle = nullptr;
    QLabel* m_gateDetail = nullptr;
    BrandButton* m_connect = nullptr;
    QLabel* m_code = nullptr;

    // Form.
    QVBoxLayout* m_kindContent = nullptr;
    ChoiceChips* m_kindChips = nullptr;
    QStringList m_chipKinds;
    SiteSelect* m_siteSelect = nullptr;
    QStringList m_selectRoots;
    QLineEdit* m_link = nullptr;
    QWidget* m_problemRow = nullptr;
    QLabel* m_problem = nullptr;
    std::function<void(const QString&)> m_problemLine;
    ChoiceChips* m_minuteChips = nullptr;
    QLabel* m_xDuration = nullptr;
    BrandTextEditor* m_reasonEditor = nullptr;
    QLabel* m_hint = nullptr;
    BrandButton* m_send = nullptr;

    // Evaluating.
    OrlaGlow* m_evaluatingGlow = nullptr;
    QLabel* m_sentSummary = nullptr;
    QLabel* m_sentReason = nullptr;

    // Answer.
    OrlaGlow* m_answerGlow = nullptr;
    QWidget* m_verdict = nullptr;
    QLabel* m_eyebrow = nullptr;
    QLabel* m_headline = nullptr;
    QWidget* m_countdown = nullptr;
    CountdownDigits* m_countdownTime = nullptr;
    QLabel* m_countdownLine = nullptr;
    QLabel* m_closingNote = nullptr;
    QLabel* m_detail = nullptr;
    QWidget* m_replyBox = nullptr;
    BrandTextEditor* m_replyEditor = nullptr;
    QLabel* m_replyWarning = nullptr;
    std::function<void(const QString&)> m_replyWarningLine;
    QHBoxLayout* m_buttonRow = nullptr;
    QList<BrandButton*> m_answerButtons;
    QList<AssistantScenes::Button> m_shownButtons;

    KeyDownMonitor* m_keys = nullptr;
};

} // namespace kestravin
