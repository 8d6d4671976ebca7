#!/usr/bin/env bash
# The layers hold when the code is compiled, not only in ARCHITECTURE.md: in
# a copy of the tree, a library that includes a header of a library it may
# not use must fail to build on that include.
#   - the window (shell) naming the engine adapter's page header;
#   - the session (no widgets) naming a widget header.
# The copy without the includes preprocesses, so each failure is the include's.
# Usage: forbidden-include.sh SOURCE_DIR ENGINE WORK_DIR
set -euo pipefail
source=$1 engine=$2 work=$3
adapter_header=$([[ $engine == webkit ]] && echo webkitpage.h || echo webenginepage.h)

rm -rf "$work"
mkdir -p "$work/tree"
trap 'rm -rf "$work"' EXIT
tar -C "$source" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$work/tree" -xf -
[[ -f "$work/tree/src/engines/$engine/$adapter_header" ]] || { echo "FAIL: no $adapter_header in the tree"; exit 1; }

# The window's generated form is all it needs beside the sources: its rule
# alone is run, and nothing else is built.
cmake -G "Unix Makefiles" -S "$work/tree" -B "$work/build" -DVELMOR_ENGINE="$engine" -DVELMOR_BUILD_TESTS=OFF \
    -DVELMOR_BUILD_TOOLS=OFF > "$work/configure.log" 2>&1 || { cat "$work/configure.log"; exit 1; }
autogen=src/shell/CMakeFiles/velmor_shell_autogen.dir
make -C "$work/build" -f "$autogen/build.make" "$autogen/build" > "$work/autogen.log" 2>&1 \
    || { cat "$work/autogen.log"; exit 1; }

# Preprocesses SOURCE of LIBRARY's folder; its output in $work/out.
preprocess() { make -C "$work/build/src/$1" "$2.i" > "$work/out" 2>&1; }

status=0
for case in "shell mainwindow.cpp \"$adapter_header\"" "session pagesession.cpp <QWidget>"; do
    read -r library file include <<< "$case"
    if ! preprocess "$library" "$file"; then
        echo "FAIL: $library/$file does not build even without the include:"; cat "$work/out"; exit 1
    fi
    sed -i "1i #include $include" "$work/tree/src/$library/$file"
    name=${include//[\"<>]/}
    if preprocess "$library" "$file"; then
        echo "FAIL: $library built with #include $include"; status=1
    elif ! grep -q "$name: No such file" "$work/out"; then
        echo "FAIL: $library/$file failed, but not on $name:"; cat "$work/out"; status=1
    else
        echo "PASS: $library/$file with #include $include does not build"
    fi
done
exit $status
