#!/usr/bin/env bash
# Lists which folders under src/ include which, and fails on an include that
# climbs to a higher floor or on folders that include each other, directly
# or in a loop. The floors, bottom up (folders on one floor may use each
# other, as long as no loop forms):
#   base; picture; image; formats import convert preview report effects; cli; app
# Usage: scripts/check-includes.sh [--list]
set -euo pipefail
cd "$(dirname "$0")/.."

floors=(base picture image "formats import convert preview report effects" cli app)
declare -A floor_of=()
for i in "${!floors[@]}"; do
  for folder in ${floors[$i]}; do floor_of[$folder]=$i; done
done

# Every edge "from to" between folders, once, from #include "folder/file.h".
edges="$(
  find src -type f \( -name '*.h' -o -name '*.cc' \) | sort | while read -r file; do
    from="$(echo "$file" | cut -d/ -f2)"
    sed -n 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z0-9_]*\)/[^"]*".*|\1|p' "$file" |
      while read -r to; do
        if [ "$to" != "$from" ]; then echo "$from $to"; fi
      done
  done | sort -u
)"

if [ "${1:-}" = "--list" ]; then echo "$edges"; fi

status=0
while read -r from to; do
  [ -z "$from" ] && continue
  for folder in "$from" "$to"; do
    if [ -z "${floor_of[$folder]+set}" ]; then
      echo "src/$folder has no floor: add it to scripts/check-includes.sh"
      status=1
    fi
  done
  if [ -z "${floor_of[$from]+set}" ] || [ -z "${floor_of[$to]+set}" ]; then continue; fi
  if [ "${floor_of[$to]}" -gt "${floor_of[$from]}" ]; then
    echo "climb: src/$from includes src/$to, a higher floor:"
    grep -rln "#include \"$to/" "src/$from" | sed 's/^/  /'
    status=1
  fi
done <<<"$edges"

# Loops: repeatedly take away folders that include no folder left; whatever
# remains lies on a loop.
remaining="$edges"
while :; do
  sources="$(echo "$remaining" | awk 'NF == 2 { print $1 }' | sort -u)"
  targets="$(echo "$remaining" | awk 'NF == 2 { print $2 }' | sort -u)"
  sinks="$(comm -13 <(echo "$sources") <(echo "$targets"))"
  [ -z "$sinks" ] && break
  remaining="$(echo "$remaining" | awk -v sinks="$sinks" '
    BEGIN { n = split(sinks, s, "\n"); for (i = 1; i <= n; ++i) sink[s[i]] = 1 }
    NF == 2 && !($2 in sink)')"
done
if [ -n "$(echo "$remaining" | awk 'NF == 2')" ]; then
  echo "loop among the folders of these includes:"
  echo "$remaining" | awk 'NF == 2 { print "  src/" $1 " -> src/" $2 }'
  status=1
fi

if [ "$status" -eq 0 ]; then
  echo "Includes between src/ folders: $(echo "$edges" | grep -c .) edges, no climb, no loop."
fi
exit "$status"
