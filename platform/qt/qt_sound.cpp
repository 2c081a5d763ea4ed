#include <canberra.h>

#include <QApplication>

#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_loop.h"

namespace kesu::platform::qt {

QtSound::QtSound(QtLoop& loop) : loop_(loop) {}

QtSound::~QtSound() {
    if (context_) ca_context_destroy(static_cast<ca_context*>(context_));
}

void QtSound::Beep() {
    // Both ways of sounding run on the UI thread: the context is used by one
    // thread only, and QApplication::beep must run there. Playing returns at
    // once; the sound goes on without us.
    loop_.Post([this] {
        if (!context_) {
            ca_context* c = nullptr;
            if (ca_context_create(&c) == CA_SUCCESS) {
                ca_context_change_props(c, CA_PROP_APPLICATION_NAME, "kesu", CA_PROP_APPLICATION_ID,
                                        "kesu", nullptr);
                context_ = c;
            }
        }
        int played = context_ ? ca_context_play(static_cast<ca_context*>(context_), 0,
                                                CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION,
                                                "Trigger matched", nullptr)
                              : CA_ERROR_NOTAVAILABLE;
        if (played != CA_SUCCESS) QApplication::beep();
    });
}

}  // namespace kesu::platform::qt
