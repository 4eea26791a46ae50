#pragma once

#include <QString>

#include <optional>

namespace kestravin {

// The pure decisions of the browser shield about text read out of a browser
// window: which host an address names, whether the daemon's block section of
// the hosts file lists that host right now, and which platform it belongs to.
// Hosts are compared in their ASCII (ACE) form, since the hosts file holds
// that form while browsers show international names in Unicode.
namespace BrowserShieldPolicy {

// The lower-cased host of a typed or displayed address ("https://" is assumed
// when the text has no scheme); nothing for anything that is not an http(s)
// address with a dotted host and no user or password. A leading "www." and a
// trailing dot stay; the port and path are not part of the host.
std::optional<QString> host(const QString& text);

// The host of `address` when a loopback line of the marked section of
// `hostsFile` names it exactly; otherwise nothing.
std::optional<QString> blockedHost(const QString& address, const QString& hostsFile);

// "youtube", "x" or "tiktok" when the host is one of that platform's domains
// or lies under one; otherwise nothing.
std::optional<QString> platform(const QString& host);

} // namespace BrowserShieldPolicy

// The key of the blocked page last counted as an attempt, or of the one a
// close under way takes away.
struct BrowserShieldAttempts {
    std::optional<QString> previous;
};

} // namespace kestravin
