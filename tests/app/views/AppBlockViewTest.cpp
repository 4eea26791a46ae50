// The app block view and the approval guide card, grabbed offscreen in both
// appearances.
#include "app/views/blocker/AppBlockView.h"
#include "app/models/WeekSchedule.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/views/blocker/ApprovalGuide.h"
#include "app/views/blocker/FolgaLine.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/brand/BrandTokens.h"

#include "ViewsTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QScreen>

using namespace Qt::StringLiterals;
using namespace kestravin;
using namespace kestravin::testing_support;

namespace {

class AppBlockViewTest : public AppearanceTest { };
using ApprovalGuideTest = AppBlockViewTest;

struct SchemeColors {
    ColorScheme scheme;
    QColor text, card, secondary, border;
};

const SchemeColors schemes[] = {
    { ColorScheme::Light, QColor(0x2C2925), QColor(0xFFFEFC), QColor(0x716B63), QColor(0xB17A20) },
    { ColorScheme::Dark, QColor(0xFAF7F1), QColor(0x282623), QColor(0xBDB6AC), QColor(0xF8BD52) },
};

std::unique_ptr<AppBlockView> makeView(const QString& name, const QIcon& icon = {},
    std::optional<QDateTime> endsAt = std::nullopt, std::function<void()> onReturn = {})
{
    auto view = std::make_unique<AppBlockView>(
        name, icon, endsAt, [] {}, std::move(onReturn));
    view->resize(view->sizeHint());
    view->layout()->activate();
    return view;
}

// Whether some pixel of `area` is within `tolerance` of `color`.
bool containsColor(const QImage& image, const QRect& area, const QColor& color, int tolerance)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (sameColor(pixel(image, x, y), color, tolerance)) {
                return true;
            }
        }
    }
    return false;
}

bool onlyColor(const QImage& image, const QRect& area, const QColor& color)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!sameColor(pixel(image, x, y), color)) {
                return false;
            }
        }
    }
    return true;
}

QWidget* iconBox(const AppBlockView& view)
{
    for (auto* child : view.findChildren<QWidget*>()) {
        if (child->size() == QSize(64, 60)) {
            return child;
        }
    }
    return nullptr;
}

TEST(AppBlockViewText, EndLineSaysWhenTheAppOpensAgain)
{
    struct Case {
        std::optional<QDateTime> endsAt;
        QString expected;
    };
    const QDate day(2026, 3, 2);
    const Case cases[] = {
        { std::nullopt, u"Quando seu foco terminar, o app abre normalmente."_s },
        { QDateTime(), u"Quando seu foco terminar, o app abre normalmente."_s },
        { QDateTime(day, QTime(18, 0), Qt::LocalTime),
            u"Seu foco termina às "_s + WeekSchedule::timeLabel(1080) + u". Depois disso, o app abre normalmente."_s },
        { QDateTime(day, QTime(18, 0), Qt::LocalTime),
            u"Seu foco termina às 18h. Depois disso, o app abre normalmente."_s },
        // Seconds do not count; minutes do.
        { QDateTime(day, QTime(9, 30, 59), Qt::LocalTime),
            u"Seu foco termina às 9h30. Depois disso, o app abre normalmente."_s },
        { QDateTime(day, QTime(0, 5), Qt::LocalTime),
            u"Seu foco termina às 0h05. Depois disso, o app abre normalmente."_s },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AppBlockView::endLine(c.endsAt), c.expected);
    }
}

TEST_F(AppBlockViewTest, CardTextsAndColoursFollowTheAppearance)
{
    const auto view = makeView(u"Discord"_s, {}, QDateTime(QDate(2026, 3, 2), QTime(18, 0), Qt::LocalTime));
    EXPECT_EQ(view->titleLabel()->text(), u"Discord fica para depois."_s);
    EXPECT_EQ(view->endLineLabel()->text(), u"Seu foco termina às 18h. Depois disso, o app abre normalmente."_s);
    EXPECT_EQ(view->returnButton()->text(), u"Voltar ao foco"_s);
    EXPECT_TRUE(view->returnButton()->isProminent());
    EXPECT_EQ(view->width(), 460);

    // One view, switched live: all colour pairs change together.
    for (const SchemeColors& colors : schemes) {
        SCOPED_TRACE(colors.scheme == ColorScheme::Dark ? "dark" : "light");
        setAppearance(colors.scheme, false);
        const QImage image = grabImage(*view);
        const int middle = view->width() / 2;
        EXPECT_TRUE(sameColor(pixel(image, middle, view->height() - 10), colors.card));
        // The border: one line inside the edge at 0.45 over the card.
        EXPECT_TRUE(sameColor(pixel(image, middle, 0), blend(colors.card, colors.border, 0.45), 6));
        EXPECT_TRUE(sameColor(pixel(image, middle, 5), colors.card));
        EXPECT_TRUE(containsColor(image, view->titleLabel()->geometry(), colors.text, 12));
        EXPECT_TRUE(containsColor(image, view->endLineLabel()->geometry(), colors.secondary, 12));
        EXPECT_FALSE(containsColor(image, view->endLineLabel()->geometry(), colors.text, 12));
    }
}

TEST_F(AppBlockViewTest, IconIsFadedAndTheMascotSitsInTheBoxCorner)
{
    QPixmap red(52, 52);
    red.fill(Qt::red);
    const auto withIcon = makeView(u"Jogo"_s, QIcon(red));
    const auto withoutIcon = makeView(u"Jogo"_s);

    for (const AppBlockView* view : { withIcon.get(), withoutIcon.get() }) {
        QWidget* box = iconBox(*view);
        ASSERT_NE(box, nullptr);
        const QImage image = grabImage(*const_cast<AppBlockView*>(view));
        const QRect area = box->geometry();
        // The mascot hangs in the lower-right corner either way.
        EXPECT_FALSE(onlyColor(image, QRect(area.x() + 30, area.y() + 26, 34, 34), QColor(0xFFFEFC)));
        const QColor topLeft = pixel(image, area.x() + 10, area.y() + 10);
        if (view == withIcon.get()) {
            // Red at saturation 0.4 (luminance weights), then 0.85 over the card.
            EXPECT_TRUE(sameColor(topLeft, QColor(153, 66, 65), 3));
        } else {
            EXPECT_TRUE(onlyColor(image, QRect(area.x(), area.y(), 28, 24), QColor(0xFFFEFC)));
        }
    }
}

TEST_F(AppBlockViewTest, LongNamesWrapWhileTheCardStays460Wide)
{
    const auto shortName = makeView(u"Discord"_s);
    const auto longName = makeView(u"Um aplicativo com um nome muito, muito comprido que não cabe numa linha só"_s);
    EXPECT_EQ(longName->sizeHint().width(), 460);
    EXPECT_GT(longName->sizeHint().height(), shortName->sizeHint().height());
    const QFontMetrics metrics(longName->titleLabel()->font());
    EXPECT_GE(longName->titleLabel()->height(), 2 * metrics.lineSpacing());
    // Markup in an app's name is shown as it is.
    EXPECT_EQ(makeView(u"<b>x</b>"_s)->titleLabel()->textFormat(), Qt::PlainText);
}

TEST_F(AppBlockViewTest, ReturnKeyAndButtonGoBackToTheFocus)
{
    int returns = 0;
    const auto view = makeView(u"Discord"_s, {}, std::nullopt, [&] { ++returns; });
    view->show();
    QApplication::setActiveWindow(view.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    view->setFocus();
    QTest::keyClick(view.get(), Qt::Key_Return);
    EXPECT_EQ(returns, 1);
    // Also while the button itself holds the keyboard.
    view->returnButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(view->returnButton(), Qt::Key_Enter);
    EXPECT_EQ(returns, 2);
    QTest::mouseClick(view->returnButton(), Qt::LeftButton, {}, view->returnButton()->rect().center());
    EXPECT_EQ(returns, 3);
}

TEST_F(AppBlockViewTest, BreakLineTakesNoRoomWithoutABreakState)
{
    const auto view = makeView(u"Discord"_s);
    const int height = view->sizeHint().height();
    EXPECT_FALSE(view->folgaLine()->isVisibleTo(view.get()));
    // Signed in, the account still reports no break: nothing to offer.
    DesktopAccountService::shared().setSnapshot(DesktopAccountSnapshot { AccountFocus { true, 1e15 }, std::nullopt });
    EXPECT_FALSE(view->folgaLine()->isVisibleTo(view.get()));
    EXPECT_EQ(view->sizeHint().height(), height);
    DesktopAccountService::shared().setSnapshot(std::nullopt);
}

QLabel* labelWith(const QWidget& panel, const QString& fragment)
{
    for (auto* label : panel.findChildren<QLabel*>()) {
        if (label->text().contains(fragment)) {
            return label;
        }
    }
    return nullptr;
}

TEST_F(ApprovalGuideTest, CardInTheCornerWithTheAppNameInBold)
{
    ApprovalGuide guide(u"Kestravin.app"_s);
    EXPECT_EQ(guide.appName(), u"Kestravin"_s);
    guide.show();
    QWidget* panel = guide.panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->size(), QSize(300, 132));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(panel->pos(), QPoint(area.x() + area.width() - 324, area.y() + 24));

    ASSERT_NE(labelWith(*panel, u"Quase lá"_s), nullptr);
    QLabel* instruction = labelWith(*panel, u"autenticação do sistema"_s);
    ASSERT_NE(instruction, nullptr);
    EXPECT_EQ(instruction->text(), u"Na <b>autenticação do sistema</b>, ligue o <b>Kestravin</b> com a sua senha."_s);
    // Every line fits the card whole.
    for (auto* line : panel->findChildren<QLabel*>()) {
        EXPECT_GE(line->height(), line->heightForWidth(line->width())) << line->text().toStdString();
        EXPECT_LE(line->geometry().bottom(), 132 - 16) << line->text().toStdString();
    }
    ASSERT_NE(labelWith(*panel, u"Eu sigo sozinha assim que você ligar."_s), nullptr);
    EXPECT_TRUE(ApprovalGuide::instruction(u"<i>A & B</i>"_s).contains(u"<b>&lt;i&gt;A &amp; B&lt;/i&gt;</b>"_s));

    // That it never takes the keyboard is checked on a real X server: the
    // offscreen platform activates every window it shows.

    for (const SchemeColors& colors : schemes) {
        SCOPED_TRACE(colors.scheme == ColorScheme::Dark ? "dark" : "light");
        setAppearance(colors.scheme, false);
        const QImage image = grabImage(*panel);
        EXPECT_TRUE(sameColor(pixel(image, 150, 126), colors.card));
        EXPECT_TRUE(sameColor(pixel(image, 150, 0), blend(colors.card, colors.border, 0.45), 6));
        EXPECT_TRUE(containsColor(image, labelWith(*panel, u"Quase"_s)->geometry(), colors.text, 12));
        EXPECT_TRUE(containsColor(image, instruction->geometry(), colors.secondary, 12));
    }
}

TEST_F(ApprovalGuideTest, ShowingAgainKeepsTheCardWhereItIsUntilHidden)
{
    ApprovalGuide guide(u"Kestravin"_s);
    guide.hide(); // nothing to hide
    EXPECT_EQ(guide.panel(), nullptr);
    guide.show();
    QWidget* first = guide.panel();
    const QPoint corner = first->pos();
    first->move(100, 100); // dragged by the user
    guide.show();
    EXPECT_EQ(guide.panel(), first);
    EXPECT_EQ(first->pos(), QPoint(100, 100));
    EXPECT_TRUE(first->isVisible());

    guide.hide();
    EXPECT_EQ(guide.panel(), nullptr);
    guide.show();
    EXPECT_EQ(guide.panel()->pos(), corner);
}

} // namespace
