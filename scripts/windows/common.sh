# Shared by the Windows scripts: where the cross-built Qt lives and which version it is.
# Sourced, not run.
KVE_QT_VERSION=6.4.2
# The prefix is kept outside the clone, so a new clone or a CI run reuses it.
if [ -n "${KVE_WINDOWS_CACHE:-}" ]; then
  kve_windows_cache=$KVE_WINDOWS_CACHE
elif [ "$(id -u)" -eq 0 ]; then
  kve_windows_cache=/var/cache/kve-windows
else
  kve_windows_cache=${XDG_CACHE_HOME:-$HOME/.cache}/kve-windows
fi
kve_windows_prefix=$kve_windows_cache/qt-$KVE_QT_VERSION-mingw
# Written last by build-qt: a prefix without it is incomplete and is built again.
kve_windows_stamp=$kve_windows_prefix/.kve-complete
