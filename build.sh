#!/usr/bin/env bash
# Installs what is missing, builds, and then runs the recorder or the tests.
#   ./build.sh run [kestrava options]   the recorder on the built-in simulated phone
#   ./build.sh test [--sanitize|--tsan] the tests (optionally under ASan+UBSan or TSan)
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake make g++ pkg-config clang libclang-rt-14-dev
          libavformat-dev libavcodec-dev libavutil-dev ffmpeg
          nlohmann-json3-dev libgtest-dev googletest libbenchmark-dev)

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

build() {  # build DIR [cmake options]
    local dir=$1; shift
    cmake -S . -B "$dir" -G "Unix Makefiles" "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}

mode=${1:-}
[ $# -gt 0 ] && shift
case "$mode" in
run)
    install_missing
    build build
    exec ./build/kestrava "$@"
    ;;
test)
    install_missing
    variant=${1:-}
    case "$variant" in
    "")         dir=build;      opts=() ;;
    --sanitize) dir=build-asan; opts=(-DKESTRAVA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug) ;;
    --tsan)     dir=build-tsan; opts=(-DKESTRAVA_TSAN=ON -DCMAKE_BUILD_TYPE=Debug) ;;
    *) echo "usage: $0 test [--sanitize|--tsan]" >&2; exit 2 ;;
    esac
    build "$dir" "${opts[@]}"
    cd "$dir"
    ctest --output-on-failure -j "$(nproc)"
    ;;
*)
    echo "usage: $0 run [kestrava options] | $0 test [--sanitize|--tsan]" >&2
    exit 2
    ;;
esac
