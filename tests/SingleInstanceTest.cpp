#include "platform/SingleInstance.h"

#include "Fakes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vobrik {
namespace {

using namespace vobrik::test;

// Points XDG_RUNTIME_DIR at a fresh directory for the life of the object.
class SingleInstance : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        Had = old != nullptr;
        Old = Had ? old : "";
        ::setenv("XDG_RUNTIME_DIR", Dir.Root().c_str(), 1);
    }
    void TearDown() override {
        if (Had)
            ::setenv("XDG_RUNTIME_DIR", Old.c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
    }
    TempDir Dir;
    std::string Old;
    bool Had = false;

    // A stand-in for the running copy: listens where the lookup looks and
    // answers the way it is told, or not at all.
    int Listen() {
        const std::string path = WindowLookupPath("Vobrik");
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        EXPECT_EQ(0, ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address));
        EXPECT_EQ(0, ::listen(fd, 1));
        return fd;
    }
};

TEST_F(SingleInstance, LockIsHeldUntilTheHolderEnds) {
    // The lock taken by another process, which then dies without a word.
    int ready[2];
    ASSERT_EQ(0, ::pipe(ready));
    const pid_t holder = ::fork();
    if (holder == 0) {
        const bool taken = CreateNamedLock("VobrikMutex") == TLockResult::Created;
        const char answer = taken ? 'y' : 'n';
        (void)!::write(ready[1], &answer, 1);
        ::pause();
        ::_exit(0);
    }
    char answer = 0;
    ASSERT_EQ(1, ::read(ready[0], &answer, 1));
    ASSERT_EQ('y', answer);
    EXPECT_EQ(TLockResult::AlreadyExists, CreateNamedLock("VobrikMutex"));

    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_EQ(TLockResult::Created, CreateNamedLock("VobrikMutex"));
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(SingleInstance, DirectoryOthersCanEnterIsRefused) {
    ASSERT_EQ(0, ::mkdir(Dir.Path("vobrik").c_str(), 0700));
    ASSERT_EQ(0, ::chmod(Dir.Path("vobrik").c_str(), 0755));
    EXPECT_EQ("", RuntimeDirectory());
    EXPECT_EQ(TLockResult::Failed, CreateNamedLock("VobrikMutex"));
    EXPECT_FALSE(BringRunningWindowForward("Vobrik"));
}

TEST_F(SingleInstance, SymbolicLinkInPlaceOfTheDirectoryIsRefused) {
    ASSERT_EQ(0, ::mkdir(Dir.Path("elsewhere").c_str(), 0700));
    ASSERT_EQ(0, ::symlink(Dir.Path("elsewhere").c_str(), Dir.Path("vobrik").c_str()));
    EXPECT_EQ(TLockResult::Failed, CreateNamedLock("VobrikMutex"));
}

TEST_F(SingleInstance, DirectoryIsMadePrivate) {
    ASSERT_EQ(Dir.Path("vobrik"), RuntimeDirectory());
    struct stat st {};
    ASSERT_EQ(0, ::stat(Dir.Path("vobrik").c_str(), &st));
    EXPECT_EQ(0700u, st.st_mode & 0777);
}

TEST_F(SingleInstance, NobodyListeningMeansNoRunningCopy) {
    EXPECT_FALSE(BringRunningWindowForward("Vobrik"));
    // The socket of a copy that died: connection refused.
    ::close(Listen());
    EXPECT_FALSE(BringRunningWindowForward("Vobrik"));
}

TEST_F(SingleInstance, RunningCopyThatAnswersIsFound) {
    const int server = Listen();
    std::string request;
    std::thread copy([&] {
        const int connection = ::accept(server, nullptr, nullptr);
        char buffer[16] = {};
        request.assign(buffer, static_cast<size_t>(::read(connection, buffer, sizeof buffer - 1)));
        (void)!::write(connection, "ok\n", 3);
        ::close(connection);
    });
    EXPECT_TRUE(BringRunningWindowForward("Vobrik"));
    copy.join();
    EXPECT_EQ("show\n", request);
    ::close(server);
}

TEST_F(SingleInstance, CopyStillStartingIsWaitedForWhenAsked) {
    EXPECT_FALSE(BringRunningWindowForward("Vobrik", 0));
    int server = -1;
    std::thread copy([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        server = Listen();
        const int connection = ::accept(server, nullptr, nullptr);
        char buffer[16];
        (void)!::read(connection, buffer, sizeof buffer);
        (void)!::write(connection, "ok\n", 3);
        ::close(connection);
    });
    EXPECT_TRUE(BringRunningWindowForward("Vobrik", 5000));
    copy.join();
    ::close(server);
}

TEST_F(SingleInstance, RunningCopyThatHangsUpIsNotTakenForAnAnswer) {
    const int server = Listen();
    std::thread copy([&] { ::close(::accept(server, nullptr, nullptr)); });
    EXPECT_FALSE(BringRunningWindowForward("Vobrik"));
    copy.join();
    ::close(server);
}

} // namespace
} // namespace vobrik
