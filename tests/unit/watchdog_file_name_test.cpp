#include <gtest/gtest.h>

#include <string>

#include "watchdog/synchronization_watchdog.h"

namespace {

using synchronization::watchdog::SynchronizationWatchdog;

TEST(WatchdogFileName, TakesTheLastComponentOfEveryPathForm) {
    const std::u16string stem255(255, u'a');
    const std::u16string stem256(256, u'a');
    const std::u16string ext255 = u"." + std::u16string(254, u'x');  // the full stop counts
    const std::u16string ext256 = u"." + std::u16string(255, u'x');
    const struct {
        std::u16string path;
        std::u16string name;
    } cases[] = {
        {u"\\Device\\HarddiskVolume2\\tmp\\x\\ChartManager.exe", u"ChartManager.exe"},
        {u"C:\\Sync\\svc.exe", u"svc.exe"},
        {u"C:svc.exe", u"svc.exe"},
        {u"/usr/local/bin/Setup.exe", u"Setup.exe"},
        {u"mixed/dir\\S63Loader.exe", u"S63Loader.exe"},
        {u"svc", u"svc"},
        {u"dir\\", u""},
        {u"a.b.c", u"a.b.c"},
        {u"\\x\\" + stem255 + u".exe", stem255 + u".exe"},
        {u"\\x\\" + stem256 + u".exe", u""},
        {u"\\x\\s" + ext255, u"s" + ext255},
        {u"\\x\\s" + ext256, u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SynchronizationWatchdog::FileNameOfPath(c.path), c.name);
    }
}

}  // namespace
