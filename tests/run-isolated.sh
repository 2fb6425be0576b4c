#!/bin/sh
# Runs one test in a fresh temporary directory with its own HOME and settings location.
set -e
dir=$(mktemp -d "${TMPDIR:-/tmp}/kve-test.XXXXXX")
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/home" "$dir/config"
cd "$dir"
HOME="$dir/home" XDG_CONFIG_HOME="$dir/config" "$@"
