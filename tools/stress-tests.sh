#!/usr/bin/env bash
# Runs a test command again and again beside busy loops that keep the cores
# loaded, and prints how many runs passed and every failure seen.
#
#   tools/stress-tests.sh [-n RUNS] [-k LOOPS] [-o DIR] [COMMAND ...]
#
# RUNS defaults to 5, LOOPS (busy shell loops, each wanting a whole core)
# to 4, COMMAND to ./test.sh. Each run's output is kept in DIR (a new
# temporary folder unless given) as run-N.log.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=5 loops=4 out=""
while getopts "n:k:o:" opt; do
    case $opt in
        n) runs=$OPTARG ;;
        k) loops=$OPTARG ;;
        o) out=$OPTARG ;;
        *) echo "usage: $0 [-n RUNS] [-k LOOPS] [-o DIR] [COMMAND ...]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
[[ $runs =~ ^[0-9]+$ && $loops =~ ^[0-9]+$ && $runs -gt 0 ]] || { echo "$0: RUNS and LOOPS are whole numbers, RUNS above 0" >&2; exit 2; }
[ $# -gt 0 ] || set -- ./test.sh
[ -n "$out" ] || out=$(mktemp -d "${TMPDIR:-/tmp}/stress-tests.XXXXXX")
mkdir -p "$out"

busy=()
stop_loops() {
    [ ${#busy[@]} -gt 0 ] && kill "${busy[@]}" 2>/dev/null
    wait "${busy[@]}" 2>/dev/null || true
    busy=()
}
trap stop_loops EXIT
trap 'exit 130' INT TERM

echo "$runs run(s) of: $* -- beside $loops busy loop(s); logs in $out"
passed=0
for ((run = 1; run <= runs; ++run)); do
    for ((k = 0; k < loops; ++k)); do
        sh -c 'while :; do :; done' &
        busy+=($!)
    done
    log="$out/run-$run.log"
    start=$(date +%s)
    status=0
    "$@" >"$log" 2>&1 || status=$?
    stop_loops
    took=$(($(date +%s) - start))
    if [ $status -eq 0 ]; then
        passed=$((passed + 1))
        echo "run $run: passed in ${took} s"
    else
        echo "run $run: FAILED (exit $status) in ${took} s; $log says:"
        # ctest's list of failed tests, and each failed check's own line.
        grep -E "^\s+[0-9]+ - .*\((Failed|Timeout|SEGFAULT|Subprocess aborted|Exception|Not Run)\)|^FAIL!|Gave up" "$log" | sed 's/^/    /' | sort -u || tail -n 5 "$log" | sed 's/^/    /'
    fi
done
echo "$passed of $runs run(s) passed beside $loops busy loop(s)"
[ $passed -eq $runs ]
