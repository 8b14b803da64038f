#!/usr/bin/env bash
# Sets up everything the show needs, builds it, then plays it or runs the tests.
#
#   ./setup.sh run    install what is missing, build, bake the data, play the show
#   ./setup.sh test   install what is missing, build, bake the data, run every test
#   ./setup.sh build  install what is missing and build
#
# Missing Debian packages (tools/packages.txt) are installed with apt-get, through sudo
# when not run as root. BUILD_DIR (default: build) names the build directory.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${BUILD_DIR:-$here/build}"
action="${1:-build}"

case "$action" in
  run | test | build) ;;
  *)
    echo "usage: $0 run|test|build" >&2
    exit 2
    ;;
esac

install_packages() {
  local missing=()
  while read -r package; do
    package="${package%%#*}"
    package="${package//[[:space:]]/}"
    [ -z "$package" ] && continue
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done <"$here/tools/packages.txt"
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

install_packages

flags=()
[ -n "${CI:-}" ] && flags+=(-DVELLUMAR_WERROR=ON)
cmake -S "$here" -B "$build" "${flags[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
if cmake --build "$build" --target help | grep -q " bake$"; then
  cmake --build "$build" --target bake
fi

case "$action" in
  run)
    cd "$build/show"
    exec "$build/vellumar2"
    ;;
  test)
    cd "$build"
    exec ctest --output-on-failure -j "$(nproc)"
    ;;
esac
