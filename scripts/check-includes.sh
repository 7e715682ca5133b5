#!/usr/bin/env bash
# Fails when the project's includes break its shape: two modules (foo.h and
# foo.cpp with its platform files) that include each other through any path,
# or a file that includes what its folder's include_rules file does not
# allow (one allowed path prefix per line; a folder without one may include
# anything of the project).
#   scripts/check-includes.sh
set -euo pipefail
cd "$(dirname "$0")/.."
folders=(io tables files patch change config exchange sets app cli)
status=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT

module() {  # io/save_steps_posix.cpp -> io/save_steps
  local path=${1%.*}
  echo "${path%_posix}" | sed 's/_win32$//'
}

allowed() {  # allowed INCLUDED RULES
  local prefix
  for prefix in $(grep -v '^#' "$2"); do
    [[ "$1" == "$prefix"* ]] && return 0
  done
  return 1
}

for folder in "${folders[@]}"; do
  rules="$folder/include_rules"
  for file in "$folder"/*.h "$folder"/*.cpp; do
    [ -e "$file" ] || continue
    from=$(module "$file")
    while read -r included; do
      [ -e "$included" ] || continue  # a generated or system header
      if [ -f "$rules" ] && ! allowed "$included" "$rules"; then
        echo "check-includes: $file includes $included, which $rules does not allow" >&2
        status=1
      fi
      to=$(module "$included")
      [ "$from" != "$to" ] && echo "$from $to" >>"$edges"
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
  done
done

if ! tsort "$edges" >/dev/null 2>"$edges.loop"; then
  echo "check-includes: modules include each other:" >&2
  grep -v 'input contains a loop' "$edges.loop" | sed 's/^tsort: /  /' >&2
  status=1
fi
rm -f "$edges.loop"
[ "$status" -eq 0 ] && echo "check-includes: no circle, every include allowed"
exit "$status"
