#!/usr/bin/env bash
# Rebuilds the key classes a game built for another handset's keys gets: payload/FullKeyCn.class,
# payload/FullKeyGameCn.class and payload/KeyMap.class, from payload/keys/src (compiled against
# the full-screen classes' outlines in payload/keys/lib) by tools/compile_cldc.sh.
#
# Usage: tools/make_key_classes.sh [OUTPUT_DIR]   (default: payload/)
# Needs: javac (JDK 17), proguard (proguard-cli).
set -euo pipefail

tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$tools")
output=$(realpath -m "${1:-$root/payload}")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Without debug tables: every byte goes into every game that gets them.
DEBUG=-g:none "$tools/compile_cldc.sh" "$root/payload/keys/src" "$work/classes" "$root/payload/keys/lib"
mkdir -p "$output"
cp "$work/classes/com/quillmoss/fullscreen/FullKeyCn.class" \
   "$work/classes/com/quillmoss/fullscreen/KeyMap.class" \
   "$work/classes/com/quillmoss/fullscreen/game/FullKeyGameCn.class" "$output/"
