# Sourced by the benchmark scripts: the build to measure, a private session
# under it, and the end of everything a benchmark started, however it exits.
bench_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Taken from where the benchmark was started, before it moves to the root.
[ -z "${KIVOTRA_BUILD_DIR:-}" ] || KIVOTRA_BUILD_DIR=$(cd "$KIVOTRA_BUILD_DIR" && pwd)

# Sets `build`: KIVOTRA_BUILD_DIR, an existing windows build to measure, or
# else the windows preset, built now if needed.
bench_build() {
  build=${KIVOTRA_BUILD_DIR:-}
  if [ -z "$build" ]; then
    (cd "$bench_root" && cmake --preset windows >/dev/null && cmake --build --preset windows >/dev/null)
    build=$bench_root/build/windows
  fi
}

bench_pids=()
bench_session=
bench_finish() {
  local pid
  for pid in "${bench_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ -z "$bench_session" ] || "$bench_root/tests/env/session" stop "$bench_session" >/dev/null 2>&1 || true
}
# A process to end when the benchmark exits, and one that has ended already
# (so that its id, perhaps reused, is left alone).
bench_started() { bench_pids+=("$1"); }
bench_ended() {
  local kept=() pid
  for pid in "${bench_pids[@]}"; do [ "$pid" = "$1" ] || kept+=("$pid"); done
  bench_pids=("${kept[@]}")
}

# Brings up a private session in DIR (display, audio server, Wine prefix),
# enters it, and stops it on exit.
bench_start_session() {
  bench_session=$1
  trap bench_finish EXIT
  "$bench_root/tests/e2e/session-start" "$bench_session"
  . "$bench_session/env"
}

bench_machine() {
  echo "machine: $(. /etc/os-release; echo "$PRETTY_NAME"), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(wine --version)"
}

windows_path() { local path; path=$(readlink -f "$1"); echo "Z:${path//\//\\}"; }
