#include "platform/qt/qt_dialogs.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFontComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>
#include <condition_variable>
#include <mutex>

#include "platform/gbk.h"
#include "platform/qt/qt_loop.h"
#include "platform/qt/qt_platform.h"

namespace kesu::platform::qt {

namespace {

QString ToQ(const std::string& gbk) {
    return QString::fromUtf8(GbkToUtf8(gbk).c_str());
}

// A path of the program (GBK with file-name escapes) as the dialog shows it:
// its file system bytes decoded as Qt decodes every name it lists.
QString PathToQ(const std::string& gbk) {
    std::string bytes = GbkToFsName(gbk);
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

// The file system bytes of a path the dialog answers. Qt decodes a name
// that is not UTF-8 lossily (each stray byte becomes U+FFFD), so a file picked
// whose name is not UTF-8 has no exact QString. Such a name is found again in
// its directory: a component that does not exist as encoded is matched against
// the entries decoded the same way, and a single match gives its bytes.
std::string PathBytes(const QString& path) {
    QByteArray encoded = QFile::encodeName(path);
    if (::access(encoded.constData(), F_OK) == 0) return encoded.toStdString();
    std::string out;
    const QStringList parts = path.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (i > 0) out += '/';
        std::string component = QFile::encodeName(part).toStdString();
        struct stat st;
        std::string candidate = out + component;
        if (part.isEmpty() || ::lstat(candidate.c_str(), &st) == 0) {
            out = candidate;
            continue;
        }
        std::string found;
        int matches = 0;
        if (DIR* dir = ::opendir(out.empty() ? "." : out.c_str())) {
            while (dirent* entry = ::readdir(dir)) {
                if (QFile::decodeName(entry->d_name) == part) {
                    found = entry->d_name;
                    ++matches;
                }
            }
            ::closedir(dir);
        }
        out += matches == 1 ? found : component;
    }
    return out;
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
        if (!request.initial_dir.empty()) dlg->setDirectory(PathToQ(request.initial_dir));
        if (!request.default_ext.empty()) dlg->setDefaultSuffix(ToQ(request.default_ext));
        QStringList filters;
        for (const FileFilter& f : request.filters) filters << ToQtFilter(f);
        if (!filters.isEmpty()) {
            dlg->setNameFilters(filters);
            int index = request.filter_index - 1;
            if (index < 0 || index >= filters.size()) index = 0;
            dlg->selectNameFilter(filters[index]);
        }
        if (!request.file_name.empty()) dlg->selectFile(PathToQ(request.file_name));
        std::string ext = request.default_ext;
        QObject::connect(dlg, &QFileDialog::finished, dlg, [dlg, out, ext](int result) {
            QStringList files = dlg->selectedFiles();
            if (result != QDialog::Accepted || files.isEmpty()) {
                out->Set(std::nullopt);
                return;
            }
            out->Set(WithDefaultExtension(FsNameToGbk(PathBytes(files.first())), ext));
        });
        dlg->setProperty("kesu_dialog", true);
        dlg->show();
    };
    return Ask<std::optional<std::string>>(open, std::nullopt);
}

namespace {

// Sizes are shown in points at this resolution.
constexpr double kDotsPerInch = 96.0;

// The sixteen classic colours the font dialog offers (0x00BBGGRR).
struct NamedColour {
    Colour colour;
    const char* name;  // UTF-8
};
constexpr NamedColour kFontColours[] = {
    {0x000000, "黑色"},   {0x000080, "栗色"},   {0x008000, "绿色"},   {0x008080, "橄榄色"},
    {0x800000, "藏青色"}, {0x800080, "紫色"},   {0x808000, "水鸭色"}, {0x808080, "灰色"},
    {0xC0C0C0, "银色"},   {0x0000FF, "红色"},   {0x00FF00, "酸橙色"}, {0x00FFFF, "黄色"},
    {0xFF0000, "蓝色"},   {0xFF00FF, "紫红色"}, {0xFFFF00, "水绿色"}, {0xFFFFFF, "白色"},
};

QColor ToQColour(Colour c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

QIcon Swatch(Colour c) {
    QPixmap pm(14, 14);
    pm.fill(ToQColour(c));
    return QIcon(pm);
}

// The font dialog: face, size in points, bold, italic, underline, strike-out
// and colour, with a sample drawn as chosen. Its parts carry object names so
// that tests can act on them like a user.
class FontPicker final : public QDialog {
  public:
    explicit FontPicker(const FontPick& initial) : initial_(initial) {
        setWindowTitle(QStringLiteral("字体"));
        setObjectName(QStringLiteral("kesu_font_dialog"));
        initial_family_ = QString::fromStdString(FamilyFor(initial.font.face));

        face_ = new QFontComboBox;
        face_->setObjectName(QStringLiteral("face"));
        face_->setCurrentFont(QFont(initial_family_));
        size_ = new QSpinBox;
        size_->setObjectName(QStringLiteral("size"));
        size_->setRange(1, 999);
        size_->setValue(InitialPoints(initial.font.height));
        bold_ = Check("bold", "粗体", initial.font.weight >= 700);
        italic_ = Check("italic", "斜体", initial.font.italic);
        underline_ = Check("underline", "下划线", initial.font.underline);
        strike_ = Check("strike_out", "删除线", initial.font.strike_out);
        colour_ = new QComboBox;
        colour_->setObjectName(QStringLiteral("colour"));
        for (const NamedColour& c : kFontColours) {
            colour_->addItem(Swatch(c.colour), QString::fromUtf8(c.name), c.colour);
        }
        int at = colour_->findData(initial.colour);
        if (at < 0) {
            // A colour of the program's own that is none of the sixteen.
            colour_->addItem(Swatch(initial.colour), QStringLiteral("自定义"), initial.colour);
            at = colour_->count() - 1;
        }
        colour_->setCurrentIndex(at);
        sample_ = new QLabel(QStringLiteral("字体示例 AaBbYyZz 123"));
        sample_->setAlignment(Qt::AlignCenter);
        sample_->setMinimumSize(280, 64);
        sample_->setFrameShape(QFrame::StyledPanel);

        auto* style = new QHBoxLayout;
        style->addWidget(bold_);
        style->addWidget(italic_);
        auto* effects = new QHBoxLayout;
        effects->addWidget(underline_);
        effects->addWidget(strike_);
        auto* form = new QFormLayout;
        form->addRow(QStringLiteral("字体(&F)："), face_);
        form->addRow(QStringLiteral("字号(&S)："), size_);
        form->addRow(QStringLiteral("字形："), style);
        form->addRow(QStringLiteral("效果："), effects);
        form->addRow(QStringLiteral("颜色(&C)："), colour_);
        auto* buttons = new QDialogButtonBox;
        buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
        buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(sample_);
        layout->addWidget(buttons);

        connect(face_, &QFontComboBox::currentFontChanged, this, [this] { ShowSample(); });
        connect(size_, &QSpinBox::valueChanged, this, [this] { ShowSample(); });
        for (QCheckBox* b : {bold_, italic_, underline_, strike_}) {
            connect(b, &QCheckBox::toggled, this, [this] { ShowSample(); });
        }
        connect(colour_, &QComboBox::currentIndexChanged, this, [this] { ShowSample(); });
        ShowSample();
    }

    FontPick Picked() const {
        FontPick p = initial_;
        // The face the program gave stays as it was when the user kept the
        // family it is shown with, so 宋体 does not come back as the face
        // that stands in for it.
        QString family = face_->currentFont().family();
        if (family != initial_family_) p.font.face = Utf8ToGbk(family.toStdString());
        p.font.height = -static_cast<int>(std::lround(size_->value() * kDotsPerInch / 72.0));
        if (bold_->isChecked()) {
            p.font.weight = std::max(p.font.weight, 700);
        } else if (p.font.weight >= 700) {
            p.font.weight = 400;
        }
        p.font.italic = italic_->isChecked();
        p.font.underline = underline_->isChecked();
        p.font.strike_out = strike_->isChecked();
        p.colour = colour_->currentData().toUInt();
        return p;
    }

  private:
    QCheckBox* Check(const char* name, const char* text, bool on) {
        auto* b = new QCheckBox(QString::fromUtf8(text));
        b->setObjectName(QString::fromLatin1(name));
        b->setChecked(on);
        return b;
    }
    // A character height in pixels (negative), a cell height (positive, of
    // which the character takes four fifths) or the default size (0).
    static int InitialPoints(int height) {
        double px = height < 0 ? -height : height * 4.0 / 5.0;
        if (height == 0) {
            QFont f = QApplication::font();
            if (f.pointSizeF() > 0) return static_cast<int>(std::lround(f.pointSizeF()));
            px = f.pixelSize();
        }
        return std::max(1, static_cast<int>(std::lround(px * 72.0 / kDotsPerInch)));
    }
    void ShowSample() {
        QFont f(face_->currentFont().family());
        f.setPixelSize(
            std::max(1, static_cast<int>(std::lround(size_->value() * kDotsPerInch / 72.0))));
        f.setBold(bold_->isChecked());
        f.setItalic(italic_->isChecked());
        f.setUnderline(underline_->isChecked());
        f.setStrikeOut(strike_->isChecked());
        sample_->setFont(f);
        QPalette pal = sample_->palette();
        pal.setColor(QPalette::WindowText, ToQColour(colour_->currentData().toUInt()));
        sample_->setPalette(pal);
    }

    FontPick initial_;
    QString initial_family_;
    QFontComboBox* face_;
    QSpinBox* size_;
    QCheckBox* bold_;
    QCheckBox* italic_;
    QCheckBox* underline_;
    QCheckBox* strike_;
    QComboBox* colour_;
    QLabel* sample_;
};

}  // namespace

std::optional<FontPick> QtDialogs::FontDialog(const FontPick& initial) {
    auto open = [initial](std::shared_ptr<Outcome<std::optional<FontPick>>> out,
                          Qt::WindowModality modality) {
        auto* dlg = new FontPicker(initial);
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        dlg->setWindowModality(modality);
        QObject::connect(dlg, &QDialog::finished, dlg, [dlg, out](int result) {
            if (result == QDialog::Accepted) {
                out->Set(dlg->Picked());
            } else {
                out->Set(std::nullopt);
            }
        });
        dlg->setProperty("kesu_dialog", true);
        dlg->show();
    };
    return Ask<std::optional<FontPick>>(open, std::nullopt);
}

}  // namespace kesu::platform::qt
