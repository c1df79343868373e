# Sourced by the scripts that run the reader without a display: starts Xvfb on a display number that Xvfb
# itself finds free, and makes a throw-away home in $scratch (so a run leaves the user's settings alone).
# start_reader runs the reader there. When the script ends, the reader with every helper process it started
# and Xvfb are stopped and waited for, and the home is removed.
scratch=$(mktemp -d)
mkdir -p "$scratch/config"
mkdir -m 700 "$scratch/run" # the reader's socket: a reader the user runs elsewhere is not this one
app=
xvfb=

# Waits up to ten seconds for a process group to end; false when some of it is left.
group_ended() {
  for _ in $(seq 100); do
    kill -0 -- "-$1" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}

cleanup() {
  if [ -n "$app" ]; then
    # The reader's group holds its helpers too; a group that outlives the polite signal is killed.
    kill -TERM -- "-$app" 2>/dev/null || true
    group_ended "$app" || { kill -KILL -- "-$app" 2>/dev/null; group_ended "$app"; } ||
      echo "processes of the reader outlived it" >&2
    wait "$app" 2>/dev/null || true
  fi
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# wait_until PID LOG WHAT COMMAND...: runs COMMAND until it succeeds, for up to a minute; ends the script,
# showing LOG, when the process PID ends first or the minute passes.
wait_until() {
  local pid=$1 log=$2 what=$3
  shift 3
  for _ in $(seq 600); do
    "$@" && return 0
    kill -0 "$pid" 2>/dev/null || { cat "$log" >&2; echo "$what ended early" >&2; exit 1; }
    sleep 0.1
  done
  "$@" || { cat "$log" >&2; echo "$what: no sign after a minute" >&2; exit 1; }
}

# Xvfb writes the display number it took to the descriptor once it accepts connections.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$scratch/display" >"$scratch/xvfb.log" 2>&1 &
xvfb=$!
wait_until "$xvfb" "$scratch/xvfb.log" Xvfb grep -q '^[0-9][0-9]*$' "$scratch/display"
export DISPLAY=":$(cat "$scratch/display")"

# start_reader [NAME=VALUE...] PROGRAM [ARGUMENTS...]: the reader in the throw-away home, in a session of its
# own that its helper processes share; its output in $scratch/reader.log, its process id in $app.
start_reader() {
  setsid env HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" XDG_RUNTIME_DIR="$scratch/run" \
    QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" \
    "$@" >"$scratch/reader.log" 2>&1 &
  app=$!
}
