#include "runtime/sysfunc.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "image_builder/image_builder.h"
#include "runtime/image.h"
#include "runtime/library.h"
#include "tests/runtime/runtime_test_support.h"
#include "tests/runtime/sample_image.h"

namespace kesu {
namespace {

using test::ExitCodeOf;
using test::LastBoxText;

struct Notice {
    std::string library;
    int code;
    intptr_t a1;
};
std::vector<Notice> g_notices;
int g_cleanups = 0;

template <int N>
intptr_t Notify(int code, intptr_t a1, intptr_t) {
    static const char* names[] = {"core", "thread", "number"};
    g_notices.push_back({names[N], code, a1});
    return 0;
}

void ZeroCommand(ResultRecord* result, int, ArgRecord*) {
    result->SetInt(77);
}
UnitOperation EditInterface(int) {
    return nullptr;
}

class SysfuncTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_notices.clear();
        g_cleanups = 0;
    }

    // Registers the sample's three libraries and starts the runtime over
    // `image`.
    void Start(const ProgramImage& image, bool registerThread = true) {
        RegisterLibrary({test::kCoreId,
                         {ZeroCommand},
                         Notify<0>,
                         {nullptr, nullptr, nullptr, nullptr, EditInterface}});
        if (registerThread) {
            // Registered in another letter case than the image names it.
            std::string id = test::kThreadId;
            std::transform(id.begin(), id.end(), id.begin(), ::tolower);
            RegisterLibrary({id, {nullptr, ZeroCommand}, Notify<1>, {}});
        }
        RegisterLibrary({test::kNumberId, {}, Notify<2>, {}});
        bytes_ = tools::BuildProgramImage(image);
        SetProgramImage(bytes_);
        RuntimeService(service::kInitialise);
    }

    test::RuntimeSandbox sandbox_;
    std::vector<uint8_t> bytes_;
};

TEST_F(SysfuncTest, TableSlotsAreInTheirFixedOrder) {
    const SystemFunctionTable& t = SystemFunctions();
    EXPECT_EQ(t.callLibraryCommand, &CallLibraryCommand);
    EXPECT_EQ(t.callCoreCommand, &CallCoreCommand);
    EXPECT_EQ(t.memAlloc, &MemAlloc);
    EXPECT_EQ(t.memRealloc, &MemRealloc);
    EXPECT_EQ(t.memFree, &MemFree);
    EXPECT_EQ(t.callDllCommand, &CallDllCommand);
    EXPECT_EQ(ExitCodeOf([&] { t.raiseRuntimeError(3); }), -1);
    EXPECT_NE(LastBoxText().find(RuntimeErrorMessage(3)), std::string::npos);
    EXPECT_EQ(ExitCodeOf([&] { t.endProgram(4); }), 4);
    EXPECT_EQ(static_cast<size_t>(sizeof(SystemFunctionTable) / sizeof(void*)), 13u);
}

TEST_F(SysfuncTest, CommandsGetAZeroedResultRecord) {
    auto body = [](ResultRecord* r, int count, ArgRecord* args) {
        // The record must be zero on entry, whatever the caller's stack held.
        EXPECT_EQ(r->low | r->high | r->type, 0u);
        if (count == 2) r->SetInt(args[0].AsInt() + args[1].AsInt());
    };
    ArgRecord args[2] = {ArgRecord::Int(40), ArgRecord::Int(2)};
    EXPECT_EQ(CallCoreCommand(body, 2, args).AsInt(), 42);
    ResultRecord nothing = CallLibraryCommand(body, 0, nullptr);
    EXPECT_EQ(nothing.low | nothing.high | nothing.type, 0u);
}

TEST_F(SysfuncTest, InitialisationNotifiesLibrariesAndKeepsTheImage) {
    ProgramImage image = test::SampleImage();
    // A type whose flags carry 0x04, to see every kind of code 2029.
    image.libraries[0].types[2] = test::SampleType("Old", 0x04, 0);
    Start(image);

    ASSERT_EQ(g_notices.size(), 3u);
    EXPECT_EQ(g_notices[0].library, "core");
    EXPECT_EQ(g_notices[2].library, "number");
    for (const Notice& n : g_notices) {
        EXPECT_EQ(n.code, 1);
        EXPECT_EQ(n.a1, reinterpret_cast<intptr_t>(&NotifyRuntime));
    }

    // The program directory becomes the current directory.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(ProgramDirectory(), cwd);
    EXPECT_EQ(ProgramFileName(), std::filesystem::read_symlink("/proc/self/exe").filename());
    EXPECT_STREQ(reinterpret_cast<const char*>(NotifyRuntime(2003, 0, 0)), cwd);
    char buffer[260] = "junk";
    NotifyRuntime(1006, 1, reinterpret_cast<intptr_t>(buffer));
    EXPECT_EQ(std::string(buffer), std::string(cwd) + "/");
    NotifyRuntime(1006, 2002, reinterpret_cast<intptr_t>(buffer));
    EXPECT_EQ(std::string(buffer), ProgramFileName());
    NotifyRuntime(1006, 5, reinterpret_cast<intptr_t>(buffer));
    EXPECT_STREQ(buffer, "");

    // The constant segment is the static range; its first byte is the empty text.
    const auto& constants = LoadedProgramImage()->constants;
    EXPECT_TRUE(InConstantSegment(constants.data() + 3));
    EXPECT_EQ(EmptyText(), reinterpret_cast<const char*>(constants.data()));

    EXPECT_EQ(BuildMode(), 3u);
    EXPECT_EQ(BuildNumberPlusOne(), 79781u);
    EXPECT_EQ(NotifyRuntime(2030, 0, 0), 3);
    EXPECT_EQ(NotifyRuntime(2032, 0, 0), 6);
    EXPECT_EQ(NotifyRuntime(1001, 0, 0), reinterpret_cast<intptr_t>(&WindowTemplates()));
    EXPECT_EQ(WindowTemplates()[0].records[0].events[2].handler, 0x1007u);

    auto* edit = reinterpret_cast<const UnitTypeDescriptor*>(NotifyRuntime(1002, kUnitEditBox, 0));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->englishName, "EditBox");
    EXPECT_EQ(NotifyRuntime(1002, kUnitLabel, 0), 0);  // unused slot
    EXPECT_EQ(NotifyRuntime(2029, 0x00010003, 0), 2);
    EXPECT_EQ(NotifyRuntime(2029, kUnitWindow, 0), 1);
    EXPECT_EQ(NotifyRuntime(2029, kTypeUnlNum, 0), 0);
    EXPECT_EQ(NotifyRuntime(2029, 0x00090001, 0), 0);
    EXPECT_EQ(FindUnitInterface(kUnitEditBox), &EditInterface);
    EXPECT_EQ(FindUnitInterface(kUnitWindow), nullptr);
    EXPECT_EQ(FindLibraryCommand(2, 1), &ZeroCommand);
    EXPECT_EQ(FindLibraryCommand(2, 2), nullptr);
    EXPECT_EQ(FindLibraryCommand(4, 0), nullptr);
}

TEST_F(SysfuncTest, EndProgramRunsCleanupOnceAndTellsLibraries) {
    Start(test::SampleImage());
    RuntimeService(service::kRegisterCleanup, reinterpret_cast<intptr_t>(+[] { ++g_cleanups; }));
    LoadedLibraries()[1].dataWord = 99;
    g_notices.clear();
    EXPECT_EQ(ExitCodeOf([] { NotifyRuntime(2016, 0, 0); }), 0);
    EXPECT_EQ(g_cleanups, 1);
    ASSERT_EQ(g_notices.size(), 3u);
    EXPECT_EQ(g_notices[1].code, 6);
    EXPECT_EQ(g_notices[1].a1, 99);
    EXPECT_FALSE(InConstantSegment(LoadedProgramImage()->constants.data()));
    // A later end finds nothing left to release: the clean-up ran once.
    g_notices.clear();
    EXPECT_EQ(ExitCodeOf([] { EndProgram(3); }), 3);
    EXPECT_EQ(g_cleanups, 1);
    EXPECT_TRUE(g_notices.empty());
}

TEST_F(SysfuncTest, AnErrorDuringShutdownEndsAtOnce) {
    Start(test::SampleImage());
    // The clean-up routine fails: the nested end must not start the shutdown
    // over (which would call the routine again or loop).
    RuntimeService(service::kRegisterCleanup, reinterpret_cast<intptr_t>(+[] {
                       ++g_cleanups;
                       RaiseRuntimeError(7);
                   }));
    EXPECT_EQ(ExitCodeOf([] { EndProgram(0); }), -1);
    EXPECT_EQ(g_cleanups, 1);
    EXPECT_NE(LastBoxText().find(RuntimeErrorMessage(7)), std::string::npos);
}

int g_frameShutdowns = 0;

TEST_F(SysfuncTest, AnEndForwardedToAnotherThreadIsStillCarriedOut) {
    // The window part forwards a worker's end to the main thread, which ends
    // the program in turn; that inner end must run the shutdown there.
    FrameEntries frame;
    frame.shutdown = [](int code) {
        ++g_frameShutdowns;
        if (g_frameShutdowns == 1) {
            std::thread main([code] { EXPECT_EQ(ExitCodeOf([code] { EndProgram(code); }), code); });
            main.join();
        }
    };
    SetFrameEntries(frame);
    g_frameShutdowns = 0;
    EXPECT_EQ(ExitCodeOf([] { EndProgram(5); }), 5);
    EXPECT_EQ(g_frameShutdowns, 2);
}

TEST_F(SysfuncTest, ImageFaultsAndMissingLibrariesEndInTheTemplateError) {
    const std::string expected = FormatRuntimeErrorText(errmsg::kTemplateLoad, 0);
    EXPECT_EQ(ExitCodeOf([&] { Start(test::SampleImage(), false); }), -1);
    EXPECT_EQ(LastBoxText(), expected);
    EXPECT_TRUE(g_notices.empty());  // nobody was told about a start that failed

    test::RuntimeSandbox freshRun;
    SetProgramImage({});
    EXPECT_EQ(ExitCodeOf([] { InitialiseRuntime(); }), -1);
    EXPECT_EQ(LastBoxText(), expected);
}

TEST_F(SysfuncTest, DllCommandsResolveOnceAndReportWhatIsMissing) {
    ProgramImage image;
    image.dllFiles = {"libc.so.6", "", "libc.so.6", "", "no-such-library.so"};
    image.dllNames = {"abs", "labs", "#5", "no_such_export_kesu", "f"};
    Start(image);
    const intptr_t minusSeven[] = {-7};
    EXPECT_EQ(CallDllCommand(0, minusSeven), 7);
    EXPECT_EQ(CallDllCommand(0, minusSeven), 7);  // from the cache
    const intptr_t minusNine[] = {-9};
    EXPECT_EQ(CallDllCommand(1, minusNine), 9);

    // 无法找到指定DLL库文件“libc.so.6”中的输出命令“#5”
    EXPECT_EQ(ExitCodeOf([] { CallDllCommand(2, {}); }), -1);
    EXPECT_NE(LastBoxText().find("\xCE\xC4\xBC\xFE\xA1\xB0libc.so.6\xA1\xB1\xD6\xD0\xB5\xC4\xCA\xE4"
                                 "\xB3\xF6\xC3\xFC\xC1\xEE\xA1\xB0#5\xA1\xB1"),
              std::string::npos);
    // Without a file: 无法找到指定DLL库文件中的输出命令“no_such_export_kesu”
    {
        test::RuntimeSandbox freshRun;
        Start(image);
        EXPECT_EQ(ExitCodeOf([] { CallDllCommand(3, {}); }), -1);
        EXPECT_NE(
            LastBoxText().find("\xCE\xC4\xBC\xFE\xD6\xD0\xB5\xC4\xCA\xE4\xB3\xF6\xC3\xFC\xC1\xEE"
                               "\xA1\xB0no_such_export_kesu\xA1\xB1"),
            std::string::npos);
    }
    test::RuntimeSandbox freshRun;
    Start(image);
    EXPECT_EQ(ExitCodeOf([] { CallDllCommand(4, {}); }), -1);
    EXPECT_EQ(ExitCodeOf([] { CallDllCommand(99, {}); }), -1);
    EXPECT_EQ(ExitCodeOf([] { CallDllCommand(-1, {}); }), -1);
}

class FindFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/kesu-find-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        for (const char* name : {"a.txt", "B.TXT", "c.log", ".hidden.txt", "plain"}) {
            std::ofstream(dir_ + "/" + name) << "x";
        }
        std::filesystem::create_directory(dir_ + "/sub.txt");
        chmod((dir_ + "/c.log").c_str(), 0444);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Every name the search yields, continuing with an empty pattern.
    std::set<std::string> All(const std::string& pattern, uint32_t mask, bool nonDirectories) {
        std::set<std::string> names;
        intptr_t handle = 0;
        std::string full = dir_ + "/" + pattern;
        char* name = FindFile(full.c_str(), mask, nonDirectories, &handle);
        while (name) {
            names.insert(name);
            MemFree(name);
            name = FindFile("", mask, nonDirectories, &handle);
        }
        EXPECT_EQ(handle, 0);  // closed and cleared at the end
        return names;
    }

    RuntimeState runtime_;
    std::string dir_;
};

TEST_F(FindFileTest, PatternsAndAttributeMasks) {
    using S = std::set<std::string>;
    // Archive (0x20) is the attribute of every regular file; matching is
    // case-blind like the names of the original file system.
    EXPECT_EQ(All("*.txt", 0x20, false), (S{"a.txt", "B.TXT", ".hidden.txt"}));
    EXPECT_EQ(All("*.txt", 0x10, false), (S{"sub.txt"}));
    EXPECT_EQ(All("*.txt", 0, true), (S{"a.txt", "B.TXT", ".hidden.txt"}));
    EXPECT_EQ(All("*", 0x01, false), (S{"c.log"}));
    EXPECT_EQ(All("*", 0x02, false), (S{".hidden.txt"}));
    EXPECT_EQ(All("*.*", 0x20, false).count("plain"), 1u);
    EXPECT_EQ(All("?.log", 0x37, false), (S{"c.log"}));
    // Mask bits outside 0x37 are ignored; a mask of 0 matches only entries
    // without attributes, which regular files and directories are not.
    EXPECT_TRUE(All("*", 0x80, false).empty());
    EXPECT_TRUE(All("nothing*", 0x37, false).empty());
}

TEST_F(FindFileTest, EmptyPatternWithoutSearchAndRestart) {
    intptr_t handle = 0;
    EXPECT_EQ(FindFile("", 0x37, false, &handle), nullptr);
    EXPECT_EQ(FindFile(nullptr, 0x37, false, &handle), nullptr);
    EXPECT_EQ(handle, 0);
    std::string missing = dir_ + "/no-such-dir/*";
    EXPECT_EQ(FindFile(missing.c_str(), 0x37, false, &handle), nullptr);

    // A new pattern closes the running search (LeakSanitizer checks it).
    std::string all = dir_ + "/*";
    char* first = FindFile(all.c_str(), 0x37, false, &handle);
    ASSERT_NE(first, nullptr);
    MemFree(first);
    std::string logs = dir_ + "/*.log";
    char* log = reinterpret_cast<char*>(
        RuntimeService(service::kFindFile, reinterpret_cast<intptr_t>(logs.c_str()), 0x37, 0,
                       reinterpret_cast<intptr_t>(&handle)));
    EXPECT_STREQ(log, "c.log");
    MemFree(log);
    RuntimeService(service::kCloseFind, handle);
}

}  // namespace
}  // namespace kesu
