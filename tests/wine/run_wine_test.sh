#!/usr/bin/env bash
# The real QV_CPL.cpl on Wine under a virtual display. cpl_host.exe plays the
# Control Panel and binds the applet's display calls to the display-driver
# model; this script drives the sheet with the mouse as a user would, reads
# the controls through the host's window dumps and the registry through
# Wine's reg, and keeps screenshots of every page.
#
#   run_wine_test.sh --cross CROSS_BUILD_DIR --out OUTPUT_DIR
#
# Exit status: 0 all checks passed, 1 a check failed, 77 Wine or the display
# tools are missing and cannot be installed (the test is skipped).
set -uo pipefail

readonly SKIP=77
readonly SHEET_CAPTION="Quorvane Control Center"
readonly MCD_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\MCD'
readonly SERVICES='HKLM\SYSTEM\CurrentControlSet\Services'
readonly ID_OK=1 ID_CANCEL=2 ID_APPLY=12321
readonly WAIT_SECONDS=20

here=$(cd "$(dirname "$0")" && pwd)
cross="" out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --cross) cross=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "usage: $0 --cross DIR --out DIR" >&2; exit 2 ;;
  esac
done
if [ -z "$cross" ] || [ -z "$out" ]; then
  echo "usage: $0 --cross DIR --out DIR" >&2
  exit 2
fi

host_exe=$cross/tests/wine/cpl_host.exe
applet=$cross/applet/QV_CPL.cpl
miniport=$cross/miniport/korvid.sys
for file in "$host_exe" "$applet" "$miniport"; do
  [ -f "$file" ] || { echo "FAIL: $file is missing (build the cross configuration)"; exit 1; }
done

if ! bash "$here/../../scripts/wine_deps.sh"; then
  echo "SKIP: Wine, Xvfb, xdotool or ImageMagick missing and not installable"
  exit $SKIP
fi

artifacts=$out/artifacts
export WINEPREFIX=$out/prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$artifacts" "$WINEPREFIX"
mkdir -p "$artifacts"

# ---- results -----------------------------------------------------------
passed=0 failed=0
check() { # check DESCRIPTION EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then
    passed=$((passed + 1))
    echo "ok    $1"
  else
    failed=$((failed + 1))
    echo "FAIL  $1: expected [$2], got [$3]"
  fi
}

# For what follows a click: the sheet's thread may see the click after the
# next dump, so the value is read again until it matches or time is up.
check_soon() { # check_soon DESCRIPTION EXPECTED COMMAND...
  local description=$1 expected=$2 actual
  shift 2
  for _ in $(seq 25); do
    actual=$("$@")
    [ "$actual" == "$expected" ] && break
    sleep 0.2
  done
  check "$description" "$expected" "$actual"
}
current_state() { state_of "$(dump)" "$@"; }

# ---- the display and Wine ----------------------------------------------
xvfb_pid="" host_pid=""
# The prefix is made afresh for every run and is large: it goes too.
cleanup() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
  if [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    rm -rf "$WINEPREFIX"
  fi
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

start_display() {
  local number_file=$out/display
  rm -f "$number_file"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >"$artifacts/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    [ -s "$number_file" ] && break
    sleep 0.1
  done
  [ -s "$number_file" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
  DISPLAY=:$(head -n1 "$number_file")
  export DISPLAY
}

start_wine() {
  wineboot -i >"$artifacts/wineboot.log" 2>&1 || { echo "FAIL: wineboot"; exit 1; }
  # One server for all the runs below, not one started for each command.
  wineserver -p
  # Wine draws the frames itself: there is no window manager on the display.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null
  cp "$miniport" "$WINEPREFIX/drive_c/windows/system32/drivers/korvid.sys"
}

dos_path() { echo "Z:${1//\//\\}"; }

# ---- registry ------------------------------------------------------------
reg_add_key() { wine reg add "$1" /f >/dev/null; }
reg_set_dword() { wine reg add "$1" /v "$2" /t REG_DWORD /d "$3" /f >/dev/null; }
reg_delete_key() { wine reg delete "$1" /f >/dev/null 2>&1; }
# The value as reg prints it (0x1), or "absent".
reg_value() {
  local line
  line=$(wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" '$1 == name')
  [ -n "$line" ] && echo "$line" | awk '{print $3}' || echo absent
}
reg_key_exists() { wine reg query "$1" >/dev/null 2>&1 && echo yes || echo no; }

# ---- the host and its windows ------------------------------------------
run_dir=""

start_host() { # start_host NAME ARGS...
  run_dir=$artifacts/$1
  shift
  mkdir -p "$run_dir"
  timeout 120 wine "$host_exe" --cpl "$(dos_path "$applet")" --out "$(dos_path "$run_dir")" "$@" \
    >"$run_dir/stdout.txt" 2>&1 &
  host_pid=$!
  if ! timeout $WAIT_SECONDS xdotool search --sync --name "^$SHEET_CAPTION\$" >/dev/null; then
    echo "FAIL: no window \"$SHEET_CAPTION\" appeared"
    cat "$run_dir/stdout.txt"
    exit 1
  fi
}

# Asks the host for a dump of its windows; prints the dump's path. Dumps
# are numbered in a file: this runs in command substitutions.
dump() {
  local count
  count=$(($(cat "$run_dir/dumps" 2>/dev/null || echo 0) + 1))
  echo $count >"$run_dir/dumps"
  local name=dump$count
  echo "$name" >"$run_dir/request.tmp" && mv "$run_dir/request.tmp" "$run_dir/dump.request"
  for _ in $(seq $((WAIT_SECONDS * 20))); do
    [ -f "$run_dir/$name.txt" ] && break
    sleep 0.05
  done
  echo "$run_dir/$name.txt"
}

# The top-level window with caption TEXT, from a dump.
top_of() { grep -m1 "^win top=[^ ]* depth=0 .* text=\"$2\" " "$1" | sed 's/^win top=\([^ ]*\).*/\1/'; }

# The visible control ID of the sheet (or of top-level TOP): its dump line.
control() { # control DUMP ID [TOP]
  local top=${3:-$(top_of "$1" "$SHEET_CAPTION")}
  grep "^win top=$top .* id=$2 .*visible=1 " "$1" | head -n1
}
field() { sed -n "s/.* $2=\(\"[^\"]*\"\|[^ ]*\).*/\1/p" <<<"$1"; }
text_of() { field "$(control "$@")" text; }
state_of() { # state_of DUMP ID KEY: enabled, checked, visible
  field "$(control "$1" "$2")" "$3"
}
tab_titles() {
  local top
  top=$(top_of "$1" "$SHEET_CAPTION")
  grep "^tab top=$top " "$1" | sed 's/.* text="\([^"]*\)".*/\1/' | paste -sd,
}

click_rect() { # click_rect L,T,R,B
  local l t r b
  IFS=, read -r l t r b <<<"$1"
  xdotool mousemove --sync $(((l + r) / 2)) $(((t + b) / 2)) click 1
}
click_control() { # click_control ID [TOP]
  local line
  line=$(control "$(dump)" "$@")
  [ -n "$line" ] || { echo "FAIL: control $1 not found"; failed=$((failed + 1)); return; }
  click_rect "$(field "$line" rect)"
}
# Clicks the tab TITLE; click_tab also waits for its page.
press_tab() {
  local d top
  d=$(dump)
  top=$(top_of "$d" "$SHEET_CAPTION")
  click_rect "$(grep -m1 "^tab top=$top .* text=\"$1\"" "$d" | sed 's/.* rect=//')"
}
click_tab() {
  press_tab "$1"
  wait_until "page \"$1\" shown" page_shown "$1"
}
page_shown() { grep -q "^win top=[^ ]* depth=1 id=0 class=\"#32770\" kind=other text=\"$1\" .*visible=1" "$(dump)"; }
apply_done() { [ "$(state_of "$(dump)" $ID_APPLY enabled)" == 0 ]; }
error_box_shown() { [ -n "$(top_of "$(dump)" ERROR)" ]; }
no_error_box() { ! error_box_shown; }

wait_until() { # wait_until DESCRIPTION COMMAND...
  local description=$1
  shift
  for _ in $(seq $((WAIT_SECONDS * 5))); do
    "$@" && return 0
    sleep 0.2
  done
  echo "FAIL: timed out waiting for $description"
  failed=$((failed + 1))
  return 1
}

# The screen cut to what the windows cover (the rest is the bare root).
screenshot() { import -window root -trim +repage "$artifacts/$1.png"; }

# The controls of the page shown: "id kind fits left top right bottom".
page_controls() {
  grep "^win top=$2 depth=2 .*visible=1 " "$1" |
    sed -n 's/.* id=\([-0-9]*\) .* kind=\([a-z]*\) .* fits=\([-0-9]*\) rect=\(.*\)$/\1 \2 \3 \4/p' |
    tr , ' '
}

# The page as laid out on the screen: every text fits its control, every
# control lies on the page, and no two controls other than group boxes
# cover each other.
check_layout() { # check_layout DUMP PAGE
  local top controls page_rect
  top=$(top_of "$1" "$SHEET_CAPTION")
  controls=$(page_controls "$1" "$top")
  page_rect=$(grep "^win top=$top depth=1 id=0 .* text=\"$2\" .*visible=1 " "$1" |
    sed 's/.* rect=//' | tr , ' ')
  check "$2: texts fit their controls" "" \
    "$(awk '$3 == 0 {print $1}' <<<"$controls" | paste -sd,)"
  check "$2: sheet buttons fit their texts" "" "$(grep "^win top=$top depth=1 .*kind=push .*visible=1 " \
    "$1" | grep 'fits=0' | sed 's/.* text=\("[^"]*"\).*/\1/' | paste -sd,)"
  check "$2: controls inside the page" "" "$(awk -v page="$page_rect" '
    BEGIN { split(page, p, " ") }
    $4 < p[1] || $5 < p[2] || $6 > p[3] || $7 > p[4] { print $1 }' <<<"$controls" | paste -sd,)"
  check "$2: no controls overlap" "" "$(awk '
    $2 != "group" { n++; id[n] = $1; l[n] = $4; t[n] = $5; r[n] = $6; b[n] = $7 }
    END {
      for (i = 1; i <= n; i++)
        for (j = i + 1; j <= n; j++)
          if (l[i] < r[j] && l[j] < r[i] && t[i] < b[j] && t[j] < b[i]) print id[i] "/" id[j]
    }' <<<"$controls" | paste -sd,)"
}

# A screenshot of the page shown, and its layout checked.
look_at_page() { # look_at_page SCREENSHOT PAGE
  screenshot "$1"
  check_layout "$(dump)" "$2"
}

# Closes the sheet with the button ID and checks how the host ended; a host
# that does not end is stopped, so that the next run starts alone.
close_sheet() {
  click_control "$1"
  host_exits
}
host_exits() {
  wait_until "the host to end" host_ended
  local status=0
  kill "$host_pid" 2>/dev/null
  wait "$host_pid" || status=$?
  host_pid=""
  check "host exits cleanly" 0 "$status"
}
host_ended() { ! kill -0 "$host_pid" 2>/dev/null; }

model() { sed -n "s/^$1=//p" "$run_dir/model.txt"; }
log_line() { grep -m1 "^$1" "$run_dir/cpl.log" | tr -d '\r'; }

check_model_hygiene() {
  check "every device context deleted" 0 "$(model dcs_open)"
  check "no call on a foreign device context" 0 "$(model foreign_dc_calls)"
  check "mode records long enough to change into" 0 "$(model bad_records)"
}

# ---- the runs --------------------------------------------------------------

# A display driver that names no family: one greyed information page.
run_family0() {
  echo "== family 0: a display driver that names no family"
  start_host family0 --family 0
  local d
  d=$(dump)
  check "sheet caption" yes "$([ -n "$(top_of "$d" "$SHEET_CAPTION")" ] && echo yes)"
  check "one page" '"Quorvane Info"' "\"$(tab_titles "$d")\""
  for id in 1007 1010; do
    check "field $id reads Undefined" '"Undefined"' "$(text_of "$d" $id)"
  done
  for id in 1007 1008 1009 1010 1011 1012; do
    check "control $id greyed" 0 "$(state_of "$d" $id enabled)"
  done
  check "no control panel version on this template" "" "$(control "$d" 1013)"
  # Template 123 shows the small logo in both top corners.
  local pictures
  pictures=$(grep 'depth=2 .*class="Static" .*image=1 ' "$d" | sed 's/.* rect=//' |
    awk -F, '{print $3 - $1 "x" $4 - $2}' | paste -sd,)
  check "small logo in both corners" "71x71,71x71" "$pictures"
  look_at_page family0-info "Quorvane Info"
  close_sheet $ID_CANCEL

  check "CPL_INIT" "CPL_INIT -> 1" "$(log_line CPL_INIT)"
  check "CPL_GETCOUNT" "CPL_GETCOUNT -> 1" "$(log_line CPL_GETCOUNT)"
  check "CPL_INQUIRE fills nothing" "CPL_INQUIRE -> 0 untouched=1" "$(log_line CPL_INQUIRE)"
  check "CPL_NEWINQUIRE" "CPL_NEWINQUIRE -> 0" "$(log_line 'CPL_NEWINQUIRE')"
  check "item record" "newcplinfo size=244 flags=0 help_context=0 data=0 icon=1" \
    "$(log_line 'newcplinfo size')"
  check "item texts" \
    'newcplinfo name="The Quorvane Control Center" info="Quorvane Control Panel" help_file_empty=1' \
    "$(log_line 'newcplinfo name')"
  check "CPL_DBLCLK returns when the sheet closes" "CPL_DBLCLK -> 0" "$(log_line CPL_DBLCLK)"
  check "CPL_STOP" "CPL_STOP -> 0" "$(log_line CPL_STOP)"
  check "CPL_EXIT" "CPL_EXIT -> 0" "$(log_line CPL_EXIT)"
  check "applet unloads" "FreeLibrary -> 1" "$(log_line FreeLibrary)"
  check_model_hygiene
}

# The product version as the miniport file's version resource holds it.
file_product_version() {
  strings -el "$miniport" | grep -A1 -x ProductVersion | tail -n1
}

# Family 3 with korvid.sys in place: the information page, then Double Wide
# and the MCD switch applied together.
run_family3() {
  echo "== family 3: information, desktop and driver options"
  reg_add_key "$SERVICES\\halcyra3d\\Device0"
  reg_set_dword "$MCD_KEY" Enable 0
  start_host family3 --family 3 --boards 2 --board-index 20 --mode 1024x768x16@75
  local d
  d=$(dump)
  check "three pages" "Quorvane Info,Desktop,Driver Options" "$(tab_titles "$d")"
  check "driver version from korvid.sys" "\"$(file_product_version)\"" "$(text_of "$d" 1007)"
  check "BIOS texts joined by three blanks" 1 \
    "$(text_of "$d" 1010 | grep -c '^"[^ ].*   .*   .*"$')"
  check "board name of row 20" '"Halcyra 3D - PCI"' "$(text_of "$d" 1008)"
  check "memory of row 20" '"4 MB + 16 MB SGRAM"' "$(text_of "$d" 1009)"
  check "control panel version" '"1.06"' "$(text_of "$d" 1013)"
  check "driver fields enabled" 1 "$(state_of "$d" 1007 enabled)"
  look_at_page family3-info "Quorvane Info"

  click_tab Desktop
  d=$(dump)
  check "Normal Mode checked" 1 "$(state_of "$d" 1001 checked)"
  check "Multi Board offered with two boards" 1 "$(state_of "$d" 1004 enabled)"
  check "Apply starts greyed" 0 "$(state_of "$d" $ID_APPLY enabled)"
  look_at_page family3-desktop Desktop
  click_control 1002
  check_soon "Double Wide checked" 1 current_state 1002 checked
  check_soon "a new layout enables Apply" 1 current_state $ID_APPLY enabled

  click_tab "Driver Options"
  d=$(dump)
  check "MCD Acceleration starts as stored (off)" 0 "$(state_of "$d" 1033 checked)"
  click_control 1033
  check_soon "MCD Acceleration checked" 1 current_state 1033 checked
  look_at_page family3-options "Driver Options"
  click_control $ID_APPLY
  wait_until "Apply to finish" apply_done
  d=$(dump)
  check "no error box" "" "$(top_of "$d" ERROR)"
  check "MCD Enable written" 0x1 "$(reg_value "$MCD_KEY" Enable)"
  local device0=$SERVICES\\halcyra3d\\Device0
  check "DoubleWide written" 0x1 "$(reg_value "$device0" DoubleWide)"
  check "TwoTall written" 0x0 "$(reg_value "$device0" TwoTall)"
  check "MultiBoardFlag written" 0x4 "$(reg_value "$device0" MultiBoardFlag)"

  click_tab Desktop
  check "Double Wide stays checked" 1 "$(state_of "$(dump)" 1002 checked)"
  look_at_page family3-desktop-applied Desktop
  close_sheet $ID_OK

  check "driver in Double Wide" 1 "$(model layout)"
  check "desktop at the doubled size" 2048x768x16@75 "$(model current)"
  # Back to the Normal size first, then the doubled size tested and set.
  check "layout codes sent" "0,1" "$(sed -n 's/^escape 4004 input=\([0-9]*\) .*/\1/p' \
    "$run_dir/model.txt" | paste -sd,)"
  check "mode changes" \
    "1024x768x16@75 test=0 registry=1,2048x768x16@75 test=1 registry=0,2048x768x16@75 test=0 registry=1" \
    "$(sed -n 's/^change \(.*\) result=0$/\1/p' "$run_dir/model.txt" | paste -sd,)"
  check_model_hygiene
}

# The MCD key missing: an error box, and Apply creates nothing.
# Waits for the "ERROR" box, checks its text, keeps a screenshot and
# dismisses it.
expect_error_box() { # expect_error_box TEXT SCREENSHOT
  wait_until "the error box" error_box_shown || return
  local d box
  d=$(dump)
  box=$(top_of "$d" ERROR)
  check "error box \"$1\"" "\"$1\"" \
    "$(grep "^win top=$box .*class=\"Static\" .*text=\"[^\"]" "$d" | sed 's/.* text=\("[^"]*"\).*/\1/')"
  screenshot "$2"
  click_control $ID_OK "$box"
}

run_missing_mcd_key() {
  echo "== family 3 without the MCD key"
  reg_delete_key "$MCD_KEY"
  start_host no-mcd-key --family 3 --boards 1
  # The page opens the key when it is first shown: the box comes first.
  press_tab "Driver Options"
  expect_error_box "Could not open QV 6 Registry Key" no-mcd-key-error
  wait_until "the options page" page_shown "Driver Options"
  check "check box left unchecked" 0 "$(state_of "$(dump)" 1033 checked)"
  click_control 1033
  check_soon "a click still enables Apply" 1 current_state $ID_APPLY enabled
  click_control $ID_APPLY
  wait_until "Apply to finish" apply_done
  check "the key is not created" no "$(reg_key_exists "$MCD_KEY")"
  click_tab Desktop
  check "Multi Board greyed with one board" 0 "$(state_of "$(dump)" 1004 enabled)"
  close_sheet $ID_OK
  check_model_hygiene
}

# Clicks control ID of the sheet at its left edge: a box centred on the
# screen covers the right part of some of them.
click_left_edge() { # click_left_edge ID
  local l t r b
  IFS=, read -r l t r b <<<"$(field "$(control "$(dump)" "$1")" rect)"
  xdotool mousemove --sync $((l + 4)) $(((t + b) / 2)) click 1
}

# The mode in force cannot be read at Apply: the change to Double Wide is
# reported, then undone. The box has no owner window, so the sheet still
# takes clicks: Apply pressed while the box is up must change nothing, and
# the registry and the model end as after one Apply.
run_apply_during_error_box() {
  echo "== family 3: Apply pressed while an error box is up"
  local device0=$SERVICES\\halcyra3d\\Device0
  reg_set_dword "$device0" DoubleWide 1
  reg_set_dword "$device0" TwoTall 1
  reg_set_dword "$device0" MultiBoardFlag 3
  # The page start reads the mode in force once; Apply's read fails.
  start_host apply-during-box --family 3 --boards 2 --mode 1024x768x16@75 --fail-current-read 2
  click_tab Desktop
  click_control 1002
  check_soon "a new layout enables Apply" 1 current_state $ID_APPLY enabled
  click_control $ID_APPLY
  wait_until "the error box" error_box_shown || return
  check "the sheet stays enabled under the box" 1 "$(current_state $ID_APPLY enabled)"
  # The box, centred on the screen, covers the right half of the button.
  click_left_edge $ID_APPLY
  wait_until "the second Apply to finish" apply_done
  check "still one error box" 1 "$(grep -c "^win top=[^ ]* depth=0 .* text=\"ERROR\" " "$(dump)")"
  expect_error_box "Could not get current mode" apply-during-box-error
  wait_until "the error box to go" no_error_box
  close_sheet $ID_OK

  check "DoubleWide restored" 0x0 "$(reg_value "$device0" DoubleWide)"
  check "TwoTall restored" 0x0 "$(reg_value "$device0" TwoTall)"
  check "MultiBoardFlag restored" 0x4 "$(reg_value "$device0" MultiBoardFlag)"
  check "driver back in Normal Mode" 0 "$(model layout)"
  check "layout codes of one Apply" "0" "$(sed -n 's/^escape 4004 input=\([0-9]*\) .*/\1/p' \
    "$run_dir/model.txt" | paste -sd,)"
  check "mode changes of one Apply" "1024x768x16@75 test=0 registry=1 result=0" \
    "$(sed -n 's/^change \(.*\)$/\1/p' "$run_dir/model.txt" | paste -sd,)"
  check_model_hygiene
}

# The display driver refuses Two Tall: the change is undone and reported.
# While the box is up the user picks Double Wide and presses OK in the
# sheet: once the box is gone Double Wide is applied, and only then does
# the sheet close.
run_new_choice_under_error_box() {
  echo "== family 3: a new layout chosen and OK pressed while an error box is up"
  local device0=$SERVICES\\halcyra3d\\Device0
  reg_set_dword "$device0" DoubleWide 0
  start_host new-choice-under-box --family 3 --boards 2 --mode 1024x768x16@75 --refuse-layout 2
  click_tab Desktop
  click_control 1003
  check_soon "a new layout enables Apply" 1 current_state $ID_APPLY enabled
  click_control $ID_APPLY
  wait_until "the error box" error_box_shown || return
  click_left_edge 1002
  check_soon "Double Wide checked under the box" 1 current_state 1002 checked
  click_left_edge $ID_OK
  expect_error_box "Escape to driver could not be executed" new-choice-under-box-error
  host_exits

  check "DoubleWide stored" 0x1 "$(reg_value "$device0" DoubleWide)"
  check "driver in Double Wide" 1 "$(model layout)"
  check "desktop at the doubled size" 2048x768x16@75 "$(model current)"
  # Two Tall refused and Normal put back, then Double Wide by way of Normal.
  check "layout codes sent" "2,0,0,1" "$(sed -n 's/^escape 4004 input=\([0-9]*\) .*/\1/p' \
    "$run_dir/model.txt" | paste -sd,)"
  check_model_hygiene
}

# Families 2 and 4: their own information templates and desktop pages.
# Family 4 runs without its service key: the desktop page says so, then
# shows no layout and greys nothing.
run_other_family() { # run_other_family FAMILY SERVICE INDEX NAME MEMORY
  echo "== family $1"
  [ "$1" == 2 ] && reg_add_key "$SERVICES\\$2\\Device0"
  reg_set_dword "$MCD_KEY" Enable 1
  start_host "family$1" --family "$1" --boards 1 --board-index "$3"
  local d
  d=$(dump)
  check "three pages" "Quorvane Info,Desktop,Driver Options" "$(tab_titles "$d")"
  check "no miniport file: version Undefined" '"Undefined"' "$(text_of "$d" 1007)"
  check "board name of row $3" "\"$4\"" "$(text_of "$d" 1008)"
  check "memory of row $3" "\"$5\"" "$(text_of "$d" 1009)"
  if [ "$1" == 2 ]; then
    check "no control panel version for family 2" "" "$(control "$d" 1013)"
  else
    check "control panel version" '"1.06"' "$(text_of "$d" 1013)"
  fi
  look_at_page "family$1-info" "Quorvane Info"
  if [ "$1" == 2 ]; then
    click_tab Desktop
    check "Multi Board hidden for family 2" "" "$(control "$(dump)" 1004)"
  else
    press_tab Desktop
    expect_error_box "Could not open QV 2 Registry Key" "family$1-no-key-error"
    wait_until "the desktop page" page_shown Desktop
    d=$(dump)
    check "no layout checked without the key" "0,0,0,0" \
      "$(for id in 1001 1002 1003 1004; do state_of "$d" $id checked; done | paste -sd,)"
    check "nothing greyed without the key" 1 "$(state_of "$d" 1004 enabled)"
  fi
  look_at_page "family$1-desktop" Desktop
  click_tab "Driver Options"
  check "MCD Acceleration starts as stored (on)" 1 "$(state_of "$(dump)" 1033 checked)"
  close_sheet $ID_CANCEL
  check_model_hygiene
}

started=$SECONDS
start_display
start_wine
echo "Wine prefix ready in $((SECONDS - started)) s"
run_family0
run_family3
run_missing_mcd_key
run_apply_during_error_box
run_new_choice_under_error_box
run_other_family 2 zorxv2 2 "Velmira Zorx Kestra - Internal VGA" "4 Megs"
run_other_family 4 halcyra4 5 "Board Name TBD" "Ram Size TBD"
echo "Wine test took $((SECONDS - started)) s; screenshots in $artifacts"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
