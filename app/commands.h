// Typed wrappers over the commands the assistant calls.
//
// Each wrapper builds the argument records, calls the command body through the system function
// table (CallCoreCommand or CallLibraryCommand) and hands the result back in an owning holder,
// so that the handlers read like the procedures they implement and never touch records or free
// blocks by hand. Texts passed in are borrowed; a null text is passed as the shared empty text.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "app/owned_value.h"

namespace kesu::app {

// Argument records for a text or a byte set; null is passed as the shared empty value, since a
// command never receives a null text or byte set.
ArgRecord TextArgument(const char* text);
ArgRecord ByteSetArgument(const uint8_t* byteSet);

// ---- Text, byte-set and number conversions ----
double ToNumber(const char* text);
OwnedBytes ToBytes(const char* text);
// The parts of `text` split at every `separator`; empty parts come back as empty texts.
std::vector<OwnedText> SplitText(const char* text, const char* separator);
uint8_t ToByte(const char* text);
OwnedText ToHalfWidth(const char* text);
OwnedText ToUpper(const char* text);
int32_t TextLength(const char* text);
OwnedText MidText(const char* text, int32_t start, int32_t count);
OwnedText LeftText(const char* text, int32_t count);
int32_t FindText(const char* text, const char* sought);
OwnedText ToAmountText(double value, bool simplified);
int32_t CompareText(const char* a, const char* b, bool caseSensitive);
OwnedText IntToText(int64_t value);
OwnedText DateTimeToText(double dateTime);
OwnedText ByteSetToText(const uint8_t* byteSet);
OwnedText ToHexText(int32_t value);
int32_t BytesLength(const uint8_t* byteSet);
OwnedBytes RightBytes(const uint8_t* byteSet, int32_t count);
// FormatNumber with no decimal places given and thousands separators on.
OwnedText FormatWithSeparators(double value);

// ---- Files, message box, sound, delay and time ----
double Now();
OwnedText GetRunDirectory();
int32_t OpenFile(const char* name, int32_t mode);
bool WriteText(int32_t file, const char* text);
void CloseFile(int32_t file);
int32_t InfoBox(const char* content, int32_t flags, const char* caption = nullptr);
OwnedText ReadText(int32_t file, int32_t count);
void Beep();
void Delay(int32_t milliseconds);

// ---- Threads ----
// Starts `routine` on a new thread with no parameter and no handle. A thread routine receives
// the (unused) parameter and answers the thread's exit code. The thread library keeps the thread
// and joins it.
using ThreadRoutine = int32_t (*)(int32_t parameter);
bool StartThread(ThreadRoutine routine);

// The assistant's worker routines, each started on a new thread with no parameter.
template <void (*Routine)()>
int32_t Worker(int32_t) {
    Routine();
    return 0;
}

template <void (*Routine)()>
bool StartWorker() {
    return StartThread(Worker<Routine>);
}

// An orderly end's wait for the workers (the tests, a benchmark, the program after its window
// closed): while the runtime still serves workers, waits until every worker has ended, serving
// the window thread's loop meanwhile, because a worker's property access waits for the window
// thread; then joins them. Once shutdown has closed the loop to workers nothing can keep one
// waiting for it, and they are joined at once. False when the loop gave up waiting (a test
// loop's stall deadline); the workers then stay with the thread library.
bool JoinWorkers();

}  // namespace kesu::app
