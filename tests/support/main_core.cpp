#include "support/full_disk.h"
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Before Qt starts a thread: a private mount namespace needs a lone thread.
    zel::test::enterPrivateMountNamespace();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
