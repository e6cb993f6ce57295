#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Unix-domain stream sockets named by a file, for the short exchanges between two copies of the
// program on one machine. Every call works on one descriptor owned by its caller and waits at
// most the time it is given; any thread may call them for the descriptors it owns.

namespace torvex {

constexpr int kNoLocalSocket = -1;

// A listening socket at `path`. A file left at the path by an earlier process is removed first,
// so only call this while holding the lock that makes this process the one owner. Paths too
// long for a socket address are reached through the folder's descriptor. -1 on failure.
int ListenLocalSocket(const std::string& path);
// Waits up to `timeoutMs` for a connection on a listening socket: the new descriptor, or -1
// (nothing came, or an error).
int AcceptLocalSocket(int listener, int timeoutMs);
// Connects to the socket at `path`: the descriptor, or -1 when nobody listens there.
int ConnectLocalSocket(const std::string& path);
// Sends `line` and a line end within `timeoutMs`. False on error or time-out.
bool SendLocalLine(int fd, std::string_view line, int timeoutMs);
// Receives one line (without its line end) of at most `capacity` bytes within `timeoutMs`.
// False on error, time-out, a closed peer, or a longer line.
bool ReceiveLocalLine(int fd, std::string& line, std::size_t capacity, int timeoutMs);
void CloseLocalSocket(int fd);

} // namespace torvex
