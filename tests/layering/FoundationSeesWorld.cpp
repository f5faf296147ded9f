// Must not compile: the foundation layer's targets see only the foundation's own headers. Built
// only by the layer_headers_hidden test, which expects the compiler to refuse the include.
#include "world/WorldDoc.h"
