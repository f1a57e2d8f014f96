#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite.
#   scripts/test.sh                  plain build in build/
#   scripts/test.sh --sanitize       AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
#   scripts/test.sh --thread         ThreadSanitizer on the engine tests in build-tsan/
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
mode=${1:-}
case "$mode" in
  "")
    bash scripts/build.sh build
    ctest --test-dir build --output-on-failure -j2 ;;
  --sanitize)
    bash scripts/build.sh build-asan -DVELMORA_SANITIZE=address,undefined
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      LSAN_OPTIONS=suppressions=$(pwd)/tests/lsan.supp:print_suppressions=0 \
      ctest --test-dir build-asan --output-on-failure -j2 ;;
  --thread)
    bash scripts/build.sh build-tsan -DVELMORA_SANITIZE=thread
    TSAN_OPTIONS=halt_on_error=1:suppressions=$(pwd)/tests/tsan.supp \
      ctest --test-dir build-tsan --output-on-failure -L engine ;;
  *) echo "usage: $0 [--sanitize|--thread]" >&2; exit 2 ;;
esac
