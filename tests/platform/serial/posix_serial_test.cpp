// What only the termios backend has: COM numbers resolved to device paths, other programs' locks,
// files that are not ttys, write time-outs, and the missing modem lines of pseudo-terminals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/posix/marked_input.h"
#include "platform/posix/port_claim.h"
#include "platform/posix/serial_posix.h"
#include "tests/platform/serial/pty.h"

namespace kesu::platform {
namespace {

class TempDir {
  public:
    TempDir() {
        char name[] = "/tmp/kesu-serial-XXXXXX";
        path = ::mkdtemp(name);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string path;
};

TEST(ComPortPathTest, ThePortDirectoryComesBeforeTheBuiltInTable) {
    TempDir dir;
    std::filesystem::create_symlink("/dev/null", dir.path + "/COM2");
    std::filesystem::create_symlink("/nowhere", dir.path + "/COM98");
    EXPECT_EQ(ComPortPath(2, dir.path), dir.path + "/COM2");
    EXPECT_EQ(ComPortPath(98, dir.path), dir.path + "/COM98");  // dangling: named, fails to open
    EXPECT_EQ(ComPortPath(1, dir.path), "/dev/ttyS0");
    EXPECT_EQ(ComPortPath(32, dir.path), "/dev/ttyS31");
    EXPECT_EQ(ComPortPath(33, dir.path), "/dev/ttyUSB0");
    EXPECT_EQ(ComPortPath(64, dir.path), "/dev/ttyUSB31");
    EXPECT_EQ(ComPortPath(65, dir.path), "/dev/ttyACM0");
    EXPECT_EQ(ComPortPath(96, dir.path), "/dev/ttyACM31");
    EXPECT_EQ(ComPortPath(97, dir.path), "");
    EXPECT_EQ(ComPortPath(100, dir.path), "");
    EXPECT_EQ(ComPortPath(0, dir.path), "");
    EXPECT_EQ(ComPortPath(101, dir.path), "");
    EXPECT_EQ(PosixSerialPorts(dir.path).Open(98), nullptr);

    ::setenv("KESU_PORT_DIR", dir.path.c_str(), 1);
    EXPECT_EQ(DefaultPortDir(), dir.path);
    EXPECT_EQ(ComPortPath(2), dir.path + "/COM2");
    ::unsetenv("KESU_PORT_DIR");
    const char* home = ::getenv("HOME");
    EXPECT_EQ(DefaultPortDir(), home ? std::string(home) + "/.config/kesu/ports" : "");
}

TEST(PosixSerialTest, PortsHeldByOtherProgramsOrNotTtysAreRefused) {
    testing::Pty pty;
    ASSERT_TRUE(pty.ok());
    const int other = ::open(pty.slave_path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(OpenPosixSerial(pty.slave_path()), nullptr);
    ::close(other);
    EXPECT_NE(OpenPosixSerial(pty.slave_path()), nullptr);

    TempDir dir;
    const std::string file = dir.path + "/plain";
    ::close(::open(file.c_str(), O_CREAT | O_WRONLY, 0600));
    EXPECT_EQ(OpenPosixSerial(file), nullptr);
    EXPECT_EQ(OpenPosixSerial(dir.path + "/missing"), nullptr);
    EXPECT_EQ(OpenPosixSerial(""), nullptr);
}

// Another program holding a device: a python3 process that opens it as pyserial would, without
// flock or TIOCEXCL, and keeps it open until its standard input closes.
class OtherProgram {
  public:
    explicit OtherProgram(const std::string& device) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            // dup2 clears close-on-exec on the copies only: the child keeps no write end of its
            // own standard input, so closing ours ends it.
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::execlp("python3", "python3", "-c",
                     "import os, sys\n"
                     "fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)\n"
                     "print('open', flush=True)\n"
                     "sys.stdin.read()\n",
                     device.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        char said[8] = {};
        opened_ = ::read(out[0], said, 4) == 4 && std::string(said) == "open";
        ::close(out[0]);
    }
    ~OtherProgram() { End(); }
    bool opened() const { return opened_; }
    pid_t pid() const { return pid_; }
    void End() {
        if (stdin_ >= 0) ::close(stdin_);
        stdin_ = -1;
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    bool opened_ = false;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(PosixSerialTest, APortAnotherProcessHasOpenOrALiveLockNamesIsInUse) {
    testing::Pty pty;
    ASSERT_TRUE(pty.ok());
    TempDir locks;
    ::setenv("KESU_LOCK_DIR", locks.path.c_str(), 1);
    const std::string lock = locks.path + "/" + LockFileName(pty.slave_path());
    EXPECT_EQ(lock.substr(lock.rfind('/')), "/LCK..pts_" + pty.slave_path().substr(9));

    {
        OtherProgram python(pty.slave_path());
        ASSERT_TRUE(python.opened());
        EXPECT_EQ(OpenPosixSerial(pty.slave_path()), nullptr);
    }

    // A lock file whose process lives keeps the port; one whose process is gone is taken over.
    std::ofstream(lock) << "      " << ::getppid() << "\n";
    EXPECT_EQ(OpenPosixSerial(pty.slave_path()), nullptr);
    const pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    std::ofstream(lock, std::ios::trunc) << "      " << dead << "\n";
    {
        auto device = OpenPosixSerial(pty.slave_path());
        ASSERT_NE(device, nullptr);
        char mine[16];
        std::snprintf(mine, sizeof mine, "%10d\n", static_cast<int>(::getpid()));
        EXPECT_EQ(ReadFile(lock), mine);
        // While kesu has the port, another program's view of it is the same.
        EXPECT_EQ(OpenPosixSerial(pty.slave_path()), nullptr);
    }
    EXPECT_FALSE(std::filesystem::exists(lock));
    // No leftovers of the lock's making either.
    EXPECT_TRUE(std::filesystem::is_empty(locks.path));
    ::unsetenv("KESU_LOCK_DIR");
}

TEST(PosixSerialTest, MarkedInputKeepsErroredBytesAndRealFFs) {
    MarkedInputDecoder decoder;
    std::vector<uint8_t> out;
    std::vector<size_t> errored;
    auto feed = [&](std::initializer_list<uint8_t> bytes) {
        const std::vector<uint8_t> in(bytes);
        decoder.Feed(in.data(), in.size(), out, errored);
    };
    // 41, an errored 85, a real FF, a break (an errored 00), then escapes split across reads.
    feed({0x41, 0xFF, 0x00, 0x85, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x42, 0xFF});
    feed({0x00});
    feed({0x13, 0xFF});
    feed({0xFF, 0x43});
    EXPECT_EQ(out, (std::vector<uint8_t>{0x41, 0x85, 0xFF, 0x00, 0x42, 0x13, 0xFF, 0x43}));
    EXPECT_EQ(errored, (std::vector<size_t>{1, 3, 5}));

    // Through a pseudo-terminal, which marks FF as FF FF once PARMRK is on: the byte comes out
    // once, with no line error.
    testing::Pty pty;
    auto device = OpenPosixSerial(pty.slave_path());
    ASSERT_NE(device, nullptr);
    LineSettings s;
    ASSERT_TRUE(device->GetSettings(s));
    s.parity_check = true;
    ASSERT_TRUE(device->SetSettings(s));
    ASSERT_TRUE(device->SetEventMask(kEvRxChar));
    ASSERT_TRUE(pty.Send("\xFF\x01\xFF"));
    std::string got;
    uint32_t all_errors = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (got.size() < 3 && std::chrono::steady_clock::now() < end) {
        uint32_t events = 0, errors = 0;
        size_t count = 0;
        device->WaitEvent(events);
        device->ClearErrors(errors, count);
        all_errors |= errors;
        uint8_t buffer[16];
        got.append(reinterpret_cast<char*>(buffer), device->Read(buffer, sizeof buffer));
    }
    EXPECT_EQ(got, "\xFF\x01\xFF");
    EXPECT_EQ(all_errors, 0u);
}

TEST(PosixSerialTest, WritesGiveUpAtTheirTimeOutAndPseudoTerminalsHaveNoLines) {
    testing::Pty pty;
    auto device = OpenPosixSerial(pty.slave_path());
    ASSERT_NE(device, nullptr);
    ASSERT_TRUE(device->SetTimeouts({0, 0, 0, 0, 100}));
    // Nobody reads the master: the tty fills up and the write ends at its 100 ms limit.
    const std::string block(1 << 20, 'x');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(device->Write(reinterpret_cast<const uint8_t*>(block.data()), block.size()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    // A cancel ends a write at once however long its time-outs are, and every write after it.
    ASSERT_TRUE(device->SetTimeouts({0, 0, 0, 1000, 1000}));
    // The tty is still full from the write above, so this one waits from its first byte on.
    std::thread canceller([&] { device->Cancel(); });
    const auto cancelled = std::chrono::steady_clock::now();
    EXPECT_FALSE(device->Write(reinterpret_cast<const uint8_t*>(block.data()), block.size()));
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::seconds(5));
    canceller.join();
    EXPECT_FALSE(device->Write(reinterpret_cast<const uint8_t*>("x"), 1));

    uint32_t status = 0;
    EXPECT_FALSE(device->ModemStatus(status));
    for (Line line : {Line::Dtr, Line::Rts, Line::Break}) {
        EXPECT_FALSE(device->SetLine(line, true));
    }
}

}  // namespace
}  // namespace kesu::platform
