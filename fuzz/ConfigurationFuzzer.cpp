// The application reads config.json, which the user may have edited by hand.
#include "FuzzCheck.h"
#include "app/models/Configuration.h"
#include "contract/HostName.h"

using namespace kestravin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytesOf(data, size);
    QString error;
    const std::optional<Configuration> configuration = Configuration::fromJsonBytes(input, &error);
    if (!configuration) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    FUZZ_CHECK(*configuration == *configuration);

    // Saved and read again it is equal, in either layout, and saving is
    // deterministic.
    for (const auto format : { QJsonDocument::Indented, QJsonDocument::Compact }) {
        const QByteArray encoded = configuration->toJsonBytes(format);
        const std::optional<Configuration> again = Configuration::fromJsonBytes(encoded);
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(*again == *configuration);
        FUZZ_CHECK(again->toJsonBytes(format) == encoded);
    }

    // The daemon's schedule derived from it is stable and carries only safe hosts.
    const HelperScheduleConfig helper = configuration->helperScheduleConfig();
    FUZZ_CHECK(helper.sameSchedule(helper));
    FUZZ_CHECK(helper.sameSchedule(configuration->helperScheduleConfig()));
    for (const QString& site : helper.blockedSites)
        FUZZ_CHECK(isSafeHostName(site));
    const std::optional<HelperScheduleConfig> sent = HelperScheduleConfig::fromJsonBytes(helper.toJsonBytes());
    FUZZ_CHECK(sent.has_value());
    FUZZ_CHECK(sent->sameSchedule(helper));
    return 0;
}
