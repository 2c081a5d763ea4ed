// Title writes from worker threads: each reaches the window on the UI thread while the UI thread
// keeps serving its loop, and no write is lost or torn.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/runtime/frame_fixture.h"

namespace kesu::test {
namespace {

class WindowThreadsTest : public FrameTest {};

TEST_F(WindowThreadsTest, TitlesFromSeveralWorkersArriveWhole) {
    image.windows.push_back(Window(kMain));
    Start();
    Load();
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    std::vector<std::string> titles;
    for (int i = 0; i < 4; ++i) titles.push_back("worker title " + std::to_string(i));
    for (int i = 0; i < 4; ++i) {
        workers.emplace_back([&, i] {
            for (int n = 0; n < 50; ++n) {
                const auto bits = reinterpret_cast<uintptr_t>(titles[i].c_str());
                WriteUnitProperty(kMain, 0, 8, 0, static_cast<uint32_t>(bits),
                                  static_cast<uint32_t>(bits >> 32));
                char* back = reinterpret_cast<char*>(ReadUnitProperty(kMain, 0, 8, 0));
                const std::string read = TextToString(back);
                MemFree(back);
                EXPECT_EQ(read.rfind("worker title ", 0), 0u) << read;
            }
            ++finished;
        });
    }
    EXPECT_TRUE(loop().RunUntil([&] { return finished.load() == 4; }));
    for (auto& w : workers) w.join();
    const std::string last = Native()->Text();
    EXPECT_NE(std::find(titles.begin(), titles.end(), last), titles.end());
}

TEST_F(WindowThreadsTest, WorkerWritesAfterShutdownAreRefusedNotHung) {
    image.windows.push_back(Window(kMain));
    Start();
    Load();
    ShutdownRuntime(0);
    // The loop is closed: a worker's property access returns instead of waiting forever.
    std::thread worker([] { WriteUnitProperty(kMain, 0, 9, 0, 1, 0); });
    worker.join();
    SUCCEED();
}

}  // namespace
}  // namespace kesu::test
