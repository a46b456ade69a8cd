#!/usr/bin/env bash
# A save killed at any moment leaves the old file or the new one, whole,
# under the target's name; nothing piles up beside it, and after the next
# save nothing at all is left.  The killed process runs the program's own
# save on a 5.8 MB log, 200 times.
set -uo pipefail
tool=${SAVE_FOREVER:?}
rounds=${SAVE_KILL_ROUNDS:-200}
dir=$(mktemp -d /tmp/corvalin-save.XXXXXX)
trap 'rm -rf "$dir"' EXIT
target=$dir/activity.log
printf 'old\n' >"$target"
lines=90000 size=$((90000 * 64))  # 5.8 MB
missing=0 damaged=0 most=0 kinds=""
for ((round = 1; round <= rounds; round++)); do
  "$tool" "$target" "$lines" >"$dir.out" 2>&1 &
  pid=$!
  # Past start-up, then a random moment within a few saves.
  for _ in $(seq 200); do grep -q saving "$dir.out" 2>/dev/null && break; sleep 0.01; done
  sleep "$(printf "0.%03d" $((RANDOM % 300)))"
  kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  if [ ! -f "$target" ]; then
    missing=$((missing + 1))
    printf 'old\n' >"$target"
  else
    # Whole: the old text, or one save's text from its first line to its last.
    first=$(head -c 1 "$target") bytes=$(stat -c %s "$target")
    if [ "$(cat "$target")" = old ]; then kinds+=o
    elif [ "$bytes" = "$size" ] && [ "$(tr -d "\n.$first" <"$target" | wc -c)" = 0 ]; then kinds+=$first
    else damaged=$((damaged + 1)); fi
  fi
  # Killed between naming the finished new file and the rename, the name
  # stays until the next save reuses it; more than that would pile up.
  others=$(find "$dir" -mindepth 1 ! -path "$target" | wc -l)
  [ "$others" -gt "$most" ] && most=$others
done
rm -f "$dir.out"
"$tool" "$target" "$lines" once >/dev/null
leftover=$(find "$dir" -mindepth 1 ! -path "$target" | wc -l)
[ "$most" -le 1 ] || leftover=$((leftover + most))
echo "rounds $rounds: target missing $missing, damaged $damaged, most files beside it at once $most," \
     "left after the next save $leftover;" \
     "seen old $(tr -cd o <<<"$kinds" | wc -c), A $(tr -cd A <<<"$kinds" | wc -c), B $(tr -cd B <<<"$kinds" | wc -c)"
passed=0 failed=0
for count in $missing $damaged $leftover; do
  [ "$count" = 0 ] && passed=$((passed + 1)) || failed=$((failed + 1))
done
# Kills that never met a finished save would prove nothing.
[ "$(tr -cd AB <<<"$kinds" | wc -c)" -gt 0 ] && passed=$((passed + 1)) || failed=$((failed + 1))
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
