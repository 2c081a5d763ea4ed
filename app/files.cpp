// Text files, text compare and clearing of the two big boxes.
#include "app/commands.h"
#include "app/handlers.h"
#include "app/state.h"
#include "app/window_units.h"

namespace kesu::app {

namespace {

constexpr uint32_t kBlue = 0x00FF0000;
constexpr uint32_t kRed = 0x000000FF;
constexpr int32_t kModeWriteCreate = 4;
constexpr int32_t kModeRead = 1;
constexpr int32_t kErrorIcon = 0x10;
constexpr int32_t kLoadLimit = 200000;

}  // namespace

void SaveReceiveText() {
    kFileDialog.SetDialogType(1);
    {
        OwnedText now = DateTimeToText(Now());
        kFileDialog.SetFileName(now.c_str());
    }
    kFileDialog.SetTitle("请输入要保存的文件名：");
    kFileDialog.SetDefaultExt("TXT");
    kFileDialog.SetFilter("文本文件(*.TXT)|*.TXT|所有文件(*.*)|*.*");
    {
        OwnedText dir = GetRunDirectory();
        kFileDialog.SetInitialDir(dir.c_str());
    }
    if (!kFileDialog.OpenDialog()) return;
    OwnedText name = kFileDialog.FileName();
    const int32_t f = OpenFile(name.c_str(), kModeWriteCreate);
    bool written = false;
    if (f != 0) {
        OwnedText content = kReceiveBox.Content();
        written = WriteText(f, content.c_str());
    }
    if (written) {
        CloseFile(f);
        InfoBox("文件保存成功！", 0);
    } else {
        if (f != 0) CloseFile(f);
        InfoBox("保存文件失败！", kErrorIcon, "..错误");
    }
}

void LoadSendText() {
    kFileDialog.SetTitle("请选择要打开的文件：");
    kFileDialog.SetDialogType(0);
    kFileDialog.SetFilter("文本文件(*.TXT,*.INI)|*.TXT;*.INI|所有文件(*.*)|*.*");
    {
        OwnedText dir = GetRunDirectory();
        kFileDialog.SetInitialDir(dir.c_str());
    }
    if (!kFileDialog.OpenDialog()) return;
    OwnedText name = kFileDialog.FileName();
    const int32_t f = OpenFile(name.c_str(), kModeRead);
    if (f != 0) {
        OwnedText text = ReadText(f, kLoadLimit);
        kSendBox.SetContent(text.c_str());
        CloseFile(f);
    } else {
        InfoBox("打开文件失败！", kErrorIcon, "错误");
    }
}

void OnSaveTextClicked() {
    StartWorker<SaveReceiveText>();
}

void OnLoadTextClicked() {
    StartWorker<LoadSendText>();
}

void OnCompareClicked() {
    OwnedText sendText = kSendBox.Content();
    OwnedText receiveText = kReceiveBox.Content();
    const int32_t r = CompareText(sendText.c_str(), receiveText.c_str(), true);
    kReceiveBox.SetTextColour(r == 0 ? kBlue : kRed);
}

void OnClearReceiveClicked() {
    kReceiveBox.SetContent("");
    kReceiveBox.SetTextColour(0);
}

void OnClearSendClicked() {
    kSendBox.SetContent("");
}

}  // namespace kesu::app
