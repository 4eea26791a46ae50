#include "Gallery.h"

#include "BridgeRig.h"
#include "FakeTime.h"

#include "app/platform/linux/AtspiEvents.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/services/account/MissionTracker.h"
#include "app/services/catalog/InstalledApps.h"
#include "app/views/account/FolgaStatementView.h"
#include "app/views/account/MissionsView.h"
#include "app/views/account/OrlaAccountView.h"
#include "app/views/blocker/AppBlockView.h"
#include "app/views/blocker/ApprovalGuide.h"
#include "app/views/brand/BrandTextField.h"
#include "app/views/brand/ChoiceChips.h"
#include "app/views/shield/BrowserShieldView.h"

#include "AccessibilityWalk.h"
#include "AccessibleSession.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QVBoxLayout>

#include <atspi/atspi-constants.h>

#include <gtest/gtest.h>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace kestravin;
using kestravin::test::AtspiNode;
using kestravin::test::AtspiWalker;

namespace {

QString accessibilityBus;

} // namespace

QString kestravin::test::accessibilityBusAddress()
{
    return accessibilityBus;
}

namespace {

using kestravin::test::AccessibilityWalkTest;

TEST_F(AccessibilityWalkTest, GalleryHasNothingAScreenReaderWouldTripOver)
{
    Gallery gallery;
    gallery.show();
    const QList<AtspiNode> tree = walker.windowContaining(u"15 min"_s);
    EXPECT_TRUE(sound(tree));

    // Painted texts are read as labels with their text (the walk above found no
    // drawing left in the tree).
    for (const QString& text : { u"Kestravin"_s, u"esc"_s, u"8h\u201318h"_s, u"9h30"_s, u"YouTube"_s }) {
        EXPECT_TRUE(AtspiWalker::find(tree, text, u"label"_s)) << text.toStdString();
    }
    EXPECT_TRUE(AtspiWalker::find(tree, u"Indisponível"_s, u"push button"_s));
    EXPECT_FALSE(walker.refresh(*AtspiWalker::find(tree, u"Indisponível"_s)).has(ATSPI_STATE_ENABLED));
}

// Choosing by the action moves the selection exactly as a click does, for the
// first chip row of the process as for every other one.
TEST_F(AccessibilityWalkTest, ChoosingAChipByItsActionMovesTheSelection)
{
    Gallery gallery;
    gallery.show();
    const QList<AtspiNode> tree = walker.windowContaining(u"15 min"_s);
    ASSERT_FALSE(tree.isEmpty());
    auto* chips = gallery.findChild<ChoiceChips*>();
    ASSERT_NE(chips, nullptr);
    const QStringList labels { u"15 min"_s, u"30 min"_s, u"1 h"_s, u"2 h"_s };

    for (int pick : { 0, 3, 3, 1 }) {
        const auto chip = AtspiWalker::find(tree, labels[pick]);
        ASSERT_TRUE(chip);
        ASSERT_TRUE(walker.doAction(*chip, u"Press"_s)) << chip->describe().toStdString();
        EXPECT_EQ(chips->currentIndex(), pick);
        EXPECT_EQ(checkedNames(tree, labels, walker), QStringList { labels[pick] });
        EXPECT_TRUE(walker.refresh(*chip).has(ATSPI_STATE_SELECTED));
    }

    // A segment of a switch, the same way.
    const auto week = AtspiWalker::find(tree, u"Semana"_s);
    ASSERT_TRUE(week);
    ASSERT_TRUE(walker.doAction(*week, u"Press"_s));
    EXPECT_EQ(checkedNames(tree, { u"Dia"_s, u"Semana"_s }, walker), QStringList { u"Semana"_s });
}

TEST_F(AccessibilityWalkTest, TypingIntoEachFieldByItsName)
{
    Gallery gallery;
    gallery.show();
    const QList<AtspiNode> tree = walker.windowContaining(u"Novo site"_s);
    ASSERT_FALSE(tree.isEmpty());
    const std::pair<QString, QString> typed[] = {
        { u"Novo site"_s, u"reddit.com"_s },
        { u"Site bloqueado"_s, u"x.com"_s },
        { u"Pedido"_s, u"Quero ver uma aula de 5 minutos."_s },
    };
    for (const auto& [name, text] : typed) {
        const auto field = AtspiWalker::find(tree, name, u"text"_s);
        ASSERT_TRUE(field) << name.toStdString();
        EXPECT_TRUE(walker.setText(*field, text));
        EXPECT_EQ(walker.text(*field), text);
    }
    const QList<QLineEdit*> lines = gallery.findChildren<QLineEdit*>();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0]->text(), u"reddit.com"_s);
    EXPECT_EQ(lines[1]->text(), u"x.com"_s);
    EXPECT_EQ(gallery.findChild<BrandTextEditor*>()->text(), u"Quero ver uma aula de 5 minutos."_s);
}

TEST_F(AccessibilityWalkTest, AppBlockViewReadsTheAppAndReturnsToTheFocus)
{
    int returns = 0;
    AppBlockView view(
        u"Firefox"_s, QIcon(), std::nullopt, [] {}, [&returns] { ++returns; });
    view.show();
    const QList<AtspiNode> tree = walker.windowContaining(u"Voltar ao foco"_s);
    EXPECT_TRUE(sound(tree));
    EXPECT_TRUE(AtspiWalker::find(tree, u"Firefox fica para depois."_s, u"label"_s));
    EXPECT_TRUE(AtspiWalker::find(tree, u"Quando seu foco terminar, o app abre normalmente."_s, u"label"_s));

    const auto back = AtspiWalker::find(tree, u"Voltar ao foco"_s, u"push button"_s);
    ASSERT_TRUE(back);
    ASSERT_TRUE(walker.doAction(*back, u"Press"_s));
    EXPECT_EQ(returns, 1);
}

TEST_F(AccessibilityWalkTest, BrowserShieldViewReadsTheSiteAndClosesTheTab)
{
    int closes = 0;
    BrowserShieldView view(
        u"www.tiktok.com"_s, u"Esse clique pode esperar."_s, std::nullopt, {}, [] {}, [] {}, [&closes] { ++closes; },
        [] {});
    view.resize(800, 600);
    view.show();
    const QList<AtspiNode> tree = walker.windowContaining(u"Fechar aba"_s);
    EXPECT_TRUE(sound(tree));
    EXPECT_TRUE(AtspiWalker::find(tree, u"Esse clique pode esperar."_s, u"label"_s));
    EXPECT_TRUE(AtspiWalker::find(
        tree, u"www.tiktok.com fica para depois. Quando seu foco terminar, o site abre normalmente."_s, u"label"_s));
    // Return presses "Voltar ao foco": it is the default button, the only one.
    const auto back = AtspiWalker::find(tree, u"Voltar ao foco"_s, u"push button"_s);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->has(ATSPI_STATE_IS_DEFAULT));
    const auto request = AtspiWalker::find(tree, u"Pedir à Orla"_s, u"push button"_s);
    ASSERT_TRUE(request);
    EXPECT_FALSE(request->has(ATSPI_STATE_IS_DEFAULT));
    const auto close = AtspiWalker::find(tree, u"Fechar aba"_s, u"push button"_s);
    ASSERT_TRUE(close);
    EXPECT_FALSE(close->has(ATSPI_STATE_IS_DEFAULT));
    ASSERT_TRUE(walker.doAction(*close, u"Press"_s));
    EXPECT_EQ(closes, 1);
}

TEST_F(AccessibilityWalkTest, ApprovalGuideReadsItsThreeLines)
{
    ApprovalGuide guide(u"Kestravin.app"_s);
    guide.show();
    const QList<AtspiNode> tree = walker.windowContaining(u"Quase lá"_s);
    EXPECT_TRUE(sound(tree));
    EXPECT_TRUE(AtspiWalker::find(tree, u"Quase lá"_s, u"label"_s));
    // The instruction is rich text (the app's name in bold): read as its words.
    QTextDocument instruction;
    instruction.setHtml(ApprovalGuide::instruction(u"Kestravin"_s));
    EXPECT_TRUE(AtspiWalker::find(tree, instruction.toPlainText(), u"label"_s))
        << instruction.toPlainText().toStdString();
    EXPECT_TRUE(AtspiWalker::find(tree, u"Eu sigo sozinha assim que você ligar."_s, u"label"_s));
    guide.hide();
}

// The walker itself notices each kind of fault.
TEST_F(AccessibilityWalkTest, FolgaPagesReadTheirRowsAndGoalsSwitchByPress)
{
    QTemporaryDir dir;
    kestravin::testing::FakeTime time;
    DesktopAccountService account;
    AccountFolga folga;
    folga.available = 1;
    folga.minutes = 15;
    DesktopAccountSnapshot snapshot({}, folga);
    snapshot.user.id = u"u1"_s;
    snapshot.missions = QList<AccountMission> { { u"app"_s, 20 } };
    account.setSnapshot(snapshot);
    QSettings settings(dir.filePath(u"defaults.ini"_s), QSettings::IniFormat);
    MissionTracker tracker({ &account, nullptr, &time, &time, &settings, QTimeZone::utc(), {} });
    tracker.setAppIDs({ u"gone.app"_s });
    InstalledApps installed([] { return QStringList(); }, std::nullopt);

    QWidget window;
    window.resize(640, 1400);
    auto* column = new QVBoxLayout(&window);
    FolgaEntry entry;
    entry.mission = u"focus"_s;
    entry.status = u"available"_s;
    entry.earnedAt = 1.7e12;
    entry.expiresAt = 1.8e12;
    column->addWidget(new FolgaStatementView(
        account, [entry](FolgaStatementView::HistoryDone done) { done(std::nullopt, { entry }); }, [] {}));
    auto* goals = new MissionsView({ &account, &tracker, &installed, &time, [](auto&&, auto&&) {} }, false);
    column->addWidget(goals, 1);
    window.show();

    const QList<AtspiNode> tree = walker.windowContaining(u"Ver metas"_s);
    EXPECT_TRUE(sound(tree));
    EXPECT_TRUE(AtspiWalker::find(tree, u"1 folga disponível"_s, u"label"_s));
    bool rowRead = false;
    for (const AtspiNode& node : tree) {
        rowRead = rowRead || (node.role == u"label"_s && node.name.startsWith(u"Foco. Ganha "_s));
    }
    EXPECT_TRUE(rowRead);
    EXPECT_TRUE(AtspiWalker::find(tree, u"Remover gone.app"_s, u"push button"_s));
    EXPECT_TRUE(AtspiWalker::find(tree, u"Buscar um app, como Kindle ou Anki"_s));

    // A goal reads as a check box, so that off is a state too.
    const auto mindful = AtspiWalker::find(tree, u"Meditar 10 min"_s, u"check box"_s);
    ASSERT_TRUE(mindful);
    EXPECT_FALSE(mindful->has(ATSPI_STATE_CHECKED));
    ASSERT_TRUE(walker.doAction(*mindful, u"Press"_s));
    EXPECT_TRUE(walker.refresh(*mindful).has(ATSPI_STATE_CHECKED));
}

TEST_F(AccessibilityWalkTest, AccountPageSwitchesReadTheirTitlesAndSpringBack)
{
    kestravin::testing::BridgeRig bridge(false);
    bridge.supportsBrowserSync = false;
    DesktopAccountService account;
    class Shield final : public BrowserShieldSwitch {
    public:
        bool enabled() const override { return false; }
        bool hasPermission() const override { return false; }
        void setEnabled(bool) override { Q_EMIT changed(); }
    } shield;
    class Assistant final : public AssistantActivity {
    public:
        bool busy() const override { return false; }
    } assistant;
    OrlaAccountView page({ &account, &bridge.bridge(), &shield, &assistant, [] {}, [](const QUrl&) {},
        u"https://example.com"_s, false });
    page.resize(600, 700);
    page.show();

    const QList<AtspiNode> tree = walker.windowContaining(u"Conectar minha conta"_s);
    EXPECT_TRUE(sound(tree));
    EXPECT_TRUE(AtspiWalker::find(tree, u"Conectar minha conta"_s, u"push button"_s));
    // The switches read as check boxes, so that off is a state too.
    const auto extension = AtspiWalker::find(tree, u"Liberar só um vídeo ou tweet"_s, u"check box"_s);
    ASSERT_TRUE(extension);
    ASSERT_TRUE(walker.doAction(*extension, u"Press"_s));
    EXPECT_FALSE(walker.refresh(*extension).has(ATSPI_STATE_CHECKED));
    EXPECT_TRUE(AtspiWalker::find(tree, u"Tela da Orla nos navegadores"_s, u"check box"_s));
}

TEST_F(AccessibilityWalkTest, WalkerReportsWhatAScreenReaderWouldTripOver)
{
    AtspiNode unnamedButton;
    unnamedButton.role = u"push button"_s;
    unnamedButton.actions = { u"Press"_s };
    AtspiNode paintedText;
    paintedText.role = u"filler"_s;
    paintedText.name = u"esc"_s;
    AtspiNode drawing;
    drawing.role = u"filler"_s;
    AtspiNode toggle;
    toggle.role = u"check box"_s;
    toggle.name = u"15 min"_s;
    toggle.actions = { u"Toggle"_s };
    AtspiNode label;
    label.role = u"label"_s;
    label.name = u"esc"_s;
    AtspiNode container = drawing;
    container.childCount = 2;
    AtspiNode window;
    window.role = u"frame"_s;
    window.name = u"Ajustes"_s;
    window.childCount = 1;
    AtspiNode page = window;
    page.depth = 1;

    const QStringList found
        = AtspiWalker::problems({ window, unnamedButton, paintedText, drawing, toggle, label, container, page });
    ASSERT_EQ(found.size(), 5) << found.join(u'\n').toStdString();
    EXPECT_TRUE(found[0].startsWith(u"an interactive element has no name"_s));
    EXPECT_TRUE(found[1].startsWith(u"a text is exposed without the label role"_s));
    EXPECT_TRUE(found[2].startsWith(u"a drawing is left in the tree"_s));
    EXPECT_TRUE(found[3].startsWith(u"a checkable element toggles instead of clicking"_s));
    EXPECT_TRUE(found[4].startsWith(u"a part of the window is read as a window"_s));
}

// The shield follows the browsers' events on a connection of its own to the
// accessibility bus. That connection belongs to the same process but carries
// no tree: a screen reader still reaches the application's windows.
TEST_F(AccessibilityWalkTest, ScreensStayReachableWhileTheShieldFollowsEvents)
{
    AtspiEvents events;
    ASSERT_TRUE(events.listen());
    QWidget window;
    window.setWindowTitle(u"Seguindo eventos"_s);
    auto* layout = new QVBoxLayout(&window);
    auto* label = new QLabel(u"Ouvindo o navegador"_s);
    layout->addWidget(label);
    window.show();

    const QList<AtspiNode> tree = walker.windowContaining(u"Ouvindo o navegador"_s);
    ASSERT_FALSE(tree.isEmpty()) << "the window never appeared on the accessibility bus";
    EXPECT_EQ(tree.constFirst().name, u"Seguindo eventos"_s);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    kestravin::test::AccessibleSession session;
    QString error;
    if (!session.start(&error)) {
        std::fprintf(stderr, "no accessible desktop: %s\n", qPrintable(error));
        return 1;
    }
    accessibilityBus = session.accessibilityBusAddress();
    int result = 0;
    {
        // Nothing of the design system is touched before the screens are made:
        // each must set up its accessibility by itself.
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
