#!/usr/bin/env bash
# Generates the locales the widget tests run under (a Hungarian, a German and an American
# desktop), where they are missing. Needs root (or sudo) only when one has to be generated.
set -euo pipefail

wanted=(hu_HU.UTF-8 de_DE.UTF-8 en_US.UTF-8)

# `locale -a` spells them in lower case without the dash: hu_HU.utf8.
have=$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]')
missing=()
for l in "${wanted[@]}"; do
    short=$(echo "${l/UTF-8/utf8}" | tr '[:upper:]' '[:lower:]')
    grep -qx "$short" <<<"$have" || missing+=("$l")
done
((${#missing[@]})) || exit 0

sudo=()
if ((EUID != 0)); then
    if command -v sudo >/dev/null; then
        sudo=(sudo)
    else
        echo "locales: generating ${missing[*]} needs root" >&2
        exit 1
    fi
fi
echo "locales: generating ${missing[*]}"
for l in "${missing[@]}"; do
    # Uncomment the line in /etc/locale.gen, or add it when the file does not list it.
    if grep -q "^# *$l UTF-8" /etc/locale.gen 2>/dev/null; then
        "${sudo[@]}" sed -i "s/^# *$l UTF-8/$l UTF-8/" /etc/locale.gen
    elif ! grep -q "^$l UTF-8" /etc/locale.gen 2>/dev/null; then
        echo "$l UTF-8" | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    fi
done
"${sudo[@]}" locale-gen
