// The progress window at the screen's DPI. The main entry runs this at 96 DPI; e2e_dpi144 and
// e2e_dpi192 run it in a prefix whose DPI (LogPixels) they set first.
#include "driver.h"
#include "report.h"

#include <gtest/gtest.h>

#include <stdlib.h>

using namespace e2e;

TEST(HighDpi, TheProgressWindowsClientAreaIsThe96DpiOneScaled)
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    // The DPI the entry set (VORLANE_DPI), or the prefix's own.
    const char* set = getenv("VORLANE_DPI");
    ASSERT_EQ(dpi, set != nullptr ? atoi(set) : 96) << "the prefix's DPI";
    Scratch scratch;
    std::string temp = scratch.dir("dpi");
    RunOptions o;
    o.exe = variantExe("slow");
    // The zeros are no installer package: the silent installer fails once the decode is over,
    // and setup reports it.
    o.args = "/qn";
    o.env = {{"TMP", temp}, {"TEMP", temp}, {"VORLANE_AUTOUPDATE_INSTALLDIR", kUnset}};
    o.timeoutMs = 540000;
    Child child = start(o);
    Dialog dialog;
    EXPECT_TRUE(waitDialog(child, &dialog, o.timeoutMs)) << "no report of the installer's failure";
    answer(dialog, IDOK);
    finish(child);
    SIZE client = {};
    ASSERT_TRUE(progressShown(child.pid, nullptr, &client)) << "no progress window at " << dpi;
    EXPECT_NEAR(client.cx, SETUP_PROGRESS_CLIENT_WIDTH * dpi / 96.0, 2) << "at " << dpi << " DPI";
    EXPECT_NEAR(client.cy, SETUP_PROGRESS_CLIENT_HEIGHT * dpi / 96.0, 2) << "at " << dpi << " DPI";
}
