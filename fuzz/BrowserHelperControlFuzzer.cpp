// The daemon decodes the browser focus state, as root, from D-Bus bytes.
#include "FuzzCheck.h"
#include "contract/BrowserHelperControl.h"

#include <QJsonDocument>

using namespace kestravin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytesOf(data, size);
    QString error;
    const std::optional<BrowserHelperControl> control = BrowserHelperControl::fromJsonBytes(input, &error);
    if (!control) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    const QByteArray encoded = control->toJsonBytes();
    const std::optional<BrowserHelperControl> again = BrowserHelperControl::fromJsonBytes(encoded);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->toJsonBytes() == encoded);
    FUZZ_CHECK(again->enabled == control->enabled);
    FUZZ_CHECK(again->generation == control->generation);
    FUZZ_CHECK(again->platforms == control->platforms);

    // The rules read the decoded values at a few instants around them.
    for (const Instant now : { Instant(0), control->coverageUntil, Instant(8e8) }) {
        const bool valid = control->isValid(now);
        FUZZ_CHECK(valid == again->isValid(now));
        if (valid)
            FUZZ_CHECK(control->platforms.size() <= BrowserHelperControl::maximumPlatforms);
        for (const bool scheduled : { false, true })
            FUZZ_CHECK(control->shouldBlock(scheduled, now) == again->shouldBlock(scheduled, now));
    }
    return 0;
}
