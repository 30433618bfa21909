// The record walk of pkill: one batch of /proc directory records, every process listed
// in it examined and signalled when its command name is NAME.
#pragma once
#include <cstddef>
#include <cstdint>

inline constexpr size_t name_size = 256;  // NAME and its zero byte
inline constexpr size_t path_size = 256;  // "/proc/" + process ID + "/comm" and a zero
inline constexpr size_t comm_size = 256;
// The kernel keeps at most 15 bytes of a command name (and /proc adds a newline), so a
// read of 200 always takes a whole name, and leaves comm room to spare.
inline constexpr size_t comm_read_max = 200;

// The only two signals pkill sends: the default asks a process to end, -9 forces it.
inline constexpr int sig_term = 15;
inline constexpr int sig_kill = 9;

extern int sig;          // signal to send
extern uint8_t hit;      // set once a signal has been delivered
extern uint64_t selfp;   // our own process ID, never signalled
extern char path[path_size];
extern char comm[comm_size];

// Takes NAME; false when it is longer than 255 bytes (then nothing can match).
bool set_name(const char *arg);

// Walks n bytes of getdents64 records, examining each process the moment it is met.
// Returns false when a record length of 0 ends the whole scan.
bool walk_batch(const uint8_t *batch, size_t n);

// The two contacts with the running system, provided by whoever links the walk: the
// tool links system.cpp, which makes the real calls; tests and fuzzers bring fakes, so
// the hosted build of the walk can never signal a real process.
// read_comm opens file, reads at most max bytes into buf and closes it again; it returns
// the byte count, or a negative number when the file cannot be opened or read.
long read_comm(const char *file, char *buf, size_t max);
// send_signal returns true only when the signal was delivered.
bool send_signal(uint64_t pid, int signo);
