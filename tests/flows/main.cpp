// The flows share one registered application, as the program has one.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "flows/FlowHarness.h"

namespace suite::flows {
GtkApplication* gApp = nullptr;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    suite::flows::gApp =
        gtk_application_new("com.brenlow.talven.suite.flowtest", G_APPLICATION_NON_UNIQUE);
    GError* error = nullptr;
    if (!g_application_register(G_APPLICATION(suite::flows::gApp), nullptr, &error)) {
        fprintf(stderr, "cannot start GTK: %s\n", error->message);
        return 1;
    }
    int status = RUN_ALL_TESTS();
    g_object_unref(suite::flows::gApp);
    return status;
}
