#pragma once

#include <QDateTime>
#include <QIcon>
#include <QString>

#include <functional>
#include <optional>

namespace kestravin {

// The window that covers a blocked app: one reused, frameless, key panel above
// every other window, holding the app block view.
class AppBlockPanel {
public:
    struct Content {
        QString name;
        QIcon icon;
        std::optional<QDateTime> endsAt;
        std::function<void()> onFolga;
        std::function<void()> onReturn;
    };

    virtual ~AppBlockPanel() = default;

    // Shows the panel with new content, centred, in front and holding the
    // keyboard; a panel already on screen has its content replaced.
    virtual void show(const Content& content) = 0;
    // Takes the panel off screen; it stays around for the next show.
    virtual void hide() = 0;
};

} // namespace kestravin
