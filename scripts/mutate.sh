#!/usr/bin/env bash
# Mutation check: applies each small fault of a list to a scratch copy of the
# tree, rebuilds it, runs the unit, offscreen and batch tests, and puts the
# file back. A fault the tests miss is a survivor. Exit status 0 only when
# every fault is caught and every one still applies.
#
#   scripts/mutate.sh [-k] [-n] [-l LIST] [-t SECONDS] [-p PARTS] [-s SHARES] [PATTERN]
#
#   -k          keep the scratch tree and its build for the next run
#   -n          only check that every fault still applies (no build)
#   -l LIST     the fault list (default scripts/mutants.txt)
#   -t SECONDS  time limit of each test (default 120)
#   -p PARTS    split the faults into PARTS runs at once, each with a scratch
#               tree of its own; the tests' waits overlap (default: 2 with
#               at least 2 cores, else 1)
#   -s SHARES   only one in SHARES of the faults: the share is picked by the
#               checked-out commit, so a commit always gets the same faults
#               and successive commits cover them all (CI's time limit)
#   PATTERN     only the faults whose description matches (grep -E)
#
# The list holds records separated by blank lines ('#' starts a comment):
#   FILE | DESCRIPTION
#   - ORIGINAL TEXT
#   + REPLACEMENT TEXT
# ORIGINAL must occur exactly once in FILE; it and REPLACEMENT are taken
# byte for byte after "- " and "+ "; several such lines in a row are joined
# by line feeds, and "+" alone replaces with nothing.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
list=$repo/scripts/mutants.txt
keep=0
check_only=0
timeout=120
parts=$(($(nproc) >= 2 ? 2 : 1))
part=''  # this run's share of the faults, when it is one of several
shares=1 share=0
while getopts "knl:t:p:P:s:" opt; do
    case $opt in
    k) keep=1 ;;
    n) check_only=1 ;;
    l) list=$OPTARG ;;
    t) timeout=$OPTARG ;;
    p) parts=$OPTARG ;;
    P) part=$OPTARG ;;
    s) shares=$OPTARG ;;
    *) sed -n '2,25s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
pattern=${1:-}
[ "$check_only" -eq 1 ] && parts=1
if ! [[ "$shares" =~ ^[1-9][0-9]*$ ]]; then echo "-s takes a whole number above 0" >&2; exit 2; fi
if [ "$shares" -gt 1 ]; then
    commit=$(git -C "$repo" rev-parse --short=8 HEAD 2>/dev/null || echo 0)
    share=$((16#$commit % shares))
fi

# Several parts: each is this script on every PARTS-th fault; their
# summaries are added up here.
if [ "$parts" -gt 1 ] && [ -z "$part" ]; then
    logs=$(mktemp -d)
    pids=()
    for ((k = 0; k < parts; k++)); do
        args=(-l "$list" -t "$timeout" -p "$parts" -P "$k" -s "$shares")
        [ "$keep" -eq 1 ] && args+=(-k)
        "$0" "${args[@]}" "$pattern" >"$logs/$k" 2>&1 &
        pids+=($!)
    done
    status=0
    for pid in "${pids[@]}"; do wait "$pid" || status=1; done
    grep -hvE '^(survivor|stale|broken):|mutants killed in' "$logs"/* || true
    echo
    awk '/mutants killed in/ { k += $1; t += $3; s = $7 > s ? $7 : s }
         END { printf "%d of %d mutants killed in %d s (%d parts)\n", k, t, s, '"$parts"' }' "$logs"/*
    grep -hE '^(survivor|stale|broken):' "$logs"/* || true
    rm -rf "$logs"
    exit $status
fi

scratch=${TMPDIR:-/tmp}/veltrim-mutate${part}
tree=$scratch/tree
build=$scratch/build
jobs=$(($(nproc) / parts > 0 ? $(nproc) / parts : 1))
cleanup() { if [ "$keep" -eq 0 ]; then rm -rf "$scratch"; fi; }
trap cleanup EXIT

# The files git knows of, untracked ones not ignored included; timestamps
# kept, so an unchanged file is not rebuilt.
mkdir -p "$tree"
(cd "$repo" && git ls-files -z --cached --others --exclude-standard |
    xargs -0 cp -p --parents -t "$tree" 2>/dev/null) || true

# run_tests [FILE]: builds what the tests run and runs them, stopping at the
# first failure. A fault in the batch tool skips the GL tests, which do not
# link the tool.
run_tests() {
    local labels="unit|gl|batch"
    [[ "${1:-}" != tools/* ]] || labels="unit|batch"
    # Only what the tests run: relinking the window and the rest would cost
    # every fault its time for nothing.
    cmake --build "$build" -j"$jobs" --target unit_tests gl_tests batch_tests \
        >"$scratch/build.log" 2>&1 || return 2
    # Without the cost record, ctest runs the tests in their listed order,
    # the quick unit tests first: most faults then stop the run in seconds
    # instead of after the slowest tests, which the record puts first.
    rm -f "$build/Testing/Temporary/CTestCostData.txt"
    ctest --test-dir "$build" -L "$labels" -j"$jobs" --timeout "$timeout" \
        --stop-on-failure >"$scratch/test.log" 2>&1 || return 1
}

if [ "$check_only" -eq 0 ]; then
    echo "building the scratch tree in $build"
    cmake -S "$tree" -B "$build" -DVELTRIM_WERROR=ON -DVELTRIM_BENCH=OFF >"$scratch/cmake.log" 2>&1 ||
        { cat "$scratch/cmake.log"; exit 2; }
    if ! run_tests; then
        echo "the unmutated tree does not pass its tests; see $scratch/*.log" >&2
        keep=1
        exit 2
    fi
fi

total=0 killed=0 index=0 chosen=0
survivors=() stale=() broken=()
start=$SECONDS

# try FILE DESCRIPTION ORIGINAL REPLACEMENT
try() {
    local file=$1 what=$2 from=$3 to=$4 text rest count
    if [ -n "$pattern" ] && ! grep -qE -- "$pattern" <<<"$what"; then return; fi
    index=$((index + 1))
    if [ $(((index - 1) % shares)) -ne "$share" ]; then return; fi
    chosen=$((chosen + 1))
    if [ -n "$part" ] && [ $(((chosen - 1) % parts)) -ne "$part" ]; then return; fi
    total=$((total + 1))
    if [ ! -f "$tree/$file" ]; then
        stale+=("$file: $what (no such file)")
        echo "STALE   $what"
        return
    fi
    text=$(cat "$tree/$file"; printf x)
    text=${text%x}
    rest=${text//"$from"/}
    count=$(((${#text} - ${#rest}) / ${#from}))
    if [ "$count" -ne 1 ]; then
        stale+=("$file: $what (original found $count times)")
        echo "STALE   $what"
        return
    fi
    if [ "$check_only" -eq 1 ]; then
        killed=$((killed + 1))
        return
    fi
    printf '%s' "${text/"$from"/"$to"}" >"$tree/$file"
    local t0=$SECONDS result=0
    run_tests "$file" || result=$?
    cp -p "$repo/$file" "$tree/$file"
    touch "$tree/$file"  # newer than the mutant's objects: rebuilt next time
    case $result in
    0) survivors+=("$file: $what"); echo "SURVIVE $what ($((SECONDS - t0)) s)" ;;
    1) killed=$((killed + 1)); echo "killed  $what ($((SECONDS - t0)) s)" ;;
    *) broken+=("$file: $what"); echo "BROKEN  $what (does not build)" ;;
    esac
}

file='' what='' from='' to='' state=0
flush() {
    if [ "$state" -eq 3 ]; then try "$file" "$what" "$from" "$to"; fi
    if [ "$state" -ne 0 ] && [ "$state" -ne 3 ]; then
        broken+=("$file: $what (incomplete record)")
    fi
    state=0
}
while IFS= read -r line || [ -n "$line" ]; do
    case $line in
    '#'*) ;;
    '') flush ;;
    '- '* | '-')
        text=${line#-}
        text=${text# }
        if [ "$state" -eq 2 ]; then from+=$'\n'$text; else from=$text; fi
        state=2 ;;
    '+ '* | '+')
        text=${line#+}
        text=${text# }
        if [ "$state" -eq 3 ]; then to+=$'\n'$text; else to=$text; fi
        [ "$state" -ge 2 ] && state=3 ;;
    *' | '*) flush; file=${line%% | *}; what=${line#* | }; state=1 ;;
    *) broken+=("unreadable line: $line") ;;
    esac
done <"$list"
flush

# The last mutant's file was put back; leave the build matching the tree.
if [ "$keep" -eq 1 ] && [ "$check_only" -eq 0 ]; then
    cmake --build "$build" -j"$jobs" >/dev/null 2>&1 || true
fi

echo
if [ "$check_only" -eq 1 ]; then
    echo "$killed of $total mutants apply"
else
    echo "$killed of $total mutants killed in $((SECONDS - start)) s"
fi
for s in "${survivors[@]}"; do echo "survivor: $s"; done
for s in "${stale[@]}"; do echo "stale:    $s"; done
for s in "${broken[@]}"; do echo "broken:   $s"; done
[ "$total" -gt 0 ] && [ "$killed" -eq "$total" ] && [ ${#broken[@]} -eq 0 ]
