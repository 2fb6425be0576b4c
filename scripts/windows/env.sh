# Sourced by the Windows scripts: the Wine prefix and what a Windows program built here
# needs to find at run time (Qt's and the compiler's DLLs, Qt's plugins).
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
export WINEPREFIX=${WINEPREFIX:-$kve_windows_cache/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
kve_wine=/usr/lib/wine/wine64
kve_winpath() { # a Linux folder as Wine sees it
  printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"
}
kve_runtime_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
kve_pthread_dir=$(dirname "$(readlink -f "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)")")
export WINEPATH="$(kve_winpath "$kve_windows_prefix/bin");$(kve_winpath "$kve_runtime_dir");$(kve_winpath "$kve_pthread_dir")"
export QT_PLUGIN_PATH="$(kve_winpath "$kve_windows_prefix/plugins")"
# Makes the prefix once; later runs reuse it.
kve_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    DISPLAY= "$kve_wine" wineboot -i >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w
  fi
}
