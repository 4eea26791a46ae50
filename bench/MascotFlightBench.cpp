// Cost of one frame of the mascot's flight: the sprite 150 points wide painted
// at device pixel ratio 2, as a flight on a high-density screen draws it 60
// times a second.
#include "app/views/mascot/PikoSprite.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

using namespace kestravin;

namespace {

constexpr double spriteWidth = 150.0;
constexpr double ratio = 2.0;

void paintFlightFrame(benchmark::State& state, double progress)
{
    FlyingPiko flight(PikoArc { QPointF(-220, 160), 0.6, 90, 6 }, spriteWidth, true);
    flight.resize(600, 420);
    flight.setProgress(progress);
    QImage canvas(QSize(600, 420) * ratio, QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(ratio);
    {
        // The cut-out layers and glows are prepared once, on the first frame.
        QPainter painter(&canvas);
        flight.paintFrame(painter, ratio);
    }
    for (auto _ : state) {
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        flight.paintFrame(painter, ratio);
        painter.end();
        benchmark::DoNotOptimize(canvas.constBits());
    }
}

// Mid-flight: opaque and sharp, the wings flapping.
void BM_FlightFrameMidway(benchmark::State& state)
{
    paintFlightFrame(state, 0.5);
}
BENCHMARK(BM_FlightFrameMidway)->Unit(benchmark::kMicrosecond);

// Early in the flight: the sprite still fades in and is blurred, so it is
// composed off-screen first.
void BM_FlightFrameFadingIn(benchmark::State& state)
{
    paintFlightFrame(state, 0.08);
}
BENCHMARK(BM_FlightFrameFadingIn)->Unit(benchmark::kMicrosecond);

// The one-off preparation for a width and pixel ratio.
void BM_PrepareSprite(benchmark::State& state)
{
    for (auto _ : state) {
        PikoRenderer renderer(spriteWidth, ratio);
        benchmark::DoNotOptimize(renderer.hasArtwork());
    }
}
BENCHMARK(BM_PrepareSprite)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
