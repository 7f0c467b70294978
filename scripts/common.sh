# Shared by scripts/run and scripts/test: install what the build needs, configure and build.
# Sourced, not run.

VELMORA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VELMORA_BUILD_DIR=${VELMORA_BUILD_DIR:-$VELMORA_ROOT/build}
export VELMORA_BUILD_DIR

# Debian packages of the build, the tests and the local servers.
VELMORA_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  unixodbc unixodbc-dev odbc-mariadb tdsodbc libmariadb-dev
  libpcre2-dev
  mariadb-server mariadb-client
  libgtest-dev libgmock-dev libbenchmark-dev time
  xvfb xauth
  python3-sqlglot
  nlohmann-json3-dev
)

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the missing packages only: a machine that has them all does not touch apt.
install_packages() {
  local wanted=("${VELMORA_PACKAGES[@]}" "$@") missing=()
  command -v node >/dev/null 2>&1 || wanted+=(nodejs)
  command -v npm >/dev/null 2>&1 || wanted+=(npm)
  for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    # Another install may hold the package manager's lock (a fresh machine's boot-time updates, a
    # second script): wait for it instead of failing at once.
    as_root apt-get -o DPkg::Lock::Timeout=900 update -qq
    # Services must not start on their own: the scripts start the servers they need.
    local policy=/usr/sbin/policy-rc.d created_policy=0
    if [ ! -e "$policy" ] && [ "$(id -u)" = 0 ]; then
      printf '#!/bin/sh\nexit 101\n' >"$policy" && chmod +x "$policy" && created_policy=1
    fi
    as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
      --no-install-recommends \
      "${missing[@]}"
    if [ "$created_policy" = 1 ]; then rm -f "$policy"; fi
  fi
}

# Configures and builds the given targets (all of them without arguments: the tests and the
# benchmarks too).
build_project() {
  cmake -S "$VELMORA_ROOT" -B "$VELMORA_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    >/dev/null
  local targets=()
  if [ "$#" -gt 0 ]; then targets=(--target "$@"); fi
  cmake --build "$VELMORA_BUILD_DIR" --parallel "$(nproc)" "${targets[@]}"
}
