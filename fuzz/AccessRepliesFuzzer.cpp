// The assistant's decisions as the account sends them: both reply records
// and the validity rule applied after decoding.
#include "FuzzCheck.h"
#include "app/models/AccessRequests.h"
#include "app/models/AccountJson.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace kestravin;
using namespace Qt::StringLiterals;

namespace {

template <typename T> void insertOptional(QJsonObject& object, const QString& key, const std::optional<T>& value)
{
    if (value)
        object.insert(key, *value);
}

QByteArray written(const DesktopAccessReply& reply)
{
    QJsonObject object { { u"decision"_s, reply.decision }, { u"reason"_s, reply.reason } };
    insertOptional(object, u"requestId"_s, reply.requestId);
    insertOptional(object, u"focusId"_s, reply.focusId);
    insertOptional(object, u"appId"_s, reply.appId);
    insertOptional(object, u"expiresAt"_s, reply.expiresAt);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray written(const LinkReply& reply)
{
    QJsonObject object { { u"decision"_s, reply.decision }, { u"reason"_s, reply.reason } };
    insertOptional(object, u"grantExpiresAt"_s, reply.grantExpiresAt);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool writable(const std::optional<QString>& text)
{
    return !text || text->isValidUtf16();
}

bool writable(const DesktopAccessReply& reply)
{
    return reply.decision.isValidUtf16() && reply.reason.isValidUtf16() && writable(reply.requestId)
        && writable(reply.focusId) && writable(reply.appId);
}

bool writable(const LinkReply& reply)
{
    return reply.decision.isValidUtf16() && reply.reason.isValidUtf16();
}

// What decodes, written again with only its own keys, decodes to the same
// record (text with a lone surrogate cannot be written back as it came).
template <typename T> void checkRoundTrip(const QByteArray& bytes)
{
    const auto reply = AccountJson::decode<T>(bytes);
    if (!reply)
        return;
    if (writable(*reply)) {
        const auto again = AccountJson::decode<T>(written(*reply));
        FUZZ_CHECK(again && *again == *reply);
    }
    if (isValidReply(reply->decision, reply->reason)) {
        FUZZ_CHECK(reply->decision == u"allow"_s || reply->decision == u"clarify"_s || reply->decision == u"deny"_s);
        FUZZ_CHECK(reply->reason.size() >= 3);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    checkRoundTrip<DesktopAccessReply>(bytes);
    checkRoundTrip<LinkReply>(bytes);
    return 0;
}
