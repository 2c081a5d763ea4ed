#pragma once

// Windows and child controls. All texts are GBK bytes; all positions inside a
// text are byte offsets. A control object owns its native control: destroying
// the object removes the control from the screen. Child controls must be
// destroyed before the window that holds them.
//
// Programmatic changes notify like user changes do where the classic controls
// did (an edit's text change, for instance); the unit classes decide which
// notifications become events. Notifications arrive on the UI thread only.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kesu::platform {

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
};

// 0x00BBGGRR; kButtonFace stands for the system's button-face colour.
using Colour = std::uint32_t;
inline constexpr Colour kButtonFace = 0xFF000000u;
inline constexpr Colour kBlack = 0x000000u;
inline constexpr Colour kWhite = 0xFFFFFFu;

struct Font {
    std::string face;  // GBK; empty means the default interface font
    // Character height in pixels when negative, cell height when positive,
    // the face's default when 0 (as the classic logical-font record has it).
    int height = 0;
    int weight = 400;  // 700 and above is bold
    bool italic = false;
    bool underline = false;
    bool strike_out = false;
    int charset = 0;
    int escapement = 0;  // tenths of a degree
    bool operator==(const Font&) const = default;
};

enum class HAlign { Left, Centre, Right };
enum class VAlign { Top, Centre, Bottom };

// Frame around a control: 0 none, 1 sunken, 2 raised modal frame, 3 static
// edge, 4 sunken plus modal frame, 5 single line.
enum class Border { None, Sunken, Raised, Static, SunkenRaised, Single };

// Where a background picture goes in its rectangle (a label's inside its
// frame, a window's client area): at the top-left corner in its own size,
// stretched over all of it, repeated from the top-left corner, or in its own
// size in the middle.
enum class PictureLayout { TopLeft, Stretched, Tiled, Centred };

enum class Notify {
    Clicked,         // button, check box (after the mark toggled)
    Toggled,         // check box: the user changed the mark; comes before the focus and Clicked
    TextChanged,     // edit: any change of its text, also programmatic
    DropDown,        // combo box: the list is about to open
    SelectionEnded,  // combo box: the user chose an item (text already updated)
    EditChanged,     // combo box: the user changed the edit field
    ClosedUp,        // combo box: the list closed
    DoubleClicked,   // combo box list, button
    FocusIn,
    FocusOut,
    CloseRequested,  // window: the user asked to close it; nothing else happens
    Shown,           // window became visible
    Hidden,          // window became hidden
    Moved,           // window: its outer rectangle moved, also by the program
    Resized,         // window: its outer size changed, also by the program
    Activated,       // window became the active window, also by the program
    Deactivated,     // window stopped being the active window
};

// Mouse pointers over a control: the system's shapes, in the order of the
// classic pointer table's rows, or the default shape of the control's kind.
enum class Cursor {
    Default,
    Arrow,
    Cross,
    TextBeam,
    Wait,
    Help,
    Working,  // arrow with a busy mark: working in the background
    No,
    Move,
    SizeNeSw,
    SizeNS,
    SizeNwSe,
    SizeWE,
    UpArrow,
    Hand,
};

// A pointer drawn from pixels: rows top to bottom, each pixel 0xAARRGGBB
// (not premultiplied), and the point of it that is the pointer's position.
struct CursorImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
    int hot_x = 0;
    int hot_y = 0;
    bool operator==(const CursorImage&) const = default;
};

using NotifyHandler = std::function<void(Notify)>;

class Control {
  public:
    virtual ~Control() = default;

    // Outer rectangle in the parent's client coordinates; for a window, on
    // the screen.
    virtual void SetGeometry(const Rect& r) = 0;
    virtual Rect Geometry() const = 0;

    // Makes this control a child of `parent` (a window or a group box).
    virtual void SetParent(Control* parent) = 0;
    // Stacking among siblings: directly below `sibling`, or on top of all
    // siblings when `sibling` is null.
    virtual void PlaceAfter(Control* sibling) = 0;

    virtual void SetVisible(bool visible) = 0;
    virtual bool IsVisible() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool IsEnabled() const = 0;

    virtual void SetFont(const Font& font) = 0;
    virtual Font GetFont() const = 0;
    virtual void SetTextColour(Colour c) = 0;
    virtual void SetBackColour(Colour c) = 0;
    virtual void SetBorder(Border b) = 0;

    // Caption, title or whole content, by kind.
    virtual void SetText(std::string_view gbk) = 0;
    virtual std::string Text() const = 0;

    virtual void SetFocus() = 0;
    virtual bool HasFocus() const = 0;

    // The pointer shown while the mouse is over the control; children with
    // the default shape show their parent's.
    virtual void SetCursor(Cursor cursor) = 0;
    // A pointer of the program's own drawing in place of a system shape. As
    // with SetCursor, the shape changes at once when the mouse is over the
    // control.
    virtual void SetCursorImage(const CursorImage& image) = 0;

    // A name for finding the control in tests and diagnostics; no effect on
    // what the user sees.
    void SetName(std::string name) { name_ = std::move(name); }
    const std::string& Name() const { return name_; }

    void SetNotifyHandler(NotifyHandler handler) { handler_ = std::move(handler); }

  protected:
    void Emit(Notify n) {
        if (handler_) {
            // A handler may replace itself; keep the running one alive.
            NotifyHandler h = handler_;
            h(n);
        }
    }

  private:
    std::string name_;
    NotifyHandler handler_;
};

enum class WindowShow { Normal, Minimised, Maximised };

// One entry of a window's menu, in the order the menu shows them. Entries of
// level 0 are on the bar; an entry of level n + 1 belongs to the pop-up of the
// nearest earlier entry of level n, which then opens that pop-up instead of
// being chosen itself.
struct MenuEntry {
    int level = 0;
    std::string caption;  // GBK; '&' marks the mnemonic, "-" is a separator
    bool checked = false;
    bool enabled = true;
    bool visible = true;
    // The key that chooses the entry from anywhere in its window, as
    // "Ctrl+Shift+F5"; empty for none.
    std::string shortcut;
    int command = 0;  // what choosing the entry reports
    bool operator==(const MenuEntry&) const = default;
    bool IsSeparator() const { return caption == "-"; }
};

// The menu bar of a window. It belongs to the window it is given to; the bar
// is part of the window's frame, so the client area lies below it.
class MenuBar {
  public:
    explicit MenuBar(std::vector<MenuEntry> entries) : entries_(std::move(entries)) {}
    virtual ~MenuBar() = default;
    MenuBar(const MenuBar&) = delete;
    MenuBar& operator=(const MenuBar&) = delete;

    std::size_t Count() const { return entries_.size(); }
    MenuEntry Entry(std::size_t index) const {
        return index < entries_.size() ? entries_[index] : MenuEntry{};
    }
    // Changes the caption, marks and visibility of an entry at once; its
    // level and command stay.
    void SetEntry(std::size_t index, const MenuEntry& entry) {
        if (index >= entries_.size()) return;
        MenuEntry& e = entries_[index];
        e = MenuEntry{e.level,       entry.caption,  entry.checked, entry.enabled,
                      entry.visible, entry.shortcut, e.command};
        Show(index);
    }

    // Choosing an entry (click or shortcut) reports its command; a checked
    // mark does not change by itself.
    void SetCommandHandler(std::function<void(int)> handler) { handler_ = std::move(handler); }

  protected:
    // The entry changed: the backend shows it as it is now.
    virtual void Show(std::size_t index) = 0;
    void Choose(int command) {
        if (handler_) {
            std::function<void(int)> h = handler_;
            h(command);
        }
    }

    std::vector<MenuEntry> entries_;

  private:
    std::function<void(int)> handler_;
};

// The height of a window's menu bar, the same on every backend.
inline constexpr int kMenuBarHeight = 20;

// How the user used a notification-area icon.
enum class TrayClick {
    LeftReleased = 1,
    LeftDoubleClick = 2,
    Context = 3,  // right button released, or the context-menu key
};

// An icon in the desktop's notification area, shown while it exists.
class TrayIcon {
  public:
    virtual ~TrayIcon() = default;
    // Picture bytes (ICO, PNG, BMP, ...); bytes the platform cannot read
    // show the program's default icon.
    virtual void SetIcon(std::string_view bytes) = 0;
    virtual void SetTip(std::string_view gbk) = 0;

    void SetClickHandler(std::function<void(TrayClick)> handler) { handler_ = std::move(handler); }

  protected:
    void Clicked(TrayClick how) {
        if (handler_) {
            std::function<void(TrayClick)> h = handler_;
            h(how);
        }
    }

  private:
    std::function<void(TrayClick)> handler_;
};

struct WindowStyle {
    bool caption = true;      // title bar
    bool system_menu = true;  // close box
    bool min_button = false;
    bool max_button = false;
    bool sizable = false;
    bool tool_window = false;
    bool operator==(const WindowStyle&) const = default;
};

// The frame around a window's client area, the same on every backend so that
// a window's outer size means the same client size everywhere.
struct FrameInsets {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};
// A menu bar is part of the frame, below the title bar.
inline FrameInsets FrameFor(const WindowStyle& s, bool menu_bar = false) {
    const int edge = s.sizable ? 4 : 3;
    const int caption = s.caption ? (s.tool_window ? 18 : 23) : 0;
    return FrameInsets{edge, edge + caption + (menu_bar ? kMenuBarHeight : 0), edge, edge};
}

// A top-level window. Its text is the title. A user's close request only
// emits CloseRequested; the owner decides and destroys the window itself.
// Moved and Resized follow every real change of the outer rectangle, the
// program's SetGeometry included, once each and after the change; a change
// to the same rectangle reports nothing. Activation changes report the window
// losing it (Deactivated) before the one gaining it (Activated); hiding the
// active window deactivates it and activates no other.
class Window : public Control {
  public:
    virtual void SetStyle(const WindowStyle& style) = 0;
    virtual WindowStyle Style() const = 0;
    // Size of the client area, where children are placed.
    virtual Rect ClientRect() const = 0;
    virtual void Show(WindowShow how) = 0;  // also makes it visible
    virtual WindowShow State() const = 0;
    virtual void Activate() = 0;
    virtual void SetAlwaysOnTop(bool on_top) = 0;
    // A picture over the back colour of the client area; none for no bytes
    // or for bytes in no format the platform reads (BMP, PNG, JPEG, GIF, ICO).
    virtual void SetBackPicture(std::string_view bytes, PictureLayout layout) = 0;
    virtual std::string BackPicture() const = 0;
    // The icon of the title bar and the task bar; the platform's own for no
    // bytes or unreadable ones.
    virtual void SetIcon(std::string_view bytes) = 0;
    virtual std::string Icon() const = 0;
    // Gives the window its menu bar (null removes it). Set it before the
    // window gets its children and its place: the bar takes its height from
    // the client area.
    virtual void SetMenuBar(std::unique_ptr<MenuBar> bar) = 0;
    virtual MenuBar* GetMenuBar() const = 0;

  protected:
    // Reports the change from `before` to the current rectangle `after`:
    // Moved, then Resized, unless the first handler destroyed the window.
    void EmitGeometryChange(const Rect& before, const Rect& after) {
        std::weak_ptr<char> alive = alive_;
        if (after.left != before.left || after.top != before.top) Emit(Notify::Moved);
        if (alive.expired()) return;
        if (after.width != before.width || after.height != before.height) Emit(Notify::Resized);
    }

  private:
    std::shared_ptr<char> alive_ = std::make_shared<char>();
};

enum class LetterCase { AsTyped, Lower, Upper };

struct EditStyle {
    bool multi_line = false;
    bool hscroll = false;  // scroll bars, multi-line only
    bool vscroll = false;
    bool auto_hscroll = true;
    HAlign align = HAlign::Left;
    bool read_only = false;
    bool password = false;
    char password_char = '*';
    LetterCase letter_case = LetterCase::AsTyped;
    bool hide_selection = true;
};

// What a program writes is exactly what a later Text() returns: CR LF, a lone
// CR, a lone LF and every GBK byte pair survive. Selection offsets are byte
// offsets, never inside a double-byte character.
class Edit : public Control {
  public:
    virtual EditStyle Style() const = 0;
    virtual void SetReadOnly(bool read_only) = 0;
    virtual void SetPassword(bool password, char password_char) = 0;

    // Byte length of the text, without copying it.
    virtual std::size_t TextLength() const = 0;

    // 0 removes the limit. Replacements, appends and typing beyond it are cut
    // at the limit; SetText is not limited.
    virtual void SetLimit(std::size_t bytes) = 0;
    virtual std::size_t Limit() const = 0;

    // Selection [start, end); both are clamped to the text and moved off the
    // middle of a double-byte character. start == end is the caret.
    virtual void SetSelection(std::size_t start, std::size_t end) = 0;
    virtual std::pair<std::size_t, std::size_t> Selection() const = 0;

    // Replaces the selection (cut to the limit), puts the caret after the
    // inserted bytes and emits TextChanged.
    virtual void ReplaceSelection(std::string_view gbk) = 0;

    // Adds `gbk` at the very end wherever the caret is, scrolls to it and
    // emits TextChanged; costs the size of the piece, not of the whole text.
    virtual void Append(std::string_view gbk) = 0;

    virtual void ScrollToCaret() = 0;

    // Decides for each character the user types (one GBK character, never a
    // programmatic change) whether it gets in. Empty: everything does.
    using InputFilter = std::function<bool(std::string_view gbk_char)>;
    virtual void SetInputFilter(InputFilter filter) = 0;
};

// A picture on a button or check box is shown in place of the caption, at
// its own size; bytes in no format the platform reads (BMP, PNG, JPEG, GIF,
// ICO) leave the caption shown. No bytes remove the picture.
class Button : public Control {
  public:
    virtual void SetDefault(bool is_default) = 0;
    virtual void SetAlignment(HAlign h, VAlign v) = 0;
    virtual void SetPicture(std::string_view bytes) = 0;
    virtual std::string Picture() const = 0;
};

struct CheckStyle {
    bool push_like = false;
    bool flat = false;
    bool text_left = false;
};

// A click by the user toggles the mark first, then emits Clicked.
class CheckBox : public Control {
  public:
    virtual void SetChecked(bool checked) = 0;  // no notification
    virtual bool IsChecked() const = 0;
    virtual void SetAlignment(HAlign h, VAlign v) = 0;
    virtual void SetCheckStyle(const CheckStyle& style) = 0;
    // As a button's, beside the mark.
    virtual void SetPicture(std::string_view bytes) = 0;
    virtual std::string Picture() const = 0;
};

class GroupBox : public Control {
  public:
    virtual void SetAlignment(HAlign h) = 0;
};

enum class ComboKind { Simple, DropDown, DropDownList };

struct ComboStyle {
    ComboKind kind = ComboKind::DropDown;
    bool sorted = false;
};

// Items are GBK texts. In a sorted box new items go to their sorted place.
// Text() is the edit field (for a drop-down list: the current item's text).
class ComboBox : public Control {
  public:
    virtual ComboStyle Style() const = 0;

    // Returns the index of the new item.
    virtual int AddItem(std::string_view gbk) = 0;
    virtual void ClearItems() = 0;
    virtual int Count() const = 0;
    virtual std::string Item(int index) const = 0;  // empty when out of range
    virtual void SetItemData(int index, std::uint32_t data) = 0;
    virtual std::uint32_t ItemData(int index) const = 0;
    // The tool tip an item shows while the pointer rests on it in the open list; empty for none.
    virtual void SetItemToolTip(int index, std::string_view gbk) = 0;
    virtual std::string ItemToolTip(int index) const = 0;

    // -1 or an index out of range clears the selection; no notification.
    virtual void SetCurrent(int index) = 0;
    virtual int Current() const = 0;

    // The edit field of simple and drop-down boxes; byte offsets.
    virtual void SetLimit(std::size_t bytes) = 0;
    virtual void SetEditSelection(std::size_t start, std::size_t end) = 0;
    virtual std::pair<std::size_t, std::size_t> EditSelection() const = 0;
    virtual void ReplaceEditSelection(std::string_view gbk) = 0;

    virtual void SetItemHeight(int extra_pixels) = 0;
};

enum class TextEffect { Plain, Raised, Sunken, Shadowed };

// The colours a grading runs through, first to last. Entries equal to
// kButtonFace are left out; with fewer than two colours left there is no
// grading.
using GradeColours = std::array<Colour, 3>;

// A frame the label draws inside its own rectangle, graded across its width
// from the first colour at the outer edge to the last at the inner edge.
// Width 0 means none. The caption and background take the rest; when the
// grading is missing (too few colours) the band stays unpainted but is still
// kept free.
struct LabelFrame {
    int width = 0;
    GradeColours colours{kButtonFace, kButtonFace, kButtonFace};
    bool operator==(const LabelFrame&) const = default;
};

// How a graded background runs. The straight gradings go from the first
// colour at the named start to the last at the far side; the centred ones
// from the first colour at the outside to the last at the centre.
enum class Gradient {
    None,  // solid background colour
    LeftToRight,
    TopToBottom,
    TopLeftToBottomRight,
    BottomLeftToTopRight,
    SidesToCentre,         // left and right edges to a vertical middle line
    TopAndBottomToCentre,  // top and bottom edges to a horizontal middle line
    Radial,                // corners to the centre point, in circles
    Box,                   // edges to the centre, in rectangles like the frame's
};

struct LabelGradient {
    Gradient mode = Gradient::None;
    GradeColours colours{kButtonFace, kButtonFace, kButtonFace};
    bool operator==(const LabelGradient&) const = default;
};

struct LabelStyle {
    HAlign h_align = HAlign::Left;
    VAlign v_align = VAlign::Centre;
    bool word_wrap = false;
    TextEffect effect = TextEffect::Plain;
    LabelFrame frame{};
    LabelGradient gradient{};
    PictureLayout picture_layout = PictureLayout::Stretched;
};

// A canvas that paints, in this order: the graded frame, then inside it the
// background (the picture when it has one it can read, else the graded
// background when its grading has two colours or more, else the background
// colour, kButtonFace there being the windows' face colour), then the caption
// with its font, colour, alignment and effect. A picture paints only its own
// pixels: where it leaves room, what lies behind the label shows.
class Label : public Control {
  public:
    virtual void SetLabelStyle(const LabelStyle& style) = 0;
    virtual LabelStyle GetLabelStyle() const = 0;
    // Encoded picture bytes (BMP, PNG, JPEG or GIF), read once here; empty
    // for none. Bytes the canvas cannot read show no picture. Setting the
    // same bytes again costs no new reading.
    virtual void SetPicture(std::string_view bytes) = 0;
    virtual std::string Picture() const = 0;
};

class Ui {
  public:
    virtual ~Ui() = default;

    virtual std::unique_ptr<Window> CreateWindow() = 0;
    // `parent` is the window or group box that holds the control.
    virtual std::unique_ptr<Edit> CreateEdit(Control* parent, const EditStyle& style) = 0;
    virtual std::unique_ptr<Button> CreateButton(Control* parent) = 0;
    virtual std::unique_ptr<CheckBox> CreateCheckBox(Control* parent) = 0;
    virtual std::unique_ptr<GroupBox> CreateGroupBox(Control* parent) = 0;
    virtual std::unique_ptr<ComboBox> CreateComboBox(Control* parent, const ComboStyle& style) = 0;
    virtual std::unique_ptr<Label> CreateLabel(Control* parent) = 0;
    // A menu bar of these entries, for a window to take.
    virtual std::unique_ptr<MenuBar> CreateMenuBar(const std::vector<MenuEntry>& entries) = 0;
    // An icon in the notification area, or null where the desktop has none.
    virtual std::unique_ptr<TrayIcon> CreateTrayIcon() = 0;

    virtual Rect Screen() const = 0;
    // The default interface font; "System" bold is this font in bold.
    virtual Font DefaultFont() const = 0;
    // Height in pixels of `gbk` drawn in `font` on one line.
    virtual int TextHeight(const Font& font, std::string_view gbk) const = 0;
};

}  // namespace kesu::platform
