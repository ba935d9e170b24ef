#pragma once

#include <QProcess>
#include <QtTest>

// Fails (never skips) a test that would touch device paths outside the
// sandbox. Inside it is told by the sandbox's own check: facts of the
// namespaces that no environment variable can fake.
#define REQUIRE_SANDBOX()                                                                        \
    QVERIFY2(QProcess::execute(QStringLiteral(LIRRO_SOURCE_DIR "/scripts/sandbox"),              \
                               { QStringLiteral("--inside") }) == 0,                             \
             "run this test through scripts/sandbox")
