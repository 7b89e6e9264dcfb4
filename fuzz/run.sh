#!/usr/bin/env bash
# Builds one fuzz target in build-fuzz/ with Clang and runs it, seeded from the sample games.
#
# Usage: fuzz/run.sh TARGET [SECONDS]   (default 300)
#   TARGET: ClassReader, ZipDirectory, ManifestText, CentralDirectory, BytecodeWalk,
#   KeyHandlerRename, PoolEditor or ClassPasses (the last four seeded with class files, as
#   ClassReader is)
# Findings land in build-fuzz/findings/TARGET/; the growing corpus in build-fuzz/corpus/TARGET/.
set -euo pipefail

target=${1:?"which target: see the usage above"}
seconds=${2:-300}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-fuzz
games=$root/tests/data/corpus

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEL_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
CCACHE_BASEDIR=$root cmake --build "$build" -j2 --target "fuzz_$target"

corpus=$build/corpus/$target
findings=$build/findings/$target
mkdir -p "$corpus" "$findings"
if [ -z "$(ls -A "$corpus")" ]; then
  n=0
  for jar in "$games"/*/*.jar; do
    n=$((n + 1))
    case $target in
      ZipDirectory | CentralDirectory) cp "$jar" "$corpus/game$n.jar" ;;
      ClassReader | BytecodeWalk | KeyHandlerRename | PoolEditor | ClassPasses)
        tmp=$(mktemp -d)
        unzip -qq -o "$jar" '*.class' -d "$tmp" 2>/dev/null || true
        find "$tmp" -name '*.class' | while read -r f; do
          cp "$f" "$corpus/$(sha1sum "$f" | cut -c1-16).class"
        done
        rm -rf "$tmp"
        ;;
      ManifestText)
        unzip -p "$jar" META-INF/MANIFEST.MF >"$corpus/manifest$n.mf" 2>/dev/null || true
        ;;
    esac
  done
  if [ "$target" = ManifestText ]; then
    for jad in "$games"/*/*.jad; do n=$((n + 1)); cp "$jad" "$corpus/descriptor$n.jad"; done
  fi
fi

cd "$findings"
"$build/bin/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus"
