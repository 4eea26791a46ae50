// The browser shield's panel view, offscreen: its texts, which buttons it
// offers, the dark scheme it always draws in, and Return.
#include "app/views/shield/BrowserShieldView.h"
#include "app/views/brand/BrandButton.h"
#include "app/views/shield/ShieldPanel.h"

#include "ViewsTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QScreen>

using namespace Qt::StringLiterals;
using namespace kestravin;
using namespace kestravin::testing_support;

namespace {

class BrowserShieldViewTest : public AppearanceTest { };

struct Actions {
    int folga = 0, request = 0, closeTab = 0, dismiss = 0;
};

std::unique_ptr<BrowserShieldView> makeView(const QString& host, BrowserShieldView::Inputs inputs,
    std::optional<QDateTime> endsAt = std::nullopt, Actions* actions = nullptr)
{
    auto count = [actions](int Actions::*field) {
        return [actions, field] {
            if (actions) {
                ++(actions->*field);
            }
        };
    };
    auto view = std::make_unique<BrowserShieldView>(host, u"Esse clique pode esperar."_s, endsAt, std::move(inputs),
        count(&Actions::folga), count(&Actions::request), count(&Actions::closeTab), count(&Actions::dismiss));
    view->resize(800, 600);
    view->layout();
    return view;
}

QDateTime localAt(int hour, int minute)
{
    return QDateTime(QDate(2026, 3, 2), QTime(hour, minute), Qt::LocalTime);
}

} // namespace

TEST_F(BrowserShieldViewTest, TheDetailAndTheOfferFollowTheHost)
{
    struct Case {
        QString host;
        BrowserShieldView::Inputs inputs;
        std::optional<QDateTime> endsAt;
        QString detail;
        bool request;
    };
    const QList<Case> cases = {
        { u"www.reddit.com"_s, { { u"reddit.com"_s }, false, false }, localAt(9, 5),
            u"reddit.com fica para depois. Seu foco termina às 9h05."_s, true },
        { u"reddit.com"_s, { { u"reddit.com"_s }, false, false }, localAt(14, 0),
            u"reddit.com fica para depois. Seu foco termina às 14h."_s, true },
        { u"www.reddit.com"_s, { { u"reddit.com"_s }, false, false }, std::nullopt,
            u"reddit.com fica para depois. Quando seu foco terminar, o site abre normalmente."_s, true },
        // TikTok names itself and can always be asked about.
        { u"www.tiktok.com"_s, {}, std::nullopt,
            u"www.tiktok.com fica para depois. Quando seu foco terminar, o site abre normalmente."_s, true },
        // YouTube blocked through its platform: the host, and Orla only with
        // the extension or an account to carry the answer.
        { u"www.youtube.com"_s, { { u"youtube.com"_s }, false, false }, std::nullopt,
            u"www.youtube.com fica para depois. Quando seu foco terminar, o site abre normalmente."_s, false },
        { u"www.youtube.com"_s, { { u"youtube.com"_s }, true, false }, std::nullopt,
            u"www.youtube.com fica para depois. Quando seu foco terminar, o site abre normalmente."_s, true },
        { u"x.com"_s, { {}, false, true }, std::nullopt,
            u"x.com fica para depois. Quando seu foco terminar, o site abre normalmente."_s, true },
        { u"example.org"_s, { { u"reddit.com"_s }, true, true }, std::nullopt,
            u"example.org fica para depois. Quando seu foco terminar, o site abre normalmente."_s, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host.toStdString());
        const auto view = makeView(c.host, c.inputs, c.endsAt);
        EXPECT_EQ(view->titleLabel()->text(), u"Esse clique pode esperar."_s);
        EXPECT_EQ(view->detailLabel()->text(), c.detail);
        EXPECT_EQ(view->requestButton() != nullptr, c.request);
        EXPECT_EQ(view->dismissButton()->text(), u"Voltar ao foco"_s);
        EXPECT_TRUE(view->dismissButton()->isProminent());
        EXPECT_EQ(view->closeTabButton()->text(), u"Fechar aba"_s);
        if (!c.request) {
            // "Fechar aba" alone takes the whole row.
            EXPECT_EQ(view->closeTabButton()->width(), view->dismissButton()->width());
        } else {
            EXPECT_EQ(view->requestButton()->text(), u"Pedir à Orla"_s);
            EXPECT_EQ(view->requestButton()->width(), view->closeTabButton()->width());
        }
    }
}

TEST_F(BrowserShieldViewTest, AlwaysDarkAndCentredWhateverTheAppearance)
{
    for (const ColorScheme scheme : { ColorScheme::Light, ColorScheme::Dark }) {
        setAppearance(scheme, false);
        const auto view = makeView(u"example.org"_s, {});
        const QImage image = grabImage(*view);
        EXPECT_EQ(view->card()->width(), 460);
        EXPECT_EQ(view->card()->geometry().center(), view->rect().center());
        // The backdrop at 0.97 lets a trace of what lies beneath through.
        EXPECT_TRUE(sameColor(pixel(image, 5, 5), QColor(28, 27, 25), 8));
        const QRect card = view->card()->geometry();
        EXPECT_TRUE(sameColor(pixel(image, card.center().x(), card.bottom() - 6), QColor(0x282623)));
        // The plain button is drawn dark too.
        const QRect close = view->closeTabButton()->geometry().translated(card.topLeft());
        EXPECT_TRUE(sameColor(pixel(image, close.x() + 8, close.center().y()), QColor(0x282623), 6));
    }
}

TEST_F(BrowserShieldViewTest, ReturnGoesBackToTheFocusOnly)
{
    Actions actions;
    const auto view = makeView(u"www.tiktok.com"_s, {}, std::nullopt, &actions);
    view->show();
    QApplication::setActiveWindow(view.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    view->setFocus();
    QTest::keyClick(view.get(), Qt::Key_Return);
    EXPECT_EQ(actions.dismiss, 1);
    // Also while another button holds the keyboard.
    view->requestButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(view->requestButton(), Qt::Key_Return);
    EXPECT_EQ(actions.dismiss, 2);
    EXPECT_EQ(actions.request + actions.closeTab + actions.folga, 0);

    QTest::mouseClick(view->closeTabButton(), Qt::LeftButton, {}, view->closeTabButton()->rect().center());
    QTest::mouseClick(view->requestButton(), Qt::LeftButton, {}, view->requestButton()->rect().center());
    EXPECT_EQ(actions.closeTab, 1);
    EXPECT_EQ(actions.request, 1);
}

TEST_F(BrowserShieldViewTest, ThePanelCoversTheWindowOrCentresItselfWithoutAFrame)
{
    ShieldPanel panel([] { return BrowserShieldView::Inputs {}; });
    ShieldPanelHost::Content content;
    content.host = u"example.org"_s;
    content.message = u"Esse clique pode esperar."_s;
    panel.show(content, QRect(40, 30, 900, 600));
    ASSERT_TRUE(panel.exists());
    EXPECT_EQ(panel.window()->geometry(), QRect(40, 30, 900, 600));
    // Named after what it says, not like every other window of the application.
    EXPECT_EQ(panel.window()->windowTitle(), u"Esse clique pode esperar."_s);

    // A browser window whose frame cannot be read: 560 x 440 in the middle.
    panel.show(content, std::nullopt);
    const QRect geometry = panel.window()->geometry();
    EXPECT_EQ(geometry.size(), QSize(560, 440));
    EXPECT_EQ(geometry.center(), QGuiApplication::primaryScreen()->geometry().center());

    panel.close();
    EXPECT_FALSE(panel.exists());
}
