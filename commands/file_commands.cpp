// The file commands: files addressed by file number.
//
// A file number is a small non-zero handle. The file objects live in a table
// that the runtime state keeps for the run; every number handed out is also
// entered in the runtime's open-file list (kind 1, plain file), and that list
// decides whether a number is open. The table holds shared references so that
// a number closed on one thread while another still reads through it cannot
// leave a dangling object.

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "commands/args.h"
#include "commands/core_commands.h"
#include "commands/text_ops.h"
#include "platform/files.h"
#include "platform/gbk.h"
#include "platform/platform.h"
#include "runtime/notify.h"
#include "runtime/runtime_state.h"

namespace kesu::commands {

namespace {

constexpr int kPlainFile = 1;

// The files of the run by number, from any thread under the mutex. Files still open when the
// run's state goes are closed with it.
struct FileTable : LibraryState {
    std::mutex mutex;
    std::map<int32_t, std::shared_ptr<platform::File>> files;
    int32_t last_number = 0;
};

FileTable& Table() {
    return LibraryStateOf<FileTable>();
}

int32_t AddFile(std::unique_ptr<platform::File> file) {
    FileTable& table = Table();
    std::lock_guard lock(table.mutex);
    do {
        table.last_number = table.last_number == INT32_MAX ? 1 : table.last_number + 1;
    } while (table.files.count(table.last_number));
    table.files.emplace(table.last_number, std::move(file));
    return table.last_number;
}

// The file behind a number that the runtime lists as open, or null.
std::shared_ptr<platform::File> FindFile(int32_t number) {
    if (number == 0 || NotifyRuntime(notify::kOpenFileAccess, number, 0) == -1) return nullptr;
    FileTable& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.files.find(number);
    return it == table.files.end() ? nullptr : it->second;
}

}  // namespace

void OpenFile(ResultRecord* result, int argCount, ArgRecord* args) {
    std::string_view name = TextArg(argCount, args, 0);
    int32_t mode = OptionalInt(argCount, args, 1).value_or(3);
    int32_t sharing = OptionalInt(argCount, args, 2).value_or(1);
    if (name.empty() || mode < 1 || mode > 6 || sharing < 1 || sharing > 4) {
        result->SetInt(0);
        return;
    }
    std::unique_ptr<platform::File> file;
    if (platform::HasCurrent()) {
        file = platform::Current().FileSystem().Open(platform::GbkToFsName(name),
                                                     static_cast<platform::FileMode>(mode),
                                                     static_cast<platform::FileSharing>(sharing));
    }
    if (!file) {
        result->SetInt(0);
        return;
    }
    int32_t number = AddFile(std::move(file));
    NotifyRuntime(notify::kRegisterOpenFile, number, kPlainFile);
    result->SetInt(number);
}

void CloseFile(ResultRecord*, int argCount, ArgRecord* args) {
    int32_t number = Arg(argCount, args, 0).AsInt();
    if (NotifyRuntime(notify::kUnregisterOpenFile, number, 0) == 0) return;
    std::shared_ptr<platform::File> file;
    {
        FileTable& table = Table();
        std::lock_guard lock(table.mutex);
        auto it = table.files.find(number);
        if (it == table.files.end()) return;
        file = std::move(it->second);
        table.files.erase(it);
    }
    // The file closes when its last reference goes, here or in a reader that
    // still holds it.
}

void ReadText(ResultRecord* result, int argCount, ArgRecord* args) {
    auto file = FindFile(Arg(argCount, args, 0).AsInt());
    if (!file) return;
    int64_t length = file->Length();
    int64_t count = Given(argCount, args, 1) ? args[1].AsInt() : length;
    if (count < 1) return;
    int64_t start = file->Position();
    // Reading can never yield more than what lies behind the position, so the
    // buffer is sized by that rather than by a possibly huge count.
    int64_t available = start >= 0 && length >= start ? length - start : 0;
    std::vector<char> buffer;
    int64_t got = -1;
    try {
        buffer.resize(static_cast<size_t>(std::min(count, available)));
        got = start < 0 ? -1 : file->Read(buffer.data(), buffer.size());
    } catch (const std::bad_alloc&) {
        // A file too large to hold in memory reads like a failed read; no
        // exception may leave a command.
        got = -1;
    }
    if (got < 0) {
        file->Seek(0, platform::SeekOrigin::kEnd);
        return;
    }
    std::string_view bytes(buffer.data(), static_cast<size_t>(got));
    for (size_t i = 0; i < bytes.size();) {
        auto b = static_cast<unsigned char>(bytes[i]);
        if (b == 0 || b == 0x1A) {
            // The terminator is not consumed: the position stays on it.
            file->Seek(start + static_cast<int64_t>(i), platform::SeekOrigin::kBegin);
            ReturnText(result, bytes.substr(0, i));
            return;
        }
        if (IsLeadByte(bytes[i]) && i + 1 < bytes.size()) {
            if (bytes[i + 1] == 0) {
                // A lead byte before a 0 is half a character: left out of the
                // text, with the position just behind it.
                file->Seek(start + static_cast<int64_t>(i) + 1, platform::SeekOrigin::kBegin);
                ReturnText(result, bytes.substr(0, i));
                return;
            }
            i += 2;
        } else {
            ++i;
        }
    }
    ReturnText(result, bytes);
}

void WriteText(ResultRecord* result, int argCount, ArgRecord* args) {
    auto file = FindFile(Arg(argCount, args, 0).AsInt());
    if (!file) {
        result->SetBool(false);
        return;
    }
    int64_t start = file->Position();
    for (int k = 1; k < argCount; ++k) {
        auto text = ScalarText(args[k]);
        if (!text || text->empty()) continue;
        if (!file->Write(text->data(), text->size())) {
            if (start >= 0) file->Seek(start, platform::SeekOrigin::kBegin);
            result->SetBool(false);
            return;
        }
    }
    result->SetBool(true);
}

}  // namespace kesu::commands
