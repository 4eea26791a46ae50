// The daemon decodes the list of site grants, as root, from D-Bus bytes.
#include "FuzzCheck.h"
#include "contract/SiteAccessGrant.h"

using namespace kestravin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytesOf(data, size);
    QString error;
    const std::optional<QList<SiteAccessGrant>> grants = SiteAccessGrant::listFromJsonBytes(input, &error);
    if (!grants) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    const QByteArray encoded = SiteAccessGrant::listToJsonBytes(*grants);
    const std::optional<QList<SiteAccessGrant>> again = SiteAccessGrant::listFromJsonBytes(encoded);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(*again == *grants);
    FUZZ_CHECK(SiteAccessGrant::listToJsonBytes(*again) == encoded);
    return 0;
}
