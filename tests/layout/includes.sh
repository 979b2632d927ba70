#!/bin/bash
# Fails when a file of the engines includes a header of the front ends:
#   includes.sh SOURCE_DIR FILE_OR_FOLDER...
# Each argument is relative to SOURCE_DIR; a folder stands for every .h and
# .cpp file in it.
set -u
src=$1; shift
bad=0
for arg in "$@"; do
    [ -e "$src/$arg" ] || { echo "FAIL: $arg does not exist" >&2; bad=1; continue; }
    while IFS= read -r -d '' f; do
        if hits=$(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](ui|app)/' "$f"); then
            printf '%s: %s\n' "${f#"$src"/}" "$hits" >&2
            bad=1
        fi
    done < <(find "$src/$arg" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)
done
[ $bad = 0 ] && echo "ok: no file of $* includes ui/ or app/"
exit $bad
