#pragma once

#include <QString>

namespace kestravin {

// The errors that the account, browser and assistant operations report to the
// person. The order is the integer code.
enum class DesktopAccessError {
    invalidApproval = 0,
    sessionChanged = 1,
    configuration = 2,
    invalidRequest = 3,
    unavailable = 4,
    helperUpdate = 5,
    browserUnavailable = 6,
    invalidTarget = 7,
};

// The sentence shown for `error`.
QString describe(DesktopAccessError error);

// A failed operation of the browser exchange: one of the refusals above, an
// error the extension reported (domain "KestravinBridge", code 1), a file
// that did not decode, or a cancelled wait.
struct BridgeFailure {
    enum class Kind { access, bridge, decoding, cancelled };

    Kind kind = Kind::access;
    DesktopAccessError access = DesktopAccessError::invalidRequest;
    QString domain;
    int code = 0;
    QString message;

    static BridgeFailure of(DesktopAccessError error);
    // The refusal's kind with a sentence of its own, where the standard text
    // would tell the user about the wrong value.
    static BridgeFailure of(DesktopAccessError error, QString message);
    static BridgeFailure fromExtension(QString message);
    static BridgeFailure decoding(QString detail);
    static BridgeFailure cancelled();

    bool is(DesktopAccessError error) const { return kind == Kind::access && access == error; }
};

// The text of a focus length outside what the bridge accepts.
QString focusLengthOutOfRange();

} // namespace kestravin
