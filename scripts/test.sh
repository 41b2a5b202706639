#!/usr/bin/env bash
# Builds everything and runs every test; exits non-zero when anything fails.
# This is what CI runs (.ci/run). Tests are CTest tests: adding one needs no
# change here. The unit tests and parvex's command-line tests run a second
# time, built with AddressSanitizer and UndefinedBehaviorSanitizer in a second
# tree (BUILD_DIR-asan).
#   bash scripts/test.sh            build into build/ and build-asan/
#   BUILD_DIR=/tmp/b bash scripts/test.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}

echo "==> packages (scripts/deps.sh test)"
bash "$root/scripts/deps.sh" test

echo "==> configure ($build)"
cmake -S "$root" -B "$build" -DBUILD_TESTING=ON

echo "==> build"
cmake --build "$build" -j"$(nproc)"

echo "==> build the unit tests with sanitizers ($build-asan)"
cmake -S "$root" -B "$build-asan" -DBUILD_TESTING=ON -DPVX_SANITIZE=ON \
  -DPVX_BUILD_WINDOWS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build-asan" -j"$(nproc)" --target pvx_unit_tests \
  pvx_sums_tests pvx_par2_tests parvex

status=0
echo "==> test"
ctest --test-dir "$build" --output-on-failure || status=1
echo "==> unit tests with sanitizers"
# The checksum and PAR2 tests run the hasher's and the PAR2 engine's threads.
for t in pvx_unit_tests pvx_sums_tests pvx_par2_tests; do
  "$build-asan/tests/$t" --gtest_brief=1 || status=1
done
echo "==> parvex's command-line tests with sanitizers (not the 4 GiB source)"
ctest --test-dir "$build-asan" -L cli -E large --output-on-failure || status=1
exit $status
