#pragma once

#include "AtspiWalker.h"

#include <QString>
#include <QStringList>

#include <atspi/atspi-constants.h>

#include <gtest/gtest.h>

namespace kestravin::test {

// The accessibility bus of the test program's private desktop.
QString accessibilityBusAddress();

// Screens walked the way a screen reader meets them: on the real
// accessibility bus, through the Qt bridge, on an X display.
class AccessibilityWalkTest : public ::testing::Test {
protected:
    AtspiWalker walker { accessibilityBusAddress() };

    static ::testing::AssertionResult sound(const QList<AtspiNode>& tree)
    {
        if (tree.isEmpty()) {
            return ::testing::AssertionFailure() << "the window never appeared on the accessibility bus";
        }
        const QStringList problems = AtspiWalker::problems(tree);
        if (problems.isEmpty()) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << problems.join(u'\n').toStdString();
    }

    static QStringList checkedNames(const QList<AtspiNode>& tree, const QStringList& names, AtspiWalker& walker)
    {
        QStringList checked;
        for (const QString& name : names) {
            if (auto node = AtspiWalker::find(tree, name); node && walker.refresh(*node).has(ATSPI_STATE_CHECKED)) {
                checked << name;
            }
        }
        return checked;
    }

    // Finds `name` (of `role`) in `tree` and runs its "Press" action.
    ::testing::AssertionResult press(const QList<AtspiNode>& tree, const QString& name, const QString& role = {})
    {
        const auto node = AtspiWalker::find(tree, name, role);
        if (!node) {
            return ::testing::AssertionFailure() << "nothing named '" << name.toStdString() << "' in the walk";
        }
        if (!walker.doAction(*node, QStringLiteral("Press"))) {
            return ::testing::AssertionFailure() << "no Press action on " << node->describe().toStdString()
                                                 << " (actions: " << node->actions.join(u", ").toStdString() << ")";
        }
        return ::testing::AssertionSuccess();
    }
};

} // namespace kestravin::test
