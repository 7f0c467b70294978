# Shared by scripts/run and scripts/test: install what the build needs, configure and build.
# Sourced, not run.

VELMORA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VELMORA_BUILD_DIR=${VELMORA_BUILD_DIR:-$VELMORA_ROOT/build}
export VELMORA_BUILD_DIR
# Where the steps' own output goes (the package manager's, the compiler's, the servers').
VELMORA_LOG_DIR=${VELMORA_LOG_DIR:-$VELMORA_BUILD_DIR/logs}

# Runs one step with its output in $VELMORA_LOG_DIR/NAME.log and prints one line for it: what it
# does and how long it took, or that it failed, with the log's name and its last lines.
#   step NAME "what it does" COMMAND [ARGUMENTS...]
step() {
  local name=$1 what=$2 started=$SECONDS status=0
  shift 2
  mkdir -p "$VELMORA_LOG_DIR"
  local log="$VELMORA_LOG_DIR/$name.log"
  printf '%s ... ' "$what"
  "$@" >"$log" 2>&1 </dev/null || status=$?
  if [ "$status" = 0 ]; then
    echo "done ($((SECONDS - started)) s)"
    return 0
  fi
  echo "FAILED (exit $status)"
  echo "--- the last lines of $log:" >&2
  tail -n 25 "$log" >&2
  echo "--- the whole output of the step: $log" >&2
  return "$status"
}

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
  chromium
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
    step packages "setup: installing ${#missing[@]} packages (${missing[*]})" apt_install "${missing[@]}"
  fi
}

# apt-get update and install of the packages named. Run under `step`, where `set -e` does not
# hold: each command that fails ends it.
apt_install() {
  # Another install may hold the package manager's lock (a fresh machine's boot-time updates, a
  # second script): wait for it instead of failing at once.
  as_root apt-get -o DPkg::Lock::Timeout=900 update -qq || return
  # Services must not start on their own: the scripts start the servers they need.
  local policy=/usr/sbin/policy-rc.d created_policy=0 status=0
  if [ ! -e "$policy" ] && [ "$(id -u)" = 0 ]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy" && chmod +x "$policy" && created_policy=1
  fi
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
    --no-install-recommends "$@" || status=$?
  if [ "$created_policy" = 1 ]; then rm -f "$policy"; fi
  return "$status"
}

# Configures and builds the given targets (all of them without arguments: the tests and the
# benchmarks too).
build_project() {
  step configure "build: configuring" cmake -S "$VELMORA_ROOT" -B "$VELMORA_BUILD_DIR" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
  local targets=()
  if [ "$#" -gt 0 ]; then targets=(--target "$@"); fi
  step build "build: compiling ${*:-everything}" \
    cmake --build "$VELMORA_BUILD_DIR" --parallel "$(nproc)" "${targets[@]}"
}
