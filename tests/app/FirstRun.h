#pragma once

#include "app/MainFrm.h"
#include "platform/SettingsStore.h"

#include <QFile>
#include <gtest/gtest.h>

namespace quillon::test {

/// Forgets what earlier runs kept: the settings and the default job.
inline void ForgetEarlierRuns()
{
    QFile::remove(SettingsStore().fileName());
    QFile::remove(MainFrm::DefaultJobPath());
}

/// A suite whose every test starts as a first run (no settings, no default job) and leaves no
/// settings behind.
class FirstRunTest : public ::testing::Test {
protected:
    void SetUp() override { ForgetEarlierRuns(); }
    void TearDown() override { QFile::remove(SettingsStore().fileName()); }
};

} // namespace quillon::test
