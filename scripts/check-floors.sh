#!/usr/bin/env bash
# Fails when an #include "..." runs up a floor, naming the file and the line.
#
#   scripts/check-floors.sh [ROOT]     check the tree at ROOT (default: this checkout)
#   scripts/check-floors.sh --self-test
#
# A file may include its own floor and the floors below it. The folders
# beside the floors use whatever they need. Test helpers serve tests only: a
# test, or another helper, may include them; nothing else may.
set -euo pipefail

FLOORS="platform channels board recording screens shell"   # from the ground up
BESIDE="installer resources tools bench fuzz testing"
NOT_SOURCE="cmake docs scripts tests"
TEST_FILE='_test\.(cpp|h)$'
TEST_HELPER='(test_support|_testing)[^/]*$|/temp_device\.h$|/test_art\.h$|/golden\.(h|cpp)$'

check() {
    local root=$1
    cd "$root"
    local folders
    folders=$(find . -mindepth 1 -maxdepth 1 -type d ! -name '.*' ! -name 'build*' -printf "%f\n" | sort | tr "\n" " ")
    local sources
    sources=$(for d in $folders; do find "$d" -type f \( -name '*.cpp' -o -name '*.cc' -o -name '*.c' -o -name '*.h' -o -name '*.hpp' \); done | sort)
    [ -n "$sources" ] || return 0
    # shellcheck disable=SC2086
    grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"' $sources |
        awk -v floors="$FLOORS" -v beside="$BESIDE" -v notSource="$NOT_SOURCE" \
            -v testFile="$TEST_FILE" -v testHelper="$TEST_HELPER" -v folders="$folders" '
        BEGIN {
            n = split(floors, f, " ")
            for (i = 1; i <= n; ++i) level[f[i]] = i
            split(beside, b, " "); for (i in b) isBeside[b[i]] = 1
            split(notSource, s, " "); for (i in s) isBeside[s[i]] = 1
            split(folders, d, " "); for (i in d) isFolder[d[i]] = 1
            order = floors; gsub(/ /, " < ", order)
            bad = 0
        }
        {
            file = $0; sub(/:.*/, "", file)
            rest = substr($0, length(file) + 2)
            line = rest; sub(/:.*/, "", line)
            target = rest; sub(/^[^"]*"/, "", target); sub(/".*/, "", target)
            from = file; sub(/\/.*/, "", from)
            to = target; sub(/\/.*/, "", to)
            if (!(from in level) && !(from in isBeside)) {
                if (!(from in warned)) print file ": the folder " from " is neither a floor nor beside them"
                warned[from] = 1; bad = 1; next
            }
            if (from in isBeside || !(to in isFolder)) next   # beside, or a generated header
            if (!(to in level)) {
                print file ":" line ": includes \"" target "\": " from " is a floor and " to " lies beside the floors"
                bad = 1
            } else if (level[to] > level[from]) {
                print file ":" line ": includes \"" target "\", which runs up from " from " to " to " (" order ")"
                bad = 1
            } else if (("/" target) ~ testHelper && file !~ testFile && ("/" file) !~ testHelper) {
                print file ":" line ": includes the test helper \"" target "\" outside a test"
                bad = 1
            }
        }
        END { exit bad }'
}

self_test() {
    local tree
    tree=$(mktemp -d)
    trap 'rm -rf "$tree"' RETURN
    mkdir -p "$tree"/{platform,channels,board,screens,shell,tools,build-x}
    printf '#include "platform/a.h"\n#include "zarn_version.h"\n' >"$tree/board/ok.cpp"
    printf '#include "board/test_support.h"\n' >"$tree/screens/thing_test.cpp"
    printf '#include "shell/main.h"\n' >"$tree/tools/free.cpp"
    printf '#include "shell/main.h"\n' >"$tree/build-x/ignored.cpp"
    printf '// one\n#include "screens/view.h"\n' >"$tree/channels/plan.cpp"
    printf '#include "tools/sim.h"\n' >"$tree/shell/frame.cpp"
    printf '#include "board/test_support.h"\n' >"$tree/screens/view.cpp"
    local got want
    got=$( (check "$tree") 2>&1 || true)
    want='channels/plan.cpp:2: includes "screens/view.h", which runs up from channels to screens (platform < channels < board < recording < screens < shell)
screens/view.cpp:1: includes the test helper "board/test_support.h" outside a test
shell/frame.cpp:1: includes "tools/sim.h": shell is a floor and tools lies beside the floors'
    if [ "$got" != "$want" ]; then
        printf 'check-floors self-test failed; got:\n%s\nwanted:\n%s\n' "$got" "$want" >&2
        return 1
    fi
    rm -f "$tree/channels/plan.cpp" "$tree/shell/frame.cpp" "$tree/screens/view.cpp"
    if ! (check "$tree") >/dev/null; then
        echo "check-floors self-test failed: a sound tree was refused" >&2
        return 1
    fi
}

case "${1:-}" in
--self-test) self_test ;;
-h | --help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//' ;;
*)
    root=${1:-$(dirname "$0")/..}
    if ! out=$(check "$root"); then
        printf '%s\n' "$out" >&2
        echo "check-floors: includes run up a floor ($FLOORS, from the ground up)" >&2
        exit 1
    fi
    ;;
esac
