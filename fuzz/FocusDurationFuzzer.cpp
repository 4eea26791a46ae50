// What the user types as the length of a focus session.
#include "FuzzCheck.h"
#include "app/models/FocusDuration.h"

using namespace kestravin;

namespace {

QString asciiUpper(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(fuzz::bytesOf(data, size));
    const std::optional<qint64> minutes = FocusDuration::parse(text);
    if (minutes) {
        FUZZ_CHECK(*minutes >= 1);
        FUZZ_CHECK(*minutes <= FocusDuration::maximumMinutes);
    }
    // Case and spaces do not matter.
    FUZZ_CHECK(FocusDuration::parse(asciiUpper(text)) == minutes);
    FUZZ_CHECK(FocusDuration::parse(u' ' + text + u' ') == minutes);
    // A plain count of minutes reads as itself.
    if (minutes)
        FUZZ_CHECK(FocusDuration::parse(QString::number(*minutes)) == minutes);
    return 0;
}
