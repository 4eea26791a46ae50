// The popover's show to first paint (target: under 100 ms) over the real
// services of the tests' rig: a scripted daemon on a private bus, temporary
// files, fakes of the account, updater, bridge and shield. Each iteration hides
// the view, shows it and grabs its first frame.

#include "PopoverRig.h"

#include "app/views/brand/Appearance.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

class Popover : public kestravin::testing::PopoverRig {
public:
    MenuBarPopoverView* start()
    {
        startPopover(true, kestravin::testing::ServiceRig::configurationWith({ u"a.com"_s }, false));
        return view.get();
    }
};

void PopoverShowToFirstPaint(benchmark::State& state)
{
    Popover popover;
    MenuBarPopoverView* view = popover.start();
    if (!view) {
        state.SkipWithError("the rig did not start");
        return;
    }
    for (auto _ : state) {
        view->hide();
        QElapsedTimer timer;
        timer.start();
        view->show();
        const QImage first = view->grab().toImage();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (first.isNull()) {
            state.SkipWithError("nothing was painted");
            return;
        }
    }
}
BENCHMARK(PopoverShowToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(3);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    Appearance::shared().overrideColorScheme(ColorScheme::Light);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
