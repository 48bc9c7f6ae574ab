# Scenarios: shell-level test steps, each reported as one JUnit-style case.
# Source after common.sh.
#   scenarios_begin REPORTS LOGS   where reports and logs go; resets the count
#   scenario NAME COMMAND...       runs COMMAND (usually a function), reports it
#   scenario_failures              how many scenarios failed so far
#
# A scenario fails when ANY command in it fails, not only its last one. That
# needs care: bash turns errexit off for everything a function runs when the
# function is called as a condition (if, while, !, ||, &&), even where the
# function itself says `set -e`. So the scenario runs in a subshell that sets
# errexit and is itself called as a plain command, with errexit lifted
# around it in the caller only. A caller that wraps `scenario` in a
# condition would silently bring the old hole back: the subshell checks that
# errexit really stops it and reports the scenario FAIL when it does not.

scenarios_begin() {
  scenario_reports=$1
  scenario_logs=$2
  scenario_failures=0
  mkdir -p "$scenario_reports" "$scenario_logs"
}

scenario() {
  local name=$1; shift
  local log=$scenario_logs/$name.log
  local outcome=0 caller_errexit=${-//[^e]/}
  set +e
  (
    set -e -o pipefail
    shopt -s inherit_errexit
    # Called under a condition, errexit stays off whatever this says: a
    # subshell that should stop at `false` goes on. Refuse rather than hide.
    local probe
    set +e
    probe=$(set -e; false; echo "went on")
    set -e
    if [ -n "$probe" ]; then
      echo "scenario: called under a condition (if, ||, &&), where a failing command would not stop it"
      exit 1
    fi
    "$@"
  ) >"$log" 2>&1
  outcome=$?
  if [ -n "$caller_errexit" ]; then set -e; fi
  if [ "$outcome" -eq 0 ]; then
    step_report "$scenario_reports" "$name" OK
  else
    tail -40 "$log" >&2
    step_report "$scenario_reports" "$name" FAIL "exit status $outcome; see $log"
    scenario_failures=$((scenario_failures + 1))
  fi
}
