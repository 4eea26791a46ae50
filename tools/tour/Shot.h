#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace kestravin::tour {

// One picture of the tour: a screen built in the current appearance. The
// tour shows it, lets it settle, then renders it to "<name>-<light|dark>.png".
struct Shot {
    QString name;
    std::function<std::unique_ptr<QWidget>()> make;
};

// Every shot of the tour in registration order. Screen families add theirs
// from their own source file with a file-scope ShotRegistrar.
std::vector<Shot>& shots();

struct ShotRegistrar {
    ShotRegistrar(QString name, std::function<std::unique_ptr<QWidget>()> make)
    {
        shots().push_back({ std::move(name), std::move(make) });
    }
};

} // namespace kestravin::tour
