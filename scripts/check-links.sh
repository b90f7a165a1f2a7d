#!/usr/bin/env bash
# Checks the links between the project's Markdown files: every relative link
# in a tracked *.md file must point at a file or folder that exists, and a
# link's #anchor at a heading of the Markdown file it names. Links with a
# scheme (https:, mailto:) are left alone: no network. Code spans and fenced
# code blocks are not read. Prints each broken link as FILE:LINE: TARGET and
# exits 1 if there is one.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
files=()
while IFS= read -r -d '' f; do files+=("$f"); done < <(git ls-files -z '*.md')
[ ${#files[@]} -gt 0 ] || { echo "check-links: no tracked Markdown files" >&2; exit 1; }

awk '
  # The anchor a heading gets: lower case, punctuation dropped, blanks to "-";
  # a repeated heading gets -1, -2, ...
  function slug(text,   s) {
    s = tolower(text)
    gsub(/[^a-z0-9 _-]/, "", s)
    gsub(/ /, "-", s)
    return s
  }
  function dir_of(path) { return path ~ /\// ? substr(path, 1, match(path, /\/[^\/]*$/)) : "" }
  function add_link(target,   t) {
    t = target
    sub(/^[ \t]+/, "", t)
    if (t ~ /^</) { sub(/^</, "", t); sub(/>.*$/, "", t) }
    else sub(/[ \t].*$/, "", t)            # a title after the target
    if (t == "" || t ~ /^[A-Za-z][A-Za-z0-9+.-]*:/) return
    n_links++
    link_file[n_links] = FILENAME; link_line[n_links] = FNR; link_target[n_links] = t
  }
  FNR == 1 { fence = ""; delete seen; read_files[FILENAME] = 1; n_files++ }
  {
    line = $0
    if (fence != "") { if (line ~ ("^ ? ? ?" fence)) fence = ""; next }
    if (match(line, /^ ? ? ?(```+|~~~+)/)) { fence = substr(line, RSTART, RLENGTH); sub(/^ +/, "", fence); fence = substr(fence, 1, 3); next }
    if (match(line, /^ ? ? ?#+[ \t]/)) {
      h = line; sub(/^ ? ? ?#+[ \t]+/, "", h); sub(/[ \t]+#*[ \t]*$/, "", h)
      s = slug(h)
      if (s in seen) { seen[s]++; s = s "-" seen[s] } else seen[s] = 0
      anchors[FILENAME "#" s] = 1
    }
    gsub(/`[^`]*`/, "", line)
    if (match(line, /^ ? ? ?\[[^]]+\]:/)) { add_link(substr(line, RSTART + RLENGTH)); next }
    while (match(line, /\]\([^)]*\)/)) {
      add_link(substr(line, RSTART + 2, RLENGTH - 3))
      line = substr(line, RSTART + RLENGTH)
    }
  }
  END {
    bad = 0
    for (i = 1; i <= n_links; i++) {
      t = link_target[i]; src = link_file[i]
      path = t; anchor = ""
      if (index(t, "#")) { path = substr(t, 1, index(t, "#") - 1); anchor = substr(t, index(t, "#") + 1) }
      if (path == "") resolved = src
      else if (path ~ /^\//) resolved = substr(path, 2)
      else resolved = dir_of(src) path
      sub(/\/$/, "", resolved)
      q = resolved; gsub(/\047/, "\047\\\047\047", q)
      if (resolved != "" && system("test -e \047" q "\047") != 0) {
        printf "%s:%d: %s (no such file)\n", src, link_line[i], t; bad++; continue
      }
      # Anchors are checked in the Markdown files read here.
      norm = resolved
      while (sub(/[^\/]+\/\.\.\//, "", norm)) {}
      gsub(/\.\//, "", norm)
      if (anchor != "" && (norm in read_files) && !((norm "#" tolower(anchor)) in anchors)) {
        printf "%s:%d: %s (no such heading)\n", src, link_line[i], t; bad++
      }
    }
    if (bad) { printf "check-links: %d broken link(s)\n", bad; exit 1 }
    printf "check-links: %d relative link(s) in %d file(s), all found\n", n_links, n_files
  }
' "${files[@]}"
