# Shared by the scripts: paths, messages, and the packages the builds need.
# Any failing command ends a script, also inside $(...).
set -euo pipefail
shopt -s inherit_errexit

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
  "libssl-dev:/usr/include/openssl/evp.h"
  "python3:/usr/bin/python3"
  "qemu-user:/usr/bin/qemu-i386"
)

# Installs whatever of LUME_PACKAGES (and any extra "package:file" pairs
# given) is missing, then what only the compilers can tell, whatever their
# version: g++-multilib, and libFuzzer's runtime for the clang on PATH.
ensure_packages() {
  local missing=() entry
  for entry in "${LUME_PACKAGES[@]}" "$@"; do
    [ -e "${entry#*:}" ] || missing+=("${entry%%:*}")
  done
  # Without g++-multilib, g++ -m32 still finds the 64-bit libstdc++ but no
  # 32-bit C library.
  compiler_finds libc.a g++ -m32 || missing+=(g++-multilib)
  install_packages "${missing[@]}"
  if ! compiler_finds libclang_rt.fuzzer-x86_64.a clang++; then
    install_packages "libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev"
  fi
}

# compiler_finds FILE COMPILER [FLAGS...]: whether the compiler finds FILE
# among its own libraries (it echoes a bare name back when it does not).
compiler_finds() {
  local file=$1 found; shift
  command -v "$1" >/dev/null || return 1
  found=$("$@" -print-file-name="$file") || return 1
  [ "$found" != "$file" ] && [ -e "$found" ]
}

# install_packages PACKAGE...: apt-get, as root or through sudo.
install_packages() {
  [ $# -gt 0 ] || return 0
  say "installing $*"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
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
