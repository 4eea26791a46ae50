// The bodies that reach the account service from the network: every decoder
// gets the same bytes, and what it accepts must hold the service's bounds.
#include "AccountRequests.h"
#include "FuzzCheck.h"
#include "app/models/BrowserBridgePolicy.h"

#include <QJsonDocument>

using namespace kestravin;
using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body = fuzz::bytesOf(data, size);
    QString error;

    if (const auto decide = AccountRequests::decide(body, &error)) {
        using Mode = AccountRequests::Decide::Mode;
        FUZZ_CHECK(decide->minutes >= 1 && decide->minutes <= AccountRequests::exceptionMinutesMaximum);
        const int length = AccountRequests::characters(decide->reason.trimmed());
        FUZZ_CHECK(length >= AccountRequests::reasonMinimum && length <= AccountRequests::reasonMaximum);
        FUZZ_CHECK(!decide->focusId.isEmpty() && decide->focusId.size() <= AccountRequests::identifierMaximum);
        if (decide->mode == Mode::link) {
            FUZZ_CHECK(decide->platform == u"youtube"_s || decide->platform == u"x"_s);
            // The canonical address is a target again, of the same platform.
            const auto again = BrowserBridgePolicy::target(decide->url);
            FUZZ_CHECK(again && again->platform == decide->platform && again->url == decide->url);
        } else {
            FUZZ_CHECK(decide->focusEnd.has_value());
            FUZZ_CHECK(!decide->requestId.isEmpty());
            FUZZ_CHECK(decide->mode == Mode::app || AccountRequests::isSiteRoot(decide->site));
        }
    } else {
        FUZZ_CHECK(!error.isEmpty());
    }

    if (const auto update = AccountRequests::settingsUpdate(body, nullptr)) {
        // What is stored is the settings' own encoding; it must read back the same.
        const QByteArray stored = QJsonDocument(update->settings.toJson()).toJson(QJsonDocument::Compact);
        const auto again = AccountRequests::settingsUpdate(
            R"({"settings":)" + stored + R"(,"revision":)" + QByteArray::number(update->revision) + "}", nullptr);
        FUZZ_CHECK(again && again->settings == update->settings && again->revision == update->revision);
    }
    if (const auto focus = AccountRequests::focusStart(body, nullptr))
        FUZZ_CHECK(focus->minutes >= 1 && focus->minutes <= AccountRequests::focusMinutesMaximum);
    if (const auto missions = AccountRequests::missions(body, nullptr)) {
        for (const AccountMission& mission : missions->missions)
            FUZZ_CHECK(!mission.kind.isEmpty() && mission.target >= 0);
    }
    if (const auto earn = AccountRequests::folgaEarn(body, nullptr))
        FUZZ_CHECK(earn->mission.toJson().contains(u"kind"_s));
    if (const auto refresh = AccountRequests::refresh(body, nullptr))
        FUZZ_CHECK(
            !refresh->refreshToken.isEmpty() && refresh->refreshToken.size() <= AccountRequests::identifierMaximum);
    if (const auto poll = AccountRequests::poll(body, nullptr))
        FUZZ_CHECK(!poll->secret.isEmpty() && poll->secret.size() <= AccountRequests::identifierMaximum);
    if (const auto form = AccountRequests::linkForm(body, nullptr)) {
        FUZZ_CHECK(form->code.size() <= AccountRequests::identifierMaximum);
        FUZZ_CHECK(form->install.size() <= AccountRequests::identifierMaximum);
        if (const auto name = AccountRequests::personName(form->name))
            FUZZ_CHECK(!name->isEmpty() && *name == name->trimmed());
    }
    return 0;
}
