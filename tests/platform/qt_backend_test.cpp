// What only the Qt backend has: widgets that show the bytes one to one, fonts
// mapped onto installed faces, and user edits corrected where the box's rules
// change them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QDialog>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QWindow>
#include <random>

#include "platform/gbk.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_text_view.h"
#include "platform/qt/row_positions.h"
#include "tests/platform/qt_widgets.h"

namespace kesu::platform::qt {
namespace {

class QtBackend : public ::testing::Test {
  protected:
    void SetUp() override {
        window = p.UserInterface().CreateWindow();
        window->SetGeometry({0, 0, 300, 200});
        window->Show(WindowShow::Normal);
    }
    void TearDown() override { window.reset(); }
    // A key goes to the window and from there to the widget with the focus.
    void Key(QWidget* w, QChar ch) {
        w->setFocus();
        QTest::sendKeyEvent(QTest::Click, w->window()->windowHandle(), Qt::Key_unknown, QString(ch),
                            Qt::NoModifier);
        p.Loop().ProcessPending();  // as between two keys of a real user
    }
    void Key(QWidget* w, Qt::Key key, Qt::KeyboardModifiers m = Qt::NoModifier) {
        w->setFocus();
        QTest::keyClick(w->window()->windowHandle(), key, m);
        p.Loop().ProcessPending();
    }
    QtPlatform p;
    std::unique_ptr<Window> window;
};

// The compact row table against a plain one: short and long steps (some beyond four bytes),
// blocks filled and cut back across their edges, and every lookup in between.
TEST(RowPositions, HoldAndFindWhatAPlainTableWould) {
    std::mt19937_64 rng(7);
    RowPositions compact;
    std::vector<std::size_t> plain{0};
    for (int round = 0; round < 60; ++round) {
        const int adds = static_cast<int>(rng() % 3000);
        for (int i = 0; i < adds; ++i) {
            const std::uint64_t kind = rng() % 100;
            const std::size_t step = kind == 0  ? (std::size_t{5} << 30) + rng() % 1000
                                     : kind < 3 ? 0
                                                : 1 + rng() % 120;
            plain.push_back(plain.back() + step);
            compact.push_back(plain.back());
        }
        const std::size_t keep = 1 + rng() % plain.size();
        if (rng() % 2) {
            plain.resize(keep);
            compact.resize(keep);
        }
        ASSERT_EQ(compact.size(), plain.size());
        ASSERT_EQ(compact.back(), plain.back());
        for (int probe = 0; probe < 200; ++probe) {
            const std::size_t i = rng() % plain.size();
            ASSERT_EQ(compact[i], plain[i]);
            const std::size_t p = plain[i] + rng() % 3;
            const auto want = static_cast<std::size_t>(
                std::upper_bound(plain.begin(), plain.end(), p) - plain.begin() - 1);
            ASSERT_EQ(compact.LastAtOrBefore(p), want) << p;
        }
    }
}

TEST_F(QtBackend, TheWidgetShowsEveryByteAsOneCharacter) {
    auto e = p.UserInterface().CreateEdit(window.get(), EditStyle{.multi_line = true});
    e->SetGeometry({0, 0, 280, 150});
    e->SetText("a\rb\nc\r\nd" + Gbk("口") + "\xFF");
    auto* w = dynamic_cast<TextView*>(WidgetOf(*e));
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->RowCount(), 2u);
    EXPECT_EQ(w->ShownRow(0), QStringLiteral("a\u240Db\u240Ac"));
    EXPECT_EQ(w->ShownRow(1), QStringLiteral("d口") + QChar(0xF7FF));
    e->Append("\r");
    e->Append("\n");
    EXPECT_EQ(w->RowCount(), 3u);
    EXPECT_EQ(w->ShownRow(1).right(1), QString(QChar(0xF7FF)));
    EXPECT_EQ(w->ShownRow(2), QString());
}

// Rows are painted exactly as the toolkit draws the same text: kerned pairs and blanks in plain
// ASCII rows, and rows of other characters, a tab or a stand-in, with the selection over them.
TEST_F(QtBackend, TheBoxPaintsItsRowsAsTheToolkitDrawsText) {
    auto e = p.UserInterface().CreateEdit(window.get(), EditStyle{.multi_line = true});
    e->SetGeometry({0, 0, 290, 150});
    e->SetFont(Font{.face = Gbk("宋体"), .height = -12});  // as the receive box has it
    e->SetVisible(true);
    e->SetText("AVAWAT To Yo Vo LT PA fi ffi y. r,\r\n7E 0A 41 20 \r\n" + Gbk("中文 ok") +
               "\tTAB\r\nlone\rcr\r\n{x}=[\"a\"|~]\r\n");
    e->SetSelection(3, 20);
    p.Loop().ProcessPending();
    auto* w = dynamic_cast<TextView*>(WidgetOf(*e));
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->RowCount(), 6u);
    const QImage shown = w->viewport()->grab().toImage();

    QImage want(shown.size(), shown.format());
    want.setDevicePixelRatio(shown.devicePixelRatio());
    QPainter painter(&want);
    const QPalette& pal = w->palette();
    painter.fillRect(want.rect(), pal.base());
    painter.setFont(w->font());
    const QFontMetricsF fm(w->font());
    const int line = QFontMetrics(w->font()).lineSpacing();
    for (std::size_t r = 0; r < w->RowCount(); ++r) {
        const QString row = w->ShownRow(r);
        const QPointF at(4, 4 + static_cast<int>(r) * line + fm.ascent());
        painter.setPen(pal.color(QPalette::Text));
        painter.drawText(at, row);
        if (r == 0) {  // view characters 3 to 20 are selected
            const double a = fm.horizontalAdvance(row.left(3)),
                         b = fm.horizontalAdvance(row.left(20));
            const QRectF band(4 + a, 4, b - a, line);
            painter.fillRect(band, pal.brush(QPalette::Highlight));
            painter.save();
            painter.setClipRect(band);
            painter.setPen(pal.color(QPalette::HighlightedText));
            painter.drawText(at, row);
            painter.restore();
            if (w->hasFocus()) {  // and the caret stands at its end
                painter.setPen(pal.color(QPalette::Text));
                painter.drawLine(QPointF(4 + b, 4), QPointF(4 + b, 4 + line - 1));
            }
        }
    }
    painter.end();
    EXPECT_EQ(shown, want);
}

// A paragraph longer than the box is wide is shown in rows that break after a blank where
// there is one; the rows are only in the view, and the scroll bar spans all of them.
TEST_F(QtBackend, ALongParagraphWrapsInTheViewAndTheRowsNeverReachTheBytes) {
    auto e = p.UserInterface().CreateEdit(window.get(), EditStyle{.multi_line = true});
    e->SetGeometry({0, 0, 280, 150});
    e->SetVisible(true);
    auto* w = dynamic_cast<TextView*>(WidgetOf(*e));
    ASSERT_NE(w, nullptr);
    // Hex without a line break, then letters, as a device might send them.
    std::string hex;
    for (int i = 0; i < 12000; ++i) hex += "A5 ";
    std::string all = hex;
    for (int i = 0; i < 10; ++i) {
        std::string piece(3000, static_cast<char>('a' + i));
        e->Append(piece);
        all += piece;
    }
    e->SetSelection(0, 0);
    e->ReplaceSelection(hex);
    all = hex + all.substr(hex.size());
    ASSERT_EQ(e->Text(), all);

    const std::size_t rows = w->RowCount();
    ASSERT_GT(rows, 100u);
    QString shown;
    const QFontMetricsF fm(w->font());
    for (std::size_t r = 0; r < rows; ++r) {
        const QString row = w->ShownRow(r);
        ASSERT_LE(fm.horizontalAdvance(row), w->viewport()->width()) << r;
        if (r > 0 && row.startsWith(QChar(u'A'))) {
            EXPECT_TRUE(row.startsWith(QStringLiteral("A5"))) << r;  // hex breaks between bytes
        }
        shown += row;
    }
    EXPECT_EQ(shown.size(), static_cast<qsizetype>(all.size()));
    // The caret went to the end of the insertion, and the view followed it; the scroll bar
    // reaches the last row.
    EXPECT_EQ(w->verticalScrollBar()->maximum() + w->verticalScrollBar()->pageStep(),
              static_cast<int>(rows));

    // The user types far down: the byte lands where the caret stands. Backspace and Delete at
    // the edge of a row take the characters on either side, as over any other place.
    const std::size_t at = hex.size() + 3 * 3000 + 5;
    e->SetSelection(at, at);
    Key(w, QChar(u'#'));
    all.insert(at, "#");
    EXPECT_EQ(e->Text(), all);
    EXPECT_EQ(e->Selection(), (std::pair<std::size_t, std::size_t>{at + 1, at + 1}));
    const std::size_t split = static_cast<std::size_t>(w->ShownRow(0).size());
    e->SetSelection(split, split);
    Key(w, Qt::Key_Backspace);
    all.erase(split - 1, 1);
    EXPECT_EQ(e->Text(), all);
    Key(w, Qt::Key_Delete);
    all.erase(split - 1, 1);
    EXPECT_EQ(e->Text(), all);

    // What is copied is the text without the view's rows.
    e->SetSelection(0, all.size());
    Key(w, Qt::Key_C, Qt::ControlModifier);
    QString copied = QApplication::clipboard()->text();
    EXPECT_FALSE(copied.contains(QChar(u'\n')));
    EXPECT_EQ(copied.size(), static_cast<qsizetype>(all.size()));
}

TEST_F(QtBackend, UserTypingIsCorrectedToTheBoxRules) {
    auto e = p.UserInterface().CreateEdit(
        window.get(), EditStyle{.multi_line = true, .letter_case = LetterCase::Upper});
    e->SetVisible(true);
    e->SetGeometry({0, 0, 280, 150});
    auto* w = dynamic_cast<TextView*>(WidgetOf(*e));
    Key(w, QChar(u'q'));
    Key(w, QChar(u'x'));
    EXPECT_EQ(e->Text(), "QX");
    EXPECT_EQ(w->ShownRow(0), QStringLiteral("QX"));  // not what the keys said
    e->SetLimit(3);
    Key(w, QChar(u'y'));
    Key(w, QChar(u'z'));
    EXPECT_EQ(e->Text(), "QXY");
    EXPECT_EQ(w->ShownRow(0), QStringLiteral("QXY"));

    auto line = p.UserInterface().CreateEdit(window.get(), EditStyle{});
    line->SetVisible(true);
    line->SetInputFilter([](std::string_view ch) { return ch != "-"; });
    auto* lw = qobject_cast<QLineEdit*>(WidgetOf(*line));
    for (QChar c : QStringLiteral("1-2")) Key(lw, c);
    EXPECT_EQ(line->Text(), "12");
    EXPECT_EQ(lw->text(), QStringLiteral("12"));
}

// A user at the window: a click at a point of it, keys to it, the clipboard.
class QtUserInput : public QtBackend {
  protected:
    void SetUp() override {
        QtBackend::SetUp();
        QWidget* top = WidgetOf(*window);
        top->activateWindow();
        for (int i = 0; i < 500 && QApplication::activeWindow() != top; ++i) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
    QWindow* Win() { return WidgetOf(*window)->windowHandle(); }
    void ClickInto(Control& c) {
        QWidget* w = WidgetOf(c);
        QTest::mouseClick(Win(), Qt::LeftButton, Qt::NoModifier,
                          w->mapTo(w->window(), w->rect().center()));
        p.Loop().ProcessPending();
    }
    void Press(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(Win(), k, m);
        p.Loop().ProcessPending();
    }
    void Type(const char* ascii) {
        for (; *ascii; ++ascii) {
            QTest::keyClick(Win(), *ascii);
            p.Loop().ProcessPending();
        }
    }
    std::unique_ptr<Edit> Box(bool multi_line, Rect where) {
        auto e = p.UserInterface().CreateEdit(window.get(), EditStyle{.multi_line = multi_line});
        e->SetGeometry(where);
        e->SetVisible(true);
        e->SetNotifyHandler([this](Notify n) { changes += n == Notify::TextChanged; });
        return e;
    }
    int changes = 0;
};

// Deleting and typing over a selection change the bytes by what they take
// away, in single-line and multi-line boxes alike.
TEST_F(QtUserInput, DeletionsAndOvertypingChangeTheBytesAsShown) {
    for (bool multi : {false, true}) {
        auto e = Box(multi, {10, 10, 200, multi ? 80 : 25});
        e->SetText("1000");
        ClickInto(*e);
        Press(Qt::Key_A, Qt::ControlModifier);
        Press(Qt::Key_Backspace);
        Type("200");
        EXPECT_EQ(e->Text(), "200") << multi;
        Press(Qt::Key_End);
        Press(Qt::Key_Backspace);
        EXPECT_EQ(e->Text(), "20") << multi;
        Press(Qt::Key_Home);
        Press(Qt::Key_Right, Qt::ShiftModifier);
        Type("95");
        EXPECT_EQ(e->Text(), "950") << multi;
        // The box shows what it holds.
        e->SetSelection(0, 0);
        Type("-");
        EXPECT_EQ(e->Text(), "-950") << multi;
    }
}

// A paste, an undo and a cut change the content exactly as typing does and
// report it; what is copied is the bytes' text, never the stand-ins shown
// for a lone line feed or carriage return.
TEST_F(QtUserInput, PasteUndoAndCopyGoThroughTheBytes) {
    QClipboard* clip = QApplication::clipboard();
    for (bool multi : {true, false}) {
        auto e = Box(multi, {10, 10, 200, multi ? 80 : 25});
        e->SetText("");
        ClickInto(*e);
        changes = 0;
        clip->setText(QStringLiteral("HELLO1234"));
        Press(Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(e->Text(), "HELLO1234") << multi;
        EXPECT_GE(changes, 1) << multi;
        clip->setText(QStringLiteral("AB"));
        Press(Qt::Key_A, Qt::ControlModifier);
        Press(Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(e->Text(), "AB") << multi;
        Type("C");
        EXPECT_EQ(e->Text(), "ABC") << multi;
        if (auto* line = qobject_cast<QLineEdit*>(WidgetOf(*e))) {
            // A line edit keeps an undo history; what it undoes goes from the bytes too.
            Press(Qt::Key_Z, Qt::ControlModifier);
            EXPECT_EQ(e->Text(), "AB");
            EXPECT_EQ(line->text(), QStringLiteral("AB"));
        }

        e->SetText("a\nb\rc\r\nd");
        ClickInto(*e);
        Press(Qt::Key_A, Qt::ControlModifier);
        Press(Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(clip->text(), QStringLiteral("a\nb\rc\r\nd")) << multi;
        changes = 0;
        Press(Qt::Key_X, Qt::ControlModifier);
        EXPECT_EQ(e->Text(), "") << multi;
        EXPECT_GE(changes, 1) << multi;
    }
}

TEST_F(QtBackend, TheFontDialogKeepsTheProgramsFaceUnlessAnotherIsPicked) {
    FontPick start;
    start.font.face = Gbk("宋体");
    start.font.height = -12;
    start.colour = 0x123456;  // none of the sixteen offered
    // Answered from inside the dialog's loop: the size alone, then another face.
    auto answer = [](std::function<void(QDialog&)> act) {
        QTimer::singleShot(0, [act] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->isVisible() && w->objectName() == QStringLiteral("kesu_font_dialog")) {
                    act(*qobject_cast<QDialog*>(w));
                }
            }
        });
    };
    answer([](QDialog& d) {
        EXPECT_EQ(d.findChild<QSpinBox*>(QStringLiteral("size"))->value(), 9);
        d.findChild<QSpinBox*>(QStringLiteral("size"))->setValue(12);
        d.accept();
    });
    std::optional<FontPick> got = p.Dialog().FontDialog(start);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->font.face, start.font.face);
    EXPECT_EQ(got->font.height, -16);
    EXPECT_EQ(got->colour, 0x123456u);

    QString other;
    QString picked;
    for (const QString& f : QFontDatabase::families()) {
        if (f != QStringLiteral("WenQuanYi Micro Hei") && !f.contains(QChar(u'['))) other = f;
    }
    if (other.isEmpty()) GTEST_SKIP() << "only one font family is installed";
    answer([other, &picked](QDialog& d) {
        auto* face = d.findChild<QFontComboBox*>(QStringLiteral("face"));
        face->setCurrentFont(QFont(other));
        picked = face->currentFont().family();
        d.accept();
    });
    got = p.Dialog().FontDialog(start);
    ASSERT_TRUE(got.has_value());
    ASSERT_NE(picked, QStringLiteral("WenQuanYi Micro Hei"));
    EXPECT_EQ(got->font.face, Utf8ToGbk(picked.toStdString()));
}

// A PNG of one colour.
QByteArray SolidPng(QColor colour, int size) {
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(colour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return png;
}

TEST_F(QtBackend, AReadablePictureTakesTheCaptionsPlace) {
    const QByteArray png = SolidPng(Qt::red, 16);
    auto b = p.UserInterface().CreateButton(window.get());
    b->SetText(Gbk("发送"));
    b->SetGeometry({10, 10, 80, 30});
    b->SetVisible(true);
    auto* w = qobject_cast<QPushButton*>(WidgetOf(*b));
    b->SetPicture(png.toStdString());
    EXPECT_TRUE(w->text().isEmpty());
    EXPECT_EQ(w->iconSize(), QSize(16, 16));
    EXPECT_EQ(b->Text(), Gbk("发送"));
    p.Loop().ProcessPending();
    QImage shot = w->grab().toImage();
    EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() / 2), QColor(Qt::red));
    // Bytes the toolkit cannot read leave the caption.
    b->SetPicture("BM not a bitmap");
    EXPECT_EQ(w->text(), QStringLiteral("发送"));
    EXPECT_TRUE(w->icon().isNull());
}

TEST_F(QtBackend, APushLikeCheckBoxLooksAndClicksLikeAButton) {
    auto box = p.UserInterface().CreateCheckBox(window.get());
    box->SetText("DTR");
    box->SetGeometry({10, 10, 120, 30});
    box->SetVisible(true);
    QWidget* w = WidgetOf(*box);
    p.Loop().ProcessPending();
    const QImage plain = w->grab().toImage();
    box->SetCheckStyle(CheckStyle{.push_like = true});
    const QImage up = w->grab().toImage();
    box->SetChecked(true);
    const QImage down = w->grab().toImage();
    EXPECT_NE(plain, up);
    EXPECT_NE(up, down);
    // A click far from the caption still pushes it. The click goes to the box itself: what is
    // tested is how far the box's own pressable area reaches, not where the window sends it.
    int clicks = 0;
    box->SetNotifyHandler([&](Notify n) { clicks += n == Notify::Clicked; });
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(115, 15));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(box->IsChecked());
    box->SetCheckStyle(CheckStyle{});
    EXPECT_EQ(w->grab().toImage(), plain);
}

TEST_F(QtBackend, AWindowsPictureLiesOverItsBackColourAsLaidOut) {
    window->SetBackColour(0x00FF00);  // green
    window->SetGeometry({0, 0, 300, 200});
    const std::string red = SolidPng(Qt::red, 20).toStdString();
    auto shot = [&] {
        p.Loop().ProcessPending();
        return WidgetOf(*window)->grab().toImage();
    };
    window->SetBackPicture(red, PictureLayout::Centred);
    QImage img = shot();
    const QPoint mid(img.width() / 2, img.height() / 2);
    EXPECT_EQ(img.pixelColor(mid), QColor(Qt::red));
    EXPECT_EQ(img.pixelColor(2, 2), QColor(Qt::green));
    window->SetBackPicture(red, PictureLayout::TopLeft);
    img = shot();
    EXPECT_EQ(img.pixelColor(2, 2), QColor(Qt::red));
    EXPECT_EQ(img.pixelColor(mid), QColor(Qt::green));
    window->SetBackPicture(red, PictureLayout::Stretched);
    img = shot();
    EXPECT_EQ(img.pixelColor(img.width() - 2, img.height() - 2), QColor(Qt::red));
    // Unreadable bytes show the colour alone; the icon takes a readable picture only.
    window->SetBackPicture("not a picture", PictureLayout::Stretched);
    EXPECT_EQ(shot().pixelColor(mid), QColor(Qt::green));
    window->SetIcon(red);
    EXPECT_FALSE(WidgetOf(*window)->windowIcon().isNull());
    window->SetIcon("junk");
    EXPECT_EQ(window->Icon(), "junk");
}

TEST_F(QtBackend, WindowsFacesMapOntoInstalledFonts) {
    EXPECT_EQ(FamilyFor(Gbk("宋体")), "WenQuanYi Micro Hei");
    EXPECT_EQ(FamilyFor("System"), QApplication::font().family().toStdString());
    EXPECT_EQ(FamilyFor("No Such Face Anywhere"), "WenQuanYi Micro Hei");
    auto b = p.UserInterface().CreateButton(window.get());
    b->SetFont(Font{.face = "System", .height = -13, .weight = 700});
    QFont f = WidgetOf(*b)->font();
    EXPECT_TRUE(f.bold());
    EXPECT_EQ(f.pixelSize(), 13);
    EXPECT_GT(p.UserInterface().TextHeight(Font{.face = Gbk("宋体"), .height = -16}, Gbk("吴")),
              10);
}

TEST_F(QtBackend, ATextColourIsTheEnabledLookOnly) {
    auto box = p.UserInterface().CreateCheckBox(window.get());
    box->SetTextColour(0x00FF0090);  // 0x00BBGGRR
    QWidget* w = WidgetOf(*box);
    const QColor custom(0x90, 0x00, 0xFF);
    EXPECT_EQ(w->palette().color(QPalette::Active, QPalette::WindowText), custom);
    EXPECT_EQ(w->palette().color(QPalette::Active, QPalette::ButtonText), custom);
    // Disabled, it greys like any control the user cannot use.
    EXPECT_NE(w->palette().color(QPalette::Disabled, QPalette::WindowText), custom);
    EXPECT_NE(w->palette().color(QPalette::Disabled, QPalette::ButtonText), custom);
}

TEST_F(QtBackend, OnlyTheProgramEndsItsLoops) {
    // Neither the toolkit's own exit nor the last window going away ends a
    // loop of the program.
    bool done = false;
    p.Loop().Post([] { QCoreApplication::exit(5); });
    p.Loop().Post([&] { window.reset(); });
    p.Loop().Post([&] { p.Loop().Post([&] { done = true; }); });
    EXPECT_TRUE(p.Loop().RunUntil([&] { return done; }));
    p.Loop().Post([&] { p.Loop().Quit(2); });
    EXPECT_EQ(p.Loop().Run(), 2);
}

}  // namespace
}  // namespace kesu::platform::qt
