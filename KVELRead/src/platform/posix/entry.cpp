// Stand-in for the DLL entry point: on platforms without one, the reader
// state is set up by static initialisation when the library is loaded.
#include "platform/message_table.h"
#include "interface/reader.h"

namespace {

struct ProcessAttach {
    ProcessAttach() { kvel::processAttach(kvel::messageTableModule()); }
};

const ProcessAttach attachOnLoad;

}  // namespace
