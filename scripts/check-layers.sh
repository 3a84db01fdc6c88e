#!/usr/bin/env bash
# The floors hold: each folder of src/ includes only from the folders below it (and itself).
# A name with a file ("platform/WakeSource.h") allows that interface alone. Any other include
# of another folder fails, with the file and line.
set -euo pipefail
cd "$(dirname "$0")/../src"

declare -A may=(
    [files]=""
    [usage]="files"
    [cli]="usage files"
    [transcripts]="usage files"
    [platform]="files"
    [prefs]="files"
    [store]="transcripts cli usage files platform/WakeSource.h platform/Urgency.h"
    [views]="store prefs transcripts cli usage files"
    [commands]="views store prefs transcripts cli usage files platform/AppBusNames.h"
    [app]="commands views store prefs platform transcripts cli usage files"
)

status=0
for folder in */; do
    folder=${folder%/}
    if [[ ! -v may[$folder] ]]; then
        echo "layers: src/$folder is not in the table of scripts/check-layers.sh"
        status=1
        continue
    fi
    while IFS=: read -r file line include; do
        target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"$include")
        [[ $target == */* ]] || continue # the folder's own header
        other=${target%%/*}
        [[ $other == "$folder" ]] && continue
        ok=0
        for allowed in ${may[$folder]}; do
            [[ $allowed == "$other" || $allowed == "$target" ]] && ok=1
        done
        if ((!ok)); then
            echo "layers: src/$file:$line includes $target, above or beside src/$folder"
            status=1
        fi
    done < <(grep -Hn '^#include "' "$folder"/*.h "$folder"/*.cpp 2>/dev/null || true)
done
((status == 0)) && echo "layers: every include goes down"
exit $status
