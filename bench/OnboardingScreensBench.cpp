// The first-run wizard: one frame of the dawn (the night picture with its
// hole punched, and the mascot) over the 880 × 720 window, and the first frame
// of each day step from the moment the step is asked for.
#include "OnboardingRig.h"

#include "app/views/brand/Appearance.h"
#include "app/views/onboarding/OnboardingView.h"
#include "app/views/onboarding/OnboardingWidgets.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

using namespace kestravin;

namespace {

void BM_DawnFrame(benchmark::State& state)
{
    const double ratio = static_cast<double>(state.range(0));
    DawnOverlay overlay;
    overlay.resize(OnboardingView::windowSize);
    QImage night(OnboardingView::windowSize * ratio, QImage::Format_ARGB32_Premultiplied);
    night.setDevicePixelRatio(ratio);
    night.fill(QColor(12, 13, 11));
    overlay.start([night] { return night; }, QRectF(365, 226, 150, 100), QPointF(300, 48));
    QImage canvas(OnboardingView::windowSize * ratio, QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(ratio);
    double progress = 0.0;
    for (auto _ : state) {
        overlay.setProgress(progress);
        progress = progress >= 1.0 ? 0.0 : progress + 1.0 / 69.0;
        canvas.fill(Qt::transparent);
        overlay.render(&canvas);
        benchmark::DoNotOptimize(canvas.constBits());
    }
}
BENCHMARK(BM_DawnFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// From a new step in the state to its first painted frame.
void BM_StepFirstFrame(benchmark::State& state)
{
    kestravin::testing::OnboardingRig rig;
    OnboardingView view(rig.services());
    OnboardingView::State s;
    s.step = 4;
    view.setState(s);
    view.show();
    QApplication::processEvents();
    QImage canvas(OnboardingView::windowSize, QImage::Format_ARGB32_Premultiplied);
    const int step = static_cast<int>(state.range(0));
    for (auto _ : state) {
        s.step = step == 4 ? 3 : 4;
        view.setState(s);
        QApplication::processEvents();
        s.step = step;
        view.setState(s);
        QApplication::processEvents();
        view.render(&canvas);
        benchmark::DoNotOptimize(canvas.constBits());
    }
}
BENCHMARK(BM_StepFirstFrame)->DenseRange(1, 4)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    Appearance::shared().overrideReduceMotion(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
