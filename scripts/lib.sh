# Shared helpers of the project scripts (sourced, not run).

# Runs the command (in this shell) until it succeeds, every 0.1 s, for at most CAP seconds;
# false after that.
eventually() {
  local cap="$1" end
  shift
  end=$((SECONDS + cap))
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}

# Starts a private Xvfb on a free display and exports DISPLAY; stop it with stop_xvfb.
start_xvfb() {
  local size="${1:-1920x1080x24}"
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp -noreset 3>"$fdfile" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
}

stop_xvfb() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}

# A private Wine prefix inside the build tree, without the Mono and Gecko prompts.
prepare_wine() {
  export WINEPREFIX="${WINEPREFIX:-$PWD/build/wine-prefix}"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
  fi
  # The settings window asks for "ＭＳ Ｐゴシック"; Wine draws it with the IPA font that
  # scripts/setup installs, and message boxes use it too (Wine's own Tahoma has no Japanese).
  # The keys are written once; the registry files show them once Wine has stopped.
  if ! grep -q '"MessageFont"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    LC_ALL=C.UTF-8 wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /t REG_SZ \
      /d IPAPGothic /f >/dev/null 2>&1 || true
    # A LOGFONTW: 9 points at 96 DPI, Shift-JIS, the face above.
    local message_font
    message_font=$(python3 -c "import struct; print((struct.pack('<5i8B', -12, 0, 0, 0, 400, 0, 0, 0, 128, 0, 0, 0, 0)
      + 'ＭＳ Ｐゴシック'.encode('utf-16-le').ljust(64, b'\\0')).hex())")
    wine reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v MessageFont /t REG_BINARY /d "$message_font" \
      /f >/dev/null 2>&1 || true
    wineserver -w || true
  fi
}
