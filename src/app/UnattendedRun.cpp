#include "UnattendedRun.h"

#include <QPointer>
#include <QTimer>

#include "UpdateMain.h"

TUnattendedRun::TUnattendedRun(TfrmUpdateMain& window) : window_(window) {
    window_.OnDownloadDone = [this](bool downloaded) {
        // Press OK from the message loop, not from inside the timer handler
        // that is still returning from the download.
        QPointer<TfrmUpdateMain> target(&window_);
        QTimer::singleShot(0, &window_, [target, downloaded] {
            if (!target) {
                return;
            }
            if (downloaded && target->btnOk->isEnabled()) {
                target->btnOkClick();
            } else {
                target->close();
            }
        });
    };
}

int TUnattendedRun::ExitStatus() const { return window_.InstallSucceeded ? 0 : 1; }
