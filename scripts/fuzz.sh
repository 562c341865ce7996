#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (AddressSanitizer and UndefinedBehavior-
# Sanitizer included) into build-fuzz/, replays each target's seed corpus, then fuzzes each
# for a while (default 60 s; KX_FUZZ_SECONDS changes it) and prints the runs it made.
#
#   fuzz.sh [target...]     targets: jpeg bmp clipboard login (default: all four)
#
# New inputs go to a scratch corpus under .work/fuzz/, never into the committed seeds; an
# input that makes a target fail is kept there as crash-*, oom-*, timeout-* or leak-* and
# named in the output. The exit status is that of the first failing target.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
seconds=${KX_FUZZ_SECONDS:-60}
targets=("$@")
((${#targets[@]})) || targets=(jpeg bmp clipboard login)

if ! command -v clang++ >/dev/null; then
    echo "fuzz: clang++ is missing (scripts/setup.sh installs it)" >&2
    exit 1
fi
build="build-fuzz"
if [[ ! -f $build/build.ninja ]]; then
    # A CI build (CI set) treats every compiler warning as an error, as scripts/setup.sh does.
    werror=OFF
    [[ -n ${CI:-} ]] && werror=ON
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DKX_FUZZ=ON -DKX_WERROR="$werror" >/dev/null
fi
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

export QT_QPA_PLATFORM=offscreen
status=0
for t in "${targets[@]}"; do
    work=.work/fuzz/$t
    mkdir -p "$work/corpus"
    log=$work/fuzz.log
    # The pictures' own bound is 100 megapixels; a few times that in memory is a finding.
    options=(-rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=25 -print_final_stats=1
        -artifact_prefix="$work/")
    echo "fuzz: $t: seed corpus"
    if ! "$build/tests/fuzz/fuzz_$t" "${options[@]}" -runs=0 "tests/fuzz/corpus/$t" \
        >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        ((status)) || status=1
        continue
    fi
    echo "fuzz: $t: ${seconds} s"
    t_status=0
    "$build/tests/fuzz/fuzz_$t" "${options[@]}" -max_total_time="$seconds" \
        "$work/corpus" "tests/fuzz/corpus/$t" >"$log" 2>&1 || t_status=$?
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    echo "fuzz: $t: ${runs:-?} runs, status $t_status"
    if ((t_status)); then
        tail -n 60 "$log" >&2
        for artifact in "$work"/crash-* "$work"/oom-* "$work"/timeout-* "$work"/leak-*; do
            if [[ -e $artifact ]]; then echo "fuzz: $t: kept $artifact" >&2; fi
        done
        ((status)) || status=$t_status
    fi
done
exit "$status"
