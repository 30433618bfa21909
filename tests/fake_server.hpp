// The lifecycle every fake server of the network tests shares: a worker thread waits on
// the server's socket and a stop pipe, hands each readable moment to the server, and
// keeps a log of what it was sent, read under a lock from the test's thread.
#pragma once
#include <functional>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>
#include <vector>

template <class Seen>
class fake_server {
public:
	std::vector<Seen> seen()
	{
		std::lock_guard<std::mutex> g(lock);
		return log;
	}

protected:
	~fake_server() { stop(); }

	// Serves fd from now on: on_ready runs on the worker each time fd is readable.
	void start(int listen_fd, std::function<void()> on_ready)
	{
		fd = listen_fd;
		if (pipe(stop_pipe))
			throw std::runtime_error("fake server: pipe");
		worker = std::thread([this, on_ready] {
			for (;;) {
				pollfd p[2] = {{fd, POLLIN, 0}, {stop_pipe[0], POLLIN, 0}};
				poll(p, 2, -1);
				if (p[1].revents)
					return;
				on_ready();
			}
		});
	}

	// Ends the worker and closes fd. A derived server calls it first in its destructor,
	// so the worker never runs on members already destroyed.
	void stop()
	{
		if (!worker.joinable())
			return;
		(void)!write(stop_pipe[1], "x", 1);
		worker.join();
		close(fd);
		close(stop_pipe[0]);
		close(stop_pipe[1]);
	}

	void record(const Seen &s)
	{
		std::lock_guard<std::mutex> g(lock);
		log.push_back(s);
	}

	int fd = -1;

private:
	int stop_pipe[2] = {-1, -1};
	std::mutex lock;
	std::vector<Seen> log;
	std::thread worker;
};
