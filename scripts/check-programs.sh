#!/usr/bin/env bash
# Fails unless every program of scripts/programs.txt is on the PATH and comes (dpkg -S) from a
# package that scripts/deps.sh names, from a package one of those depends on, or from an
# essential or required package. Run after scripts/deps.sh and before the first stage, so that a tool a
# later stage or a test needs, installed by hand on one machine, cannot hide a missing install
# step: on a fresh machine the run would fail in the middle instead.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t named < <(scripts/deps.sh --list)

# Installed packages: name, essential flag, dependencies (pre-dependencies too, every
# alternative of an "a | b"). The closure of what deps.sh names is computed over them.
closure=$(dpkg-query -W -f='${db:Status-Abbrev}\t${Package}\t${Essential}${Priority}\t${Pre-Depends}, ${Depends}\n' |
  awk -F'\t' -v named="${named[*]}" '
    $1 ~ /^ii/ {
      pkg = $2
      installed[pkg] = 1
      if ($3 ~ /(yes|required)/) keep[pkg] = 1
      n = split($4, parts, /[,|]/)
      deps[pkg] = ""
      for (i = 1; i <= n; i++) {
        d = parts[i]
        sub(/\(.*\)/, "", d); gsub(/[ \t]/, "", d); sub(/:.*/, "", d)
        if (d != "") deps[pkg] = deps[pkg] " " d
      }
    }
    END {
      m = split(named, start, " ")
      for (i = 1; i <= m; i++) { queue[++tail] = start[i]; keep[start[i]] = 1 }
      for (head = 1; head <= tail; head++) {
        k = split(deps[queue[head]], ds, " ")
        for (j = 1; j <= k; j++)
          if (installed[ds[j]] && !(ds[j] in keep)) { keep[ds[j]] = 1; queue[++tail] = ds[j] }
      }
      for (p in keep) print p
    }')

failed=0
while read -r program _; do
  [ -z "$program" ] || [ "${program:0:1}" = "#" ] && continue
  path=$(command -v "$program" || true)
  if [ -z "$path" ]; then
    echo "check-programs: $program is not installed; scripts/deps.sh must install its package" >&2
    failed=1
    continue
  fi
  # Through the alternatives' links to the file a package owns.
  owner=""
  for candidate in "$path" "$(readlink -f "$path")" "${path/#\/usr\/bin\//\/bin\/}"; do
    owner=$(dpkg -S "$candidate" 2>/dev/null | head -1 | cut -d: -f1) && [ -n "$owner" ] && break
  done
  if [ -z "$owner" ]; then
    echo "check-programs: $program ($path) belongs to no Debian package" >&2
    failed=1
  elif ! grep -qxF "$owner" <<<"$closure"; then
    echo "check-programs: $program comes from $owner, which scripts/deps.sh does not name" >&2
    failed=1
  fi
done <scripts/programs.txt
[ $failed -eq 0 ] && echo "check-programs: every program the stages and tests call is installed by scripts/deps.sh"
exit $failed
