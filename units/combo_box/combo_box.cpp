#include "units/combo_box/combo_box.h"

#include <algorithm>

#include "platform/platform.h"
#include "units/common/block_fields.h"
#include "units/common/selection.h"
#include "units/common/stored_fields.h"
#include "units/common/type_descriptor.h"
#include "units/common/visual.h"

namespace kesu::units {

namespace {

platform::ComboStyle StyleOf(const ComboBoxSettings& s) {
    platform::ComboStyle style;
    style.kind = static_cast<platform::ComboKind>(s.listType);
    style.sorted = s.sorted;
    return style;
}

}  // namespace

ComboBoxUnit::ComboBoxUnit(const UnitCreateInfo& info) : VisualUnit(info) {
    DeclareSharedProperties(EverySharedProperty<ComboBoxUnit>(s_));
}

std::unique_ptr<ComboBoxUnit> ComboBoxUnit::Create(const UnitCreateInfo& info) {
    std::unique_ptr<ComboBoxUnit> unit(new ComboBoxUnit(info));
    if (!unit->s_.Load(info.data)) return nullptr;
    const ComboBoxSettings& s = unit->s_;
    auto combo = CurrentUi().CreateComboBox(CreationParent(info), StyleOf(s));
    unit->combo_ = combo.get();
    unit->Attach(std::move(combo), info);
    platform::ComboBox& c = *unit->combo_;
    c.SetFont(PlatformFont(s.font));
    c.SetTextColour(s.textColour);
    c.SetBackColour(s.backColour);
    c.SetItemHeight(s.itemHeight);
    if (unit->HasEditField()) c.SetLimit(static_cast<std::size_t>(s.maxLength));
    // Each stored item keeps its own data value wherever sorting puts it.
    for (std::size_t i = 0; i < s.items.size(); ++i) {
        int at = c.AddItem(s.items[i]);
        if (at >= 0 && i < s.itemData.size()) {
            c.SetItemData(at, static_cast<std::uint32_t>(s.itemData[i]));
        }
    }
    unit->SetListIndex(s.listIndex);
    // The content comes after the selection, so a drop-down box shows its
    // stored text even when that differs from the selected item.
    if (unit->HasEditField()) {
        c.SetText(s.content);
        unit->SetEditSelection(s.selStart, s.selLength);
    }
    return unit;
}

ComboBoxUnit::~ComboBoxUnit() {
    *alive_ = false;
}

void ComboBoxUnit::SetListIndex(std::int32_t index) {
    // Past the end selects the last item, below -1 nothing; an empty list
    // selects nothing whatever the value. The control sends no notice.
    std::int32_t last = combo_->Count() - 1;
    index = std::max(std::min(index, last), -1);
    combo_->SetCurrent(index);
    s_.listIndex = index;
}

void ComboBoxUnit::SetEditSelection(std::int32_t start, std::int32_t length) {
    std::size_t textLength = combo_->Text().size();
    Selection sel = SelectionForStart(start, textLength);
    if (start != -1) sel = SelectionForLength(sel.start, length, textLength);
    auto begin = static_cast<std::size_t>(sel.start);
    combo_->SetEditSelection(begin, begin + static_cast<std::size_t>(sel.length));
}

int ComboBoxUnit::AddItem(std::string_view text, std::uint32_t data) {
    int at = combo_->AddItem(text);
    if (at < 0) return -1;
    combo_->SetItemData(at, data);
    return at;
}

void ComboBoxUnit::ClearItems() {
    combo_->ClearItems();
}

void ComboBoxUnit::OnNotify(platform::Notify n) {
    switch (n) {
        case platform::Notify::SelectionEnded: {
            // Raised from the queue, after the control has finished its own
            // handling of the choice and shows the chosen text.
            std::weak_ptr<bool> alive = alive_;
            platform::Current().Loop().Post([this, alive] {
                if (auto a = alive.lock(); a && *a) RaiseEvent(kEventSelectionMade);
            });
            return;
        }
        case platform::Notify::EditChanged:
            RaiseEvent(kEventEditChanged);
            return;
        case platform::Notify::DropDown:
            RaiseEvent(kEventDroppingDown);
            return;
        case platform::Notify::ClosedUp:
            RaiseEvent(kEventClosedUp);
            return;
        case platform::Notify::DoubleClicked:
            RaiseEvent(kEventDoubleClicked);
            return;
        default:
            VisualUnit::OnNotify(n);
    }
}

int ComboBoxUnit::SetOwnProperty(int index, const PropertyValue& value) {
    std::int32_t v = IntOf(value);
    switch (index) {
        case kListType: {
            std::int32_t type = ClampChoice(v, 0, 2);
            if (type == s_.listType) return 0;
            // A simple box shows its list on the button face, the drop-down
            // kinds on white; a background of the other default swaps along.
            if (type != 0 && s_.backColour == platform::kButtonFace)
                s_.backColour = platform::kWhite;
            if (type == 0 && s_.backColour == platform::kWhite)
                s_.backColour = platform::kButtonFace;
            s_.listType = type;
            return 1;
        }
        case kContent:
            s_.content = TextOf(value);
            if (HasEditField()) combo_->SetText(s_.content);
            return 0;
        case kMaxLength:
            s_.maxLength = ClampChoice(v, 0, 32767);
            if (HasEditField()) combo_->SetLimit(static_cast<std::size_t>(s_.maxLength));
            return 0;
        case kSelStart: {
            s_.selStart = v;
            SetEditSelection(v, 0);
            return 0;
        }
        case kSelLength: {
            s_.selLength = v;
            auto start = static_cast<std::int32_t>(combo_->EditSelection().first);
            SetEditSelection(v == -1 ? 0 : start,
                             v == -1 ? static_cast<std::int32_t>(combo_->Text().size()) : v);
            return 0;
        }
        case kSelText:
            if (HasEditField()) combo_->ReplaceEditSelection(TextOf(value));
            return 0;
        case kSorted: {
            bool sorted = v == 1;
            bool changed = sorted != s_.sorted;
            s_.sorted = sorted;
            return changed ? 1 : 0;
        }
        case kItemHeight:
            s_.itemHeight = ClampChoice(v, 0, 32767);
            combo_->SetItemHeight(s_.itemHeight);
            return 0;
        case kListIndex:
            SetListIndex(v);
            return 0;
        case kItems: {
            // A damaged list is refused whole: the stored list stays as it was.
            std::vector<std::string> items;
            BlockReader in(value.bytes);
            ReadTextList(in, items);
            if (in.failed()) return 0;
            s_.items = std::move(items);
            return 1;
        }
        case kItemData:
            s_.itemData = ComboBoxSettings::unpackItemData(value.bytes);
            return 1;
        case kBindingFlag:
            s_.bindingFlag = v != 0;
            return 0;
        default:
            return 0;
    }
}

void ComboBoxUnit::ShowSharedProperty(Shared which) {
    VisualUnit::ShowSharedProperty(which);
    // The stored item height holds over a new font, by which the control would size its items.
    if (which == Shared::kFont) combo_->SetItemHeight(s_.itemHeight);
}

int ComboBoxUnit::GetProperty(int index, PropertyValue& out) {
    auto [start, end] = combo_->EditSelection();
    switch (index) {
        case kContent:
            out = TextValue(combo_->Text());
            return 1;
        case kSelStart:
            out = NumberValue(static_cast<std::int64_t>(start));
            return 1;
        case kSelLength:
            out = NumberValue(static_cast<std::int64_t>(end - start));
            return 1;
        case kSelText: {
            std::string text = combo_->Text();
            start = std::min(start, text.size());
            end = std::min(std::max(end, start), text.size());
            out = TextValue(text.substr(start, end - start));
            return 1;
        }
        case kListIndex:
            out = NumberValue(combo_->Current());
            return 1;
        case kItems: {
            BlockWriter w;
            WriteTextList(w, s_.items);
            out = TextValue(w.Take());
            return 1;
        }
        case kItemData:
            out = TextValue(ComboBoxSettings::packItemData(s_.itemData));
            return 1;
        default:
            break;
    }
    using S = ComboBoxSettings;
    static const StoredField<S> kFields[] = {
        &S::listType,   &S::content,    &S::maxLength,  {},       {}, {}, &S::sorted,
        &S::itemHeight, &S::textColour, &S::backColour, &S::font, {}, {}, {},
        &S::dataSource, &S::dataColumn, &S::bindingFlag};
    static_assert(std::size(kFields) == kBindingFlag + 1, "one entry per property");
    return ReadStoredField<S>(s_, kFields, index, out) ? 1 : 0;
}

int ComboBoxUnit::Save(std::string& block) {
    ComboBoxSettings now = s_;
    if (HasEditField()) {
        now.content = combo_->Text();
        auto [start, end] = combo_->EditSelection();
        now.selStart = static_cast<std::int32_t>(start);
        now.selLength = static_cast<std::int32_t>(end - start);
    }
    now.listIndex = combo_->Current();
    block = now.Save();
    return 1;
}

UnitOperation ComboBoxInterface(int code) {
    return StandardUnitInterface<ComboBoxUnit>(code);
}

void AddItemCommand(ResultRecord* result, int argCount, ArgRecord* args) {
    result->SetInt(-1);
    if (argCount < 2) return;
    RunOnUiThread([&] {
        auto* unit = UnitOfReference<ComboBoxUnit>(args[0]);
        if (!unit) return;
        // Item data left out arrives as a zeroed record and counts as 0.
        std::uint32_t data = argCount > 2 && args[2].type != 0 ? args[2].low : 0;
        result->SetInt(unit->AddItem(TextArgument(args[1]), data));
    });
}

void ClearItemsCommand(ResultRecord* /*result*/, int argCount, ArgRecord* args) {
    if (argCount < 1) return;
    RunOnUiThread([&] {
        if (auto* unit = UnitOfReference<ComboBoxUnit>(args[0])) unit->ClearItems();
    });
}

void SetItemToolTipCommand(ResultRecord* /*result*/, int argCount, ArgRecord* args) {
    if (argCount < 3) return;
    RunOnUiThread([&] {
        if (auto* unit = UnitOfReference<ComboBoxUnit>(args[0])) {
            unit->combo().SetItemToolTip(args[1].AsInt(), TextArgument(args[2]));
        }
    });
}

UnitTypeDescriptor ComboBoxTypeDescriptor() {
    return DescribeUnitType(
        "\xD7\xE9\xBA\xCF\xBF\xF2", "ComboBox", 0x80000240,
        {kind::kWord, kind::kText, kind::kWord, kind::kWord, kind::kWord, kind::kText,
         kind::kLogical, kind::kWord, kind::kWord, kind::kWord, kind::kFont, kind::kWord,
         kind::kBytes, kind::kBytes, kind::kText, kind::kText, kind::kLogical});
}

}  // namespace kesu::units
