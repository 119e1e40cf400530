# Shared by the scripts: installs what the build needs and prepares Wine
# prefixes. Source it; do not run it.

VANTREL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
VANTREL_PRESET="${VANTREL_PRESET:-mingw-release}"
# VANTREL_BUILD may point elsewhere, so that several builds can live side by side.
VANTREL_BUILD="${VANTREL_BUILD:-$VANTREL_ROOT/build/$VANTREL_PRESET}"

export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

log() { printf '\n== %s\n' "$*"; }

# Debian packages the build, the tests and the demo use.
VANTREL_PACKAGES=(
  cmake make g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64-x86-64
  wine wine64 libwine-dev googletest
  xvfb xauth x11-utils x11-xserver-utils xdotool imagemagick python3 python3-pil python3-numpy librsvg2-bin
)

install_packages() {
  local missing=()
  for pkg in "${VANTREL_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  if ((${#missing[@]})); then
    log "installing: ${missing[*]}"
    local sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# build_all [TARGET...]: configures, then builds everything, or only the
# targets named (and what they depend on).
build_all() {
  log "configure and build ($VANTREL_PRESET)"
  cmake --preset "$VANTREL_PRESET" -B "$VANTREL_BUILD" >/dev/null
  local targets=()
  for target in "$@"; do targets+=(--target "$target"); done
  cmake --build "$VANTREL_BUILD" -j2 "${targets[@]}"
}

# make_prefix DIR [null|x11]: a private Wine prefix; "null" runs windows
# without any display, "x11" draws on $DISPLAY.
make_prefix() {
  local prefix="$1" driver="${2:-null}"
  export WINEPREFIX="$prefix"
  if [[ ! -f "$prefix/system.reg" ]]; then
    log "creating Wine prefix $prefix"
    mkdir -p "$prefix"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  if [[ "$driver" == null ]]; then
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  else
    wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true
  fi
  # Not "wineserver -w": a persistent server left from an earlier run would
  # make that wait for ever. Ending it also writes the registry out.
  wineserver -k 2>/dev/null || true
}

# Wine's service processes inherit the output of the first Wine program of a
# prefix; start them here, with their output elsewhere, so that ctest's pipes
# close when the tests end.
start_wine_services() {
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

stop_wine() {
  wineserver -k 2>/dev/null || true
}
