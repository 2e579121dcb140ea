#!/usr/bin/env bash
# Fails when an #include "..." crosses a line the layout draws, naming the file and the line.
#
#   scripts/check-floors.sh [ROOT]     check the tree at ROOT (default: this checkout)
#   scripts/check-floors.sh --self-test
#
# - A file on a floor includes its own floor and the floors below it, nothing
#   beside the floors but testing/ from a test.
# - A program's folder under tools/ includes no other program's files; fuzz/,
#   bench/ and testing/ include no program's files at all. What they share lies
#   on a floor, or in testing/.
# - One output's folder under outputs/ includes no other output's; outputs/X/
#   may include the fan-out's files at the top of outputs/, not the other way.
# - A sub-folder of a program's folder holds a family of its commands
#   (tools/zarnlog/report/, tools/zarnlog/map/, ...; with its own sub-folders).
#   No family includes another family's files: what two families share lies at
#   the top of the program's folder, which every family may include. A file at
#   the top includes a family's files only to hand it its commands: the
#   program's main.cpp and the command lines named in DISPATCHERS.
# - testing/ holds test support: only tests and test helpers include it, the
#   benchmarks (which start the tests' servers), and the measuring instruments
#   (zarn-line-check, zarn-meter), which run zarn and its simulator as the tests do.
# - Test helpers (named *test_support*, *_testing*, ...) serve tests only.
set -euo pipefail

FLOORS="platform channels board recording survey outputs screens shell"   # from the ground up
BESIDE="installer resources testing tools bench fuzz"
NOT_SOURCE="cmake docs scripts tests"
NO_PROGRAMS="bench fuzz testing"             # include no program's files
INSTRUMENTS="tools/line_check tools/meter"   # may include testing/
DISPATCHERS="tools/zarnlog/zarnlog_command.cpp tools/zarnlog/archive_command_line.cpp tools/zarnlog/locate_command_line.cpp"  # and tools/*/main.cpp
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
        awk -v floors="$FLOORS" -v beside="$BESIDE" -v notSource="$NOT_SOURCE" -v noPrograms="$NO_PROGRAMS" \
            -v instruments="$INSTRUMENTS" -v dispatchers="$DISPATCHERS" -v testFile="$TEST_FILE" -v testHelper="$TEST_HELPER" -v folders="$folders" '
        # The second part of a path: the program of tools/P/..., the output of outputs/X/...
        # (empty for a file at the top of its folder).
        function part(path,    p) { return split(path, p, "/") > 2 ? p[2] : "" }
        # The family of commands of tools/P/F/... (empty for a file at the top of tools/P/).
        function family(path,    p) { return split(path, p, "/") > 3 ? p[3] : "" }
        function fail(text) { print file ":" line ": includes \"" target "\": " text; bad = 1 }
        BEGIN {
            n = split(floors, f, " ")
            for (i = 1; i <= n; ++i) level[f[i]] = i
            split(beside, b, " "); for (i in b) isBeside[b[i]] = 1
            split(notSource, s, " "); for (i in s) isBeside[s[i]] = 1
            split(noPrograms, s, " "); for (i in s) noProgram[s[i]] = 1
            split(instruments, s, " "); for (i in s) instrument[s[i]] = 1
            split(dispatchers, s, " "); for (i in s) dispatcher[s[i]] = 1
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
            if (!(to in isFolder)) next   # a generated header
            isTest = file ~ testFile || ("/" file) ~ testHelper
            if (to == "testing") {
                if (!isTest && from != "testing" && from != "bench" && !((from "/" part(file)) in instrument))
                    fail("only tests, test helpers, benchmarks and the instruments (" instruments ") include testing/")
                next
            }
            if (to == "tools" && from == "tools") {
                if (part(file) != part(target))
                    fail("a program includes no other program'"'"'s files; what two programs share lies on a floor or in testing/")
                else if (family(target) == "" || family(target) == family(file))
                    ;
                else if (family(file) != "")
                    fail("one family of commands includes no other family'"'"'s files; what two share lies at the top of the program'"'"'s folder")
                else if (!(file in dispatcher) && file !~ /^tools\/[^\/]+\/main\.cpp$/)
                    fail("a file at the top of a program'"'"'s folder includes a family'"'"'s files only to hand it its commands (main.cpp, " dispatchers ")")
                next
            }
            if (to == "tools" && from in noProgram) {
                fail(from " includes no program'"'"'s files; what it needs lies on a floor or in testing/")
                next
            }
            if (from in isBeside) next
            if (!(to in level)) {
                fail(from " is a floor and " to " lies beside the floors")
            } else if (level[to] > level[from]) {
                fail("which runs up from " from " to " to " (" order ")")
            } else if (from == "outputs" && to == "outputs" && part(target) != "" && part(target) != part(file)) {
                fail("one output includes no other output'"'"'s files, and the fan-out none")
            } else if (("/" target) ~ testHelper && !isTest) {
                fail("the test helper outside a test")
            }
        }
        END { exit bad }'
}

self_test() {
    local tree
    tree=$(mktemp -d)
    trap 'rm -rf "$tree"' RETURN
    mkdir -p "$tree"/{platform,channels,board,survey,outputs/live,outputs/mqtt,screens,shell,testing,bench,fuzz,build-x}
    mkdir -p "$tree"/tools/{zarnlog/plot,zarnlog/map,zarnlog/report/page,zarn_record,line_check}
    # Sound includes.
    printf '#include "platform/a.h"\n#include "zarn_version.h"\n' >"$tree/board/ok.cpp"
    printf '#include "board/test_support.h"\n#include "testing/sim_device.h"\n' >"$tree/screens/thing_test.cpp"
    printf '#include "shell/main.h"\n#include "tools/zarnlog/track.h"\n' >"$tree/tools/zarnlog/main.cpp"
    printf '#include "testing/sim_process.h"\n' >"$tree/tools/line_check/main.cpp"
    printf '#include "testing/record_child.h"\n' >"$tree/tools/zarn_record/stream_e2e_test.cpp"
    printf '#include "outputs/record_fanout.h"\n#include "outputs/live/page.h"\n' >"$tree/outputs/live/page.cpp"
    printf '#include "survey/csv_rows.h"\n#include "testing/servers/postgres_server.h"\n' >"$tree/bench/bench.cpp"
    printf '#include "shell/main.h"\n' >"$tree/build-x/ignored.cpp"
    printf '#include "tools/zarnlog/plot/log_plot.h"\n' >"$tree/tools/zarnlog/zarnlog_command.cpp"
    printf '#include "tools/zarnlog/track.h"\n#include "tools/zarnlog/plot/plot_parts.h"\n' >"$tree/tools/zarnlog/plot/log_plot.cpp"
    printf '#include "tools/zarnlog/report/report_model.h"\n' >"$tree/tools/zarnlog/report/page/report_page.cpp"
    # Each kind of include that crosses a line.
    printf '// one\n#include "screens/view.h"\n' >"$tree/channels/plan.cpp"
    printf '#include "tools/sim.h"\n' >"$tree/shell/frame.cpp"
    printf '#include "board/test_support.h"\n' >"$tree/screens/view.cpp"
    printf '#include "outputs/record_fanout.h"\n' >"$tree/survey/rows.cpp"
    printf '#include "tools/zarnlog/track.h"\n' >"$tree/tools/zarn_record/session.cpp"
    printf '#include "testing/sim_device.h"\n' >"$tree/tools/zarn_record/main.cpp"
    printf '#include "testing/gps_fake.h"\n' >"$tree/screens/gps.cpp"
    printf '#include "tools/zarnlog/log_csv.h"\n' >"$tree/fuzz/fuzz_log.cpp"
    printf '#include "tools/zarnlog/synthetic_track.h"\n' >"$tree/bench/zarnlog_bench.cpp"
    printf '#include "tools/board_sim/sim_board.h"\n' >"$tree/testing/sim.cpp"
    printf '#include "outputs/live/page.h"\n' >"$tree/outputs/mqtt/broker.cpp"
    printf '#include "outputs/mqtt/broker.h"\n' >"$tree/outputs/record_fanout.cpp"
    printf '#include "tools/zarnlog/plot/plot_parts.h"\n' >"$tree/tools/zarnlog/report/page/report_charts.cpp"
    printf '#include "tools/zarnlog/map/map_output.h"\n' >"$tree/tools/zarnlog/track.cpp"
    local got want
    got=$( (check "$tree") 2>&1 || true)
    want='bench/zarnlog_bench.cpp:1: includes "tools/zarnlog/synthetic_track.h": bench includes no program'"'"'s files; what it needs lies on a floor or in testing/
channels/plan.cpp:2: includes "screens/view.h": which runs up from channels to screens (platform < channels < board < recording < survey < outputs < screens < shell)
fuzz/fuzz_log.cpp:1: includes "tools/zarnlog/log_csv.h": fuzz includes no program'"'"'s files; what it needs lies on a floor or in testing/
outputs/mqtt/broker.cpp:1: includes "outputs/live/page.h": one output includes no other output'"'"'s files, and the fan-out none
outputs/record_fanout.cpp:1: includes "outputs/mqtt/broker.h": one output includes no other output'"'"'s files, and the fan-out none
screens/gps.cpp:1: includes "testing/gps_fake.h": only tests, test helpers, benchmarks and the instruments (tools/line_check tools/meter) include testing/
screens/view.cpp:1: includes "board/test_support.h": the test helper outside a test
shell/frame.cpp:1: includes "tools/sim.h": shell is a floor and tools lies beside the floors
survey/rows.cpp:1: includes "outputs/record_fanout.h": which runs up from survey to outputs (platform < channels < board < recording < survey < outputs < screens < shell)
testing/sim.cpp:1: includes "tools/board_sim/sim_board.h": testing includes no program'"'"'s files; what it needs lies on a floor or in testing/
tools/zarn_record/main.cpp:1: includes "testing/sim_device.h": only tests, test helpers, benchmarks and the instruments (tools/line_check tools/meter) include testing/
tools/zarn_record/session.cpp:1: includes "tools/zarnlog/track.h": a program includes no other program'"'"'s files; what two programs share lies on a floor or in testing/
tools/zarnlog/report/page/report_charts.cpp:1: includes "tools/zarnlog/plot/plot_parts.h": one family of commands includes no other family'"'"'s files; what two share lies at the top of the program'"'"'s folder
tools/zarnlog/track.cpp:1: includes "tools/zarnlog/map/map_output.h": a file at the top of a program'"'"'s folder includes a family'"'"'s files only to hand it its commands (main.cpp, tools/zarnlog/zarnlog_command.cpp tools/zarnlog/archive_command_line.cpp tools/zarnlog/locate_command_line.cpp)'
    if [ "$got" != "$want" ]; then
        printf 'check-floors self-test failed; got:\n%s\nwanted:\n%s\n' "$got" "$want" >&2
        return 1
    fi
    rm -f "$tree"/{channels/plan.cpp,shell/frame.cpp,screens/view.cpp,survey/rows.cpp,screens/gps.cpp}
    rm -f "$tree"/{tools/zarn_record/session.cpp,tools/zarn_record/main.cpp,fuzz/fuzz_log.cpp,bench/zarnlog_bench.cpp}
    rm -f "$tree"/{testing/sim.cpp,outputs/mqtt/broker.cpp,outputs/record_fanout.cpp}
    rm -f "$tree"/tools/zarnlog/{report/page/report_charts.cpp,track.cpp}
    if ! (check "$tree") >/dev/null; then
        echo "check-floors self-test failed: a sound tree was refused" >&2
        return 1
    fi
}

case "${1:-}" in
--self-test) self_test ;;
-h | --help) sed -n '2,23p' "$0" | sed 's/^# \{0,1\}//' ;;
*)
    root=${1:-$(dirname "$0")/..}
    if ! out=$(check "$root"); then
        printf '%s\n' "$out" >&2
        echo "check-floors: includes cross the layout's lines ($FLOORS, from the ground up; see --help)" >&2
        exit 1
    fi
    ;;
esac
