// The interface's connections over the local link: refusals, and who
// deletes which connection.  A console loop serves, as no window is needed.

#include <stdlib.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <wx/evtloop.h>
#include <wx/filename.h>
#include <wx/init.h>
#include <wx/stopwatch.h>

#include "platform/instance_link.h"

namespace
{
struct Counts
{
    int made = 0, executed = 0, deleted = 0;
};

class CountedConnection : public IpcConnection
{
public:
    explicit CountedConnection(Counts& counts) : m_counts(counts) { ++m_counts.made; }
    ~CountedConnection() override { ++m_counts.deleted; }
    bool OnExecute(const wxString&, const void*, size_t, wxIPCFormat) override
    {
        ++m_counts.executed;
        return true;
    }

private:
    Counts& m_counts;
};

class Server : public IpcServer
{
public:
    explicit Server(Counts& counts) : m_counts(counts) {}
    IpcConnection* OnAcceptConnection(const wxString& topic) override
    {
        return topic == L"Corvalin" ? new CountedConnection(m_counts) : nullptr;
    }

private:
    Counts& m_counts;
};

class Client : public IpcClient
{
public:
    explicit Client(Counts& counts) : m_counts(counts) {}
    IpcConnection* OnMakeConnection() override { return new CountedConnection(m_counts); }

private:
    Counts& m_counts;
};

class InstanceLinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/corvalin-instance-link-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_service = wxString::FromUTF8(m_dir + "/socket");
        m_server = std::make_unique<Server>(m_served);
        ASSERT_TRUE(m_server->Create(m_service));
    }
    void TearDown() override
    {
        m_server.reset();
        wxFileName::Rmdir(m_dir, wxPATH_RMDIR_RECURSIVE);
    }

    // Runs the loop that serves until done, at most 5 s.
    bool Pump(const std::function<bool()>& done)
    {
        wxStopWatch watch;
        while (!done() && watch.Time() < 5000)
            m_loop.DispatchTimeout(10);
        return done();
    }
    // Runs body on another thread, as a second start, while the loop serves.
    template <class Body>
    auto Serving(Body body)
    {
        auto result = std::async(std::launch::async, body);
        Pump([&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
        return result.get();
    }

    wxInitializer m_toolkit;
    wxConsoleEventLoop m_loop;
    wxEventLoopActivator m_active{&m_loop};
    std::string m_dir;
    wxString m_service;
    Counts m_served, m_made;
    std::unique_ptr<Server> m_server;
};

TEST_F(InstanceLinkTest, AServedConnectionGoesWithItsLinkAndAClientsStaysWithItsCaller)
{
    const bool handled = Serving([&] {
        Client client(m_made);
        std::unique_ptr<IpcConnection> connection(
            client.MakeConnection(L"localhost", m_service, L"Corvalin"));
        const bool executed = connection && connection->Execute(L"record-now");
        if (connection)
            connection->Disconnect();
        // Still the caller's after its link has ended.
        return executed && m_made.deleted == 0;
    });
    EXPECT_TRUE(handled);
    EXPECT_EQ(m_made.made, 1);
    EXPECT_EQ(m_made.deleted, 1);
    EXPECT_TRUE(Pump([&] { return m_served.deleted == 1; }));
    EXPECT_EQ(m_served.made, 1);
    EXPECT_EQ(m_served.executed, 1);
}

TEST_F(InstanceLinkTest, ARefusedTopicMakesNoConnectionOnEitherSide)
{
    const bool answered = Serving([&] {
        Client client(m_made);
        std::unique_ptr<IpcConnection> connection(
            client.MakeConnection(L"localhost", m_service, L"Stranger"));
        return !connection && client.PeerAnswered();
    });
    EXPECT_TRUE(answered);
    EXPECT_EQ(m_made.made, 0);
    EXPECT_EQ(m_served.made, 0);
}

TEST_F(InstanceLinkTest, AServerThatGoesDeletesTheConnectionsItHolds)
{
    Client client(m_made);
    auto pending = std::async(std::launch::async, [&] {
        return client.MakeConnection(L"localhost", m_service, L"Corvalin");
    });
    ASSERT_TRUE(Pump([&] { return m_served.made == 1; }));
    std::unique_ptr<IpcConnection> connection(pending.get());
    ASSERT_TRUE(connection);
    m_server.reset();
    EXPECT_EQ(m_served.deleted, 1);
    EXPECT_FALSE(connection->Execute(L""));
    EXPECT_EQ(m_served.executed, 0);
}
}  // namespace
