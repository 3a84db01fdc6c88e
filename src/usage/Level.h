#pragma once

// How close a limit is to its end, on the percentage as printed (never rounded first, so
// 79.6 is still normal): warn from 80, danger from 95, reached at 100. The bars, the ring,
// the alerts and the status-bar classes all take their level from here.
enum class Level { Normal, Warn, Danger, Reached };

inline Level levelOf(double percent) {
    if (percent >= 100)
        return Level::Reached;
    if (percent >= 95)
        return Level::Danger;
    if (percent >= 80)
        return Level::Warn;
    return Level::Normal; // below 80, and a percentage that is not a number
}

// The percentage at which a level starts: 80, 95 or 100 (0 for normal).
inline int levelStart(Level level) {
    constexpr int starts[] = {0, 80, 95, 100};
    return starts[int(level)];
}
