# jq rows for bench/run (sourced; uses bench/lib.sh): the filter "." on a tiny document
# against the floor, and a lookup of the last member of a full 262,143-byte document
# against a static binary that only reads the same file and exits.

jq_tiny=$BENCH_WORK/jq-tiny.json
echo '{"a":[1,"x"]}' >"$jq_tiny"
row jq 'jq . (tiny document)' . "$jq_tiny"

# The reader: the same read loop into the same buffer, built on the kit's runtime.
jq_reader=$BENCH_WORK/jq-reader
cat >"$jq_reader.cpp" <<'SRC'
#include "common/entry.hpp"
#include "common/sys.hpp"
static char buf[262144];
int tool_main(int argc, char **argv)
{
	long fd = argc ? sys::open(argv[argc - 1], sys::o_rdonly) : -1;
	if (fd < 0)
		return 1;
	size_t held = 0;
	for (long n; held < 262140 && (n = sys::read(int(fd), buf + held, sizeof buf - 1 - held)) > 0;)
		held += size_t(n);
	sys::close(int(fd));
	return 0;
}
SRC
g++ -std=c++20 -Os -ffreestanding -fno-exceptions -fno-rtti -fno-stack-protector -fno-pic \
	-fno-asynchronous-unwind-tables -I "$KAVRO_SRC" -static -nostdlib -nostartfiles -no-pie -s \
	-o "$jq_reader" "$jq_reader.cpp" "$KAVRO_SRC/common/start.cpp" "$KAVRO_SRC/common/mem.cpp"

# An object of many small records, filled to exactly 262,143 bytes by its last member.
jq_big=$BENCH_WORK/jq-full.json
python3 - "$jq_big" <<'PY'
import sys
size, parts, i = 262143, ["{"], 0
while True:
    m = '"k%06d": {"id": %d, "name": "item %d", "tags": ["a", "b\\"c"], "ok": true},\n' % (i, i, i)
    if sum(map(len, parts)) + len(m) + 40 > size:
        break
    parts.append(m)
    i += 1
head = "".join(parts) + '"last": "'
pad = size - len(head) - 2
open(sys.argv[1], "w").write(head + "x" * pad + '"}')
PY

jq_b=$BIN/jq
echo "| jq | jq .last (last member of a 262,143-byte file) | $(stat -c %s "$jq_b") |" \
	"$(count_syscalls "$jq_b" .last "$jq_big") | $(count_instructions "$jq_b" .last "$jq_big") |" \
	"$(compare_wall "$jq_reader $jq_big" "$jq_b" .last "$jq_big") vs reader | $(peak_rss "$jq_b" .last "$jq_big") |"
