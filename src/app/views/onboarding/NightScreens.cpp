#include "app/views/onboarding/NightScreens.h"

#include "app/services/account/DesktopAccountService.h"
#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandAssets.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/mascot/PikoPose.h"
#include "app/views/mascot/PikoSprite.h"
#include "app/views/onboarding/OnboardingWidgets.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

bool reduceMotion()
{
    return Appearance::shared().reduceMotion();
}

QLabel* nightLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal)
{
    QFont font;
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QLabel* nightTitle(const QString& text, QWidget* parent)
{
    auto* title = nightLabel(text, Night::titleFont(), Night::title(), parent);
    title->setAlignment(Qt::AlignCenter);
    return title;
}

QLabel* nightBody(const QString& text, QWidget* parent)
{
    auto* body = nightLabel(text, systemFont(15), Night::text(), parent);
    body->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    body->setWordWrap(true);
    body->setFixedWidth(440);
    // A wrapped label in an aligned slot is not asked for its height at its
    // width; it takes the height its lines need.
    body->setMinimumHeight(std::max(0, body->heightForWidth(440)));
    return body;
}

QNetworkAccessManager* avatarNetwork = nullptr;

QNetworkAccessManager& network()
{
    if (!avatarNetwork) {
        static auto* shared = new QNetworkAccessManager;
        avatarNetwork = shared;
    }
    return *avatarNetwork;
}

} // namespace

namespace Night {

QColor title()
{
    return QColor(255, 249, 233);
}

QColor text()
{
    return QColor(185, 181, 168);
}

QFont titleFont()
{
    QFont font = OnboardingType::font(40, 550);
    font.setLetterSpacing(QFont::AbsoluteSpacing, -1.4);
    return font;
}

} // namespace Night

// ---------------------------------------------------------------------------

AvatarLoader::AvatarLoader(QNetworkAccessManager& network, qint64 byteCap, QStringList schemes, QObject* parent)
    : QObject(parent), m_network(network), m_byteCap(byteCap), m_schemes(std::move(schemes))
{
}

AvatarLoader::~AvatarLoader()
{
    if (m_reply) {
        m_reply->abort();
    }
}

bool AvatarLoader::allowed(const QUrl& url) const
{
    return url.isValid() && !url.host().isEmpty() && m_schemes.contains(url.scheme().toLower());
}

void AvatarLoader::load(const QUrl& url)
{
    if (m_reply) {
        QNetworkReply* old = m_reply;
        m_reply = nullptr;
        old->abort();
    }
    m_body.clear();
    if (!allowed(url)) {
        Q_EMIT failed();
        return;
    }
    QNetworkRequest request(url);
    // Every redirect is judged here: one to another scheme ends the fetch.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(3);
    request.setTransferTimeout(15000);
    QNetworkReply* reply = m_network.get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::redirected, this, [this, reply](const QUrl& target) {
        if (reply == m_reply && allowed(reply->url().resolved(target))) {
            Q_EMIT reply->redirectAllowed();
        } else {
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > m_byteCap) {
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        if (reply != m_reply) {
            return;
        }
        m_body += reply->read(m_byteCap + 1 - m_body.size());
        if (m_body.size() > m_byteCap) {
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finish(reply); });
}

void AvatarLoader::finish(QNetworkReply* reply)
{
    reply->deleteLater();
    if (reply != m_reply) {
        return;
    }
    m_reply = nullptr;
    if (reply->error() == QNetworkReply::NoError) {
        m_body += reply->read(m_byteCap + 1 - m_body.size());
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QImage image;
    if (reply->error() == QNetworkReply::NoError && status == 200 && m_body.size() <= m_byteCap) {
        image.loadFromData(m_body);
    }
    m_body.clear();
    if (image.isNull()) {
        Q_EMIT failed();
    } else {
        Q_EMIT loaded(image);
    }
}

// ---------------------------------------------------------------------------

void PersonAvatar::setNetwork(QNetworkAccessManager* network)
{
    avatarNetwork = network;
}

PersonAvatar::PersonAvatar(const WelcomePerson& person, int size, QWidget* parent) : QWidget(parent), m_size(size)
{
    setFixedSize(size, size);
    BrandAccessibility::setDecorative(this);
    setPerson(person);
}

void PersonAvatar::setPerson(const WelcomePerson& person)
{
    const bool samePicture = person.image == m_person.image && m_loader;
    m_person = person;
    update();
    if (samePicture) {
        return;
    }
    m_picture = QImage();
    delete m_loader;
    m_loader = nullptr;
    if (!person.image) {
        return;
    }
    m_loader = new AvatarLoader(network(), AvatarLoader::defaultByteCap, { u"https"_s }, this);
    connect(m_loader, &AvatarLoader::loaded, this, [this](const QImage& image) {
        m_picture = image;
        update();
    });
    m_loader->load(*person.image);
}

void PersonAvatar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF box(0, 0, m_size, m_size);
    QPainterPath circle;
    circle.addEllipse(box);
    painter.setClipPath(circle);
    painter.fillPath(circle, QColor(58, 48, 33));
    if (m_picture.isNull()) {
        const QFont font = BrandFonts::font(
            static_cast<int>(std::lround(0.48 * m_size)), QFont::DemiBold, BrandFonts::Design::Rounded);
        painter.setFont(font);
        painter.setPen(Night::title());
        painter.drawText(box, Qt::AlignCenter, initial());
    } else {
        // Scaled to fill the circle.
        const QSizeF size = m_picture.size().scaled(box.size().toSize(), Qt::KeepAspectRatioByExpanding);
        QRectF target(QPointF(), size);
        target.moveCenter(box.center());
        painter.drawImage(target, m_picture);
    }
    painter.setClipping(false);
    painter.setPen(QPen(withOpacity(QColor(248, 189, 82), 0.45), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(box.adjusted(0.5, 0.5, -0.5, -0.5));
}

// ---------------------------------------------------------------------------

WelcomeLayout::WelcomeLayout(WelcomePhase phase, QWidget* parent)
    : QWidget(parent),
      m_phase(phase),
      m_slot(new QWidget(this)),
      m_button(new BrandButton(u"Entrar ou criar conta"_s, true, this)),
      m_statusLine(new QWidget(this)),
      m_statusText(nightLabel(u" "_s, systemFont(12), Night::text(), m_statusLine)),
      m_personRow(new QWidget(m_statusLine)),
      m_avatar(new PersonAvatar({}, 22, m_personRow)),
      m_email(nightLabel({}, systemFont(12), Night::text(), m_personRow))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 41, 0, 40);
    column->setSpacing(0);
    column->addStretch(1);
    m_slot->setFixedSize(150, 110);
    BrandAccessibility::setDecorative(m_slot);
    column->addWidget(m_slot, 0, Qt::AlignHCenter);
    column->addSpacing(18);

    auto* title = nightTitle(u"Oi. Eu sou a Orla."_s, this);
    column->addWidget(title, 0, Qt::AlignHCenter);
    column->addSpacing(14);
    auto* body = nightBody(
        u"Eu guardo suas distrações enquanto você faz o que importa. Entre com Google ou com seu e-mail, e tudo fica salvo neste computador, no iPhone e no navegador."_s,
        this);
    column->addWidget(body, 0, Qt::AlignHCenter);
    column->addSpacing(30);

    auto* signIn = new QWidget(this);
    auto* block = new QVBoxLayout(signIn);
    block->setContentsMargins(0, 0, 0, 0);
    block->setSpacing(12);
    m_button->setMinimumWidth(210);
    block->addWidget(m_button, 0, Qt::AlignHCenter);
    m_statusLine->setFixedHeight(24);
    m_statusLine->setMinimumWidth(420);
    auto* line = new QHBoxLayout(m_statusLine);
    line->setContentsMargins(0, 0, 0, 0);
    m_statusText->setAlignment(Qt::AlignCenter);
    line->addWidget(m_statusText, 1);
    auto* personRow = new QHBoxLayout(m_personRow);
    personRow->setContentsMargins(0, 0, 0, 0);
    personRow->setSpacing(8);
    personRow->addStretch(1);
    personRow->addWidget(m_avatar);
    personRow->addWidget(m_email);
    personRow->addStretch(1);
    line->addWidget(m_personRow, 1);
    m_personRow->hide();
    block->addWidget(m_statusLine, 0, Qt::AlignHCenter);
    column->addWidget(signIn, 0, Qt::AlignHCenter);
    column->addStretch(1);

    m_items << welcomeItem(title, phase, 0, 0.12) << welcomeItem(body, phase, 1, 0.28)
            << welcomeItem(signIn, phase, 2, 0.44);
    connect(m_button, &QAbstractButton::clicked, this, &WelcomeLayout::signInClicked);
}

void WelcomeLayout::setPhase(WelcomePhase phase)
{
    m_phase = phase;
    for (WelcomeItem* item : m_items) {
        item->setPhase(phase);
    }
}

bool WelcomeLayout::isMoving() const
{
    return std::any_of(
        m_items.begin(), m_items.end(), [](const WelcomeItem* item) { return item->animator().isAnimating(); });
}

bool WelcomeLayout::showsPerson() const
{
    return m_state.person && (m_state.status.isEmpty() || m_state.status == u"Conta "_s + m_state.person->email);
}

QString WelcomeLayout::statusLineText() const
{
    return showsPerson() ? m_state.person->email : m_state.status;
}

void WelcomeLayout::setState(const State& state)
{
    m_state = state;
    m_button->setText(OnboardingCopy::signInLabel(
        state.waiting, state.signedIn, state.person ? state.person->firstName() : std::nullopt));
    m_button->setEnabled(!state.waiting);
    const bool person = showsPerson();
    m_personRow->setVisible(person);
    m_statusText->setVisible(!person);
    if (person) {
        m_avatar->setPerson(*state.person);
        m_email->setText(state.person->email);
        m_personRow->setAccessibleName(state.person->email);
    } else {
        // A blank line keeps its height.
        m_statusText->setText(state.status.isEmpty() ? u" "_s : state.status);
    }
}

// ---------------------------------------------------------------------------

ArrivingPiko::ArrivingPiko(QWidget* screen, QWidget* slot, double width)
    : QObject(screen), m_screen(screen), m_slot(slot), m_width(width)
{
    connect(&m_progress, &BrandTween::valueChanged, this, [this](double value) {
        if (m_piko) {
            m_piko->setProgress(value);
        }
    });
}

QRectF ArrivingPiko::slotRect() const
{
    if (!m_screen || !m_slot) {
        return {};
    }
    return QRectF(m_slot->mapTo(m_screen, QPoint(0, 0)), m_slot->size());
}

void ArrivingPiko::place()
{
    if (!m_piko || !m_screen) {
        return;
    }
    m_piko->setGeometry(m_screen->rect());
    const QRectF slot = slotRect();
    const QSizeF sprite(m_width, m_width / 1.5);
    m_piko->setRestOrigin(QPointF(slot.center().x() - sprite.width() / 2.0, slot.center().y() - sprite.height() / 2.0));
}

void ArrivingPiko::fly(const PikoArc& arc, int durationMs)
{
    delete m_piko;
    m_piko = new FlyingPiko(arc, m_width, false, m_screen);
    BrandAccessibility::setDecorative(m_piko);
    place();
    m_piko->show();
    m_piko->raise();
    if (reduceMotion()) {
        m_progress.jumpTo(1.0);
        m_piko->setProgress(1.0);
        m_piko->setLit(true);
        return;
    }
    m_progress.jumpTo(0.0);
    m_piko->setProgress(0.0);
    m_progress.animateTo(1.0, BrandMotion::cubicCurve(0.3, 0.4, 0.25, 1.0), durationMs);
}

void ArrivingPiko::setLit(bool lit)
{
    if (m_piko) {
        m_piko->setLit(lit);
    }
}

// ---------------------------------------------------------------------------

WelcomeStep::WelcomeStep(DesktopAccountService& account, QWidget* space, QWidget* parent)
    : QWidget(parent),
      m_account(account),
      m_space(space),
      m_layout(new WelcomeLayout(WelcomePhase::arriving, this)),
      m_mascot(new ArrivingPiko(this, m_layout->mascotSlot(), 150))
{
    auto* fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(m_layout);
    m_layout->setAccessibleName(u"Boas-vindas"_s);
    connect(m_layout, &WelcomeLayout::signInClicked, this, &WelcomeStep::signInRequested);
    connect(&account, &DesktopAccountService::stateChanged, this, &WelcomeStep::refresh);
    connect(&account, &DesktopAccountService::snapshotChanged, this, &WelcomeStep::refresh);
    refresh();
}

WelcomeLayout::State WelcomeStep::stateFor(const DesktopAccountService& account)
{
    WelcomeLayout::State state;
    state.waiting = account.connecting();
    state.signedIn = account.session().has_value();
    const auto& snapshot = account.snapshot();
    const bool known = state.signedIn && snapshot.has_value();
    state.status = OnboardingCopy::welcomeStatus(account.connecting(), account.code(),
        known ? std::optional<QString>(snapshot->user.email) : std::nullopt,
        account.connectError().value_or(QString()));
    if (known) {
        state.person = WelcomePerson { snapshot->user.name, snapshot->user.email, snapshot->user.image };
    }
    return state;
}

void WelcomeStep::refresh()
{
    m_layout->setState(stateFor(m_account));
}

void WelcomeStep::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // After the layout has placed the slot.
    QTimer::singleShot(0, this, &WelcomeStep::arrive);
}

void WelcomeStep::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_mascot->place();
}

void WelcomeStep::arrive()
{
    // Later appearances do not replay the entrance or move the frame.
    if (m_rest) {
        return;
    }
    QWidget* space = m_space ? m_space.data() : this;
    const QRectF slot(m_layout->mascotSlot()->mapTo(space, QPoint(0, 0)), m_layout->mascotSlot()->size());
    // The mascot's own frame (150 × 100) in the middle of its slot.
    QRectF frame(0, 0, 150, 100);
    frame.moveCenter(slot.center());
    m_rest = frame;
    Q_EMIT mascotMeasured(frame);
    PikoArc arc;
    arc.from = QPointF(-180.0 - frame.left(), 760.0 - frame.top());
    arc.fromScale = 0.45;
    arc.lift = 160;
    arc.blur = 3;
    m_mascot->fly(arc, 1700);
    if (reduceMotion()) {
        m_layout->setPhase(WelcomePhase::ready);
        Q_EMIT ready();
        return;
    }
    QTimer::singleShot(1720, this, [this] {
        m_mascot->setLit(true);
        m_layout->setPhase(WelcomePhase::ready);
        QTimer::singleShot(640, this, &WelcomeStep::ready);
    });
}

// ---------------------------------------------------------------------------

DawnCover::DawnCover(WelcomePhase phase, QWidget* parent) : QWidget(parent), m_layout(new WelcomeLayout(phase, this))
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    auto* night = new NightBackground(this);
    auto* inner = new QVBoxLayout(night);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->addWidget(m_layout);
    stack->addWidget(night);
    m_layout->setState({});
    BrandAccessibility::setDecorative(this);
}

void DawnCover::leave()
{
    m_layout->setPhase(WelcomePhase::leaving);
}

// ---------------------------------------------------------------------------

MenuBarStrip::MenuBarStrip(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(26);
    BrandAccessibility::setDecorative(this);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&m_ring, &BrandTween::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&m_ring, &BrandTween::valueChanged, this, [this](double value) {
        // Two runs of the pulse, then the ring stays invisible.
        if (value >= 1.0 && m_repeats > 0) {
            --m_repeats;
            if (m_repeats > 0) {
                QTimer::singleShot(0, this, [this] {
                    m_ring.jumpTo(0.0);
                    m_ring.animateTo(1.0, BrandMotion::easeOutCurve(), 1100);
                });
            }
        }
    });
}

void MenuBarStrip::setPointing(bool pointing)
{
    if (pointing == m_pointing) {
        return;
    }
    m_pointing = pointing;
    if (pointing && !reduceMotion()) {
        m_repeats = 2;
        m_ring.jumpTo(0.0);
        m_ring.animateTo(1.0, BrandMotion::easeOutCurve(), 1100);
    }
    update();
}

double MenuBarStrip::ringScale() const
{
    return 0.5 + 1.1 * m_ring.value();
}

double MenuBarStrip::ringOpacity() const
{
    if (!m_pointing || m_repeats == 0) {
        return 0.0;
    }
    return 0.9 * (1.0 - m_ring.value());
}

QRectF MenuBarStrip::iconRect() const
{
    return QRectF(width() - 16.0 - 16.0, (height() - 12.0) / 2.0, 16.0, 12.0);
}

void MenuBarStrip::hideEvent(QHideEvent* event)
{
    m_repeats = 0;
    m_ring.jumpTo(1.0);
    QWidget::hideEvent(event);
}

void MenuBarStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(0.9);
    painter.fillRect(rect(), withOpacity(Qt::white, 0.05));
    const QRectF icon = iconRect();
    const QFont clockFont = systemFont(11);
    painter.setFont(clockFont);
    painter.setPen(QColor(207, 201, 184));
    const double clockWidth = QFontMetricsF(clockFont).horizontalAdvance(u"9:41"_s);
    painter.drawText(QRectF(icon.left() - 14.0 - clockWidth, 0, clockWidth + 1, height()), Qt::AlignVCenter, u"9:41"_s);
    if (const BrandImage* artwork = BrandAssets::image(u"firefly-approved"_s)) {
        artwork->renderFitted(painter, icon);
    }
    const double opacity = ringOpacity();
    if (opacity > 0.0) {
        const double s = ringScale();
        QRectF ring(0, 0, 30 * s, 26 * s);
        ring.moveCenter(icon.center());
        painter.setOpacity(0.9 * opacity);
        painter.setPen(QPen(BrandTokens::accent(), 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(ring.adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

// ---------------------------------------------------------------------------

DoneStep::DoneStep(std::function<int()> blockedCount, QWidget* parent)
    : QWidget(parent),
      m_blockedCount(std::move(blockedCount)),
      m_slot(new QWidget(this)),
      m_title(nightTitle(u"Foco ativado."_s, this)),
      m_sentence(nightBody({}, this)),
      m_close(new QuietButton(u"Fechar"_s, QuietButton::Look::night, this)),
      m_strip(new MenuBarStrip(this)),
      m_mascot(new ArrivingPiko(this, m_slot, 120))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 41, 0, 40);
    column->setSpacing(0);
    column->addStretch(1);
    m_slot->setFixedSize(150, 110);
    BrandAccessibility::setDecorative(m_slot);
    column->addWidget(m_slot, 0, Qt::AlignHCenter);
    column->addSpacing(18);
    column->addWidget(m_title, 0, Qt::AlignHCenter);
    column->addSpacing(14);
    m_sentence->setText(OnboardingCopy::doneSentence(m_blockedCount()));
    column->addWidget(m_sentence, 0, Qt::AlignHCenter);
    column->addSpacing(30);
    column->addWidget(m_close, 0, Qt::AlignHCenter);
    column->addStretch(1);
    m_items << welcomeItem(m_title, m_phase, 0, 0.0) << welcomeItem(m_sentence, m_phase, 1, 0.16);
    connect(m_close, &QAbstractButton::clicked, this, &DoneStep::closeClicked);
}

void DoneStep::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_strip->setGeometry(0, 28, width(), 26);
    m_mascot->place();
}

void DoneStep::refresh()
{
    m_sentence->setText(OnboardingCopy::doneSentence(m_blockedCount()));
    m_sentence->setMinimumHeight(std::max(0, m_sentence->heightForWidth(m_sentence->width())));
}

void DoneStep::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
    QTimer::singleShot(0, this, &DoneStep::arrive);
}

void DoneStep::arrive()
{
    if (m_arrived) {
        return;
    }
    m_arrived = true;
    PikoArc arc;
    arc.from = QPointF(-220, 160);
    arc.fromScale = 0.6;
    arc.lift = 90;
    m_mascot->fly(arc, 1300);
    const auto setPhase = [this](WelcomePhase phase) {
        m_phase = phase;
        for (WelcomeItem* item : m_items) {
            item->setPhase(phase);
        }
    };
    if (reduceMotion()) {
        setPhase(WelcomePhase::ready);
        return;
    }
    QTimer::singleShot(1320, this, [this, setPhase] {
        m_mascot->setLit(true);
        setPhase(WelcomePhase::ready);
        QTimer::singleShot(900, this, [this] { m_strip->setPointing(true); });
    });
}

} // namespace kestravin
