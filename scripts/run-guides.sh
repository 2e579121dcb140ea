#!/usr/bin/env bash
# Runs the guides' commands as a reader would: every ```sh block of README.md and
# docs/*.md, in order, one guide at a time in an empty folder with its own device
# root, the built programs first on PATH. A guide fails at its first command that fails.
#
#   scripts/run-guides.sh ROOT BIN      the checkout at ROOT, the programs in BIN
#   scripts/run-guides.sh --self-test
#
# A block that cannot run here is marked just above it, invisibly when rendered:
#   <!-- guide: skip (needs a real board) -->
# and named with its reason in the output. What a guide takes for granted (a survey
# log the reader already has) is given the same way, run before the next block:
#   <!-- guide: given (a survey log) cp "$GUIDE_CHECKOUT/docs/sim-sweeps.zrn" survey.zrn -->
# The folder holds `resources` and `tests` of the checkout, for the blocks that name its samples.
# The guides' database server db.example.org is the test PostgreSQL on 127.0.0.1 at
# GUIDE_PG_PORT, which testing/servers' guide_servers starts (the CI test runs under it);
# the live page's port 8080 and gpsd's 2947 are free ports.
set -euo pipefail

kGuideSeconds=60

# Writes the runnable blocks of the markdown file $1, named $2, as a bash script on
# stdout, and adds "SKIP<TAB>name:line<TAB>reason" lines to the file $3.
extract() {
    awk -v file="$2" -v skips="$3" '
    function flushMark() { skip = ""; given = "" }
    /^[ \t]*<!-- guide: skip \(.*\) -->[ \t]*$/ {
        skip = $0; sub(/^[ \t]*<!-- guide: skip \(/, "", skip); sub(/\) -->[ \t]*$/, "", skip); next
    }
    /^[ \t]*<!-- guide: given \(.*\) .* -->[ \t]*$/ {
        given = $0; sub(/^[ \t]*<!-- guide: given \([^)]*\) /, "", given); sub(/ -->[ \t]*$/, "", given); next
    }
    inBlock && /^[ \t]*```[ \t]*$/ { inBlock = 0; print ""; next }
    inBlock { if (!skipping) { line = $0; sub("^" indent, "", line); print line }; next }
    /^[ \t]*```/ {
        inBlock = 1; indent = $0; sub(/```.*/, "", indent)
        skipping = $0 !~ /^[ \t]*```sh[ \t]*$/ || skip != ""
        if ($0 ~ /^[ \t]*```sh[ \t]*$/ && skip != "") printf "SKIP\t%s:%d\t%s\n", file, NR, skip >> skips
        if (!skipping) {
            if (given != "") print given
            printf "echo \"guide: %s:%d\" >&2\n", file, NR
        }
        flushMark(); next
    }
    NF { flushMark() }
    ' "$1"
}

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# The guides' hosts as the test servers are reached; their live page's port 8080 and
# gpsd's 2947 free ones ($1, $2), which another program here may hold.
on_test_servers() {
    local pg=${GUIDE_PG_PORT:-5432}
    sed -e "s/host=db\.example\.org/host=127.0.0.1 port=$pg/g" -e "s/db\.example\.org:5432:/127.0.0.1:$pg:/g" \
        -e "s/--listen 8080/--listen $1/g" -e "s|127\.0\.0\.1:8080/|127.0.0.1:$1/|g" -e "s/-P 2947 /-P $2 /g"
}

run_guide() {
    local root=$1 bin=$2 guide=$3 work=$4 script live gps
    live=$(free_port)
    gps=$(free_port)
    script=$(extract "$root/$guide" "$guide" "$work/skipped" | on_test_servers "$live" "$gps")
    if ! grep -q '^echo "guide: ' <<<"$script"; then return 0; fi
    local folder="$work/${guide//\//_}"
    mkdir -p "$folder/device" "$folder/home"
    ln -s "$root/resources" "$folder/resources"
    ln -s "$root/tests" "$folder/tests"
    # What a guide started in the background ends with it, also when a block fails.
    # shellcheck disable=SC2016  # expanded by the guide's shell, at its end
    printf 'set -euo pipefail\ntrap '"'"'kill $(jobs -p) 2>/dev/null || true; wait'"'"' EXIT\n%s\n' "$script" >"$work/${guide//\//_}.sh"
    local began=$SECONDS
    if (cd "$folder" && PATH="$bin:$PATH" HOME="$folder/home" ZARN_ROOT="$folder/device" ZARN_GPSD="127.0.0.1:$gps" \
        GUIDE_CHECKOUT="$root" SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
        timeout "$kGuideSeconds" bash "$work/${guide//\//_}.sh" >"$work/out" 2>&1); then
        echo "ran     $guide ($((SECONDS - began)) s)"
        return 0
    fi
    echo "FAILED  $guide, in the last block begun:"
    tail -n 20 "$work/out"
    return 1
}

run_all() {
    local root=$1 bin=$2 work status=0
    work=$(mktemp -d)
    trap 'rm -rf "$work"' RETURN
    : >"$work/skipped"
    local guide
    for guide in README.md $(cd "$root" && ls docs/*.md 2>/dev/null); do
        run_guide "$root" "$bin" "$guide" "$work" || status=1
    done
    while IFS=$'\t' read -r _ where reason; do echo "skipped $where: $reason"; done <"$work/skipped"
    return $status
}

self_test() {
    local tree
    tree=$(mktemp -d)
    trap 'rm -rf "$tree"' RETURN
    mkdir -p "$tree/docs" "$tree/resources" "$tree/tests" "$tree/bin"
    cat >"$tree/README.md" <<'EOF'
<!-- guide: given (a file) echo given >survey.txt -->

```sh
cat survey.txt
```

```text
not a command
```
EOF
    cat >"$tree/docs/bad.md" <<'EOF'
<!-- guide: skip (needs a real board) -->
```sh
false
```

  ```sh
  test -d resources && false
  ```
EOF
    local out
    if out=$(run_all "$tree" "$tree/bin"); then
        echo "self-test: a failing block was not caught"; return 1
    fi
    grep -q '^ran     README.md (0 s)$' <<<"$out" || { echo "self-test: README.md did not run: $out"; return 1; }
    grep -q '^FAILED  docs/bad.md' <<<"$out" || { echo "self-test: docs/bad.md not failed: $out"; return 1; }
    grep -q '^guide: docs/bad.md:6$' <<<"$out" || { echo "self-test: the failing block is not named: $out"; return 1; }
    grep -q '^skipped docs/bad.md:2: needs a real board$' <<<"$out" || { echo "self-test: skip not named: $out"; return 1; }
    echo "self-test: passed"
}

case "${1:-}" in
--self-test) self_test ;;
*) run_all "$(cd "$1" && pwd)" "$(cd "$2" && pwd)" ;;
esac
