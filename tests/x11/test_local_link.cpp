// Runs on the GTK main loop, as in the program: linked with
// `wx-config --libs core base`, run under tests/x_session.sh (a display is
// needed).  The server is fed by the GLib watches that AddSourceForFD makes;
// clients run in threads or child processes with plain poll().
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <future>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/filename.h>
#include <wx/init.h>
#include <wx/stopwatch.h>

#include "platform/linux/instance_lock.h"
#include "platform/linux/local_link.h"

// Counts allocations of a megabyte or more: a claimed length must never become
// one.  Every form is replaced, so that none mixes with the sanitizer's own;
// out of line, or GCC takes the free() for a mismatch.
static std::atomic<int> g_hugeAllocations{0};
__attribute__((noinline)) static void* Allocate(std::size_t size) noexcept
{
    g_hugeAllocations += size >= (1u << 20);
    return std::malloc(size ? size : 1);
}
void* operator new(std::size_t size)
{
    if (void* memory = Allocate(size))
        return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
__attribute__((noinline)) void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { operator delete(memory); }
void operator delete(void* memory, std::size_t) noexcept { operator delete(memory); }
void operator delete[](void* memory, std::size_t) noexcept { operator delete(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { operator delete(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { operator delete(memory); }

namespace
{
bool Pump(const std::function<bool()>& done, long milliseconds)
{
    wxStopWatch watch;
    while (!done())
    {
        if (watch.Time() >= milliseconds)
            return false;
        wxEventLoopBase::GetActive()->DispatchTimeout(10);
    }
    return true;
}

struct Seen
{
    int accepted = 0, executed = 0, disconnected = 0, destroyed = 0;
    std::string topic, message;
    size_t size = 0;
    int format = -1;
};

class Connection : public LocalConnection
{
public:
    explicit Connection(Seen& seen) : m_seen(seen) {}
    ~Connection() override { ++m_seen.destroyed; }
    bool OnExecute(const wxString& topic, const void* data, size_t size, wxIPCFormat format) override
    {
        ++m_seen.executed;
        m_seen.topic = topic.utf8_str().data();
        m_seen.message = static_cast<const char*>(data);
        m_seen.size = size;
        m_seen.format = format;
        return true;
    }
    bool OnDisconnect() override
    {
        ++m_seen.disconnected;
        return LocalConnection::OnDisconnect();
    }

private:
    Seen& m_seen;
};

class Server : public LocalServer
{
public:
    explicit Server(Seen& seen) : m_seen(seen) {}
    LocalConnection* OnAcceptConnection(const wxString& topic) override
    {
        if (topic != L"Corvalin")
            return nullptr;
        ++m_seen.accepted;
        return new Connection(m_seen);
    }

private:
    Seen& m_seen;
};

// A second start as the program makes it; true when the message was handled.
bool HandOver(const std::string& path, const std::string& topic, const std::string& message,
              std::chrono::milliseconds timeout = LocalClient::kDefaultTimeout)
{
    LocalClient client(timeout);
    std::unique_ptr<LocalConnection> connection(client.MakeConnection(
        L"localhost", wxString::FromUTF8(path), wxString::FromUTF8(topic)));
    const bool handled = connection && connection->Execute(wxString::FromUTF8(message));
    if (connection)
        connection->Disconnect();
    return handled;
}

// The same from a thread, while this one runs the loop that serves it.
bool HandOverServed(const std::string& path, const std::string& topic, const std::string& message)
{
    auto result = std::async(std::launch::async, [&] { return HandOver(path, topic, message); });
    Pump([&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000);
    return result.get();
}

std::string Frame(char kind, const std::string& payload)
{
    const uint32_t n = payload.size();
    return std::string{kind, char(n >> 24), char(n >> 16), char(n >> 8), char(n)} + payload;
}

sockaddr_un Address(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    return address;
}

int RawConnect(const std::string& path, const std::string& bytes = "", int flags = 0)
{
    const sockaddr_un address = Address(path);
    const int fd = socket(AF_UNIX, SOCK_STREAM | flags, 0);
    if (fd >= 0 && (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
                    (!bytes.empty() &&
                     send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != ssize_t(bytes.size()))))
    {
        close(fd);
        return -1;
    }
    return fd;
}

int Listen(const std::string& path, int backlog)
{
    const sockaddr_un address = Address(path);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const bool ok = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
                    listen(fd, backlog) == 0;
    return ok ? fd : -1;
}

// Runs the loop until the server has closed fd; what it sent goes to *received.
bool PumpUntilClosed(int fd, std::string* received, long milliseconds = 5000)
{
    return Pump([&] {
        char byte;
        const ssize_t n = recv(fd, &byte, 1, MSG_DONTWAIT);
        if (n == 1)
            *received += byte;
        return n == 0 || (n < 0 && errno != EAGAIN);
    }, milliseconds);
}

// Runs body in a child process while the loop runs; its exit code.
int ExitCodeOf(const std::function<int()>& body)
{
    const pid_t child = fork();
    if (child == 0)
    {
        alarm(10);
        _exit(body());
    }
    int status = -1;
    Pump([&] { return waitpid(child, &status, WNOHANG) == child; }, 15000);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A child that holds what setUp made until it is killed; -1 if setUp failed.
pid_t StartHolder(const std::function<bool()>& setUp)
{
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0)
    {
        if (!setUp() || write(ready[1], "r", 1) != 1)
            _exit(1);
        for (;;)
            pause();
    }
    close(ready[1]);  // a child that fails ends the read
    char byte;
    const bool started = read(ready[0], &byte, 1) == 1;
    close(ready[0]);
    return started ? child : -1;
}

class LinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/corvalin-link-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_path = m_dir + "/socket";
    }
    void TearDown() override { wxFileName::Rmdir(m_dir, wxPATH_RMDIR_RECURSIVE); }

    std::string m_dir, m_path;
    Seen m_seen;
};

TEST_F(LinkTest, HandsOverTheMessageOnceRefusesOtherTopicsAndCleansUp)
{
    auto server = std::make_unique<Server>(m_seen);
    ASSERT_TRUE(server->Create(m_path));
    struct stat status;
    ASSERT_EQ(lstat(m_path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode, S_IFSOCK | 0600u);

    const std::string message = "show \xE2\x9C\x93 window";
    EXPECT_TRUE(HandOverServed(m_path, "Corvalin", message));
    ASSERT_TRUE(Pump([&] { return m_seen.destroyed == 1; }, 2000));
    EXPECT_EQ(m_seen.executed, 1);
    EXPECT_EQ(m_seen.topic, "Corvalin");
    EXPECT_EQ(m_seen.message, message);
    EXPECT_EQ(m_seen.size, message.size() + 1);
    EXPECT_EQ(m_seen.format, wxIPC_TEXT);
    EXPECT_EQ(m_seen.disconnected, 1);

    EXPECT_FALSE(HandOverServed(m_path, "Stranger", "x"));
    EXPECT_EQ(m_seen.accepted, 1);
    EXPECT_EQ(m_seen.executed, 1);

    server.reset();
    EXPECT_NE(access(m_path.c_str(), F_OK), 0);
    // A later instance's socket at the path is left alone.
    server = std::make_unique<Server>(m_seen);
    ASSERT_TRUE(server->Create(m_path));
    ASSERT_EQ(unlink(m_path.c_str()), 0);
    const int newer = Listen(m_path, 1);
    server.reset();
    EXPECT_EQ(access(m_path.c_str(), F_OK), 0);
    close(newer);
}

TEST_F(LinkTest, HugeClaimedLengthsDropThePeerWithoutAllocating)
{
    Server server(m_seen);
    ASSERT_TRUE(server.Create(m_path));
    const int before = g_hugeAllocations;
    std::string received;
    const int early = RawConnect(m_path, std::string("T\xff\xff\xff\xff", 5));
    EXPECT_TRUE(PumpUntilClosed(early, &received));
    EXPECT_EQ(received, "");
    const int late = RawConnect(m_path, Frame('T', "Corvalin") + std::string("X\xff\xff\xff\xff", 5));
    ASSERT_TRUE(early >= 0 && late >= 0);
    EXPECT_TRUE(PumpUntilClosed(late, &received));
    EXPECT_EQ(received, "A");
    EXPECT_EQ(g_hugeAllocations, before);
    EXPECT_EQ(m_seen.executed, 0);
    EXPECT_EQ(m_seen.destroyed, 1);  // the accepted connection was told and went

    EXPECT_TRUE(HandOverServed(m_path, "Corvalin", "next"));
    EXPECT_EQ(m_seen.executed, 1);
    close(early);
    close(late);
}

TEST_F(LinkTest, DropsSilentPeersAndOtherUsersAndNeverWaitsForThemAtTheEnd)
{
    auto server = std::make_unique<Server>(m_seen);
    ASSERT_TRUE(server->Create(m_path));
    const int silent = RawConnect(m_path);
    const int silentAfterTopic = RawConnect(m_path, Frame('T', "Corvalin"));
    ASSERT_TRUE(silent >= 0 && silentAfterTopic >= 0);
    wxStopWatch watch;
    std::string received;
    EXPECT_TRUE(PumpUntilClosed(silent, &received));
    EXPECT_GE(watch.Time(), 1900);
    EXPECT_LE(watch.Time(), 3000);
    EXPECT_TRUE(PumpUntilClosed(silentAfterTopic, &received));
    EXPECT_EQ(received, "A");
    EXPECT_EQ(m_seen.disconnected, 1);

    if (geteuid() == 0)  // becoming another user needs root
    {
        // Only the socket's mode would stop them; opened up to see our check.
        ASSERT_EQ(chmod(m_dir.c_str(), 0711), 0);
        ASSERT_EQ(chmod(m_path.c_str(), 0666), 0);
        const int code = ExitCodeOf([&]() -> int {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                return 3;
            const int fd = RawConnect(m_path);
            char byte;
            if (fd < 0)
                return 4;
            // Dropped: the send fails, or the link ends without an answer.
            const std::string topic = Frame('T', "Corvalin");
            return send(fd, topic.data(), topic.size(), MSG_NOSIGNAL) > 0 && recv(fd, &byte, 1, 0) == 1;
        });
        EXPECT_EQ(code, 0);
        EXPECT_EQ(m_seen.accepted, 1);
    }

    const int lingering = RawConnect(m_path);
    ASSERT_GE(lingering, 0);
    Pump([] { return false; }, 200);  // accepted and pending
    watch.Start();
    server.reset();
    EXPECT_LT(watch.Time(), 100);
    char byte;
    const ssize_t n = recv(lingering, &byte, 1, MSG_DONTWAIT);
    EXPECT_TRUE(n == 0 || (n < 0 && errno != EAGAIN)) << "still open";
    for (int fd : {silent, silentAfterTopic, lingering})
        close(fd);
}

TEST_F(LinkTest, ServesTwoHundredClientsAtOnce)
{
    Server server(m_seen);
    ASSERT_TRUE(server.Create(m_path));
    std::promise<void> start;
    std::shared_future<void> started = start.get_future().share();
    std::atomic<int> finished{0}, handled{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 200; ++i)
        clients.emplace_back([&] {
            started.wait();
            handled += HandOver(m_path, "Corvalin", "burst");
            ++finished;
        });
    start.set_value();
    EXPECT_TRUE(Pump([&] { return finished == 200; }, 20000));
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(handled, 200);
    EXPECT_EQ(m_seen.executed, 200);
    EXPECT_TRUE(Pump([&] { return m_seen.destroyed == 200; }, 2000));
}

// The first instance stopped (SIGSTOP): the kernel still queues connections,
// nobody answers.
TEST_F(LinkTest, SecondStartGivesUpOnAStoppedInstance)
{
    const pid_t child = StartHolder([&] { return Listen(m_path, 4) >= 0; });
    ASSERT_GT(child, 0);
    ASSERT_EQ(kill(child, SIGSTOP), 0);
    wxStopWatch watch;
    EXPECT_FALSE(HandOver(m_path, "Corvalin", "wake up"));  // default deadline
    const long unanswered = watch.Time();
    EXPECT_GE(unanswered, 4900);
    EXPECT_LE(unanswered, 5500);

    std::vector<int> queued;  // until the backlog is full
    for (int fd; queued.size() < 64 && (fd = RawConnect(m_path, "", SOCK_NONBLOCK)) >= 0;)
        queued.push_back(fd);
    EXPECT_LT(queued.size(), 64u);
    watch.Start();
    EXPECT_FALSE(HandOver(m_path, "Corvalin", "wake up", std::chrono::milliseconds(1000)));
    const long backlogFull = watch.Time();
    EXPECT_GE(backlogFull, 950);
    EXPECT_LE(backlogFull, 1500);
    std::printf("second start gave up after %ld ms (unanswered), %ld ms (backlog full)\n",
                unanswered, backlogFull);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    for (int fd : queued)
        close(fd);
}

TEST_F(LinkTest, InstanceLockIsHeldAcrossProcessesAndNeverLeftStale)
{
    const wxString dir = wxString::FromUTF8(m_dir);
    auto anotherRunning = [&] {
        InstanceLock lock;
        return lock.Create(L"lock", dir) && lock.IsAnotherRunning();
    };
    {
        InstanceLock first;
        ASSERT_TRUE(first.Create(L"lock", dir));
        EXPECT_FALSE(first.IsAnotherRunning());
        std::string pid;
        std::getline(std::ifstream(m_dir + "/lock"), pid);
        EXPECT_EQ(pid, std::to_string(getpid()));
        EXPECT_EQ(ExitCodeOf([&] { return anotherRunning() ? 7 : 0; }), 7);
    }

    const pid_t holder = StartHolder([&] {
        static InstanceLock held;  // in the child, until it is killed
        return held.Create(L"lock", dir) && !held.IsAnotherRunning();
    });
    ASSERT_GT(holder, 0);
    EXPECT_TRUE(anotherRunning());
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_FALSE(anotherRunning());

    // Left behind naming a live, unrelated process.
    std::ofstream(m_dir + "/lock") << getppid() << "\n";
    EXPECT_FALSE(anotherRunning());
    InstanceLock none;
    EXPECT_FALSE(none.Create(L"lock", wxString::FromUTF8(m_dir + "/missing")));
    EXPECT_FALSE(none.IsAnotherRunning());
}
}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("DISPLAY"))
    {
        std::fprintf(stderr, "needs an X display; run under tests/x_session.sh\n");
        return 1;
    }
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv))
        return 1;
    int result;
    {
        wxEventLoop loop;  // the GTK loop
        wxEventLoopActivator active(&loop);
        result = RUN_ALL_TESTS();
    }
    wxEntryCleanup();
    return result;
}
