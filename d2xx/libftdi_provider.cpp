// TEMPORARY placeholder until the libftdi1 provider lands; replaced in this change.
#include "provider.h"
std::unique_ptr<D2xxProvider> makeLibftdiProvider() { return nullptr; }
