// Whether the test runs as a Windows program under Wine. A few checks state
// what Windows itself does where Wine's emulation differs; they are left out
// there, by name, rather than weakened.
#pragma once

namespace tessaril::test {

bool under_wine();

}  // namespace tessaril::test
