// orvo: the demo. No command line, no configuration.
#include "driver/driver.h"

int main() { return driver::run(); }
