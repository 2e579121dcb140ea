#!/usr/bin/env bash
# Fails when a relative link in the README, the guides or the manual pages
# leads nowhere, naming the file, the line and the link.
#
#   scripts/check-links.sh [ROOT]     check the tree at ROOT (default: this checkout)
#   scripts/check-links.sh --self-test
#
# Markdown (README.md, docs/*.md): every link and image outside code, with its
# #anchor checked against the headings when it leads to a markdown file.
# Manual pages (docs/*.1): every page of ours named in them (zarn..(1)), every
# checkout path (docs/, scripts/, tests/, resources/, packaging/) and every
# section named after "(see".
set -euo pipefail

# Prints "L<TAB>file<TAB>line<TAB>target" for each link and
# "H<TAB>file<TAB>anchor" for each heading of the markdown files given.
scan_markdown() {
    awk '
    function slug(text,    s) {
        s = linkText(tolower(text))
        gsub(/[^a-z0-9 _\200-\377-]/, "", s)
        gsub(/ /, "-", s)
        return s
    }
    function linkText(s,    out) {   # [text](target) reads as text in a heading
        out = ""
        while (match(s, /\[[^]]*\]\([^)]*\)/)) {
            piece = substr(s, RSTART, RLENGTH); sub(/\]\(.*/, "", piece)
            out = out substr(s, 1, RSTART - 1) substr(piece, 2)
            s = substr(s, RSTART + RLENGTH)
        }
        return out s
    }
    function emit(target) {
        sub(/^[ \t]*</, "", target); sub(/>[ \t]*$/, "", target)
        sub(/[ \t].*/, "", target)              # a title after the target
        if (target != "") print "L\t" FILENAME "\t" FNR "\t" target
    }
    FNR == 1 { fenced = 0; delete seen }
    /^[ \t]*(```|~~~)/ { fenced = !fenced; next }
    fenced { next }
    {
        line = $0
        gsub(/`[^`]*`/, "", line)               # code spans hold no links
        if (match($0, /^#+[ \t]+/)) {
            heading = substr($0, RLENGTH + 1); sub(/[ \t]+#*[ \t]*$/, "", heading)
            gsub(/`/, "", heading)
            anchor = slug(heading)
            if (anchor in seen) { n = ++seen[anchor]; anchor = anchor "-" n } else seen[anchor] = 0
            print "H\t" FILENAME "\t" anchor
        }
        rest = line
        while (match(rest, /<[aA] [^>]*(name|id)="[^"]*"/)) {
            named = substr(rest, RSTART, RLENGTH); sub(/.*="/, "", named); sub(/"$/, "", named)
            print "H\t" FILENAME "\t" named
            rest = substr(rest, RSTART + RLENGTH)
        }
        rest = line
        while (match(rest, /\]\([^)]*\)/)) {
            emit(substr(rest, RSTART + 2, RLENGTH - 3))
            rest = substr(rest, RSTART + RLENGTH)
        }
        rest = line
        while (match(rest, /(src|href)="[^"]*"/)) {
            target = substr(rest, RSTART, RLENGTH); sub(/^[a-z]*="/, "", target); sub(/"$/, "", target)
            emit(target)
            rest = substr(rest, RSTART + RLENGTH)
        }
        if (match(line, /^ {0,3}\[[^]]+\]:[ \t]+/)) emit(substr(line, RLENGTH + 1))
    }' "$@"
}

# The same records for manual pages: "L" for files and pages, "S" for a
# section named after "(see", "H" for each section heading.
scan_manual() {
    awk '
    function unquote(s) { gsub(/\\-/, "-", s); gsub(/"/, "", s); sub(/[ \t]+$/, "", s); return s }
    FNR == 1 { see = 0 }
    /^\.S[HS] / { s = $0; sub(/^\.S[HS] +/, "", s); print "H\t" FILENAME "\t" unquote(s) }
    /^\.BR? / {
        arg = $0; sub(/^\.BR? +/, "", arg)
        if (see && arg ~ /^"?[A-Z][A-Z0-9_ '"'"'-]*"?( |$)/) {
            if (arg ~ /^"/) { sub(/^"/, "", arg); sub(/".*/, "", arg) } else sub(/ .*/, "", arg)
            if (arg ~ /[A-Z][A-Z]/ && arg !~ /_/) print "S\t" FILENAME "\t" FNR "\t" unquote(arg)
        }
    }
    /^\.BR [Zz]arn[^ ]* \([1-8]\)/ {
        name = $2; section = $3; gsub(/[^1-8]/, "", section)
        print "L\t" FILENAME "\t" FNR "\t" unquote(name) "." section
    }
    {
        see = ($0 ~ /\(see[ \t]*$/)
        rest = $0; gsub(/\\-/, "-", rest); gsub(/\\f(\(..|\[[^]]*\]|.)/, "", rest)
        while (match(rest, /(^|[^A-Za-z0-9_.\/-])(docs|scripts|tests|resources|packaging)\/[A-Za-z0-9_.@\/-]*[A-Za-z0-9_@\/]/)) {
            path = substr(rest, RSTART, RLENGTH); sub(/^[^dstrp]/, "", path)
            print "P\t" FILENAME "\t" FNR "\t" path
            rest = substr(rest, RSTART + RLENGTH)
        }
    }' "$@"
}

check() {
    local root=$1
    cd "$root"
    local markdown=() manual=()
    [ -f README.md ] && markdown+=(README.md)
    for f in docs/*.md; do [ -f "$f" ] && markdown+=("$f"); done
    for f in docs/*.[1-8]; do [ -f "$f" ] && manual+=("$f"); done
    local records
    records=$(
        [ ${#markdown[@]} -eq 0 ] || scan_markdown "${markdown[@]}"
        [ ${#manual[@]} -eq 0 ] || scan_manual "${manual[@]}"
    )
    local -A anchors=()
    local kind file line target
    while IFS=$'\t' read -r kind file line target; do
        [ "$kind" = H ] && anchors["$file#$line"]=1
    done <<<"$records"
    local here bad=0 path anchor resolved
    here=$(pwd -P)
    while IFS=$'\t' read -r kind file line target; do
        case $kind in
        L | P)
            [[ $target =~ ^[A-Za-z][A-Za-z0-9+.-]*: ]] && continue   # http:, mailto:, ...
            path=${target%%#*}
            anchor=
            [ "$path" != "$target" ] && anchor=${target#*#}
            if [ "$kind" = P ] || [[ $path == /* ]]; then
                resolved=${path#/}                                   # from the top
            elif [ -z "$path" ]; then
                resolved=$file                                       # a heading of its own
            else
                resolved=$(dirname "$file")/$path                    # beside the file
            fi
            resolved=${resolved//%20/ }
            local real
            real=$(realpath -m -- "$resolved")
            if [[ $real != "$here" && $real != "$here"/* ]]; then
                echo "$file:$line: \"$target\" leads out of the checkout"
                bad=1
            elif [ ! -e "$resolved" ]; then
                echo "$file:$line: \"$target\": there is no ${real#"$here"/}"
                bad=1
            elif [ -n "$anchor" ] && [[ $resolved == *.md ]] &&
                [ -z "${anchors["${real#"$here"/}#$anchor"]:-}" ]; then
                echo "$file:$line: \"$target\": ${real#"$here"/} has no heading #$anchor"
                bad=1
            fi
            ;;
        S)
            if [ -z "${anchors["$file#$target"]:-}" ]; then
                echo "$file:$line: refers to the section \"$target\", which $file does not have"
                bad=1
            fi
            ;;
        esac
    done <<<"$records"
    return $bad
}

self_test() {
    local tree
    tree=$(mktemp -d)
    trap 'rm -rf "$tree"' RETURN
    mkdir -p "$tree"/{docs,tests}
    cat >"$tree/README.md" <<'EOF'
# A project

![picture](docs/shot.png) and [a guide](docs/guide.md#the-first-step-make-it),
[the same file](#a-project), [elsewhere](https://example.org/none.md),
[a page](docs/zarn-x.1), [a folder](tests/) `[code](nowhere.md)`.

```sh
cat [not a link](nowhere.md)
```

[lost](docs/gone.md) and ![lost picture](docs/gone.png)
[a wrong heading](docs/guide.md#no-such-step) [out](../outside.md)
EOF
    cat >"$tree/docs/guide.md" <<'EOF'
# The guide

## The first step: `make` it

Back to [the top](../README.md#a-project) or [the bottom](#the-guide).
<img src="shot.png" alt="shot"> <img src="gone.png">
EOF
    cat >"$tree/docs/zarn-x.1" <<'EOF'
.TH ZARN-X 1
.SH NAME
zarn\-x
.SH THE PORT
The port (see
.BR "THE PORT" ),
the others (see
.BR "NO SUCH SECTION" ),
a file: docs/guide.md and tests/gone.nmea.
.SH SEE ALSO
.BR zarn\-x (1),
.BR zarn\-gone (1),
.BR gpsd (8)
EOF
    : >"$tree/docs/shot.png"
    local got want
    got=$( (check "$tree") 2>&1 || true)
    want='README.md:11: "docs/gone.md": there is no docs/gone.md
README.md:11: "docs/gone.png": there is no docs/gone.png
README.md:12: "docs/guide.md#no-such-step": docs/guide.md has no heading #no-such-step
README.md:12: "../outside.md" leads out of the checkout
docs/guide.md:6: "gone.png": there is no docs/gone.png
docs/zarn-x.1:8: refers to the section "NO SUCH SECTION", which docs/zarn-x.1 does not have
docs/zarn-x.1:9: "tests/gone.nmea": there is no tests/gone.nmea
docs/zarn-x.1:12: "zarn-gone.1": there is no docs/zarn-gone.1'
    if [ "$got" != "$want" ]; then
        printf 'check-links self-test failed; got:\n%s\nwanted:\n%s\n' "$got" "$want" >&2
        return 1
    fi
    sed -i '/lost\|wrong heading/d' "$tree/README.md"
    sed -i 's/ <img src="gone.png">//' "$tree/docs/guide.md"
    sed -i '/NO SUCH/d; s/ and tests\/gone.nmea//; /zarn\\-gone/d' "$tree/docs/zarn-x.1"
    if ! got=$(check "$tree" 2>&1); then
        printf 'check-links self-test failed: a sound tree was refused:\n%s\n' "$got" >&2
        return 1
    fi
}

case "${1:-}" in
--self-test) self_test ;;
-h | --help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//' ;;
*)
    root=${1:-$(dirname "$0")/..}
    if ! out=$(check "$root"); then
        printf '%s\n' "$out" >&2
        echo "check-links: relative links lead nowhere" >&2
        exit 1
    fi
    ;;
esac
