#!/usr/bin/env bash
# Fails when a document names a path of this tree that does not exist.
#
#   scripts/check-doc-paths.sh ROOT DOC...
#   scripts/check-doc-paths.sh --self-test
#
# A path is a `quoted` word with a slash in it, such as `survey/` or
# `outputs/record_fanout.h`; one with <placeholders> is left alone.
set -euo pipefail

check() {
    local root=$1 missing=0 doc path
    shift
    for doc in "$@"; do
        # shellcheck disable=SC2016  # the backquotes are the text searched for
        while IFS= read -r path; do
            if [ ! -e "$root/$path" ]; then
                echo "$doc: names $path, which does not exist" >&2
                missing=1
            fi
        done < <(grep -o '`[A-Za-z0-9_.-]*/[A-Za-z0-9_./-]*`' "$root/$doc" | tr -d '`' | sort -u)
    done
    return $missing
}

self_test() {
    local tree got
    tree=$(mktemp -d)
    trap 'rm -rf "$tree"' RETURN
    mkdir -p "$tree/survey"
    # shellcheck disable=SC2016  # backquotes as the document has them
    printf 'The `survey/` floor, `outputs/<name>/`, and `gone/away.h`.\n' >"$tree/doc.md"
    got=$(check "$tree" doc.md 2>&1) && { echo "check-doc-paths self-test: a missing path passed" >&2; return 1; }
    [ "$got" = "doc.md: names gone/away.h, which does not exist" ] || {
        printf 'check-doc-paths self-test failed; got:\n%s\n' "$got" >&2
        return 1
    }
}

if [ "${1:-}" = "--self-test" ]; then self_test; else check "$@"; fi
