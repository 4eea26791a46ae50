#include "app/platform/WindowStates.h"

namespace kestravin {

namespace {

class NoWindowStates final : public WindowStates {
public:
    bool keepAboveOnEveryDesktop(QWindow*) override { return false; }
    bool requestActivation(QWindow*) override { return false; }
    bool setAbove(QWindow*, bool) override { return false; }
    bool restackAbove(QWindow*, unsigned int) override { return false; }
    bool compositingManagerRunning() override { return false; }
};

WindowStates* installedStates = nullptr;

} // namespace

WindowStates& WindowStates::current()
{
    static NoWindowStates none;
    return installedStates ? *installedStates : none;
}

void WindowStates::install(WindowStates* states)
{
    installedStates = states;
}

} // namespace kestravin
