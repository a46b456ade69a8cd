#!/usr/bin/env bash
# Builds the unit, in-process GUI and X11 tests with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan and runs them inside
# tests/x_session.sh.  The end-to-end tests stay with the normal build: they
# time focus changes, which the instrumented program would distort.
# Any sanitizer report fails the run; suppressions are in tests/lsan.supp and
# tests/sanitizer.supp.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$SECONDS

# Test executables whose sources are under tests/unit, tests/gui,
# tests/x11 or tests/wayland, as tests/CMakeLists.txt declares them now.
mapfile -t targets < <(awk '
  /add_executable\(/ { block = ""; inside = 1 }
  inside { block = block " " $0 }
  inside && /\)/ {
    inside = 0
    if (match(block, /add_executable\([A-Za-z0-9_]+_tests[ )]/)) {
      name = substr(block, RSTART + 15, RLENGTH - 16)
      if (block ~ /[ (](unit|gui|x11|wayland)\//) print name
    }
  }' tests/CMakeLists.txt)
if [ ${#targets[@]} -eq 0 ]; then
  echo "sanitize: no unit, GUI or X11 test targets found in tests/CMakeLists.txt" >&2
  exit 1
fi
echo "sanitize: ${targets[*]}"

nice cmake -S . -B build-asan -DCORVALIN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
nice cmake --build build-asan -j2 --target "${targets[@]}"

# The CTest entries that run one of these executables (directly, or through a
# nested x_session.sh as the no-window-manager case does).
pattern=$(printf '%s|' "${targets[@]}")
pattern=${pattern%|}
mapfile -t tests < <(ctest --test-dir build-asan -N -V | awk -v pat="/build-asan/tests/($pattern)( |\"|$)" '
  /^[0-9]+: Test command: / { split($0, f, ":"); command[f[1] + 0] = $0 }
  /^ *Test +#[0-9]+: / {
    n = $0; sub(/^ *Test +#/, "", n); sub(/:.*/, "", n)
    if (command[n + 0] ~ pat) print $NF
  }')
if [ ${#tests[@]} -eq 0 ]; then
  echo "sanitize: CTest knows no test that runs ${targets[*]}" >&2
  exit 1
fi
regex="^($(printf '%s|' "${tests[@]}" | sed 's/|$//'))\$"

supp=$root/tests
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:print_stacktrace=1:strict_init_order=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$supp/sanitizer.supp"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
status=0
tests/x_session.sh ctest --test-dir build-asan -R "$regex" --output-on-failure --timeout 600 || status=1
echo "sanitize: ${#tests[@]} tests, $((SECONDS - started)) s, status $status"
exit $status
