// The real-window tests run against a private X server with a window
// manager, started here before the application object connects to it and
// ended when the tests are over. Without one the tests skip and say why.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "XSession.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const auto session = std::make_unique<XSession>();
    if (session->Ready()) {
        qputenv("DISPLAY", session->Display().c_str());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        // The fixture reads the reason and skips every test with it.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("ZUVO_NO_X_SESSION", session->Reason().c_str());
    }
    int status = 1;
    {
        QApplication application(argc, argv);
        status = RUN_ALL_TESTS();
    }
    return status;
}
