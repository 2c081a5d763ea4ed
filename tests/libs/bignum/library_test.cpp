// The big-number library as compiled code calls it: cells, argument records,
// new cells for results, texts from the runtime's heap.

#include <gtest/gtest.h>

#include <string>

#include "libs/bignum/bignum_library.h"
#include "libs/bignum/number.h"
#include "runtime/notify.h"
#include "runtime/runtime_state.h"
#include "runtime/value.h"
#include "tests/libs/bignum/allocation_failure.h"
#include "tests/runtime/allocation_limit.h"

namespace kesu::bignum {
namespace {

// The runtime services the library asks for, answered the way the runtime
// answers them: allocation with the no-check flag, and ValueToInteger.
int allocations = 0;
intptr_t TestNotify(int code, intptr_t a1, intptr_t a2) {
    switch (code) {
        case notify::kAlloc:
            ++allocations;
            return a2 ? reinterpret_cast<intptr_t>(TryMemAlloc(static_cast<size_t>(a1)))
                      : reinterpret_cast<intptr_t>(MemAlloc(static_cast<size_t>(a1)));
        case notify::kValueToInteger:
            return ValueToInteger(*reinterpret_cast<const ArgRecord*>(a1));
        default:
            return 0;
    }
}

class UnlNumLibrary : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(Notify(1, reinterpret_cast<intptr_t>(&TestNotify), 0), 0); }
    void TearDown() override {
        for (void* cell : cells_) {
            ArgRecord arg = Cell(cell);
            Call(Destroy, {arg});
            MemFree(cell);
        }
        SetAllocationLimitForTesting(0);
    }

    static ArgRecord Cell(void* cell) {
        ArgRecord r;
        r.SetPtr(cell, kTypeUnlNum);
        return r;
    }

    static ResultRecord Call(CommandBody body, std::vector<ArgRecord> args) {
        ResultRecord result;
        body(&result, static_cast<int>(args.size()), args.data());
        return result;
    }

    // A fresh variable as compiled code makes one: a cell from MemAlloc, then Create.
    void* Variable() {
        void* cell = MemAlloc(sizeof(void*));
        cells_.push_back(cell);
        Call(Create, {Cell(cell)});
        return cell;
    }

    void* Make(const ArgRecord& value) {
        void* cell = Variable();
        EXPECT_TRUE(Call(SetValue, {Cell(cell), value}).AsBool());
        return cell;
    }
    void* Make(double value) { return Make(ArgRecord::Double(value)); }

    // Takes a result cell over so that TearDown releases it.
    void* Adopt(const ResultRecord& r) {
        EXPECT_EQ(r.type, kTypeUnlNum);
        void* cell = r.AsPtr();
        if (cell) cells_.push_back(cell);
        return cell;
    }

    std::string Text(void* cell) {
        ResultRecord r = Call(ToTextCommand, {Cell(cell)});
        std::string s = TextToString(r.AsText());
        MemFree(r.AsText());
        return s;
    }

    RuntimeState runtime_;  // a fresh run for each test, made before SetUp
    std::vector<void*> cells_;
};

TEST_F(UnlNumLibrary, CommandListIsInLibraryOrder) {
    auto list = CommandList();
    ASSERT_EQ(list.size(), 11u);
    EXPECT_EQ(list[0], &SetValue);
    EXPECT_EQ(list[1], &MultiplyCommand);
    EXPECT_EQ(list[2], &Destroy);
    EXPECT_EQ(list[3], &AddCommand);
    EXPECT_EQ(list[4], &IsGreater);
    EXPECT_EQ(list[5], &ModCommand);
    EXPECT_EQ(list[6], &ToTextCommand);
    EXPECT_EQ(list[7], &DivideCommand);
    EXPECT_EQ(list[8], &IntegerPartCommand);
    EXPECT_EQ(list[9], &ToInteger);
    EXPECT_EQ(list[10], &Create);
    EXPECT_EQ(Notify(6, 0, 0), -1);
    EXPECT_EQ(Notify(0, 0, 0), -1);

    // The descriptor puts `UnlNum` at type number 10, so that with the library
    // third in the program its type code is 0x0003000A.
    LibraryInfo info = BignumLibraryInfo();
    ASSERT_EQ(info.types.size(), 11u);
    EXPECT_TRUE(info.types[9].present);
    EXPECT_EQ(info.types[9].englishName, "UnlNum");
    EXPECT_EQ(info.types[9].flags, 0xC0000000u);
    EXPECT_EQ(info.commandCount, 11u);
    RegisterBignumLibrary();
    const NativeLibrary* native = FindRegisteredLibrary(kIdentifier);
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(native->commands.size(), 11u);
    EXPECT_EQ(native->notify, &Notify);
}

TEST_F(UnlNumLibrary, SetValueByType) {
    ArgRecord min_int = ArgRecord::Int(-2147483647 - 1);
    EXPECT_EQ(Text(Make(min_int)), "-2147483648");
    ArgRecord byte;
    byte.SetByte(200);
    EXPECT_EQ(Text(Make(byte)), "200");
    ArgRecord shortv;
    shortv.SetShort(-300);
    EXPECT_EQ(Text(Make(shortv)), "-300");
    ArgRecord longv;
    longv.SetLong(-1234567890123456789);
    EXPECT_EQ(Text(Make(longv)), "-1234567890123456789");
    ArgRecord single;
    single.SetFloat(0.5f);
    EXPECT_EQ(Text(Make(single)), "0.5");
    EXPECT_EQ(Text(Make(123456789012.5)), "123456789012.5");

    // Refusals leave the variable holding 0 and answer false.
    void* v = Make(7.0);
    EXPECT_FALSE(Call(SetValue, {Cell(v), ArgRecord::Double(1e13)}).AsBool());
    EXPECT_EQ(Text(v), "0");
    Call(SetValue, {Cell(v), ArgRecord::Int(9)});
    EXPECT_FALSE(Call(SetValue, {Cell(v), ArgRecord::Text("12")}).AsBool());
    EXPECT_EQ(Text(v), "0");
    EXPECT_FALSE(Call(SetValue, {Cell(v)}).AsBool());
    EXPECT_EQ(Text(v), "0");
}

TEST_F(UnlNumLibrary, ArithmeticReturnsNewCellsAndLeavesOperandsAlone) {
    void* a = Make(2.5);
    void* b = Make(ArgRecord::Int(2));
    void* product = Adopt(Call(MultiplyCommand, {Cell(a), Cell(b)}));
    EXPECT_EQ(Text(product), "5");
    EXPECT_EQ(Call(ToInteger, {Cell(product)}).AsInt(), 0);  // carries a fraction group
    void* whole = Adopt(Call(IntegerPartCommand, {Cell(product)}));
    EXPECT_EQ(Call(ToInteger, {Cell(whole)}).AsInt(), 5);
    EXPECT_EQ(Text(a), "2.5");

    void* ten = Make(ArgRecord::Int(10));
    void* three = Make(ArgRecord::Int(3));
    ArgRecord two_places = ArgRecord::Int(2);
    EXPECT_EQ(Text(Adopt(Call(DivideCommand, {Cell(ten), Cell(three), two_places}))), "3.33");
    EXPECT_EQ(Text(Adopt(Call(AddCommand, {Cell(ten), Cell(three)}))), "13");
    EXPECT_EQ(Text(Adopt(Call(ModCommand, {Cell(ten), Cell(three)}))), "1");
    EXPECT_TRUE(Call(IsGreater, {Cell(ten), Cell(three)}).AsBool());
    EXPECT_FALSE(Call(IsGreater, {Cell(three), Cell(ten)}).AsBool());
}

TEST_F(UnlNumLibrary, NullCellsAndEmptyCellsBehaveAsZero) {
    ArgRecord null_cell;
    null_cell.SetPtr(nullptr, kTypeUnlNum);
    void* empty = Variable();
    Call(Destroy, {Cell(empty)});  // the cell now holds no number
    Call(Destroy, {Cell(empty)});  // and a second release is harmless
    void* five = Make(ArgRecord::Int(5));

    for (ArgRecord zero : {null_cell, Cell(empty)}) {
        EXPECT_EQ(Call(ToTextCommand, {zero}).AsText(), nullptr);
        EXPECT_EQ(Call(ToInteger, {zero}).AsInt(), 0);
        EXPECT_FALSE(Call(IsGreater, {zero, Cell(five)}).AsBool());
        EXPECT_TRUE(Call(IsGreater, {Cell(five), zero}).AsBool());
        EXPECT_EQ(Text(Adopt(Call(AddCommand, {zero, Cell(five)}))), "5");
        EXPECT_EQ(Text(Adopt(Call(MultiplyCommand, {zero, Cell(five)}))), "0");
        EXPECT_EQ(Text(Adopt(Call(DivideCommand, {Cell(five), zero, ArgRecord::Int(2)}))), "0");
        EXPECT_EQ(Text(Adopt(Call(ModCommand, {Cell(five), zero}))), "5");
    }
    // Commands on a null variable do nothing and say so.
    EXPECT_FALSE(Call(SetValue, {null_cell, ArgRecord::Int(1)}).AsBool());
    Call(Create, {null_cell});
    Call(Destroy, {null_cell});
}

TEST_F(UnlNumLibrary, ExhaustedHeapGivesAnEmptyCellOrNoCell) {
    void* a = Make(ArgRecord::Int(12));
    // The result cell itself cannot be allocated: no cell at all.
    SetAllocationLimitForTesting(1);
    ResultRecord r = Call(AddCommand, {Cell(a), Cell(a)});
    SetAllocationLimitForTesting(0);
    EXPECT_EQ(r.AsPtr(), nullptr);
    // The cell is there but the number cannot be built: a cell without a number.
    testing::FailAllocationsAfter(0);
    void* sum = Adopt(Call(AddCommand, {Cell(a), Cell(a)}));
    testing::FailAllocationsAfter(-1);
    ASSERT_NE(sum, nullptr);
    EXPECT_EQ(CellNumber(sum), nullptr);
    EXPECT_EQ(Call(ToTextCommand, {Cell(sum)}).AsText(), nullptr);
    EXPECT_EQ(Text(Adopt(Call(AddCommand, {Cell(sum), Cell(a)}))), "12");
    // Asking for a quotient with two billion places is refused the same way,
    // at once instead of after hours of long division.
    void* q = Adopt(
        Call(DivideCommand, {Cell(a), Cell(Make(ArgRecord::Int(7))), ArgRecord::Int(2000000000)}));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(CellNumber(q), nullptr);
}

}  // namespace
}  // namespace kesu::bignum
