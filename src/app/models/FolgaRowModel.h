#pragma once

#include "AccountFolga.h"
#include "FolgaCopy.h"
#include "FolgaMenuState.h"

#include <QDateTime>
#include <QTimeZone>

#include <optional>

namespace kestravin {

// The popover's break row without its widgets: whether it shows, which of
// its two layouts, and every text and enabled state of the offer.
class FolgaRowModel {
public:
    enum class Layout { none, empty, offer };

    struct Inputs {
        bool hasSession = false;
        bool hasSnapshot = false;
        bool focusEnabled = false;
        std::optional<AccountFolga> folga;
        // A use request is in flight.
        bool usingFolga = false;
        // The last failed use; replaces the detail line while set.
        std::optional<QString> folgaError;
    };

    FolgaRowModel(Inputs inputs, QDateTime now, QTimeZone timeZone);

    Layout layout() const;
    FolgaMenuState state() const;

    // Empty layout.
    static QString emptyTitle();
    QString emptyDetail() const;

    // Offer layout.
    QString useTitle() const;
    bool useEnabled() const;
    QString badgeText() const;
    QString badgeAccessibleText() const;
    QString detailText() const;
    FolgaCopy::Confirmation confirmation() const;

private:
    const AccountFolga& folga() const { return *m_inputs.folga; }

    Inputs m_inputs;
    QDateTime m_now;
    QTimeZone m_timeZone;
};

} // namespace kestravin
