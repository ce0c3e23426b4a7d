# Sourced by the tools whose tests need an X display: starts a private Xvfb
# (1280 x 1024, 24 bits) on the first free display from :90, exports DISPLAY,
# and stops the server when the sourcing script exits. No desktop is needed.
for n in $(seq 90 130); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY=$display
unset WAYLAND_DISPLAY
