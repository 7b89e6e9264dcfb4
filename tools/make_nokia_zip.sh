#!/usr/bin/env bash
# Rebuilds payload/Nokia.zip, the Nokia compatibility classes added to games that use that API.
#
# The classes are compiled and preverified for CLDC handsets by tools/compile_cldc.sh.
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

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/zip"

"$tools/compile_cldc.sh" "$sources" "$work/preverified"

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
