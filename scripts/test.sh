#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite.
#   scripts/test.sh                  plain build in build/
#   scripts/test.sh --sanitize       AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
#   scripts/test.sh --thread         ThreadSanitizer in build-tsan/, every label
# Each mode prints how long its build and its tests took.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
mode=${1:-}

# Runs "$@" and prints how long it took, under the given name, also when it
# fails; its status is passed on.
timed() {
  local name=$1 start=$SECONDS status=0
  shift
  "$@" || status=$?
  echo "time: $name $((SECONDS - start)) s"
  return $status
}

case "$mode" in
  "")
    timed build bash scripts/build.sh build
    timed tests ctest --test-dir build --output-on-failure -j2 ;;
  --sanitize)
    timed build-asan bash scripts/build.sh build-asan -DVELMORA_SANITIZE=address,undefined
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export LSAN_OPTIONS=suppressions=$(pwd)/tests/lsan.supp:print_suppressions=0
    timed tests-asan ctest --test-dir build-asan --output-on-failure -j2 ;;
  --thread)
    timed build-tsan bash scripts/build.sh build-tsan -DVELMORA_SANITIZE=thread
    # The whole-program tests start the player, which inherits these options:
    # a race in it ends it with a non-zero status and fails the test.
    export TSAN_OPTIONS=halt_on_error=1:exitcode=66:suppressions=$(pwd)/tests/tsan.supp
    timed tests-tsan ctest --test-dir build-tsan --output-on-failure -j2 ;;
  *) echo "usage: $0 [--sanitize|--thread]" >&2; exit 2 ;;
esac
