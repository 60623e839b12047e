#!/usr/bin/env bash
# Zembla's two commands for a Debian 12 machine:
#   ./zembla.sh run    install what is missing, build, start the program
#   ./zembla.sh test   install what is missing, build, run every test (plain, sanitizers, fuzz)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$here"
jobs="$(nproc 2>/dev/null || echo 2)"

# Debian packages the build and the tests need (see README).
packages=(
    build-essential cmake pkg-config
    libasound2-dev alsa-utils libshp-dev
    libsmf-dev libfluidsynth-dev timgm6mb-soundfont
    libgtest-dev libgmock-dev libbenchmark-dev
    clang-14 libclang-rt-14-dev
    sox
    qt6-base-dev
    # The GUI tests draw text on Qt's offscreen platform (which needs a font), and the program's
    # smoke test runs it on an X server of its own.
    fonts-dejavu-core xvfb xauth xdotool
    # The install test checks the desktop entry with desktop-file-validate.
    desktop-file-utils
)

# The program's synthesizer sounds with the fuller General MIDI sound font; the tests need only
# the small one above (6 MB against 120 MB to fetch).
run_packages=(fluid-soundfont-gm)

# install_packages PACKAGE...: installs those of them that are missing.
source "$here/tools/install-packages.sh"

configure_and_build() {  # dir, extra cmake args...
    local dir="$1"
    shift
    cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

run_ctest() {  # dir, extra ctest args...
    local dir="$1"
    shift
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@"
}

cmd_run() {
    install_packages "${packages[@]}" "${run_packages[@]}"
    configure_and_build build
    # Virtual sound cards stand in where ALSA offers no device.
    exec ./build/bin/tollan "$@"
}

cmd_test() {
    install_packages "${packages[@]}"
    echo "== Build with warnings as errors, all tests"
    configure_and_build build -DZEMBLA_WERROR=ON
    run_ctest build -LE fuzz

    echo "== Engine tests under AddressSanitizer and UndefinedBehaviorSanitizer"
    configure_and_build build-asan -DZEMBLA_WERROR=ON -DZEMBLA_SANITIZE=address,undefined,float-cast-overflow -DZEMBLA_BENCH=OFF
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        run_ctest build-asan

    echo "== Threaded engine tests under ThreadSanitizer"
    configure_and_build build-tsan -DZEMBLA_WERROR=ON -DZEMBLA_SANITIZE=thread -DZEMBLA_BENCH=OFF
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$here/tools/tsan-suppressions.txt" \
        run_ctest build-tsan -L threaded

    if [ -f fuzz/CMakeLists.txt ]; then
        echo "== Short fuzz runs"
        CC=clang-14 CXX=clang++-14 configure_and_build build-fuzz -DZEMBLA_FUZZ=ON -DZEMBLA_WERROR=ON \
            -DZEMBLA_TESTS=OFF -DZEMBLA_BENCH=OFF
        run_ctest build-fuzz -L fuzz
    fi
}

case "${1:-}" in
    run) shift; cmd_run "$@" ;;
    test) cmd_test ;;
    *)
        echo "usage: $0 run|test" >&2
        exit 2
        ;;
esac
