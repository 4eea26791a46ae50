#pragma once

#include <QString>

namespace kestravin {

// Refusals of the browser and assistant operations that the user sees. Only
// the cases those operations raise so far are here; the numbering is the one
// stored and compared elsewhere, so invalidTarget keeps 7.
enum class DesktopAccessError {
    invalidApproval = 2,
    sessionChanged = 3,
    invalidRequest = 4,
    browserUnavailable = 6,
    invalidTarget = 7,
};

QString description(DesktopAccessError error);

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
