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
  # The loader and C library of 32-bit programs, which 32-bit Wine runs on.
  "libc6-i386:/lib/ld-linux.so.2"
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

# step_report DIR NAME OK|FAIL|SKIP [MESSAGE]: a scripted step as a one-case
# JUnit-style report in DIR, counted by the summary like any test, under the
# folder's name ("steps", "e2e"); a skipped step carries its reason, which
# the summary prints.
step_report() {
  local dir=$1 name=$2 outcome=$3 message=${4:-} case
  # Quoted replacements: in bash 5.2 an unquoted & in one stands for the match.
  message=${message//&/"&amp;"}; message=${message//\"/"&quot;"}; message=${message//</"&lt;"}
  case="classname=\"$(basename "$dir")\" name=\"$name\""
  {
    echo '<?xml version="1.0"?><testsuite name="steps">'
    case $outcome in
      OK) echo "<testcase $case/>" ;;
      SKIP) echo "<testcase $case><skipped message=\"$message\"/></testcase>" ;;
      *) echo "<testcase $case><failure message=\"$message\"/></testcase>" ;;
    esac
    echo '</testsuite>'
  } >"$dir/$name.xml"
}

# bounded SECONDS COMMAND [ARGS...]: runs the command and stops it (TERM,
# then KILL ten seconds later) once it has run SECONDS; then says which
# command hung. Returns the command's status, 124 or 137 when stopped.
bounded() {
  local seconds=$1 outcome=0
  shift
  timeout -k 10 "$seconds" "$@" || outcome=$?
  if [ "$outcome" -eq 124 ] || [ "$outcome" -eq 137 ]; then
    say "hung: '$*' still ran after $seconds s and was stopped"
  fi
  return "$outcome"
}

# i386_missing: empty when this kernel runs 32-bit x86 programs (the 32-bit
# core's tests and 32-bit Wine need that), otherwise one line that says
# why not. Tries a static -m32 program, built once into the build folder.
i386_missing() {
  local probe=$LUME_BUILD/i386-probe outcome=0 output
  mkdir -p "$LUME_BUILD"
  if [ ! -x "$probe" ]; then
    printf 'int main(void) { return sizeof(void *) == 4 ? 0 : 3; }\n' |
      gcc -m32 -static -x c -o "$probe" - || { echo "gcc -m32 -static cannot build a probe"; return 0; }
  fi
  output=$("$probe" 2>&1) || outcome=$?
  if [ "$outcome" -ne 0 ]; then
    echo "this kernel runs no 32-bit x86 programs (a static -m32 program ended with status $outcome${output:+: ${output##*: }}); it needs IA-32 emulation (CONFIG_IA32_EMULATION, not switched off by ia32_emulation=0)"
  fi
}
