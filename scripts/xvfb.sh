# Sourced by the scripts that run the reader without a display: starts Xvfb on a free display number,
# makes a throw-away home in $scratch (so a run leaves the user's settings alone) and removes both, and
# the reader started as $app, when the script ends.
display=":$((90 + RANDOM % 100))"
scratch=$(mktemp -d)
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.2; done
mkdir -p "$scratch/config"
