#pragma once
// A notification's answer that comes before the program is up. When the user answers a
// notification of a program that has ended, the desktop has D-Bus start it
// ("--gapplication-service") and hands it the answer as soon as it holds its name: before the
// "activate" signal that builds the program's own notifier, whose action would otherwise hear it.
// The action is on the application from the start, for that first answer only; the notifier's own
// action replaces it.
#include <gio/gio.h>

#include <functional>
#include <string>

namespace suite::gtk {

class EarlyAnswer {
  public:
    // `start` is given the answer ("update", "later" or the click's) and brings the program up.
    EarlyAnswer(GApplication* app, std::function<void(const std::string& action)> start);
    ~EarlyAnswer();

    EarlyAnswer(const EarlyAnswer&) = delete;
    EarlyAnswer& operator=(const EarlyAnswer&) = delete;

  private:
    static void onAnswer(GSimpleAction*, GVariant* parameter, gpointer self);

    GApplication* app_;
    GSimpleAction* action_;
    std::function<void(const std::string&)> start_;
};

}  // namespace suite::gtk
