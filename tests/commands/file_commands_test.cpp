#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "commands/core_commands.h"
#include "platform/gbk.h"
#include "platform/headless/headless.h"
#include "platform/posix/file_posix.h"
#include "runtime/notify.h"
#include "tests/commands/command_call.h"

namespace kesu::commands {
namespace {

using namespace test;

class FileCommands : public CommandTest {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/kesu-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        for (int32_t n : open_) Call(CloseFile, {Int(n)});
        std::string command = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    // A path in the test directory, as the program names it (GBK).
    std::string Path(const std::string& utf8_name) {
        return platform::Utf8ToGbk(dir_ + "/" + utf8_name);
    }
    std::string Disk(const std::string& utf8_name) { return dir_ + "/" + utf8_name; }

    void Put(const std::string& utf8_name, const std::string& bytes) {
        std::ofstream(Disk(utf8_name), std::ios::binary) << bytes;
    }
    std::string Get(const std::string& utf8_name) {
        std::ifstream in(Disk(utf8_name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool Exists(const std::string& utf8_name) { return access(Disk(utf8_name).c_str(), F_OK) == 0; }

    int32_t Open(const std::string& utf8_name, ArgRecord mode, ArgRecord sharing) {
        int32_t n = Call(OpenFile, {Text(Path(utf8_name)), mode, sharing}).AsInt();
        if (n) open_.push_back(n);
        return n;
    }
    int32_t Open(const std::string& utf8_name, int mode, int sharing) {
        return Open(utf8_name, Int(mode), Int(sharing));
    }
    void Close(int32_t n) {
        Call(CloseFile, {Int(n)});
        std::erase(open_, n);
    }
    std::string Read(int32_t n, ArgRecord count = Omitted()) {
        return CallText(ReadText, {Int(n), count});
    }

    std::string dir_;
    std::vector<int32_t> open_;
    platform::PosixFiles files_;
    platform::headless::HeadlessPlatform platform_{{.files = &files_}};
    platform::ScopedInstall install_{platform_};
};

TEST_F(FileCommands, RefusesBadArgumentsWithoutTouchingTheDisk) {
    EXPECT_EQ(Open("a.txt", 0, 1), 0);
    EXPECT_EQ(Open("a.txt", 7, 1), 0);
    EXPECT_EQ(Open("a.txt", 4, 0), 0);
    EXPECT_EQ(Open("a.txt", 4, 5), 0);
    EXPECT_FALSE(Exists("a.txt"));
    EXPECT_EQ(Call(OpenFile, {Text(""), Int(4), Int(1)}).AsInt(), 0);
    EXPECT_EQ(Open("missing.txt", 1, 1), 0);
    EXPECT_EQ(Open("missing.txt", 2, 1), 0);
    EXPECT_EQ(Open("missing.txt", Omitted(), Omitted()), 0);  // default mode 3 needs the file
    EXPECT_FALSE(Exists("missing.txt"));
    EXPECT_EQ(Call(OpenFile, {Text(platform::Utf8ToGbk(dir_)), Int(1), Int(1)}).AsInt(), 0);
}

TEST_F(FileCommands, ModesCreateEmptyOrKeep) {
    Put("keep.txt", "old");
    int32_t n = Open("keep.txt", 5, 1);
    ASSERT_NE(n, 0);
    EXPECT_EQ(Get("keep.txt"), "old");
    Close(n);
    n = Open("keep.txt", 4, 1);
    ASSERT_NE(n, 0);
    // The emptied file takes the old one's place when it is closed.
    Close(n);
    EXPECT_EQ(Get("keep.txt"), "");
    ASSERT_NE(Open("new6.txt", 6, 1), 0);
    EXPECT_TRUE(Exists("new6.txt"));
    // A GBK name reaches the file system as UTF-8.
    int32_t chinese = Open("数据.txt", 4, 1);
    ASSERT_NE(chinese, 0);
    EXPECT_TRUE(Call(WriteText, {Int(chinese), Text("x")}).AsBool());
    Close(chinese);
    EXPECT_EQ(Get("数据.txt"), "x");
    // A name outside GBK reaches the disk unchanged through its escaped text; the file
    // replaced keeps its permissions.
    Put("Größe.txt", "old");
    chmod(Disk("Größe.txt").c_str(), 0640);
    int32_t foreign =
        Call(OpenFile, {Text(platform::FsNameToGbk(Disk("Größe.txt"))), Int(4)}).AsInt();
    ASSERT_NE(foreign, 0);
    EXPECT_TRUE(Call(WriteText, {Int(foreign), Text("new")}).AsBool());
    EXPECT_EQ(Get("Größe.txt"), "old");  // until it is closed
    Close(foreign);
    EXPECT_EQ(Get("Größe.txt"), "new");
    struct stat st;
    ASSERT_EQ(stat(Disk("Größe.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(FileCommands, NumbersAreRegisteredUntilClosed) {
    Put("f.txt", "data");
    int32_t n = Open("f.txt", 1, 1);
    ASSERT_NE(n, 0);
    EXPECT_EQ(OpenFileAccess(n), 1);
    int32_t m = Open("f.txt", 1, 1);
    EXPECT_NE(m, n);
    Close(n);
    EXPECT_EQ(OpenFileAccess(n), -1);
    EXPECT_EQ(Read(n), "");
    EXPECT_FALSE(Call(WriteText, {Int(n), Text("x")}).AsBool());
    Call(CloseFile, {Int(n)});  // closing twice is ignored
    Call(CloseFile, {Int(0)});
    EXPECT_EQ(Read(m), "data");
}

TEST_F(FileCommands, SharingModesExcludeOtherOpeners) {
    Put("s.txt", "shared");
    struct Case {
        int first_mode, first_sharing, second_mode, second_sharing;
        bool second_opens;
    } cases[] = {
        {3, 1, 3, 1, true},   // everyone may read and write
        {1, 3, 1, 1, true},   // writing denied, reading allowed
        {1, 3, 2, 1, false},  // ... so a writer is refused
        {1, 3, 6, 1, false},
        {1, 2, 1, 1, false},  // reading denied
        {1, 2, 2, 1, true},   // ... writing allowed
        {3, 4, 1, 1, false},  // exclusive
        {3, 4, 2, 1, false},
        {2, 1, 1, 3, false},  // the newcomer denies writing but a writer is there
        {1, 1, 1, 2, false},  // the newcomer denies reading but a reader is there
        {1, 1, 1, 3, true},
        {2, 1, 2, 2, true},
    };
    for (const auto& c : cases) {
        int32_t first = Open("s.txt", c.first_mode, c.first_sharing);
        ASSERT_NE(first, 0);
        int32_t second = Open("s.txt", c.second_mode, c.second_sharing);
        EXPECT_EQ(second != 0, c.second_opens) << c.first_mode << "/" << c.first_sharing << " then "
                                               << c.second_mode << "/" << c.second_sharing;
        if (second) Close(second);
        Close(first);
        // Once the first opener is gone, the second open always succeeds.
        int32_t again = Open("s.txt", c.second_mode, c.second_sharing);
        EXPECT_NE(again, 0);
        Close(again);
    }
    // A refused mode-4 open must not empty the file.
    int32_t guard = Open("s.txt", 1, 4);
    ASSERT_NE(guard, 0);
    EXPECT_EQ(Open("s.txt", 4, 1), 0);
    EXPECT_EQ(Get("s.txt"), "shared");
}

TEST_F(FileCommands, SharingHoldsAcrossProcesses) {
    Put("p.txt", "x");
    int32_t exclusive = Open("p.txt", 3, 4);
    ASSERT_NE(exclusive, 0);
    auto child_can_open = [&](platform::FileMode mode) {
        pid_t pid = fork();
        if (pid == 0) {
            bool opened = platform::PosixFiles().Open(Disk("p.txt"), mode,
                                                      platform::FileSharing::kDenyNone) != nullptr;
            _exit(opened ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    EXPECT_FALSE(child_can_open(platform::FileMode::kRead));
    Close(exclusive);
    EXPECT_TRUE(child_can_open(platform::FileMode::kRead));
}

TEST_F(FileCommands, ReadTextStopsAtTerminators) {
    Put("t.txt", std::string("AB\0CD", 5));
    int32_t n = Open("t.txt", 1, 1);
    EXPECT_EQ(Read(n), "AB");
    EXPECT_EQ(Read(n), "");  // the 0 byte was not consumed
    EXPECT_EQ(Read(n, Int(0)), "");

    Put("eof.txt", "one\x1Atwo");
    n = Open("eof.txt", 1, 1);
    EXPECT_EQ(Read(n), "one");
    EXPECT_EQ(Read(n), "");

    // A lead byte before a 0: left out, and the position is just behind it.
    Put("lead.txt", std::string("A\xB0\0Z", 4));
    n = Open("lead.txt", 3, 1);
    EXPECT_EQ(Read(n), "A");
    EXPECT_TRUE(Call(WriteText, {Int(n), Text("Q")}).AsBool());  // overwrites the 0
    Close(n);
    EXPECT_EQ(Get("lead.txt"), std::string("A\xB0QZ", 4));

    // A two-byte character whose trail byte is 0x1A is stepped over whole.
    Put("pair.txt", std::string("\xB0\x1A"
                                "b",
                                3));
    n = Open("pair.txt", 1, 1);
    EXPECT_EQ(Read(n), std::string("\xB0\x1A"
                                   "b",
                                   3));
}

TEST_F(FileCommands, ReadTextCountsAndPositions) {
    Put("c.txt", "abcdef");
    int32_t n = Open("c.txt", 1, 1);
    EXPECT_EQ(Read(n, Int(2)), "ab");
    EXPECT_EQ(Read(n), "cdef");  // the whole length is asked for, the rest comes
    EXPECT_EQ(Read(n), "");
    EXPECT_EQ(Read(n, Int(-1)), "");
    int32_t m = Open("c.txt", 1, 1);
    EXPECT_EQ(Read(m, Int(2147483647)), "abcdef");

    // A read that fails moves the position to the end.
    Put("w.txt", "12345");
    int32_t w = Open("w.txt", 2, 1);
    EXPECT_EQ(Read(w), "");
    EXPECT_TRUE(Call(WriteText, {Int(w), Text("+")}).AsBool());
    Close(w);
    EXPECT_EQ(Get("w.txt"), "12345+");
}

TEST_F(FileCommands, WriteTextWritesValuesAsText) {
    int32_t n = Open("out.txt", 4, 1);
    ArgRecord byte_set;
    uint8_t raw[] = {'Z'};
    uint8_t* set = MakeByteSet(raw, 1);
    byte_set.SetByteSet(set);
    ArgRecord single;
    single.SetFloat(0.5f);
    EXPECT_TRUE(Call(WriteText, {Int(n), Int(12), Text("x")}).AsBool());
    EXPECT_TRUE(
        Call(WriteText, {Int(n), Double(1e20), Bool(true), Text(""), byte_set, single}).AsBool());
    MemFree(set);
    Close(n);
    EXPECT_EQ(Get("out.txt"), "12x1e+020" + platform::Gbk("真") + "0.5");

    // A file without write access: false, position back where it was.
    int32_t r = Open("out.txt", 1, 1);
    EXPECT_EQ(Read(r, Int(2)), "12");
    EXPECT_FALSE(Call(WriteText, {Int(r), Text("no")}).AsBool());
    EXPECT_EQ(Read(r, Int(1)), "x");
}

}  // namespace
}  // namespace kesu::commands
