#!/usr/bin/env bash
# Installs what is missing, builds, and then runs the recorder or the tests.
#   ./build.sh run [kestrava options]   the recorder on the built-in simulated phone
#   ./build.sh test [--sanitize|--tsan] the tests, built as Release (-O3, where GCC warns most);
#                                       optionally under ASan+UBSan or TSan
#   ./build.sh test --fuzz              each parser's fuzzer for FUZZ_SECONDS (default 20) on its seeds
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake make g++ pkg-config clang libclang-rt-14-dev
          libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev ffmpeg
          libjpeg62-turbo-dev libpng-dev zlib1g-dev libgif-dev libfreetype-dev fonts-dejavu-core fonts-nanum
          libcairo2-dev libfontconfig-dev libimage-exiftool-perl exiv2 imagemagick
          nlohmann-json3-dev libgtest-dev googletest libbenchmark-dev gpsd-clients mediainfo gpsbabel libxml2-utils
          libsdl2-dev xvfb xauth)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
}

build() {  # build DIR TARGET [cmake options]; TARGET "all" builds everything
    local dir=$1 target=$2; shift 2
    cmake -S . -B "$dir" -G "Unix Makefiles" "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)" --target "$target"
}

# Builds the libFuzzer targets with clang and runs each on a scratch copy of
# its seeds in fuzz/corpus, so the repository is left as it was; as many run
# at once as there are processors. A crash, leak or broken invariant fails
# the run; its input is kept in build-fuzz/crashes.
fuzz_one() {
    local name=$1 seconds=$2 scratch=$3
    mkdir -p "$scratch/$name"
    cp fuzz/corpus/"$name"/* "$scratch/$name/"
    if ./build-fuzz/fuzz/"${name}_fuzzer" "$scratch/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        -artifact_prefix="build-fuzz/crashes/$name-" >"$scratch/$name.log" 2>&1; then
        echo "${name}_fuzzer: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$scratch/$name.log")" >"$scratch/$name.result"
    else
        { tail -n 40 "$scratch/$name.log"; echo "${name}_fuzzer: FAILED (input kept in build-fuzz/crashes)"; } \
            >"$scratch/$name.result"
        touch "$scratch/$name.failed"
    fi
}

fuzz() {
    local seconds=${FUZZ_SECONDS:-20}
    # Line tables are all a crash report needs; full debug information would
    # make most of the compile.
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G "Unix Makefiles" -DKESTRAVA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -gline-tables-only" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -gline-tables-only" \
        >/dev/null
    cmake --build build-fuzz -j "$(nproc)" --target kestrava_fuzzers
    local scratch passed=0 failed=0 jobs
    jobs=$(nproc)
    scratch=$(mktemp -d)
    mkdir -p build-fuzz/crashes
    for seeds in fuzz/corpus/*/; do
        while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
        fuzz_one "$(basename "$seeds")" "$seconds" "$scratch" &
    done
    wait
    for seeds in fuzz/corpus/*/; do
        local name
        name=$(basename "$seeds")
        cat "$scratch/$name.result"
        if [ -e "$scratch/$name.failed" ]; then failed=$((failed + 1)); else passed=$((passed + 1)); fi
    done
    rm -rf "$scratch"
    echo "fuzz: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}

mode=${1:-}
[ $# -gt 0 ] && shift
case "$mode" in
run)
    install_missing
    build build kestrava -DCMAKE_BUILD_TYPE=Release
    exec ./build/kestrava "$@"
    ;;
test)
    install_missing
    variant=${1:-}
    case "$variant" in
    "")         dir=build;      target=all;            opts=(-DCMAKE_BUILD_TYPE=Release) ;;
    # Line tables are all a sanitizer's report needs: -g1 builds faster than -g.
    # At -O1 the instrumented tests run two to three times as fast as at -O0
    # for a little more compile time, as the sanitizers' own guides advise.
    --sanitize) dir=build-asan; target=kestrava_tests; opts=(-DKESTRAVA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
                                                             "-DCMAKE_CXX_FLAGS_DEBUG=-g1 -O1" "-DCMAKE_C_FLAGS_DEBUG=-g1 -O1") ;;
    --tsan)     dir=build-tsan; target=kestrava_tests; opts=(-DKESTRAVA_TSAN=ON -DCMAKE_BUILD_TYPE=Debug
                                                             "-DCMAKE_CXX_FLAGS_DEBUG=-g1 -O1" "-DCMAKE_C_FLAGS_DEBUG=-g1 -O1") ;;
    --fuzz)     fuzz; exit ;;
    *) echo "usage: $0 test [--sanitize|--tsan|--fuzz]" >&2; exit 2 ;;
    esac
    build "$dir" "$target" "${opts[@]}"
    cd "$dir"
    ctest --output-on-failure -j "$(nproc)"
    ;;
*)
    echo "usage: $0 run [kestrava options] | $0 test [--sanitize|--tsan|--fuzz]" >&2
    exit 2
    ;;
esac
