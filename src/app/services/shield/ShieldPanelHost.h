#pragma once

#include <QDateTime>
#include <QRect>
#include <QString>

#include <functional>
#include <optional>

namespace kestravin {

// The window that the browser shield lays over a browser window showing a
// blocked page: frameless, always drawn dark, holding the shield view.
class ShieldPanelHost {
public:
    struct Content {
        QString host;
        QString message;
        std::optional<QDateTime> endsAt;
        std::function<void()> onFolga;
        std::function<void()> onRequest;
        std::function<void()> onCloseTab;
        std::function<void()> onDismiss;
    };

    virtual ~ShieldPanelHost() = default;

    // Builds a new panel over `frame` (560 x 440 centred on the screen when
    // absent), floating in front and holding the keyboard.
    virtual void show(const Content& content, const std::optional<QRect>& frame) = 0;
    // Removes the panel.
    virtual void close() = 0;
    virtual bool exists() const = 0;
    virtual QRect frame() const = 0;
    virtual void setFrame(const QRect& frame) = 0;
    // Above every window, without taking the keyboard.
    virtual void raiseFloating() = 0;
    // At the normal level, directly above the given window.
    virtual void glueAbove(quint32 window) = 0;
    // Off screen, kept for the next raise or glue.
    virtual void orderOut() = 0;
};

} // namespace kestravin
