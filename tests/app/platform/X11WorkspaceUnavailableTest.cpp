// Without an X display the workspace says why, once, and does nothing.
#include "app/platform/linux/X11Workspace.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

QStringList messages;

void collect(QtMsgType, const QMessageLogContext&, const QString& message)
{
    messages.append(message);
}

TEST(X11WorkspaceUnavailableTest, SaysWhyOnceAndDoesNothing)
{
    struct Case {
        QByteArray display, wayland;
        QString optionDisplay, reasonPart;
    };
    const Case cases[] = {
        { "", "", u""_s, u"no X display"_s },
        { "", "wayland-0", u""_s, u"Wayland"_s },
        // A display number that nothing serves.
        { "", "", u":4093"_s, u"cannot open the X display :4093"_s },
    };
    const QtMessageHandler previous = qInstallMessageHandler(collect);
    for (const Case& c : cases) {
        qputenv("DISPLAY", c.display);
        qputenv("WAYLAND_DISPLAY", c.wayland);
        messages.clear();
        X11Workspace workspace(DesktopEntryIndex(QStringList {}), { c.optionDisplay, u"com.kestravin.app"_s });
        EXPECT_FALSE(workspace.isAvailable());
        EXPECT_TRUE(workspace.unavailableReason().contains(c.reasonPart))
            << workspace.unavailableReason().toStdString();
        EXPECT_TRUE(workspace.runningApplications().isEmpty());
        EXPECT_FALSE(workspace.frontmostApplication().has_value());
        workspace.hide(RunningApp {});
        workspace.activate(RunningApp {});
        EXPECT_FALSE(workspace.isHidden(RunningApp {}));
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages.first().startsWith(u"X11Workspace: "_s));
        EXPECT_TRUE(messages.first().contains(c.reasonPart));
    }
    qInstallMessageHandler(previous);
}

} // namespace
} // namespace kestravin
