#!/usr/bin/env bash
# Compiles Java sources into class files a CLDC handset loads: javac with debug tables against the
# MIDP and CLDC stand-ins in tools/midp-stubs (so nothing of the desktop library slips in), then
# ProGuard preverifies them: class file version 46.0 with StackMap attributes.
#
# Usage: tools/compile_cldc.sh SOURCE_DIR OUTPUT_DIR [LIBRARY_DIR]
# DEBUG (environment) is javac's debug option, -g (every table) unless set.
# LIBRARY_DIR holds sources of classes the handset or the program supplies: compiled against,
# never written out.
# Needs: javac (JDK 17 or older), proguard (proguard-cli).
set -euo pipefail

tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
sources=$(realpath "$1")
output=$(realpath -m "$2")
stubs=$tools/midp-stubs

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/stubs" "$work/classes" "$output"

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
  echo "compile_cldc: javac compiles for none of the releases 6 to 8" >&2
  exit 1
fi

if [ -n "${3:-}" ]; then
  library=$(realpath "$3")
  mapfile -t library_files < <(cd "$library" && find . -name '*.java' | LC_ALL=C sort)
  (cd "$library" && javac -nowarn -encoding UTF-8 -Xlint:-options -source "$release" \
      -target "$release" -bootclasspath "$work/stubs" -d "$work/stubs" "${library_files[@]}")
fi

(cd "$sources" && javac "${DEBUG:--g}" -encoding UTF-8 -Xlint:-options -source "$release" -target "$release" \
    -bootclasspath "$work/stubs" -d "$work/classes" "${class_files[@]}")

cat >"$work/preverify.pro" <<PRO
-injars '$work/classes'
-outjars '$output'
-libraryjars '$work/stubs'
-microedition
-target 1.2
-dontshrink
-dontoptimize
-dontobfuscate
-keepattributes *
PRO
proguard "@$work/preverify.pro" >"$work/proguard.log" 2>&1 || {
  cat "$work/proguard.log" >&2
  exit 1
}
