#!/usr/bin/env bash
# Drives real_audio_check.exe inside a test session (tools/session run):
# plays tones into the session's null sink, whose monitor is the default
# input, and takes the input away and back when the program asks.
#
#   real_audio.sh tone FREQ PROGRAM      a FREQ Hz tone while PROGRAM checks it
#   real_audio.sh no-device PROGRAM      the audio server stopped first
#   real_audio.sh sink-loss PROGRAM      the sink removed while recording, then loaded again
#   real_audio.sh server-loss PROGRAM    the server stopped while recording, then started again

set -u
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib.sh"
session=$kivotra_root/tools/session
scenario=$1
shift

player=
play_tone() {  # FREQ SECONDS
  sox -n -r 44100 -c 2 -t wav - synth "$2" sine "$1" vol 0.5 2>/dev/null | paplay -d "$session_sink" &
  player=$!
}
stop_tone() {
  [ -n "$player" ] && kill "$player" 2>/dev/null
  player=
}
strip() { printf '%s\n' "${1%$'\r'}"; }
finish() {  # STATUS
  [ "$1" -eq 0 ] || echo "program exited with status $1"
  exit "$1"
}

case "$scenario" in
  tone)
    frequency=$1; shift
    play_tone "$frequency" 12
    "$@" tone "$frequency" | while IFS= read -r line; do strip "$line"; done
    status=${PIPESTATUS[0]}
    stop_tone
    finish "$status"
    ;;
  no-device)
    "$session" audio "$KIVOTRA_SESSION" stop
    "$@" no-device | while IFS= read -r line; do strip "$line"; done
    finish "${PIPESTATUS[0]}"
    ;;
  sink-loss | server-loss)
    # The input comes back only once the library has tried to reopen it and
    # failed (a relay trace of waveInOpen, on stderr): a stand-in it could
    # open, or a recorder that never reopens, fails the check.
    take=unload-sink back=load-sink
    [ "$scenario" = server-loss ] && take=stop back=start
    trace_wine_calls winmm.waveInOpen ""
    play_tone 1000 60
    coproc check { WINEDEBUG=-all,+relay "$@" loss 2>&1; }
    check_pid=$check_PID
    exec {output}<&"${check[0]}"  # bash drops check[] once the program ends
    phase=before
    while IFS= read -r line <&"$output"; do
      line=${line%$'\r'}
      case "$line" in *winmm.waveIn*) ;; ????:*) continue ;; esac  # +relay traces more than that
      echo "$line"
      case "$phase $line" in
        "before recording")
          stop_tone
          "$session" audio "$KIVOTRA_SESSION" "$take"
          phase=lost
          echo "(input taken away)"
          ;;
        "lost "*"Ret  winmm.waveInOpen() retval=00000000"*) ;;
        "lost "*"Ret  winmm.waveInOpen() retval="*)
          "$session" audio "$KIVOTRA_SESSION" "$back"
          play_tone 1000 60
          phase=back
          echo "(input back)"
          ;;
      esac
    done
    wait "$check_pid"
    status=$?
    stop_tone
    [ "$phase" != lost ] || "$session" audio "$KIVOTRA_SESSION" "$back"  # for the next test in the session
    finish "$status"
    ;;
  *)
    echo "unknown scenario $scenario" >&2
    exit 2
    ;;
esac
