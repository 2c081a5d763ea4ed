#include "runtime/properties.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "runtime/errors.h"
#include "runtime/font.h"
#include "runtime/library.h"
#include "runtime/menus.h"
#include "runtime/runtime_state.h"
#include "runtime/startup.h"
#include "runtime/value.h"
#include "runtime/windows.h"

namespace kesu {

namespace {

struct Target {
    UnitRecord* record = nullptr;  // null for a unit held in a variable
    Unit* unit = nullptr;          // null when not live
    uint32_t type_code = 0;
    LoadedWindow* window = nullptr;
    size_t index = 0;
    // The type's operations, when the lookup already knows them.
    UnitTypeOperations type;
    bool type_known = false;
};

Target TargetOf(LoadedWindow* window, UnitRecord* record) {
    Target t;
    t.window = window;
    t.record = record;
    t.unit = static_cast<Unit*>(record->object);
    t.type_code = record->type;
    t.index = static_cast<size_t>(record - window->tmpl->records.data());
    return t;
}

// Finds the record for an entry that does not hold it yet; errors end the program here.
[[gnu::noinline]] void FillLookUp(RuntimeState::Lookups::Unit& entry, uint64_t generation,
                                  uint32_t window_id, uint32_t unit_id) {
    LoadedWindow* window = FindLoadedWindow(window_id);
    if (!window) ReportRuntimeError(errmsg::kWindowNotLoaded, 0);
    UnitRecord* record = FindUnitRecord(*window, unit_id);
    if (!record) ReportRuntimeError(errmsg::kUnitMissing, 0);
    entry.window_id = window_id;
    entry.unit_id = unit_id;
    entry.window = window;
    entry.record = record;
    entry.type = FindUnitType(record->type);
    entry.word_property = -1;
    entry.generation = generation;
}

// The window thread's recent lookup of the record a property access names.
[[gnu::always_inline]] inline RuntimeState::Lookups::Unit& LookUp(uint32_t window_id,
                                                                  uint32_t unit_id) {
    RuntimeState::Lookups& lookups = Runtime().lookups;
    RuntimeState::Lookups::Unit& entry =
        lookups.units[(unit_id ^ (unit_id >> 8) ^ window_id) % lookups.units.size()];
    if (entry.generation != lookups.generation || entry.window_id != window_id ||
        entry.unit_id != unit_id) [[unlikely]] {
        FillLookUp(entry, lookups.generation, window_id, unit_id);
    }
    return entry;
}

Target Locate(uint32_t window_id, uint32_t unit_id) {
    const RuntimeState::Lookups::Unit& entry = LookUp(window_id, unit_id);
    Target t = TargetOf(entry.window, entry.record);
    t.type = entry.type;
    t.type_known = true;
    return t;
}

UnitTypeOperations TypeOf(const Target& t) {
    return t.type_known ? t.type : FindUnitType(t.type_code);
}

uint64_t PointerBits(const void* p) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p));
}
void* BitsPointer(uint32_t low, uint32_t high) {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(uint64_t{low} | uint64_t{high} << 32));
}

uint64_t FreshText(const std::string& bytes) {
    return PointerBits(CopyTextN(bytes.data(), static_cast<intptr_t>(bytes.size())));
}
uint64_t FreshByteSet(const std::string& bytes) {
    return PointerBits(bytes.empty() ? nullptr : MakeByteSet(bytes.data(), bytes.size()));
}
std::string ByteSetBytes(const void* block) {
    const auto* set = static_cast<const uint8_t*>(block);
    const uint8_t* data = ByteSetData(set);
    return data ? std::string(reinterpret_cast<const char*>(data), ByteSetLength(set))
                : std::string();
}

// The first word of mouse-pointer bytes is a table row outside the runtime and a cursor
// identifier inside it.
std::string TranslatePointer(std::string bytes, uint32_t (*translate)(uint32_t)) {
    if (bytes.size() < 4) return bytes;
    uint32_t word;
    std::memcpy(&word, bytes.data(), 4);
    word = translate(word);
    std::memcpy(bytes.data(), &word, 4);
    return bytes;
}

uint16_t KindIn(const UnitTypeDescriptor* type, int property) {
    if (!type || property < 0 || static_cast<size_t>(property) >= type->properties.size()) return 0;
    return type->properties[static_cast<size_t>(property)].kind;
}

// ---- Common properties ----------------------------------------------------------------------

uint64_t ReadCommon(const Target& t, int property) {
    Unit* unit = t.unit;
    const UnitRect live = unit ? unit->Geometry() : UnitRect{};
    const UnitRecord* r = t.record;
    auto word = [](int32_t v) { return uint64_t{static_cast<uint32_t>(v)}; };
    switch (property) {
        case kPropLeft:
            return word(unit ? live.left : r->left);
        case kPropTop:
            return word(unit ? live.top : r->top);
        case kPropWidth:
            return word(unit ? live.width : r->width);
        case kPropHeight:
            return word(unit ? live.height : r->height);
        case kPropTag:
            return FreshText(r ? r->tag : std::string());
        case kPropVisible:
            return unit ? unit->IsVisible() : (r->stateFlags & state_flag::kVisible) != 0;
        case kPropDisabled:
            return unit ? !unit->IsEnabled() : (r->stateFlags & state_flag::kDisabled) != 0;
        case kPropMousePointer: {
            if (!r) return 0;
            std::string bytes(r->mousePointer.begin(), r->mousePointer.end());
            return FreshByteSet(TranslatePointer(std::move(bytes), MousePointerIdToRow));
        }
        default:
            return 0;
    }
}

// Left, top, width or height of a record or a rectangle.
template <class T>
int32_t& Field(T& place, int property) {
    switch (property) {
        case kPropLeft:
            return place.left;
        case kPropTop:
            return place.top;
        case kPropWidth:
            return place.width;
        default:
            return place.height;
    }
}

void SetFlag(UnitRecord* r, uint32_t flag, bool on) {
    if (!r) return;
    r->stateFlags = on ? (r->stateFlags | flag) : (r->stateFlags & ~flag);
}

void WriteCommon(const Target& t, int property, uint32_t low, uint32_t high) {
    Unit* unit = t.unit;
    UnitRecord* r = t.record;
    const auto value = static_cast<int32_t>(low);
    switch (property) {
        case kPropLeft:
        case kPropTop:
        case kPropWidth:
        case kPropHeight: {
            const int32_t v = property < kPropWidth ? ClampPosition(value) : ClampSize(value);
            if (r) Field(*r, property) = v;
            if (unit) {
                UnitRect rect = unit->Geometry();
                Field(rect, property) = v;
                unit->SetGeometry(rect);
            }
            break;
        }
        case kPropTag:
            if (r) r->tag = TextToString(static_cast<const char*>(BitsPointer(low, high)));
            break;
        case kPropVisible: {
            const bool visible = value != 0;
            SetFlag(r, state_flag::kVisible, visible);
            if (unit) {
                const UnitTypeDescriptor* type = FindTypeDescriptor(t.type_code);
                const bool non_visual = type && (type->flags & type_flag::kInvisible);
                if (!visible || !non_visual) unit->SetVisible(visible);
            }
            break;
        }
        case kPropDisabled:
            SetFlag(r, state_flag::kDisabled, value != 0);
            if (unit) unit->SetEnabled(value == 0);
            break;
        case kPropMousePointer: {
            std::string bytes =
                TranslatePointer(ByteSetBytes(BitsPointer(low, high)), MousePointerRowToId);
            const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
            if (r) r->mousePointer.assign(data, data + bytes.size());
            if (unit) unit->SetMousePointer(LoadMousePointer({data, bytes.size()}));
            break;
        }
        default:
            break;
    }
}

// ---- Type-specific properties ---------------------------------------------------------------

uint64_t FreshFontValue(const FontRecord& font) {
    const FontComponents c = FontComponentsOf(font);
    auto* value = static_cast<FontValue*>(MemAlloc(sizeof(FontValue)));
    *value = {c.angle, c.bold, c.italic, c.strike_out, c.underline, c.size, nullptr};
    value->face = CopyTextN(c.face.data(), static_cast<intptr_t>(c.face.size()));
    return PointerBits(value);
}

// The program's words for a word-kind value: one word, both, or a logical that is true only
// for 1. False for the other forms.
bool WordValue(KindForm form, int64_t number, uint64_t& out) {
    switch (form) {
        case KindForm::kOneWord:
            out = static_cast<uint32_t>(number);
            return true;
        case KindForm::kTwoWords:
            out = static_cast<uint64_t>(number);
            return true;
        case KindForm::kLogical:
            out = number == 1;
            return true;
        default:
            return false;
    }
}

// A type's own property of a live unit.
uint64_t ReadOwn(Unit& unit, const UnitTypeOperations& type, int property, int component) {
    GetPropertyFn get = type.get;
    PropertyValue value;
    if (!get || get(unit, property - kFirstTypeProperty, value) == 0) return 0;
    const KindForm form = FormOfKind(KindIn(type.descriptor, property));
    if (uint64_t word; WordValue(form, value.number, word)) return word;
    switch (form) {
        case KindForm::kOneWord:
        case KindForm::kTwoWords:
        case KindForm::kLogical:
            return 0;  // answered above
        case KindForm::kByteSet:
            return FreshByteSet(value.bytes);
        case KindForm::kMousePointer:
            return FreshByteSet(TranslatePointer(std::move(value.bytes), MousePointerIdToRow));
        case KindForm::kFont: {
            const FontRecord font = FontFromBytes(value.bytes);
            if (component == kFontWhole) return FreshFontValue(font);
            if (component == kFontFace) return FreshText(FontFace(font));
            return static_cast<uint32_t>(FontComponentOf(font, component));
        }
        case KindForm::kText: {
            // A text ends at its first zero byte.
            std::string text = value.bytes.substr(0, value.bytes.find('\0'));
            return FreshText(text);
        }
    }
    return 0;
}

uint64_t ReadTyped(const Target& t, int property, int component) {
    if (!t.unit) ReportRuntimeError(errmsg::kUnitNotLive, 0);
    return ReadOwn(*t.unit, TypeOf(t), property, component);
}

void WriteTyped(const Target& t, int property, int component, uint32_t low, uint32_t high) {
    if (!t.unit) ReportRuntimeError(errmsg::kUnitNotLive, 0);
    const UnitTypeOperations type = TypeOf(t);
    UnitInterfaceFn interface = type.interface;
    SetPropertyFn set = type.set;
    if (!set) return;
    // A property the type does not list has no kind to read its value by; its words may be
    // anything, so nothing is taken from them and the write changes nothing.
    const uint16_t kind = KindIn(type.descriptor, property);
    if (kind == 0) return;
    const int index = property - kFirstTypeProperty;
    const void* pointer = BitsPointer(low, high);
    PropertyValue value;
    switch (FormOfKind(kind)) {
        case KindForm::kOneWord:
            value.number = static_cast<int32_t>(low);
            break;
        case KindForm::kTwoWords:
            value.number = static_cast<int64_t>(uint64_t{low} | uint64_t{high} << 32);
            break;
        case KindForm::kLogical:
            // The word goes to the unit as written: some units act on a logical only when it
            // is exactly 1 (a check box's mark), so folding 5 into true here would be wrong.
            value.number = static_cast<int32_t>(low);
            break;
        case KindForm::kByteSet:
            value.bytes = ByteSetBytes(pointer);
            break;
        case KindForm::kMousePointer:
            value.bytes = TranslatePointer(ByteSetBytes(pointer), MousePointerRowToId);
            break;
        case KindForm::kFont: {
            // A component write changes the current font in that one respect.
            PropertyValue current;
            GetPropertyFn get = GetPropertyOperation(interface);
            if (get) get(*t.unit, index, current);
            FontRecord font = FontFromBytes(current.bytes);
            if (component == kFontWhole) {
                const auto* v = static_cast<const FontValue*>(pointer);
                if (v) {
                    SetFontComponents(font, {v->angle, v->bold, v->italic, v->strike_out,
                                             v->underline, v->size, TextToString(v->face)});
                }
            } else if (component == kFontFace) {
                SetFontFace(font, TextToString(static_cast<const char*>(pointer)));
            } else {
                SetFontComponent(font, component, static_cast<int32_t>(low));
            }
            value.bytes = FontToBytes(font);
            break;
        }
        case KindForm::kText:
            value.bytes = TextToString(static_cast<const char*>(pointer));
            break;
    }
    if (set(value, *t.unit, index) == 1 && t.window && t.window->units.size() > t.index &&
        t.window->units[t.index].get() == t.unit) {
        RecreateUnit(*t.window, t.index);
    }
}

// ---- Menu items ------------------------------------------------------------------------------

enum MenuItemProperty { kMenuCaption = 0, kMenuChecked = 1, kMenuDisabled = 2, kMenuVisible = 3 };

uint64_t ReadMenuItem(const Target& t, int property) {
    const platform::MenuEntry e = MenuItemState(*t.window, *t.record);
    switch (property) {
        case kMenuCaption:
            return FreshText(e.caption);
        case kMenuChecked:
            return e.checked;
        case kMenuDisabled:
            return !e.enabled;
        case kMenuVisible:
            return e.visible;
        default:
            return 0;
    }
}

void WriteMenuItem(const Target& t, int property, uint32_t low, uint32_t high) {
    platform::MenuEntry e = MenuItemState(*t.window, *t.record);
    switch (property) {
        case kMenuCaption:
            e.caption = TextToString(static_cast<const char*>(BitsPointer(low, high)));
            break;
        case kMenuChecked:
            e.checked = low != 0;
            break;
        case kMenuDisabled:
            e.enabled = low == 0;
            break;
        case kMenuVisible:
            e.visible = low != 0;
            break;
        default:
            return;
    }
    SetMenuItemState(*t.window, *t.record, e);
}

bool IsMenuItem(const Target& t) {
    return t.window && t.record && t.record->IsMenuItem();
}

uint64_t Read(const Target& t, int property, int component) {
    if (IsMenuItem(t)) return ReadMenuItem(t, property);
    return property < kFirstTypeProperty ? ReadCommon(t, property)
                                         : ReadTyped(t, property, component);
}

void Write(const Target& t, int property, int component, uint32_t low, uint32_t high) {
    if (IsMenuItem(t)) {
        WriteMenuItem(t, property, low, high);
    } else if (property < kFirstTypeProperty) {
        WriteCommon(t, property, low, high);
    } else {
        WriteTyped(t, property, component, low, high);
    }
}

}  // namespace

int32_t ClampPosition(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, -kCoordinateLimit, kCoordinateLimit));
}

int32_t ClampSize(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, 0, kCoordinateLimit));
}

KindForm FormOfKind(uint16_t kind) {
    switch (kind) {
        case 1000:
        case 1001:
        case 1006:
        case 1014:
        case 1015:
        case 1017:
            return KindForm::kOneWord;
        case 1002:
        case 1004:
            return KindForm::kTwoWords;
        case 1003:
            return KindForm::kLogical;
        case 1009:
        case 1010:
        case 1012:
        case 1023:
        case 1024:
            return KindForm::kByteSet;
        case 1011:
            return KindForm::kMousePointer;
        case 1013:
            return KindForm::kFont;
        default:
            return KindForm::kText;
    }
}

// The receive handler reads and writes properties for every received byte. On the UI thread the
// body runs in place: wrapping it in a std::function first would allocate, its captures being
// larger than the function object keeps inline.
template <class Body>
void OnUi(Body&& body) {
    if (OnUiThread()) {
        body();
    } else {
        RunOnUiThread(body);
    }
}

namespace {

// Every read but the window thread's reads of a word-kind property of a live unit. Requests are
// judged on the UI thread, when they are served: a worker's request may wait there while the
// window closes.
[[gnu::noinline]] uint64_t ReadAnyProperty(uint32_t window_id, uint32_t unit_id, int property,
                                           int component) {
    if (OnUiThread()) {
        if (property < 0) return 0;
        const RuntimeState::Lookups::Unit& entry = LookUp(window_id, unit_id);
        Unit* unit = static_cast<Unit*>(entry.record->object);
        if (property >= kFirstTypeProperty && unit && !entry.record->IsMenuItem()) {
            return ReadOwn(*unit, entry.type, property, component);
        }
        return Read(Locate(window_id, unit_id), property, component);
    }
    uint64_t result = 0;
    RunOnUiThread([&] {
        if (property < 0 || IgnoresWorkerRequests(window_id)) return;
        result = Read(Locate(window_id, unit_id), property, component);
    });
    return result;
}

}  // namespace

uint64_t ReadProperty(uint32_t window_id, uint32_t unit_id, int property, int component) {
    // The window thread reads options for every received byte (check marks, one word each);
    // such a read goes from the lookup straight to the unit's word reader.
    if (property >= kFirstTypeProperty && OnUiThread()) [[likely]] {
        RuntimeState::Lookups::Unit& entry = LookUp(window_id, unit_id);
        Unit* unit = static_cast<Unit*>(entry.record->object);
        int64_t word;
        if (unit && entry.type.get_word && !entry.record->IsMenuItem() &&
            entry.type.get_word(*unit, property - kFirstTypeProperty, word) == 1) {
            if (entry.word_property != property) {
                entry.word_form = FormOfKind(KindIn(entry.type.descriptor, property));
                entry.word_property = property;
            }
            if (uint64_t result; WordValue(entry.word_form, word, result)) return result;
        }
    }
    return ReadAnyProperty(window_id, unit_id, property, component);
}

void WriteProperty(uint32_t window_id, uint32_t unit_id, int property, int component, uint32_t low,
                   uint32_t high) {
    const bool worker = !OnUiThread();
    OnUi([&] {
        if (property < 0 || (worker && IgnoresWorkerRequests(window_id))) return;
        Write(Locate(window_id, unit_id), property, component, low, high);
    });
}

uint64_t ReadObjectProperty(uint32_t type_code, Unit* unit, int property, int component) {
    uint64_t result = 0;
    const bool worker = !OnUiThread();
    OnUi([&] {
        if (!unit || property < 0 || (worker && ShutdownInProgress())) return;
        Target t;
        t.unit = unit;
        t.type_code = type_code;
        result = Read(t, property, component);
    });
    return result;
}

void WriteObjectProperty(uint32_t type_code, Unit* unit, int property, int component, uint32_t low,
                         uint32_t high) {
    const bool worker = !OnUiThread();
    OnUi([&] {
        if (!unit || property < 0 || (worker && ShutdownInProgress())) return;
        Target t;
        t.unit = unit;
        t.type_code = type_code;
        Write(t, property, component, low, high);
    });
}

}  // namespace kesu
