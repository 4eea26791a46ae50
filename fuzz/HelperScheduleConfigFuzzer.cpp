// The daemon decodes the application's schedule, as root, from D-Bus bytes.
#include "FuzzCheck.h"
#include "contract/HelperScheduleConfig.h"

using namespace kestravin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytesOf(data, size);
    QString error;
    const std::optional<HelperScheduleConfig> config = HelperScheduleConfig::fromJsonBytes(input, &error);
    if (!config) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    FUZZ_CHECK(config->sameSchedule(*config));

    // What the daemon writes back must read as the same thing, byte for byte.
    const QByteArray encoded = config->toJsonBytes();
    const std::optional<HelperScheduleConfig> again = HelperScheduleConfig::fromJsonBytes(encoded);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->toJsonBytes() == encoded);
    FUZZ_CHECK(config->sameSchedule(*again));
    FUZZ_CHECK(again->sameSchedule(*config));
    FUZZ_CHECK(again->siteAccess == config->siteAccess);
    FUZZ_CHECK(again->lastBrowserGeneration == config->lastBrowserGeneration);

    // The grants' filter keeps order and never invents a site.
    const QStringList kept = config->withoutSiteAccess(config->blockedSites, Instant(0));
    FUZZ_CHECK(kept.size() <= config->blockedSites.size());
    return 0;
}
