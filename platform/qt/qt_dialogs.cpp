#include "platform/qt/qt_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <condition_variable>
#include <mutex>

#include "platform/gbk.h"
#include "platform/qt/qt_loop.h"

namespace kesu::platform::qt {

namespace {

QString ToQ(const std::string& gbk) {
    return QString::fromUtf8(GbkToUtf8(gbk).c_str());
}

}  // namespace

QMessageBox::StandardButton ButtonFor(Answer a) {
    switch (a) {
        case Answer::Ok:
            return QMessageBox::Ok;
        case Answer::Cancel:
            return QMessageBox::Cancel;
        case Answer::Abort:
            return QMessageBox::Abort;
        case Answer::Retry:
            return QMessageBox::Retry;
        case Answer::Ignore:
            return QMessageBox::Ignore;
        case Answer::Yes:
            return QMessageBox::Yes;
        case Answer::No:
            return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

namespace {

// Qt reads the patterns of a filter from its parentheses, so the patterns go
// there, separated by blanks, and any parenthesised part of the description
// is left out. Both letter cases are offered: the classic dialogs match
// patterns without regard to case.
QString ToQtFilter(const FileFilter& f) {
    QString desc = ToQ(f.description);
    desc.remove(QRegularExpression(QStringLiteral("\\s*\\([^)]*\\)\\s*$")));
    QStringList patterns;
    for (const QString& p : ToQ(f.patterns).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        QString t = p.trimmed();
        patterns << t;
        if (t.toLower() != t) patterns << t.toLower();
        if (t.toUpper() != t) patterns << t.toUpper();
    }
    patterns.removeDuplicates();
    return desc + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

}  // namespace

// A dialog's outcome, handed from the UI thread to the thread that asked.
template <class T>
struct Outcome {
    std::mutex mu;
    std::condition_variable cv;
    bool ready = false;
    T value{};
    void Set(T v) {
        {
            std::lock_guard lock(mu);
            value = std::move(v);
            ready = true;
        }
        cv.notify_all();
    }
};

template <class T, class Open>
T QtDialogs::Ask(Open open, T if_closed) {
    auto outcome = std::make_shared<Outcome<T>>();
    if (loop_.IsUiThread()) {
        // On the UI thread the caller waits in a nested loop, with the dialog
        // modal to the whole program like the classic task-modal box.
        open(outcome, Qt::ApplicationModal);
        loop_.RunUntil([&] {
            std::lock_guard lock(outcome->mu);
            return outcome->ready;
        });
    } else {
        // A worker waits here; the dialog is not modal, so the main window
        // stays usable meanwhile.
        loop_.Post([open, outcome] { open(outcome, Qt::NonModal); });
        std::unique_lock lock(outcome->mu);
        while (!outcome->ready) {
            if (outcome->cv.wait_for(lock, std::chrono::milliseconds(200)) ==
                    std::cv_status::timeout &&
                loop_.Closed()) {
                return if_closed;
            }
        }
    }
    std::lock_guard lock(outcome->mu);
    return outcome->ready ? outcome->value : if_closed;
}

Answer QtDialogs::MessageBox(const MessageBoxRequest& request) {
    BoxLayout layout = DecodeBoxFlags(request.flags);
    auto open = [request, layout](std::shared_ptr<Outcome<Answer>> out,
                                  Qt::WindowModality modality) {
        auto* box = new QMessageBox();
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(modality);
        box->setWindowTitle(ToQ(request.caption));
        box->setText(ToQ(request.text));
        switch (layout.icon) {
            case BoxIcon::Error:
                box->setIcon(QMessageBox::Critical);
                break;
            case BoxIcon::Question:
                box->setIcon(QMessageBox::Question);
                break;
            case BoxIcon::Warning:
                box->setIcon(QMessageBox::Warning);
                break;
            case BoxIcon::Information:
                box->setIcon(QMessageBox::Information);
                break;
            case BoxIcon::None:
                break;
        }
        for (Answer a : layout.buttons) box->addButton(ButtonFor(a));
        box->setDefaultButton(ButtonFor(layout.default_button));
        box->setEscapeButton(box->button(ButtonFor(layout.escape_answer)));
        QObject::connect(box, &QMessageBox::finished, box, [box, out, layout](int) {
            Answer answer = layout.escape_answer;
            QAbstractButton* clicked = box->clickedButton();
            for (Answer a : layout.buttons) {
                if (clicked && clicked == box->button(ButtonFor(a))) answer = a;
            }
            out->Set(answer);
        });
        box->setProperty("kesu_dialog", true);
        box->show();
    };
    return Ask<Answer>(open, layout.escape_answer);
}

std::optional<std::string> QtDialogs::FileDialog(const FileDialogRequest& request) {
    auto open = [request](std::shared_ptr<Outcome<std::optional<std::string>>> out,
                          Qt::WindowModality modality) {
        auto* dlg = new QFileDialog();
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        dlg->setWindowModality(modality);
        dlg->setOption(QFileDialog::DontUseNativeDialog, true);
        dlg->setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        bool must_exist = !request.save && (request.flags & ofn::kFileMustExist);
        dlg->setFileMode(must_exist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dlg->setOption(QFileDialog::DontConfirmOverwrite, !(request.flags & ofn::kOverwritePrompt));
        if (!request.title.empty()) dlg->setWindowTitle(ToQ(request.title));
        if (!request.initial_dir.empty()) dlg->setDirectory(ToQ(request.initial_dir));
        if (!request.default_ext.empty()) dlg->setDefaultSuffix(ToQ(request.default_ext));
        QStringList filters;
        for (const FileFilter& f : request.filters) filters << ToQtFilter(f);
        if (!filters.isEmpty()) {
            dlg->setNameFilters(filters);
            int index = request.filter_index - 1;
            if (index < 0 || index >= filters.size()) index = 0;
            dlg->selectNameFilter(filters[index]);
        }
        if (!request.file_name.empty()) dlg->selectFile(ToQ(request.file_name));
        std::string ext = request.default_ext;
        QObject::connect(dlg, &QFileDialog::finished, dlg, [dlg, out, ext](int result) {
            QStringList files = dlg->selectedFiles();
            if (result != QDialog::Accepted || files.isEmpty()) {
                out->Set(std::nullopt);
                return;
            }
            out->Set(WithDefaultExtension(Utf8ToGbk(files.first().toStdString()), ext));
        });
        dlg->setProperty("kesu_dialog", true);
        dlg->show();
    };
    return Ask<std::optional<std::string>>(open, std::nullopt);
}

void QtSound::Beep() {
    // QApplication::beep must run on the UI thread.
    loop_.Post([] { QApplication::beep(); });
}

}  // namespace kesu::platform::qt
