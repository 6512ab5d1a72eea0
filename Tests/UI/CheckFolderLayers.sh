#!/usr/bin/env bash
# The program's folders are layers: each one includes only itself and the folders below it, so a
# reader can tell which way the program is built. Also keeps each source file short enough to read.
# Usage: CheckFolderLayers.sh <Modules/UI folder>
set -uo pipefail
ui="${1:?usage: CheckFolderLayers.sh <Modules/UI folder>}"
layers=(Shell Controls Canvas Panels Toolbox Window)
failures=0
for ((i = 0; i < ${#layers[@]}; i++)); do
  folder=${layers[i]}
  allowed=("${layers[@]:0:i+1}")
  while IFS= read -r line; do
    used=${line#*\"}
    used=${used%%/*}
    ok=0
    for a in "${allowed[@]}"; do [ "$used" = "$a" ] && ok=1; done
    if [ "$ok" = 0 ]; then
      echo "layering: $line (a $folder file includes $used, which is above it)"
      failures=$((failures + 1))
    fi
  done < <(grep -Hn '^#include "\(Shell\|Controls\|Canvas\|Panels\|Toolbox\|Window\)/' "$ui/$folder"/*.h "$ui/$folder"/*.cpp 2>/dev/null)
done
while IFS= read -r counted; do
  lines=${counted% *}
  file=${counted##* }
  if [ "$file" != total ] && [ "$lines" -gt 1000 ]; then
    echo "length: $file has $lines lines (at most 1000)"
    failures=$((failures + 1))
  fi
done < <(find "$ui" -name '*.cpp' -o -name '*.h' | xargs wc -l | awk '{print $1" "$2}')
[ "$failures" = 0 ] && echo "folder layers and file lengths: ok"
exit $((failures > 0))
