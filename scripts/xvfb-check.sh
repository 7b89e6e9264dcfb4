#!/usr/bin/env bash
# scripts/xvfb-check.sh BUILD_DIR: starts korvel as a new English-speaking user would (fresh
# program folder, en_US locale) under Xvfb with a window manager, takes screenshots of the main
# window and of Options, and compares them with korvel-render's pictures of the same windows.
set -euo pipefail

# The part that runs under the X server: scripts/xvfb-check.sh --under-x BUILD_DIR WORK_DIR.
run_under_x() {
  local build=$1 work=$2
  [ -n "${KORVEL_XVFB_TRACE:-}" ] && set -x
  openbox >/dev/null 2>&1 &
  sleep 1
  unset LC_ALL LC_MESSAGES
  export LANG=en_US.UTF-8 QT_QPA_PLATFORM=xcb
  "$work/bin/korvel-render" --lang English.lng "$work/render" >/dev/null
  "$work/bin/korvel" &
  local korvel_pid=$!
  local main
  # Whole output first, then its first line: `head` leaving the pipe early would fail it.
  main=$(xdotool search --sync --onlyvisible --name '^Java game adapter for Virel$')
  main=${main%%$'\n'*}
  sleep 2  # the fade-in
  xdotool mousemove 5 5  # the pointer away from every button
  sleep 0.5
  "$build/tests/korvel-screen" grab "$main" "$work/shots/Tfrm.png"
  xdotool windowactivate --sync "$main" key alt+o
  local options
  options=$(xdotool search --sync --onlyvisible --name '^Options$')
  options=${options%%$'\n'*}
  sleep 2
  "$build/tests/korvel-screen" grab "$options" "$work/shots/TfrmOptions.png"
  xdotool key Escape
  sleep 1
  xdotool windowactivate --sync "$main" key alt+e
  wait "$korvel_pid"
  local failed=0
  for name in Tfrm TfrmOptions; do
    "$build/tests/korvel-screen" compare "$work/shots/$name.png" "$work/render/$name.png" ||
      failed=1
  done
  return $failed
}

if [ "${1:-}" = "--under-x" ]; then
  run_under_x "$2" "$3"
  exit
fi

build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
[ -n "${KORVEL_XVFB_KEEP:-}" ] || trap 'rm -rf "$work"' EXIT

# A fresh program folder: the program, its engines and language files, no korvel.ini.
mkdir -p "$work/bin" "$work/render" "$work/shots"
cp "$build/bin/korvel" "$build/bin/korvel-render" "$build"/bin/*.so "$build"/bin/*.lng "$work/bin/"

timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --under-x "$build" "$work"
