#!/usr/bin/env bash
# The installed program: `cmake --install` into a scratch prefix, then the installed korvel-patch
# run with a home folder of its own. Arguments: CMAKE BUILD_DIR CORPUS_DIR.
set -euo pipefail
cmake=$1 build=$2 corpus=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix home=$scratch/home games=$scratch/games
mkdir -p "$home" "$games"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
for file in bin/korvel bin/korvel-patch bin/korvel-render lib/korvel/libpackeng.so \
  lib/korvel/libunpkeng.so share/korvel/lang/English.lng share/applications/korvel.desktop \
  share/icons/hicolor/scalable/apps/korvel.svg share/icons/hicolor/256x256/apps/korvel.png \
  share/man/man1/korvel.1.gz share/man/man1/korvel-patch.1.gz; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done
desktop-file-validate "$prefix/share/applications/korvel.desktop" || fail "invalid desktop entry"

snapshot() { (cd "$prefix" && find . -printf '%p %s %T@ %m\n' | sort); }
before=$(snapshot)

# korvel-patch as the user: only HOME set, unless a test adds an XDG variable.
run_patch() {
  env -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u XDG_DATA_HOME -u XDG_RUNTIME_DIR HOME="$home" \
    "$@" "$prefix/bin/korvel-patch" "${args[@]}" >"$scratch/out" 2>&1 || {
    cat "$scratch/out" >&2
    fail "korvel-patch ${args[*]}"
  }
}
game() {  # a fresh copy of a sample game; prints the JAR's path
  rm -f "$games"/Tetris_N3410.*
  cp "$corpus/ray-tetris-n3410/Tetris_N3410.jar" "$corpus/ray-tetris-n3410/Tetris_N3410.jad" "$games/"
  echo "$games/Tetris_N3410.jar"
}

# The engines come from PREFIX/lib/korvel, the settings go to ~/.config, the work to ~/.cache.
jar=$(game)
args=(--width 176 --save-settings "$jar")
run_patch
grep -qx "adapted: $jar" "$scratch/out" || fail "not adapted: $(cat "$scratch/out")"
# The listing is taken whole first: `grep -q` leaving a pipe early would fail it under pipefail.
listing=$(unzip -l "$jar")
grep -q com/quillmoss/fullscreen/FullCn.class <<<"$listing" || fail "no full-screen class"
grep -qx 'ResW=176' "$home/.config/korvel/korvel.ini" || fail "settings not in ~/.config/korvel"
[ -d "$home/.cache/korvel" ] && [ ! -e "$home/.cache/korvel/temp" ] || fail "work folder"

# A language file named in the settings: the user's data folder first, then the installed one.
printf '[Korvel]\nLangFile=English.lng\n' >"$home/.config/korvel/korvel.ini"
args=("$(game)")
run_patch
grep -qx 'Initializing' "$scratch/out" || fail "installed language file not used"
mkdir -p "$home/.local/share/korvel/lang"
printf '[Main]\nInitializing=Warming up\n' >"$home/.local/share/korvel/lang/English.lng"
run_patch
grep -qx 'Warming up' "$scratch/out" || fail "the user's language file not used"

# The XDG variables move the folders.
args=(--height 100 --save-settings)
run_patch XDG_CONFIG_HOME="$scratch/config"
grep -qx 'ResH=100' "$scratch/config/korvel/korvel.ini" || fail "XDG_CONFIG_HOME not used"
args=("$(game)")
run_patch XDG_CACHE_HOME="$scratch/cache"
[ -d "$scratch/cache/korvel" ] || fail "XDG_CACHE_HOME not used"

[ "$(snapshot)" = "$before" ] || fail "something was written under the prefix"

# The manual page and --help name the same options.
options() { grep -o -- '--[a-z][a-z-]*' | sort -u; }
help=$("$prefix/bin/korvel-patch" --help | options)
manual=$(MANPATH="$prefix/share/man" LC_ALL=C MANWIDTH=100 man korvel-patch 2>/dev/null | options)
[ -n "$help" ] && [ "$help" = "$manual" ] || fail "--help and the manual page differ:
$(diff <(echo "$help") <(echo "$manual"))"
echo "installed copy works"
