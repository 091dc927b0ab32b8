#!/usr/bin/env bash
# Two monitors: an 800x600 one left of a 1024x768 primary, so at negative
# coordinates in Windows' terms.
NAME=monitors_left LAYOUT=1024x768,800x600,left
source "$(dirname "$0")/monitors_case.sh"
