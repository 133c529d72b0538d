#!/usr/bin/env bash
# Fetches the published npm packages that bundle the C sources of Tulip Indicators (tulind) and
# TA-Lib (talib), and compiles those sources natively into static libraries for peers_bench.
#   bench/peers/fetch-and-build.sh <dir> [C flags]
# <dir> gets tulip/{include,lib} and talib/{include,lib}, and a stamp file "ready" naming the
# versions once both are built. Nothing here is committed: <dir> lives in the build tree.
# Exits non-zero (saying why in one line on stderr) when the packages cannot be fetched or built.
set -uo pipefail
dir=${1:?usage: fetch-and-build.sh <dir> [C flags]}
cflags=$(echo ${2:--O3 -DNDEBUG})  # spaces collapsed: the stamp compares them
cc=${CC:-gcc}
# Pinned: the benchmark's figures compare against these exact releases.
tulip_pkg=tulind@0.8.20
talib_pkg=talib@1.1.6
stamp="$tulip_pkg $talib_pkg $cc $cflags"
mkdir -p "$dir" || exit 1
dir=$(cd "$dir" && pwd)
if [ -f "$dir/ready" ] && [ "$(cat "$dir/ready")" = "$stamp" ]; then
  exit 0
fi
rm -f "$dir/ready"
fail() { echo "peers: $*" >&2; exit 1; }
command -v npm >/dev/null || fail "npm not found"
command -v "$cc" >/dev/null || fail "$cc not found"
work="$dir/src"
rm -rf "$work" "$dir/tulip" "$dir/talib"
mkdir -p "$work/tulip" "$work/talib" || exit 1
for p in "$tulip_pkg" "$talib_pkg"; do
  ( cd "$work" && npm pack --loglevel=error --fetch-retries=1 --fetch-timeout=30000 "$p" >/dev/null 2>"$work/npm.log" ) ||
    fail "npm pack $p failed: $( (grep -m 1 FetchError "$work/npm.log" || grep -m 1 . "$work/npm.log") | sed 's/^npm error //')"
done
tar xzf "$work"/tulind-*.tgz -C "$work/tulip" || fail "cannot unpack $tulip_pkg"
tar xzf "$work"/talib-*.tgz -C "$work/talib" || fail "cannot unpack $talib_pkg"

# Tulip Indicators: one amalgamated C file and its header.
t="$work/tulip/package/external"
[ -f "$t/tiamalgamation.c" ] && [ -f "$t/indicators.h" ] || fail "$tulip_pkg has no bundled C sources"
mkdir -p "$dir/tulip/include" "$dir/tulip/lib" "$work/tulip/obj"
cp "$t/indicators.h" "$dir/tulip/include/" || exit 1
# shellcheck disable=SC2086
"$cc" $cflags -w -c "$t/tiamalgamation.c" -o "$work/tulip/obj/tulip.o" || fail "compiling Tulip Indicators failed"
ar rcs "$dir/tulip/lib/libtulip.a" "$work/tulip/obj/tulip.o" || exit 1

# TA-Lib: the function and common sources (the abstract interface is not needed).
s="$work/talib/package/src/lib"
[ -d "$s/src/ta_func" ] && [ -f "$s/include/ta_func.h" ] || fail "$talib_pkg has no bundled C sources"
mkdir -p "$dir/talib/include" "$dir/talib/lib" "$work/talib/obj"
cp "$s"/include/*.h "$dir/talib/include/" || exit 1
objs=()
for c in "$s"/src/ta_common/*.c "$s"/src/ta_func/*.c; do
  o="$work/talib/obj/$(basename "$c" .c).o"
  objs+=("$o")
done
# Two compilers at a time: the machine is shared.
printf '%s\n' "$s"/src/ta_common/*.c "$s"/src/ta_func/*.c |
  xargs -P "${VELMORA_JOBS:-2}" -I{} sh -c '"$0" $1 -w -I"$2/include" -I"$2/src/ta_common" -c "{}" -o "$3/$(basename "{}" .c).o"' \
    "$cc" "$cflags" "$s" "$work/talib/obj" || fail "compiling TA-Lib failed"
ar rcs "$dir/talib/lib/libtalib.a" "${objs[@]}" || exit 1

rm -rf "$work"
echo "$stamp" >"$dir/ready"
