#pragma once

namespace kestravin::test {

class XDisplay;

// The display that XApplicationMain started for this test program.
XDisplay& applicationDisplay();

} // namespace kestravin::test
