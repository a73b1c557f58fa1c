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
session=$(dirname "${BASH_SOURCE[0]}")/../../tools/session
scenario=$1
shift

player=
play_tone() {  # FREQ SECONDS
  sox -n -r 44100 -c 2 -t wav - synth "$2" sine "$1" vol 0.5 2>/dev/null | paplay -d vsink &
  player=$!
}
stop_tone() {
  [ -n "$player" ] && kill "$player" 2>/dev/null
  player=
}
start_server() { "$session" audio "$KIVOTRA_SESSION" start; }
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
    pulseaudio --kill 2>/dev/null
    for _ in $(seq 50); do pactl info >/dev/null 2>&1 || break; sleep 0.1; done
    "$@" no-device | while IFS= read -r line; do strip "$line"; done
    finish "${PIPESTATUS[0]}"
    ;;
  sink-loss | server-loss)
    play_tone 1000 60
    coproc check { "$@" loss 2>&1; }
    check_pid=$check_PID
    while IFS= read -r line <&"${check[0]}"; do
      line=${line%$'\r'}
      echo "$line"
      case "$line" in
        recording)
          stop_tone
          if [ "$scenario" = sink-loss ]; then
            pactl unload-module module-null-sink
          else
            pulseaudio --kill
          fi
          echo "(input taken away)"
          ;;
        silent)
          if [ "$scenario" = sink-loss ]; then
            pactl load-module module-null-sink sink_name=vsink >/dev/null
            pactl set-default-source vsink.monitor
          else
            start_server
          fi
          play_tone 1000 60
          echo "(input back)"
          ;;
      esac
    done
    wait "$check_pid"
    status=$?
    stop_tone
    finish "$status"
    ;;
  *)
    echo "unknown scenario $scenario" >&2
    exit 2
    ;;
esac
