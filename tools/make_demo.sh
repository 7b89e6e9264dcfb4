#!/usr/bin/env bash
# Rebuilds examples/demo/Demo.jar and Demo.jad, Korvel's demo game, from examples/demo/src.
#
# Usage: tools/make_demo.sh [OUTPUT_FOLDER]   (default: examples/demo)
# Needs: javac (JDK 17), proguard (proguard-cli), zip.
set -euo pipefail

tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$tools")
output=$(realpath -m "${1:-$root/examples/demo}")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/jar/META-INF" "$output"

"$tools/compile_cldc.sh" "$root/examples/demo/src" "$work/classes"

attributes="MIDlet-Name: Korvel Demo
MIDlet-Vendor: Korvel
MIDlet-Version: 1.0
MIDlet-1: Korvel Demo,,korvel.demo.DemoMIDlet
MicroEdition-Profile: MIDP-2.0
MicroEdition-Configuration: CLDC-1.0"

printf 'Manifest-Version: 1.0\r\n%s\r\n\r\n' "${attributes//$'\n'/$'\r\n'}" \
  >"$work/jar/META-INF/MANIFEST.MF"
entries=(META-INF/ META-INF/MANIFEST.MF korvel/ korvel/demo/)
cp -r "$work/classes/korvel" "$work/jar/"
mapfile -t classes < <(cd "$work/jar" && find korvel -name '*.class' | LC_ALL=C sort)
entries+=("${classes[@]}")

cd "$work/jar"
export TZ=UTC
chmod 755 META-INF korvel korvel/demo
chmod 644 META-INF/MANIFEST.MF "${classes[@]}"
touch -d '2000-01-01 00:00:00' "${entries[@]}"
zip -q -X -9 "$work/Demo.jar" "${entries[@]}"
cp "$work/Demo.jar" "$output/Demo.jar"

size=$(stat -c %s "$output/Demo.jar")
printf '%s\nMIDlet-Jar-Size: %s\nMIDlet-Jar-URL: Demo.jar\n' "$attributes" "$size" \
  >"$output/Demo.jad"
