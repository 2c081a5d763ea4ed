// What only the termios backend has: COM numbers resolved to device paths, other programs' locks,
// files that are not ttys, write time-outs, and the missing modem lines of pseudo-terminals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <string>

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

    uint32_t status = 0;
    EXPECT_FALSE(device->ModemStatus(status));
    for (Line line : {Line::Dtr, Line::Rts, Line::Break}) {
        EXPECT_FALSE(device->SetLine(line, true));
    }
}

}  // namespace
}  // namespace kesu::platform
