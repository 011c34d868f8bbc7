// The flows share one registered application, as the program has one.
#include "flows/FlowHarness.h"

namespace suite::flows {
GtkApplication* gApp = nullptr;
}

int main(int argc, char** argv) {
    return suite::gtk::runTestsIn(argc, argv, "com.brenlow.talven.suite.flowtest",
                                  suite::flows::gApp);
}
