# Sourced by the benchmark scripts, from the repository's root with their arguments: the build
# to measure ($1, default build/) and its brimwatch, a scratch folder removed on exit, and the
# processes to end with it (add them to pids).
build=$(realpath "${1:-build}")
exe=$build/src/app/brimwatch
cmake --build "$build" --target brimwatch >/dev/null
work=$(mktemp -d)
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
