#include "app/views/brand/SettledLayout.h"

#include <QLayout>
#include <QWidget>

namespace kestravin {

void settleLayouts(QWidget* root)
{
    if (root == nullptr) {
        return;
    }
    // findChildren lists a widget before the widgets inside it; backwards,
    // each layout settles after those it holds, and tells its parent's
    // layout (updateGeometry) that its size may have changed.
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (auto it = widgets.crbegin(); it != widgets.crend(); ++it) {
        if (QLayout* layout = (*it)->layout()) {
            layout->activate();
        }
    }
}

} // namespace kestravin
