// The trigger with its markers, beep and automatic reply; saving, loading, comparing and clearing.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/form/main_window_form.h"
#include "app/state.h"
#include "platform/gbk.h"
#include "tests/e2e/assistant_harness.h"

namespace kesu::e2e {
namespace {

namespace id = app::unit_id;
using platform::Gbk;

class TriggerFiles : public AssistantHarness {
  protected:
    std::filesystem::path TempFile(const std::string& name) {
        const auto dir =
            std::filesystem::temp_directory_path() / ("kesu-e2e-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        dirs_.push_back(dir);
        return dir / name;
    }
    void TearDown() override {
        AssistantHarness::TearDown();
        for (const auto& dir : dirs_) std::filesystem::remove_all(dir);
    }

  private:
    std::vector<std::filesystem::path> dirs_;
};

const std::string kRequest("\x02\x2E\x41\x01\x01\x6F\x10\x03\x10", 9);
const std::string kReply("\x10\x10\x02\x2F\x00\x02\x04\x00\x29\x10\x03", 11);

TEST_F(TriggerFiles, AHexConditionMatchesMarksBeepsAndAnswers) {
    FarEnd far = StartOpen();
    for (uint32_t box : {id::kHexDisplay, id::kHexSend, id::kWatchReceive, id::kAutoReply,
                         id::kTriggerBreak, id::kTriggerBeep}) {
        Click(box);
    }
    const size_t shown = TextOf(id::kReceiveBox).size();
    // The condition split over two arrivals still matches.
    Receive(far, kRequest.substr(0, 4));
    Receive(far, kRequest.substr(4));
    WaitForWorkers();
    EXPECT_EQ(far.Take(11), kReply);
    EXPECT_EQ(Beeps(), 1);
    Advance(150);
    EXPECT_EQ(TextOf(id::kTriggerCount), "1");
    EXPECT_EQ(TextOf(id::kSentCount), "11");
    EXPECT_EQ(TextOf(id::kReceiveBox).substr(shown), "02 2E 41 01 01 6F 10 03 10 [1]\r\n");
}

TEST_F(TriggerFiles, InTextDisplayTheConditionIsTheTextsOwnBytes) {
    FarEnd far = StartOpen();
    Click(id::kWatchReceive);
    Receive(far, kRequest);
    Advance(150);
    EXPECT_EQ(TextOf(id::kTriggerCount), "0");
    Receive(far, "02 2e 41 01 01 6f 10 03 10 ");
    Advance(150);
    EXPECT_EQ(TextOf(id::kTriggerCount), "1");
}

TEST_F(TriggerFiles, MatchesDoNotOverlap) {
    FarEnd far = StartOpen();
    Click(id::kHexDisplay);
    Click(id::kWatchReceive);
    Click(id::kTriggerBreak);
    TypeInto(id::kConditionBox, "AA AA");
    const size_t shown = TextOf(id::kReceiveBox).size();
    Receive(far, "\xAA\xAA\xAA\xAA");
    Advance(150);
    EXPECT_EQ(TextOf(id::kTriggerCount), "2");
    EXPECT_EQ(TextOf(id::kReceiveBox).substr(shown), "AA AA [1]\r\nAA AA [2]\r\n");
    // The numbering restarts after a count clear.
    Click(id::kClearCounts);
    Receive(far, "\xAA\xAA");
    Advance(150);
    EXPECT_EQ(TextOf(id::kReceiveBox).substr(shown), "AA AA [1]\r\nAA AA [2]\r\nAA AA [1]\r\n");
}

TEST_F(TriggerFiles, AnEmptyConditionMatchesEveryByte) {
    FarEnd far = StartOpen();
    Click(id::kWatchReceive);
    Click(id::kAutoReply);
    TypeInto(id::kConditionBox, "");
    TypeInto(id::kReplyBox, "!");
    Receive(far, "abc");
    WaitForWorkers();
    EXPECT_EQ(far.Take(3), "!!!");
    Advance(150);
    EXPECT_EQ(TextOf(id::kTriggerCount), "3");
}

TEST_F(TriggerFiles, SaveAndLoadThroughTheDialogs) {
    StartOpen();
    const auto saved = TempFile("saved.TXT");
    dialogs().QueueFile(saved.string());
    Click(id::kSaveText);
    WaitForWorkers();
    ASSERT_EQ(dialogs().FileRequests().size(), 1u);
    ASSERT_FALSE(dialogs().Boxes().empty());
    EXPECT_EQ(dialogs().Boxes().back().text, Gbk("文件保存成功！"));
    {
        std::ifstream in(saved, std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(content, TextOf(id::kReceiveBox));
    }

    // A file longer than the limit loads its first 200000 bytes, and the send follows it.
    const auto big = TempFile("big.TXT");
    {
        std::ofstream out(big, std::ios::binary);
        std::string text;
        for (int i = 0; i < 25000; ++i) text += "41 42 43 ";  // 225000 bytes
        out << text;
    }
    dialogs().QueueFile(big.string());
    Click(id::kLoadText);
    WaitForWorkers();
    EXPECT_EQ(TextOf(id::kSendBox).size(), 200000u);
    // 66666 tokens of three bytes, then the two digits left of the last one.
    EXPECT_EQ(app::CopyPrepared(&app::PreparedBytes::sendHex).size(), 66667u);

    // A zero byte at position 10 ends the text after 9 bytes.
    const auto zero = TempFile("zero.TXT");
    {
        std::ofstream out(zero, std::ios::binary);
        out << std::string("123456789\0abcdef", 16);
    }
    dialogs().QueueFile(zero.string());
    Click(id::kLoadText);
    WaitForWorkers();
    EXPECT_EQ(TextOf(id::kSendBox), "123456789");

    // A name that names no file ends in the open failure and leaves the box as it was.
    dialogs().QueueFile((saved.parent_path() / "missing.TXT").string());
    Click(id::kLoadText);
    WaitForWorkers();
    EXPECT_EQ(TextOf(id::kSendBox), "123456789");

    // A cancelled dialog does nothing.
    const size_t boxes = dialogs().Boxes().size();
    dialogs().QueueFile(std::nullopt);
    Click(id::kSaveText);
    WaitForWorkers();
    EXPECT_EQ(dialogs().Boxes().size(), boxes);
}

TEST_F(TriggerFiles, NamesOutsideGbkReachTheDiskAndAFailedSaveKeepsTheOldFile) {
    StartOpen();
    const std::string names[] = {"Größe.txt", "\xE9t\xE9.TXT", "数据_한글.TXT"};
    for (const std::string& name : names) {
        const auto path = TempFile(name);
        dialogs().QueueFile(path.string());
        Click(id::kSaveText);
        WaitForWorkers();
        EXPECT_EQ(dialogs().Boxes().back().text, Gbk("文件保存成功！")) << name;
        std::ifstream in(path, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), TextOf(id::kReceiveBox));

        std::ofstream(path, std::ios::binary) << "loaded " << name.size();
        dialogs().QueueFile(path.string());
        Click(id::kLoadText);
        WaitForWorkers();
        EXPECT_EQ(TextOf(id::kSendBox), "loaded " + std::to_string(name.size())) << name;
    }
    // Nothing else was written beside them: no name with question marks, no leftover.
    const auto dir = TempFile("").parent_path();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 3);

    // A save whose write fails reports it and leaves the file that was there as it was.
    const auto kept = dir / names[0];
    rlimit old_limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    rlimit tiny = old_limit;
    tiny.rlim_cur = 1;
    auto* old_handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    dialogs().QueueFile(kept.string());
    Click(id::kSaveText);
    WaitForWorkers();
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(dialogs().Boxes().back().text, Gbk("保存文件失败！"));
    std::ifstream in(kept, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              "loaded " + std::to_string(names[0].size()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 3);
}

TEST_F(TriggerFiles, CompareColoursAndTheTwoClearButtons) {
    Start();
    Click(id::kCompareText);
    EXPECT_EQ(TextColour(id::kReceiveBox), 0x000000FFu);
    Click(id::kClearReceive);
    EXPECT_EQ(TextOf(id::kReceiveBox), "");
    EXPECT_EQ(TextColour(id::kReceiveBox), 0u);
    TypeInto(id::kSendBox, "");
    Click(id::kCompareText);
    EXPECT_EQ(TextColour(id::kReceiveBox), 0x00FF0000u);
    // Exact: a difference in case is a difference.
    TypeInto(id::kSendBox, "abc");
    Click(id::kCompareText);
    EXPECT_EQ(TextColour(id::kReceiveBox), 0x000000FFu);

    Click(id::kClearSend);
    EXPECT_EQ(TextOf(id::kSendBox), "");
    EXPECT_EQ(app::CopyPrepared(&app::PreparedBytes::sendText).get(), nullptr);
    EXPECT_EQ(app::CopyPrepared(&app::PreparedBytes::sendHex).get(), nullptr);
}

}  // namespace
}  // namespace kesu::e2e
