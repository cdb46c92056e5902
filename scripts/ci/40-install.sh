#!/usr/bin/env bash
# Installs lumra into a temporary prefix and checks what a user gets from it: the binary runs,
# the manual page renders without warnings and covers the commands, features and error
# categories, the bash, zsh and fish completions load from their installed places and complete,
# and the shell sessions shown in the user docs and the manual page still match the binary.
#
# LUMRA_BUILD_DIR chooses the build directory (default build/dev, the README test command's).
set -euo pipefail
cd "$(dirname "$0")/../.."

# Tools this check needs beyond the build, installed with it when missing (CI runs as root on
# Debian); without --no-install-recommends fish would bring a clipboard tool and a web browser.
need=()
command -v man >/dev/null || need+=(man-db)
[ -f /usr/share/bash-completion/bash_completion ] || need+=(bash-completion)
command -v zsh >/dev/null || need+=(zsh)
command -v fish >/dev/null || need+=(fish)
command -v jq >/dev/null || need+=(jq)
scripts/install-deps.sh --no-install-recommends "${need[@]}"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

build_dir=${LUMRA_BUILD_DIR:-build/dev}
if [ ! -f "$build_dir/CMakeCache.txt" ] && [ "$build_dir" = build/dev ]; then
  cmake --preset dev
else
  # Configuring again is cheap and picks up install rules added since the last configure.
  cmake -S . -B "$build_dir" -G Ninja >/dev/null
fi
cmake --build "$build_dir" --target lumra

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
cmake --install "$build_dir" --prefix "$prefix"

echo "== installed files"
for path in bin/lumra share/man/man1/lumra.1 share/bash-completion/completions/lumra \
  share/zsh/site-functions/_lumra share/fish/vendor_completions.d/lumra.fish; do
  [ -f "$prefix/$path" ] || fail "missing $prefix/$path"
done
[ -x "$prefix/bin/lumra" ] || fail "$prefix/bin/lumra is not executable"

echo "== installed binary"
mkdir -p "$scratch/home"
export HOME=$scratch/home
export PATH="$prefix/bin:$PATH"
unset LC_ALL LANG LUMRA_SIMULATION
features=$(lumra features) || fail "lumra features failed"
[ "$(head -n1 <<<"$features")" = $'NAME\tVCP CODE' ] || fail "lumra features: unexpected header"
[ "$(wc -l <<<"$features")" -eq 19 ] || fail "lumra features: want 18 features"
feature_names=$(tail -n +2 <<<"$features" | cut -f1)
monitors=$(lumra list) || fail "lumra list failed"
[ "$(head -n1 <<<"$monitors")" = $'INDEX\tID\tNAME\tBACKEND\tMODE\tCONNECTOR' ] ||
  fail "lumra list: unexpected header: $(head -n1 <<<"$monitors")"
echo "$monitors"

echo "== manual page"
page=$prefix/share/man/man1/lumra.1
warnings=$(man --warnings -l "$page" 2>&1 >/dev/null) || fail "man -l $page failed"
[ -z "$warnings" ] || fail "man -l $page warns: $warnings"
[ "$(man -M "$prefix/share/man" -w lumra)" = "$page" ] || fail "man does not find lumra under $prefix"
rendered=$(MANWIDTH=200 man -l "$page" 2>/dev/null) || fail "man -l $page failed"
project_version=$(sed -n 's/^project(lumra VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
grep -q "^\.TH LUMRA 1 [0-9-]* \"Lumora $project_version\"" "$page" ||
  fail "the manual page's title line does not carry version $project_version"
# Words the page must explain; a missing one means the page fell behind the tool.
categories="timeout not-found-or-hotplug unsupported busy backend-unavailable protocol
  invalid-argument permission not-applied transport"
required="NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS FEATURES VALUES SAFETY EXIT STATUS
  ENVIRONMENT FILES EXAMPLES list get set adjust toggle capabilities caps save restore features --json --lang --timeout
  --unsafe --verify --save-settings --wait --help LC_ALL LANG HOME LUMRA_SIMULATION ddc-XXXXXXXXXXXXXXXX.lock $categories
  $feature_names"
for word in $required; do
  grep -qwF -e "$word" <<<"$rendered" || fail "the manual page does not mention $word"
done
echo "rendered $(wc -l <<<"$rendered") lines"

echo "== user docs"
for doc in docs/user-guide.md docs/json-reference.md docs/errors.md docs/simulator.md; do
  [ -f "$doc" ] || fail "missing $doc"
  grep -qF "($doc)" README.md || fail "README.md does not link $doc"
done
for category in $categories; do
  grep -qs "^## \`$category\`" docs/errors.md || fail "docs/errors.md has no section for $category"
done

# Runs the shell sessions of a document and compares their output with the document's.
# Markdown: the ```console blocks; man: the .EX blocks. "$ " starts a command, "> " continues
# it, other lines are its expected standard output and error. Each document runs in a fresh
# HOME and working directory, on the built-in simulated monitors, in English, so the commands of
# one document see the effects of the earlier ones, as a reader following along would.
check_session() {
  local doc=$1 kind=$2 work count i
  if [ ! -f "$doc" ]; then
    fail "missing $doc"
    return
  fi
  work=$(mktemp -d "$scratch/session.XXXX")
  mkdir -p "$work/home" "$work/cwd"
  # A session that names a scenario under docs/ reads it as a reader in the source tree would.
  ln -s "$PWD/docs" "$work/cwd/docs"
  awk -v dir="$work" -v kind="$kind" '
    function unescape(line) {
      gsub(/\\-/, "-", line); gsub(/\\\(aq/, "\047", line); gsub(/\\\(dq/, "\"", line)
      gsub(/\\e/, "\\", line); gsub(/\\&/, "", line)
      return line
    }
    kind == "markdown" && /^```console[[:space:]]*$/ { inside = 1; next }
    kind == "markdown" && inside && /^```/ { inside = 0; next }
    kind == "man" && /^\.EX/ { inside = 1; next }
    kind == "man" && /^\.EE/ { inside = 0; next }
    !inside { next }
    kind == "man" && /^\./ { next }
    {
      line = kind == "man" ? unescape($0) : $0
      if (substr(line, 1, 2) == "$ ") {
        n++; mode = "command"
        print substr(line, 3) > (dir "/cmd." n); printf "" > (dir "/want." n)
      } else if (mode == "command" && substr(line, 1, 2) == "> ") {
        print substr(line, 3) > (dir "/cmd." n)
      } else if (n > 0) {
        mode = "output"; print line > (dir "/want." n)
      }
    }
    END { print n + 0 > (dir "/count") }
  ' "$doc"
  count=$(cat "$work/count")
  if [ "$count" -eq 0 ]; then
    fail "$doc: no shell session found"
    return
  fi
  {
    echo "cd '$work/cwd'"
    for ((i = 1; i <= count; i++)); do
      echo "{ . '$work/cmd.$i'; } >'$work/got.$i' 2>&1"
    done
  } >"$work/run.sh"
  env -u LC_ALL -u LANG -u LUMRA_SIMULATION HOME="$work/home" \
    bash --noprofile --norc "$work/run.sh" </dev/null || true
  for ((i = 1; i <= count; i++)); do
    if ! diff -u --label "expected" --label "actual" "$work/want.$i" "$work/got.$i" >"$work/diff"; then
      fail "$doc: the output of \$ $(head -n1 "$work/cmd.$i") differs:"
      cat "$work/diff" >&2
    fi
  done
  echo "$doc: $count commands"
}

echo "== shell sessions in the docs"
check_session docs/user-guide.md markdown
check_session docs/json-reference.md markdown
check_session docs/errors.md markdown
check_session man/lumra.1 man

echo "== completions"
LUMRA_COMPLETION_DATA_DIR=$prefix/share \
  bash completions/tests/bash-completion-test.sh "$prefix/bin/lumra" \
  "$prefix/share/bash-completion/completions/lumra" || fail "bash completion"
zsh -n "$prefix/share/zsh/site-functions/_lumra" || fail "zsh cannot parse _lumra"
timeout 120 zsh completions/tests/zsh-completion-test.zsh "$prefix/bin/lumra" \
  "$prefix/share/zsh/site-functions" || fail "zsh completion"
fish -n "$prefix/share/fish/vendor_completions.d/lumra.fish" || fail "fish cannot parse lumra.fish"
fish completions/tests/fish-completion-test.fish "$prefix/bin/lumra" "$prefix/share" ||
  fail "fish completion"

if [ "$failures" -ne 0 ]; then
  echo "install check: $failures failures" >&2
  exit 1
fi
echo "install check: all passed"
