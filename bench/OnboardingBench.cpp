// The launch gate and the first-run window:
//  - GateAdmitsOnboardedAccount: requireAccount() for a linked, onboarded
//    account with its snapshot at hand; it must decide at once, with no
//    window, no sync and no delayed work;
//  - WizardFirstFrame: from show() to the window's first painted frame
//    (offscreen platform), the window built afresh each time.

#include "app/views/onboarding/OnboardingWindowController.h"

#include "FakeOnboardingServices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <chrono>

using namespace kestravin;

namespace {

void GateAdmitsOnboardedAccount(benchmark::State& state)
{
    testing::FakeOnboardingServices services;
    services.session = true;
    services.completed = true;
    services.onboarded = true;
    services.helperInstalled = true;
    OnboardingWindowController gate(services);
    for (auto _ : state) {
        const bool admitted = gate.requireAccount();
        benchmark::DoNotOptimize(admitted);
        if (!admitted || gate.window() || !services.syncs.isEmpty() || services.time.pending() > 0)
            state.SkipWithError("the gate waited or showed a window");
    }
}
BENCHMARK(GateAdmitsOnboardedAccount);

// Notes the first paint of the window it watches.
class FirstPaint : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

void WizardFirstFrame(benchmark::State& state)
{
    testing::FakeOnboardingServices services;
    OnboardingWindowController controller(services);
    controller.setSettingsWindow([] { return nullptr; });
    for (auto _ : state) {
        QElapsedTimer elapsed;
        elapsed.start();
        FirstPaint paint;
        controller.show();
        controller.window()->installEventFilter(&paint);
        while (!paint.painted && elapsed.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        state.SetIterationTime(double(elapsed.nsecsElapsed()) / 1e9);
        delete controller.window();
    }
}
BENCHMARK(WizardFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
