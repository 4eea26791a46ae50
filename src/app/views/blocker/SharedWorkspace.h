#pragma once

namespace kestravin {

class X11Workspace;

// The running application's one X11 workspace, shared by the app blocker and
// the browser shield.
X11Workspace& sharedWorkspace();

} // namespace kestravin
