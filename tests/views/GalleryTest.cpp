// With BRIMWATCH_GALLERY=<folder>, renders the views in their other states (loading, an
// error, a failed refresh over rows, an update notice) for a person to look at.

#include "main/Render.h"
#include "prefs/Prefs.h"
#include "store/UsageStore.h"
#include "support/StoreFixture.h"
#include "views/PopoverView.h"
#include "views/WidgetView.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class Gallery : public StoreFixture {};

TEST_F(Gallery, States) {
    const QString dir = qEnvironmentVariable("BRIMWATCH_GALLERY");
    if (dir.isEmpty())
        GTEST_SKIP() << "set BRIMWATCH_GALLERY to a folder to render the gallery";
    const UsageStore::Deps d = deps();
    Prefs prefs;
    prefs.setDesktopWidget(false);

    const auto shoot = [&](UsageStore& store, const QString& name) {
        for (bool dark : {false, true}) {
            const QString suffix = dark ? u"-dark.png"_s : u"-light.png"_s;
            WidgetView card(&store);
            Render::snapshot(&card, dark, dir + u"/card-"_s + name + suffix);
            PopoverView popover(&store, &prefs);
            Render::snapshot(&popover, dark, dir + u"/popover-"_s + name + suffix);
        }
    };
    {
        UsageStore scene(d);
        scene.refresh();
        shoot(scene, u"loading"_s);
        tool.answer(CLIError{u"Claude Code is not installed on this computer. Install it from "
                             "https://claude.com/product/claude-code, log in once, then press "
                             "Refresh."_s});
        shoot(scene, u"error"_s);
    }
    {
        UsageStore scene(d);
        scene.refresh();
        tool.answer(u"Current session: 100% used · resets 9:30pm (UTC)\n"
                    "Current week (all models): 79.5% used · resets Oct 13 at 11am (UTC)\n"
                    "Current week (Opus): 12% used · resets Oct 13 at 11am (UTC)\n"
                    "Current week (Sonnet): 0% used"_s);
        time.advance(600);
        scene.refresh();
        tool.answer(u"Not logged in · Please run /login"_s);
        scene.checkForUpdate();
        feed.answer(u"1.4.2"_s);
        shoot(scene, u"failed"_s);
    }
}

} // namespace
