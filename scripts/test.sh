#!/usr/bin/env bash
# The one test command (CI runs it through .ci/run): installs what is needed,
# then, each step in a build folder of its own and stopping at the first
# failure:
#   build    build/: program, tools, tests and benchmarks (warnings are errors)
#   suite    the whole suite, with a stand-in home that must stay empty
#   asan     build-asan/: the whole suite under address and undefined sanitizers
#   tsan     build-tsan/: every suite with threads of its own under the thread sanitizer
#   release  build-release/: a Release configure and build of what users build
#   fuzz     build-fuzz/: a short fixed run of every fuzz target (clang)
# Any sanitizer report fails its step. KS_CI_STEPS="build suite" runs only
# the steps named. Compiles go through ccache (scripts/build.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
steps=${KS_CI_STEPS:-build suite asan tsan release fuzz}
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
# A compile cache keyed by paths relative to the checkout, so that another
# clone of the same sources (a CI workspace) reuses it.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}

"$root/scripts/install-deps.sh"

wants() { [[ " $steps " == *" $1 "* ]]; }
started=$SECONDS
step() { echo "== $1 ($(( (SECONDS - started) / 60 ))m$(( (SECONDS - started) % 60 ))s)"; }

# Runs ctest on one build folder with a stand-in home: the tests keep their
# per-user state in temporary folders of their own (tests/mains), so nothing
# may appear in that home. Should a test write into the user's configuration
# (recent files, settings, the colour picker's memory), the run fails here.
run_ctest() {
  local build=$1; shift
  local home
  home=$(mktemp -d)
  local status=0
  env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME -u XDG_STATE_HOME -u XDG_RUNTIME_DIR \
    HOME="$home" ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 600 "$@" || status=$?
  local touched
  touched=$(cd "$home" && find . -mindepth 1 | head -20)
  rm -rf "$home"
  if [[ -n "$touched" ]]; then
    echo "test.sh: the tests wrote into the user's own folders (a stand-in home here):" >&2
    echo "$touched" >&2
    return 1
  fi
  return $status
}

if wants build; then
  step "build: build/"
  KS_BUILD_DIR="$root/build" "$root/scripts/build.sh" -DKS_BUILD_TESTS=ON -DKS_BUILD_BENCH=ON
fi

if wants suite; then
  step "suite"
  run_ctest "$root/build"
fi

if wants asan; then
  step "asan: build-asan/, address and undefined sanitizers, whole suite"
  KS_BUILD_DIR="$root/build-asan" "$root/scripts/build.sh" -DKS_SANITIZE=address -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKS_BUILD_TESTS=ON -DKS_BUILD_BENCH=OFF
  # The first report ends the process with a failure; leak reports at exit too.
  ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:exitcode=86:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}" \
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=87${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}" \
    run_ctest "$root/build-asan"
fi

if wants tsan; then
  step "tsan: build-tsan/, thread sanitizer, the suites with threads"
  # The suites whose code runs threads (the link, the series writer, the
  # settings lock, device notices, the program) and the store and search they
  # share; the tools' and installation suites run the same code through
  # processes, and the udev suite runs under umockdev's preload library.
  KS_BUILD_DIR="$root/build-tsan" "$root/scripts/build.sh" -DKS_SANITIZE=thread -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKS_BUILD_TESTS=ON -DKS_BUILD_BENCH=OFF "-DKS_TEST_FOLDERS=device;app;series;settings;platform;search;capture"
  TSAN_OPTIONS="suppressions=$root/tests/tsan.supp:halt_on_error=1:exitcode=66:second_deadlock_stack=1${TSAN_OPTIONS:+:$TSAN_OPTIONS}" \
    run_ctest "$root/build-tsan"
fi

if wants release; then
  step "release: build-release/, what a user building a Release gets"
  KS_BUILD_DIR="$root/build-release" "$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=Release \
    -DKS_BUILD_TESTS=OFF -DKS_BUILD_BENCH=OFF
fi

if wants fuzz; then
  if command -v clang++ >/dev/null 2>&1; then
    step "fuzz: build-fuzz/, every decoder"
    "$root/scripts/fuzz.sh" 20000
  else
    echo "test.sh: no clang++, fuzz step left out" >&2
    exit 1
  fi
fi
step "all steps passed"
