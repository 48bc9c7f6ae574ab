# Shared by the scripts: paths, messages, and the packages the builds need.
set -euo pipefail

LUME_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
LUME_BUILD=${LUME_BUILD:-$LUME_ROOT/build}
LUME_JOBS=${LUME_JOBS:-$(nproc)}

say() { printf '== %s\n' "$*" >&2; }
die() { printf 'error: %s\n' "$*" >&2; exit 1; }

# Debian packages, each with a file that shows it is installed.
LUME_PACKAGES=(
  "cmake:/usr/bin/cmake"
  "ninja-build:/usr/bin/ninja"
  "g++:/usr/bin/g++"
  "clang:/usr/bin/clang++"
  "libclang-rt-14-dev:/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a"
  "googletest:/usr/src/googletest/CMakeLists.txt"
  "g++-mingw-w64-i686:/usr/bin/i686-w64-mingw32-g++-posix"
  "g++-mingw-w64-x86-64:/usr/bin/x86_64-w64-mingw32-g++-posix"
  "wine:/usr/bin/wine"
  "wine64:/usr/lib/wine/wine64"
  "xvfb:/usr/bin/Xvfb"
  "xauth:/usr/bin/xauth"
  "imagemagick:/usr/bin/import"
  "libcli11-dev:/usr/include/CLI/CLI.hpp"
  "libtomlplusplus-dev:/usr/include/toml++/toml.h"
  "libfmt-dev:/usr/include/fmt/format.h"
  "python3:/usr/bin/python3"
)

# Installs whatever of LUME_PACKAGES (and any extra "package:file" pairs
# given) is missing. Needs root or sudo only when something is missing.
ensure_packages() {
  local missing=() entry
  for entry in "${LUME_PACKAGES[@]}" "$@"; do
    [ -e "${entry#*:}" ] || missing+=("${entry%%:*}")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "installing ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
    "${missing[@]}" >/dev/null
}

# step_report DIR NAME OK|FAIL [MESSAGE]: a scripted step as a one-case
# JUnit-style report in DIR, counted by the summary like any test.
step_report() {
  local dir=$1 name=$2 outcome=$3 message=${4:-}
  message=${message//&/&amp;}; message=${message//\"/&quot;}; message=${message//</&lt;}
  {
    echo '<?xml version="1.0"?><testsuite name="steps">'
    if [ "$outcome" = OK ]; then
      echo "<testcase classname=\"steps\" name=\"$name\"/>"
    else
      echo "<testcase classname=\"steps\" name=\"$name\"><failure message=\"$message\"/></testcase>"
    fi
    echo '</testsuite>'
  } >"$dir/$name.xml"
}
