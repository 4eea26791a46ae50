// One frame of the week grid with 30 blocks, one of them selected and one
// moving (the repaint of a drag), and the first opening of the settings view.
#include "app/models/WeekGrid.h"
#include "app/views/settings/SettingsView.h"
#include "app/views/settings/WeekBlockPainter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

using namespace kestravin;

namespace {

void BM_WeekGridFrame(benchmark::State& state)
{
    const GridLayout layout { 68, WeekGrid::gap, 28, 0 };
    QImage image(QSize(560, 684) * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    WeekBlockPainter painter;
    QList<BlockLook> looks;
    for (int day = 0; day < 7; ++day) {
        for (int i = 0; i < (day < 2 ? 5 : 4); ++i) {
            const MinuteRange range { 360 + i * 240, 360 + i * 240 + 90 + 30 * day };
            const BlockGeometry g = BlockGeometry::of(layout, day, range);
            BlockLook look;
            look.range = range;
            look.rect = QRectF(40 + g.left, 6 + g.top, g.right - g.left, g.height());
            looks.append(look);
        }
    }
    looks[7].selected = true;
    looks[7].active = 1;
    looks[12].active = 1;
    looks[12].deepShadow = 0.6;
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        for (int column = 0; column < 7; ++column) {
            painter.paintCachedColumn(p, QRectF(40 + 72 * column, 6, 68, 672), 28, 0, ColorScheme::Light);
        }
        for (const BlockLook& look : looks) {
            painter.paintBlock(p, look, ColorScheme::Light);
        }
        benchmark::DoNotOptimize(image.bits());
    }
    state.counters["blocks"] = double(looks.size());
}
BENCHMARK(BM_WeekGridFrame)->Unit(benchmark::kMillisecond);

// The settings view with placeholder pages: what the first show() builds
// apart from the services behind the pages.
void BM_SettingsViewFirstBuild(benchmark::State& state)
{
    for (auto _ : state) {
        SettingsPages pages;
        SettingsView view(pages);
        view.show();
        QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
        view.render(&image);
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(BM_SettingsViewFirstBuild)->Unit(benchmark::kMillisecond)->Iterations(5);

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
