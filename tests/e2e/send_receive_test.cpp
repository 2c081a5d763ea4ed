// Sending by hand and periodically, and the receive display with its counters and markers.
#include <gtest/gtest.h>

#include "app/form/main_window_form.h"
#include "app/state.h"
#include "platform/gbk.h"
#include "tests/e2e/assistant_harness.h"

namespace kesu::e2e {
namespace {

namespace id = app::unit_id;
using platform::Gbk;

class SendReceive : public AssistantHarness {
  protected:
    std::string ReceiveBoxTail() {
        const std::string box = TextOf(id::kReceiveBox);
        return box.substr(shownBefore_);
    }
    void MarkReceiveBox() { shownBefore_ = TextOf(id::kReceiveBox).size(); }
    void SendByHand() {
        Click(id::kManualSend);
        WaitForWorkers();
    }

  private:
    size_t shownBefore_ = 0;
};

TEST_F(SendReceive, ManualSendsOfTextAndHexAndTheCounters) {
    FarEnd far = StartOpen();
    SendByHand();
    EXPECT_EQ(far.Take(27), "02 2e 41 01 01 6f 10 03 10 ");
    // The send leaves the button and DTR as they were before it.
    EXPECT_EQ(TextOf(id::kManualSend), Gbk("手动发送"));
    EXPECT_TRUE(Enabled(id::kManualSend));
    EXPECT_FALSE(Checked(id::kDtrOutput));
    EXPECT_FALSE(hub().OutputLine("COM1", platform::Line::Dtr));
    EXPECT_EQ(TextOf(id::kSentCount), "0");  // shown only by the next refresh
    Advance(150);
    EXPECT_EQ(TextOf(id::kSentCount), "27");

    Click(id::kHexSend);
    SendByHand();
    EXPECT_EQ(far.Take(9), std::string("\x02\x2E\x41\x01\x01\x6F\x10\x03\x10", 9));
    Advance(150);
    EXPECT_EQ(TextOf(id::kSentCount), "36");

    // A long text shows thousands separators; the count clear writes a plain 0 at once.
    Click(id::kHexSend);
    TypeInto(id::kSendBox, std::string(1200, 'x'));
    SendByHand();
    EXPECT_EQ(far.Take(1200).size(), 1200u);
    Receive(far, std::string(1000, 'y'));
    Advance(150);
    EXPECT_EQ(TextOf(id::kSentCount), "1,236");
    EXPECT_EQ(TextOf(id::kReceivedCount), "1,000");
    Click(id::kClearCounts);
    EXPECT_EQ(TextOf(id::kSentCount), "0");
    EXPECT_EQ(TextOf(id::kReceivedCount), "0");
    EXPECT_EQ(TextOf(id::kTriggerCount), "0");
}

TEST_F(SendReceive, PeriodicSendEveryHalfSecondStopsAfterAFailure) {
    FarEnd far = StartOpen();
    TypeInto(id::kSendPeriod, "500");
    TypeInto(id::kSendBox, "ping");
    Click(id::kPeriodicSend);
    for (int i = 0; i < 3; ++i) {
        Advance(500);
        WaitForWorkers();
        EXPECT_EQ(far.Take(4), "ping") << "period " << i;
    }
    // The device stops taking bytes: the next send fails, which unchecks periodic sending for
    // good. (A device that vanishes would also close the port, racing with the send.)
    ASSERT_TRUE(hub().FailWrites("COM1", true));
    Advance(500);
    WaitForWorkers();
    EXPECT_EQ(Title(), Gbk("发送失败！"));
    EXPECT_FALSE(Checked(id::kPeriodicSend));
    ASSERT_TRUE(hub().FailWrites("COM1", false));
    Advance(2000);
    WaitForWorkers();
    EXPECT_EQ(app::Assistant().sentCount.load(), 12);
}

TEST_F(SendReceive, TextAndHexDisplayKeepADoubleByteCharacterWhole) {
    FarEnd far = StartOpen();
    MarkReceiveBox();
    Receive(far, "Hello");
    Receive(far, "\xC4");  // the first byte of 你 waits for its second
    Advance(150);
    EXPECT_EQ(ReceiveBoxTail(), "Hello");
    Receive(far, "\xE3");
    Advance(150);
    EXPECT_EQ(ReceiveBoxTail(), "Hello\xC4\xE3");
    // A lone lead byte takes whatever comes next as its second byte.
    Receive(far,
            "\xC4"
            "A");
    Click(id::kHexDisplay);
    Receive(far, std::string("Hello\x0A\x00\xFF", 8));
    Advance(150);
    EXPECT_EQ(ReceiveBoxTail(),
              "Hello\xC4\xE3\xC4"
              "A48 65 6C 6C 6F 0A 00 FF ");
    EXPECT_EQ(TextOf(id::kReceivedCount), "17");
}

TEST_F(SendReceive, AZeroByteInTextDisplayHidesNothingBehindIt) {
    FarEnd far = StartOpen();
    MarkReceiveBox();
    Receive(far, std::string("ab\0cd\0\0e", 8));
    Advance(150);
    EXPECT_EQ(ReceiveBoxTail(), "abcde");
    EXPECT_EQ(TextOf(id::kReceivedCount), "8");
}

// The refresh timer ticks every 150 ms from the window's creation, so the times below are
// chosen against that phase: a time-out marker shows at once only when no refresh fell between
// the burst's last byte and the time-out.
TEST_F(SendReceive, TimeoutMarkersCloseEachBurst) {
    FarEnd far = StartOpen();
    Click(id::kTimeoutBreak);
    MarkReceiveBox();
    AdvanceSinceStart(10);
    Receive(far, "first");  // time-out at 110, before the refresh at 150
    AdvanceSinceStart(150);
    EXPECT_EQ(ReceiveBoxTail(), "first<1>\r\n");
    AdvanceSinceStart(210);
    Receive(far, "second");  // the refresh at 300 shows it; the time-out at 310 comes after
    AdvanceSinceStart(450);
    EXPECT_EQ(ReceiveBoxTail(), "first<1>\r\nsecond");
    // Nothing received for a long time: no further marker; marker 2 waits for the next data.
    AdvanceSinceStart(3010);
    Receive(far, "x");
    AdvanceSinceStart(3150);
    EXPECT_EQ(ReceiveBoxTail(), "first<1>\r\nsecond<2>\r\nx<3>\r\n");
}

TEST_F(SendReceive, ClosingThePortUnchecksPeriodicSending) {
    FarEnd far = StartOpen();
    Click(id::kPeriodicSend);
    Click(id::kHexSend);
    Click(id::kPortButton);
    EXPECT_FALSE(Checked(id::kPeriodicSend));
    EXPECT_TRUE(Checked(id::kHexSend));
    Advance(3000);
    WaitForWorkers();
    EXPECT_EQ(far.Take(), "");
}

}  // namespace
}  // namespace kesu::e2e
