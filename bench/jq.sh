# jq rows for bench/run (sourced; uses bench/lib.sh): the filter "." on a tiny document
# against the floor, and lookups of the last member of two full 262,143-byte documents
# (many small records; long strings between long runs of whitespace) against a static
# binary that only reads the same file and exits, each also built without confinement,
# and that reader loading one byte of every line it read: the part no scan avoids.
# Then the lookups that cost a byte walk most, one for each shape of document: many
# small values, each document exactly 262,143 bytes with its target at the end, built
# without confinement and timed against the reader that loads every line.

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
	for (size_t i = 0; TOUCH && i < held; i += 64) // one load per line, as any scan makes
		(void)*static_cast<volatile char *>(buf + i);
	return 0;
}
SRC
# build_reader TOUCH OUT
build_reader() {
	g++ -std=c++20 -Oz -ffreestanding -fno-exceptions -fno-rtti -fno-stack-protector -fno-pic \
		-fno-asynchronous-unwind-tables -I "$KAVRO_SRC" -static -nostdlib -nostartfiles -no-pie -s \
		-DTOUCH="$1" -o "$2" "$jq_reader.cpp" "$KAVRO_SRC/common/start.cpp" "$KAVRO_SRC/common/mem.cpp"
}
build_reader 0 "$jq_reader"
build_reader 1 "$jq_reader-touch"

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

# The same size, made of what a scanner can pass many bytes at a time: members whose
# values are long strings (with an escape now and then), objects between them, and long
# runs of blanks, newlines and tabs between members.
jq_long=$BENCH_WORK/jq-long.json
python3 - "$jq_long" <<'PY'
import sys
size, parts, i = 262143, ["{"], 0
text = ("lorem ipsum dolor sit amet " * 60)[:1500] + '\\"quoted\\" '
gap = "\n" + "\t" * 8 + " " * 600 + "\n"
while True:
    m = '"k%05d": "%s",%s"o%05d": {"s": "%s"},%s' % (i, text, gap, i, text[:300], gap)
    if sum(map(len, parts)) + len(m) + 40 > size:
        break
    parts.append(m)
    i += 1
head = "".join(parts) + '"last": "found"'
open(sys.argv[1], "w").write(head + " " * (size - len(head) - 1) + "}")
PY

# jq_big_row LABEL FILE: the lookup of .last in FILE against the reader.
jq_big_row() {
	local label=$1 doc=$2 b=$BIN/jq size calls instr per wall rss
	[ "$(stat -c %s "$doc")" = 262143 ] || die "$doc is not 262,143 bytes"
	check_run "$b" .last "$doc"
	size=$(stat -c %s "$b")
	calls=$(list_syscalls jq "$label" "$b" .last "$doc")
	instr=$(count_instructions "$UBIN/jq" .last "$doc")
	per=$(python3 -c "import sys; print('%.2f' % (int(sys.argv[1]) / 262143))" "$instr")
	wall=$(compare_wall "$jq_reader $doc" "$b" .last "$doc")
	rss=$(peak_rss "$b" .last "$doc")
	echo "| jq | $label, $per instructions per byte | $size | $calls | $instr |" \
		"${wall/ |/ vs reader |} | $rss |"
	# The scan's own share: the same lookup without the filter's installation.
	wall=$(compare_wall "$jq_reader $doc" "$UBIN/jq" .last "$doc")
	echo "| jq | the same, built with -DKAVRO_CONFINE=OFF | $(stat -c %s "$UBIN/jq") |" \
		"$(count_syscalls "$UBIN/jq" .last "$doc") |" \
		"$instr | ${wall/ |/ vs reader |} | $rss |"
}

jq_big_row "jq .last (last member of a 262,143-byte file of small records)" "$jq_big"
jq_big_row "jq .last (262,143 bytes of long strings and whitespace runs)" "$jq_long"

# What no scan of the text goes below here: loading the bytes that were read.
wall=$(compare_wall "$jq_reader $jq_big" "$jq_reader-touch" "$jq_big")
echo "| jq | (reference) the reader, then one load per 64-byte line of the 262,143 bytes |" \
	"— | — | — | ${wall/ |/ vs reader |} | — |"

# The shapes whose many small values make the walk from one to the next the cost: an
# object of small members, arrays of small numbers and of short strings, an indented
# object, an array of small records. Each filled to exactly 262,143 bytes by its last
# value; the file name's suffix is the filter that looks up that last value.
python3 - "$BENCH_WORK" <<'PY'
import sys
size, work = 262143, sys.argv[1]
def fill(name, head, item, n_at_end, tail):
    # items while they fit, then the last value padded with pad to the exact size
    parts, i = [head], 0
    while sum(map(len, parts)) + len(item(i)) + 64 < size:
        parts.append(item(i))
        i += 1
    text, (last_head, pad, last_tail) = "".join(parts), tail
    text += last_head
    text += pad * (size - len(text) - len(last_tail)) + last_tail
    filt = n_at_end(i)
    open("%s/jq-shape-%s=%s" % (work, name, filt), "w").write(text)
fill("members", "{", lambda i: '"k%06d":%d,' % (i, i), lambda i: ".last", ('"last":"', "x", '"}'))
fill("numbers", "[", lambda i: "%d," % (i * 7919 % 100000), lambda i: ".[%d]" % i, ("", "9", "]"))
fill("strings", "[", lambda i: '"s%05d",' % i, lambda i: ".[%d]" % i, ('"', "y", '"]'))
fill("indented", "{\n", lambda i: '    "key_%05d": %d,\n' % (i, i * 3), lambda i: ".last",
     ('    "last": "', "z", '"\n}'))
fill("records", "[", lambda i: '{"id": %d, "name": "n%d", "tags": ["a", "b"], "ok": true},\n' % (i, i),
     lambda i: ".[%d].name" % i, ('{"id": 0, "name": "', "n", '"}]'))
PY

# jq_shape_row LABEL FILE: the lookup its name ends with, unconfined, against the reader
# that loads every line.
jq_shape_row() {
	local label=$1 doc=$2 filt=${2#*=} b=$UBIN/jq instr per wall
	[ "$(stat -c %s "$doc")" = 262143 ] || die "$doc is not 262,143 bytes"
	check_run "$b" "$filt" "$doc"
	instr=$(count_instructions "$b" "$filt" "$doc")
	per=$(python3 -c "import sys; print('%.2f' % (int(sys.argv[1]) / 262143))" "$instr")
	wall=$(compare_wall "$jq_reader-touch $doc" "$b" "$filt" "$doc")
	echo "| jq | jq $filt ($label), $per instructions per byte | $(stat -c %s "$b") |" \
		"$(count_syscalls "$b" "$filt" "$doc") | $instr | ${wall/ |/ vs loading reader |} |" \
		"$(peak_rss "$b" "$filt" "$doc") |"
}

for shape in "members:an object of small members" "numbers:an array of small numbers" \
	"strings:an array of short strings" "indented:an indented object" \
	"records:an array of small records"; do
	jq_shape_row "${shape#*:}" "$(echo "$BENCH_WORK"/jq-shape-"${shape%%:*}"=*)"
done
