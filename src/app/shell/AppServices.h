#pragma once

namespace kestravin {

// The composition root: the one place that builds the application's services
// with their real collaborators and the platform's Linux implementations.
// Installs, once and before anything asks for one, the builder behind every
// service's `shared()` and the window states the covering panels use; each
// service is then built on its first use, as before.
void installAppServices();

} // namespace kestravin
