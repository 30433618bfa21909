# curl's rows for bench/run: a small fetch (the usual columns), and in the streaming
# table the throughput of a 1 GiB loopback download against a plain read/write copy of
# the same stream with the same 64 KiB buffer, and peak memory for 1 GiB against 1 MiB.
# Everything runs inside tests/ns-run: nginx serves the files, the bench's responder
# answers the lookup on the compiled-in resolver's address.
# (Heredocs are tab-stripped: python nesting is indented with spaces.)

if [ -z "${CURL_BENCH_INSIDE:-}" ]; then
	CURL_BENCH_INSIDE=1 "$KAVRO_SRC/tests/ns-run" bash -c \
		'. "$KAVRO_SRC/bench/lib.sh"; . "$KAVRO_SRC/bench/curl.sh"'
else
	cb=$BENCH_WORK/curl
	mkdir -p "$cb/www"
	head -c 1024 /dev/urandom | base64 -w 76 >"$cb/www/small.txt"
	truncate -s 1M "$cb/www/1m.bin"
	truncate -s 1G "$cb/www/1g.bin"
	cat >"$cb/nginx.conf" <<-CONF
		daemon off; master_process off; pid $cb/nginx.pid; error_log $cb/error.log;
		events { worker_connections 16; }
		http {
			access_log off; sendfile on;
			client_body_temp_path $cb; proxy_temp_path $cb; fastcgi_temp_path $cb;
			uwsgi_temp_path $cb; scgi_temp_path $cb;
			server { listen 127.0.0.1:8080; root $cb/www; }
		}
	CONF
	nginx -p "$cb" -c "$cb/nginx.conf" -e "$cb/error.log" &
	start_dns_responder
	trap 'kill $(jobs -p) 2>/dev/null' EXIT
	url=http://bench.test:8080
	for _ in $(seq 500); do # until both servers answer
		"$BIN/curl" "$url/small.txt" >/dev/null 2>&1 && break
		sleep 0.01
	done
	cat >"$cb/copy.c" <<-'C'
		/* copy IP PORT PATH HOST: the same request, then a plain read/write loop. */
		#include <arpa/inet.h>
		#include <stdio.h>
		#include <stdlib.h>
		#include <unistd.h>
		static char buf[65536];
		int main(int argc, char **argv)
		{
			struct sockaddr_in sa = {.sin_family = AF_INET, .sin_port = htons(atoi(argv[2]))};
			char req[2048];
			int s = socket(AF_INET, SOCK_STREAM, 0), n;
			ssize_t r;
			if (argc != 5 || inet_pton(AF_INET, argv[1], &sa.sin_addr) != 1 ||
			    connect(s, (struct sockaddr *)&sa, sizeof sa))
				return 1;
			n = snprintf(req, sizeof req, "GET %s HTTP/1.0\r\nHost: %s\r\nConnection: close\r\n\r\n",
				     argv[3], argv[4]);
			write(s, req, n);
			while ((r = read(s, buf, sizeof buf)) > 0)
				write(1, buf, r);
			return r < 0;
		}
	C
	gcc -O2 -static -w -o "$cb/copy" "$cb/copy.c"
	row curl "fetch of $(stat -c %s "$cb/www/small.txt") B" "$url/small.txt"
	confine_row curl "fetch of $(stat -c %s "$cb/www/small.txt") B" "$url/small.txt"
	# Alternating runs, swapping which goes first: the machine's load drifts less
	# between neighbours. Each round gives the ratio of the two times.
	stream=$(python3 - "${CURL_RUNS:-11}" "$cb/copy 127.0.0.1 8080 /1g.bin bench.test" "$BIN/curl $url/1g.bin" <<-'PY'
		import statistics, subprocess, sys, time
		runs, cmds = int(sys.argv[1]), [c.split() for c in sys.argv[2:]]
		times = [[], []]
		for i in range(runs + 1):
		    for k in (0, 1) if i % 2 else (1, 0):
		        t = time.perf_counter()
		        subprocess.run(cmds[k], stdout=subprocess.DEVNULL, check=True)
		        if i:  # the first round warms the page cache
		            times[k].append(time.perf_counter() - t)
		ratios = [c / t for c, t in zip(*times)]
		copy, tool = (statistics.median(t) for t in times)
		print("%.2fx (%.2f–%.2f) | %.0f | %.0f" % (statistics.median(ratios), min(ratios),
		                                          max(ratios), 1024 / tool, 1024 / copy))
	PY
	)
	big=$(peak_rss "$BIN/curl" "$url/1g.bin")
	small=$(peak_rss "$BIN/curl" "$url/1m.bin")
	echo "| curl | 1 GiB loopback download vs plain 64 KiB read/write copy | $stream | $big vs $small |" \
		>>"$BENCH_WORK/throughput.md"
fi
