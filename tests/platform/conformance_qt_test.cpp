// The behaviour suite over the Qt backend, offscreen. The driver acts on the
// widgets like a user: key clicks, button clicks, the combo box's popup, the
// window's close, moves and activation, and the buttons of the dialogs once
// they are up. The offscreen window system reports activation late, and once
// the active window was hidden it no longer activates that window again.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "platform/edit_text.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_platform.h"
#include "tests/platform/conformance.h"
#include "tests/platform/qt_user_input.h"
#include "tests/platform/qt_widgets.h"

namespace kesu::platform::testing {
namespace {

using qt::QtPlatform;
using qt::WidgetOf;

template <class T>
T* OpenDialog() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* t = qobject_cast<T*>(w);
        if (t && t->isVisible() && t->property("kesu_dialog").toBool()) return t;
    }
    return nullptr;
}

// Notes the first widget that takes a mouse press delivered by the window system.
class PressWatch final : public QObject {
  public:
    QPointer<QWidget> got;

  protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        // A disabled widget is handed the press too, but lets it pass to its parent untouched.
        // The receiver is looked at first: tasks that workers post to the loop's own receiver
        // are handed over when that receiver takes them, not before.
        if (!got && o->isWidgetType() && e->type() == QEvent::MouseButtonPress &&
            static_cast<QWidget*>(o)->isEnabled()) {
            got = static_cast<QWidget*>(o);
        }
        return false;
    }
};

class QtDriver final : public Driver {
  public:
    QtDriver() {
        // Answers are given by a poller on the UI thread once the dialog is up.
        poller_.setInterval(10);
        QObject::connect(&poller_, &QTimer::timeout, [this] { Poll(); });
        poller_.start();
    }
    ~QtDriver() override { poller_.stop(); }
    Platform& P() override { return p; }
    void Click(Control& c) override {
        kesu::testing::ClickCentreOf(WidgetOf(c));
        p.Loop().ProcessPending();
    }
    // Keys go to the window and reach the edit through the focus, at its caret.
    void Type(Edit& e, std::string_view gbk) override {
        UserFocus(e);
        kesu::testing::TypeToWindow(WidgetOf(e), EditText::Render(gbk, e.Style().multi_line));
        p.Loop().ProcessPending();
    }
    // The list is a popup window of its own; choosing a row in it is the combo box's own
    // reaction, so the row is chosen on the widget.
    void Pick(ComboBox& c, int index) override {
        auto* box = qobject_cast<QComboBox*>(WidgetOf(c));
        box->showPopup();
        box->setCurrentIndex(index);
        box->hidePopup();
        emit box->activated(index);
    }
    void TypeInto(ComboBox& c, std::string_view ascii) override {
        UserFocus(c);
        kesu::testing::TypeToWindow(WidgetOf(c), std::u16string(ascii.begin(), ascii.end()));
        p.Loop().ProcessPending();
    }
    void UserClose(Window& w) override { WidgetOf(w)->close(); }
    // The window system places the client area inside the frame.
    void UserMove(Window& w, int left, int top) override {
        const FrameInsets f = FrameFor(w.Style());
        QWidget* widget = WidgetOf(w);
        widget->setGeometry(QRect(QPoint(left + f.left, top + f.top), widget->size()));
    }
    void UserResize(Window& w, int width, int height) override {
        const FrameInsets f = FrameFor(w.Style());
        QWidget* widget = WidgetOf(w);
        widget->setGeometry(QRect(widget->geometry().topLeft(),
                                  QSize(width - f.left - f.right, height - f.top - f.bottom)));
    }
    void UserActivate(Window& w) override { ActivateAndWait(WidgetOf(w)); }
    void UserDeactivate(Window&) override {
        // Another program's window takes the activation.
        if (!elsewhere_) {
            elsewhere_ = std::make_unique<QWidget>();
            elsewhere_->setGeometry(600, 400, 100, 80);
        }
        elsewhere_->show();
        ActivateAndWait(elsewhere_.get());
    }
    Cursor CursorOf(Control& c) override { return qt::CursorShownBy(WidgetOf(c)); }
    void UserFocus(Control& c) override {
        QWidget* w = WidgetOf(c);
        // Focus goes only into the active window.
        ActivateAndWait(w->window());
        if (auto* box = qobject_cast<QComboBox*>(w); box && box->lineEdit()) w = box->lineEdit();
        w->setFocus(Qt::MouseFocusReason);
    }
    void Wait(std::uint64_t ms) override {
        bool done = false;
        int owner = 0;
        p.Loop().SetTimer(&owner, static_cast<std::uint32_t>(ms), [&] { done = true; });
        p.Loop().RunUntil([&] { return done; });
        p.Loop().KillTimer(&owner);
    }
    void AnswerBox(Answer a) override { boxes_.push_back(a); }
    void AnswerFile(std::optional<std::string> path) override { files_.push_back(std::move(path)); }
    void AnswerFont(std::optional<FontPick> pick) override { fonts_.push_back(std::move(pick)); }
    int TickSlack() const override { return 1; }
    bool ClickReaches(Window& w, int x, int y, Control& target) override {
        QWidget* top = WidgetOf(w);
        ActivateAndWait(top);
        // The widget the window system hands the press to is what the click reached.
        PressWatch watch;
        qApp->installEventFilter(&watch);
        QTest::mouseClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
        qApp->removeEventFilter(&watch);
        p.Loop().ProcessPending();
        // A list the click opened is closed the way a user would.
        if (QWidget* popup = QApplication::activePopupWidget()) {
            QTest::keyClick(popup->windowHandle(), Qt::Key_Escape);
            p.Loop().ProcessPending();
        }
        QWidget* want = WidgetOf(target);
        return watch.got && want && (watch.got == want || want->isAncestorOf(watch.got));
    }
    void Tab(Window& w) override {
        QTest::keyClick(WidgetOf(w)->windowHandle(), Qt::Key_Tab);
        p.Loop().ProcessPending();
    }

    QtPlatform p;

  private:
    // Activation is asynchronous: the window system reports it when it is done.
    void ActivateAndWait(QWidget* window) {
        kesu::testing::ActivateAndWait(window);
        p.Loop().ProcessPending();
    }
    std::unique_ptr<QWidget> elsewhere_;
    // An answer is used up only once its dialog has closed: a dialog still
    // setting itself up gets the same answer again at the next poll.
    // The dialogs are answered by their buttons directly: these scripted answers stand in for
    // the user of the dialog, which is not what the suite tests (the desktop suite answers
    // real dialogs by keys through the X server).
    void Poll() {
        if (!boxes_.empty()) {
            if (auto* box = OpenDialog<QMessageBox>()) {
                if (QAbstractButton* b = box->button(qt::ButtonFor(boxes_.front()))) b->click();
                if (!box->isVisible()) boxes_.erase(boxes_.begin());
            }
        }
        if (!files_.empty()) {
            if (auto* dlg = OpenDialog<QFileDialog>()) {
                const std::optional<std::string>& f = files_.front();
                if (f) {
                    // Like a user: go to the folder, type the name, confirm.
                    QFileInfo info(QString::fromUtf8(f->c_str()));
                    if (dlg->directory().absolutePath() != info.absolutePath()) {
                        dlg->setDirectory(info.absolutePath());
                    }
                    if (auto* name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                        name->setText(info.fileName());
                    }
                    QMetaObject::invokeMethod(dlg, "accept");
                } else {
                    dlg->reject();
                }
                if (!dlg->isVisible()) files_.erase(files_.begin());
            }
        }
        if (!fonts_.empty()) {
            if (auto* dlg = OpenFontDialog()) {
                const std::optional<FontPick>& f = fonts_.front();
                if (f) {
                    // Like a user: pick the face, type the size, tick the
                    // boxes, choose the colour, confirm.
                    dlg->findChild<QFontComboBox*>(QStringLiteral("face"))
                        ->setCurrentFont(QFont(QString::fromStdString(f->font.face)));
                    dlg->findChild<QSpinBox*>(QStringLiteral("size"))
                        ->setValue(static_cast<int>(std::lround(-f->font.height * 72.0 / 96.0)));
                    auto tick = [&](const char* name, bool on) {
                        dlg->findChild<QCheckBox*>(QString::fromLatin1(name))->setChecked(on);
                    };
                    tick("bold", f->font.weight >= 700);
                    tick("italic", f->font.italic);
                    tick("underline", f->font.underline);
                    tick("strike_out", f->font.strike_out);
                    auto* colour = dlg->findChild<QComboBox*>(QStringLiteral("colour"));
                    colour->setCurrentIndex(colour->findData(f->colour));
                    dlg->accept();
                } else {
                    dlg->reject();
                }
                if (!dlg->isVisible()) fonts_.erase(fonts_.begin());
            }
        }
    }
    static QDialog* OpenFontDialog() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->objectName() == QStringLiteral("kesu_font_dialog")) {
                return qobject_cast<QDialog*>(w);
            }
        }
        return nullptr;
    }
    QTimer poller_;
    std::vector<Answer> boxes_;
    std::vector<std::optional<std::string>> files_;
    std::vector<std::optional<FontPick>> fonts_;
};

std::unique_ptr<Driver> MakeQt() {
    return std::make_unique<QtDriver>();
}

INSTANTIATE_TEST_SUITE_P(Qt, Conformance, ::testing::Values(&MakeQt));

}  // namespace
}  // namespace kesu::platform::testing
