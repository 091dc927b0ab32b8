#!/usr/bin/env bash
# Two monitors: a wide 960x540 one right of a 1024x768 primary.
NAME=monitors_right LAYOUT=1024x768,960x540,right
source "$(dirname "$0")/monitors_case.sh"
