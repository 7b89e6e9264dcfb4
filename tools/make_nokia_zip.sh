#!/usr/bin/env bash
# Rebuilds payload/Nokia.zip, the Nokia compatibility classes added to games that use that API.
#
# The classes are compiled with debug tables against the small MIDP and CLDC stand-ins in
# tools/midp-stubs (so nothing of the desktop library slips in), then ProGuard turns them into
# what a CLDC handset loads: class file version 46.0 with preverified StackMap attributes.
# The archive lists its entries in a fixed order with fixed times and modes, so running this
# again with the same JDK, ProGuard and zip gives the same bytes.
#
# Usage: tools/make_nokia_zip.sh [OUTPUT]   (default: payload/Nokia.zip beside this folder)
# Needs: javac (JDK 17), proguard (proguard-cli), zip.
set -euo pipefail

tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$tools")
output=$(realpath -m "${1:-$root/payload/Nokia.zip}")
sources=$root/payload/nokia/src
stubs=$tools/midp-stubs

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/stubs" "$work/classes" "$work/preverified" "$work/zip"

mapfile -t stub_files < <(cd "$stubs" && find . -name '*.java' | LC_ALL=C sort)
mapfile -t class_files < <(cd "$sources" && find . -name '*.java' | LC_ALL=C sort)

# The lowest release this javac still compiles for; -bootclasspath needs 8 or lower.
release=
for r in 6 7 8; do
  if (cd "$stubs" && javac -nowarn -encoding UTF-8 -Xlint:-options -source "$r" -target "$r" \
        -bootclasspath . -d "$work/stubs" "${stub_files[@]}") >/dev/null 2>&1; then
    release=$r
    break
  fi
done
if [ -z "$release" ]; then
  echo "make_nokia_zip: javac compiles for none of the releases 6 to 8" >&2
  exit 1
fi

(cd "$sources" && javac -g -encoding UTF-8 -Xlint:-options -source "$release" -target "$release" \
    -bootclasspath "$work/stubs" -d "$work/classes" "${class_files[@]}")

cat >"$work/preverify.pro" <<EOF
-injars '$work/classes'
-outjars '$work/preverified'
-libraryjars '$work/stubs'
-microedition
-target 1.2
-dontshrink
-dontoptimize
-dontobfuscate
-keepattributes *
EOF
proguard "@$work/preverify.pro" >"$work/proguard.log" 2>&1 || {
  cat "$work/proguard.log" >&2
  exit 1
}

entries=(
  com/
  com/nokia/
  com/nokia/mid/
  com/nokia/mid/sound/
  com/nokia/mid/sound/Sound.class
  com/nokia/mid/sound/SoundListener.class
  com/nokia/mid/ui/
  com/nokia/mid/ui/DeviceControl.class
  com/nokia/mid/ui/DirectGraphics.class
  com/nokia/mid/ui/DirectGraphicsImplemented.class
  com/nokia/mid/ui/DirectUtils.class
  com/nokia/mid/ui/FullCanvas.class
)
cd "$work/zip"
for entry in "${entries[@]}"; do
  case $entry in
    */) mkdir -p "$entry" && chmod 755 "$entry" ;;
    *) cp "$work/preverified/$entry" "$entry" && chmod 644 "$entry" ;;
  esac
done
export TZ=UTC
touch -d '2000-01-01 00:00:00' "${entries[@]}"
# Without extra fields (-X) the archive holds nothing of this machine but the modes set above.
zip -q -X -9 "$work/Nokia.zip" "${entries[@]}"
cp "$work/Nokia.zip" "$output"
