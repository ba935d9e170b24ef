#pragma once

#include <QProcess>
#include <QtTest>

namespace support {

// True only inside scripts/sandbox, by the sandbox's own check: facts of the
// namespaces that no environment variable can fake.
inline bool insideSandbox()
{
    return QProcess::execute(QStringLiteral(LIRRO_SOURCE_DIR "/scripts/sandbox"),
                             { QStringLiteral("--inside") })
           == 0;
}

} // namespace support

// Fails (never skips) a test that would touch device paths outside the sandbox.
#define REQUIRE_SANDBOX() QVERIFY2(support::insideSandbox(), "run this test through scripts/sandbox")
