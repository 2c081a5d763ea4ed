#include "platform/qt/qt_control.h"

#include <QFontDatabase>
#include <algorithm>

#include "platform/gbk.h"
#include "platform/qt/qt_platform.h"

namespace kesu::platform::qt {

QString ToQ(std::string_view gbk) {
    return ToQString(gbk);
}

QString ViewQ(const std::u16string& v) {
    return QString::fromUtf16(v.data(), static_cast<qsizetype>(v.size()));
}

std::u16string ViewOf(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                          static_cast<std::size_t>(s.size()));
}

QColor ToColour(Colour c, QPalette::ColorRole face_role) {
    if (c == kButtonFace) return QApplication::palette().color(face_role);
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

Qt::Alignment ToAlign(HAlign h, VAlign v) {
    Qt::Alignment a = h == HAlign::Left     ? Qt::AlignLeft
                      : h == HAlign::Centre ? Qt::AlignHCenter
                                            : Qt::AlignRight;
    a |= v == VAlign::Top ? Qt::AlignTop : v == VAlign::Centre ? Qt::AlignVCenter : Qt::AlignBottom;
    return a;
}

QFont ToQFont(const Font& f) {
    QFont q = QApplication::font();
    std::string family = FamilyFor(f.face);
    if (!family.empty()) q.setFamily(QString::fromUtf8(family.c_str()));
    if (f.height < 0) q.setPixelSize(-f.height);
    // A positive height is the cell height, of which the character takes
    // roughly four fifths.
    if (f.height > 0) q.setPixelSize(std::max(1, f.height * 4 / 5));
    q.setBold(f.weight >= 700);
    q.setItalic(f.italic);
    q.setUnderline(f.underline);
    q.setStrikeOut(f.strike_out);
    return q;
}

// Puts the pointer shape on `w`. The shape a widget has from its kind (the
// beam of a text field) is noted on first use, and Default gives it back.
void ApplyCursor(QWidget* w, Cursor c) {
    static const char* const kKindShape = "kesu_kind_cursor";
    QVariant kind = w->property(kKindShape);
    if (!kind.isValid()) {
        kind = w->testAttribute(Qt::WA_SetCursor) ? static_cast<int>(w->cursor().shape()) : -1;
        w->setProperty(kKindShape, kind);
    }
    if (c != Cursor::Default) {
        w->setCursor(kCursorShapes[static_cast<std::size_t>(c)]);
    } else if (kind.toInt() >= 0) {
        w->setCursor(static_cast<Qt::CursorShape>(kind.toInt()));
    } else {
        w->unsetCursor();
    }
}

QWidget* ParentWidget(Control* parent) {
    if (!parent) return nullptr;
    auto* node = dynamic_cast<QtNode*>(parent);
    return node ? node->ChildArea() : nullptr;
}

std::string FamilyFor(const std::string& gbk_face) {
    static const std::string kSimSun = "\xCB\xCE\xCC\xE5";             // 宋体
    static const std::string kNewSimSun = "\xD0\xC2\xCB\xCE\xCC\xE5";  // 新宋体
    static const std::string kCjk = "WenQuanYi Micro Hei";
    if (gbk_face.empty() || gbk_face == "System" || gbk_face == "MS Sans Serif") {
        return QApplication::font().family().toStdString();
    }
    if (gbk_face == kSimSun || gbk_face == "SimSun" || gbk_face == kNewSimSun) return kCjk;
    std::string utf8 = GbkToUtf8(gbk_face);
    if (QFontDatabase::hasFamily(QString::fromUtf8(utf8.c_str()))) return utf8;
    return kCjk;
}

}  // namespace kesu::platform::qt
