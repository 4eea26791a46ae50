// The address a user pastes for a link request, through the strict URL
// splitter and the link rules.
#include "FuzzCheck.h"
#include "app/models/BrowserBridgePolicy.h"
#include "app/models/StrictUrl.h"

using namespace kestravin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(fuzz::bytesOf(data, size));
    if (const auto url = StrictUrl::parse(text)) {
        FUZZ_CHECK(!url->toString(false).contains(u'#'));
        FUZZ_CHECK(!url->port || (*url->port >= 0 && *url->port <= 65535));
    }
    const QString address = BrowserBridgePolicy::normalized(text);
    const auto target = BrowserBridgePolicy::target(address);
    // A canonical address is its own target, and no problem is shown for it.
    if (target) {
        FUZZ_CHECK(BrowserBridgePolicy::target(target->url) == target);
        FUZZ_CHECK(!BrowserBridgePolicy::problem(address).has_value());
    } else if (!address.isEmpty()) {
        FUZZ_CHECK(BrowserBridgePolicy::problem(address).has_value());
    }
    return 0;
}
