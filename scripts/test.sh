#!/usr/bin/env bash
# Builds everything and runs every test; exits non-zero when anything fails.
# This is what CI runs (.ci/run). Tests are CTest tests: adding one needs no
# change here.
#   bash scripts/test.sh            build into build/
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

echo "==> test"
ctest --test-dir "$build" --output-on-failure
