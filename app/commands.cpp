// The command wrappers. Bodies are taken from the program's libraries by their place in each
// library's command list, which the command table fixes: library 1 is the core library, library
// 2 the thread library, in the order of the program image's library list.
#include "app/commands.h"

#include "libs/thread/thread_library.h"
#include "platform/event_loop.h"
#include "runtime/library.h"
#include "runtime/startup.h"
#include "runtime/sysfunc.h"
#include "runtime/unit.h"

namespace kesu::app {

namespace {

constexpr uint32_t kCoreLibrary = 1;
constexpr uint32_t kThreadLibrary = 2;

enum CoreCommand : size_t {
    kToNumber = 0,
    kToBytes = 1,
    kSplitText = 2,
    kToByte = 3,
    kToHalfWidth = 4,
    kToUpper = 5,
    kTextLength = 6,
    kMidText = 7,
    kLeftText = 8,
    kFindText = 9,
    kToAmountText = 10,
    kCompareText = 11,
    kNow = 12,
    kToText = 13,
    kGetRunDirectory = 14,
    kOpenFile = 16,
    kWriteText = 17,
    kCloseFile = 18,
    kInfoBox = 19,
    kReadText = 20,
    kToHexText = 21,
    kBytesLength = 22,
    kRightBytes = 23,
    kBeep = 24,
    kDelay = 27,
    kFormatNumber = 33,
};

ArgRecord BoolArg(bool v) {
    ArgRecord r;
    r.SetBool(v);
    return r;
}

ResultRecord Core(size_t index, int count, ArgRecord* args) {
    return CallCoreCommand(FindLibraryCommand(kCoreLibrary, index), count, args);
}

template <size_t N>
ResultRecord Core(size_t index, ArgRecord (&&args)[N]) {
    return Core(index, static_cast<int>(N), args);
}

OwnedText TextResult(const ResultRecord& r) {
    return OwnedText(r.AsText());
}

}  // namespace

ArgRecord TextArgument(const char* text) {
    return ArgRecord::Text(text ? text : EmptyText());
}

ArgRecord ByteSetArgument(const uint8_t* byteSet) {
    static const int32_t kEmptyByteSet[2] = {1, 0};
    return ArgRecord::ByteSet(byteSet ? byteSet : reinterpret_cast<const uint8_t*>(kEmptyByteSet));
}

double ToNumber(const char* text) {
    return Core(kToNumber, {TextArgument(text)}).AsDouble();
}

OwnedBytes ToBytes(const char* text) {
    return OwnedBytes(Core(kToBytes, {TextArgument(text)}).AsByteSet());
}

std::vector<OwnedText> SplitText(const char* text, const char* separator) {
    // The maximum count is left out: a record of three zero words.
    void* array =
        Core(kSplitText, {TextArgument(text), TextArgument(separator), ArgRecord()}).AsArray();
    std::vector<OwnedText> parts;
    const size_t n = ArrayElementCount(array);
    char** elements = n ? static_cast<char**>(ArrayData(array)) : nullptr;
    for (size_t i = 0; i < n; ++i) {
        parts.emplace_back(elements[i]);  // each element's block now belongs to its holder
        elements[i] = nullptr;
    }
    FreeArray(kTypeText | kTypeArrayFlag, array);
    return parts;
}

uint8_t ToByte(const char* text) {
    return Core(kToByte, {TextArgument(text)}).AsByte();
}

OwnedText ToHalfWidth(const char* text) {
    return TextResult(Core(kToHalfWidth, {TextArgument(text)}));
}

OwnedText ToUpper(const char* text) {
    return TextResult(Core(kToUpper, {TextArgument(text)}));
}

int32_t TextLength(const char* text) {
    return Core(kTextLength, {TextArgument(text)}).AsInt();
}

OwnedText MidText(const char* text, int32_t start, int32_t count) {
    return TextResult(
        Core(kMidText, {TextArgument(text), ArgRecord::Int(start), ArgRecord::Int(count)}));
}

OwnedText LeftText(const char* text, int32_t count) {
    return TextResult(Core(kLeftText, {TextArgument(text), ArgRecord::Int(count)}));
}

int32_t FindText(const char* text, const char* sought) {
    return Core(kFindText, {TextArgument(text), TextArgument(sought), ArgRecord(), ArgRecord()})
        .AsInt();
}

OwnedText ToAmountText(double value, bool simplified) {
    return TextResult(Core(kToAmountText, {ArgRecord::Double(value), BoolArg(simplified)}));
}

int32_t CompareText(const char* a, const char* b, bool caseSensitive) {
    return Core(kCompareText, {TextArgument(a), TextArgument(b), BoolArg(caseSensitive)}).AsInt();
}

OwnedText IntToText(int64_t value) {
    ArgRecord arg;
    if (value >= INT32_MIN && value <= INT32_MAX) {
        arg.SetInt(static_cast<int32_t>(value));
    } else {
        arg.SetLong(value);
    }
    return TextResult(Core(kToText, {arg}));
}

OwnedText DateTimeToText(double dateTime) {
    ArgRecord arg;
    arg.SetDateTime(dateTime);
    return TextResult(Core(kToText, {arg}));
}

OwnedText ByteSetToText(const uint8_t* byteSet) {
    return TextResult(Core(kToText, {ByteSetArgument(byteSet)}));
}

OwnedText ToHexText(int32_t value) {
    return TextResult(Core(kToHexText, {ArgRecord::Int(value)}));
}

int32_t BytesLength(const uint8_t* byteSet) {
    return Core(kBytesLength, {ByteSetArgument(byteSet)}).AsInt();
}

OwnedBytes RightBytes(const uint8_t* byteSet, int32_t count) {
    return OwnedBytes(
        Core(kRightBytes, {ByteSetArgument(byteSet), ArgRecord::Int(count)}).AsByteSet());
}

OwnedText FormatWithSeparators(double value) {
    // No decimal places given (a record of zero words), thousands separators on.
    return TextResult(Core(kFormatNumber, {ArgRecord::Double(value), ArgRecord(), BoolArg(true)}));
}

double Now() {
    return Core(kNow, 0, nullptr).AsDouble();
}

OwnedText GetRunDirectory() {
    return TextResult(Core(kGetRunDirectory, 0, nullptr));
}

int32_t OpenFile(const char* name, int32_t mode) {
    return Core(kOpenFile, {TextArgument(name), ArgRecord::Int(mode), ArgRecord()}).AsInt();
}

bool WriteText(int32_t file, const char* text) {
    return Core(kWriteText, {ArgRecord::Int(file), TextArgument(text)}).AsBool();
}

void CloseFile(int32_t file) {
    Core(kCloseFile, {ArgRecord::Int(file)});
}

int32_t InfoBox(const char* content, int32_t flags, const char* caption) {
    ArgRecord captionArg;  // left out when no caption is given
    if (caption) captionArg = TextArgument(caption);
    return Core(kInfoBox, {TextArgument(content), ArgRecord::Int(flags), captionArg}).AsInt();
}

OwnedText ReadText(int32_t file, int32_t count) {
    return TextResult(Core(kReadText, {ArgRecord::Int(file), ArgRecord::Int(count)}));
}

void Beep() {
    Core(kBeep, 0, nullptr);
}

void Delay(int32_t milliseconds) {
    Core(kDelay, {ArgRecord::Int(milliseconds)});
}

bool StartThread(ThreadRoutine routine) {
    ArgRecord args[3];
    args[0].SetPtr(reinterpret_cast<const void*>(routine), kTypeSubroutine);
    return CallLibraryCommand(FindLibraryCommand(kThreadLibrary, 0), 3, args).AsBool();
}

bool JoinWorkers() {
    if (!ShutdownInProgress() && !UiLoop().RunUntil([] { return !thread::KeptThreadsRunning(); })) {
        return false;
    }
    thread::JoinKeptThreads();
    return true;
}

}  // namespace kesu::app
