# Shared settings of the scripts; sourced, not run. Sourcing it again (once setup has made the
# locale) brings the locale in.
VELMORA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VELMORA_BUILD=${VELMORA_BUILD:-$VELMORA_ROOT/build}
export WINEPREFIX=${WINEPREFIX:-$VELMORA_BUILD/wineprefix}
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The Chinese locale gives Wine the ANSI code page 936 (setup generates it). It is set only once
# it exists: naming a missing one makes every shell print "setlocale: ... cannot change locale".
VELMORA_LOCALE=${VELMORA_LOCALE:-zh_CN.UTF-8}
velmora_locale_exists() { # "zh_CN.UTF-8" is listed as "zh_CN.utf8"
  locale -a 2>/dev/null | tr -d '-' | grep -qixF "$(printf '%s' "$1" | tr -d '-')"
}
if velmora_locale_exists "$VELMORA_LOCALE"; then
  export LC_ALL=$VELMORA_LOCALE LANG=$VELMORA_LOCALE
fi
