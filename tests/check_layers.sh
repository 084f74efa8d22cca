#!/usr/bin/env bash
# The directions in which the folders may include each other, checked on the sources.
# Prints every offending line and fails when an include (or a call) crosses them.
#
#   textio      includes nothing of ours
#   mapfile     only textio and itself          display  only textio and itself
#   below the driver (textio, mapfile, display, samples, kelvane): nothing of driver/
#               or tools/
#   tools       of display/ only the interface display/tolpix.h; of driver/ only the
#               shared part the tools link (the headers of the drivercore library);
#               never the display's wait, menu or entry-box operations (the dialogue
#               helpers call them); no X11 headers
#   the driver's shared part: nothing of the application part of driver/ or of tools/
#   CCP4        only mapfile/ includes ccp4/ headers or calls ccp4_file_*
#   FFTW        only tools/transform/, samples/ and bench/ include fftw3.h
#   X11         only display/, the test harness (tests/), the screenshot tool and demo
#               generator (samples/) and bench/ include X11 headers
#   timer       only the movie (driver/sections.cpp) runs the display's timer
set -u
cd "${1:-$(dirname "$0")/..}" || exit 2
status=0

sources() {
  local dir
  for dir in "$@"; do
    [ -d "$dir" ] && find "$dir" -type f \( -name '*.cpp' -o -name '*.h' \)
  done | sort
}

# forbid RULE PATTERN ALLOWED FILE...: lines matching PATTERN but not ALLOWED break RULE.
forbid() {
  local rule=$1 pattern=$2 allowed=$3
  shift 3
  [ $# -eq 0 ] && return
  local hits
  hits=$(grep -nHE "$pattern" "$@" | grep -vE "$allowed")
  if [ -n "$hits" ]; then
    printf '%s\n' "$hits" | sed "s|^|$rule: |"
    status=1
  fi
}

none='^$'  # allows nothing: grep lines are never empty
quoted='^[[:space:]]*#[[:space:]]*include[[:space:]]*"'
own='"[A-Za-z0-9_]+\.h"'  # a header of the same folder, named without its folder

mapfile -t textio < <(sources textio)
mapfile -t mapfile_src < <(sources mapfile)
mapfile -t display < <(sources display)
mapfile -t below < <(sources textio mapfile display samples kelvane)
mapfile -t tools < <(sources tools)
mapfile -t tools_no_fftw < <(sources tools | grep -v '^tools/transform/')
mapfile -t not_mapfile < <(sources textio display driver tools kelvane samples bench tests)
mapfile -t no_fftw < <(sources textio mapfile display driver kelvane tests)
mapfile -t no_x11 < <(sources textio mapfile driver tools kelvane)
mapfile -t not_movie < <(sources driver tools | grep -v '^driver/sections\.cpp$')

# The driver's shared part: the sources of the drivercore library.
shared=$(sed -n '/add_library(drivercore/,/)/p' driver/CMakeLists.txt |
  grep -oE '[a-z_]+\.cpp' | sed 's/\.cpp$//' | paste -sd'|')
mapfile -t shared_src < <(sources driver | grep -E "^driver/($shared)\.(cpp|h)$")

forbid "textio includes nothing of ours" "$quoted" "($own|\"textio/)" "${textio[@]}"
forbid "mapfile includes only textio" "$quoted" "($own|\"(textio|mapfile)/)" "${mapfile_src[@]}"
forbid "display includes only textio" "$quoted" "($own|\"(textio|display)/)" "${display[@]}"
forbid "nothing below the driver includes driver/ or tools/" "#[[:space:]]*include[[:space:]]*\"(driver|tools)/" "$none" "${below[@]}"
forbid "tools include only display/tolpix.h of the display" "#[[:space:]]*include[[:space:]]*\"display/" '"display/tolpix\.h"' "${tools[@]}"
forbid "tools include only the driver's shared part" "#[[:space:]]*include[[:space:]]*\"driver/" "\"driver/($shared)\.h\"" "${tools[@]}" "${shared_src[@]}"
forbid "the driver's shared part does not include tools" "#[[:space:]]*include[[:space:]]*\"tools/" "$none" "${shared_src[@]}"
forbid "tools call the dialogue helpers, not the wait, menu or entry-box operations" '\btolpix(wait|menuinit|ioboxdisplay)\b' "$none" "${tools[@]}"
forbid "only mapfile/ uses the CCP4 library" '#[[:space:]]*include[[:space:]]*<ccp4/|\bccp4_file_' "$none" "${not_mapfile[@]}"
forbid "only tools/transform/, samples/ and bench/ include fftw3.h" '#[[:space:]]*include[[:space:]]*<fftw3' "$none" "${no_fftw[@]}" "${tools_no_fftw[@]}"
forbid "only display/ and the test and screenshot tools include X11 headers" '#[[:space:]]*include[[:space:]]*<X11/' "$none" "${no_x11[@]}"
forbid "only the movie (driver/sections.cpp) runs the display's timer" '\btolpixtimer\b' "$none" "${not_movie[@]}"

[ $status -eq 0 ] && echo "include directions respected"
exit $status
