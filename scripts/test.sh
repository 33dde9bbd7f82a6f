#!/usr/bin/env bash
# Builds and runs every test twice: a normal build with warnings as errors, then one under
# AddressSanitizer and UndefinedBehaviorSanitizer. Exits non-zero if anything fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" test
status=0

cmake -S "$root" -B "$root/build-release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAGLOOM_WERROR=ON \
    -DTAGLOOM_REQUIRE_TEST_PACKAGES=ON -DTAGLOOM_BUILD_TESTS=ON >/dev/null
cmake --build "$root/build-release"
(cd "$root/build-release" && ctest -j2 --output-on-failure) || status=1

cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAGLOOM_WERROR=ON \
    -DTAGLOOM_SANITIZE=ON -DTAGLOOM_BUILD_BENCH=OFF -DTAGLOOM_REQUIRE_TEST_PACKAGES=ON -DTAGLOOM_BUILD_TESTS=ON >/dev/null
cmake --build "$root/build-asan"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd "$root/build-asan" && ctest -j2 --output-on-failure) || status=1
exit $status
