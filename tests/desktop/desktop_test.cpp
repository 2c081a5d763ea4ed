// The assistant as a user meets it: the real program on an X server of its own, clicked and typed
// at through the server, and watched through its title, the clipboard, the screen, the bell and
// the device on its port. Each scenario starts the program afresh. Texts here are UTF-8, as the X
// server carries them; files the program writes are GBK.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "app/form/main_window_form.h"
#include "tests/desktop/desktop_driver.h"

namespace kesu::desktop {
namespace {

namespace id = app::unit_id;
using namespace std::string_literals;

bool EndsWith(const std::string& text, std::string_view tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail.data(), tail.size()) == 0;
}

size_t Occurrences(const std::string& text, std::string_view part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Waits for the list that a click on a combo box dropped down and clicks row `row` of its `rows`
// rows; false when no list showed.
bool ChooseRow(Desktop& d, int row, int rows) {
    unsigned long list = 0;
    if (!d.WaitUntil([&] {
            const auto shown = d.OtherWindows();
            return !shown.empty() && (list = shown.back()) != 0;
        })) {
        return false;
    }
    const Desktop::Rect r = d.GeometryOf(list);
    d.ClickAt(list, r.width / 2, (2 * row + 1) * r.height / (2 * rows));
    return d.WaitUntil([&] { return !d.IsShown(list); });
}

std::string GbkToUtf8(std::string gbk) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    std::string out(gbk.size() * 2, '\0');
    char* in = gbk.data();
    char* to = out.data();
    size_t inLeft = gbk.size(), outLeft = out.size();
    const size_t done = iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1)) return "(not GBK)";
    out.resize(out.size() - outLeft);
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

bool Dark(int r, int g, int b) {
    return r < 64 && g < 64 && b < 64;
}

// Whether a button's caption is drawn in black, as for an enabled button, not grey.
bool ShowsEnabled(Desktop& d, uint32_t button) {
    return d.CountPixels(button, Dark) > 10;
}

// Clicks a check box and waits until its square shows the mark, or no mark. The mark takes the
// caption's colour, dark or strong, where the square is grey. The device's bytes travel beside
// the X server's events, so a scenario waits for a click to show before they come.
bool ShowsMark(Desktop& d, uint32_t box) {
    const auto ink = [](int r, int g, int b) { return std::min({r, g, b}) < 0x90; };
    return d.CountPixels(box, ink, 16) >= 5;
}
void Toggle(Desktop& d, uint32_t box, bool checked = true) {
    d.Click(box);
    EXPECT_TRUE(d.WaitUntil([&] { return ShowsMark(d, box) == checked; })) << std::hex << box;
}

// Opens the port with 串口状态按钮 and waits until the window shows it open: the device's side
// opens first, and bytes that come before the open is done are purged with the port's input.
void Open(Desktop& d) {
    d.Click(id::kPortButton);
    ASSERT_TRUE(d.WaitUntil([&] { return d.PortOpen() && ShowsEnabled(d, id::kManualSend); }));
}

// A click into a box, Ctrl+A and `text` typed over all it held.
void Retype(Desktop& d, uint32_t unitId, std::string_view text) {
    d.Click(unitId);
    d.Keys("ctrl+a");
    d.Type(text);
}

// A shown window with this title gets the focus, takes `keys` and closes; false when it did not
// show or did not close.
bool Answer(Desktop& d, std::string_view title, const std::function<void()>& keys) {
    const unsigned long window = d.WaitForWindow(title);
    if (!window) return false;
    d.Focus(window);
    keys();
    return d.WaitUntil([&] { return !d.IsShown(window); });
}

// The line settings chosen from the lists by mouse and by keys, and typed, reach the device;
// the port list rescans when it drops down; open, DTR, RTS and close.
TEST(Desktop, LineSettingsOpenSignalsAndClose) {
    Desktop d;
    ASSERT_TRUE(d.ok()) << d.error();
    // The start-up scan found the device as COM1 and nothing else.
    EXPECT_EQ(d.Title(), " Kesu串口调试工具 V10");
    EXPECT_FALSE(d.PortOpen());
    std::string box = d.Copy(id::kReceiveBox);
    EXPECT_EQ(Occurrences(box, " COM1 --> 可用 "), 1u) << box;
    EXPECT_EQ(Occurrences(box, " --> 可用 "), 1u) << box;

    // Dropping down the port list scans again; Escape closes the list. The scan goes on to the
    // last port number after COM1, and the port button does nothing until it is over.
    d.Click(id::kPortList);
    EXPECT_TRUE(d.WaitUntil([&] { return !d.OtherWindows().empty(); }));
    d.Keys("Escape");
    EXPECT_TRUE(d.WaitUntil([&] {
        box = d.Copy(id::kReceiveBox);
        return Occurrences(box, " COM1 --> 可用 ") == 2 &&
               EndsWith(box, "----------------------------------------\r\n");
    })) << box;

    // Stop bits "2" (the third row) by mouse; the baud rate 57600 by keys in the dropped list.
    d.Click(id::kStopBits);
    ASSERT_TRUE(ChooseRow(d, 2, 3));
    d.Click(id::kBaudRate, 68);  // the arrow
    ASSERT_TRUE(d.WaitUntil([&] { return !d.OtherWindows().empty(); }));
    d.Keys("Home");
    for (int i = 0; i < 12; ++i) d.Keys("Down");
    d.Keys("Return");
    EXPECT_TRUE(d.WaitUntil([&] { return d.OtherWindows().empty(); }));
    EXPECT_EQ(d.Copy(id::kBaudRate), "57600");
    // Data bits and parity drop down as well; a pseudo-terminal keeps neither, so their choice
    // is not seen at the device.
    for (uint32_t list : {id::kDataBits, id::kParity}) {
        d.Click(list);
        EXPECT_TRUE(d.WaitUntil([&] { return !d.OtherWindows().empty(); })) << list;
        d.Keys("Escape");
        EXPECT_TRUE(d.WaitUntil([&] { return d.OtherWindows().empty(); })) << list;
    }

    Open(d);
    EXPECT_EQ(d.BaudRate(), 57600u);
    EXPECT_TRUE(d.TwoStopBits());
    EXPECT_EQ(d.Title(), " Kesu串口调试工具 V10");

    // DTR and RTS by hand: a pseudo-terminal has no modem lines, yet the box reports each change.
    d.Click(id::kDtrOutput);
    EXPECT_TRUE(d.WaitUntil([&] {
        return EndsWith(d.Copy(id::kReceiveBox), " DTR脚输出：低电平；DB9第4脚输出：正电平\r\n");
    }));
    d.Click(id::kRtsOutput);
    EXPECT_TRUE(d.WaitUntil([&] {
        return EndsWith(d.Copy(id::kReceiveBox), " RTS脚输出：低电平；DB9第7脚输出：正电平\r\n");
    }));
    d.Click(id::kRtsOutput);
    EXPECT_TRUE(d.WaitUntil([&] {
        return EndsWith(d.Copy(id::kReceiveBox), " RTS脚输出：高电平；DB9第7脚输出：负电平\r\n");
    }));

    d.Click(id::kPortButton);
    EXPECT_TRUE(d.WaitUntil([&] { return !d.PortOpen(); }));
    EXPECT_TRUE(d.WaitUntil([&] { return d.Title() == " 串口已关闭"; })) << d.Title();

    // The rate typed into the editable list: overtyping the selection, BackSpace, Delete and an
    // insertion in the middle make "19200", which the next open uses.
    d.Click(id::kBaudRate);
    d.Keys("ctrl+a");
    d.Type("19600x");
    d.Keys("BackSpace");
    for (int i = 0; i < 3; ++i) d.Keys("Left");
    d.Keys("Delete");
    d.Type("2");
    EXPECT_EQ(d.Copy(id::kBaudRate), "19200");
    Open(d);
    EXPECT_EQ(d.BaudRate(), 19200u);
}

// Typing, deleting, overtyping and pasting in the send box, sends in text and hex, the periodic
// send with a typed period, and the counters.
TEST(Desktop, SendingWhatWasTypedAndCounting) {
    Desktop d;
    ASSERT_TRUE(d.ok()) << d.error();
    Open(d);
    size_t sent = 0;
    const auto sendAndExpect = [&](const std::string& bytes) {
        // The button stays disabled until the previous send's line time is over, which may be
        // after its bytes reached the device.
        EXPECT_TRUE(d.WaitUntil([&] { return ShowsEnabled(d, id::kManualSend); }));
        d.Click(id::kManualSend);
        EXPECT_EQ(d.DeviceRead(bytes.size()), bytes);
        sent += bytes.size();
    };

    d.Click(id::kClearSend);
    d.Click(id::kSendBox);
    d.Type("Hello world");
    for (int i = 0; i < 5; ++i) d.Keys("BackSpace");
    d.Type("kesu");
    d.Keys("Home");
    for (int i = 0; i < 5; ++i) d.Keys("shift+Right");
    d.Type("Howdy");
    d.Keys("End");
    d.Type("\nline 2");
    d.Keys("ctrl+Home");
    d.Keys("Delete");
    d.Type("h");
    sendAndExpect("howdy kesu\r\nline 2");

    // A paste replaces the selection as typing does.
    d.Click(id::kSendBox);
    d.Keys("ctrl+a");
    EXPECT_TRUE(d.Paste("HELLO1234"));
    EXPECT_TRUE(d.WaitUntil([&] { return d.Copy(id::kSendBox) == "HELLO1234"; }));
    sendAndExpect("HELLO1234");

    // Hex: "48 45 4c 4C 4f" spells HELLO.
    Toggle(d, id::kHexSend);
    Retype(d, id::kSendBox, "48 45 4c 4C 4f");
    sendAndExpect("HELLO");

    // A period of 50 ms typed over the 1000: three sends come well within the deadline.
    d.Click(id::kSendPeriod);
    d.Keys("ctrl+a");
    d.Keys("BackSpace");
    d.Type("50");
    EXPECT_EQ(d.Copy(id::kSendPeriod), "50");
    Toggle(d, id::kPeriodicSend);
    EXPECT_EQ(d.DeviceRead(15, 3s), "HELLOHELLOHELLO");
    sent += 15;
    Toggle(d, id::kPeriodicSend, false);
    // A send may still be under way: the count shown settles on what the device got.
    EXPECT_TRUE(d.WaitUntil([&] {
        sent += d.DeviceRead(1, 0ms).size();
        return d.Copy(id::kSentCount) == std::to_string(sent);
    })) << sent;

    d.Click(id::kClearCounts);
    EXPECT_EQ(d.Copy(id::kSentCount), "0");
}

// Received text and hex in the receive box, the time-out and trigger line breaks with the reply
// and the bell, the compare colour and clearing.
TEST(Desktop, ReceivingTriggersAndCompare) {
    Desktop d;
    ASSERT_TRUE(d.ok()) << d.error();
    Open(d);
    const auto red = [](int r, int g, int b) { return r > 200 && g < 80 && b < 80; };

    // A lone line feed is copied as the line feed it is.
    ASSERT_TRUE(d.device().Send("Hi kesu\r\nline\n"));
    EXPECT_TRUE(d.WaitUntil([&] { return EndsWith(d.Copy(id::kReceiveBox), "Hi kesu\r\nline\n"); }))
        << d.Copy(id::kReceiveBox);

    Toggle(d, id::kHexDisplay);
    ASSERT_TRUE(d.device().Send("\x01\xAB"));
    EXPECT_TRUE(d.WaitUntil([&] { return EndsWith(d.Copy(id::kReceiveBox), "line\n01 AB "); }));

    // The time-out typed as "120" from "100": End, two BackSpaces and "20".
    d.Click(id::kTimeoutPeriod);
    d.Keys("End");
    d.Keys("BackSpace");
    d.Keys("BackSpace");
    d.Type("20");
    EXPECT_EQ(d.Copy(id::kTimeoutPeriod), "120");
    Toggle(d, id::kTimeoutBreak);
    ASSERT_TRUE(d.device().Send("\x02"));
    // The marker comes one period after the byte. The template's 1000 ms tick may close the
    // earlier burst first; and when a refresh showed the byte before the marker came, the marker
    // waits for the next change of a count, which a send makes.
    EXPECT_TRUE(d.WaitUntil([&] {
        const std::string text = d.Copy(id::kReceiveBox);
        if (EndsWith(text, "01 AB 02 <1>\r\n") || EndsWith(text, "01 AB <1>\r\n02 <2>\r\n")) {
            return true;
        }
        if (ShowsEnabled(d, id::kManualSend)) {
            d.Click(id::kManualSend);
            d.DeviceRead(27);
        }
        return false;
    })) << d.Copy(id::kReceiveBox);
    Toggle(d, id::kTimeoutBreak, false);

    // The condition AA BB typed over the stored one; the stored reply goes out in hex.
    Retype(d, id::kConditionBox, "AA BB");
    for (uint32_t box :
         {id::kHexSend, id::kWatchReceive, id::kAutoReply, id::kTriggerBreak, id::kTriggerBeep}) {
        Toggle(d, box);
    }
    const int bells = d.Bells();
    ASSERT_TRUE(d.device().Send("\xAA\xBB"));
    EXPECT_EQ(d.DeviceRead(11), "\x10\x10\x02\x2F\x00\x02\x04\x00\x29\x10\x03"s);
    EXPECT_TRUE(d.WaitUntil([&] { return EndsWith(d.Copy(id::kReceiveBox), "AA BB [1]\r\n"); }))
        << d.Copy(id::kReceiveBox);
    EXPECT_TRUE(d.WaitUntil([&] { return d.Bells() > bells; }));
    EXPECT_EQ(d.Copy(id::kTriggerCount), "1");
    EXPECT_EQ(d.Copy(id::kReceivedCount), "19");

    // The boxes differ: the compare turns the received text red; clearing empties the box and
    // makes it black again.
    d.Click(id::kReceiveBox);  // leaves no selection, whose colours would hide the text's
    EXPECT_EQ(d.CountPixels(id::kReceiveBox, red), 0);
    d.Click(id::kCompareText);
    EXPECT_TRUE(d.WaitUntil([&] { return d.CountPixels(id::kReceiveBox, red) > 50; }));
    d.Click(id::kClearReceive);
    ASSERT_TRUE(d.device().Send("3"));
    EXPECT_TRUE(d.WaitUntil([&] { return d.Copy(id::kReceiveBox) == "33 "; }))
        << d.Copy(id::kReceiveBox);
    EXPECT_EQ(d.CountPixels(id::kReceiveBox, red), 0);

    // A click takes the hex display off and Space in the box it focused puts it back on; each
    // byte is shown as the box stands when the byte comes.
    Toggle(d, id::kHexDisplay, false);
    d.Keys("space");
    ASSERT_TRUE(d.WaitUntil([&] { return ShowsMark(d, id::kHexDisplay); }));
    ASSERT_TRUE(d.device().Send("4"));
    EXPECT_TRUE(d.WaitUntil([&] { return d.Copy(id::kReceiveBox) == "33 34 "; }));
    Toggle(d, id::kHexDisplay, false);
    ASSERT_TRUE(d.device().Send("5"));
    EXPECT_TRUE(d.WaitUntil([&] { return d.Copy(id::kReceiveBox) == "33 34 5"; }))
        << d.Copy(id::kReceiveBox);
}

// The save dialog answered by keys writes the receive box to the file named; the open dialog
// loads a file into the send box, which the next send carries.
TEST(Desktop, SaveAndLoadThroughTheFileDialogs) {
    Desktop d;
    ASSERT_TRUE(d.ok()) << d.error();
    const std::string saved = d.scratchDir() + "/received.txt";
    d.Click(id::kSaveText);
    ASSERT_TRUE(Answer(d, "请输入要保存的文件名：", [&] {
        d.Keys("ctrl+a");
        d.Type(saved + "\n");
    }));
    ASSERT_TRUE(Answer(d, "信息：", [&] { d.Keys("Return"); }));
    const std::string file = GbkToUtf8(ReadFile(saved));
    EXPECT_NE(file.find("\r\n Kesu串口调试助手\r\n 版本：V3.0\r\n"), std::string::npos) << file;
    EXPECT_EQ(file, d.Copy(id::kReceiveBox));

    const std::string load = d.scratchDir() + "/send.txt";
    std::ofstream(load, std::ios::binary) << "load 1\r\nline 2";
    d.Click(id::kLoadText);
    ASSERT_TRUE(Answer(d, "请选择要打开的文件：", [&] {
        d.Keys("ctrl+a");
        d.Type(load + "\n");
    }));
    EXPECT_TRUE(d.WaitUntil([&] { return d.Copy(id::kSendBox) == "load 1\r\nline 2"; }));
    Open(d);
    d.Click(id::kManualSend);
    EXPECT_EQ(d.DeviceRead(14), "load 1\r\nline 2");
    // The send's worker still writes to the window after its bytes left; the window is closed
    // once the count shows the send finished.
    EXPECT_TRUE(d.WaitUntil([&] { return d.Copy(id::kSentCount) == "14"; }));
}

}  // namespace
}  // namespace kesu::desktop
