#pragma once
// The command line's installs, shown in the window of the program running beside it: the window's
// program listens for the action "console-event" on its application object, and the command line
// sends it each install event over the session bus, without starting a program that is not
// running and without waiting for an answer.
#include <gio/gio.h>

#include <functional>
#include <string>

#include "common/Json.h"

namespace suite::gtk {

// `heard` gets each event sent to `app`, parsed; text that is no JSON object is dropped.
void listenForConsoleEvents(GApplication* app, std::function<void(const Json&)> heard);

// The program whose window may be open beside a command-line run, on the session bus.
class RunningWindow {
  public:
    // `busName`: the running program's name on the bus (its application id, or a connection's
    // unique name); `objectPath`: its application object.
    RunningWindow(std::string busName, std::string objectPath);
    // Waits until every event told has left, so the last result is not lost when the run ends.
    ~RunningWindow();
    RunningWindow(const RunningWindow&) = delete;
    RunningWindow& operator=(const RunningWindow&) = delete;

    // Sends `event`, if anything owns the name; nothing when there is no session bus.
    void tell(const Json& event);

  private:
    GDBusConnection* bus_;
    std::string busName_, objectPath_;
};

// Where GApplication puts the object of the application `appId`: "/com/brenlow/talven/suite".
std::string applicationObjectPath(const std::string& appId);

}  // namespace suite::gtk
