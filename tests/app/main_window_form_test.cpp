// The window description as the runtime will read it: records it can find, bindings it can
// resolve, and stored blocks that each unit type's own reader accepts with the intended values.
#include "app/form/main_window_form.h"

#include <gtest/gtest.h>

#include <set>
#include <string_view>

#include "runtime/image.h"
#include "runtime/value.h"
#include "units/check_box/check_box_settings.h"
#include "units/combo_box/combo_box_settings.h"
#include "units/edit_box/edit_box_settings.h"
#include "units/serial_port/serial_port_unit.h"
#include "units/window/window_settings.h"

namespace kesu::app {
namespace {

std::string_view DataOf(const FormUnit& unit) {
    return {reinterpret_cast<const char*>(unit.data.data()), unit.data.size()};
}

const FormUnit& Find(const Form& form, uint32_t id) {
    for (const FormUnit& unit : form.units) {
        if (unit.id == id) return unit;
    }
    ADD_FAILURE() << "no unit " << std::hex << id;
    return form.window;
}

TEST(MainWindowForm, RecordsAreFindableAndBindingsResolvable) {
    const Form form = MainWindowForm();
    EXPECT_EQ(form.windowId, 0x52010001u);
    EXPECT_EQ(form.units.size(), 55u);
    std::set<uint32_t> ids;
    for (const FormUnit& unit : form.units) {
        EXPECT_TRUE(IsSearchableId(unit.id)) << unit.name;
        EXPECT_FALSE(IsMenuItemId(unit.id)) << unit.name;
        EXPECT_TRUE(ids.insert(unit.id).second) << "duplicate id for " << unit.name;
        for (const auto& [event, handler] : unit.events) {
            EXPECT_GE(handler, 0);
            EXPECT_LT(handler, static_cast<int32_t>(Handler::kCount)) << unit.name;
        }
    }
    for (const FormUnit& unit : form.units) {
        if (unit.parent != 0) {
            EXPECT_TRUE(ids.count(unit.parent)) << unit.name;
        }
    }
    EXPECT_EQ(ChildrenOf(form, unit_id::kGroupSignals),
              (std::vector<uint32_t>{unit_id::kLabelDtr, unit_id::kDtrOutput, unit_id::kLabelRts,
                                     unit_id::kRtsOutput}));
    // Every handler is bound exactly once.
    std::multiset<int32_t> bound;
    for (const auto& [event, handler] : form.window.events) bound.insert(handler);
    for (const FormUnit& unit : form.units) {
        for (const auto& [event, handler] : unit.events) bound.insert(handler);
    }
    for (int32_t h = 0; h < static_cast<int32_t>(Handler::kCount); ++h) {
        EXPECT_EQ(bound.count(h), 1u) << "handler " << h;
    }
}

TEST(MainWindowForm, StoredBlocksReadBackWithTheWindowsStartSettings) {
    const Form form = MainWindowForm();

    units::WindowSettings window;
    ASSERT_TRUE(window.Load(DataOf(form.window)));
    EXPECT_EQ(window.title, "Kesu串口调试助手 V3.0");
    EXPECT_EQ(window.frameStyle, 2);
    EXPECT_EQ(window.minButton, 1);
    EXPECT_EQ(window.maxButton, 0);
    EXPECT_EQ(window.windowState, 0);
    EXPECT_EQ(form.window.width, 744);
    EXPECT_EQ(form.window.height, 547);

    units::ComboBoxSettings parity;
    ASSERT_TRUE(parity.Load(DataOf(Find(form, unit_id::kParity))));
    EXPECT_TRUE(parity.sorted);
    EXPECT_EQ(parity.listType, 2);
    EXPECT_EQ(parity.items.front(), "4空白校验");
    EXPECT_EQ(parity.listIndex, 0);

    units::ComboBoxSettings baud;
    ASSERT_TRUE(baud.Load(DataOf(Find(form, unit_id::kBaudRate))));
    EXPECT_EQ(baud.listType, 1);
    EXPECT_EQ(baud.items.size(), 20u);
    EXPECT_EQ(baud.items[6], "9600");
    EXPECT_EQ(baud.listIndex, 6);
    EXPECT_EQ(baud.content, "115200");

    units::EditBoxSettings send;
    ASSERT_TRUE(send.Load(DataOf(Find(form, unit_id::kSendBox))));
    EXPECT_EQ(send.content, "02 2e 41 01 01 6f 10 03 10 ");
    EXPECT_EQ(send.maxLength, 100000);
    EXPECT_TRUE(send.multiLine);
    EXPECT_EQ(send.textColour, 0x00FF0000u);

    units::EditBoxSettings receive;
    ASSERT_TRUE(receive.Load(DataOf(Find(form, unit_id::kReceiveBox))));
    EXPECT_EQ(receive.content.size(), 119u);
    EXPECT_EQ(receive.maxLength, 0);

    units::EditBoxSettings counter;
    ASSERT_TRUE(counter.Load(DataOf(Find(form, unit_id::kSentCount))));
    EXPECT_EQ(counter.alignment, 2);
    EXPECT_EQ(counter.content, "0");

    units::CheckBoxSettings dtr;
    ASSERT_TRUE(dtr.Load(DataOf(Find(form, unit_id::kDtrOutput))));
    EXPECT_EQ(dtr.caption, "高电平");
    EXPECT_EQ(dtr.textColour, 0x00FF0090u);
    EXPECT_FALSE(dtr.checked);

    units::SerialPortSettings port;
    ASSERT_TRUE(port.Load(DataOf(Find(form, unit_id::kSerialPort))));
    EXPECT_EQ(Find(form, unit_id::kSerialPort).data.size(), 52u);
    EXPECT_TRUE(port.parityCheck);
    EXPECT_EQ(port.baudRate, 19200);
}

TEST(MainWindowForm, PortUseUnitsAndCheckBoxesStartDisabled) {
    const Form form = MainWindowForm();
    for (const FormUnit& unit : form.units) {
        const bool expected = unit.type == kUnitCheckBox || unit.id == unit_id::kManualSend;
        EXPECT_EQ(unit.disabled, expected) << unit.name;
    }
}

}  // namespace
}  // namespace kesu::app
