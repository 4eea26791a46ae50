#pragma once

#include "app/models/AccountRecords.h"

#include <QString>

namespace kestravin {

// What the week editor's status line and notice are made of.
struct WeekEditorStatus {
    // The upload state of the account's settings.
    using SaveState = AccountSaveState::Case;

    // Signed in with an account whose settings are onboarded: edits are
    // saved to the account, and its save state speaks for them.
    bool accountOnboarded = false;
    SaveState saveState = SaveState::idle;
    // The failure's text when `saveState` is failed.
    QString failure;
    bool savedVisible = false;
    bool deferredByFocus = false;
    bool isBlocking = false;
    bool enabled = true;

    static const QString savedText;
    static const QString savedToAccountText;
    static const QString savingToAccountText;
    static const QString deferredNotice;
    static const QString disabledNotice;

    // Empty when nothing is to be shown.
    QString statusText() const;
    QString notice() const;
};

} // namespace kestravin
