#!/usr/bin/env bash
# Key generation time of zavkeygen against openssl genrsa, both making a
# 2048-bit RSA key with exponent 65537 into a file. The prime search takes a
# random time, so many runs are needed for a stable mean.
# Usage: bench/zavkeygen_genrsa.sh [build dir, default build/release] [runs, default 100]
set -euo pipefail
build=${1:-build/release}
runs=${2:-100}
zavkeygen=$(realpath "$build/zavkeygen/zavkeygen")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work
hyperfine --warmup 3 --runs "$runs" -N \
  "$zavkeygen -q -f RsaPrivateKeyFile=$work/zav.key" \
  "openssl genrsa -out $work/openssl.pem 2048"
