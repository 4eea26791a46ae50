#pragma once

#include <QString>

namespace kestravin::BundleSwap {

// Beside the bundle folder B (names from B's own name, "Kestravin" here):
//   .Kestravin-update.partial  an archive being unpacked
//   .Kestravin-update/Kestravin  a whole, verified new bundle
//   .Kestravin-old  the old bundle while a swap without exchange runs
QString partialFolder(const QString& bundlePath);
QString stagingFolder(const QString& bundlePath);
QString stagedBundle(const QString& bundlePath);
QString oldFolder(const QString& bundlePath);

// Puts the staged bundle in place of `bundlePath` and removes the old one.
// An atomic exchange where the file system has it; otherwise two renames,
// the first undone when the second fails. At every instant either the old or
// the new bundle is at `bundlePath`, except between the two renames, which
// `recover` finishes.
bool swap(const QString& bundlePath, QString* error, bool allowExchange = true);

// Run at start: finishes a swap that was cut short (a staged bundle while the
// bundle folder is missing), or rolls it back (only the old one left), then
// removes what an earlier update left behind.
void recover(const QString& bundlePath);

} // namespace kestravin::BundleSwap
