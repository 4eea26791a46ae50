#include "Gallery.h"

#include "app/views/brand/BrandAccessibility.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandTextField.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/ChoiceChips.h"
#include "app/views/brand/Firefly.h"
#include "app/views/brand/KeyCap.h"
#include "app/views/brand/RollingText.h"
#include "app/views/brand/SelectionCheck.h"
#include "app/views/brand/SocialLabel.h"
#include "app/views/mascot/PikoSprite.h"

#include <QApplication>
#include <QEnterEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

QColor pageColor()
{
    return Appearance::shared().isDark() ? QColor(30, 28, 26) : QColor(250, 248, 245);
}

QLabel* caption(const QString& text)
{
    auto* label = new QLabel(text);
    label->setFont(BrandFonts::font(11, QFont::DemiBold));
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QHBoxLayout* row(int spacing = 10)
{
    auto* layout = new QHBoxLayout;
    layout->setSpacing(spacing);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

// Shows the symbols the controls draw, tinted with the text colour.
class SymbolStrip : public QWidget {
public:
    explicit SymbolStrip(const QStringList& names) : m_names(names)
    {
        BrandAccessibility::setDecorative(this);
        setFixedSize(static_cast<int>(names.size()) * 26, 22);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        for (qsizetype i = 0; i < m_names.size(); ++i) {
            BrandMotionIcon::paintSymbol(painter, m_names[i], QRectF(static_cast<double>(i) * 26 + 2, 2, 18, 18),
                palette().color(QPalette::WindowText), {});
        }
    }

private:
    QStringList m_names;
};

BrandButton* g_hovered = nullptr;
BrandButton* g_focused = nullptr;
QLineEdit* g_focusedField = nullptr;
SelectionCheck* g_check = nullptr;
FlyingPiko* g_flight = nullptr;

} // namespace

Gallery::Gallery(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(u"Kestravin gallery"_s);
    applyPalette();
    connect(&Appearance::shared(), &Appearance::changed, this, [this] {
        applyPalette();
        update();
    });

    auto* page = new QHBoxLayout(this);
    page->setContentsMargins(24, 20, 24, 24);
    page->setSpacing(28);
    auto* left = new QVBoxLayout;
    left->setSpacing(10);
    auto* right = new QVBoxLayout;
    right->setSpacing(10);
    page->addLayout(left);
    page->addLayout(right);

    left->addWidget(new BrandHeader);

    left->addWidget(caption(u"Botões"_s));
    auto* buttons = row();
    buttons->addWidget(new BrandButton(u"Cancelar"_s));
    g_hovered = new BrandButton(u"Em foco"_s);
    buttons->addWidget(g_hovered);
    auto* next = new BrandButton(u"Continuar"_s, true);
    next->setSymbol(u"arrow.right"_s, BrandIconMotion::Forward);
    buttons->addWidget(next);
    buttons->addStretch();
    left->addLayout(buttons);
    auto* buttons2 = row();
    g_focused = new BrandButton(u"Bloquear agora"_s, true);
    buttons2->addWidget(g_focused);
    auto* settings = new BrandButton(u"Ajustes"_s);
    settings->setSymbol(u"gearshape"_s, BrandIconMotion::Settings, BrandButton::IconPosition::Leading);
    buttons2->addWidget(settings);
    auto* disabled = new BrandButton(u"Indisponível"_s, true);
    disabled->setEnabled(false);
    buttons2->addWidget(disabled);
    buttons2->addStretch();
    left->addLayout(buttons2);

    left->addWidget(caption(u"Campos"_s));
    // Each field sits under the caption that names it.
    auto* field = new QLineEdit;
    field->setPlaceholderText(u"Digite um site, como exemplo.com"_s);
    BrandTextFieldStyle::apply(field);
    g_focusedField = new QLineEdit(u"youtube.com"_s);
    BrandTextFieldStyle::apply(g_focusedField);
    auto* editor = new BrandTextEditor;
    editor->setText(u"Preciso assistir a uma aula no YouTube por 10 minutos."_s);
    const std::pair<QString, QWidget*> captioned[] = {
        { u"Novo site"_s, field },
        { u"Site bloqueado"_s, g_focusedField },
        { u"Pedido"_s, editor },
    };
    for (const auto& [text, input] : captioned) {
        auto* label = new QLabel(text);
        label->setFont(BrandFonts::font(11));
        BrandAccessibility::labelField(label, input);
        auto* pair = new QVBoxLayout;
        pair->setSpacing(4);
        pair->addWidget(label);
        pair->addWidget(input);
        left->addLayout(pair);
    }

    left->addWidget(caption(u"Teclas e marcas"_s));
    auto* keys = row(6);
    for (const QString& key : { u"esc"_s, u"\u232B"_s, u"\u2190"_s, u"\u2192"_s, u"\u21E7 Tab"_s }) {
        keys->addWidget(new KeyCap(key));
    }
    keys->addSpacing(16);
    keys->addWidget(new SelectionCheck(false, 20));
    g_check = new SelectionCheck(false, 20);
    keys->addWidget(g_check);
    keys->addWidget(new SelectionCheck(true, 24));
    keys->addStretch();
    left->addLayout(keys);

    left->addWidget(caption(u"Horários"_s));
    auto* times = row(16);
    auto* range = new RollingRange(480, 1080);
    range->setFont(BrandFonts::font(15, QFont::DemiBold));
    times->addWidget(range);
    auto* time = new RollingTime(570);
    time->setFont(BrandFonts::font(15, QFont::Normal));
    times->addWidget(time);
    times->addStretch();
    left->addLayout(times);

    left->addWidget(caption(u"Escolhas"_s));
    left->addWidget(new ChoiceChips({ u"15 min"_s, u"30 min"_s, u"1 h"_s, u"2 h"_s }, 1));
    auto* switches = row();
    switches->addWidget(new SegmentedSwitch({ u"Dia"_s, u"Semana"_s }, 0));
    switches->addWidget(new SegmentedSwitch({ u"Sites"_s, u"Apps"_s, u"Horários"_s }, 2));
    switches->addStretch();
    left->addLayout(switches);
    left->addStretch();

    right->addWidget(caption(u"Plataformas"_s));
    auto* logos = new QGridLayout;
    logos->setHorizontalSpacing(18);
    logos->setVerticalSpacing(8);
    const QStringList platforms { u"youtube"_s, u"instagram"_s, u"x"_s, u"tiktok"_s, u"reddit"_s, u"facebook"_s,
        u"linkedin"_s, u"netflix"_s, u"twitch"_s, u"primevideo"_s, u"g1"_s, u"uol"_s, u"mercadolivre"_s, u"amazon"_s,
        u"shopee"_s, u"steam"_s, u"roblox"_s };
    for (qsizetype i = 0; i < platforms.size(); ++i) {
        auto* label = new SocialLabel(platforms[i], std::nullopt, 18);
        label->setFont(BrandFonts::font(13));
        logos->addWidget(label, static_cast<int>(i / 3), static_cast<int>(i % 3));
    }
    right->addLayout(logos);

    right->addWidget(caption(u"Símbolos"_s));
    right->addWidget(new SymbolStrip({ u"arrow.right"_s, u"arrow.up.right"_s, u"xmark"_s, u"checkmark"_s, u"plus"_s,
        u"magnifyingglass"_s, u"chevron.left"_s, u"chevron.right"_s, u"chevron.down"_s, u"lock.fill"_s }));
    right->addWidget(new SymbolStrip(
        { u"gearshape"_s, u"sparkles"_s, u"info.circle"_s, u"exclamationmark.circle"_s, u"checkmark.circle.fill"_s,
            u"arrow.down.circle.fill"_s, u"hand.raised"_s, u"app.dashed"_s, u"figure.walk"_s, u"figure.run"_s }));

    right->addWidget(caption(u"Piko"_s));
    auto* mascots = row(12);
    mascots->addWidget(new Firefly(30), 0, Qt::AlignBottom);
    mascots->addWidget(new Firefly(48), 0, Qt::AlignBottom);
    mascots->addWidget(new Firefly(64), 0, Qt::AlignBottom);
    auto* sprite = new PikoSprite(120, false, true);
    mascots->addWidget(sprite, 0, Qt::AlignBottom);
    mascots->addStretch();
    right->addLayout(mascots);

    auto* night = new NightBackground;
    night->setFixedSize(460, 260);
    auto* nightLayout = new QGridLayout(night);
    nightLayout->setContentsMargins(0, 0, 0, 0);
    g_flight = new FlyingPiko(PikoArc { QPointF(-220, 160), 0.6, 90, 6 }, 150, true);
    g_flight->setRestOrigin(QPointF(260, 70));
    nightLayout->addWidget(g_flight, 0, 0);
    auto* resting = new FlyingPiko(PikoArc { QPointF(0, 0), 1, 0, 0 }, 110, false);
    resting->setProgress(1.0);
    resting->setRestOrigin(QPointF(40, 150));
    nightLayout->addWidget(resting, 0, 0);
    auto* activity = new PikoActivity(true);
    nightLayout->addWidget(activity, 0, 0, Qt::AlignHCenter | Qt::AlignBottom);
    right->addWidget(night);
    right->addStretch();
}

void Gallery::applyPalette()
{
    const BrandPalette& brand = BrandPalette::current();
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, pageColor());
    palette.setColor(QPalette::WindowText, brand.ink);
    palette.setColor(QPalette::Text, brand.ink);
    palette.setColor(QPalette::PlaceholderText, brand.mutedInk);
    setPalette(palette);
}

void Gallery::stage()
{
    QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), QPointF(4, 4));
    QApplication::sendEvent(g_hovered, &enter);
    // Keyboard focus on the prominent button shows its corner dot; the field's
    // focus ring is drawn from its own state.
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(g_focusedField, &focusIn);
    g_focused->setFocus(Qt::TabFocusReason);
    QApplication::sendEvent(g_focused, &focusIn);
    g_check->setOn(true);
    g_flight->setProgress(0.62);
}

void Gallery::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), pageColor());
}

} // namespace kestravin
