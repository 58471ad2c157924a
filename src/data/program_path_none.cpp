// Where a program has no path of its own (the browser, whose files are put
// in its memory file system's working directory): no installed folder.
#include "data/data_internal.h"

namespace data {

std::string program_path() { return ""; }

}  // namespace data
