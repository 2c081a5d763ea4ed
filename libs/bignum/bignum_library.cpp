#include "libs/bignum/bignum_library.h"

#include <atomic>
#include <cstring>
#include <new>

#include "libs/bignum/number.h"
#include "runtime/notify.h"
#include "runtime/runtime_state.h"

namespace kesu::bignum {

namespace {

// What the library keeps for the run: the runtime's notification function, recorded at start-up.
// Until then every request answers 0, which makes allocations fail softly.
struct BignumLibraryState : LibraryState {
    std::atomic<NotifyFunction> runtime_notify{nullptr};
};

std::atomic<NotifyFunction>& RuntimeNotify() {
    return LibraryStateOf<BignumLibraryState>().runtime_notify;
}

intptr_t CallRuntime(int code, intptr_t a1, intptr_t a2) {
    NotifyFunction fn = RuntimeNotify().load(std::memory_order_acquire);
    return fn ? fn(code, a1, a2) : 0;
}

void* AllocateBlock(size_t size) {
    // The no-check flag makes the runtime answer null instead of ending the
    // program, so an exhausted heap only costs the value being made.
    return reinterpret_cast<void*>(CallRuntime(notify::kAlloc, static_cast<intptr_t>(size), 1));
}

Number** CellSlot(const ArgRecord& arg) {
    return static_cast<Number**>(arg.AsPtr());
}

// The number argument k, or zero when it is missing, the cell is null or the
// cell holds no number.
const Number& Operand(int argCount, const ArgRecord* args, int k) {
    static const Number zero;
    if (argCount <= k) return zero;
    const Number* n = CellNumber(args[k].AsPtr());
    return n ? *n : zero;
}

// Hands a freshly computed number to the caller in a new cell. The number is
// computed inside the try block so that running out of memory part-way leaves
// a cell without a number rather than ending anything.
template <class Compute>
void ReturnNewNumber(ResultRecord* result, Compute compute) {
    auto** cell = static_cast<Number**>(AllocateBlock(sizeof(Number*)));
    if (!cell) return;
    Number* number = nullptr;
    try {
        number = new Number(compute());
    } catch (const std::bad_alloc&) {
        number = nullptr;
    }
    *cell = number;
    result->SetPtr(cell, kTypeUnlNum);
}

// Stores a new number into the caller's variable, replacing (and releasing)
// what it held when `release_old` is set.
bool StoreNumber(Number** cell, const Number* value, bool release_old) {
    if (!cell) return false;
    Number* fresh = nullptr;
    if (value) {
        try {
            fresh = new Number(*value);
        } catch (const std::bad_alloc&) {
            fresh = nullptr;
        }
    }
    if (release_old) delete *cell;
    *cell = fresh;
    return fresh != nullptr;
}

}  // namespace

Number* CellNumber(const void* cell) {
    return cell ? *static_cast<Number* const*>(cell) : nullptr;
}

void SetValue(ResultRecord* result, int argCount, ArgRecord* args) {
    if (argCount < 1) return;
    Number** cell = CellSlot(args[0]);
    std::optional<Number> number;
    try {
        if (argCount >= 2) {
            ArgRecord value = args[1];
            switch (value.type) {
                case kTypeInt:
                    number = FromInt32(value.AsInt());
                    break;
                case kTypeByte:
                case kTypeShort:
                    number = FromInt32(static_cast<int32_t>(CallRuntime(
                        notify::kValueToInteger, reinterpret_cast<intptr_t>(&value), 0)));
                    break;
                case kTypeLong:
                    number = FromInt64(value.AsLong());
                    break;
                case kTypeFloat:
                    number = FromDouble(static_cast<double>(value.AsFloat()));
                    break;
                case kTypeDouble:
                    number = FromDouble(value.AsDouble());
                    break;
                default:
                    break;
            }
        }
    } catch (const std::bad_alloc&) {
        number.reset();
    }
    if (number) {
        result->SetBool(StoreNumber(cell, &*number, true));
        return;
    }
    // Values that make no number leave the variable holding 0.
    Number zero;
    StoreNumber(cell, &zero, true);
    result->SetBool(false);
}

void MultiplyCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    ReturnNewNumber(
        result, [&] { return Multiply(Operand(argCount, args, 0), Operand(argCount, args, 1)); });
}

void Destroy(ResultRecord*, int argCount, ArgRecord* args) {
    if (argCount < 1) return;
    Number** cell = CellSlot(args[0]);
    if (!cell) return;
    delete *cell;
    // Clearing the cell makes a second Destroy, or a use after it, see an
    // empty cell instead of freed memory.
    *cell = nullptr;
}

void AddCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    ReturnNewNumber(result,
                    [&] { return Add(Operand(argCount, args, 0), Operand(argCount, args, 1)); });
}

void IsGreater(ResultRecord* result, int argCount, ArgRecord* args) {
    result->SetBool(Compare(Operand(argCount, args, 0), Operand(argCount, args, 1)) > 0);
}

void ModCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    ReturnNewNumber(result,
                    [&] { return Mod(Operand(argCount, args, 0), Operand(argCount, args, 1)); });
}

void ToTextCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    if (argCount < 1) return;
    const Number* n = CellNumber(args[0].AsPtr());
    if (!n) return;
    std::string text;
    try {
        text = ToText(*n);
    } catch (const std::bad_alloc&) {
        return;
    }
    auto* block = static_cast<char*>(AllocateBlock(text.size() + 1));
    if (!block) return;
    std::memcpy(block, text.c_str(), text.size() + 1);
    result->SetText(block);
}

void DivideCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    int32_t places = argCount > 2 ? args[2].AsInt() : 0;
    ReturnNewNumber(result, [&] {
        return Divide(Operand(argCount, args, 0), Operand(argCount, args, 1), places);
    });
}

void IntegerPartCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    ReturnNewNumber(result, [&] { return IntegerPart(Operand(argCount, args, 0)); });
}

void ToInteger(ResultRecord* result, int argCount, ArgRecord* args) {
    if (argCount < 1) return;
    const Number* n = CellNumber(args[0].AsPtr());
    result->SetInt(n ? ToInt32(*n).value_or(0) : 0);
}

void Create(ResultRecord*, int argCount, ArgRecord* args) {
    if (argCount < 1) return;
    Number zero;
    // The previous content is not released: Create is how a fresh variable
    // gets its first number.
    StoreNumber(CellSlot(args[0]), &zero, false);
}

std::span<const CommandBody> CommandList() {
    static constexpr CommandBody kList[] = {
        SetValue,           MultiplyCommand, Destroy,       AddCommand,
        IsGreater,          ModCommand,      ToTextCommand, DivideCommand,
        IntegerPartCommand, ToInteger,       Create,
    };
    return kList;
}

intptr_t Notify(int code, intptr_t value1, intptr_t) {
    if (code != 1) return -1;
    RuntimeNotify().store(reinterpret_cast<NotifyFunction>(value1), std::memory_order_release);
    return 0;
}

LibraryInfo BignumLibraryInfo() {
    // "数值计算支持库"
    LibraryInfo lib = MakeLibraryInfo(
        kIdentifier, "\xCA\xFD\xD6\xB5\xBC\xC6\xCB\xE3\xD6\xA7\xB3\xD6\xBF\xE2", 2, 3, 0xC0000000);
    lib.types.resize(kTypeSlots);
    UnitTypeDescriptor& number = lib.types[kUnlNumTypeNumber - 1];
    number.present = true;
    number.chineseName = "\xB4\xF3\xCA\xFD";  // "大数"
    number.englishName = "UnlNum";
    number.flags = 0xC0000000;  // a data type, not a unit
    lib.commandCount = static_cast<uint32_t>(CommandList().size());
    return lib;
}

NativeLibrary BignumNativeLibrary() {
    NativeLibrary lib;
    lib.identifier = kIdentifier;
    auto list = CommandList();
    lib.commands.assign(list.begin(), list.end());
    lib.notify = Notify;
    // `UnlNum` is a data type: no slot has a unit interface.
    lib.unitInterfaces.assign(kTypeSlots, nullptr);
    return lib;
}

void RegisterBignumLibrary() {
    RegisterLibrary(BignumNativeLibrary());
}

}  // namespace kesu::bignum
