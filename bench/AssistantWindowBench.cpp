// The assistant window's two costs that a person can feel: building and
// drawing the window the first time it is shown (the form, with its header and
// chips), and one frame of the breathing glow, which redraws 30 times a second
// while a request is judged. Painted at device pixel ratio 2.
#include "AssistantFakes.h"

#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/platform/ScreenReader.h"
#include "app/services/catalog/SiteIconStore.h"
#include "app/views/assistant/DesktopAIWindow.h"
#include "app/views/assistant/OrlaGlow.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace kestravin;
using namespace Qt::StringLiterals;

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
