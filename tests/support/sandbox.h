#pragma once

#include <QtTest>

namespace support {

// True only inside scripts/sandbox, by the sandbox's own check: facts of the
// namespaces that no environment variable can fake.
bool insideSandbox();

} // namespace support

// Fails (never skips) a test that would touch device paths outside the sandbox.
#define REQUIRE_SANDBOX() QVERIFY2(support::insideSandbox(), "run this test through scripts/sandbox")
