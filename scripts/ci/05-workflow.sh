#!/usr/bin/env bash
# The hosted CI workflow cannot run here; check at least that it is YAML with the jobs it
# promises (Linux, the two kinds of Mac, the tagged release).
set -euo pipefail
cd "$(dirname "$0")/../.."
need=()
command -v python3 >/dev/null || need+=(python3)
python3 -c 'import yaml' 2>/dev/null || need+=(python3-yaml)
scripts/install-deps.sh "${need[@]}"
python3 - .github/workflows/ci.yml <<'PY'
import sys
import yaml

with open(sys.argv[1]) as f:
    workflow = yaml.safe_load(f)
jobs = workflow["jobs"]
missing = {"linux", "macos", "release"} - set(jobs)
if missing:
    sys.exit(f"{sys.argv[1]}: missing jobs {sorted(missing)}")
runners = jobs["macos"]["strategy"]["matrix"]["runner"]
if len(runners) != 2:
    sys.exit(f"{sys.argv[1]}: want an Apple silicon and an Intel runner, got {runners}")
print(f"{sys.argv[1]}: parses, jobs {sorted(jobs)}")
PY
