#!/usr/bin/env bash
# End to end on a real X server: types a message and a password into the real
# hushnote with real key events, secures it, copies it to the real clipboard,
# compares it with hushnote-cli's secured text, then pastes it back,
# de-secures it and checks the message. A message in clear must reach the
# clipboard marked secret for clipboard managers, secured text unmarked.
# Stops by itself within a bounded time.
#
# usage: x11_roundtrip.sh BIN_DIR [OUTPUT_DIR]
set -euo pipefail
bin=$(cd "$1" && pwd)
out=${2:-$(mktemp -d)}
mkdir -p "$out"
work=$(mktemp -d)
display=":$((90 + RANDOM % 100))"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "e2e: FAILED: $*"; import -display "$display" -window root "$out/e2e-failure.png" 2>/dev/null || true; exit 1; }

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done 2>/dev/null || true
sleep 0.5

export QT_QPA_PLATFORM=xcb
# xdotool types the non-ASCII message only under a UTF-8 locale.
export LC_ALL=C.UTF-8
export HOME="$work"  # no settings of the user's are read or written
"$bin/hushnote" >"$work/hushnote.log" 2>&1 &
pids+=($!)

win=""
for _ in $(seq 100); do
  win=$(xdotool search --name '^Hushnote v' 2>/dev/null | sed -n 1p || true)
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || fail "the window did not appear"
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
sleep 0.5

key() { xdotool key --clearmodifiers --delay 60 "$@"; sleep 0.3; }
# Waits for the message box (its caption is the bare program title), presses
# its OK button and gives the focus back to the message text.
dismiss_box() {
  local box=""
  for _ in $(seq 50); do
    box=$(xdotool search --onlyvisible --name '^Hushnote$' 2>/dev/null | sed -n 1p || true)
    [ -n "$box" ] && break
    sleep 0.1
  done
  [ -n "$box" ] || fail "no message box appeared"
  xdotool windowactivate --sync "$box" 2>/dev/null || xdotool windowfocus --sync "$box" 2>/dev/null || true
  key Return
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name '^Hushnote$' >/dev/null 2>&1 || break
    sleep 0.1
  done
  xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
  xdotool mousemove --window "$win" 120 80 click 1
  sleep 0.3
}
type_text() { xdotool type --clearmodifiers --delay 40 "$1"; sleep 0.3; }

line1="Meet me at noon"
line2="Grüße, café, ½ price: 100 €"
# xdotool types upper-case accented letters as lower case, so they are left out.
line3="àéîõü ÿ ß ©®±µ¶·×÷ ¿¡ ç"
password="pässwörd 1"

printf '%s' "$password" >"$work/pw"
want=$(printf '%s\n%s\n%s' "$line1" "$line2" "$line3")
expected=$(printf '%s' "$want" | timeout 10 "$bin/hushnote-cli" secure-text --password-file "$work/pw")

clipboard() { timeout 10 xclip -o -selection clipboard 2>/dev/null || true; }
marked_secret() {
  timeout 10 xclip -o -selection clipboard -t TARGETS 2>/dev/null | grep -x x-kde-passwordManagerHint >/dev/null &&
    [ "$(timeout 10 xclip -o -selection clipboard -t x-kde-passwordManagerHint)" = secret ]
}

# xdotool types characters outside the keyboard map by re-mapping a spare key
# for each one, which a busy machine can race; such an attempt is started
# again (what was typed is checked through Copy Text first). A fault of the
# program fails every attempt.
secured=""
for attempt in 1 2 3; do
  key ctrl+a; key Delete
  type_text "$line1"; key Return
  type_text "$line2"; key Return
  type_text "$line3"
  key alt+c
  dismiss_box  # "Text copied to clipboard."
  typed=$(clipboard | tr -d '\r')
  if [ "$typed" != "$want" ]; then
    echo "e2e: attempt $attempt: the keys typed '$typed'; typing again"
    continue
  fi
  marked_secret || fail "the typed message was copied without the secret mark"
  key alt+p
  key ctrl+a; key BackSpace
  type_text "$password"
  key alt+s
  sleep 0.5
  key alt+c
  dismiss_box
  secured=$(clipboard)
  [ "$secured" = "$expected" ] && break
  echo "e2e: attempt $attempt: window secured '$secured', command-line tool '$expected'"
  secured=""
done
[ -n "$secured" ] || fail "the window's secured text never matched hushnote-cli's"
echo "e2e: the window's secured text equals hushnote-cli's (${#secured} characters)"
if marked_secret; then fail "secured text was copied with the secret mark"; fi
echo "e2e: the message in clear was copied marked secret, the secured text unmarked"

# Paste it back from another program into an emptied box, de-secure, read the box.
message=""
for attempt in 1 2 3; do
  printf '%s' "$secured" | timeout 10 xclip -i -selection clipboard
  key ctrl+a; key Delete
  key ctrl+v
  key alt+p
  key ctrl+a; key BackSpace
  type_text "$password"
  key alt+d
  sleep 0.5
  import -window root "$out/e2e-desecured.png" || true
  key alt+c
  dismiss_box
  message=$(clipboard | tr -d '\r')
  [ "$message" = "$want" ] && break
  echo "e2e: attempt $attempt: de-secured to '$message'"
done
[ "$message" = "$want" ] || fail "de-secured to '$message'"
echo "e2e: pasted back and de-secured to the typed message"
marked_secret || fail "the de-secured message was copied without the secret mark"
echo "e2e: 3 passed, 0 failed"
