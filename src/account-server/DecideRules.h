#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// How this service answers a request for a short exception while a focus
// runs. It stands in for the assistant's judgement with a few fixed rules
// that a person can predict:
//  1. A focus that ends within `closingMarginMs` frees nothing more: deny.
//  2. The exceptions of one focus add up to at most `focusBudgetMinutes`;
//     a request that would pass the budget is denied.
//  3. A short reason (under `shortReasonCharacters`) gets one question per
//     focus and target before anything is allowed.
//  4. Otherwise allow, until the earlier of now plus the minutes asked for
//     and the end of the focus.
// Every number of the rules lives here.
namespace kestravin::DecideRules {

inline constexpr qint64 focusBudgetMinutes = 30;
inline constexpr int shortReasonCharacters = 40;
inline constexpr qint64 closingMarginMs = 60 * 1000;

struct Input {
    qint64 nowMs = 0;
    // The earliest end of the focus that the request belongs to.
    qint64 focusEndMs = 0;
    qint64 minutes = 0;
    // Characters of the trimmed reason.
    int reasonCharacters = 0;
    // Minutes already allowed in this focus.
    qint64 allowedMinutes = 0;
    // A question was already asked in this focus about this target.
    bool clarified = false;
};

struct Decision {
    QString decision; // "allow", "clarify" or "deny"
    QString reason;
    // Set for an allow.
    std::optional<qint64> expiresAtMs;
    // Whole minutes the allow takes from the budget.
    qint64 minutesGranted = 0;
};

Decision decide(const Input& input);

} // namespace kestravin::DecideRules
