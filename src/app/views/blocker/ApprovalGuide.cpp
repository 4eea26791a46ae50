#include "app/views/blocker/ApprovalGuide.h"

#include "app/platform/linux/X11WindowStates.h"
#include "app/services/daemon/HelperInstaller.h"
#include "app/views/blocker/FloatingPanel.h"
#include "app/views/brand/Appearance.h"
#include "app/views/brand/BrandFonts.h"
#include "app/views/brand/BrandShapes.h"
#include "app/views/brand/BrandTokens.h"
#include "app/views/brand/Firefly.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

constexpr int padding = 16;
constexpr int columnSpacing = 12;
constexpr int lineSpacing = 6;
constexpr double fireflySide = 44.0;
constexpr double cornerRadius = 18.0;
constexpr double borderOpacity = 0.45;
constexpr double noteOpacity = 0.8;

// The card itself: the mascot beside three lines, on a rounded card with a
// thin accent border. A floating window of its own that the user may drag.
class ApprovalGuideCard : public QWidget {
public:
    explicit ApprovalGuideCard(const QString& appName)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
    {
        setAttribute(Qt::WA_ShowWithoutActivating);
        FloatingPanel::prepare(this);
        setFocusPolicy(Qt::NoFocus);
        setFixedSize(ApprovalGuide::cardSize);

        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(padding, padding, padding, padding);
        row->setSpacing(columnSpacing);
        row->addWidget(new Firefly(fireflySide, this), 0, Qt::AlignTop);

        auto* lines = new QVBoxLayout();
        lines->setSpacing(lineSpacing);
        m_heading = label(u"Quase lá"_s, BrandFonts::font(13, QFont::DemiBold), Qt::PlainText);
        m_instruction = label(ApprovalGuide::instruction(appName), BrandFonts::font(12), Qt::RichText);
        m_note = label(u"Eu sigo sozinha assim que você ligar."_s, BrandFonts::font(11), Qt::PlainText);
        for (QLabel* line : { m_heading, m_instruction, m_note }) {
            lines->addWidget(line);
        }
        // Top-aligned: whatever height is left stays below the text.
        lines->addStretch(1);
        row->addLayout(lines, 1);

        applyColors();
        connect(&Appearance::shared(), &Appearance::changed, this, [this] { applyColors(); });
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const BrandPalette& palette = BrandPalette::current();
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF bounds = rect();
        painter.fillPath(BrandShapes::continuousRect(bounds, cornerRadius), palette.paper);
        painter.setPen(QPen(withOpacity(palette.accentRing, borderOpacity), 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(BrandShapes::strokeInside(bounds, cornerRadius, 1.0));
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && windowHandle() != nullptr) {
            windowHandle()->startSystemMove();
        }
    }

private:
    QLabel* label(const QString& text, const QFont& font, Qt::TextFormat format)
    {
        auto* line = new QLabel(text, this);
        line->setTextFormat(format);
        line->setWordWrap(true);
        line->setFont(font);
        line->setTextInteractionFlags(Qt::NoTextInteraction);
        return line;
    }

    void applyColors()
    {
        const BrandPalette& palette = BrandPalette::current();
        const std::pair<QLabel*, QColor> colors[] = {
            { m_heading, palette.ink },
            { m_instruction, palette.mutedInk },
            { m_note, withOpacity(palette.mutedInk, noteOpacity) },
        };
        for (const auto& [line, color] : colors) {
            QPalette p = line->palette();
            p.setColor(QPalette::WindowText, color);
            line->setPalette(p);
        }
        FloatingPanel::shape(this, ApprovalGuide::cardSize, cornerRadius);
        update();
    }

    QLabel* m_heading = nullptr;
    QLabel* m_instruction = nullptr;
    QLabel* m_note = nullptr;
};

} // namespace

ApprovalGuide::ApprovalGuide(QString displayName, QObject* parent)
    : QObject(parent), m_appName(displayName.replace(u".app"_s, QString()))
{
}

ApprovalGuide::~ApprovalGuide() = default;

ApprovalGuide& ApprovalGuide::shared()
{
    static auto* guide = new ApprovalGuide(QGuiApplication::applicationDisplayName());
    return *guide;
}

QString ApprovalGuide::instruction(const QString& appName)
{
    return u"Na <b>autenticação do sistema</b>, ligue o <b>"_s + appName.toHtmlEscaped() + u"</b> com a sua senha."_s;
}

void ApprovalGuide::show()
{
    if (m_panel) {
        // Where it is: a card the user dragged away stays there.
        m_panel->show();
        m_panel->raise();
        return;
    }
    m_panel = std::make_unique<ApprovalGuideCard>(m_appName);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        m_panel->move(area.x() + area.width() - cardSize.width() - cornerInset, area.y() + cornerInset);
    }
    m_panel->show();
    m_panel->raise();
    X11WindowStates::keepAboveOnEveryDesktop(m_panel->windowHandle());
}

void ApprovalGuide::hide()
{
    if (m_panel) {
        m_panel->hide();
        m_panel.reset();
    }
}

void ApprovalGuide::follow(HelperInstaller& installer)
{
    connect(&installer, &HelperInstaller::approvalGuideRequested, this, &ApprovalGuide::show);
    connect(&installer, &HelperInstaller::approvalGuideDismissed, this, &ApprovalGuide::hide);
}

} // namespace kestravin
