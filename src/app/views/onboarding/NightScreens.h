#pragma once

#include "app/views/brand/BrandMotion.h"
#include "app/views/onboarding/OnboardingValues.h"

#include <QAbstractButton>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QNetworkAccessManager;
class QNetworkReply;

namespace kestravin {

class BrandButton;
class DesktopAccountService;
class FlyingPiko;
class QuietButton;
class WelcomeItem;
struct PikoArc;

// The colours and title font of the two night screens.
namespace Night {
QColor title();
QColor text();
QFont titleFont();
} // namespace Night

// The signed-in person as the welcome screen greets them.
struct WelcomePerson {
    std::optional<QString> name;
    QString email;
    std::optional<QUrl> image;

    std::optional<QString> firstName() const { return OnboardingCopy::firstName(name); }
    bool operator==(const WelcomePerson&) const = default;
};

// Fetches an account picture: only over https, at most `byteCap` bytes, and
// never following a redirect to another scheme. Anything else ends without a
// picture.
class AvatarLoader : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 defaultByteCap = 2 * 1024 * 1024;

    explicit AvatarLoader(QNetworkAccessManager& network, qint64 byteCap = defaultByteCap,
        QStringList schemes = { QStringLiteral("https") }, QObject* parent = nullptr);
    ~AvatarLoader() override;

    bool allowed(const QUrl& url) const;
    // Replaces any fetch in flight.
    void load(const QUrl& url);

Q_SIGNALS:
    void loaded(const QImage& image);
    void failed();

private:
    void finish(QNetworkReply* reply);

    QNetworkAccessManager& m_network;
    qint64 m_byteCap;
    QStringList m_schemes;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
};

// A round picture of the person, or their initial on a warm disc.
class PersonAvatar : public QWidget {
    Q_OBJECT
public:
    PersonAvatar(const WelcomePerson& person, int size, QWidget* parent = nullptr);

    void setPerson(const WelcomePerson& person);
    const WelcomePerson& person() const { return m_person; }
    QString initial() const { return OnboardingCopy::avatarInitial(m_person.name, m_person.email); }
    bool hasPicture() const { return !m_picture.isNull(); }

    // The network the pictures are fetched through (the application's own by default).
    static void setNetwork(QNetworkAccessManager* network);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    WelcomePerson m_person;
    int m_size;
    QImage m_picture;
    AvatarLoader* m_loader = nullptr;
};

// The welcome screen's column: the mascot's slot, the greeting, the short text
// and the sign-in button over its status line. The dawn draws it once more.
class WelcomeLayout : public QWidget {
    Q_OBJECT
public:
    explicit WelcomeLayout(WelcomePhase phase, QWidget* parent = nullptr);

    struct State {
        bool waiting = false;
        bool signedIn = false;
        QString status;
        std::optional<WelcomePerson> person;
        bool operator==(const State&) const = default;
    };
    void setState(const State& state);
    const State& state() const { return m_state; }
    void setPhase(WelcomePhase phase);
    WelcomePhase phase() const { return m_phase; }

    QWidget* mascotSlot() const { return m_slot; }
    BrandButton* signInButton() const { return m_button; }
    // Whether the status line shows the person (avatar and e-mail) now.
    bool showsPerson() const;
    QString statusLineText() const;
    QWidget* statusLine() const { return m_statusLine; }
    PersonAvatar* avatar() const { return m_avatar; }
    // Whether a text is still rising in or leaving.
    bool isMoving() const;

Q_SIGNALS:
    void signInClicked();

private:
    State m_state;
    WelcomePhase m_phase;
    QWidget* m_slot;
    BrandButton* m_button;
    QWidget* m_statusLine;
    QLabel* m_statusText;
    QWidget* m_personRow;
    PersonAvatar* m_avatar;
    QLabel* m_email;
    QList<WelcomeItem*> m_items;
};

// The mascot flying into a slot of a night screen, drawn over the whole screen
// (its flight starts outside the slot).
class ArrivingPiko : public QObject {
    Q_OBJECT
public:
    ArrivingPiko(QWidget* screen, QWidget* slot, double width);

    // Measures the slot and flies in along `arc` over `durationMs`; under
    // reduce motion the mascot is lit in place at once.
    void fly(const PikoArc& arc, int durationMs);
    void setLit(bool lit);
    FlyingPiko* piko() const { return m_piko; }
    double progress() const { return m_progress.value(); }
    // The slot's rectangle in the screen.
    QRectF slotRect() const;
    void place();

private:
    QPointer<QWidget> m_screen;
    QPointer<QWidget> m_slot;
    double m_width;
    FlyingPiko* m_piko = nullptr;
    BrandTween m_progress { 0.0 };
};

// The first screen: Orla greets the user, the mascot flies in, and one button
// links this computer to an account.
class WelcomeStep : public QWidget {
    Q_OBJECT
public:
    // `space` is the wizard's whole content; the mascot's frame is measured in it.
    WelcomeStep(DesktopAccountService& account, QWidget* space, QWidget* parent = nullptr);

    WelcomeLayout* layoutView() const { return m_layout; }
    WelcomePhase phase() const { return m_layout->phase(); }
    const ArrivingPiko& mascot() const { return *m_mascot; }
    std::optional<QRectF> rest() const { return m_rest; }

    // The state shown for the account now.
    static WelcomeLayout::State stateFor(const DesktopAccountService& account);

Q_SIGNALS:
    void signInRequested();
    // The mascot's frame in the wizard's space, once.
    void mascotMeasured(const QRectF& frame);
    // The entrance has ended: Return may sign in.
    void ready();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void arrive();
    void refresh();

    DesktopAccountService& m_account;
    QPointer<QWidget> m_space;
    WelcomeLayout* m_layout;
    ArrivingPiko* m_mascot;
    std::optional<QRectF> m_rest;
};

// The night picture that the dawn cuts away: the welcome screen without its
// mascot, with a blank sign-in, its texts leaving as soon as it is shown.
class DawnCover : public QWidget {
    Q_OBJECT
public:
    explicit DawnCover(WelcomePhase phase, QWidget* parent = nullptr);
    WelcomeLayout* layoutView() const { return m_layout; }
    void leave();

private:
    WelcomeLayout* m_layout;
};

// A drawn strip of a desktop's top bar: a clock and the mascot's tray icon,
// with a ring that pulses twice around the icon to show where the app lives.
class MenuBarStrip : public QWidget {
    Q_OBJECT
public:
    explicit MenuBarStrip(QWidget* parent = nullptr);

    void setPointing(bool pointing);
    bool isPointing() const { return m_pointing; }
    // The ring's scale and opacity now.
    double ringScale() const;
    double ringOpacity() const;
    bool ringRunning() const { return m_ring.isAnimating() || m_repeats > 0; }
    QRectF iconRect() const;

    QSize sizeHint() const override { return QSize(400, 26); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool m_pointing = false;
    int m_repeats = 0;
    BrandTween m_ring { 0.0 };
};

// The last screen: focus is on, how many sites wait for later, and where the
// app lives from now on.
class DoneStep : public QWidget {
    Q_OBJECT
public:
    // `blockedCount` is read when the screen shows and on each refresh.
    DoneStep(std::function<int()> blockedCount, QWidget* parent = nullptr);

    QLabel* sentence() const { return m_sentence; }
    QuietButton* closeButton() const { return m_close; }
    MenuBarStrip* strip() const { return m_strip; }
    WelcomePhase titlePhase() const { return m_phase; }
    const ArrivingPiko& mascot() const { return *m_mascot; }
    // Counts the blocked sites again.
    void refresh();

Q_SIGNALS:
    void closeClicked();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void arrive();

    std::function<int()> m_blockedCount;
    WelcomePhase m_phase = WelcomePhase::arriving;
    bool m_arrived = false;
    QWidget* m_slot;
    QLabel* m_title;
    QLabel* m_sentence;
    QuietButton* m_close;
    MenuBarStrip* m_strip;
    ArrivingPiko* m_mascot;
    QList<WelcomeItem*> m_items;
};

} // namespace kestravin
