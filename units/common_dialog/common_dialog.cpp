#include "units/common_dialog/common_dialog.h"

#include <sys/stat.h>

#include "platform/gbk.h"
#include "platform/platform.h"
#include "runtime/notify.h"
#include "units/common/stored_fields.h"
#include "units/common/type_descriptor.h"
#include "units/common/values.h"
#include "units/common/visual.h"

namespace kesu::units {

namespace {

constexpr std::int32_t kBoldWeight = 700;
// Screen resolution used to turn point sizes into pixel heights and back.
constexpr std::int32_t kDotsPerInch = 96;

// a * b / c with a 64-bit product, rounded half away from zero.
std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c) {
    std::int64_t p = static_cast<std::int64_t>(a) * b;
    std::int64_t q = (p >= 0 ? p + c / 2 : p - c / 2) / c;
    return static_cast<std::int32_t>(q);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool FileExists(const std::string& gbkPath) {
    struct stat st;
    return ::stat(platform::GbkToFsName(gbkPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The help file the runtime supplies when HelpFile is empty: the program file
// with its extension changed to "hlp".
std::string DefaultHelpFile() {
    auto dir = reinterpret_cast<const char*>(NotifyRuntime(notify::kProgramDirectory, 0, 0));
    auto name = reinterpret_cast<const char*>(NotifyRuntime(notify::kProgramFileName, 0, 0));
    if (!name || !*name) return std::string();
    std::string file = name;
    std::size_t dot = file.rfind('.');
    file = (dot == std::string::npos ? file : file.substr(0, dot)) + ".hlp";
    std::string directory = dir ? dir : "";
    if (!directory.empty() && directory.back() != '/') directory.push_back('/');
    return directory + file;
}

}  // namespace

std::string PreparedFilter(const std::string& filter) {
    std::string f = filter;
    while (!f.empty() && IsBlank(f.back())) f.pop_back();
    if (!f.empty() && !f.ends_with("||")) f += "||";
    return f;
}

std::unique_ptr<CommonDialogUnit> CommonDialogUnit::Create(const UnitCreateInfo& info) {
    std::unique_ptr<CommonDialogUnit> unit(new CommonDialogUnit(info));
    if (!unit->s_.Load(info.data)) return nullptr;
    return unit;
}

int CommonDialogUnit::SetProperty(int index, const PropertyValue& value) {
    std::int32_t v = IntOf(value);
    // A logical arrives as the program wrote it; only 1 turns a flag on, as only 1 reads as true.
    bool flag = v == 1;
    switch (index) {
        case kDialogType:
            s_.dialogType = ClampChoice(v, 0, 3);
            break;
        case kTitle:
            s_.title = TextOf(value);
            break;
        case kFileName:
            s_.fileName = TextOf(value);
            break;
        case kFilter:
            s_.filter = TextOf(value);
            break;
        case kFilterIndex:
            s_.filterIndex = std::max(v, 0);
            break;
        case kInitialDir:
            s_.initialDir = TextOf(value);
            break;
        case kDefaultExt:
            s_.defaultExt = TextOf(value);
            break;
        case kCreatePrompt:
            s_.createPrompt = flag;
            break;
        case kFileMustExist:
            s_.fileMustExist = flag;
            break;
        case kOverwritePrompt:
            s_.overwritePrompt = flag;
            break;
        case kPathMustExist:
            s_.pathMustExist = flag;
            break;
        case kNoChangeDir:
            s_.noChangeDir = flag;
            break;
        case kFontColour:
            s_.fontColour = ColourOf(value);
            break;
        case kFontBold:
            s_.fontBold = flag;
            break;
        case kFontItalic:
            s_.fontItalic = flag;
            break;
        case kFontStrikeOut:
            s_.fontStrikeOut = flag;
            break;
        case kFontUnderline:
            s_.fontUnderline = flag;
            break;
        case kFontName:
            s_.fontName = TextOf(value);
            break;
        case kFontSize:
            s_.fontSize = std::max(v, 0);
            break;
        case kHelpFile:
            s_.helpFile = TextOf(value);
            break;
        case kHelpCommand:
            s_.helpCommand = ClampChoice(v, 0, 5);
            break;
        case kHelpContext:
            s_.helpContext = v;
            break;
        default:
            break;
    }
    return 0;
}

int CommonDialogUnit::GetProperty(int index, PropertyValue& out) {
    using S = CommonDialogSettings;
    static const StoredField<S> kFields[] = {
        &S::dialogType,    &S::title,           &S::fileName,      &S::filter,
        &S::filterIndex,   &S::initialDir,      &S::defaultExt,    &S::createPrompt,
        &S::fileMustExist, &S::overwritePrompt, &S::pathMustExist, &S::noChangeDir,
        &S::fontColour,    &S::fontBold,        &S::fontItalic,    &S::fontStrikeOut,
        &S::fontUnderline, &S::fontName,        &S::fontSize,      &S::helpFile,
        &S::helpCommand,   &S::helpContext};
    static_assert(std::size(kFields) == kHelpContext + 1, "one entry per property");
    return ReadStoredField<S>(s_, kFields, index, out) ? 1 : 0;
}

int CommonDialogUnit::Save(std::string& block) {
    block = s_.Save();
    return 1;
}

platform::FileDialogRequest CommonDialogUnit::FileRequest() const {
    platform::FileDialogRequest r;
    r.save = s_.dialogType == 1;
    r.flags = platform::ofn::kHideReadOnly;
    if (s_.createPrompt) r.flags |= platform::ofn::kCreatePrompt;
    if (s_.fileMustExist) r.flags |= platform::ofn::kFileMustExist;
    if (s_.overwritePrompt) r.flags |= platform::ofn::kOverwritePrompt;
    if (s_.pathMustExist) r.flags |= platform::ofn::kPathMustExist;
    if (s_.noChangeDir) r.flags |= platform::ofn::kNoChangeDir;
    std::string filter = PreparedFilter(s_.filter);
    r.filters = platform::ParseFilterList(filter);
    r.filter_index = filter.empty() ? 0 : std::max(s_.filterIndex, 0) + 1;
    r.default_ext = s_.defaultExt;
    r.file_name = s_.fileName;
    r.title = s_.title;
    r.initial_dir = s_.initialDir;
    return r;
}

bool CommonDialogUnit::OpenFileDialog() {
    platform::FileDialogRequest request = FileRequest();
    std::optional<std::string> chosen = platform::Current().Dialog().FileDialog(request);
    if (!chosen) return false;
    s_.fileName = *chosen;
    return true;
}

platform::FontPick CommonDialogUnit::InitialFont() const {
    platform::FontPick f;
    f.font.weight = s_.fontBold ? kBoldWeight : 0;
    f.font.italic = s_.fontItalic;
    f.font.underline = s_.fontUnderline;
    f.font.strike_out = s_.fontStrikeOut;
    f.font.face = s_.fontName;
    if (s_.fontSize != 0) f.font.height = -MulDiv(s_.fontSize, kDotsPerInch, 72);
    f.colour = s_.fontColour;
    return f;
}

void CommonDialogUnit::StoreFont(const platform::FontPick& chosen) {
    s_.fontColour = chosen.colour;
    s_.fontBold = chosen.font.weight >= kBoldWeight;
    s_.fontItalic = chosen.font.italic;
    s_.fontUnderline = chosen.font.underline;
    s_.fontStrikeOut = chosen.font.strike_out;
    s_.fontName = chosen.font.face;
    std::int32_t height = chosen.font.height < 0 ? -chosen.font.height : chosen.font.height;
    s_.fontSize = MulDiv(height, 72, kDotsPerInch);
}

bool CommonDialogUnit::OpenFontDialog() {
    std::optional<platform::FontPick> chosen =
        platform::Current().Dialog().FontDialog(InitialFont());
    if (!chosen) return false;
    StoreFont(*chosen);
    return true;
}

bool CommonDialogUnit::ShowHelp() {
    // Help belongs to a window: with the unit's window gone there is nothing to show it for.
    if (NotifyRuntime(notify::kWindowHandleById, static_cast<intptr_t>(window_id()), 0) == 0) {
        return false;
    }
    // The help index without a file and closing help need no file.
    if (s_.helpCommand == 4 || s_.helpCommand == 5) return true;
    std::string file = s_.helpFile.empty() ? DefaultHelpFile() : s_.helpFile;
    if (file.empty() || !FileExists(file)) return false;
    // This platform has no viewer for help files of that format, so an existing
    // file is not shown either; the answer says so rather than claiming success.
    return false;
}

bool CommonDialogUnit::OpenDialog() {
    switch (s_.dialogType) {
        case 0:
        case 1:
            return OpenFileDialog();
        case 2:
            return OpenFontDialog();
        default:
            return ShowHelp();
    }
}

UnitOperation CommonDialogInterface(int code) {
    return StandardUnitInterface<CommonDialogUnit>(code);
}

void OpenDialogCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    result->SetBool(false);
    if (argCount < 1) return;
    // The settings are read and written on the UI thread; the dialog itself
    // blocks only the calling thread, so a worker's dialog leaves the window usable.
    CommonDialogUnit* unit = nullptr;
    platform::FileDialogRequest request;
    platform::FontPick font;
    int type = 0;
    RunOnUiThread([&] {
        unit = UnitOfReference<CommonDialogUnit>(args[0]);
        if (unit) {
            type = unit->settings().dialogType;
            request = unit->FileRequest();
            font = unit->InitialFont();
        }
    });
    if (!unit) return;
    if (type == 2) {
        std::optional<platform::FontPick> chosen = platform::Current().Dialog().FontDialog(font);
        if (!chosen) return;
        RunOnUiThread([&] {
            if (auto* u = dynamic_cast<CommonDialogUnit*>(FindLiveUnit(args[0]))) {
                u->StoreFont(*chosen);
            }
        });
        result->SetBool(true);
        return;
    }
    if (type == 0 || type == 1) {
        std::optional<std::string> chosen = platform::Current().Dialog().FileDialog(request);
        if (!chosen) return;
        PropertyValue path = TextValue(*chosen);
        RunOnUiThread([&] {
            // The unit is looked up again: its window may have closed meanwhile.
            if (auto* u = dynamic_cast<CommonDialogUnit*>(FindLiveUnit(args[0]))) {
                u->SetProperty(CommonDialogUnit::kFileName, path);
            }
        });
        result->SetBool(true);
        return;
    }
    bool ok = false;
    RunOnUiThread([&] {
        if (auto* u = UnitOfReference<CommonDialogUnit>(args[0])) ok = u->OpenDialog();
    });
    result->SetBool(ok);
}

UnitTypeDescriptor CommonDialogTypeDescriptor() {
    return DescribeUnitType(
        "\xCD\xA8\xD3\xC3\xB6\xD4\xBB\xB0\xBF\xF2", "CommonDlg", 0x80008040,
        {kind::kWord,    kind::kText,    kind::kText,    kind::kText,    kind::kWord,
         kind::kText,    kind::kText,    kind::kLogical, kind::kLogical, kind::kLogical,
         kind::kLogical, kind::kLogical, kind::kWord,    kind::kLogical, kind::kLogical,
         kind::kLogical, kind::kLogical, kind::kText,    kind::kWord,    kind::kText,
         kind::kWord,    kind::kWord});
}

}  // namespace kesu::units
