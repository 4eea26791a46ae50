// The application reads the browser extension's receipt, command and result
// files and its own session.json; any of them may hold anything.
#include "FuzzCheck.h"
#include "app/models/BrowserBridgeModels.h"

using namespace kestravin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytesOf(data, size);
    BrowserExchange::decode(input, BrowserReceipt::fromJson);
    BrowserExchange::decode(input, BrowserCommand::fromJson);
    BrowserExchange::decode(input, BrowserURLResult::fromJson);
    BrowserExchange::receiptClientId(QString::fromUtf8(input));

    if (const auto session = BrowserExchange::decode(input, BrowserBridgeSession::fromJson)) {
        const QByteArray encoded = BrowserExchange::compact(session->toJson());
        FUZZ_CHECK(!encoded.contains("null"));
        const auto again = BrowserExchange::decode(encoded, BrowserBridgeSession::fromJson);
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(BrowserExchange::compact(again->toJson()) == encoded);
    }
    if (const auto settings = BrowserExchange::decode(input, BrowserSettings::fromJson)) {
        const QByteArray encoded = BrowserExchange::compact(settings->toJson());
        const auto again = BrowserExchange::decode(encoded, BrowserSettings::fromJson);
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(*again == *settings);
    }
    return 0;
}
