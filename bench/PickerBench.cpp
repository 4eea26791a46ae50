// The pickers' hot paths: one key typed in the site picker's search with 500
// of the user's own sites (the suggestions are rebuilt from the whole list on
// every key), and the installed-apps scan of 2,000 desktop entries.
#include "app/models/SiteCatalog.h"
#include "app/models/SitePickerModel.h"
#include "app/services/catalog/InstalledApps.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

class ListHost final : public SitePickerHost {
public:
    QStringList sites;
    QStringList blockedSites() const override { return sites; }
    bool removalsLocked() const override { return false; }
    void noteLocked() override { }
    void setBlocked(const SiteCatalogEntry&, bool) override { }
    void addSites(const QStringList&) override { }
    void removeSites(const QStringList&) override { }
    void resetSitesToDefaults() override { }
    void localEditChanged() override { }
    bool reduceMotion() const override { return true; }
    void nextTurn(std::function<void()>) override { }
};

void BM_SitePickerKey(benchmark::State& state)
{
    ListHost host;
    for (int i = 0; i < 500; ++i) {
        host.sites << u"site%1.example.com"_s.arg(i) << u"www.site%1.example.com"_s.arg(i);
    }
    SitePickerModel model(host);
    const QString typed = u"site42.exa"_s;
    int length = 0;
    for (auto _ : state) {
        length = length % typed.size() + 1;
        model.setQuery(typed.left(length));
        // What one key costs the screen: the dropdown's rows, and the grid's
        // tiles and count.
        benchmark::DoNotOptimize(model.options());
        benchmark::DoNotOptimize(SitePickerModel::blockedCount(model.tiles()));
    }
}
BENCHMARK(BM_SitePickerKey)->Unit(benchmark::kMicrosecond);

void BM_InstalledAppsScan(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString apps = dir.filePath(u"applications"_s);
    QDir().mkpath(apps);
    for (int i = 0; i < 2000; ++i) {
        QFile file(QDir(apps).filePath(u"app%1.desktop"_s.arg(i)));
        if (file.open(QIODevice::WriteOnly)) {
            file.write(u"[Desktop Entry]\nType=Application\nName=App %1\nExec=app%1\nIcon=app%1\n"_s.arg(i).toUtf8());
        }
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(InstalledApps::scan({ apps }, std::nullopt));
    }
}
BENCHMARK(BM_InstalledAppsScan)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
