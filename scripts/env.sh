# Shared settings of the scripts; sourced, not run.
VELMORA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VELMORA_BUILD=${VELMORA_BUILD:-$VELMORA_ROOT/build}
export WINEPREFIX=${WINEPREFIX:-$VELMORA_BUILD/wineprefix}
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The Chinese locale gives Wine the ANSI code page 936 (setup generates it).
if locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
fi
