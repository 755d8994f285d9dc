#pragma once

#include <QApplication>

// The application object. Exceptions that escape an event handler while
// the message loop runs are shown by the exception display, and the loop
// goes on.
class TApplication : public QApplication {
  public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
