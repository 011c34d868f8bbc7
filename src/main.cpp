#include "hosts/gtk/GtkHost.h"

int main(int argc, char** argv) {
    return suite::gtk::runProgram(argc, argv);
}
