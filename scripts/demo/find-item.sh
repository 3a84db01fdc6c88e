#!/usr/bin/env bash
# Prints "X Y" of the tray item in a screenshot of the demo panel (30 px high, at the top):
# the dark shapes of the panel are grouped into clusters by columns; the last cluster is
# the clock, the one before it our item.
set -euo pipefail
convert "$1" -crop 1280x30+0+0 +repage -colorspace Gray -threshold 60% -negate txt:- |
    awk -F'[,:]' 'NR > 1 && $0 ~ /#FFFFFF/ { dark[$1] = 1 }
        END {
            n = 0; prev = -100
            for (x = 0; x < 1280; x++) if (x in dark) {
                if (x - prev > 4) { n++; start[n] = x }
                end[n] = x; prev = x
            }
            if (n < 2) { print 1200, 15; exit }
            printf "%d 15\n", (start[n - 1] + end[n - 1]) / 2
        }'
