#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "base/errno_win32.h"
#include "base/paths.h"
#include "base/private_dir.h"
#include "ipc/ipc.h"
#include "ipc/wire.h"
#include "sys/files.h"
#include "win32/winbase.h"

namespace vlt::ipc {
namespace {

// How long the listener waits for a request to arrive once a peer has connected.
constexpr int kRequestWaitMs = 2000;

std::uint64_t randomInstance() {
    std::uint64_t v = 0;
    while (v == 0) {
        if (getrandom(&v, sizeof v, 0) != static_cast<ssize_t>(sizeof v)) {
            v = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                (static_cast<std::uint64_t>(getpid()) << 32);
        }
    }
    return v;
}

std::uint64_t nowNs() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool equalsNoCase(const std::string& a, const char* b) {
    const std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

bool endsWith(const std::string& s, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

bool fillAddress(const std::string& path, sockaddr_un* addr) {
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    if (path.size() >= sizeof addr->sun_path) return false;
    std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
    return true;
}

void setTimeouts(int fd, int ms) {
    timeval tv{};
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool peerOf(int fd, ucred* cred) {
    socklen_t len = sizeof *cred;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, cred, &len) == 0 && len == sizeof *cred;
}

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Reads exactly size bytes before the deadline; false on end of stream, error or time-out
// (*timedOut tells which).
bool readAll(int fd, unsigned char* data, std::size_t size, std::chrono::steady_clock::time_point deadline,
             bool* timedOut) {
    *timedOut = false;
    while (size > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                 std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            *timedOut = true;
            return false;
        }
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 60000)));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return false;
        if (r == 0) continue;  // the loop checks the deadline
        const ssize_t n = ::recv(fd, data, size, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The windows directory: ours alone, or nothing.
Result<void> preparePrivateDirectory(const std::string& dir) {
    auto proved = base::ensurePrivateDir(dir);
    if (!proved) return proved.error();
    return {};
}

}  // namespace

bool crossesProcesses(UINT msg) {
    if (msg >= WM_USER) return true;  // the program's own messages: integers by agreement
    switch (msg) {
    case WM_NULL:
    case WM_CLOSE:
    case WM_COMMAND:
    case WM_SYSCOMMAND:
    case WM_TIMER:
    case WM_ENABLE:
    case WM_SHOWWINDOW:
    case WM_GETTEXTLENGTH:
    case WM_ACTIVATE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
        return true;
    default:
        return false;  // WM_SETTEXT, WM_GETTEXT, WM_NOTIFY, WM_CREATE, ... carry pointers
    }
}

bool peerAllowed(uid_t peerUid) { return peerUid == geteuid(); }

struct Service::Impl {
    struct Published {
        std::string className;
        std::string title;
        std::uint64_t created = 0;
    };
    struct Target {
        pid_t pid = 0;
        std::uint64_t instance = 0;
        std::uint64_t hwnd = 0;
        auto key() const { return std::tie(pid, instance, hwnd); }
        bool operator<(const Target& o) const { return key() < o.key(); }
    };

    LocalDelivery delivery;
    std::string dir;
    pid_t pid = getpid();
    std::uint64_t instance = randomInstance();
    std::atomic<int> timeoutMs{5000};

    std::mutex mutex;
    bool closed = false;
    std::map<HWND, Published> published;
    std::map<Target, HWND> proxyOf;
    std::map<HWND, Target> targetOf;
    std::uintptr_t nextProxy = ui::kRemoteFirst + 0x100;

    int listenFd = -1;
    int wakeFds[2] = {-1, -1};
    std::thread listener;

    std::string socketPath() const { return dir + "/" + wire::socketName(pid, instance); }
    std::string entryPath(HWND hwnd) const {
        return dir + "/" + wire::entryName(pid, instance, reinterpret_cast<std::uintptr_t>(hwnd));
    }

    // ---- Publishing --------------------------------------------------------------------

    // Entries and sockets of processes that no longer exist, and our own from an earlier life.
    void removeStaleFilesLocked() {
        DIR* d = opendir(dir.c_str());
        if (!d) return;
        const std::string socket = wire::socketName(pid, instance);
        const std::string thisLife = socket.substr(0, socket.size() - std::strlen(".sock"));
        std::vector<std::string> doomed;
        while (const dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (!endsWith(name, ".win") && !endsWith(name, ".sock")) continue;
            const pid_t owner = wire::pidOfName(name);
            if (owner == 0) continue;
            if (owner == pid) {
                if (name.rfind(thisLife, 0) != 0) doomed.push_back(name);
            } else if (kill(owner, 0) != 0 && errno == ESRCH) {
                doomed.push_back(name);
            }
        }
        closedir(d);
        for (const auto& name : doomed) unlink((dir + "/" + name).c_str());
    }

    bool startListeningLocked() {
        if (listenFd >= 0) return true;
        if (!preparePrivateDirectory(dir)) return false;
        removeStaleFilesLocked();
        sockaddr_un addr{};
        const std::string path = socketPath();
        if (!fillAddress(path, &addr)) return false;  // too long for a socket address
        Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!fd.valid()) return false;
        unlink(path.c_str());
        if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) return false;
        chmod(path.c_str(), 0600);
        if (::listen(fd.get(), 16) != 0 || pipe2(wakeFds, O_CLOEXEC) != 0) {
            unlink(path.c_str());
            return false;
        }
        listenFd = ::dup(fd.get());
        if (listenFd < 0) {
            unlink(path.c_str());
            return false;
        }
        fcntl(listenFd, F_SETFD, FD_CLOEXEC);
        listener = std::thread([this] { serve(); });
        return true;
    }

    void writeEntryLocked(HWND hwnd, const Published& p) {
        wire::Entry e;
        e.pid = pid;
        e.instance = instance;
        e.hwnd = reinterpret_cast<std::uintptr_t>(hwnd);
        e.created = p.created;
        e.className = p.className;
        e.title = p.title;
        const std::string text = wire::formatEntry(e);
        (void)sys::writeFileAtomically(entryPath(hwnd), text.data(), text.size(), 0600);
    }

    void removeFilesLocked() {
        for (const auto& [hwnd, p] : published) unlink(entryPath(hwnd).c_str());
        if (listenFd >= 0) unlink(socketPath().c_str());
    }

    // ---- Listening ---------------------------------------------------------------------

    void serve() {
        for (;;) {
            pollfd fds[2] = {{listenFd, POLLIN, 0}, {wakeFds[0], POLLIN, 0}};
            const int r = ::poll(fds, 2, -1);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0 || (fds[1].revents & (POLLIN | POLLHUP))) return;
            if (!(fds[0].revents & POLLIN)) continue;
            Fd conn(::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC));
            if (conn.valid()) handle(conn.get());
        }
    }

    void handle(int fd) {
        ucred peer{};
        if (!peerOf(fd, &peer) || !peerAllowed(peer.uid)) return;  // refused: closed unanswered
        setTimeouts(fd, kRequestWaitMs);
        unsigned char frame[wire::kRequestSize];
        bool timedOut = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestWaitMs);
        if (!readAll(fd, frame, sizeof frame, deadline, &timedOut)) return;  // a liveness probe, or junk
        const auto request = wire::decodeRequest(frame);
        if (!request) return;
        wire::Reply reply;
        reply.status = answer(*request, &reply.result);
        const auto bytes = wire::encode(reply);
        writeAll(fd, bytes.data(), bytes.size());
    }

    wire::Status answer(const wire::Request& r, std::uint64_t* result) {
        const auto hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(r.hwnd));
        {
            std::lock_guard lock(mutex);
            if (r.instance != instance || !published.count(hwnd)) return wire::Status::NoWindow;
        }
        if (!crossesProcesses(r.msg)) return wire::Status::Refused;
        const auto wParam = static_cast<WPARAM>(r.wParam);
        const auto lParam = static_cast<LPARAM>(r.lParam);
        if (r.kind == wire::Kind::Post)
            return delivery.post && delivery.post(hwnd, r.msg, wParam, lParam) ? wire::Status::Delivered
                                                                                : wire::Status::NoWindow;
        LRESULT value = 0;
        if (!delivery.send || !delivery.send(hwnd, r.msg, wParam, lParam, &value)) return wire::Status::NoWindow;
        *result = static_cast<std::uint64_t>(value);
        return wire::Status::Delivered;
    }

    // Withdraws everything; the service stays closed (a hook call still in flight does nothing).
    // Waits for a delivery in progress.
    void stop() {
        std::thread t;
        {
            std::lock_guard lock(mutex);
            closed = true;
            if (listenFd < 0) {
                removeFilesLocked();
                published.clear();
                return;
            }
            const char one = 1;
            (void)!::write(wakeFds[1], &one, 1);
            t = std::move(listener);
        }
        if (t.joinable()) t.join();
        std::lock_guard lock(mutex);
        removeFilesLocked();
        published.clear();
        ::close(listenFd);
        ::close(wakeFds[0]);
        ::close(wakeFds[1]);
        listenFd = -1;
        wakeFds[0] = wakeFds[1] = -1;
    }

    // ---- Reaching other processes ------------------------------------------------------

    // A connection to the target's listener, checked to be the process the entry names and
    // of our user; an invalid Fd otherwise.
    std::unique_ptr<Fd> connect(const Target& t, int timeout) const {
        sockaddr_un addr{};
        if (!fillAddress(dir + "/" + wire::socketName(t.pid, t.instance), &addr)) return nullptr;
        auto fd = std::make_unique<Fd>(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!fd->valid()) return nullptr;
        setTimeouts(fd->get(), timeout);
        if (::connect(fd->get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) return nullptr;
        ucred peer{};
        if (!peerOf(fd->get(), &peer) || !peerAllowed(peer.uid) || peer.pid != t.pid) return nullptr;
        return fd;
    }

    HWND proxyFor(const Target& t) {
        std::lock_guard lock(mutex);
        if (auto it = proxyOf.find(t); it != proxyOf.end()) return it->second;
        if (nextProxy > ui::kRemoteLast) return nullptr;
        const auto proxy = reinterpret_cast<HWND>(nextProxy++);
        proxyOf.emplace(t, proxy);
        targetOf.emplace(proxy, t);
        return proxy;
    }

    bool targetFor(HWND proxy, Target* t) {
        std::lock_guard lock(mutex);
        auto it = targetOf.find(proxy);
        if (it == targetOf.end()) return false;
        *t = it->second;
        return true;
    }

    // Sends one request; nullopt when the window cannot be reached, Reply otherwise.
    // *timedOut when the receiver did not answer in time.
    std::optional<wire::Reply> request(const Target& t, wire::Kind kind, UINT msg, WPARAM wParam, LPARAM lParam,
                                       bool* timedOut) {
        *timedOut = false;
        const int timeout = timeoutMs.load();
        auto fd = connect(t, timeout);
        if (!fd) return std::nullopt;
        wire::Request r;
        r.kind = kind;
        r.instance = t.instance;
        r.hwnd = t.hwnd;
        r.msg = msg;
        r.wParam = static_cast<std::uint64_t>(wParam);
        r.lParam = static_cast<std::uint64_t>(lParam);
        const auto bytes = wire::encode(r);
        if (!writeAll(fd->get(), bytes.data(), bytes.size())) return std::nullopt;
        unsigned char frame[wire::kReplySize];
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
        if (!readAll(fd->get(), frame, sizeof frame, deadline, timedOut)) return std::nullopt;
        return wire::decodeReply(frame);
    }

    // ---- The service's operations ------------------------------------------------------

    void titleChanged(HWND hwnd, const std::string& className, const std::string& title) {
        std::lock_guard lock(mutex);
        if (closed || !startListeningLocked()) return;  // this window stays private to the process
        auto& p = published[hwnd];
        if (p.created == 0) p.created = nowNs();
        p.className = className;
        p.title = title;
        writeEntryLocked(hwnd, p);
    }

    void destroyed(HWND hwnd) {
        std::lock_guard lock(mutex);
        if (published.erase(hwnd)) unlink(entryPath(hwnd).c_str());
    }

    HWND find(const char* className, const char* title) {
        std::vector<wire::Entry> candidates;
        DIR* d = opendir(dir.c_str());
        if (!d) return nullptr;
        while (const dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.empty() || name[0] == '.' || !endsWith(name, ".win")) continue;
            const pid_t owner = wire::pidOfName(name);
            if (owner == 0 || owner == pid) continue;  // our own windows are the runtime's business
            const std::string path = dir + "/" + name;
            auto file = sys::openRegularFile(path);
            if (!file) continue;
            struct stat st {};
            std::string text;
            if (fstat(file->fd, &st) == 0 && st.st_uid == geteuid() && file->size <= 16384) {
                text.resize(file->size);
                const ssize_t n = ::read(file->fd, text.data(), text.size());
                text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
            }
            ::close(file->fd);
            auto entry = wire::parseEntry(text);
            if (!entry || entry->pid != owner) continue;
            if (className && !equalsNoCase(entry->className, className)) continue;
            if (title && !equalsNoCase(entry->title, title)) continue;
            candidates.push_back(std::move(*entry));
        }
        closedir(d);
        std::sort(candidates.begin(), candidates.end(),
                  [](const wire::Entry& a, const wire::Entry& b) { return a.created > b.created; });
        for (const auto& c : candidates) {
            const Target t{c.pid, c.instance, c.hwnd};
            if (!connect(t, std::min(timeoutMs.load(), 1000))) continue;  // stale: nobody listens there
            return proxyFor(t);
        }
        return nullptr;
    }

    bool send(HWND proxy, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        Target t;
        if (!targetFor(proxy, &t)) return false;
        LRESULT dummy = 0;
        if (!result) result = &dummy;
        *result = 0;
        if (!crossesProcesses(msg)) {
            SetLastError(ERROR_INVALID_PARAMETER);  // nothing is sent
            return true;
        }
        bool timedOut = false;
        const auto reply = request(t, wire::Kind::Send, msg, wParam, lParam, &timedOut);
        if (timedOut) {
            SetLastError(ERROR_TIMEOUT);
            return true;
        }
        if (!reply || reply->status == wire::Status::NoWindow) return false;
        if (reply->status == wire::Status::Refused) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return true;
        }
        *result = static_cast<LRESULT>(reply->result);
        return true;
    }

    bool post(HWND proxy, UINT msg, WPARAM wParam, LPARAM lParam) {
        Target t;
        if (!targetFor(proxy, &t) || !crossesProcesses(msg)) return false;
        bool timedOut = false;
        const auto reply = request(t, wire::Kind::Post, msg, wParam, lParam, &timedOut);
        return reply && reply->status == wire::Status::Delivered;
    }

    bool isWindow(HWND proxy) {
        Target t;
        if (!targetFor(proxy, &t)) return false;
        struct stat st {};
        const auto hwnd = static_cast<std::uintptr_t>(t.hwnd);
        if (stat((dir + "/" + wire::entryName(t.pid, t.instance, hwnd)).c_str(), &st) != 0) return false;
        return connect(t, std::min(timeoutMs.load(), 1000)) != nullptr;
    }
};

Result<std::unique_ptr<Service>> Service::open(LocalDelivery delivery, std::string directory) {
    if (directory.empty()) {
        // Both levels proven: the runtime folder may be one this call makes in /tmp.
        const std::string runtime = base::socketDir();
        if (auto ready = preparePrivateDirectory(runtime); !ready) return ready.error();
        directory = runtime + "/windows";
    }
    auto ready = preparePrivateDirectory(directory);
    if (!ready) return ready.error();
    auto impl = std::make_shared<Impl>();
    impl->delivery = std::move(delivery);
    impl->dir = std::move(directory);
    return std::unique_ptr<Service>(new Service(std::move(impl)));
}

Service::Service(std::shared_ptr<Impl> impl) : m(std::move(impl)) {}

Service::~Service() { m->stop(); }

// The hooks keep the state alive: a call in flight when the service goes finds it closed.
ui::RemoteHooks Service::hooks() {
    ui::RemoteHooks h;
    auto impl = m;
    h.titleChanged = [impl](HWND hwnd, const std::string& className, const std::string& title) {
        impl->titleChanged(hwnd, className, title);
    };
    h.destroyed = [impl](HWND hwnd) { impl->destroyed(hwnd); };
    h.find = [impl](const char* className, const char* title) { return impl->find(className, title); };
    h.send = [impl](HWND proxy, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        return impl->send(proxy, msg, wParam, lParam, result);
    };
    h.post = [impl](HWND proxy, UINT msg, WPARAM wParam, LPARAM lParam) {
        return impl->post(proxy, msg, wParam, lParam);
    };
    h.isWindow = [impl](HWND proxy) { return impl->isWindow(proxy); };
    return h;
}

void Service::titleChanged(HWND hwnd, const std::string& className, const std::string& title) {
    m->titleChanged(hwnd, className, title);
}
void Service::destroyed(HWND hwnd) { m->destroyed(hwnd); }
HWND Service::find(const char* className, const char* title) { return m->find(className, title); }
bool Service::send(HWND proxy, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return m->send(proxy, msg, wParam, lParam, result);
}
bool Service::post(HWND proxy, UINT msg, WPARAM wParam, LPARAM lParam) { return m->post(proxy, msg, wParam, lParam); }
bool Service::isWindow(HWND proxy) { return m->isWindow(proxy); }

void Service::setTimeout(std::chrono::milliseconds timeout) {
    m->timeoutMs.store(static_cast<int>(std::max<long long>(1, timeout.count())));
}

const std::string& Service::directory() const { return m->dir; }

void Service::removeFiles() {
    std::lock_guard lock(m->mutex);
    if (getpid() == m->pid) m->removeFilesLocked();
}

}  // namespace vlt::ipc
