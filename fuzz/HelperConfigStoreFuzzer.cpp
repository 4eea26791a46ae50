// The daemon loads its own configuration file at start; a damaged or
// hand-edited file must neither crash it nor change meaning when saved again.
#include "FuzzCheck.h"
#include "contract/HostName.h"
#include "helper/HelperService.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

using namespace kestravin;

namespace {

class IdleTicker final : public HelperTicker {
public:
    void start(std::chrono::milliseconds, std::function<void()>) override { }
    void stop() override { }
    bool isActive() const override { return false; }
};

struct Store {
    QTemporaryDir dir;
    QString configPath = dir.filePath(QStringLiteral("helper-config.json"));
    QString hostsPath = dir.filePath(QStringLiteral("hosts"));

    std::unique_ptr<HelperService> start() const
    {
        HelperService::Options options;
        options.hostsPath = hostsPath;
        options.configPath = configPath;
        options.currentDate = [] { return Instant(8e8); };
        options.dnsFlush = [] {};
        options.log = [](const QString&) {};
        options.ticker = std::make_unique<IdleTicker>();
        options.timeZone = QTimeZone::utc();
        options.exitProcess = [](int) {};
        options.monitor = false;
        return std::make_unique<HelperService>(std::move(options));
    }

    void write(const QByteArray& bytes) const
    {
        QFile file(configPath);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(bytes) == bytes.size());
    }

    QByteArray read() const
    {
        QFile file(configPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

void checkSafe(const QStringList& sites)
{
    for (const QString& site : sites)
        FUZZ_CHECK(isSafeHostName(site));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Store store;
    store.write(fuzz::bytesOf(data, size));

    const std::unique_ptr<HelperService> loaded = store.start();
    // Nothing unsafe is ever taken from the file into the section.
    if (loaded->currentConfig())
        checkSafe(loaded->currentConfig()->blockedSites);
    if (loaded->manualBlock()) {
        checkSafe(loaded->manualBlock()->sites);
        FUZZ_CHECK(!loaded->manualBlock()->sites.isEmpty());
    }
    if (!loaded->currentConfig() && !loaded->manualBlock())
        return 0;

    // Saved and loaded again, the state is the same, and so are the bytes.
    FUZZ_CHECK(loaded->saveConfiguration());
    const QByteArray saved = store.read();
    const std::unique_ptr<HelperService> reloaded = store.start();
    FUZZ_CHECK(reloaded->manualBlock() == loaded->manualBlock());
    FUZZ_CHECK(reloaded->currentConfig().has_value() == loaded->currentConfig().has_value());
    if (loaded->currentConfig()) {
        FUZZ_CHECK(reloaded->currentConfig()->sameSchedule(*loaded->currentConfig()));
        FUZZ_CHECK(reloaded->currentConfig()->toJsonBytes() == loaded->currentConfig()->toJsonBytes());
    }
    FUZZ_CHECK(reloaded->saveConfiguration());
    FUZZ_CHECK(store.read() == saved);
    return 0;
}
