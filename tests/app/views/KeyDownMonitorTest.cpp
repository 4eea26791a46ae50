#include "app/views/brand/KeyDownMonitor.h"

#include "ViewsTestSupport.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>

#include <thread>

using namespace Qt::StringLiterals;
using namespace kestravin;
using namespace kestravin::testing_support;

namespace {

// A window with a text field that has keyboard focus, and a view in it.
struct Window {
    QWidget window;
    QLineEdit* field = new QLineEdit;
    QWidget* view = new QWidget;

    Window()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(field);
        layout->addWidget(view);
        window.show();
        field->setFocus();
    }
};

class KeyDownMonitorTest : public ::testing::Test {
protected:
    int calls = 0;
    KeyDownMonitor::Handler swallowEscape()
    {
        return [this](QKeyEvent* event) {
            ++calls;
            return event->key() == Qt::Key_Escape;
        };
    }
};

TEST_F(KeyDownMonitorTest, ActsOnlyOnItsOwnWindowAndLetsUnhandledKeysThrough)
{
    Window a;
    Window b;
    onKeyDown(a.view, true, swallowEscape());

    QTest::keyClick(b.field, Qt::Key_A);
    QTest::keyClick(b.field, Qt::Key_Escape);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(b.field->text(), u"a"_s);

    // A letter is not handled: it reaches the focused field, judged once.
    QTest::keyClick(a.field, Qt::Key_A);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(a.field->text(), u"a"_s);
    QTest::keyClick(a.field, Qt::Key_B);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(a.field->text(), u"ab"_s);

    // Escape is handled and swallowed: the field never sees it.
    bool fieldSawEscape = false;
    QObject::connect(a.field, &QLineEdit::textChanged, [&] { fieldSawEscape = true; });
    QTest::keyClick(a.field, Qt::Key_Escape);
    EXPECT_EQ(calls, 3);
    EXPECT_FALSE(fieldSawEscape);
}

TEST_F(KeyDownMonitorTest, OneFilterAtATimeAndNoneAfterItsAnchorIsGone)
{
    Window a;
    auto* anchor = new QWidget(&a.window);
    KeyDownMonitor* monitor = onKeyDown(anchor, false, swallowEscape());
    QTest::keyClick(a.field, Qt::Key_A);
    EXPECT_EQ(calls, 0);

    monitor->setActive(true);
    monitor->setActive(true);
    QTest::keyClick(a.field, Qt::Key_A);
    EXPECT_EQ(calls, 1); // installed once, so called once

    monitor->setActive(false);
    monitor->setActive(true);
    QTest::keyClick(a.field, Qt::Key_A);
    EXPECT_EQ(calls, 2);

    delete anchor; // takes its monitor with it
    QTest::keyClick(a.field, Qt::Key_Escape);
    EXPECT_EQ(calls, 2);
}

TEST(DockPresence, AnnouncesTrayOnlyOnceNoOrdinaryWindowIsLeft)
{
    int trayOnly = 0;
    QObject receiver;
    QObject::connect(&DockPresence::shared(), &DockPresence::trayOnly, &receiver, [&] { ++trayOnly; });
    QWidget settings;
    settings.show();
    QWidget panel(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    panel.show();

    DockPresence::windowClosed();
    QTest::qWait(20);
    EXPECT_EQ(trayOnly, 0);

    // Called while the closing window is still visible (here from another
    // thread): the check runs later on the GUI thread, when it has gone.
    std::thread closer([] { DockPresence::windowClosed(); });
    closer.join();
    settings.hide();
    QTest::qWait(20);
    EXPECT_EQ(trayOnly, 1);
}

} // namespace
