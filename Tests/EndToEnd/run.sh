#!/usr/bin/env bash
# The program tried for real: Lumora4 runs under a virtual X server (1920 x 1080) with a window
# manager (openbox), driven by key presses through xdotool, on projects written by the fixture tool.
# The run is a journey of steps, each a function that returns 0 when it passes; a program one step
# starts may be used and closed by the next. Screenshots stay in <build>/Tests/EndToEnd/screenshots
# for a person to look at. Only the processes started here are stopped, by their ids. The last line
# is "N passed, N failed"; the exit status is non-zero when a step failed.
#
# Usage: Tests/EndToEnd/run.sh [BUILD_DIR]      (default: $LUMORA_BUILD_DIR, else ./build)
# Needs: Xvfb, openbox, xdotool, xprop (scripts/setup.sh installs them) and a build with the program and the
# helpers (MakeFixtureProject, ScreenCheck).
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "${1:-${LUMORA_BUILD_DIR:-$root/build}}" && pwd)"
program="$build/Modules/UI/Lumora4"
make_fixture="$build/Tests/EndToEnd/MakeFixtureProject"
screen_check="$build/Tests/EndToEnd/ScreenCheck"
journey_check="$build/Tests/EndToEnd/JourneyCheck"
shots="$build/Tests/EndToEnd/screenshots"

readonly app_name="Halvern Lumora 4"
readonly screen_width=1920 screen_height=1080
# Seconds: for a window to show, for a program to end, for the keyed render to appear.
readonly window_timeout=30 exit_timeout=30 render_timeout=30

passed=0
failed=0
started=()       # every process started here, in order
program_pid=""   # the program of the current step, while it runs
program_status="" # its exit status once it ended
program_log=""    # its standard output and error
widget_map=""     # the map of its widgets it keeps written (class, text, place of each)
starts=0

sandbox="$(mktemp -d "${TMPDIR:-/tmp}/lumora-e2e-XXXXXX")"
projects="$sandbox/projects"

say() { printf '%s\n' "$*"; }
fail() { say "  $*" >&2; return 1; }

# ---- Processes

stop_process() {
  local pid=$1
  kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null; return 0; }
  kill -TERM "$pid" 2>/dev/null
  local deadline=$((SECONDS + 10))
  while kill -0 "$pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 0
}

cleanup() {
  local i
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do stop_process "${started[i]}"; done
  started=()
  [ -d "$sandbox" ] && rm -rf "$sandbox"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A sandboxed session: nothing of the user's settings, caches or desktop bus is seen or changed.
isolate_session() {
  mkdir -p "$sandbox"/{home,config,cache,data,runtime,tmp} "$projects"
  chmod 700 "$sandbox/runtime"
  export HOME="$sandbox/home" XDG_CONFIG_HOME="$sandbox/config" XDG_CACHE_HOME="$sandbox/cache"
  export XDG_DATA_HOME="$sandbox/data" XDG_RUNTIME_DIR="$sandbox/runtime" TMPDIR="$sandbox/tmp"
  export QT_QPA_PLATFORM=xcb
  unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER XDG_SESSION_TYPE
  # A sanitized build reports a small leak inside libdbus under X that is not the program's.
  printf 'leak:libdbus-1.so\n' >"$sandbox/lsan.supp"
  export LSAN_OPTIONS="suppressions=$sandbox/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
}

# Xvfb picks a free display number itself and writes it once it accepts connections.
start_display() {
  local number_file="$sandbox/display" fd deadline
  exec {fd}>"$number_file"
  Xvfb -displayfd "$fd" -screen 0 "${screen_width}x${screen_height}x24" -nolisten tcp -noreset \
    >"$sandbox/xvfb.log" 2>&1 &
  started+=($!)
  exec {fd}>&-
  deadline=$((SECONDS + 20))
  until [ -s "$number_file" ]; do
    ((SECONDS < deadline)) || { cat "$sandbox/xvfb.log" >&2; fail "Xvfb did not start"; return 1; }
    sleep 0.1
  done
  DISPLAY=":$(tr -d '[:space:]' <"$number_file")"
  export DISPLAY
}

# openbox runs its start-up command once it manages the screen.
start_window_manager() {
  local ready="$sandbox/wm-ready" deadline
  openbox --sm-disable --startup "touch $ready" >"$sandbox/openbox.log" 2>&1 &
  started+=($!)
  deadline=$((SECONDS + 20))
  until [ -e "$ready" ]; do
    ((SECONDS < deadline)) || { cat "$sandbox/openbox.log" >&2; fail "openbox did not start"; return 1; }
    sleep 0.1
  done
}

# start_program FOLDER [ARGUMENT...]: starts Lumora4 in FOLDER (its working folder) with the arguments.
# Its start-up milestones go to its log (see wait_for_first_render).
start_program() {
  local folder=$1
  shift
  [ -z "$program_pid" ] || stop_program
  starts=$((starts + 1))
  program_log="$sandbox/program-$starts.log"
  widget_map="$sandbox/widgets-$starts.json"
  (cd "$folder" && LUMORA_STARTUP_TRACE=1 LUMORA_WIDGET_MAP="$widget_map" exec "$program" "$@") >"$program_log" 2>&1 &
  program_pid=$!
  program_status=""
  started+=("$program_pid")
}

stop_program() {
  [ -n "$program_pid" ] && stop_process "$program_pid"
  program_pid=""
}

# Waits for the program to end by itself and keeps its exit status.
wait_for_program_exit() {
  local deadline=$((SECONDS + exit_timeout))
  [ -n "$program_pid" ] || { fail "no program is running"; return 1; }
  while kill -0 "$program_pid" 2>/dev/null; do
    ((SECONDS < deadline)) || { fail "the program did not end within ${exit_timeout} s"; return 1; }
    sleep 0.1
  done
  wait "$program_pid"
  program_status=$?
  program_pid=""
}

# Waits until the program has painted its first rendered canvas.
wait_for_first_render() {
  local deadline=$((SECONDS + render_timeout))
  until grep -q '^lumora-startup canvas-rendered' "$program_log" 2>/dev/null; do
    kill -0 "$program_pid" 2>/dev/null || { fail "the program ended before it rendered the canvas"; return 1; }
    ((SECONDS < deadline)) || { fail "no canvas rendered within ${render_timeout} s"; return 1; }
    sleep 0.1
  done
}

# ---- Windows, keys and the screen

# wait_for_window PATTERN: prints the id of the first visible window whose title matches the
# extended regular expression, once it is there.
wait_for_window() {
  local pattern=$1 deadline=$((SECONDS + window_timeout)) id
  while ((SECONDS < deadline)); do
    id="$(timeout "$((deadline - SECONDS + 1))" xdotool search --sync --onlyvisible --name "$pattern" 2>/dev/null | head -n1)"
    [ -n "$id" ] && { printf '%s\n' "$id"; return 0; }
    # xdotool gives up when a window it looks at goes away meanwhile (the splash screen): look again,
    # unless the program has gone.
    if [ -n "$program_pid" ] && ! kill -0 "$program_pid" 2>/dev/null; then
      fail "the program ended before a window titled /$pattern/ showed"
      return 1
    fi
    sleep 0.1
  done
  fail "no window titled /$pattern/ within ${window_timeout} s"
}

# press_keys WINDOW KEY...: activates the window, then types the keys (xdotool's key names).
press_keys() {
  local window=$1
  shift
  timeout 10 xdotool windowactivate --sync "$window" 2>/dev/null || fail "window $window could not be activated" || return 1
  xdotool key --clearmodifiers "$@"
}

# window_geometry WINDOW: prints "X Y WIDTH HEIGHT".
window_geometry() {
  xdotool getwindowgeometry --shell "$1" |
    awk -F= '{ value[$1] = $2 } END { print value["X"], value["Y"], value["WIDTH"], value["HEIGHT"] }'
}

screenshot() {
  "$screen_check" grab "$shots/$1.png" 2>/dev/null || fail "no screenshot $1"
}

# expect_keyed_render WINDOW NAME: the window shows the fixture's photograph keyed over its sky.
expect_keyed_render() {
  local window=$1 name=$2 geometry
  geometry="$(window_geometry "$window")" || return 1
  # shellcheck disable=SC2086 # the four numbers are separate arguments
  "$screen_check" keyed-canvas "$shots/$name.png" $geometry "$render_timeout" 2>/dev/null ||
    fail "no keyed render in the window (see $shots/$name.png)"
}

# wait_for_text TEXT: waits until a visible widget of the program shows the text (its widget map).
wait_for_text() {
  local text=$1 deadline=$((SECONDS + window_timeout))
  until [ -f "$widget_map" ] && grep -qF -- "$text" "$widget_map"; do
    ((SECONDS < deadline)) || { fail "no widget shows '$text' within ${window_timeout} s"; return 1; }
    sleep 0.1
  done
}

# ---- Widgets of the program (its widget map, read with jq)

# widget_rect FILTER: prints "X Y WIDTH HEIGHT" of the first visible widget the jq filter selects
# (applied to each widget of every window), or fails.
widget_rect() {
  [ -f "$widget_map" ] || return 1
  jq -er "first(.windows[].widgets[] | $1) | .rect | map(tostring) | join(\" \")" "$widget_map" 2>/dev/null
}

# widget_value FILTER: prints the text or value of the first widget the filter selects.
widget_value() {
  [ -f "$widget_map" ] || return 1
  jq -er "first(.windows[].widgets[] | $1) | .value | tostring" "$widget_map" 2>/dev/null
}

# wait_for_widget FILTER [WHAT]: waits until a widget the filter selects is shown; prints its rectangle.
wait_for_widget() {
  local filter=$1 what=${2:-$1} deadline=$((SECONDS + window_timeout)) rect
  until rect="$(widget_rect "$filter")"; do
    ((SECONDS < deadline)) || { fail "no widget $what within ${window_timeout} s"; return 1; }
    sleep 0.1
  done
  printf '%s\n' "$rect"
}

# in_box TITLE: a jq condition: the widget is inside a box (or dock) of that title.
in_box() { printf '((.boxes // []) | index("%s") != null)' "$1"; }
# shows TEXT: a jq condition: the widget shows that text.
shows() { printf '(.value == "%s")' "$1"; }

# click_at X Y: a left click at a point of the screen.
click_at() {
  xdotool mousemove --sync "$1" "$2" click 1
}

# click_widget FILTER [WHAT]: waits for the widget, then clicks its middle.
click_widget() {
  local rect
  rect="$(wait_for_widget "$@")" || return 1
  read -r -a rect <<<"$rect"
  click_at $((rect[0] + rect[2] / 2)) $((rect[1] + rect[3] / 2))
}

# click_section NAME: the toolset's button of a section of the toolbox (Canvas, Masks, Text...).
click_section() {
  click_widget "select(.class == \"lumo::ui::ToolsetButton\" and $(shows "$1"))" "toolset button $1"
}

# canvas_rect: the canvas's rectangle on the screen.
canvas_rect() {
  jq -er '.canvas | map(tostring) | join(" ")' "$widget_map" 2>/dev/null
}

# type_file_name DIALOG NAME: types a name into Qt's own file dialog, whose name box has the focus,
# and accepts it.
type_file_name() {
  press_keys "$1" ctrl+a || return 1
  xdotool type --delay 5 "$2" && xdotool key Return
}

# answer_finished_exporting [SCREENSHOT]: waits for the message after an export, takes the
# screenshot while it shows, and closes it.
answer_finished_exporting() {
  local message
  wait_for_text "Finished exporting." || return 1
  message="$(wait_for_window "^$app_name\$")" || return 1
  [ -z "${1:-}" ] || screenshot "$1" || return 1
  press_keys "$message" Return || return 1
  wait_for_no_window "^$app_name\$" || return 1
  # The map catches up too, or the next export's wait would read this message.
  wait_for_no_text "Finished exporting."
}

# wait_for_no_text TEXT: waits until no visible widget shows the text.
wait_for_no_text() {
  local deadline=$((SECONDS + window_timeout))
  while grep -qF -- "$1" "$widget_map" 2>/dev/null; do
    ((SECONDS < deadline)) || { fail "'$1' stayed shown"; return 1; }
    sleep 0.1
  done
}

# wait_for_no_window PATTERN: waits until no visible window has a matching title.
wait_for_no_window() {
  local deadline=$((SECONDS + window_timeout))
  while [ -n "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ]; do
    ((SECONDS < deadline)) || { fail "a window titled /$1/ stayed"; return 1; }
    sleep 0.1
  done
}

# ---- Settings

# setting GROUP KEY: the value in the program's settings file, or nothing.
setting() {
  local file="$XDG_CONFIG_HOME/Halvern/Lumora4.conf"
  [ -f "$file" ] || return 0
  awk -v group="[$1]" -v key="$2" '
    /^\[/ { inside = ($0 == group); next }
    inside && index($0, key "=") == 1 { print substr($0, length(key) + 2); exit }' "$file"
}

expect_setting() {
  local value
  value="$(setting "$1" "$2")"
  [ "$value" = "$3" ] || fail "setting $1/$2 is '$value', expected '$3'"
}

expect_setting_present() {
  [ -n "$(setting "$1" "$2")" ] || fail "setting $1/$2 was not written"
}

# ---- The journey

step_opens_the_project_and_shows_the_keyed_render() {
  start_program "$sandbox" "$projects/portrait.lumo4"
  local window geometry
  window="$(wait_for_window "^portrait - $app_name\$")" || return 1
  read -r -a geometry <<<"$(window_geometry "$window")"
  # The first start without settings opens the window maximised.
  ((geometry[2] == screen_width)) || fail "window is ${geometry[2]} wide, not maximised" || return 1
  expect_keyed_render "$window" 01-keyed-render
}

step_a_key_press_closes_the_window_and_settings_are_saved() {
  local window
  window="$(wait_for_window "^portrait - $app_name\$")" || return 1
  press_keys "$window" alt+F4 || return 1
  wait_for_program_exit || return 1
  ((program_status == 0)) || fail "exit status $program_status" || return 1
  expect_setting_present MainWindow Geometry &&
    expect_setting_present MainWindow State &&
    expect_setting MainWindow ToolsetPosition 1 &&
    expect_setting MainWindow ToolsetState 0 &&
    expect_setting_present Export Format &&
    expect_setting_present Export Quality &&
    # The fixture's canvas is sized by hand: no page preset to offer the next new project.
    expect_setting Canvas DPI ""
}

step_without_a_project_it_starts_untitled() {
  start_program "$sandbox"
  local window
  window="$(wait_for_window "^Untitled Project - $app_name\$")" || return 1
  wait_for_first_render || return 1
  screenshot 02-untitled-project || return 1
  press_keys "$window" alt+F4 || return 1
  wait_for_program_exit || return 1
  ((program_status == 0)) || fail "exit status $program_status"
}

step_a_damaged_project_warns_and_leaves_an_untitled_project() {
  start_program "$sandbox" "$projects/damaged.lumo4"
  local warning window
  warning="$(wait_for_window "^$app_name\$")" || return 1
  screenshot 03-damaged-project-warning || return 1
  press_keys "$warning" Return || return 1
  window="$(wait_for_window "^Untitled Project - $app_name\$")" || return 1
  # The warning came once.
  [ -z "$(xdotool search --onlyvisible --name "^$app_name\$" 2>/dev/null)" ] || fail "a second warning showed" || return 1
  wait_for_first_render || return 1
  screenshot 04-after-the-warning || return 1
  press_keys "$window" alt+F4 || return 1
  wait_for_program_exit || return 1
  ((program_status == 0)) || fail "exit status $program_status"
}

step_a_relative_path_on_the_command_line_opens() {
  start_program "$projects" portrait.lumo4
  local window
  window="$(wait_for_window "^portrait - $app_name\$")" || return 1
  expect_keyed_render "$window" 05-relative-path || return 1
  press_keys "$window" alt+F4 || return 1
  wait_for_program_exit || return 1
  ((program_status == 0)) || fail "exit status $program_status"
}

step_the_sample_project_beside_the_program_opens() {
  local samples="$build/Modules/UI/Sample Images"
  [ -f "$samples/Sample Project.lumo4" ] || fail "no sample project beside the program" || return 1
  start_program "$sandbox" "$samples/Sample Project.lumo4"
  local window
  window="$(wait_for_window "^Sample Project - $app_name\$")" || return 1
  wait_for_first_render || return 1
  # The photograph is found where the project says: no offline image, no question.
  ! grep -qi "offline\|cannot" "$program_log" || fail "the sample project reported a missing image" || return 1
  screenshot 06-sample-project || return 1
  press_keys "$window" alt+F4 || return 1
  wait_for_program_exit || return 1
  ((program_status == 0)) || fail "exit status $program_status"
}

step_ctrl_e_exports_the_keyed_picture() {
  local exports="$sandbox/exports" window dialog
  mkdir -p "$exports"
  start_program "$sandbox" "$projects/portrait.lumo4"
  window="$(wait_for_window "^portrait - $app_name\$")" || return 1
  wait_for_first_render || return 1
  press_keys "$window" ctrl+e || return 1
  dialog="$(wait_for_window "^Save As\$")" || return 1
  screenshot 07-export-dialog || return 1
  type_file_name "$dialog" "$exports/portrait.png" || return 1
  answer_finished_exporting 08-finished-exporting || return 1
  "$screen_check" keyed-file "$exports/portrait.png" "$projects/portrait.png" 11811 ||
    fail "the exported picture is not the keyed composite" || return 1
  press_keys "$window" alt+F4 || return 1
  wait_for_program_exit || return 1
  ((program_status == 0)) || fail "exit status $program_status"
}

# ---- The program's colours, and the files a project is built from

# expect_dark NAME X Y WIDTH HEIGHT: saves a screenshot and checks that the rectangle is drawn in the
# program's dark colours.
expect_dark() {
  local name=$1
  shift
  "$screen_check" dark "$shots/$name.png" "$@" >/dev/null || fail "$name is not in the program's colours (see $shots/$name.png)"
}

# expect_dark_window WINDOW NAME: the same for a whole window.
expect_dark_window() {
  local geometry
  geometry="$(window_geometry "$1")" || return 1
  # shellcheck disable=SC2086 # the four numbers are separate arguments
  expect_dark "$2" $geometry
}

# wait_for_another_window PATTERN ID: prints the id of a visible window with a matching title other
# than ID (a question over a dialog of the same title).
wait_for_another_window() {
  local deadline=$((SECONDS + window_timeout)) id
  while ((SECONDS < deadline)); do
    id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | grep -vx "$2" | head -n1)"
    [ -n "$id" ] && { printf '%s\n' "$id"; return 0; }
    sleep 0.1
  done
  fail "no second window titled /$1/ within ${window_timeout} s"
}

step_menus_and_file_dialogs_are_in_the_programs_colours() {
  local window menubar menu dialog
  start_program "$sandbox" "$projects/portrait.lumo4"
  window="$(wait_for_window "^portrait - $app_name\$")" || return 1
  wait_for_first_render || return 1
  read -r -a menubar <<<"$(wait_for_widget 'select(.class == "QMenuBar")' "menu bar")" || return 1
  click_at $((menubar[0] + 20)) $((menubar[1] + menubar[3] / 2)) || return 1
  local deadline=$((SECONDS + window_timeout))
  until menu="$(jq -er 'first(.windows[] | select(.class == "QMenu")) | .rect | map(tostring) | join(" ")' "$widget_map" 2>/dev/null)"; do
    ((SECONDS < deadline)) || { fail "the File menu did not open"; return 1; }
    sleep 0.1
  done
  # shellcheck disable=SC2086 # the four numbers are separate arguments
  expect_dark 19-file-menu $menu || return 1
  # shellcheck disable=SC2086
  expect_dark 19-menu-bar ${menubar[*]} || return 1
  xdotool key Escape
  press_keys "$window" ctrl+o || return 1
  dialog="$(wait_for_window "^Open Project\$")" || return 1
  expect_dark_window "$dialog" 20-open-dialog || return 1
  press_keys "$dialog" Escape && wait_for_no_window "^Open Project\$" || return 1
  press_keys "$window" ctrl+shift+s || return 1
  dialog="$(wait_for_window "^Save Project\$")" || return 1
  expect_dark_window "$dialog" 21-save-dialog || return 1
  press_keys "$dialog" Escape && wait_for_no_window "^Save Project\$" || return 1
  press_keys "$window" alt+F4 || return 1
  wait_for_program_exit || return 1
  ((program_status == 0)) || fail "exit status $program_status"
}

# Export onto the project's own photograph: the file dialog's replace question answered Yes, the
# program still refuses, names the layer and offers the dialog again; the photograph is unchanged.
step_an_export_onto_the_projects_photograph_is_refused() {
  local window dialog question refusal before after
  before="$(sha256sum <"$projects/portrait.png")"
  start_program "$sandbox" "$projects/portrait.lumo4"
  window="$(wait_for_window "^portrait - $app_name\$")" || return 1
  wait_for_first_render || return 1
  click_section Export && choose_format PNG || return 1
  press_keys "$window" ctrl+e || return 1
  dialog="$(wait_for_window "^Save As\$")" || return 1
  expect_dark_window "$dialog" 22-export-dialog || return 1
  type_file_name "$dialog" "$projects/portrait.png" || return 1
  question="$(wait_for_another_window "^Save As\$" "$dialog")" || return 1
  expect_dark_window "$question" 23-replace-question || return 1
  press_keys "$question" alt+y || return 1
  wait_for_text "of the open project" || return 1
  refusal="$(wait_for_window "^$app_name\$")" || return 1
  grep -qF "the foreground photograph" "$widget_map" || fail "the refusal does not name the foreground" || return 1
  expect_dark_window "$refusal" 24-export-refused || return 1
  press_keys "$refusal" Return || return 1
  # The dialog again, to choose another name: cancelled here.
  dialog="$(wait_for_window "^Save As\$")" || return 1
  press_keys "$dialog" Escape && wait_for_no_window "^Save As\$" || return 1
  after="$(sha256sum <"$projects/portrait.png")"
  [ "$before" = "$after" ] || fail "the photograph was changed" || return 1
  ! grep -qF "Finished exporting." "$widget_map" || fail "an export was reported" || return 1
  press_keys "$window" alt+F4 || return 1
  wait_for_program_exit || return 1
  ((program_status == 0)) || fail "exit status $program_status"
}

# ---- The whole journey: one program from no project to a saved one, found again after a restart

journey="" # the journey's exports and project, kept beside the screenshots for a person to look at
samples="$build/Modules/UI/Sample Images"
truths="$build/SampleTruths"
journey_window=""
key_value="" # the main keyer's value after the drag

# import_into BOX NAME: clicks the box's Add, types the sample's name into the dialog it opens
# ("Import <box> image"), waits for the box to offer "Change".
import_into() {
  local box=$1 name=$2 dialog
  click_widget "select($(in_box "$box") and $(shows Add))" "Add in $box" || return 1
  dialog="$(wait_for_window "^Import ${box,,} image\$")" || return 1
  type_file_name "$dialog" "$name" || return 1
  wait_for_widget "select($(in_box "$box") and $(shows Change))" "Change in $box" >/dev/null
}

# choose_in_combo FILTER TEXT: opens the combo box by a click and picks the entry by typing its
# beginning (the list's keyboard search), then Return; waits until the box shows it.
choose_in_combo() {
  local filter=$1 text=$2
  [ "$(widget_value "$filter")" = "$text" ] && return 0
  click_widget "$filter" "combo box for $text" || return 1
  wait_for_popup || return 1
  xdotool type --delay 5 "$text" && xdotool key Return || return 1
  local deadline=$((SECONDS + window_timeout))
  until [ "$(widget_value "$filter")" = "$text" ]; do
    ((SECONDS < deadline)) || { fail "the combo box did not take '$text'"; return 1; }
    sleep 0.1
  done
}

# wait_for_popup: waits until a combo box's list shows (a window of its own in the map).
wait_for_popup() {
  local deadline=$((SECONDS + window_timeout))
  until jq -e '[.windows[] | select(.class == "QComboBoxPrivateContainer")] | length > 0' "$widget_map" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || { fail "no list opened"; return 1; }
    sleep 0.1
  done
}

choose_format() {
  choose_in_combo "select((.class | test(\"ComboBox\")) and (.value == \"JPG\" or .value == \"PNG\" or .value == \"TIFF\"))" "$1"
}

choose_preset() {
  choose_in_combo "select((.class | test(\"ComboBox\")) and (.value | type == \"string\") and (.value | test(\"inch|Custom|As foreground|As background\")))" "$1"
}

# The text box of the text page, showing the caption the journey types (the window's title holds
# the program's name, so a plain text wait would not do).
readonly caption='select(.class == "lumo::ui::TextEdit" and .value == "Lumora")'

type_caption() {
  click_widget 'select(.class == "lumo::ui::TextEdit")' "text box" || return 1
  xdotool key --clearmodifiers ctrl+a && xdotool type --delay 5 "Lumora"
}

step_journey_imports_photograph_background_and_overlay() {
  journey="$build/Tests/EndToEnd/journey"
  rm -rf "$journey"
  mkdir -p "$journey"
  start_program "$sandbox"
  journey_window="$(wait_for_window "^Untitled Project - $app_name\$")" || return 1
  wait_for_first_render || return 1
  press_keys "$journey_window" shift+a || return 1
  # The dialogs open in the sample folders beside the program: relative names are enough.
  import_into Foreground "Portrait Green.jpg" || return 1
  screenshot 09-foreground-imported || return 1
  import_into Background "Evening Sky.jpg" || return 1
  click_section Overlay || return 1
  import_into Overlay "White Frame.png" || return 1
  screenshot 10-overlay-imported
}

# The main keyer's slider: Removal, the first slider of its panel.
readonly keyer_panel="Auto Color Difference"
readonly keyer_slider="select(.class == \"lumo::ui::Slider\" and $(in_box "$keyer_panel"))"

# show_keyer: the key page, with the main keyer's panel open (a click on its title's arrow when
# it is folded).
show_keyer() {
  press_keys "$1" shift+z || return 1
  wait_for_widget "select($(shows "$keyer_panel"))" "the $keyer_panel panel" >/dev/null || return 1
  widget_rect "$keyer_slider" >/dev/null && return 0
  click_widget "select(.class == \"lumo::ui::TitleButton\" and $(in_box "$keyer_panel"))" "its arrow" &&
    wait_for_widget "$keyer_slider" "keyer slider" >/dev/null
}

step_journey_keys_and_drags_the_main_keyer() {
  local canvas before handle rect value
  show_keyer "$journey_window" || return 1
  canvas="$(canvas_rect)" || fail "no canvas in the map" || return 1
  # shellcheck disable=SC2086 # the four numbers are separate arguments
  "$screen_check" settled "$shots/11-keyed.png" $canvas "$render_timeout" >/dev/null ||
    fail "the keyed canvas did not settle" || return 1
  before="$(widget_value "$keyer_slider")"
  read -r -a rect <<<"$(widget_rect "$keyer_slider")"
  read -r -a handle <<<"$(jq -r "first(.windows[].widgets[] | $keyer_slider) | .handle | map(tostring) | join(\" \")" "$widget_map")"
  # From the handle to the middle of the groove, as a hand drags it.
  local y=$((handle[1] + handle[3] / 2)) from=$((handle[0] + handle[2] / 2)) to=$((rect[0] + rect[2] / 2))
  xdotool mousemove --sync "$from" "$y" mousedown 1 || return 1
  xdotool mousemove --sync $(((from + to) / 2)) "$y" mousemove --sync "$to" "$y" mouseup 1 || return 1
  # shellcheck disable=SC2086
  "$screen_check" changed "$shots/11-keyed.png" "$shots/12-keyer-dragged.png" $canvas "$render_timeout" >/dev/null ||
    fail "the canvas did not change after the drag" || return 1
  value="$(widget_value "$keyer_slider")"
  [ "$value" != "$before" ] || fail "the slider stayed at $before" || return 1
  key_value="$value"
}

step_journey_masks_captions_and_sizes() {
  local canvas
  click_section Masks || return 1
  click_widget "select($(shows "Add Mask"))" "Add Mask" || return 1
  wait_for_widget "select($(shows "Close Mask"))" "Close Mask" >/dev/null || return 1
  read -r -a canvas <<<"$(canvas_rect)"
  # A quadrilateral over the upper left of the subject's middle.
  local x=${canvas[0]} y=${canvas[1]} w=${canvas[2]} h=${canvas[3]}
  click_at $((x + w * 40 / 100)) $((y + h * 35 / 100)) &&
    click_at $((x + w * 52 / 100)) $((y + h * 35 / 100)) &&
    click_at $((x + w * 52 / 100)) $((y + h * 55 / 100)) &&
    click_at $((x + w * 40 / 100)) $((y + h * 55 / 100)) || return 1
  click_widget "select($(shows "Close Mask"))" "Close Mask" || return 1
  wait_for_text "Mask #1" || return 1
  screenshot 13-masked || return 1

  click_section Text || return 1
  click_widget "select($(shows "Add Text"))" "Add Text" || return 1
  wait_for_text "Text #1" || return 1
  type_caption || return 1
  wait_for_widget "$caption" "the caption" >/dev/null || return 1
  screenshot 14-captioned || return 1

  click_section Canvas || return 1
  choose_preset "5 x 7 inch" || return 1
  wait_for_widget "select($(shows 1500))" "width 1500" >/dev/null &&
    wait_for_widget "select($(shows 2100))" "height 2100" >/dev/null || return 1
  screenshot 15-sized
}

# export_as NAME [SCREENSHOT]: answers the export's Save As dialog with a path in the journey
# folder and waits for the message.
export_as() {
  local dialog
  dialog="$(wait_for_window "^Save As\$")" || return 1
  type_file_name "$dialog" "$journey/$1" || return 1
  answer_finished_exporting "${2:-}"
}

# check_export FILE [TOLERANCE]: the checker on an exported file against the saved project.
check_export() {
  say "   $1:"
  "$journey_check" "$journey/journey.lumo4" "$journey/$1" "$truths" "${2:-40}" 2>&1 | sed 's/^/     /'
  ((PIPESTATUS[0] == 0)) || fail "the checker found faults in $1"
}

step_journey_exports_jpg_png_and_tiff() {
  click_section Export || return 1
  choose_format JPG || return 1
  click_widget "select(.class == \"lumo::ui::ButtonDefault\" and $(shows Export))" "Export button" || return 1
  export_as journey.jpg 16-exported-jpg || return 1
  choose_format PNG || return 1
  press_keys "$journey_window" ctrl+e || return 1
  export_as journey.png || return 1
  choose_format TIFF || return 1
  press_keys "$journey_window" ctrl+e || return 1
  export_as journey.tif || return 1
  for file in journey.jpg journey.png journey.tif; do
    [ -s "$journey/$file" ] || fail "$file was not written" || return 1
  done
}

step_journey_saves_and_quits() {
  local dialog
  press_keys "$journey_window" ctrl+s || return 1
  dialog="$(wait_for_window "^Save Project\$")" || return 1
  type_file_name "$dialog" "$journey/journey" || return 1
  wait_for_window "^journey - $app_name\$" >/dev/null || return 1
  [ -f "$journey/journey.lumo4" ] || fail "no journey.lumo4" || return 1
  screenshot 17-saved || return 1
  press_keys "$journey_window" alt+F4 || return 1
  wait_for_program_exit || return 1
  ((program_status == 0)) || fail "exit status $program_status" || return 1
  # The exported pictures hold what the saved project places.
  check_export journey.png && check_export journey.tif && check_export journey.jpg 60
}

step_journey_reopens_the_same_work() {
  local window
  start_program "$sandbox" "$journey/journey.lumo4"
  window="$(wait_for_window "^journey - $app_name\$")" || return 1
  wait_for_first_render || return 1
  show_keyer "$window" || return 1
  [ "$(widget_value "$keyer_slider")" = "$key_value" ] ||
    fail "the keyer shows $(widget_value "$keyer_slider"), saved was $key_value" || return 1
  click_section Masks && wait_for_text "Mask #1" || return 1
  click_section Text && wait_for_widget "$caption" "the caption" >/dev/null || return 1
  click_section Canvas && wait_for_widget "select($(shows "5 x 7 inch"))" "preset 5 x 7 inch" >/dev/null || return 1
  screenshot 18-reopened || return 1
  # The project remembers TIFF, the last format exported.
  click_section Export && choose_format PNG || return 1
  press_keys "$window" ctrl+e || return 1
  local dialog
  dialog="$(wait_for_window "^Save As\$")" || return 1
  type_file_name "$dialog" "$journey/again.png" || return 1
  answer_finished_exporting || return 1
  "$screen_check" same-pixels "$journey/journey.png" "$journey/again.png" ||
    fail "the export after reopening differs from the first" || return 1
  press_keys "$window" alt+F4 || return 1
  wait_for_program_exit || return 1
  ((program_status == 0)) || fail "exit status $program_status"
}

# ---- The floating toolbox and every way out of the program

# choose_menu MENU ENTRY: opens a menu of the window's menu bar by a click, then clicks its entry.
choose_menu() {
  local menu=$1 entry=$2 rect deadline=$((SECONDS + window_timeout))
  until rect="$(jq -er --arg menu "$menu" 'first(.windows[].widgets[] | select(.class == "QMenuBar") | .actions[]
      | select(.text == $menu)) | .rect | map(tostring) | join(" ")' "$widget_map" 2>/dev/null)"; do
    ((SECONDS < deadline)) || { fail "no menu $menu in the menu bar"; return 1; }
    sleep 0.1
  done
  read -r -a rect <<<"$rect"
  click_at $((rect[0] + rect[2] / 2)) $((rect[1] + rect[3] / 2)) || return 1
  until rect="$(jq -er --arg entry "$entry" 'first(.windows[] | select(.class == "QMenu") | .actions[]
      | select(.text == $entry and .enabled)) | .rect | map(tostring) | join(" ")' "$widget_map" 2>/dev/null)"; do
    ((SECONDS < deadline)) || { fail "no entry $entry in the menu $menu"; return 1; }
    sleep 0.1
  done
  read -r -a rect <<<"$rect"
  click_at $((rect[0] + rect[2] / 2)) $((rect[1] + rect[3] / 2))
}

# expect_toolbox_beside_the_bar SCREENSHOT: the toolbox floats in a window of its own, beside the
# toolset bar without covering it, inside the screen, and above the main window.
expect_toolbox_beside_the_bar() {
  local toolbox window verdict deadline=$((SECONDS + window_timeout))
  toolbox="$(wait_for_window '^Toolbox$')" || return 1
  until verdict="$(jq -er --argjson width "$screen_width" --argjson height "$screen_height" '
      (first(.windows[] | select(.class == "lumo::ui::ToolboxDockWidget")) | .rect) as $d
      | (first(.windows[].widgets[] | select(.class == "lumo::ui::ToolsetWidget")) | .rect) as $b
      | (if $d[0] + $d[2] <= $b[0] then $b[0] - $d[0] - $d[2] else $d[0] - $b[0] - $b[2] end) as $gap
      | if $d[0] + $d[2] > $b[0] and $b[0] + $b[2] > $d[0] and $d[1] + $d[3] > $b[1] and $b[1] + $b[3] > $d[1]
        then "over the toolset bar"
        elif $d[0] < 0 or $d[1] < 0 or $d[0] + $d[2] > $width or $d[1] + $d[3] > $height then "off the screen"
        elif $gap > 40 then "\($gap) px away from the toolset bar"
        else "beside the toolset bar" end' "$widget_map" 2>/dev/null)" &&
    [ "$verdict" = "beside the toolset bar" ]; do
    ((SECONDS < deadline)) || { fail "the floating toolbox is ${verdict:-not in the map}"; return 1; }
    sleep 0.1
  done
  # The window manager's stacking order, bottom first: the toolbox above the main window.
  window="$(xdotool search --onlyvisible --name " - $app_name\$" | head -n1)"
  local stacking
  stacking="$(xprop -root _NET_CLIENT_LIST_STACKING | tr -c '0-9a-fx\n' ' ')"
  local below above
  below="$(printf '%s\n' $stacking | grep -n -x "$(printf '0x%x' "$window")" | cut -d: -f1)"
  above="$(printf '%s\n' $stacking | grep -n -x "$(printf '0x%x' "$toolbox")" | cut -d: -f1)"
  [ -n "$below" ] && [ -n "$above" ] && ((above > below)) ||
    fail "the floating toolbox is not above the main window (stacking: $stacking)" || return 1
  screenshot "$1"
}

# expect_quick_exit: the program ends by itself within 2 s with status 0, having written its
# settings once.
expect_quick_exit() {
  local deadline=$((${EPOCHREALTIME/./} + 2000000))
  while kill -0 "$program_pid" 2>/dev/null; do
    ((${EPOCHREALTIME/./} < deadline)) || { fail "the program still runs 2 s later"; return 1; }
    sleep 0.05
  done
  wait "$program_pid"
  program_status=$?
  program_pid=""
  ((program_status == 0)) || fail "exit status $program_status" || return 1
  local writes
  writes="$(grep -c '^lumora-startup settings-written' "$program_log")"
  ((writes == 1)) || fail "the settings were written $writes times" || return 1
  expect_setting_present MainWindow State
}

# start_the_fixture_project: the fixture's project, its toolbox docked or floating as the last
# run left it.
start_the_fixture_project() {
  start_program "$sandbox" "$projects/portrait.lumo4"
  toolbox_window="$(wait_for_window "^portrait - $app_name\$")" || return 1
  wait_for_first_render
}
toolbox_window=""

step_undocked_the_toolbox_stands_beside_the_bar_and_exit_ends_the_program() {
  start_the_fixture_project || return 1
  choose_menu View "Undock Toolbox" || return 1
  expect_toolbox_beside_the_bar 19-toolbox-undocked || return 1
  choose_menu File Exit || return 1
  expect_quick_exit
}

step_the_floating_toolbox_comes_back_beside_the_bar_and_alt_f4_ends_the_program() {
  start_the_fixture_project || return 1
  expect_toolbox_beside_the_bar 20-toolbox-restored || return 1
  press_keys "$toolbox_window" alt+F4 || return 1
  expect_quick_exit
}

step_the_window_managers_close_button_ends_the_program() {
  start_the_fixture_project || return 1
  expect_toolbox_beside_the_bar 21-toolbox-restored-again || return 1
  # openbox's close button: the right end of the title bar above the window's contents (xwininfo
  # tells where the contents start; xdotool counts the frame twice).
  local top right
  read -r top right <<<"$(xwininfo -id "$toolbox_window" |
    awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 } /Width:/ { w = $2 } END { print y, x + w }')"
  ((top > 0)) || fail "the window has no title bar" || return 1
  click_at $((right - 10)) $((top / 2)) || return 1
  expect_quick_exit
}

step_a_termination_signal_ends_the_program() {
  start_the_fixture_project || return 1
  expect_toolbox_beside_the_bar 22-toolbox-before-sigterm || return 1
  # Written anew by the program as it ends.
  sed -i '/^State=/d' "$XDG_CONFIG_HOME/Halvern/Lumora4.conf"
  kill -TERM "$program_pid"
  expect_quick_exit
}

steps=(
  step_opens_the_project_and_shows_the_keyed_render
  step_a_key_press_closes_the_window_and_settings_are_saved
  step_without_a_project_it_starts_untitled
  step_a_damaged_project_warns_and_leaves_an_untitled_project
  step_a_relative_path_on_the_command_line_opens
  step_the_sample_project_beside_the_program_opens
  step_ctrl_e_exports_the_keyed_picture
  step_menus_and_file_dialogs_are_in_the_programs_colours
  step_an_export_onto_the_projects_photograph_is_refused
  step_journey_imports_photograph_background_and_overlay
  step_journey_keys_and_drags_the_main_keyer
  step_journey_masks_captions_and_sizes
  step_journey_exports_jpg_png_and_tiff
  step_journey_saves_and_quits
  step_journey_reopens_the_same_work
  step_undocked_the_toolbox_stands_beside_the_bar_and_exit_ends_the_program
  step_the_floating_toolbox_comes_back_beside_the_bar_and_alt_f4_ends_the_program
  step_the_window_managers_close_button_ends_the_program
  step_a_termination_signal_ends_the_program
)

run_step() {
  local name=$1
  say "== ${name#step_}"
  if "$name"; then
    passed=$((passed + 1))
    say "   passed"
  else
    failed=$((failed + 1))
    say "   FAILED"
    # What the screen showed when the step gave up.
    "$screen_check" grab "$shots/failed-${name#step_}.png" 2>/dev/null
  fi
}

main() {
  local tool
  for tool in Xvfb openbox xdotool xprop jq; do
    command -v "$tool" >/dev/null || { say "$tool is missing: run scripts/setup.sh"; say "0 passed, 1 failed"; exit 1; }
  done
  for tool in "$program" "$make_fixture" "$screen_check" "$journey_check"; do
    [ -x "$tool" ] || { say "$tool is missing: build first"; say "0 passed, 1 failed"; exit 1; }
  done
  rm -rf "$shots"
  mkdir -p "$shots"
  isolate_session
  if ! "$make_fixture" "$projects" >/dev/null || ! start_display || ! start_window_manager; then
    cleanup
    say "0 passed, 1 failed"
    exit 1
  fi
  say "display $DISPLAY, screenshots in $shots"

  local step
  for step in "${steps[@]}"; do run_step "$step"; done
  stop_program
  if ((failed > 0)); then
    local log
    for log in "$sandbox"/program-*.log; do
      say "-- ${log##*/}"
      cat "$log"
    done
  fi
  cleanup
  say "$passed passed, $failed failed"
  ((failed == 0))
}

main
