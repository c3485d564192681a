#!/usr/bin/env bash
# Builds the Debian package from a release build, checks it with lintian,
# validates its desktop entry, AppStream data and manual pages, installs it
# with apt-get, checks that the installed programs run and find their cipher
# library, starts the desktop program the way its desktop entry does under
# Xvfb and takes a screenshot, then removes the package and checks that
# nothing is left behind.
#
#   packaging/test-package.sh [SCREENSHOT-FOLDER]
#
# SCREENSHOT-FOLDER (default build/release/screenshots) receives
# installed-hushnote.png. Needs root or sudo for apt-get. Every step is
# bounded by a timeout.
set -euo pipefail
cd "$(dirname "$0")/.."

app_id=org.hushnote.Hushnote
build=build/release
shots="${1:-$build/screenshots}"
mkdir -p "$shots"
shots=$(cd "$shots" && pwd)

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
apt_get() {
  $sudo env DEBIAN_FRONTEND=noninteractive timeout 600 \
    apt-get -o DPkg::Lock::Timeout=120 "$@"
}

say() { echo "package: $*"; }
fail() {
  echo "package: FAILED: $*" >&2
  exit 1
}

work=$(mktemp -d)
installed=0
cleanup() {
  local status=$?
  if [ "$installed" -eq 1 ]; then
    say "removing the package after a failure"
    apt_get remove -y -qq hushnote >/dev/null 2>&1 || true
    $sudo timeout 120 dpkg --purge hushnote >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

# ---- Build -----------------------------------------------------------------
# The release preset's own build, tests and benchmarks included: the package
# holds what that build tested.
# The receiver page first: the release build installs the page the wasm
# preset built.
say "building the receiver page (wasm preset)"
timeout 600 cmake --preset wasm >/dev/null
timeout 900 cmake --build --preset wasm
say "building the release package in $build"
timeout 600 cmake --preset release >/dev/null
timeout 1800 cmake --build --preset release
rm -f "$build"/hushnote_*.deb
(cd "$build" && timeout 300 cpack -G DEB >/dev/null)
debs=("$build"/hushnote_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one hushnote_*.deb in $build"
deb_name=$(basename "${debs[0]}")
version=$(dpkg-deb -f "${debs[0]}" Version)
say "built $deb_name"
dpkg-deb -f "${debs[0]}" Depends | sed 's/^/package: Depends: /'
[[ "$(dpkg-deb -f "${debs[0]}" Recommends)" == *qt6-gtk-platformtheme* ]] ||
  fail "the package does not recommend the desktop's file dialogs"

# Every file and link the package holds, as absolute paths.
dpkg-deb -c "${debs[0]}" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\.||' >"$work/files"
grep -qx /usr/lib/hushnote/libfncryptlib.so "$work/files" ||
  fail "the package does not hold the cipher library next to the programs"
grep -qx /usr/share/hushnote/hushnote.html "$work/files" ||
  fail "the package does not hold the receiver page"

# ---- Validate --------------------------------------------------------------
say "checking the package with lintian"
# Errors and warnings fail; info and pedantic tags are shown for the record.
# As root lintian prints a notice on standard error, so the tags are read from
# standard output only. Exit status 2 means tags at the --fail-on levels.
status=0
timeout 600 lintian --display-info --pedantic --show-overrides --fail-on error,warning \
  "${debs[0]}" >"$work/lintian" 2>"$work/lintian.err" || status=$?
sed 's/^/package: lintian: /' "$work/lintian"
if [ "$status" -ne 0 ] && [ "$status" -ne 2 ]; then
  cat "$work/lintian.err" >&2
  fail "lintian did not run (exit status $status)"
fi
ew=$(grep -E '^[EW]: ' "$work/lintian" || true)
[ -z "$ew" ] && [ "$status" -eq 0 ] || fail "lintian reports errors or warnings:
$ew"

say "validating the desktop entry"
out=$(desktop-file-validate "packaging/$app_id.desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate reports: $out"

say "validating the AppStream data"
timeout 60 appstreamcli validate --no-net "$build/packaging/$app_id.metainfo.xml" ||
  fail "appstreamcli validate"

if command -v groff >/dev/null; then
  say "checking the manual pages"
  for page in packaging/man/*.1; do
    out=$(groff -man -ww -z "$page" 2>&1)
    [ -z "$out" ] || fail "groff warns about $page: $out"
  done
fi

# ---- Install ---------------------------------------------------------------
say "installing $deb_name"
installed=1
# Without the recommended platform themes, which would pull in a desktop.
(cd "$build" && apt_get install -y -qq --no-install-recommends "./$deb_name")
# Read whole before matching: under pipefail an early-exiting grep -q can kill
# its writer with SIGPIPE and fail a check that holds.
[ "$(dpkg-query -W -f='${Status}' hushnote)" = "install ok installed" ] ||
  fail "hushnote is not installed after apt-get install"
while read -r f; do
  [ -e "$f" ] || [ -L "$f" ] || fail "$f is missing after installing"
done <"$work/files"

cli=/usr/bin/hushnote-cli
[ "$(readlink -f "$cli")" = /usr/lib/hushnote/hushnote-cli ] ||
  fail "$cli does not lead to /usr/lib/hushnote/hushnote-cli"
desktop-file-validate "/usr/share/applications/$app_id.desktop" ||
  fail "the installed desktop entry does not validate"
man -w hushnote-cli >/dev/null && man -w hushnote >/dev/null ||
  fail "the manual pages are not found"

say "checking the installed hushnote-cli"
answer=$(timeout 10 "$cli" --version) || fail "hushnote-cli --version failed"
[ "$answer" = "hushnote-cli $version" ] || fail "hushnote-cli --version says '$answer'"

printf 'package test password\n' >"$work/password"
echo hi >"$work/message"
secured=$(echo hi | timeout 10 "$cli" --password-file "$work/password" secure-text) ||
  fail "secure-text failed"
back=$(printf '%s\n' "$secured" |
  timeout 10 "$cli" --password-file "$work/password" desecure-text) || fail "desecure-text failed"
[ "$back" = hi ] || fail "the text round trip gave '$back'"

# Library mode refuses to fall back to the built-in cipher: it succeeds only
# when the installed program found libfncryptlib.so in its own folder through
# the link in /usr/bin.
timeout 30 "$cli" --mode library --password-file "$work/password" \
  secure-file "$work/message" "$work/message.hush" ||
  fail "the installed hushnote-cli does not find its cipher library"
timeout 30 "$cli" --mode builtin --password-file "$work/password" \
  desecure-file "$work/message.hush" "$work/message.back" || fail "desecure-file failed"
cmp -s "$work/message" "$work/message.back" || fail "the file round trip changed the file"

# The installed receiver page, found from lib/hushnote through share/hushnote,
# with a secured message inside.
printf 'hi' | timeout 10 "$cli" --password-file "$work/password" secure-text >"$work/secured.txt"
timeout 10 "$cli" receiver-page -i "$work/secured.txt" --hint "the usual" "$work/page.html" ||
  fail "hushnote-cli receiver-page does not find the installed page"
grep -qF ">$(tr 0 '|' <"$work/secured.txt")</textarea>" "$work/page.html" ||
  fail "the receiver page does not carry the secured text"

# ---- The desktop program ---------------------------------------------------
say "starting the installed program from its desktop entry under Xvfb"
exec_line=$(sed -n 's/^Exec=//p' "/usr/share/applications/$app_id.desktop")
wm_class=$(sed -n 's/^StartupWMClass=//p' "/usr/share/applications/$app_id.desktop")
cat >"$work/session.sh" <<'EOF'
#!/usr/bin/env bash
# Runs inside xvfb-run: $1 work folder, $2 screenshot file, $3 WM class, then the command.
set -u
work=$1 shot=$2 wm_class=$3
shift 3
LD_DEBUG=files LD_DEBUG_OUTPUT="$work/ld" QT_QPA_PLATFORM=xcb "$@" 2>"$work/program.err" &
pid=$!
win=$(scripts/await-window.sh "$pid")
status=$?
if [ "$status" -eq 3 ]; then
  echo "no main window appeared" >&2
elif [ "$status" -eq 4 ]; then
  echo "the program ended by itself" >&2
else
  grep -q "\"$wm_class\"" <<<"$(xprop -id "$win" WM_CLASS)" || {
    echo "WM_CLASS is not $wm_class: $(xprop -id "$win" WM_CLASS)" >&2
    status=5
  }
fi
import -window root "$shot" || status=6
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit "$status"
EOF
# The Exec line holds no field codes: split into words as the launcher would.
read -r -a command <<<"$exec_line"
timeout 90 xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$work/session.sh" "$work" "$shots/installed-hushnote.png" "$wm_class" "${command[@]}" || {
  cat "$work/program.err" >&2 || true
  fail "the installed program did not run under Xvfb"
}
say "screenshot: $shots/installed-hushnote.png"
# The window shows "DLL" only when the library loaded from the program's folder.
grep -qs 'calling init: /usr/lib/hushnote/libfncryptlib.so' "$work"/ld.* ||
  fail "the installed program did not load /usr/lib/hushnote/libfncryptlib.so"

# ---- Remove ----------------------------------------------------------------
say "removing the package"
apt_get remove -y -qq hushnote
installed=0
# Without conffiles or maintainer scripts, removing the package already makes
# dpkg forget it; purge in case it still remembers, then check that it is gone.
if dpkg-query -W hushnote >/dev/null 2>&1; then
  $sudo timeout 120 dpkg --purge hushnote >/dev/null
fi
! dpkg-query -W hushnote >/dev/null 2>&1 || fail "dpkg still knows hushnote after purging it"
while read -r f; do
  if [ -e "$f" ] || [ -L "$f" ]; then
    fail "$f is still there after removing the package"
  fi
done <"$work/files"
[ ! -e /usr/lib/hushnote ] || fail "/usr/lib/hushnote is still there after removing the package"
say "passed"
