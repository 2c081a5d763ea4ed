// kesu: the serial assistant on the desktop.
#include "app/program.h"

int main() {
    kesu::app::InstallAssistant();
    return kesu::app::RunAssistant();
}
