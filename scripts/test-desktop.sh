#!/usr/bin/env bash
# Runs the widget tests again the way a Hungarian user's desktop shows the program: through
# Qt's xcb platform on a real X server (Xvfb) under hu_HU.UTF-8, where title bars, hovering,
# tooltips and the regional date formats are those of the window system and the locale, not
# of the offscreen platform and the C locale. The date test also runs under a German, an
# American and the C locale. Needs the private server's settings in the environment (as
# scripts/test.sh exports them) and the built tree in build/. Logs go to .work/desktop/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

if [[ ${1:-} != --on-display ]]; then
    bash scripts/locales.sh
    # Widget tests: those that create windows.
    tests=()
    for src in tests/tst_*.cpp; do
        if grep -qE 'QApplication|QWidget|QDialog|support/(TestApp|EditingApp)\.h' "$src"; then
            tests+=("$(basename "$src" .cpp)")
        fi
    done
    # A screen large enough for the main window with a dialog over it.
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
        bash "$root/scripts/test-desktop.sh" --on-display "${tests[@]}"
fi
shift

mkdir -p .work/desktop
failed=()
run() { # locale, test, test arguments...
    local locale=$1 name=$2
    shift 2
    local log=.work/desktop/$name-$locale.log
    echo "== $name $* (xcb, $locale)"
    if ! LANG=$locale LC_ALL=$locale QT_QPA_PLATFORM=xcb timeout 900 "build/tests/$name" "$@" \
        >"$log" 2>&1; then
        failed+=("$name ($locale)")
        grep -E '^(FAIL!|   |QFATAL)' "$log" | head -40 || true
    fi
    grep -E '^Totals:' "$log" || true
}
for name in "$@"; do
    run hu_HU.UTF-8 "$name"
done
for locale in de_DE.UTF-8 en_US.UTF-8 C; do
    run "$locale" tst_desktop dateAndTimeText
done
if ((${#failed[@]})); then
    echo "desktop tests failed: ${failed[*]}"
    exit 1
fi
echo "desktop tests passed"
