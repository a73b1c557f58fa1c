# Sourced by the scripts in scripts/, the tools here and the end-to-end cases:
# Windows paths, waiting for a program's line, and for scripts with a session
# of their own, the build to measure, the session, and the end of everything
# they started, however they exit.
kivotra_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# KIVOTRA_BUILD_DIR counts from where the script was started, not the root.
kivotra_started_in=$PWD

# Some kernels run no 32-bit code (IA-32 emulation switched off, as on some
# virtual machines), so 32-bit Wine cannot start: there the Windows tests run
# a 64-bit build (the windows64 preset) under 64-bit Wine, whose loader the
# shims in tools/wine64 pick in place of Debian's, which prefers the 32-bit
# one whenever it is installed. KIVOTRA_WINEARCH: win32 or win64.
choose_wine() {
  if /usr/lib/wine/wine --version >/dev/null 2>&1 || [ ! -x /usr/lib/wine/wine64 ]; then
    KIVOTRA_WINEARCH=win32
  else
    KIVOTRA_WINEARCH=win64
    case :$PATH: in *":$kivotra_root/tools/wine64:"*) ;; *) PATH=$kivotra_root/tools/wine64:$PATH ;; esac
  fi
  # The preset whose programs this machine's Wine runs.
  windows_preset=windows
  [ "$KIVOTRA_WINEARCH" = win32 ] || windows_preset=windows64
  export KIVOTRA_WINEARCH PATH
}
choose_wine

# The comment at the top of the running script, from after the #! line to the
# first line that is not a comment: what it does and its arguments.
script_help() { sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"; }
# --help: that text, status 0. A wrong argument: the same on standard error,
# status 2. Both before the script builds or starts anything.
help_asked() { script_help; exit 0; }
wrong_usage() { script_help >&2; exit 2; }
positive_number() { [[ $1 =~ ^[1-9][0-9]*$ ]]; }

# The path as Windows programs under Wine see it.
windows_path() { local path; path=$(readlink -f "$1"); echo "Z:${path//\//\\}"; }

# Runs COMMAND every 50 ms until it succeeds; false once SECONDS have passed
# and a last try still fails. The scripts' one poll-until.
poll_until() {  # SECONDS COMMAND...
  local deadline=$((${EPOCHREALTIME/./} + $1 * 1000000))
  shift
  until "$@"; do
    [ "${EPOCHREALTIME/./}" -lt "$deadline" ] || { "$@"; return; }
    sleep 0.05
  done
}

# A null sink that has had no client runs in 2 s blocks, and takes a client's
# shorter ones only when its current block ends. So for up to 2 s after the
# audio server starts nothing at all reaches its monitor, whatever records
# from it: a bare parec hears a restarted server 1.92-1.99 s after it answers.
# A microphone delivers every few milliseconds from the moment it is back. A
# player that stands in for one asks for short blocks, and once it is
# connected, sink_takes_short_blocks suspends and resumes the sink, which
# starts it afresh in the player's blocks. The sink is tools/session's.
session_sink=vsink
short_block_player="paplay --latency-msec=20"
sink_takes_short_blocks() {
  poll_until 2 eval 'pactl list short sink-inputs | grep -q .' || return 0
  pactl suspend-sink "$session_sink" 1 && pactl suspend-sink "$session_sink" 0
}

# True once FILE has a line starting with LINE; false when PID ends without
# writing it or SECONDS pass.
has_line() { grep -q "^$2" "$1" 2>/dev/null; }
has_line_or_ended() { has_line "$1" "$2" || ! kill -0 "$3" 2>/dev/null; }
wait_for_line() {  # FILE LINE PID SECONDS
  poll_until "$4" has_line_or_ended "$1" "$2" "$3" || true
  has_line "$1" "$2"
}

# Sets `build`: KIVOTRA_BUILD_DIR, an existing windows build to measure, or
# else the windows preset, built now if needed.
bench_build() {
  build=${KIVOTRA_BUILD_DIR:-}
  if [ -n "$build" ]; then
    build=$(cd "$kivotra_started_in" && cd "$build" && pwd)
  else
    (cd "$kivotra_root" && cmake --preset "$windows_preset" >/dev/null &&
      cmake --build --preset "$windows_preset" >/dev/null)
    build=$kivotra_root/build/$windows_preset
  fi
}

kivotra_pids=()
kivotra_session=
stop_everything() {
  local pid
  for pid in "${kivotra_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ -z "$kivotra_session" ] || "$kivotra_root/tools/session" stop "$kivotra_session" >/dev/null 2>&1 || true
}
# A process to end when the script exits, and one that has ended already
# (so that its id, perhaps reused, is left alone).
started() { kivotra_pids+=("$1"); }
ended() {
  local kept=() pid
  for pid in "${kivotra_pids[@]}"; do [ "$pid" = "$1" ] || kept+=("$pid"); done
  kivotra_pids=("${kept[@]}")
}

# Brings up a private session in DIR (display, audio server, Wine prefix),
# enters it, and stops it on exit.
start_session() {
  kivotra_session=$1
  trap stop_everything EXIT
  "$kivotra_root/tools/session" start "$kivotra_session" ||
    { echo "${0##*/}: the private session in $kivotra_session did not start (see above)" >&2; exit 1; }
  . "$kivotra_session/env"
}

bench_machine() {
  echo "machine: $(. /etc/os-release; echo "$PRETTY_NAME"), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(wine --version)"
}

# The system's DPI in the current Wine prefix, read by the next start.
set_system_dpi() {  # DPI
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -k && wineserver -w
}

# Which calls Wine traces in the current prefix under WINEDEBUG=+relay,+snoop
# (all of them would flood the log): RELAY of builtin DLLs, SNOOP of native
# ones, each "dll.call;...", or "" to take the list away again.
trace_wine_calls() {  # RELAY SNOOP
  local key='HKCU\Software\Wine\Debug' value calls
  for value in RelayInclude SnoopInclude; do
    calls=$1; shift
    if [ -n "$calls" ]; then
      wine reg add "$key" /v "$value" /t REG_SZ /d "$calls" /f >/dev/null 2>&1
    else
      wine reg delete "$key" /v "$value" /f >/dev/null 2>&1 || true
    fi
  done
}

# User and system time from a /proc stat file, in clock ticks.
cpu_ticks() { awk '{ sub(/.*\) /, ""); print $12 + $13 }' "$1"; }
