// The assistant window's costs that a person can feel: building and drawing
// the window the first time it is shown (the form, with its header and chips),
// one frame of the breathing glow, which redraws 30 times a second while a
// request is judged (painted at device pixel ratio 2), and the share of one
// core the shown window takes while it judges (the glow breathing on screen;
// with reduced motion nothing should run).
#include "AssistantFakes.h"
#include "BenchSupport.h"

#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/platform/ScreenReader.h"
#include "app/services/catalog/SiteIconStore.h"
#include "app/views/assistant/DesktopAIWindow.h"
#include "app/views/assistant/OrlaGlow.h"
#include "app/views/brand/Appearance.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace kestravin;
using namespace Qt::StringLiterals;

using kestravin::bench::processCpuSeconds;
using kestravin::bench::runLoopFor;

namespace {

constexpr double ratio = 2.0;

void BM_WindowFirstFrame(benchmark::State& state)
{
    testing_support::FakeAssistantPort port;
    port.blocked = { u"reddit.com"_s, u"example.com"_s };
    FixedScreenReader reader;
    QTemporaryDir folder;
    SiteIconStore icons({ folder.path(), [](const QString&, const QString&) { return QUrl(); }, 8000 });
    DesktopAIView::Services services { &port, &Clock::system(), &Scheduler::system(), &reader, &icons,
        QLocale(QLocale::Portuguese, QLocale::Brazil), QTimeZone::utc(), [] {} };
    QImage canvas(QSize(560, 640) * ratio, QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(ratio);
    for (auto _ : state) {
        DesktopAIWindow window(services);
        window.setAttribute(Qt::WA_DontShowOnScreen);
        window.show();
        window.render(&canvas);
        benchmark::DoNotOptimize(canvas.constBits());
    }
}
BENCHMARK(BM_WindowFirstFrame)->Unit(benchmark::kMillisecond);

void BM_BreathingGlowFrame(benchmark::State& state)
{
    OrlaGlow glow(OrlaGlow::Mode::breathing, 112);
    glow.resize(200, 200);
    QImage canvas(QSize(200, 200) * ratio, QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(ratio);
    for (auto _ : state) {
        canvas.fill(Qt::transparent);
        glow.render(&canvas);
        benchmark::DoNotOptimize(canvas.constBits());
    }
}
BENCHMARK(BM_BreathingGlowFrame)->Unit(benchmark::kMicrosecond);

// Arg 0: full motion; 1: reduced motion.
void BM_EvaluatingCpuShare(benchmark::State& state)
{
    const bool reduced = state.range(0) != 0;
    Appearance::shared().overrideReduceMotion(reduced);
    testing_support::FakeAssistantPort port;
    FixedScreenReader reader;
    QTemporaryDir folder;
    SiteIconStore icons({ folder.path(), [](const QString&, const QString&) { return QUrl(); }, 8000 });
    DesktopAIView::Services services { &port, &Clock::system(), &Scheduler::system(), &reader, &icons,
        QLocale(QLocale::Portuguese, QLocale::Brazil), QTimeZone::utc(), [] {} };
    DesktopAIWindow window(services);
    window.show();
    port.request(u"tiktok"_s, u"preciso ver uma aula"_s, 10);
    port.publish();
    // Past the change of scene.
    runLoopFor(800);
    for (auto _ : state) {
        QElapsedTimer wall;
        wall.start();
        const double cpuBefore = processCpuSeconds();
        runLoopFor(3000);
        const double cpu = processCpuSeconds() - cpuBefore;
        const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        state.counters["cpu_pct_of_core"] = 100.0 * cpu / seconds;
    }
    Appearance::shared().overrideReduceMotion(false);
}
BENCHMARK(BM_EvaluatingCpuShare)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
