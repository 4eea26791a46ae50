#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace kestravin::tour {

// One picture of the tour: a screen built in the current appearance. The
// tour shows it, lets it settle, then renders it to "<name>-<light|dark>.png".
// A system dialog follows the desktop's theme, not the application's
// appearance: it has one picture, "<name>.png".
struct Shot {
    QString name;
    std::function<std::unique_ptr<QWidget>()> make;
    bool systemDialog = false;
};

// Every shot of the tour in registration order. Screen families add theirs
// from their own source file with a file-scope ShotRegistrar.
std::vector<Shot>& shots();

struct ShotRegistrar {
    ShotRegistrar(QString name, std::function<std::unique_ptr<QWidget>()> make, bool systemDialog = false)
    {
        shots().push_back({ std::move(name), std::move(make), systemDialog });
    }
};

} // namespace kestravin::tour
