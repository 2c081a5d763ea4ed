#include "units/edit_box/edit_box.h"

#include <algorithm>
#include <cstdlib>

#include "units/common/stored_fields.h"
#include "units/common/type_descriptor.h"
#include "units/common/visual.h"
#include "units/edit_box/edit_rules.h"

namespace kesu::units {

namespace {

// One double-byte sample character, measured to size single-line boxes.
constexpr std::string_view kSampleCharacter = "\xCE\xE2";
// Twice the platform's edge width: the frame a single-line box needs around its text.
constexpr int kFrameAllowance = 4;
// Width of the up-down companion's arrows, and their captions (▲ and ▼).
constexpr int kArrowWidth = 16;
constexpr std::string_view kUpCaption = "\xA1\xF8";
constexpr std::string_view kDownCaption = "\xA8\x8B";

platform::EditStyle StyleOf(const EditBoxSettings& s) {
    platform::EditStyle style;
    style.multi_line = s.multiLine;
    style.hscroll = s.multiLine && (s.scrollBars == 1 || s.scrollBars == 3);
    style.vscroll = s.multiLine && (s.scrollBars == 2 || s.scrollBars == 3);
    style.auto_hscroll = !s.multiLine || style.hscroll;
    style.align = s.alignment == 1   ? platform::HAlign::Centre
                  : s.alignment == 2 ? platform::HAlign::Right
                                     : platform::HAlign::Left;
    style.read_only = s.inputMode == 1;
    style.password = s.inputMode == 2;
    style.password_char = static_cast<char>(s.passwordChar & 0xFF);
    style.letter_case = s.letterCase == 1   ? platform::LetterCase::Lower
                        : s.letterCase == 2 ? platform::LetterCase::Upper
                                            : platform::LetterCase::AsTyped;
    style.hide_selection = s.hideSelection;
    return style;
}

}  // namespace

EditBoxUnit::EditBoxUnit(const UnitCreateInfo& info) : VisualUnit(info) {
    DeclareSharedProperties(EverySharedProperty<EditBoxUnit>(s_));
}

std::unique_ptr<EditBoxUnit> EditBoxUnit::Create(const UnitCreateInfo& info) {
    std::unique_ptr<EditBoxUnit> unit(new EditBoxUnit(info));
    if (!unit->s_.Load(info.data)) return nullptr;
    EditBoxSettings& s = unit->s_;
    auto edit = CurrentUi().CreateEdit(CreationParent(info), StyleOf(s));
    unit->edit_ = edit.get();
    unit->setting_text_ = true;
    edit->SetText(ApplyLetterCase(s.letterCase, s.content));
    unit->setting_text_ = false;
    unit->Attach(std::move(edit), info);
    platform::Edit& e = *unit->edit_;
    e.SetTextColour(s.textColour);
    e.SetBackColour(s.backColour);
    unit->ApplyFont();
    e.SetLimit(EffectiveTextLimit(s.maxLength));
    unit->SetSelection({s.selStart, s.selLength});
    e.ScrollToCaret();
    e.SetBorder(PlatformBorder(s.borderStyle));
    unit->ApplyInputMode();
    if (s.upDownMode != 0 && !s.multiLine) {
        unit->CreateUpDown(CreationParent(info), (info.style & kStyleVisible) != 0,
                           (info.style & kStyleDisabled) == 0);
    }
    return unit;
}

void EditBoxUnit::CreateUpDown(platform::Control* parent, bool visible, bool enabled) {
    up_ = CurrentUi().CreateButton(parent);
    down_ = CurrentUi().CreateButton(parent);
    up_->SetText(kUpCaption);
    down_->SetText(kDownCaption);
    up_->SetNotifyHandler([this](platform::Notify n) {
        if (n == platform::Notify::Clicked) Step(+1);
    });
    down_->SetNotifyHandler([this](platform::Notify n) {
        if (n == platform::Notify::Clicked) Step(-1);
    });
    PlaceUpDown();
    for (platform::Button* arrow : {up_.get(), down_.get()}) {
        arrow->SetVisible(visible);
        arrow->SetEnabled(enabled);
    }
}

void EditBoxUnit::PlaceUpDown() {
    if (!up_) return;
    platform::Rect r = edit_->Geometry();
    int upper = r.height / 2;
    up_->SetGeometry({r.left + r.width, r.top, kArrowWidth, upper});
    down_->SetGeometry({r.left + r.width, r.top + upper, kArrowWidth, r.height - upper});
}

void EditBoxUnit::Step(int direction) {
    // The number the box shows moves one step within the range, whichever way
    // round the range's ends were given; text that is no number counts as 0.
    std::int64_t lo = std::min(s_.upDownMin, s_.upDownMax);
    std::int64_t hi = std::max(s_.upDownMin, s_.upDownMax);
    std::int64_t towards = direction > 0 ? s_.upDownMax : s_.upDownMin;
    std::int64_t now = std::strtoll(edit_->Text().c_str(), nullptr, 10);
    std::int64_t next = now == towards ? now : now + (towards > now ? 1 : -1);
    next = std::clamp(next, lo, hi);
    WriteContent(std::to_string(next));
}

void EditBoxUnit::SetGeometry(const UnitRect& rect) {
    VisualUnit::SetGeometry(rect);
    PlaceUpDown();
}

void EditBoxUnit::SetVisible(bool visible) {
    VisualUnit::SetVisible(visible);
    if (up_) {
        up_->SetVisible(visible);
        down_->SetVisible(visible);
    }
}

void EditBoxUnit::SetEnabled(bool enabled) {
    VisualUnit::SetEnabled(enabled);
    if (up_) {
        up_->SetEnabled(enabled);
        down_->SetEnabled(enabled);
    }
}

void EditBoxUnit::SetParentUnit(Unit& parent) {
    VisualUnit::SetParentUnit(parent);
    if (up_ && parent.control()) {
        up_->SetParent(parent.control());
        down_->SetParent(parent.control());
    }
}

void EditBoxUnit::ApplyFont() {
    platform::Font font = PlatformFont(s_.font);
    edit_->SetFont(font);
    if (!s_.multiLine) {
        // A single-line box is made at least as high as one line of its font
        // plus its frame, so its text is never clipped.
        int needed = CurrentUi().TextHeight(font, kSampleCharacter) + kFrameAllowance;
        platform::Rect r = edit_->Geometry();
        if (r.height < needed) {
            r.height = needed;
            edit_->SetGeometry(r);
        }
    }
}

void EditBoxUnit::RememberText() {
    shadow_ = Filters() ? edit_->Text() : std::string();
}

bool EditBoxUnit::TextReallyChanged() {
    if (!Filters()) return true;
    std::string now = edit_->Text();
    if (now == shadow_) return false;
    shadow_ = std::move(now);
    return true;
}

void EditBoxUnit::ApplyInputMode() {
    RememberText();
    edit_->SetReadOnly(s_.inputMode == 1);
    edit_->SetPassword(s_.inputMode == 2, static_cast<char>(s_.passwordChar & 0xFF));
    // Typed characters pass the mode's filter; text the program writes does not.
    std::int32_t mode = s_.inputMode;
    edit_->SetInputFilter([mode](std::string_view character) {
        return !character.empty() &&
               AdmitsTypedChar(mode, static_cast<unsigned char>(character[0]));
    });
}

Selection EditBoxUnit::CurrentSelection() const {
    auto [start, end] = edit_->Selection();
    return {static_cast<std::int32_t>(start), static_cast<std::int32_t>(end - start)};
}

void EditBoxUnit::SetSelection(Selection sel) {
    std::size_t start = static_cast<std::size_t>(std::max(sel.start, 0));
    std::size_t end = start + static_cast<std::size_t>(std::max(sel.length, 0));
    edit_->SetSelection(start, end);
}

void EditBoxUnit::WriteContent(const std::string& text) {
    // The control holds the text; the stored copy is refreshed only when the
    // unit is saved, so a large text is not kept twice.
    s_.content.clear();
    // A whole-text write is not bound by the typing limit: the limit is lifted
    // for the write and restored after it. The control's own notice is held
    // back, and exactly one Changed follows.
    setting_text_ = true;
    edit_->SetLimit(0);
    edit_->SetText(ApplyLetterCase(s_.letterCase, text));
    edit_->SetLimit(EffectiveTextLimit(s_.maxLength));
    setting_text_ = false;
    RememberText();
    RaiseEvent(kEventChanged);
}

void EditBoxUnit::AddText(std::string_view piece) {
    std::string folded = ApplyLetterCase(s_.letterCase, piece);
    std::size_t length = edit_->TextLength();
    std::size_t limit = EffectiveTextLimit(s_.maxLength);
    std::size_t room = length < limit ? limit - length : 0;
    std::string_view fitted = FitToRoom(folded, room);
    edit_->SetSelection(length, length);
    edit_->ScrollToCaret();
    if (fitted.empty()) return;  // nothing changes, so nothing is announced
    setting_text_ = true;
    edit_->Append(fitted);
    std::size_t end = edit_->TextLength();
    edit_->SetSelection(end, end);
    setting_text_ = false;
    RememberText();
    RaiseEvent(kEventChanged);
}

void EditBoxUnit::NormaliseOnFocusLoss() {
    if (s_.inputMode < 5 || s_.inputMode > 11) return;
    std::string text = edit_->Text();
    std::string canonical = NormaliseForMode(s_.inputMode, text);
    if (canonical == text) return;
    std::size_t caret = edit_->Selection().second;
    // The rewrite is a change of the text like any other and is announced once.
    setting_text_ = true;
    edit_->SetText(canonical);
    setting_text_ = false;
    RememberText();
    caret = std::min(caret, canonical.size());
    edit_->SetSelection(caret, caret);
    edit_->ScrollToCaret();
    RaiseEvent(kEventChanged);
}

void EditBoxUnit::OnNotify(platform::Notify n) {
    switch (n) {
        case platform::Notify::TextChanged:
            if (!setting_text_ && TextReallyChanged()) RaiseEvent(kEventChanged);
            return;
        case platform::Notify::FocusOut:
            NormaliseOnFocusLoss();
            RaiseEvent(kEventLostFocus);
            return;
        default:
            VisualUnit::OnNotify(n);
    }
}

int EditBoxUnit::SetOwnProperty(int index, const PropertyValue& value) {
    // Properties whose change rebuilds the control answer 1 when the stored
    // value really changes.
    auto recreateIfChanged = [](auto& field, auto v) {
        bool changed = field != v;
        field = v;
        return changed ? 1 : 0;
    };
    std::int32_t v = IntOf(value);
    switch (index) {
        case kContent:
            WriteContent(TextOf(value));
            return 0;
        case kBorderStyle:
            s_.borderStyle = ClampChoice(v, 0, kMaxBorderStyle);
            edit_->SetBorder(PlatformBorder(s_.borderStyle));
            return 0;
        case kHideSelection:
            return recreateIfChanged(s_.hideSelection, v != 0);
        case kMaxLength:
            s_.maxLength = std::max(v, 0);
            edit_->SetLimit(EffectiveTextLimit(s_.maxLength));
            return 0;
        case kMultiLine:
            return recreateIfChanged(s_.multiLine, v != 0);
        case kScrollBars:
            return recreateIfChanged(s_.scrollBars, ClampChoice(v, 0, 3));
        case kAlignment:
            return recreateIfChanged(s_.alignment, ClampChoice(v, 0, 2));
        case kInputMode:
            s_.inputMode = ClampChoice(v, 0, 11);
            ApplyInputMode();
            return 0;
        case kPasswordChar: {
            std::string t = TextOf(value);
            s_.passwordChar = t.empty() ? 0 : static_cast<unsigned char>(t[0]);
            if (s_.inputMode == 2) edit_->SetPassword(true, static_cast<char>(s_.passwordChar));
            return 0;
        }
        case kLetterCase:
            return recreateIfChanged(s_.letterCase, ClampChoice(v, 0, 2));
        case kUpDownMode:
            return recreateIfChanged(s_.upDownMode, ClampChoice(v, 0, 2));
        case kUpDownMin:
            s_.upDownMin = v;
            return 0;
        case kUpDownMax:
            s_.upDownMax = v;
            return 0;
        case kSelStart: {
            Selection sel = SelectionForStart(v, edit_->TextLength());
            s_.selStart = sel.start;
            s_.selLength = sel.length;
            SetSelection(sel);
            return 0;
        }
        case kSelLength: {
            Selection sel = SelectionForLength(CurrentSelection().start, v, edit_->TextLength());
            s_.selStart = sel.start;
            s_.selLength = sel.length;
            SetSelection(sel);
            return 0;
        }
        case kSelText: {
            std::string before = edit_->Text();
            setting_text_ = true;
            edit_->ReplaceSelection(ApplyLetterCase(s_.letterCase, TextOf(value)));
            setting_text_ = false;
            RememberText();
            if (edit_->Text() != before) RaiseEvent(kEventChanged);
            return 0;
        }
        default:
            return 0;
    }
}

void EditBoxUnit::ShowSharedProperty(Shared which) {
    if (which == Shared::kFont) {
        ApplyFont();
        return;
    }
    VisualUnit::ShowSharedProperty(which);
}

int EditBoxUnit::GetProperty(int index, PropertyValue& out) {
    switch (index) {
        case kContent:
            out = TextValue(edit_->Text());
            return 1;
        case kPasswordChar:
            out = TextValue(s_.passwordChar ? std::string(1, static_cast<char>(s_.passwordChar))
                                            : std::string());
            return 1;
        case kSelStart:
            out = NumberValue(CurrentSelection().start);
            return 1;
        case kSelLength:
            out = NumberValue(CurrentSelection().length);
            return 1;
        case kSelText: {
            Selection sel = CurrentSelection();
            std::string text = edit_->Text();
            out = TextValue(text.substr(static_cast<std::size_t>(sel.start),
                                        static_cast<std::size_t>(sel.length)));
            return 1;
        }
        default:
            break;
    }
    using S = EditBoxSettings;
    static const StoredField<S> kFields[] = {{},
                                             &S::borderStyle,
                                             &S::textColour,
                                             &S::backColour,
                                             &S::font,
                                             &S::hideSelection,
                                             &S::maxLength,
                                             &S::multiLine,
                                             &S::scrollBars,
                                             &S::alignment,
                                             &S::inputMode,
                                             {},
                                             &S::letterCase,
                                             &S::upDownMode,
                                             &S::upDownMin,
                                             &S::upDownMax,
                                             {},
                                             {},
                                             {},
                                             &S::dataSource,
                                             &S::dataColumn};
    static_assert(std::size(kFields) == kDataColumn + 1, "one entry per property");
    return ReadStoredField<S>(s_, kFields, index, out) ? 1 : 0;
}

int EditBoxUnit::Save(std::string& block) {
    EditBoxSettings now = s_;
    now.content = edit_->Text();
    Selection sel = CurrentSelection();
    now.selStart = sel.start;
    now.selLength = sel.length;
    block = now.Save();
    return 1;
}

UnitOperation EditBoxInterface(int code) {
    return StandardUnitInterface<EditBoxUnit>(code);
}

void AddTextCommand(ResultRecord* /*result*/, int argCount, ArgRecord* args) {
    if (argCount < 1) return;
    RunOnUiThread([&] {
        auto* unit = UnitOfReference<EditBoxUnit>(args[0]);
        if (!unit) return;
        for (int i = 1; i < argCount; ++i) unit->AddText(TextArgument(args[i]));
    });
}

UnitTypeDescriptor EditBoxTypeDescriptor() {
    return DescribeUnitType(
        "\xB1\xE0\xBC\xAD\xBF\xF2", "EditBox", 0x80000040,
        {kind::kText, kind::kWord,    kind::kWord, kind::kWord, kind::kFont, kind::kLogical,
         kind::kWord, kind::kLogical, kind::kWord, kind::kWord, kind::kWord, kind::kText,
         kind::kWord, kind::kWord,    kind::kWord, kind::kWord, kind::kWord, kind::kWord,
         kind::kText, kind::kText,    kind::kText});
}

}  // namespace kesu::units
