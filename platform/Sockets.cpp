#include "platform/Sockets.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace torvex {

namespace {

sockaddr_in ToSockaddr(const SocketAddress& target) {
    sockaddr_in out{};
    out.sin_family = AF_INET;
    out.sin_port = htons(target.port);
    out.sin_addr.s_addr = htonl(target.address);
    return out;
}

bool IsRetryError(int error) {
    return error == EINTR || error == EAGAIN || error == EWOULDBLOCK;
}

// What a lookup thread and its (possibly departed) caller share.
struct LookupState {
    std::string host;
    bool finished = false;   // guarded by the pool's lock
    std::vector<std::uint32_t> addresses;
};

std::vector<std::uint32_t> SystemLookup(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    std::vector<std::uint32_t> addresses;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) == 0) {
        for (const addrinfo* item = list; item != nullptr; item = item->ai_next) {
            if (item->ai_family == AF_INET && item->ai_addr != nullptr) {
                sockaddr_in in{};
                std::memcpy(&in, item->ai_addr, sizeof in);
                addresses.push_back(ntohl(in.sin_addr.s_addr));
            }
        }
        ::freeaddrinfo(list);
    }
    return addresses;
}

// The threads that run name look-ups, so that a caller can wait in slices and give up. The
// threads are the pool's own and are joined when the process ends: an abandoned look-up that
// has not started is taken out of the queue, one that has started ends on its thread and its
// answer is dropped, so abandoned look-ups never leave threads behind or pile them up (at most
// kMaxLookupThreads exist, however many workers give up at once).
class LookupPool {
public:
    static LookupPool& Instance() {
        static LookupPool pool;
        return pool;
    }

    ~LookupPool() {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_stopping = true;
            m_queue.clear();
        }
        m_work.notify_all();
        for (std::thread& thread : m_threads) {
            thread.join();
        }
    }

    // The addresses of `host`; empty when nothing was found or `abort` became true first.
    std::vector<std::uint32_t> LookUp(const std::string& host, const std::atomic<bool>* abort) {
        auto state = std::make_shared<LookupState>();
        state->host = host;
        std::unique_lock<std::mutex> guard(m_lock);
        m_queue.push_back(state);
        if (m_queue.size() > m_idle && m_threads.size() < kMaxLookupThreads) {
            try {
                m_threads.emplace_back([this] { Serve(); });
            } catch (const std::system_error&) {
                // No thread to spare: the ones there are take it in turn; with none at all
                // the caller looks up itself, without abandoning.
                if (m_threads.empty()) {
                    m_queue.pop_back();
                    guard.unlock();
                    return SystemLookup(host);
                }
            }
        }
        m_work.notify_one();
        while (!state->finished) {
            if (abort != nullptr && abort->load()) {
                const auto queued = std::find(m_queue.begin(), m_queue.end(), state);
                if (queued != m_queue.end()) {
                    m_queue.erase(queued);
                }
                return {};
            }
            m_done.wait_for(guard, std::chrono::milliseconds(50));
        }
        return std::move(state->addresses);
    }

    std::size_t ThreadCount() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_threads.size();
    }

    void SetLookupForTests(std::function<std::vector<std::uint32_t>(const std::string&)> f) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_lookup = f ? std::move(f) : SystemLookup;
    }

private:
    static constexpr std::size_t kMaxLookupThreads = 16;

    LookupPool() = default;

    void Serve() {
        std::unique_lock<std::mutex> guard(m_lock);
        for (;;) {
            ++m_idle;
            m_work.wait(guard, [this] { return m_stopping || !m_queue.empty(); });
            --m_idle;
            if (m_stopping) {
                return;
            }
            std::shared_ptr<LookupState> state = m_queue.front();
            m_queue.pop_front();
            const auto lookup = m_lookup;
            guard.unlock();
            std::vector<std::uint32_t> addresses = lookup(state->host);
            guard.lock();
            state->addresses = std::move(addresses);
            state->finished = true;
            m_done.notify_all();
        }
    }

    std::mutex m_lock;
    std::condition_variable m_work;
    std::condition_variable m_done;
    std::deque<std::shared_ptr<LookupState>> m_queue;
    std::vector<std::thread> m_threads;
    std::size_t m_idle = 0;
    bool m_stopping = false;
    std::function<std::vector<std::uint32_t>(const std::string&)> m_lookup = SystemLookup;
};

} // namespace

SocketHandle OpenStreamSocket() {
    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return handle < 0 ? kNoSocket : handle;
}

int CloseSocket(SocketHandle handle) {
    return ::close(handle) == 0 ? 0 : -1;
}

int SetSocketNoDelay(SocketHandle handle) {
    const int on = 1;
    return ::setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0 ? 0 : -1;
}

int SetSocketBlocking(SocketHandle handle, bool blocking) {
    const int flags = ::fcntl(handle, F_GETFL, 0);
    if (flags < 0) {
        return -1;
    }
    const int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return ::fcntl(handle, F_SETFL, wanted) == 0 ? 0 : -1;
}

int StartConnect(SocketHandle handle, const SocketAddress& target) {
    const sockaddr_in address = ToSockaddr(target);
    sockaddr generic{};
    static_assert(sizeof generic == sizeof address);
    std::memcpy(&generic, &address, sizeof address);
    if (::connect(handle, &generic, sizeof address) == 0) {
        return 0;
    }
    return (errno == EINPROGRESS || errno == EINTR) ? 0 : -1;
}

int WaitSocket(SocketHandle handle, bool forWrite, std::chrono::milliseconds wait) {
    pollfd entry{};
    entry.fd = handle;
    entry.events = forWrite ? POLLOUT : POLLIN;
    const auto deadline =
        std::chrono::steady_clock::now() + std::max(wait, std::chrono::milliseconds(0));
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int waitMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        const int result = ::poll(&entry, 1, waitMs);
        if (result > 0) {
            return 1;
        }
        if (result == 0) {
            return 0;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

int ConnectOutcome(SocketHandle handle) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        return -1;
    }
    return 0;
}

int ShutdownSocket(SocketHandle handle) {
    return ::shutdown(handle, SHUT_RDWR) == 0 ? 0 : -1;
}

long SendSome(SocketHandle handle, const char* data, std::size_t length) {
    const ssize_t sent = ::send(handle, data, length, MSG_NOSIGNAL);
    if (sent >= 0) {
        return static_cast<long>(sent);
    }
    return IsRetryError(errno) ? kSocketRetry : kSocketError;
}

long ReceiveSome(SocketHandle handle, char* buffer, std::size_t capacity) {
    const ssize_t received = ::recv(handle, buffer, capacity, 0);
    if (received >= 0) {
        return static_cast<long>(received);
    }
    return IsRetryError(errno) ? kSocketRetry : kSocketError;
}

bool ParseDottedAddress(std::string_view text, std::uint32_t& address) {
    // Exactly four decimal numbers of 0..255 between dots. The older forms ("127.1", hexadecimal
    // and octal parts) are left to the resolver, so that a name that merely begins with digits
    // ("3com.example") is never taken for an address.
    std::uint32_t value = 0;
    int parts = 0;
    std::size_t i = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        unsigned part = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
            part = part * 10 + static_cast<unsigned>(text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || digits > 3 || part > 255) {
            return false;
        }
        value = (value << 8) | part;
        ++parts;
        if (parts < 4) {
            if (i >= text.size() || text[i] != '.') {
                return false;
            }
            ++i;
        }
    }
    if (i != text.size()) {
        return false;
    }
    address = value;
    return true;
}

bool ParseDecimalAddress(std::string_view text, std::uint32_t& address) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value == 0 || value > 0xFFFFFFFFu) {
        return false;
    }
    address = static_cast<std::uint32_t>(value);
    return true;
}

int LookUpHostAddress(std::string_view host, std::uint32_t& address,
                      const std::atomic<bool>* abort) {
    std::vector<std::uint32_t> addresses;
    if (LookUpHostAddresses(host, addresses, abort) != 0) {
        return -1;
    }
    address = addresses.front();
    return 0;
}

int LookUpHostAddresses(std::string_view host, std::vector<std::uint32_t>& addresses,
                        const std::atomic<bool>* abort) {
    if (abort != nullptr && abort->load()) {
        return -1;
    }
    std::vector<std::uint32_t> found = LookupPool::Instance().LookUp(std::string(host), abort);
    if (found.empty()) {
        return -1;
    }
    addresses = std::move(found);
    return 0;
}

std::size_t LookupThreadCount() { return LookupPool::Instance().ThreadCount(); }

void SetHostLookupForTests(std::function<std::vector<std::uint32_t>(const std::string&)> lookup) {
    LookupPool::Instance().SetLookupForTests(std::move(lookup));
}

std::string DottedAddressText(std::uint32_t address) {
    return std::to_string((address >> 24) & 0xFF) + "." + std::to_string((address >> 16) & 0xFF) +
           "." + std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

} // namespace torvex
